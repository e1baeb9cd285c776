#pragma once

#include "cloud/PackedRows.h"

#include <QByteArray>
#include <QDataStream>
#include <QList>
#include <QMetaType>
#include <QString>
#include <functional>
#include <memory>

class CloudFileInfo;
using CloudFileInfoPtr = std::shared_ptr<CloudFileInfo>;

// One node of the cloud tree. Held by std::shared_ptr: lists find their rows by identity, so a
// record handed to the interface is never shared with another list or with the session's tree.
class CloudFileInfo {
public:
    CloudFileInfo() = default;
    CloudFileInfo(const CloudFileInfo&) = default;
    CloudFileInfo& operator=(const CloudFileInfo&) = default;
    virtual ~CloudFileInfo() = default;

    static CloudFileInfoPtr create() { return std::make_shared<CloudFileInfo>(); }
    // A new root node: id 0, parent -1, name and path "/", a folder.
    static CloudFileInfoPtr rootFile();
    // A search result over the folder `nid` (parent, name and path from the node tree), carrying
    // the key and the scope (`searchNid`: 0 the whole tree, else the folder searched).
    static CloudFileInfoPtr searchFileWithNid(qint64 nid, qint64 searchNid, const QString& seachKey);
    // Where searchFileWithNid reads a folder from; the session installs its node tree here.
    using NodeLookup = std::function<CloudFileInfoPtr(qint64 nid)>;
    static void setNodeLookup(NodeLookup lookup);

    // A copy that is a new identity (a fresh row for a list).
    CloudFileInfoPtr clone() const { return std::make_shared<CloudFileInfo>(*this); }

    qint64 nid() const { return nid_; }
    void setNid(qint64 v) {
        nid_ = v;
        listing_ = 0;
    }
    qint64 pid() const { return pid_; }
    void setPid(qint64 v) { pid_ = v; }
    const QString& name() const { return text_.get().name; }
    void setName(const QString& v);
    const QString& path() const { return text_.get().path; }
    void setPath(const QString& v) { text_.get().path = v; }
    bool isDirectory() const { return isDirectory_; }
    void setIsDirectory(bool v) {
        isDirectory_ = v;
        listing_ = 0;
    }

    quint64 m_size() const { return size_; }
    void setM_size(quint64 v) { size_ = v; }
    qint32 m_fmtime() const { return fmtime_; }
    void setM_fmtime(qint32 v) {
        fmtime_ = v;
        listing_ = 0;
    }
    qint32 m_fctime() const { return fctime_; }
    void setM_fctime(qint32 v) { fctime_ = v; }
    qint32 m_category() const { return category_; }
    void setM_category(qint32 v) { category_ = v; }
    qint32 m_attribute() const { return attribute_; }
    void setM_attribute(qint32 v) { attribute_ = v; }
    qint64 m_version() const { return version_; }
    void setM_version(qint64 v) { version_ = v; }
    // Non-zero when the node was removed.
    qint32 m_status() const { return status_; }
    void setM_status(qint32 v) { status_ = v; }
    const QString& m_fileHash() const { return text_.get().fileHash; }
    void setM_fileHash(const QString& v) { text_.get().fileHash = v; }
    const QString& m_storId() const { return storId_; }
    void setM_storId(const QString& v) { storId_ = v; }
    const QString& m_thumb() const { return thumb_; }
    void setM_thumb(const QString& v) { thumb_ = v; }
    bool m_isShare() const { return isShare_; }
    void setM_isShare(bool v) { isShare_ = v; }
    bool m_isSync() const { return isSync_; }
    void setM_isSync(bool v) { isSync_ = v; }
    bool m_isEditLock() const { return isEditLock_; }
    void setM_isEditLock(bool v) { isEditLock_ = v; }
    bool m_isLink() const { return isLink_; }
    void setM_isLink(bool v) { isLink_ = v; }

    qint64 searchNid() const { return searchNid_; }
    void setSearchNid(qint64 v) { searchNid_ = v; }
    const QString& searchKey() const { return searchKey_; }
    void setSearchKey(const QString& v) { searchKey_ = v; }
    // A view flag carried by the row.
    bool selected() const { return selected_; }
    void setSelected(bool v) { selected_ = v; }

    bool isImage() const { return category_ == 1; }
    bool canPreview() const { return isDirectory_ || isImage(); }
    bool isDeleted() const { return status_ != 0; }
    bool isRootFile() const { return nid_ == 0; }
    bool isSearch() const { return searchNid_ != -1; }
    // The path with "/" appended for a folder other than the root.
    QString fixedPath() const;

    // Comparators: negative, zero or positive like a three-way comparison. Folders come before
    // files in every mode; names compare in natural order (a total order: ties are broken by the
    // exact name, then the node id); times compare m_fmtime alone.
    int compareByNameASC(const CloudFileInfo& other) const;
    int compareByNameDESC(const CloudFileInfo& other) const;
    int compareByModifyTimeASC(const CloudFileInfo& other) const;
    int compareByModifyTimeDESC(const CloudFileInfo& other) const;
    // The comparator of a KZFileListSortMode (0 name ascending, 1 name descending, 2 time
    // ascending, anything else time descending).
    int compareBySortMode(const CloudFileInfo& other, int sortMode) const;

    // The cached natural-order key of the name, computed on first use after a change of name.
    const QByteArray& nameSortKey() const;
    // Gives the record a key already computed for this name (the session's tree shares its keys).
    void setNameSortKey(const QByteArray& key) { text_.setSortKey(key); }

    // Where the record stands in a listing the session sorted by `sortMode`: records of one
    // listing with rising indexes are in that order without comparing them. Changing the name,
    // the kind or the time drops it.
    void setListingOrder(quint64 listing, quint32 index, int sortMode) {
        listing_ = listing;
        listingIndex_ = index;
        listingMode_ = sortMode;
    }
    bool followsInListing(const CloudFileInfo& previous, int sortMode) const {
        return listing_ != 0 && listing_ == previous.listing_ && listingMode_ == sortMode &&
               listingIndex_ > previous.listingIndex_;
    }
    // A new listing number (never 0).
    static quint64 newListing();

    // Coding for the pasteboard: writes and reads every field. Reading checks the stream and
    // answers null for data that is not a node written by encodeWithCoder.
    void encodeWithCoder(QDataStream& out) const;
    static CloudFileInfoPtr initWithCoder(QDataStream& in);
    QByteArray encoded() const;
    static CloudFileInfoPtr decoded(const QByteArray& data);
    static QByteArray encodeList(const QList<CloudFileInfoPtr>& files);
    // Null entries are skipped when writing; any damage makes the whole read fail (empty, ok false).
    static QList<CloudFileInfoPtr> decodeList(const QByteArray& data, bool* ok = nullptr);

private:
    qint64 nid_ = 0;
    qint64 pid_ = -1;
    nubo::RowText text_; // name, path, hash and name key
    bool isDirectory_ = false;
    quint64 size_ = 0;
    qint64 version_ = 0;
    qint32 fmtime_ = 0;
    qint32 fctime_ = 0;
    qint32 category_ = 0;
    qint32 attribute_ = 0;
    qint32 status_ = 0;
    bool isShare_ = false;
    bool isSync_ = false;
    bool isEditLock_ = false;
    bool isLink_ = false;
    QString storId_;
    QString thumb_;
    qint64 searchNid_ = -1;
    QString searchKey_;
    bool selected_ = false;
    quint64 listing_ = 0;
    quint32 listingIndex_ = 0;
    int listingMode_ = -1;
};

Q_DECLARE_METATYPE(CloudFileInfoPtr)
