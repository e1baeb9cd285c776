// The file page's search (typed text, scope bar, location cells) and its empty-state overlay.
#include "ui/files/KZFilesViewController.h"

#include "cloud/KZSessionProxy.h"
#include "cloud/User.h"
#include "foundation/SafeAccess.h"
#include "shell/KZButton.h"
#include "shell/KZStyle.h"
#include "shell/KZTextFieldCell.h"

namespace {
constexpr double kSearchViewWidth = 240;
constexpr double kSearchViewHeight = 32;
} // namespace

void KZFilesViewController::initSearchUI() {
    m_fileSearchView->setDelegate(this);
    m_searchOptionsView->setDelegate(this);
    m_searchOptionsView->setCustomBackgroundColor(colorWithRGB(QStringLiteral("#58626e"), 0.04));
    m_searchTextField->setEditable(true);
}

void KZFilesViewController::layoutSearchViews(double width) {
    m_fileSearchView->setFrame(QRectF(std::max(88.0, width - 16 - kSearchViewWidth),
                                      (48 - kSearchViewHeight) / 2, kSearchViewWidth, kSearchViewHeight));
}

qint64 KZFilesViewController::searchFile(const CloudFileInfoPtr& fileInfo) {
    if (!fileInfo)
        return 0;
    const qint64 id = KZSessionProxy::shareSessionProxy()->searchFileListByFileInfo(
        fileInfo, fileInfo->searchKey(), m_fileListSortMode, this, {});
    m_pendingListRequests.insert(id);
    m_pendingSearches.insert(id);
    return id;
}

bool KZFilesViewController::dropPendingSearches() {
    if (m_pendingSearches.size() != m_pendingListRequests.size())
        return false; // a folder is on its way too
    for (qint64 id : std::as_const(m_pendingSearches)) {
        KZSessionProxy::shareSessionProxy()->cancelSearchRequest(id);
        m_pendingListRequests.remove(id);
        m_searchReruns.remove(id);
    }
    m_pendingSearches.clear();
    return true;
}

void KZFilesViewController::fileSearchViewControlTextDidChange(kit::TextField* field) {
    closeAllMenus();
    if (!m_fileSearchView || field != m_fileSearchView->textField() || !m_fileInfo)
        return;
    const QString text = field->stringValue();
    // A search still out for an earlier key is dropped for the new one, so typing never waits for
    // a key already replaced. Otherwise, while a list is on its way the text waits: the answer's
    // check searches it (or leaves the search when it was emptied), so answers never overtake
    // each other.
    if (isListRequestPending() && (text.isEmpty() || !dropPendingSearches())) {
        m_searchTextWaiting = true;
        return;
    }
    m_searchTextWaiting = false;
    if (text.isEmpty()) {
        if (m_fileInfo->isSearch())
            openDirForGoBack();
        return;
    }
    m_fileInfo->setSearchKey(text);
    searchFile(m_fileInfo);
}

void KZFilesViewController::clearTextAction() {
    if (m_fileInfo && m_fileInfo->isSearch())
        openDirForGoBack();
}

void KZFilesViewController::didSelectSearchedDirectory(const CloudFileInfoPtr& directory) {
    if (!directory)
        return;
    directory->setSearchKey(m_searchTextField->stringValue());
    searchFile(directory);
}

void KZFilesViewController::checkSeachIntent(const CloudFileInfoPtr& fileInfo) {
    if (!m_searchTextWaiting || !fileInfo || !m_fileSearchView || fileInfo != m_fileInfo)
        return;
    m_searchTextWaiting = false;
    const QString text = m_fileSearchView->textField()->stringValue();
    if (text == fileInfo->searchKey() || (text.isEmpty() && !fileInfo->isSearch()))
        return;
    if (text.isEmpty()) {
        openDirForGoBack();
        return;
    }
    m_fileInfo->setSearchKey(text);
    searchFile(m_fileInfo);
}

