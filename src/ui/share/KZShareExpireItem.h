#pragma once

#include <QList>
#include <QString>
#include <memory>

// One validity choice of the picker: its text and its expiry id.
class KZShareExpireItem {
public:
    KZShareExpireItem(QString title, qint64 tag) : m_title(std::move(title)), m_tag(tag) {}

    // "1天" (1), "7天" (7), "不限" (0), always in this order.
    static QList<std::shared_ptr<KZShareExpireItem>> getItems();

    const QString& title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    qint64 tag() const { return m_tag; }
    void setTag(qint64 tag) { m_tag = tag; }

private:
    QString m_title;
    qint64 m_tag = 0;
};
using KZShareExpireItemPtr = std::shared_ptr<KZShareExpireItem>;
