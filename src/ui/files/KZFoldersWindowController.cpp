#include "ui/files/KZFoldersWindowController.h"

#include "cloud/KZSessionProxy.h"
#include "foundation/SingletonT.h"
#include "kit/Window.h"
#include "shell/KZButton.h"
#include "shell/KZLabel.h"
#include "shell/KZStyle.h"
#include "shell/KZToast.h"
#include "storage/SystemConfig.h"
#include "ui/files/KZFileInfoCell.h"
#include "ui/files/KZFileListSort.h"
#include "ui/files/KZFilesImages.h"
#include "ui/files/KZFolderInfoCell.h"
#include "ui/files/KZFolderRowView.h"
#include "ui/files/KZUploadNameCheck.h"

namespace {

constexpr double kWidth = 600;
constexpr double kHeight = 440;
constexpr double kNavigationHeight = 84; // the title line, then the buttons and crumbs
constexpr double kToolBarHeight = 56;
constexpr double kMargin = 20;
constexpr double kRowHeight = 40;
constexpr double kAnswerToastDelay = 1.0;

// The window's content: it lays the bars and the list out on every resize.
class PickerContentView : public kit::View {
public:
    explicit PickerContentView(std::function<void()> onLayout) : m_onLayout(std::move(onLayout)) {}

protected:
    void layout() override {
        if (m_onLayout)
            m_onLayout();
    }

private:
    std::function<void()> m_onLayout;
};

QString idKey(qint64 nid) {
    return QString::number(nid);
}

KZButton* makeBorderedButton(const QString& title, const QColor& border, const QColor& titleColor) {
    auto* b = new KZButton;
    b->setTitle(title);
    b->setFont(KZStyle::fontOfSize(14));
    b->setCornerRadius(4.0);
    b->setBorderWidth(1.0);
    b->setBorderColor(border);
    b->setTitleNormalColor(titleColor);
    return b;
}

} // namespace

KZFoldersWindowController::KZFoldersWindowController(uint type,
                                                     const QList<CloudFileInfoPtr>& opertatingFiles,
                                                     QObject* parent)
    : KZBaseWindowController(kClassName, parent), m_type(type) {
    for (const CloudFileInfoPtr& f : opertatingFiles)
        if (f && f->isDirectory())
            m_opertatingFiles.insert(idKey(f->nid()));
    initData();
}

KZFoldersWindowController::~KZFoldersWindowController() {
    KZSessionProxy* proxy = KZSessionProxy::shareSessionProxy();
    proxy->removeSessionObserver(this);
    // The session forgets the picker's folder; its history is kept for the next picker.
    proxy->getFolderListByNid(-999, QString(), -1, nullptr, {});
}

void KZFoldersWindowController::windowDidDisappear() {
    KZBaseWindowController::windowDidDisappear();
    deleteLater();
}

void KZFoldersWindowController::initData() {
    m_fileListSortMode = nubo::SingletonT<nubo::SystemConfig>::instance().getCloudFileSort();
    m_fileInfo = CloudFileInfo::rootFile();
    m_files.clear();
    m_nodeIndexs.clear();
    enterFolder(m_fileInfo);
}

void KZFoldersWindowController::loadWindow() {
    auto* w = new kit::Window;
    w->setContentView(new PickerContentView([this] { layoutWindow(); }));
    w->setContentSize(QSizeF(kWidth, kHeight));
    setWindow(w);
}

void KZFoldersWindowController::windowDidLoad() {
    KZBaseWindowController::windowDidLoad();
    initUI();
    addObservers();
}

void KZFoldersWindowController::initUI() {
    window()->contentView()->setCustomBackgroundColor(Qt::white);
    initToolBarUI();
    initContentViewUI();
    initNavigationBarUI();
    layoutWindow();
}

