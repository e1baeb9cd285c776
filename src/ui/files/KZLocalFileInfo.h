#pragma once

#include "cloud/CloudFileInfo.h"

// The row of a folder the user is creating and naming; it has no node id yet and sorts before
// every other row.
class KZLocalFileInfo : public CloudFileInfo {
public:
    static std::shared_ptr<KZLocalFileInfo> localFileInfoWithName(const QString& name, qint64 pid);

    int state() const { return m_state; } // 0 while the folder is being created
    void setState(int s) { m_state = s; }

    static bool isLocal(const CloudFileInfo* f) { return dynamic_cast<const KZLocalFileInfo*>(f) != nullptr; }

private:
    int m_state = 0;
};
