#pragma once

#include <QByteArrayView>
#include <QList>
#include <QMetaType>
#include <QString>

namespace nubo {

// One node of the cloud tree as the service reports it and the per-user node table keeps it.
struct NodeRecord {
    qint64 nid = -1; // 0 is the root
    qint64 pid = -1; // -1 for the root
    QString name;    // "/" for the root
    QString path;    // full cloud path; "/" for the root, "/a/b" below it (no trailing "/")
    bool isDir = false;
    quint64 size = 0;    // bytes; 0 for folders
    qint32 mtime = 0;    // modification time, seconds since 1970
    qint32 ctime = 0;    // creation time, seconds since 1970
    qint32 category = 0; // kind of content: 1 image, 2 document, 3 video, 4 audio, 0 other
    QString fileHash;    // SHA-1 of a file's content, 40 lowercase hex digits; empty for folders
    qint32 status = 0;   // non-zero: removed from the tree (a change-log entry of a deletion)
    bool isLink = false; // has a share link
    bool isSync = false; // locked by a sync
    bool isEditLock = false;
    qint64 version = 0; // change-log version of the node's last change

    bool isDeleted() const { return status != 0; }
    bool operator==(const NodeRecord&) const = default;
};

using NodeList = QList<NodeRecord>;

// One node as a table hands out its row: the name and hash as UTF-8, valid until the next row.
struct NodeRowView {
    qint64 nid = -1;
    qint64 pid = -1;
    QByteArrayView name;
    QByteArrayView hash;
    bool isDir = false;
    quint64 size = 0;
    qint32 mtime = 0;
    qint32 ctime = 0;
    qint32 category = 0;
    qint32 status = 0;
    bool isLink = false;
    bool isSync = false;
    bool isEditLock = false;
    qint64 version = 0;
};

} // namespace nubo

Q_DECLARE_METATYPE(nubo::NodeRecord)