void KZFoldersWindowController::initToolBarUI() {
    kit::View* content = window()->contentView();
    m_toolBar = new kit::View(content);
    m_toolBar->setCustomBackgroundColor(Qt::white);
    m_cancelButton =
        makeBorderedButton(QStringLiteral("取消"), KZStyle::separatorColor(), KZStyle::darkGray2Color());
    m_cancelButton->setAction(this, [this](KZButton*) { cancelButtonClicked(); });
    m_confirmButton = new KZButton;
    m_confirmButton->setTitle(m_type == KZPickerOperationTypeMove ? QStringLiteral("移动")
                                                                  : QStringLiteral("复制"));
    m_confirmButton->setFont(KZStyle::fontOfSize(14));
    m_confirmButton->setCornerRadius(4.0);
    m_confirmButton->setTitleNormalColor(Qt::white);
    m_confirmButton->setBackgroundColor(KZStyle::tabbarTintColor());
    m_confirmButton->setAction(this, [this](KZButton*) { confirmButtonClicked(); });
    m_createFolderButton = makeBorderedButton(QStringLiteral("新建文件夹"), KZStyle::tabbarTintColor(),
                                              KZStyle::tabbarTintColor());
    m_createFolderButton->setAction(this, [this](KZButton*) { createFolderButtonClicked(); });
    for (KZButton* b : {m_cancelButton.data(), m_confirmButton.data(), m_createFolderButton.data()})
        m_toolBar->addSubview(b);
}

void KZFoldersWindowController::initContentViewUI() {
    kit::View* content = window()->contentView();
    m_centerView = new kit::View(content);
    m_centerView->setCustomBackgroundColor(Qt::white);
    m_centerView->setBorderColor(KZStyle::separatorColor());
    m_centerView->setBorderWidth(1.0);
    m_centerView->setCornerRadius(4.0);
    m_tableView = new kit::TableView(m_centerView);
    m_tableView->addTableColumn(QStringLiteral("name"), QStringLiteral("名称"), 360);
    m_tableView->addTableColumn(QStringLiteral("mtime"), kColumnModifyTime, 160);
    m_tableView->setRowHeight(kRowHeight);
    m_tableView->setSelectionHighlightStyle(kit::SelectionHighlightStyle::None);
    m_tableView->registerView(KZFolderRowView::kIdentifier, [] { return new KZFolderRowView; });
    m_tableView->registerView(KZFolderInfoCell::kIdentifier, [] { return new KZFolderInfoCell; });
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    m_tableView->reloadData();
}

void KZFoldersWindowController::initNavigationBarUI() {
    kit::View* content = window()->contentView();
    m_navigationBar = new kit::View(content);
    m_navigationBar->setCustomBackgroundColor(QColor(QStringLiteral("#F8F0F8")));
    m_navigationTitleLabel = new KZLabel(m_navigationBar);
    m_navigationTitleLabel->setText(QStringLiteral("请选择目录"));
    window()->setTitle(m_navigationTitleLabel->text()); // the title bar says it too, not the program's name
    m_navigationTitleLabel->setTextColor(KZStyle::titleColor());
    m_navigationTitleLabel->setFont(KZStyle::fontOfSize(12));
    m_navigationTitleLabel->setTextAlignment(kit::TextAlignment::Center);
    auto navButton = [this](const QString& image, std::function<void()> action) {
        auto* b = new KZButton(m_navigationBar);
        b->setImage(KZFilesImages::named(image).toImage());
        b->setAction(this, [action = std::move(action)](KZButton*) { action(); });
        b->setEnabled(false);
        return b;
    };
    m_goBackButton = navButton(QStringLiteral("files_go_back"), [this] { actionGoback(); });
    m_goForwardButton = navButton(QStringLiteral("files_go_forward"), [this] { actionGoForward(); });
    m_folderCrumbs = new KZFolderCrumbs;
    m_navigationBar->addSubview(m_folderCrumbs);
    m_folderCrumbs->setDelegate(this);
    m_navigationSeparator = new kit::View(content);
    m_navigationSeparator->setCustomBackgroundColor(KZStyle::separatorColor());
    refreshFolderCrumbs();
}

