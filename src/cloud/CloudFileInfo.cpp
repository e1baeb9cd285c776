#include "cloud/CloudFileInfo.h"

#include "cloud/NameCollation.h"

#include <QIODevice>
#include <QMutex>

namespace {

// Marks data written by encodeWithCoder, so that foreign bytes on the pasteboard are refused.
constexpr quint32 kCodingMagic = 0x4b5a4649; // "KZFI"
constexpr quint16 kCodingVersion = 1;
constexpr quint32 kMaxListCount = 10'000'000;

QMutex lookupMutex;
CloudFileInfo::NodeLookup& nodeLookup() {
    static CloudFileInfo::NodeLookup lookup;
    return lookup;
}

// -1, 0 or 1 by order; never by subtracting, which overflows for ids far apart.
int order(qint64 a, qint64 b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

CloudFileInfoPtr CloudFileInfo::rootFile() {
    auto root = create();
    root->setNid(0);
    root->setPid(-1);
    root->setName(QStringLiteral("/"));
    root->setPath(QStringLiteral("/"));
    root->setIsDirectory(true);
    return root;
}

void CloudFileInfo::setNodeLookup(NodeLookup lookup) {
    QMutexLocker lock(&lookupMutex);
    nodeLookup() = std::move(lookup);
}

CloudFileInfoPtr CloudFileInfo::searchFileWithNid(qint64 nid, qint64 searchNid, const QString& seachKey) {
    CloudFileInfoPtr folder;
    {
        QMutexLocker lock(&lookupMutex);
        if (nid == 0)
            folder = rootFile();
        else if (nodeLookup())
            folder = nodeLookup()(nid);
    }
    auto result = folder ? folder->clone() : create();
    if (!folder)
        result->setNid(nid);
    result->setSearchKey(seachKey);
    result->setSearchNid(searchNid);
    result->setIsDirectory(true);
    result->setSelected(false);
    return result;
}

void CloudFileInfo::setName(const QString& v) {
    nubo::RowTextFields& t = text_.get();
    if (v == t.name)
        return;
    t.name = v;
    text_.clearSortKey();
    listing_ = 0;
}

quint64 CloudFileInfo::newListing() {
    static std::atomic<quint64> last{0};
    return ++last;
}

QString CloudFileInfo::fixedPath() const {
    const QString& path = text_.get().path;
    if (isDirectory_ && nid_ != 0 && path != u"/" && !path.endsWith(u'/'))
        return path + u'/';
    return path;
}

const QByteArray& CloudFileInfo::nameSortKey() const {
    return text_.nameSortKey();
}

int CloudFileInfo::compareByNameASC(const CloudFileInfo& other) const {
    if (isDirectory_ != other.isDirectory_)
        return isDirectory_ ? -1 : 1;
    if (int c = nameSortKey().compare(other.nameSortKey()))
        return c < 0 ? -1 : 1;
    if (int c = name().compare(other.name()))
        return c < 0 ? -1 : 1;
    return order(nid_, other.nid_);
}

int CloudFileInfo::compareByNameDESC(const CloudFileInfo& other) const {
    if (isDirectory_ != other.isDirectory_)
        return isDirectory_ ? -1 : 1;
    return other.compareByNameASC(*this);
}

int CloudFileInfo::compareByModifyTimeASC(const CloudFileInfo& other) const {
    if (isDirectory_ != other.isDirectory_)
        return isDirectory_ ? -1 : 1;
    return order(fmtime_, other.fmtime_);
}

int CloudFileInfo::compareByModifyTimeDESC(const CloudFileInfo& other) const {
    if (isDirectory_ != other.isDirectory_)
        return isDirectory_ ? -1 : 1;
    return other.compareByModifyTimeASC(*this);
}

int CloudFileInfo::compareBySortMode(const CloudFileInfo& other, int sortMode) const {
    switch (sortMode) {
    case 0:
        return compareByNameASC(other);
    case 1:
        return compareByNameDESC(other);
    case 2:
        return compareByModifyTimeASC(other);
    default:
        return compareByModifyTimeDESC(other);
    }
}

void CloudFileInfo::encodeWithCoder(QDataStream& out) const {
    const nubo::RowTextFields& t = text_.get();
    out << kCodingMagic << kCodingVersion << nid_ << pid_ << t.name << t.path << isDirectory_ << size_
        << version_ << fmtime_ << fctime_ << category_ << attribute_ << status_ << isShare_ << isSync_
        << isEditLock_ << isLink_ << t.fileHash << storId_ << thumb_ << searchNid_ << searchKey_ << selected_;
}

CloudFileInfoPtr CloudFileInfo::initWithCoder(QDataStream& in) {
    quint32 magic = 0;
    quint16 version = 0;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != kCodingMagic || version != kCodingVersion)
        return nullptr;
    auto f = create();
    QString name, path, fileHash;
    in >> f->nid_ >> f->pid_ >> name >> path >> f->isDirectory_ >> f->size_ >> f->version_ >> f->fmtime_ >>
        f->fctime_ >> f->category_ >> f->attribute_ >> f->status_ >> f->isShare_ >> f->isSync_ >>
        f->isEditLock_ >> f->isLink_ >> fileHash >> f->storId_ >> f->thumb_ >> f->searchNid_ >>
        f->searchKey_ >> f->selected_;
    if (in.status() != QDataStream::Ok)
        return nullptr;
    f->setName(name);
    f->setPath(path);
    f->setM_fileHash(fileHash);
    return f;
}

QByteArray CloudFileInfo::encoded() const {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    encodeWithCoder(out);
    return data;
}

CloudFileInfoPtr CloudFileInfo::decoded(const QByteArray& data) {
    QDataStream in(data);
    auto f = initWithCoder(in);
    return f && in.atEnd() ? f : nullptr;
}

QByteArray CloudFileInfo::encodeList(const QList<CloudFileInfoPtr>& files) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    quint32 count = 0;
    for (const auto& f : files)
        count += f ? 1 : 0;
    out << count;
    for (const auto& f : files)
        if (f)
            f->encodeWithCoder(out);
    return data;
}

QList<CloudFileInfoPtr> CloudFileInfo::decodeList(const QByteArray& data, bool* ok) {
    if (ok)
        *ok = false;
    QDataStream in(data);
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > kMaxListCount)
        return {};
    QList<CloudFileInfoPtr> files;
    for (quint32 i = 0; i < count; ++i) {
        auto f = initWithCoder(in);
        if (!f)
            return {};
        files.append(std::move(f));
    }
    if (!in.atEnd())
        return {};
    if (ok)
        *ok = true;
    return files;
}