void KZFilesViewController::updateSearchView(const CloudFileInfoPtr& fileInfo,
                                             const CloudFileInfoPtr& preFileInfo) {
    if (!fileInfo || !isViewLoaded())
        return;
    const bool search = fileInfo->isSearch();
    // The mirror follows every search result, so a scope picked later searches the key on view.
    if (search)
        m_searchTextField->setStringValue(fileInfo->searchKey());
    else if (preFileInfo && preFileInfo->isSearch())
        m_searchTextField->setStringValue(QString());
    // A result reached through the history shows its key, unless the user is typing another.
    if (!m_searchTextWaiting) {
        kit::TextField* field = m_fileSearchView->textField();
        if (search && field->stringValue() != fileInfo->searchKey())
            field->setStringValue(fileInfo->searchKey());
        m_fileSearchView->hidddenDeleteButton(field->stringValue().isEmpty() || !field->isEditing());
    }
    m_searchOptionsView->updateOtherSearchedDirectory(fileInfo);
    m_searchOptionsViewHeight = search ? kSearchOptionsHeight : 0.0;
    // The type column shows where each result lies while a search result is on view.
    const int typeColumn = m_tableView->columnWithIdentifier(QStringLiteral("type"));
    if (typeColumn >= 0)
        m_tableView->tableColumns().at(typeColumn)->setTitle(search ? kColumnLocation : kColumnType);
    if (m_tableHeaderView)
        m_tableHeaderView->update();
    layoutPage();
}

void KZFilesViewController::didClickFilePathCell(KZFilePathCell* cell) {
    if (!cell || !cell->fileInfo())
        return;
    closeAllMenus();
    requestFileList(-3, KZFilePathCell::parentPath(cell->fileInfo()->path()), {});
}

// ---- empty-state overlay

bool KZFilesViewController::messageSetViewShouldDisplay(QWidget*) {
    return User::isTotallyOverdue() || m_files.isEmpty();
}

bool KZFilesViewController::messageSetViewShouldInterceptionEvents(QWidget*) {
    return User::isTotallyOverdue();
}

QMargins KZFilesViewController::insetsForMessageSetView(QWidget*) {
    if (User::isTotallyOverdue() || !m_files.isEmpty())
        return {};
    return QMargins(0, 0, 0, 32);
}

QWidget* KZFilesViewController::containerViewForMessageSetView(QWidget*) {
    if (User::isTotallyOverdue() || !m_files.isEmpty())
        return view();
    return m_centerView;
}

kit::Image KZFilesViewController::imageForMessageSetView(QWidget*) {
    return User::isTotallyOverdue() ? KZMessageSetModules::overdueImage()
                                    : KZMessageSetModules::emptyListImage();
}

kit::AttributedString KZFilesViewController::titleForMessageSetView(QWidget*) {
    if (!User::isTotallyOverdue())
        return {};
    const QVariantMap detail = KZSessionProxy::shareSessionProxy()->userDetail();
    if (!nubo::safe::boolean(detail, QStringLiteral("is_admin")))
        return KZMessageSetModules::memberOverdueDescription();
    if (nubo::safe::boolean(detail, QStringLiteral("is_person")))
        return KZMessageSetModules::personalOverdueDescription();
    return KZMessageSetModules::adminOverdueDescription();
}

kit::AttributedString KZFilesViewController::descriptionForMessageSetView(QWidget*) {
    if (User::isTotallyOverdue())
        return {};
    if (const BWError failure = signInFailure(); failure && m_files.isEmpty())
        return KZMessageSetModules::unreadableListDescription(failure.localizedDescription());
    if (m_files.isEmpty() && m_fileInfo && m_fileInfo->isSearch())
        return KZMessageSetModules::emptySearchResultDescription();
    return KZMessageSetModules::emptyFileListDescription();
}

QList<KZButton*> KZFilesViewController::buttonsForMessageSetView(QWidget*) {
    if (User::isTotallyOverdue()) {
        const QVariantMap detail = KZSessionProxy::shareSessionProxy()->userDetail();
        if (nubo::safe::boolean(detail, QStringLiteral("is_admin")))
            return KZMessageSetModules::overdueButtons();
        return {};
    }
    if (m_files.isEmpty() && !(m_fileInfo && m_fileInfo->isSearch()) && !signInFailure())
        return KZMessageSetModules::uploadFilesButtons();
    return {};
}