void KZFoldersWindowController::layoutWindow() {
    if (!m_navigationBar || !m_toolBar || !m_centerView)
        return;
    kit::View* content = window()->contentView();
    const double w = content->width();
    const double h = content->height();
    m_navigationBar->setFrame(QRectF(0, 0, w, kNavigationHeight));
    m_navigationTitleLabel->setFrame(QRectF(0, 8, w, 20));
    const double row = 36 + (kNavigationHeight - 36 - 24) / 2;
    m_goBackButton->setFrame(QRectF(kMargin, row, 24, 24));
    m_goForwardButton->setFrame(QRectF(kMargin + 32, row, 24, 24));
    const double crumbsLeft = kMargin + 72;
    const double oldCrumbsWidth = m_folderCrumbs->width();
    m_folderCrumbs->setFrame(
        QRectF(crumbsLeft, 36, std::max(0.0, w - crumbsLeft - kMargin), kNavigationHeight - 36));
    if (oldCrumbsWidth <= 0 && m_folderCrumbs->width() > 0)
        refreshFolderCrumbs(); // the crumbs are chosen for the bar's width
    m_navigationSeparator->setFrame(QRectF(0, kNavigationHeight, w, 1));
    m_toolBar->setFrame(QRectF(0, h - kToolBarHeight, w, kToolBarHeight));
    const double by = (kToolBarHeight - 30) / 2;
    m_createFolderButton->setFrame(QRectF(kMargin, by, 100, 30));
    m_confirmButton->setFrame(QRectF(w - kMargin - 80, by, 80, 30));
    m_cancelButton->setFrame(QRectF(m_confirmButton->left() - 12 - 80, by, 80, 30));
    const double top = kNavigationHeight + 1 + 12;
    m_centerView->setFrame(QRectF(kMargin, top, w - 2 * kMargin, std::max(0.0, m_toolBar->top() - top)));
    m_tableView->setFrame(m_centerView->bounds().adjusted(1, 1, -1, -1));
    if (!m_tableView->tableColumns().isEmpty())
        m_tableView->tableColumns().first()->setWidth(std::max(160.0, m_tableView->width() - 180));
}

void KZFoldersWindowController::addObservers() {
    KZSessionProxy::shareSessionProxy()->addSessionObserver(this);
}

// ---- built parts

kit::TableView* KZFoldersWindowController::tableView() {
    window();
    return m_tableView;
}
KZFolderCrumbs* KZFoldersWindowController::folderCrumbs() {
    window();
    return m_folderCrumbs;
}
KZButton* KZFoldersWindowController::goBackButton() {
    window();
    return m_goBackButton;
}
KZButton* KZFoldersWindowController::goForwardButton() {
    window();
    return m_goForwardButton;
}
KZButton* KZFoldersWindowController::confirmButton() {
    window();
    return m_confirmButton;
}
KZButton* KZFoldersWindowController::cancelButton() {
    window();
    return m_cancelButton;
}
KZButton* KZFoldersWindowController::createFolderButton() {
    window();
    return m_createFolderButton;
}
KZLabel* KZFoldersWindowController::navigationTitleLabel() {
    window();
    return m_navigationTitleLabel;
}

// ---- navigation

void KZFoldersWindowController::requestList(qint64 nid, const QString& path) {
    KZSessionProxy::shareSessionProxy()->getFolderListByNid(nid, path, m_fileListSortMode, this, {});
}

void KZFoldersWindowController::enterFolder(const CloudFileInfoPtr& folder) {
    if (folder && !KZLocalFileInfo::isLocal(folder.get()))
        requestList(folder->nid(), folder->path());
}

void KZFoldersWindowController::actionGoback() {
    requestList(-2, m_fileInfo ? m_fileInfo->path() : QString());
}

void KZFoldersWindowController::actionGoForward() {
    requestList(-1, m_fileInfo ? m_fileInfo->path() : QString());
}

void KZFoldersWindowController::folderCrumbsDidClickDirectoryPath(const QString& path) {
    requestList(-3, path);
}

void KZFoldersWindowController::resetCurrentFileList() {
    requestList(-4, QString());
}

void KZFoldersWindowController::refreshBackForward(int backForward) {
    if (m_goForwardButton)
        m_goForwardButton->setEnabled(backForward & 1);
    if (m_goBackButton)
        m_goBackButton->setEnabled(backForward & 2);
}

void KZFoldersWindowController::refreshFolderCrumbs() {
    if (!m_folderCrumbs || !m_fileInfo)
        return;
    QString path = m_fileInfo->path();
    if (m_fileInfo->isSearch()) {
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        path += QStringLiteral("“%1”的搜索结果").arg(m_fileInfo->searchKey());
    }
    m_folderCrumbs->setFullPath(path);
}

void KZFoldersWindowController::kzSessionRequestFileList(KZAbstractSession*, qint64,
                                                         const CloudFileInfoPtr& cloudFile,
                                                         const CloudFileList& fileList,
                                                         KZBackForwardState backForward, const QVariantMap&) {
    if (!cloudFile)
        return;
    endNameEdit();
    m_fileInfo = cloudFile;
    m_folderNameGenerator.scanFileNameForCreateDir(fileList);
    m_files.clear();
    m_nodeIndexs.clear();
    for (const CloudFileInfoPtr& f : fileList) {
        if (!f)
            continue;
        const QString key = idKey(f->nid());
        if (m_opertatingFiles.contains(key))
            continue;
        m_nodeIndexs.insert(key, int(m_files.size()));
        m_files.append(f);
    }
    // The reply replaced a local row that was still being named: naming is over.
    if (m_isEditing && !m_createRequestOut)
        m_isEditing = false;
    if (isWindowLoaded()) {
        m_tableView->reloadData();
        refreshFolderCrumbs();
        refreshBackForward(int(backForward));
    }
}

