#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

class QMimeData;

namespace kit {

// The general pasteboard, on the system clipboard. Nubo's own items are opaque byte payloads
// under a type of Nubo's; file URLs are read in the forms Linux file managers write. Anything
// another program put there is checked: bad data reads as nothing, never as a crash.
class Pasteboard {
public:
    // The type under which Nubo writes its own items.
    static inline const QString kNuboItemsType = QStringLiteral("application/x-nubo-items");

    static Pasteboard& general();

    void clearContents();
    // Replaces the contents with the items under `type` (and a plain-text fallback when given).
    void writeItems(const QString& type, const QList<QByteArray>& items, const QString& plainText = {});
    // The items under `type`, or none when the clipboard holds none or holds damaged data.
    QList<QByteArray> readItems(const QString& type) const;
    bool hasItems(const QString& type) const;

    // Replaces the contents with plain text; answers whether the clipboard now holds exactly that
    // text (another program or a missing clipboard can refuse it).
    bool setString(const QString& text);
    QString string() const;

    // Makes every later write refuse (tests of the failure path); false restores them.
    void setRefusesWritesForTesting(bool refuses) { m_refusesWrites = refuses; }

    // Local files another program copied (text/uri-list or the copied-files forms), by their
    // clean absolute paths; links to anything else (relative, another host's) are left out.
    QList<QUrl> readFileURLs() const;
    // Whether those files were cut rather than copied, when the writer says so.
    bool fileURLsAreCut() const;

    // Encoding shared with drag and drop.
    static void writeItemsToMimeData(QMimeData* mime, const QString& type, const QList<QByteArray>& items);
    static QList<QByteArray> itemsFromMimeData(const QMimeData* mime, const QString& type);
    static QList<QUrl> fileURLsFromMimeData(const QMimeData* mime);
    static QStringList localPathsFromMimeData(const QMimeData* mime);

private:
    Pasteboard() = default;
    bool m_refusesWrites = false;
};

} // namespace kit
