#include "ui/files/KZPasteboardItem.h"

#include "kit/Pasteboard.h"

#include <QDataStream>
#include <QIODevice>

namespace {
constexpr quint32 kFormat = 1; // bump when the layout below changes
} // namespace

KZPasteboardItem::KZPasteboardItem(QList<CloudFileInfoPtr> contents, quint64 type, QString userId,
                                   QString enterpriseId)
    : m_type(type), m_userId(std::move(userId)), m_enterpriseId(std::move(enterpriseId)) {
    setContents(contents);
}

void KZPasteboardItem::setContents(const QList<CloudFileInfoPtr>& contents) {
    m_contents.clear();
    for (const CloudFileInfoPtr& f : contents)
        if (f)
            m_contents.append(f->clone());
}

QByteArray KZPasteboardItem::pasteboardPropertyList() const {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kFormat << kTypeKey << m_type << kContentsKey << CloudFileInfo::encodeList(m_contents) << m_userId
        << m_enterpriseId;
    return data;
}

KZPasteboardItemPtr KZPasteboardItem::fromPasteboardPropertyList(const QByteArray& data) {
    QDataStream in(data);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 format = 0;
    QString typeKey, contentsKey, userId, enterpriseId;
    quint64 type = 0;
    QByteArray contents;
    in >> format >> typeKey >> type >> contentsKey >> contents >> userId >> enterpriseId;
    if (in.status() != QDataStream::Ok || format != kFormat || typeKey != kTypeKey ||
        contentsKey != kContentsKey)
        return nullptr;
    bool ok = false;
    QList<CloudFileInfoPtr> files = CloudFileInfo::decodeList(contents, &ok);
    if (!ok)
        return nullptr;
    auto item = std::make_shared<KZPasteboardItem>();
    item->m_contents = std::move(files);
    item->m_type = type;
    item->m_userId = userId;
    item->m_enterpriseId = enterpriseId;
    return item;
}

void KZPasteboardItem::writeToGeneralPasteboard() const {
    kit::Pasteboard& pb = kit::Pasteboard::general();
    pb.clearContents();
    pb.writeItems(kit::Pasteboard::kNuboItemsType, {pasteboardPropertyList()});
}

KZPasteboardItemPtr KZPasteboardItem::readFromGeneralPasteboard(const QString& userId,
                                                                const QString& enterpriseId,
                                                                const NodeLookup& currentNode) {
    if (userId.isEmpty())
        return nullptr; // signed out: nothing on the pasteboard is ours
    for (const QByteArray& bytes : kit::Pasteboard::general().readItems(kit::Pasteboard::kNuboItemsType)) {
        KZPasteboardItemPtr item = fromPasteboardPropertyList(bytes);
        if (!item)
            continue;
        if (item->m_userId != userId || item->m_enterpriseId != enterpriseId)
            return nullptr;
        QList<CloudFileInfoPtr> live;
        for (const CloudFileInfoPtr& f : std::as_const(item->m_contents))
            if (CloudFileInfoPtr now = currentNode ? currentNode(f->nid()) : nullptr)
                live.append(now);
        if (live.isEmpty())
            return nullptr;
        item->m_contents = live;
        return item;
    }
    return nullptr;
}