void KZFoldersWindowController::kzSessionRequestFileListFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                             const BWError& error) {
    if (isWindowLoaded())
        KZToast::showToastWithErrorMessage(window(), error.localizedDescription());
}

// ---- buttons

void KZFoldersWindowController::confirmButtonClicked() {
    if (m_selectFolderBlock)
        m_selectFolderBlock(m_fileInfo);
    closeWindow();
}

void KZFoldersWindowController::cancelButtonClicked() {
    closeWindow();
}

// ---- new folder

void KZFoldersWindowController::createFolderButtonClicked() {
    if (m_isEditing)
        return;
    m_isEditing = true;
    if (!m_files.isEmpty())
        tableView()->scrollRowToVisible(0);
    const QString name = m_folderNameGenerator.newFolderName();
    insertRowItemForLocalFile(
        KZLocalFileInfo::localFileInfoWithName(name, m_fileInfo ? m_fileInfo->nid() : 0));
}

void KZFoldersWindowController::insertRowItemForLocalFile(const std::shared_ptr<KZLocalFileInfo>& local) {
    m_files.prepend(local);
    kit::TableView* table = tableView();
    table->beginUpdates();
    table->insertRows(kit::IndexSet(0));
    table->endUpdates();
    if (auto* cell = dynamic_cast<KZTextFieldFocuse*>(table->viewAtColumn(0, 0, false)))
        cell->focus();
}

void KZFoldersWindowController::textFieldDidResignFirstResponder(KZTextFieldFocuse* sender) {
    if (!sender)
        return;
    sender->unfocus();
    const auto* local = m_files.isEmpty() ? nullptr : dynamic_cast<KZLocalFileInfo*>(m_files.first().get());
    if (!local || local->state() == 1 || m_createRequestOut)
        return;
    createFolder(sender->textFieldContent());
}

void KZFoldersWindowController::textFieldDidAbandonEditing(KZTextFieldFocuse* sender) {
    if (!sender)
        return;
    sender->unfocus();
    withdrawLocalRows();
}

void KZFoldersWindowController::endNameEdit() {
    if (!isWindowLoaded())
        return;
    if (KZTextFieldFocuse* field = editingNameField(window()))
        field->abandonEditing();
}

void KZFoldersWindowController::createFolder(const QString& name) {
    if (KZUploadNameCheck::hasIllegalCharacter(name)) {
        // One path component only: "a/b" must never create "b" inside "a".
        KZToast::showToastWithWarningMessage(window()->contentView(),
                                             KZFileInfoCell::kLimitedCharacterWarning);
        endNaming();
        requestList(m_fileInfo->nid(), m_fileInfo->path());
        return;
    }
    m_createRequestOut = true;
    KZToast::showToast(window(), QStringLiteral("正在创建文件夹..."), false, false);
    KZSessionProxy::shareSessionProxy()->requestCreateDir(m_fileInfo->fixedPath() + name, this, {});
}

void KZFoldersWindowController::endNaming() {
    m_isEditing = false;
    m_createRequestOut = false;
}

void KZFoldersWindowController::kzSessionRequestCreateDir(KZAbstractSession*, qint64, const QVariantMap&) {
    endNaming();
    if (isWindowLoaded())
        KZToast::showToastWithSucessMessageAfterDelay(window(), QStringLiteral("文件夹创建成功"),
                                                      kAnswerToastDelay);
}

void KZFoldersWindowController::kzSessionRequestCreateDirFail(KZAbstractSession*, qint64, const QVariantMap&,
                                                              const BWError& error) {
    endNaming();
    if (isWindowLoaded())
        KZToast::showToastWithErrorMessageAfterDelay(window(), error.localizedDescription(),
                                                     kAnswerToastDelay);
    if (m_fileInfo)
        requestList(m_fileInfo->nid(), m_fileInfo->path());
}

void KZFoldersWindowController::removeLocalFolders() {
    endNameEdit();
    withdrawLocalRows();
}

