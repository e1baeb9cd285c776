#pragma once

#include "cloud/KZSessionDelegates.h"
#include "kit/CollectionView.h"
#include "kit/IndexSet.h"
#include "kit/TableView.h"
#include "shell/KZBaseViewController.h"
#include "shell/KZHomePages.h"
#include "shell/KZMessageSet.h"
#include "shell/KZShortcutKeysManager.h"
#include "shell/KZTableCheckboxHeaderView.h"
#include "transport/KZDownloadMgrProxy.h"
#include "transport/KZUploadMgrProxy.h"
#include "ui/common/KZFileOperateMenuWindowController.h"
#include "ui/common/KZFileSortWindowController.h"
#include "ui/files/KZCollectionView.h"
#include "ui/files/KZFileCollectionHeaderView.h"
#include "ui/files/KZFileInfoItemView.h"
#include "ui/files/KZFileListStyleSwitcher.h"
#include "ui/files/KZFilePathCell.h"
#include "ui/files/KZFileRowView.h"
#include "ui/files/KZFileSearchView.h"
#include "ui/files/KZFileViewProtocols.h"
#include "ui/files/KZFilesToolBar.h"
#include "ui/files/KZFolderCrumbs.h"
#include "ui/files/KZImagesPreviewing.h"
#include "ui/files/KZLocalFileInfo.h"
#include "ui/files/KZPasteboardItem.h"
#include "ui/files/KZSearchOptionsView.h"
#include "ui/files/KZSpinnerView.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "shell/KZButton.h"

// 0 name ascending, 1 name descending, 2 time ascending, anything else time descending.
using KZFileListSortMode = qint32;

// The "文件" page: one cloud folder (or one search result) as a list or a grid, with the
// back/forward buttons and folder crumbs, the toolbar and the bottom-bar status line. It never
// lists a folder itself: it sends navigation commands to the session proxy and shows the answers.
class KZAlertController;
class KZNewFolderNameGenerator;
class KZChangeBatch;
class KZFoldersWindowController;

