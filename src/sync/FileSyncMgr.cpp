#include "sync/FileSyncMgr.h"

namespace nubo::sync {

void FileSyncMgr::setService(std::shared_ptr<CloudService> service) {
    std::lock_guard<std::mutex> l(m_mutex);
    m_service = std::move(service);
}

std::shared_ptr<CloudService> FileSyncMgr::service() const {
    std::lock_guard<std::mutex> l(m_mutex);
    return m_service ? m_service : CloudService::shared();
}

} // namespace nubo::sync