void KZFoldersWindowController::withdrawLocalRows() {
    int count = 0;
    while (count < m_files.size()) {
        auto* local = dynamic_cast<KZLocalFileInfo*>(m_files.at(count).get());
        if (!local)
            break;
        local->setState(1);
        ++count;
    }
    if (count == 0)
        return;
    m_files.remove(0, count);
    // A row withdrawn while it was still being named sends nothing, so no reply will end naming.
    if (!m_createRequestOut)
        m_isEditing = false;
    if (isWindowLoaded()) {
        m_tableView->beginUpdates();
        m_tableView->removeRows(kit::IndexSet::range(0, count));
        m_tableView->endUpdates();
    }
}

// ---- node changes

void KZFoldersWindowController::didKZSessionIncrNodeChanged(KZAbstractSession*, qint64 nid, bool needReset,
                                                            const QList<CloudFileInfoPtr>& children) {
    if (needReset) {
        resetCurrentFileList();
        return;
    }
    if (!m_fileInfo || nid != m_fileInfo->nid())
        return;
    removeLocalFolders();
    QList<int> removal;
    QList<CloudFileInfoPtr> added;
    for (const CloudFileInfoPtr& child : children) {
        if (!child || !child->isDirectory())
            continue;
        const QString key = idKey(child->nid());
        const auto row = m_nodeIndexs.constFind(key);
        const bool present = row != m_nodeIndexs.constEnd() && *row < m_files.size();
        if (child->isDeleted()) {
            if (present) {
                removal.append(*row);
                m_folderNameGenerator.deleteSuffixIndex({child});
            }
        } else if (present) {
            child->setSelected(m_files.at(*row)->selected());
            removal.append(*row);
            added.append(child);
        } else if (!m_opertatingFiles.contains(key)) {
            added.append(child);
            m_folderNameGenerator.addSuffixIndex({child});
        }
    }
    // A changed folder leaves its row and comes back where its new name sorts it.
    removeRows(std::move(removal));
    insertSorted(added);
}

void KZFoldersWindowController::removeRows(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    kit::IndexSet removed;
    for (int i = int(rows.size()) - 1; i >= 0; --i) {
        m_files.removeAt(rows.at(i));
        removed.add(rows.at(i));
    }
    if (isWindowLoaded() && !removed.isEmpty()) {
        m_tableView->beginUpdates();
        m_tableView->removeRows(removed);
        m_tableView->endUpdates();
    }
}

void KZFoldersWindowController::insertSorted(const QList<CloudFileInfoPtr>& added) {
    m_files += added;
    sortFiles();
    m_nodeIndexs.clear();
    kit::IndexSet inserted;
    QSet<const CloudFileInfo*> addedSet;
    for (const auto& f : std::as_const(added))
        addedSet.insert(f.get());
    for (int i = 0; i < m_files.size(); ++i) {
        m_nodeIndexs.insert(idKey(m_files.at(i)->nid()), i);
        if (addedSet.contains(m_files.at(i).get()))
            inserted.add(i);
    }
    if (isWindowLoaded() && !inserted.isEmpty()) {
        m_tableView->beginUpdates();
        m_tableView->insertRows(inserted);
        m_tableView->endUpdates();
    }
}

void KZFoldersWindowController::sortFiles() {
    KZFileListSort::sort(m_files, m_fileListSortMode);
}

// ---- table

int KZFoldersWindowController::numberOfRowsInTableView(kit::TableView*) {
    return int(m_files.size());
}

kit::View* KZFoldersWindowController::tableViewViewForTableColumn(kit::TableView* table,
                                                                  kit::TableColumn* column, int row) {
    if (!column || row < 0 || row >= m_files.size())
        return nullptr;
    auto* cell = table->makeView<KZFolderInfoCell>(KZFolderInfoCell::kIdentifier);
    if (!cell)
        return nullptr;
    cell->setType(column->title() == kColumnModifyTime ? KZFileInfoCellTypeModifyTime
                                                       : KZFileInfoCellTypeName);
    cell->setFileInfo(m_files.at(row));
    cell->setDelegate(this);
    return cell;
}

kit::TableRowView* KZFoldersWindowController::tableViewRowViewForRow(kit::TableView* table, int) {
    return table->makeView<KZFolderRowView>(KZFolderRowView::kIdentifier);
}

void KZFoldersWindowController::tableViewSelectionDidChange(kit::TableView* table) {
    const int row = table->selectedRowIndexes().first();
    if (row < 0)
        return;
    // A click opens a folder; no row stays chosen, so later row changes never shift a selection
    // onto another folder.
    table->deselectAll();
    if (!m_isEditing && row < m_files.size())
        enterFolder(m_files.at(row));
}