class KZFilesViewController : public KZBaseViewController,
                              public KZFilesPage,
                              public KZRequestFileListDelegate,
                              public KZSessionDelegate,
                              public KZRequestIncrNodeDelegate,
                              public KZRequestCreateDirDelegate,
                              public KZRequestRenameFileDelegate,
                              public KZRequestDeleteFileDelegate,
                              public KZRequestShareFilesDelegate,
                              public KZRequestCancelShareDelegate,
                              public KZUploadMgrProxyDelegate,
                              public KZDownloadMgrProxyDelegate,
                              public kit::TableViewDataSource,
                              public kit::TableViewDelegate,
                              public kit::CollectionViewDataSource,
                              public kit::CollectionViewDelegate,
                              public KZShortcutKeysDelegate,
                              public KZFolderCrumbsDelegate,
                              public KZTextFieldDelegate,
                              public KZFileRowViewDelegate,
                              public KZTableCheckboxHeaderViewDelegate,
                              public KZFileListStyleSwitcherDelegate,
                              public KZMessageSetViewDelegate,
                              public KZFileSearchViewDelegate,
                              public KZSearchOptionsViewDelegate,
                              public KZFilePathCellDelegate,
                              public KZFileInfoItemViewDelegate,
                              public KZFileCollectionHeaderViewDelegate,
                              public KZFileOperateMenuWindowDelegate,
                              public KZFileSortWindowMenuDelegate,
                              public KZImagesPreviewOwner {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZFilesViewController");
    static inline const QString kUploadFilesNotification =
        QStringLiteral("KZFilesViewUploadFilesNotification");
    static inline const QString kRestoreOffsetKey = QStringLiteral("restoreOffset");
    static inline const QString kExpectFilePathKey = QStringLiteral("expectFilePath");
    // The share window, made by the router with the returned link under kShareInfoParam.
    static inline const QString kShareWindowClassName = QStringLiteral("KZShareWindowControler");
    static inline const QString kShareInfoParam = QStringLiteral("shareInfo");
    // The list's header height; the top of the list is the scroll origin (0, -32).
    static constexpr double kTableHeaderHeight = 32.0;
    // Column titles; any other title is the name column.
    static inline const QString kColumnName = QStringLiteral("名称");
    static inline const QString kColumnSize = QStringLiteral("大小");
    static inline const QString kColumnType = QStringLiteral("类型");
    static inline const QString kColumnModifyTime = QStringLiteral("修改日期");
    static inline const QString kColumnLocation = QStringLiteral("所在位置");
    // The scope bar's height while a search result is on view.
    static constexpr double kSearchOptionsHeight = 38.0;

    // Registers the page with the router: made by class name with the root folder, kept for life.
    static void registerWithRouter();

    explicit KZFilesViewController(const CloudFileInfoPtr& fileInfo, QObject* parent = nullptr);
    ~KZFilesViewController() override;

    // ---- state
    const CloudFileInfoPtr& fileInfo() const { return m_fileInfo; }
    void setFileInfo(const CloudFileInfoPtr& f) { m_fileInfo = f; }
    const CloudFileList& files() const { return m_files; }
    void setFiles(const CloudFileList& files) { m_files = files; }
    const QList<CloudFileInfoPtr>& selectedFiles() const { return m_selectedFiles; }
    void setSelectedFiles(const QList<CloudFileInfoPtr>& files) { m_selectedFiles = files; }
    const QHash<qint64, int>& nodeIndexs() const { return m_nodeIndexs; }
    const QHash<QString, float>& tableViewOffsets() const { return m_tableViewOffsets; }
    const QHash<QString, float>& collectionViewOffsets() const { return m_collectionViewOffsets; }
    const QList<std::shared_ptr<KZLocalFileInfo>>& creatingFiles() const { return m_creatingFiles; }
    KZFileListSortMode fileListSortMode() const { return m_fileListSortMode; }
    void setFileListSortMode(KZFileListSortMode m) { m_fileListSortMode = m; }
    KZFileListSortMode sortMode() const { return m_fileListSortMode; }
    bool isEditing() const { return m_isEditing; }
    void setIsEditing(bool e) { m_isEditing = e; }
    QString expectFilePath() const { return m_expectFilePath; }
    // Opens the path's parent folder and selects the item when the page next appears, or at once
    // when the page is on screen already.
    void setExpectFilePath(const QString& path) override;
    uint filesContainerStyle() const;

    // ---- views
    KZFilesToolBar* toolBar() const { return m_toolBar; }
    KZFileListStyleSwitcher* switcher() const { return m_switcher; }
    KZFolderCrumbs* folderCrumbs() const { return m_folderCrumbs; }
    KZButton* goBackButton() const { return m_goBackButton; }
    KZButton* goForwardButton() const { return m_goForwardButton; }
    kit::TableView* tableView() const { return m_tableView; }
    KZTableCheckboxHeaderView* tableHeaderView() const { return m_tableHeaderView; }
    KZCollectionView* collectionView() const { return m_collectionView; }
    KZFileCollectionHeaderView* collectionHeaderView() const { return m_collectionHeaderView; }
    const KZFilesToolBarItemPtr& uploadItem() const { return m_uploadItem; }
    const KZFilesToolBarItemPtr& folderItem() const { return m_folderItem; }
    const KZFilesToolBarItemPtr& downloadItem() const { return m_downloadItem; }
    const KZFilesToolBarItemPtr& deleteItem() const { return m_deleteItem; }
    const KZFilesToolBarItemPtr& moreItem() const { return m_moreItem; }
    const KZFilesToolBarItemPtr& sortItem() const { return m_sortItem; }
    // The text last sent to the bottom bar's right area.
    QString homeToolBarMessage() const { return m_homeToolBarMessage; }

    // ---- refresh routines
    void refreshFolderCrumbs();
    void refreshToolbarItemState();
    void refreshTableHeaderViewState();
    void refreshHomeToolBarMessage();
    void reloadData();

    // ---- navigation
    void openDir(const CloudFileInfoPtr& folder);
    void openDirForGoForword();
    void openDirForGoBack();
    void openDirWithJumpPath(const QString& path, const QString& expectFilePath, bool restoreOffset);
    // Jumps to the stored expected path's folder and forgets the path.
    void openExpectFilePath();
    void openDirToRoot() override;
    void resetCurrentFileList();
    void refreshBackForward(int backForward);

    // ---- list display
    void reloadFiles();
    void resortAllFileList();
    void switchFilesContainerView();
    void recordLastOffset();
    void checkStoreOffset(const QVariantMap& userInfo);
    void scrollToOriginalOffset();
    void checkSelectExpectFile(const QVariantMap& userInfo);
    void selectExpectFile(int index);
    void scrollToTopItem();
    // The row under the last click, or null.
    CloudFileInfoPtr convertFileFromClickPosition() const;
    void previewImage(const CloudFileInfoPtr& file);
    // The images previewImage hands on (rows of category 1 in row order) and the file's index
    // among them (-1 when it is not one of them).
    QPair<QList<CloudFileInfoPtr>, int> previewImageInfos(const CloudFileInfoPtr& file) const;

    // ---- selection and rows
    void deselectAllRows();
    void selectAllRows();
    void selectRowsAtIndexes(const kit::IndexSet& indexes);
    void insertRowsAtIndexs(const kit::IndexSet& indexes);
    // The same with the new rows to select known (`selected` among `indexes`).
    void insertRowsAtIndexs(const kit::IndexSet& indexes, const kit::IndexSet& selected);
    void deleteRowsAtIndexs(const kit::IndexSet& indexes);
    void makeRenameFileFocus();
    QList<kit::IndexPath> getCollectionViewSelectedIndexPathsFromTableView() const;
    kit::IndexSet getTableViewSelectedRowIndexsFromCollectionView() const;
    // The column of the names in the list.
    int nameColumn() const;

    // ---- commands of the views
    void actionGoback();
    void actionGoForward();
    void actionDoubleClick();
    void closeAllMenus();
    // The empty state's "上传文件" button; starting uploads belongs to the operation commands.
    void uploadFilesButtonsAction();

    // ---- cloud requests: each runs its guards (plan, then sync lock, then edit lock; the first
    // that holds shows its alert and ends the request) and answers whether it was sent.
    // Placeholder rows of folders being created are never sent.
    bool createDir(const QString& path);
    bool uploadFiles(const QStringList& paths, const CloudFileInfoPtr& destFile);
    // The file system's root is never uploaded: when `paths` hold it, tells the user and answers
    // true (the whole request is refused).
    bool refusedFileSystemRoot(const QStringList& paths);
    void downloadFiles(const QList<CloudFileInfoPtr>& files);
    bool downloadFiles(const QList<CloudFileInfoPtr>& files, const QString& path);
    bool deleteFiles(const QList<CloudFileInfoPtr>& files);
    bool renameFile(const CloudFileInfoPtr& file, const QString& newName);
    bool moveFiles(const QList<CloudFileInfoPtr>& files, const CloudFileInfoPtr& destFile);
    bool copyFiles(const QList<CloudFileInfoPtr>& files, const CloudFileInfoPtr& destFile);
    bool shareFiles(const QList<CloudFileInfoPtr>& files);
    bool cancelShareFiles(const QList<CloudFileInfoPtr>& files);
    static bool syncingForFiles(const QList<CloudFileInfoPtr>& files);
    static bool editingForFiles(const QList<CloudFileInfoPtr>& files);
    // The files without the placeholder rows of folders being created (and without nulls).
    static QList<CloudFileInfoPtr> operableFiles(const QList<CloudFileInfoPtr>& files);

    // ---- operation commands (toolbar, menus, keyboard)
    void actionUploadFile();
    void actionCreateDir();
    void actionDownloadFile();
    void actionShareFile();
    void actionCancelShare();
    void actionDeleteFile();
    void actionFileHistory();
    void actionMoveFile();
    void actionCopyFile();
    void actionRenameFile();
    // Uploads the chosen local files and folders into the open folder once every folder below
    // them has a name the cloud accepts; the folders are walked off the main thread.
    void uploadChosenPaths(const QStringList& paths);

    // ---- fixed alerts (presented on the page's window; returned for tests)
    KZAlertController* showSyncingAlert();
    KZAlertController* showEditingAlert();
    KZAlertController* showOverdueAlert();
    KZAlertController* showDeleteAlertWithDeleteHandler(std::function<void()> handler);

    // ---- incremental refresh and new folders
    void requestIncrFiles();
    bool isRefreshing() const { return m_refreshing; }
    KZButton* refreshButton() const { return m_refreshButton; }
    void resetNodeIndex();
    // The rows of the changed nodes that leave (removed, or replaced by their new record), once
    // the batch found them: as a set and as a bit per row.
    std::vector<quint64> getDeletedNodesIndexs(kit::IndexSet& deleted, const KZChangeBatch& batch);
    // Finds the changed nodes' rows, removes those that leave and places the batch's additions
    // among the sorted rows; answers the additions' new rows, with the rows that left in `deleted`
    // (counted as they stood) and the new rows to select in `selected`.
    kit::IndexSet mergeSortedRows(KZChangeBatch& batch, kit::IndexSet& deleted, kit::IndexSet& selected);
    void scanFileNameForCreateDir();
    void insertLocalCreatingFile();
    void makeLocalFileFocus();
    KZNewFolderNameGenerator& folderNameGenerator() const { return *m_folderNameGenerator; }

    // ---- sync results and conflict questions
    void showUploadMessageWithUploadState(quint64 state, int type);
    void showDownloadMessageWithDownloadState(quint64 state);
    KZAlertController* showCanMergeAlertWithName(const QString& operation, const QString& title,
                                                 const BWError& error);
    KZAlertController* showCloudConflictAlertWithName(const QString& operation, const QString& conflict,
                                                      const QString& title, const BWError& error,
                                                      bool keepBoth);
    KZAlertController* showLocalConflictAlertWithName(const QString& operation, const QString& conflict,
                                                      const QString& title, const BWError& error);
    void solveConflictCloudFile(const QString& operation, const BWError& error, bool keepBoth, bool applyAll);
    void skipConflictCloudFile(const QString& operation, const BWError& error, bool applyAll);
    void solveLocalFileConflict(const QString& operation, const BWError& error, bool applyAll);
    void skipLocalFileConflict(const QString& operation, const BWError& error, bool applyAll);

    // Session replies of the requests above.
    void kzSessionRequestGetIncrNode(KZAbstractSession* session, qint64 requestId,
                                     const QVariantMap& userInfo) override;
    void kzSessionRequestGetIncrNodeFail(KZAbstractSession* session, qint64 requestId,
                                         const QVariantMap& userInfo, const BWError& error) override;
    void kzSessionRequestCreateDir(KZAbstractSession* session, qint64 requestId,
                                   const QVariantMap& userInfo) override;
    void kzSessionRequestCreateDirFail(KZAbstractSession* session, qint64 requestId,
                                       const QVariantMap& userInfo, const BWError& error) override;
    void kzSessionRequestRenameFile(KZAbstractSession* session, qint64 requestId,
                                    const QVariantMap& userInfo) override;
    void kzSessionRequestRenameFileFail(KZAbstractSession* session, qint64 requestId,
                                        const QVariantMap& userInfo, const BWError& error) override;
    void kzSessionRequestDeleteFile(KZAbstractSession* session, qint64 requestId,
                                    const QVariantMap& userInfo) override;
    void kzSessionRequestDeleteFileFail(KZAbstractSession* session, qint64 requestId,
                                        const QVariantMap& userInfo, const BWError& error) override;
    void kzSessionRequestShareFiles(KZAbstractSession* session, qint64 requestId,
                                    const ShareInfoPtr& shareInfo, const QVariantMap& userInfo) override;
    void kzSessionRequestShareFilesFail(KZAbstractSession* session, qint64 requestId,
                                        const QVariantMap& userInfo, const BWError& error) override;
    void kzSessionRequestCancelShare(KZAbstractSession* session, qint64 requestId,
                                     const QVariantMap& userInfo) override;
    void kzSessionRequestCancelShareFail(KZAbstractSession* session, qint64 requestId,
                                         const QVariantMap& userInfo, const BWError& error) override;

    // KZSessionDelegate
    void didKZSessionIncrNodeChanged(KZAbstractSession* session, qint64 nid, bool needReset,
                                     const QList<CloudFileInfoPtr>& children) override;
    void didKZSessionLogin(KZAbstractSession* session, const BWError& error) override;

    // KZUploadMgrProxyDelegate / KZDownloadMgrProxyDelegate: sync reports
    void cloudFileSyncStateChange(quint64 state, quint64 cloudFileCtrlCount, int type) override;
    void cloudFileSyncFail(const QString& operation, const BWError& error, int type) override;
    void cloudFileSyncSuccess(const QString& operation, quint64 filesCount, quint64 ctrlCount,
                              int type) override;
    void cloudFileSyncCompletion(int type) override;
    void localFileSyncStateChange(quint64 state, quint64 fileCtrlCount, int type) override;
    void localFileSyncFail(const QString& operation, const BWError& error) override;
    void localFileSyncSuccess(const QString& operation, quint64 filesCount, quint64 ctrlCount) override;

    // KZFilesPage
    // Keeps an open "more" menu under its button.
    void resizeContent() override;
    void closeFilesMenus() override { closeAllMenus(); }

    // kit::ViewController
    void viewDidAppear() override;
    void viewWillDisappear() override;

    // KZRequestFileListDelegate
    void kzSessionRequestFileList(KZAbstractSession* session, qint64 requestId,
                                  const CloudFileInfoPtr& cloudFile, const CloudFileList& fileList,
                                  KZBackForwardState backForward, const QVariantMap& userInfo) override;
    void kzSessionRequestFileListFail(KZAbstractSession* session, qint64 requestId,
                                      const QVariantMap& userInfo, const BWError& error) override;

    // kit::TableViewDataSource / Delegate
    int numberOfRowsInTableView(kit::TableView*) override;
    kit::View* tableViewViewForTableColumn(kit::TableView*, kit::TableColumn* column, int row) override;
    kit::TableRowView* tableViewRowViewForRow(kit::TableView*, int row) override;
    void tableViewDidAddRowView(kit::TableView*, kit::TableRowView* rowView, int row) override;
    void tableViewDidRemoveRowView(kit::TableView*, kit::TableRowView* rowView, int row) override;
    void tableViewSelectionDidChange(kit::TableView*) override;

    // kit::CollectionViewDataSource / Delegate
    int collectionViewNumberOfItemsInSection(kit::CollectionView*, int) override;
    kit::CollectionViewItem* collectionViewItemForRepresentedObjectAtIndexPath(kit::CollectionView*,
                                                                               kit::IndexPath path) override;
    void collectionViewDidSelectItemsAtIndexPaths(kit::CollectionView*,
                                                  const QList<kit::IndexPath>&) override;
    void collectionViewDidDeselectItemsAtIndexPaths(kit::CollectionView*,
                                                    const QList<kit::IndexPath>&) override;

    // Views' delegates
    void didPressCmdA() override;
    // A name field ended editing: a new folder is created or a rename sent, and editing ends.
    void textFieldDidResignFirstResponder(KZTextFieldFocuse* sender) override;
    // A name field was abandoned: nothing is sent; a new folder's placeholder row goes.
    void textFieldDidAbandonEditing(KZTextFieldFocuse* sender) override;
    // Whether a name field of the page is being edited; list replies and node changes wait
    // until it closes.
    bool isNameFieldOpen() const;
    bool isWaitingForNameField() const { return !m_waitingForNameField.isEmpty(); }
    void folderCrumbsDidClickDirectoryPath(const QString& path) override;
    void fileRowViewDidClickCheckBox(KZFileRowView* rowView, KZCheckBoxButton* checkBox) override;
    void fileRowViewRightMouseUp(KZFileRowView* rowView, const kit::Event& event) override;
    void tableCheckBoxHeaderViewDidPressSelectButton(KZTableCheckboxHeaderView* header,
                                                     KZCheckBoxButton* button) override;
    void switcherValueChanged(KZFileListStyleSwitcher* switcher) override;

    // ---- the image preview (KZFilesViewControllerPreview.cpp)
    bool previewMayDeleteFiles(const QList<CloudFileInfoPtr>& files) override;

    // ---- the grid (KZFilesViewControllerGrid.cpp)
    void collectionViewWillDisplayItem(kit::CollectionView*, kit::CollectionViewItem* item,
                                       kit::IndexPath path) override;
    void collectionViewDidEndDisplayingItem(kit::CollectionView*, kit::CollectionViewItem* item,
                                            kit::IndexPath path) override;
    void didDoubleClickFileInfoItemView(KZFileInfoItemView* item) override;
    void fileInfoItemViewRightMouseUp(KZFileInfoItemView* item, const kit::Event& event) override;
    void fileCollectionHeaderViewDidPressSelectButton(KZFileCollectionHeaderView* header,
                                                      KZCheckBoxButton* button) override;

    // ---- search and the empty-state overlay (KZFilesViewControllerSearch.cpp)
    KZFileSearchView* fileSearchView() const { return m_fileSearchView; }
    // Mirrors the key of the search result on view (not on screen).
    kit::TextField* searchTextField() const { return m_searchTextField; }
    KZSearchOptionsView* searchOptionsView() const { return m_searchOptionsView; }
    double searchOptionsViewHeight() const { return m_searchOptionsViewHeight; }
    kit::View* centerView() const { return m_centerView; }
    // Answers the request id (0 when nothing was sent).
    qint64 searchFile(const CloudFileInfoPtr& fileInfo);
    void updateSearchView(const CloudFileInfoPtr& fileInfo, const CloudFileInfoPtr& preFileInfo);
    void checkSeachIntent(const CloudFileInfoPtr& fileInfo);
    // Drops the searches still out when they are all the page waits for; false when a list
    // request is out too (nothing is dropped then).
    bool dropPendingSearches();
    // Whether a list or search request of the page is still unanswered.
    bool isListRequestPending() const { return !m_pendingListRequests.isEmpty(); }
    void fileSearchViewControlTextDidChange(kit::TextField* field) override;
    void clearTextAction() override;
    void didSelectSearchedDirectory(const CloudFileInfoPtr& directory) override;
    void didClickFilePathCell(KZFilePathCell* cell) override;
    bool messageSetViewShouldDisplay(QWidget* view) override;
    bool messageSetViewShouldInterceptionEvents(QWidget* view) override;
    QMargins insetsForMessageSetView(QWidget* view) override;
    QWidget* containerViewForMessageSetView(QWidget* view) override;
    kit::AttributedString titleForMessageSetView(QWidget* view) override;
    kit::AttributedString descriptionForMessageSetView(QWidget* view) override;
    kit::Image imageForMessageSetView(QWidget* view) override;
    QList<KZButton*> buttonsForMessageSetView(QWidget* view) override;

    // ---- keyboard and pasteboard (KZFilesViewControllerKeyboard.cpp, ...Pasteboard.cpp)
    // No shortcut acts while a text field or text editor has the keyboard.
    bool shouldPerformKeyDownEvent() override;
    void didPressCmdR() override;
    void didPressCmdC() override;
    void didPressCmdX() override;
    void didPressCmdV() override;
    void cutFileToPasteboard();
    void copyFileToPasteboard();
    void pasteFileToCloud();
    // Local files another program put on the pasteboard, possibly none.
    QList<QUrl> URLsOfPasteboardFiles() const;
    // This account's cut or copy on the pasteboard, with the nodes as they are now; or null.
    KZPasteboardItemPtr cloudFilesItemInPasteboard() const;
    // Uploads the local files on the pasteboard into the open folder; true when there were any.
    bool checkUploadFilesOnPasteboard();
    KZAlertController* showPasteToChildAlert(const QString& path);

    // ---- operation menus and mouse commands (KZFilesViewControllerMenus.cpp)
    KZFileOperateMenuWindowController* fileOperateMenu();
    KZFileOperateMenuWindowController* moreOperateMenu() const { return m_moreOperateMenu; }
    KZFileSortWindowController* fileSortMenu();
    // Makes the clicked row or item part of the selection; true when the click hit none.
    bool updateClickedRow();
    QList<KZFileOperateMenuItemPtr> getOperateMenuItems();
    QList<KZFileOperateMenuItemPtr> getmoreOperationItems() const;
    // A right click on the list's blank area (or anything no row or item takes).
    void rightMouseUp(const kit::Event& event);
    void actionSortFile();
    void actionMoreFileOperation();
    void actionIncrUpdate();
    void actionMenuItemOpenFile();
    void actionMenuItemLocationFile();
    void actionMenuItemPaste();
    void actionMenuItemLookShare();
    void actionSortFilesByName();
    void actionSortFilesByModify();
    void actionSortFilesByAsc();
    void actionSortFilesByDesc();
    void actionSwitchListStyle();
    void actionSwitchGirdStyle();
    // The sort mode a sort command (types 19 to 22) leads to from `mode`.
    static KZFileListSortMode sortModeAfterCommand(KZFileListSortMode mode, quint64 command);
    void fileOperateMenuSelectedItem(const KZFileOperateMenuItemPtr& item,
                                     kit::TableView* tableView) override;
    void submenuFileOperateMenuSelectedItem(const KZFileOperateMenuItemPtr& item,
                                            kit::TableView* tableView) override;
    void fileSortMenuItem(const KZFileOperateMenuItemPtr& item, kit::TableView* tableView) override;

    // ---- drag and drop (KZFilesViewControllerDragDrop.cpp)
    const CloudFileInfoPtr& cloudDestFile() const { return m_cloudDestFile; }
    QString localDestPath() const { return m_localDestPath; }
    void outsideFilesWillDragInApplictionFilesView(const kit::DraggingInfo& info);
    void outsideFilesWillDragOutsideApplictionFilesView(const kit::DraggingInfo& info);
    std::shared_ptr<kit::PasteboardWriter> tableViewPasteboardWriterForRow(kit::TableView*, int row) override;
    void tableViewDraggingSessionWillBegin(kit::TableView*, kit::DraggingSession*, QPointF,
                                           const kit::IndexSet& rows) override;
    QStringList tableViewNamesOfPromisedFilesDroppedAtDestination(kit::TableView*, const QString& destination,
                                                                  const kit::IndexSet& rows) override;
    kit::DragOperation tableViewValidateDrop(kit::TableView*, const kit::DraggingInfo& info, int row,
                                             kit::TableDropPosition position) override;
    bool tableViewAcceptDrop(kit::TableView*, const kit::DraggingInfo& info, int row,
                             kit::TableDropPosition position) override;
    void tableViewDraggingSessionEnded(kit::TableView*, kit::DraggingSession*, QPointF,
                                       kit::DragOperation operation) override;
    void tableViewDraggingExited(kit::TableView*) override;
    bool collectionViewCanDragItemsAtIndexPaths(kit::CollectionView*, const QList<kit::IndexPath>&,
                                                const kit::Event&) override;
    std::shared_ptr<kit::PasteboardWriter>
    collectionViewPasteboardWriterForItemAtIndexPath(kit::CollectionView*, kit::IndexPath) override;
    void collectionViewDraggingSessionWillBegin(kit::CollectionView*, kit::DraggingSession*, QPointF,
                                                const QList<kit::IndexPath>& paths) override;
    QStringList collectionViewNamesOfPromisedFilesDroppedAtDestination(kit::CollectionView*,
                                                                       const QString& destination,
                                                                       const QList<kit::IndexPath>&) override;
    kit::DragOperation collectionViewValidateDrop(kit::CollectionView*, const kit::DraggingInfo& info,
                                                  kit::IndexPath* path,
                                                  kit::CollectionDropPosition* position) override;
    bool collectionViewAcceptDrop(kit::CollectionView*, const kit::DraggingInfo& info, kit::IndexPath path,
                                  kit::CollectionDropPosition position) override;
    void collectionViewDraggingSessionEnded(kit::CollectionView*, kit::DraggingSession*, QPointF,
                                            kit::DragOperation operation) override;
    void collectionViewDraggingExited(kit::CollectionView*) override;
    QStringList tableViewFilesForPromisedRows(kit::TableView*, const kit::IndexSet& rows) override;
    QStringList collectionViewFilesForPromisedItems(kit::CollectionView*,
                                                    const QList<kit::IndexPath>& paths) override;
    // Fetches the files into a new private staging folder (with the download progress shown)
    // and answers their local paths once complete, for a file manager to copy where the user
    // dropped them. Waits on the event loop, at most `timeoutMs`.
    // The drop target says only later whether it took them: until it does, their "已加入下载列表"
    // waits, and a drop it did not take leaves neither the staged files nor their records.
    QStringList filesForDragOut(const QList<CloudFileInfoPtr>& files, int timeoutMs = 120000);
    // Where dragged-out files are staged; earlier stagings are removed when a new one starts.
    static QString dragOutStagingRoot();
    // The staging of the drag-out whose drop target has not answered yet (empty when none).
    QString pendingDragOutStaging() const { return m_dragOut.staging; }

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    void initData();
    void initUI();
    void initToolBarUI();
    void initContentViewUI();
    void initNavigationBarUI();
    void addObservers();
    void layoutPage();
    void fitNameColumn(double tableWidth);
    qint64 requestFileList(qint64 nid, const QString& path, const QVariantMap& userInfo);
    static QString offsetKey(qint64 nid);
    void initSearchUI();
    void initGridUI();
    // Opens a file the user double-clicked: a folder, an image's preview.
    void openClickedFile(const CloudFileInfoPtr& file);
    void layoutSearchViews(double width);
    void changeSortMode(quint64 command);
    void initDragAndDrop();
    // Whether the dragging location lies over a row (list) or an item (grid).
    bool isDraggingOverFile(const kit::DraggingInfo& info) const;
    bool acceptDrop(const kit::DraggingInfo& info, int index);
    bool refusesRootDrag(const QStringList& names);
    void beginOwnDrag(int firstIndex);
    void endOwnDrag(kit::DragOperation operation);
    void showOperateMenu(const kit::Event& event, bool withModes);
    void presentFolderPicker(KZFoldersWindowController* picker);
    // The drop target of the drag-out staged in `staging` answered.
    void dragOutTargetFinished(const QString& staging, bool taken);
    // Shows what a drag-out's target took; or removes the staged files and their records.
    void settleDragOut(bool taken);
    // The screen point under a toolbar item's view: its lower-left or lower-right corner.
    QPointF pointUnderToolBarItem(const KZFilesToolBarItemPtr& item, bool rightEdge) const;
    // Called with every reply (or failure) of a list request; true when none is left pending.
    bool settleListRequest(qint64 requestId);
    // Shows a folder list or search result that the session answered.
    void applyFileList(const CloudFileInfoPtr& cloudFile, const CloudFileList& fileList,
                       KZBackForwardState backForward, const QVariantMap& userInfo, bool settled, bool rerun);
    // Closes the context menu when `rows` are not the rows it was opened for.
    void closeOperateMenuUnlessSelected(const kit::IndexSet& rows);
    // Selects the rows of those nodes in the view shown and in the page.
    void selectRowsOfNodes(const QSet<qint64>& nids);
    // Keeps `apply` for when the open name field closes and answers true, or answers false when
    // no name field is open.
    bool waitForNameField(std::function<void()> apply);
    // Runs what waited for the name field, in order, once the edit's own handling is over.
    void resumeAfterNameField();
    // The sign-in failure the page shows in place of a list (the service's files cannot be read).
    BWError signInFailure() const;

    // state
    CloudFileInfoPtr m_fileInfo;
    CloudFileList m_files;
    QList<CloudFileInfoPtr> m_selectedFiles;
    // Node id to row: of the changed nodes during a merge (-1: not a row), or of all rows.
    QHash<qint64, int> m_nodeIndexs;
    QHash<QString, float> m_tableViewOffsets;
    QHash<QString, float> m_collectionViewOffsets;
    QList<std::shared_ptr<KZLocalFileInfo>> m_creatingFiles;
    KZFileListSortMode m_fileListSortMode = 3;
    bool m_isEditing = false;
    QString m_expectFilePath;
    QString m_homeToolBarMessage;
    std::unique_ptr<KZNewFolderNameGenerator> m_folderNameGenerator;
    bool m_refreshing = false;
    // A cloud-side sync operation failed since the last completion: that batch is not "done".
    bool m_syncBatchFailed = false;
    bool m_searchRerunQueued = false;
    QSet<qint64> m_searchReruns; // the searches sent again for changes, not yet answered
    // While a merge edits the table, its selection changes are taken once at the end.
    bool m_holdSelection = false;
    bool m_selectionHeld = false;
    QSet<qint64> m_pendingListRequests;
    QSet<qint64> m_pendingSearches; // those of the pending requests that are searches
    double m_searchOptionsViewHeight = 0.0;
    // The user changed the search text while a list was on its way: the last answer searches it.
    bool m_searchTextWaiting = false;
    // Replies and changes that landed while a name field was open, in arrival order.
    QList<std::function<void()>> m_waitingForNameField;

    // drag and drop
    CloudFileInfoPtr m_cloudDestFile;
    QString m_localDestPath;
    // The files of a drag-out, staged while its drop target has not said whether it took them.
    struct DragOut {
        QString staging;
        bool providing = false;            // still being fetched
        std::optional<bool> taken;         // the target's answer, when it came while fetching
        std::function<void()> queuedToast; // the downloads' "queued" message, shown once taken
    };
    DragOut m_dragOut;
    // The drag over the page holds the root and the user was told so (once per drag).
    bool m_toldRootRefused = false;

    // pop-up menus
    QPointer<KZFileOperateMenuWindowController> m_fileOperateMenu;
    QPointer<KZFileOperateMenuWindowController> m_moreOperateMenu;
    QPointer<KZFileSortWindowController> m_fileSortMenu;

    // toolbar items
    KZFilesToolBarItemPtr m_uploadItem, m_folderItem, m_downloadItem, m_deleteItem, m_moreItem, m_sortItem;

    // views (owned by the page view)
    QPointer<kit::View> m_navigationBar;
    QPointer<kit::View> m_navigationBarSeprator;
    QPointer<kit::View> m_toolBarContainer;
    QPointer<kit::View> m_contentView;
    QPointer<kit::View> m_centerView;
    QPointer<KZButton> m_goBackButton;
    QPointer<KZButton> m_goForwardButton;
    QPointer<KZButton> m_refreshButton;
    QPointer<KZSpinnerView> m_refreshProgressIndicator;
    QPointer<KZFolderCrumbs> m_folderCrumbs;
    QPointer<KZFilesToolBar> m_toolBar;
    QPointer<KZFileListStyleSwitcher> m_switcher;
    QPointer<kit::TableView> m_tableView;
    QPointer<KZTableCheckboxHeaderView> m_tableHeaderView;
    QPointer<KZCollectionView> m_collectionView;
    QPointer<KZFileCollectionHeaderView> m_collectionHeaderView;
    QPointer<KZFileSearchView> m_fileSearchView;
    QPointer<kit::TextField> m_searchTextField;
    QPointer<KZSearchOptionsView> m_searchOptionsView;
};
