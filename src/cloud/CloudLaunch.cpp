#include "cloud/CloudLaunch.h"

#include "cloud/KZImageCache.h"
#include "cloud/KZSessionProxy.h"

namespace nubo {

void startCloudSession(std::function<void(const BWError&)> done) {
    KZImageCache::shareInstance()->setMemoryCacheSize(kThumbnailCacheBudget);
    KZSessionProxy::shareSessionProxy()->loginLocal(std::move(done));
}

} // namespace nubo
