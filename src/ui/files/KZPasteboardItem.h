#pragma once

#include "cloud/CloudFileInfo.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

class KZPasteboardItem;
using KZPasteboardItemPtr = std::shared_ptr<KZPasteboardItem>;

// A cut or copy of cloud files on the general pasteboard. It carries the account it was made
// under, so that a paste in another account (or another copy of the program signed in elsewhere)
// finds nothing instead of acting on node ids that mean other files there.
class KZPasteboardItem {
public:
    static constexpr quint64 kTypeCut = 0;
    static constexpr quint64 kTypeCopy = 1;
    static inline const QString kTypeKey = QStringLiteral("KZPasteboardItemType");
    static inline const QString kContentsKey = QStringLiteral("KZPasteboardItemContents");

    KZPasteboardItem() = default;
    KZPasteboardItem(QList<CloudFileInfoPtr> contents, quint64 type, QString userId, QString enterpriseId);

    // Copies of the records, so that later changes to the rows do not reach the pasteboard.
    const QList<CloudFileInfoPtr>& contents() const { return m_contents; }
    void setContents(const QList<CloudFileInfoPtr>& contents);
    quint64 type() const { return m_type; }
    void setType(quint64 type) { m_type = type; }
    QString userId() const { return m_userId; }
    QString enterpriseId() const { return m_enterpriseId; }

    // The bytes written to the pasteboard, and the item read back from them (null for bytes that
    // are damaged or not an item).
    QByteArray pasteboardPropertyList() const;
    static KZPasteboardItemPtr fromPasteboardPropertyList(const QByteArray& data);

    // Replaces the general pasteboard's contents by this one item.
    void writeToGeneralPasteboard() const;
    // The first item on the general pasteboard that belongs to this account, its contents
    // replaced by the nodes as `currentNode` knows them now (nodes it no longer knows are
    // dropped); null when there is none or nothing of it is left.
    using NodeLookup = std::function<CloudFileInfoPtr(qint64 nid)>;
    static KZPasteboardItemPtr readFromGeneralPasteboard(const QString& userId, const QString& enterpriseId,
                                                         const NodeLookup& currentNode);

private:
    QList<CloudFileInfoPtr> m_contents;
    quint64 m_type = kTypeCut;
    QString m_userId;
    QString m_enterpriseId;
};
