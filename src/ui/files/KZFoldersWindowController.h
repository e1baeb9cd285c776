#pragma once

#include "cloud/KZSessionDelegates.h"
#include "kit/TableView.h"
#include "shell/KZBaseWindowController.h"
#include "ui/files/KZFileViewProtocols.h"
#include "ui/files/KZFolderCrumbs.h"
#include "ui/files/KZLocalFileInfo.h"
#include "ui/files/KZNewFolderNameGenerator.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <functional>

class KZButton;
class KZLabel;

enum KZPickerOperationType : uint { KZPickerOperationTypeMove = 0, KZPickerOperationTypeCopy = 1 };

// The sheet in which the user picks the destination folder of a move or a copy. It lists folders
// only, from the root, with its own back/forward history kept by the session, crumbs, and a new
// folder made in place; the folders being moved or copied are never listed, so nothing can go
// into itself through the list. Confirm hands the folder shown to the caller.
class KZFoldersWindowController : public KZBaseWindowController,
                                  public kit::TableViewDataSource,
                                  public kit::TableViewDelegate,
                                  public KZTextFieldDelegate,
                                  public KZFolderCrumbsDelegate,
                                  public KZSessionDelegate,
                                  public KZRequestFileListDelegate,
                                  public KZRequestCreateDirDelegate {
    Q_OBJECT
public:
    static inline const QString kClassName = QStringLiteral("KZFoldersWindowController");
    static inline const QString kColumnModifyTime = QStringLiteral("修改日期");

    KZFoldersWindowController(uint type, const QList<CloudFileInfoPtr>& opertatingFiles,
                              QObject* parent = nullptr);
    ~KZFoldersWindowController() override;

    uint type() const { return m_type; }
    const QSet<QString>& opertatingFiles() const { return m_opertatingFiles; }
    using SelectFolderBlock = std::function<void(const CloudFileInfoPtr& folder)>;
    void setSelectFolderBlock(SelectFolderBlock block) { m_selectFolderBlock = std::move(block); }
    const CloudFileInfoPtr& fileInfo() const { return m_fileInfo; }
    const QList<CloudFileInfoPtr>& files() const { return m_files; }
    const QHash<QString, int>& nodeIndexs() const { return m_nodeIndexs; }
    bool isEditing() const { return m_isEditing; }
    KZNewFolderNameGenerator& folderNameGenerator() { return m_folderNameGenerator; }

    // Built parts (the window is made on first use).
    kit::TableView* tableView();
    KZFolderCrumbs* folderCrumbs();
    KZButton* goBackButton();
    KZButton* goForwardButton();
    KZButton* confirmButton();
    KZButton* cancelButton();
    KZButton* createFolderButton();
    KZLabel* navigationTitleLabel();

    // Actions.
    void actionGoback();
    void actionGoForward();
    void cancelButtonClicked();
    void confirmButtonClicked();
    void createFolderButtonClicked();
    void enterFolder(const CloudFileInfoPtr& folder);
    void resetCurrentFileList();
    void refreshFolderCrumbs();
    void refreshBackForward(int backForward);
    void insertRowItemForLocalFile(const std::shared_ptr<KZLocalFileInfo>& local);
    void createFolder(const QString& name);
    void removeLocalFolders();

    // KZRequestFileListDelegate
    void kzSessionRequestFileList(KZAbstractSession* session, qint64 requestId,
                                  const CloudFileInfoPtr& cloudFile, const CloudFileList& fileList,
                                  KZBackForwardState backForward, const QVariantMap& userInfo) override;
    void kzSessionRequestFileListFail(KZAbstractSession* session, qint64 requestId,
                                      const QVariantMap& userInfo, const BWError& error) override;
    // KZRequestCreateDirDelegate
    void kzSessionRequestCreateDir(KZAbstractSession* session, qint64 requestId,
                                   const QVariantMap& userInfo) override;
    void kzSessionRequestCreateDirFail(KZAbstractSession* session, qint64 requestId,
                                       const QVariantMap& userInfo, const BWError& error) override;
    // KZSessionDelegate
    void didKZSessionIncrNodeChanged(KZAbstractSession* session, qint64 nid, bool needReset,
                                     const QList<CloudFileInfoPtr>& children) override;
    // KZFolderCrumbsDelegate
    void folderCrumbsDidClickDirectoryPath(const QString& path) override;
    // KZTextFieldDelegate
    void textFieldDidResignFirstResponder(KZTextFieldFocuse* sender) override;
    // Nothing is sent; the local row being named goes.
    void textFieldDidAbandonEditing(KZTextFieldFocuse* sender) override;

    // kit::TableViewDataSource / Delegate
    int numberOfRowsInTableView(kit::TableView*) override;
    kit::View* tableViewViewForTableColumn(kit::TableView*, kit::TableColumn* column, int row) override;
    kit::TableRowView* tableViewRowViewForRow(kit::TableView*, int row) override;
    void tableViewSelectionDidChange(kit::TableView*) override;

protected:
    void loadWindow() override;
    void windowDidLoad() override;
    // The picker is made for one choice: it goes with its window, leaving the session.
    void windowDidDisappear() override;

private:
    void initData();
    void initUI();
    void initToolBarUI();
    void initContentViewUI();
    void initNavigationBarUI();
    void addObservers();
    void layoutWindow();
    void requestList(qint64 nid, const QString& path);
    void sortFiles();
    // Rows by index (in any order, repeats allowed) out of the list and the table.
    void removeRows(QList<int> rows);
    // Folders into the list in sort order, the row index rebuilt and the table told.
    void insertSorted(const QList<CloudFileInfoPtr>& added);
    void endNaming();
    // Ends the name being typed, sending nothing: before the rows are replaced or the local row
    // goes, so that no field stays open in a cell that then shows another folder.
    void endNameEdit();
    // Takes the local rows out of the list and the table.
    void withdrawLocalRows();

    uint m_type = KZPickerOperationTypeMove;
    QSet<QString> m_opertatingFiles;
    SelectFolderBlock m_selectFolderBlock;
    CloudFileInfoPtr m_fileInfo;
    QList<CloudFileInfoPtr> m_files;
    QHash<QString, int> m_nodeIndexs;
    KZNewFolderNameGenerator m_folderNameGenerator;
    int m_fileListSortMode = 3;
    bool m_isEditing = false;
    bool m_createRequestOut = false;

    QPointer<kit::View> m_navigationBar;
    QPointer<KZLabel> m_navigationTitleLabel;
    QPointer<KZButton> m_goBackButton;
    QPointer<KZButton> m_goForwardButton;
    QPointer<kit::View> m_navigationSeparator;
    QPointer<KZFolderCrumbs> m_folderCrumbs;
    QPointer<kit::View> m_toolBar;
    QPointer<KZButton> m_cancelButton;
    QPointer<KZButton> m_confirmButton;
    QPointer<KZButton> m_createFolderButton;
    QPointer<kit::View> m_centerView;
    QPointer<kit::TableView> m_tableView;
};
