#pragma once

#include "foundation/Weak.h"
#include "kit/View.h"

#include <QList>

class KZFolderToken;

class KZFolderCrumbsDelegate {
public:
    virtual ~KZFolderCrumbsDelegate() = default;
    virtual void folderCrumbsDidClickDirectoryPath(const QString& path) { (void)path; }
};

// The path of the folder on view as a row of clickable folder names. When the path does not fit,
// the crumbs nearest the root (after the root crumb) give way to one "..." crumb.
class KZFolderCrumbs : public kit::View {
    Q_OBJECT
public:
    explicit KZFolderCrumbs(QWidget* parent = nullptr);

    KZFolderCrumbsDelegate* delegate() const { return m_delegate.get(); }
    void setDelegate(KZFolderCrumbsDelegate* d) { m_delegate = d; }

    QString fullPath() const { return m_fullPath; }
    // Chooses the crumbs for the bar's current width and places them. A `trailingTitle` (the
    // title of a search result) is one more crumb after the path's, never split at "/".
    void setFullPath(const QString& path, const QString& trailingTitle = {});
    const QList<KZFolderToken*>& tokens() const { return m_tokens; }

    void addToken(KZFolderToken* token);
    void insertToken(KZFolderToken* token, int index);
    void insertEllipsisToken();

    void folderCrumbTokenClicked(KZFolderToken* token);

protected:
    void layout() override;

private:
    void update();
    void layoutItem();
    KZFolderToken* makeTitleToken(const QString& title);

    nubo::Weak<KZFolderCrumbsDelegate> m_delegate;
    QString m_fullPath = QStringLiteral("/");
    QString m_folderPath = QStringLiteral("/");
    QString m_trailingTitle;
    QList<KZFolderToken*> m_tokens;
};
