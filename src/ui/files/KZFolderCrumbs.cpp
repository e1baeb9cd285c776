#include "ui/files/KZFolderCrumbs.h"

#include "ui/files/KZFolderCrumbsLayout.h"
#include "ui/files/KZFolderToken.h"

namespace {

// "/a/b" → "/", "a", "b", as a path is split into components.
QStringList pathComponents(const QString& path) {
    QStringList parts{QStringLiteral("/")};
    for (const QString& p : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        parts.append(p);
    return parts;
}

QString deletingLastComponent(const QString& path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return QStringLiteral("/");
    return p.left(slash);
}

} // namespace

KZFolderCrumbs::KZFolderCrumbs(QWidget* parent) : kit::View(parent) {}

void KZFolderCrumbs::setFullPath(const QString& path, const QString& trailingTitle) {
    m_folderPath = path.isEmpty() ? QStringLiteral("/") : path;
    m_trailingTitle = trailingTitle;
    m_fullPath = m_folderPath;
    if (!trailingTitle.isEmpty())
        m_fullPath +=
            (m_fullPath.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + trailingTitle;
    update();
    layoutItem();
}

void KZFolderCrumbs::addToken(KZFolderToken* token) {
    m_tokens.append(token);
    addSubview(token);
}

void KZFolderCrumbs::insertToken(KZFolderToken* token, int index) {
    m_tokens.insert(index, token);
    addSubview(token);
}

void KZFolderCrumbs::insertEllipsisToken() {
    insertToken(KZFolderToken::ellipsisToken(), 1);
    insertToken(KZFolderToken::arrowToken(), 1);
}

void KZFolderCrumbs::folderCrumbTokenClicked(KZFolderToken* token) {
    if (token->path() != m_fullPath && m_delegate)
        m_delegate->folderCrumbsDidClickDirectoryPath(token->path());
}

KZFolderToken* KZFolderCrumbs::makeTitleToken(const QString& title) {
    return new KZFolderToken(title, this, [this](KZFolderToken* t) { folderCrumbTokenClicked(t); });
}

void KZFolderCrumbs::update() {
    // Deferred: the crumb being clicked may be the one that asked for this.
    for (KZFolderToken* t : std::as_const(m_tokens)) {
        t->removeFromSuperview();
        t->deleteLater();
    }
    m_tokens.clear();

    QStringList components = pathComponents(m_folderPath);
    if (!m_trailingTitle.isEmpty())
        components.append(m_trailingTitle);
    KZFolderToken* root = makeTitleToken(QStringLiteral("全部文件"));
    root->setPath(components.first());
    if (components.size() == 1) {
        root->setSelected(true);
        addToken(root);
        return;
    }

    KZFolderToken* probeArrow = KZFolderToken::arrowToken();
    KZFolderToken* probeEllipsis = KZFolderToken::ellipsisToken();
    const double arrowWidth = probeArrow->suggestTokenWidth();
    const double ellipsisWidth = probeEllipsis->suggestTokenWidth();
    delete probeArrow;
    delete probeEllipsis;
    addToken(root);

    QList<KZFolderToken*> titles;
    QList<double> widths;
    for (int i = 1; i < components.size(); ++i) {
        titles.append(makeTitleToken(components.at(i)));
        widths.append(titles.last()->suggestTokenWidth());
    }
    const auto choice =
        KZFolderCrumbsLayout::choose(width(), root->suggestTokenWidth(), arrowWidth, ellipsisWidth, widths);

    QString path = m_folderPath;
    for (int k = 0; k < choice.shown; ++k) {
        KZFolderToken* t = titles.at(titles.size() - 1 - k);
        const bool trailing = k == 0 && !m_trailingTitle.isEmpty();
        t->setPath(trailing ? m_fullPath : path);
        insertToken(t, 1);
        insertToken(KZFolderToken::arrowToken(), 1);
        if (!trailing)
            path = deletingLastComponent(path);
    }
    for (int k = 0; k < titles.size() - choice.shown; ++k)
        delete titles.at(k);
    if (choice.ellipsis)
        insertEllipsisToken();
    m_tokens.last()->setSelected(true);
}

void KZFolderCrumbs::layoutItem() {
    QList<double> widths;
    for (KZFolderToken* t : std::as_const(m_tokens))
        widths.append(t->suggestTokenWidth());
    const auto slots = KZFolderCrumbsLayout::place(widths);
    for (int i = 0; i < m_tokens.size(); ++i)
        m_tokens.at(i)->setFrame(QRectF(slots.at(i).x, 0, slots.at(i).width, height()));
}

void KZFolderCrumbs::layout() {
    layoutItem();
}
