#include "ui/files/KZLocalFileInfo.h"

std::shared_ptr<KZLocalFileInfo> KZLocalFileInfo::localFileInfoWithName(const QString& name, qint64 pid) {
    auto f = std::make_shared<KZLocalFileInfo>();
    f->setNid(0);
    f->setPid(pid);
    f->setName(name);
    f->setPath(QString());
    f->setIsDirectory(true);
    return f;
}
