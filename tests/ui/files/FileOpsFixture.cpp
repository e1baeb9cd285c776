#include "FileOpsFixture.h"

#include "foundation/SingletonT.h"
#include "shell/KZButton.h"
#include "shell/KZTextFieldCell.h"
#include "shell/KZWindowsManager.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "support/SessionReset.h"
#include "support/ShellReset.h"
#include "transfer/KZDownloadMgr.h"
#include "transfer/KZUploadMgr.h"
#include "transport/TransferSession.h"
#include "ui/files/KZFileSearchView.h"
#include "ui/files/KZFoldersWindowController.h"

#include <QLineEdit>
#include <QTest>

namespace nubo::test {

ServiceFixture* FileOpsTest::s_service = nullptr;
QTemporaryDir* FileOpsTest::s_local = nullptr;
QString FileOpsTest::s_savedDataFolder;

void FileOpsTest::seed(ServiceFixture& s) {
    s.mkdir(QStringLiteral("/empty"));
    for (const char* n : {"a", "b", "c"})
        s.putFile(QStringLiteral("/three/%1.txt").arg(QLatin1String(n)), QByteArray(n));
    s.mkdir(QStringLiteral("/three/sub"));
    s.mkdir(QStringLiteral("/names/新建文件夹"));
    s.mkdir(QStringLiteral("/names/新建文件夹 3"));
    s.putFile(QStringLiteral("/names/新建文件夹 2"), "a file takes no number");
    s.mkdir(QStringLiteral("/dest"));
}

void FileOpsTest::SetUpTestSuite() {
    s_service = new ServiceFixture;
    s_service->installAsShared();
    s_local = new QTemporaryDir;
    // The session's per-user database lives in the data folder: one of its own, so that a suite
    // run after this one in the same process does not start from this one's node copy.
    s_savedDataFolder = paths::dataFolder();
    paths::setDataFolder(s_local->path() + QStringLiteral("/data"));
    SingletonT<SystemConfig>::reset(); // read from this folder
    seed(*s_service);
    transfer::createTransferProxies();
    KZBackgroundThread::shared().runAndWait([] {
        transfer::KZUploadMgr::shared().setRetryDelayMs(50);
        transfer::KZDownloadMgr::shared().setRetryDelayMs(50);
    });
    ASSERT_FALSE(
        transfer::signInTransfers(s_service->shared(), s_service->folder() + QStringLiteral("/user.db")));
    signInAgain();
}

void FileOpsTest::signInAgain() {
    signIn();
}

void FileOpsTest::TearDownTestSuite() {
    transfer::signOutTransfers();
    signOut();
    drainEvents();
    paths::setDataFolder(s_savedDataFolder);
    SingletonT<SystemConfig>::reset(); // the folder it wrote to is gone
    delete s_local;
    s_local = nullptr;
    delete s_service;
    s_service = nullptr;
}

void FileOpsTest::SetUp() {
    auto& config = SingletonT<SystemConfig>::instance();
    m_savedDownloadPath = config.getDownloadPath();
    m_savedShouldSelect = config.getShouldSelectDownloadPath();
    config.setFilelistViewMode(0);
    config.setCloudFileSort(0);
    config.setShouldSelectDownloadPath(false);
    config.setDownloadPath(s_local->path());
    page = new KZFilesViewController(CloudFileInfo::rootFile());
    toasts = std::make_unique<ToastRecord>(page->view());
    window = new kit::Window;
    window->setContentSize(QSizeF(1000, 640));
    window->contentView()->addSubview(page->view());
    page->view()->setFrame(window->contentView()->bounds());
    window->show();
    page->viewDidAppear();
    ASSERT_TRUE(waitUntil([&] { return row(QStringLiteral("three")) != nullptr; }));
    drainEvents();
}

void FileOpsTest::TearDown() {
    for (KZBaseWindowController* c : KZWindowsManager::shareInstance().presentedWindowControllers())
        c->closeWindow();
    drainEvents();
    delete window;
    toasts.reset();
    delete page;
    resetShell();
    auto& config = SingletonT<SystemConfig>::instance();
    config.setDownloadPath(m_savedDownloadPath);
    config.setShouldSelectDownloadPath(m_savedShouldSelect);
    drainEvents();
}

CloudFileInfoPtr FileOpsTest::named(const CloudFileList& files, const QString& name) {
    for (const auto& f : files)
        if (f->name() == name)
            return f;
    return nullptr;
}

QStringList FileOpsTest::rowNames() const {
    QStringList names;
    for (const auto& f : page->files())
        names.append(f->name());
    return names;
}

void FileOpsTest::jump(const QString& path) {
    page->openDirWithJumpPath(path, QString(), false);
    ASSERT_TRUE(waitUntil([&] { return page->fileInfo()->path() == path; })) << path.toStdString();
    drainEvents(); // the steps queued after the reply
}

void FileOpsTest::refresh() {
    page->requestIncrFiles();
    ASSERT_TRUE(waitUntil([&] { return !page->isRefreshing(); }));
}

void FileOpsTest::select(const QStringList& names) {
    kit::IndexSet rows;
    for (const QString& n : names) {
        const int i = int(page->files().indexOf(row(n)));
        ASSERT_GE(i, 0) << n.toStdString();
        rows.add(i);
    }
    page->tableView()->selectRowIndexes(rows, false);
}

QStringList FileOpsTest::selectedNamesSorted() const {
    QStringList names;
    for (const auto& f : page->selectedFiles())
        names.append(f->name());
    names.sort();
    return names;
}

void FileOpsTest::typeSearch(const QString& key) {
    window->makeFirstResponder(page->fileSearchView()->textField());
    QTest::keyClicks(page->fileSearchView()->textField()->editor(), key);
    ASSERT_TRUE(
        waitUntil([&] { return page->fileInfo()->isSearch() && page->fileInfo()->searchKey() == key; }));
    ASSERT_TRUE(waitUntil([&] { return !page->isListRequestPending(); }));
    window->makeFirstResponder(nullptr);
    drainEvents();
}

KZFoldersWindowController* FileOpsTest::presentedPicker() {
    for (KZBaseWindowController* c : KZWindowsManager::shareInstance().presentedWindowControllers())
        if (auto* p = qobject_cast<KZFoldersWindowController*>(c))
            return p;
    return nullptr;
}

KZAlertController* FileOpsTest::presentedAlert() {
    const auto presented = KZWindowsManager::shareInstance().presentedWindowControllers();
    for (auto it = presented.rbegin(); it != presented.rend(); ++it)
        if (auto* a = qobject_cast<KZAlertController*>(*it))
            return a;
    return nullptr;
}

bool FileOpsTest::waitForAlert(KZAlertController** out, int ms) {
    const bool ok = waitUntil([&] { return presentedAlert() != nullptr; }, ms);
    *out = presentedAlert();
    return ok;
}

bool FileOpsTest::press(KZAlertController* alert, const QString& title) {
    if (!alert)
        return false;
    for (KZButton* b : alert->buttons()) {
        if (b->title() == title) {
            b->sendAction();
            return true;
        }
    }
    return false;
}

QString FileOpsTest::toastText() const {
    KZToastView* t = KZToast::toastOf(page->view());
    return t && !t->isHiding() ? t->text() : QString();
}

bool FileOpsTest::exists(const QString& path) {
    return s_service->service().nodeByPath(path).ok();
}

CloudFileInfoPtr FileOpsTest::cloud(const QString& path) {
    const ServiceNode n = svc().service().nodeByPath(path).value;
    auto f = CloudFileInfo::create();
    f->setNid(n.nid);
    f->setPid(n.pid);
    f->setName(n.name);
    f->setPath(n.path);
    f->setIsDirectory(n.isDir);
    return f;
}

} // namespace nubo::test
