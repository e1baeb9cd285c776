// Whole roads through the page: a big copy answered once for all, and a real folder uploaded and
// downloaded back through the page's own commands.
#include "FileOpsFixture.h"

#include "foundation/SingletonT.h"
#include "shell/KZCheckBoxButton.h"
#include "shell/KZWindowsManager.h"
#include "storage/SystemConfig.h"
#include "transport/KZDownloadMgrProxy.h"
#include "transport/KZUploadMgrProxy.h"
#include "ui/files/KZFoldersWindowController.h"

#include <QAbstractItemView>
#include <QDirIterator>
#include <QFileDialog>
#include <QProcess>

using namespace nubo::test;

namespace {

// Counts the copy batches that end.
class Completions : public QObject, public KZUploadMgrProxyDelegate {
public:
    void cloudFileSyncCompletion(int type) override { types.append(type); }
    QList<int> types;
};

class EndToEnd : public FileOpsTest {
protected:
    static KZFoldersWindowController* presentedPicker() {
        for (KZBaseWindowController* c : KZWindowsManager::shareInstance().presentedWindowControllers())
            if (auto* p = qobject_cast<KZFoldersWindowController*>(c))
                return p;
        return nullptr;
    }
    // Answers the open panel with one local item, as a user selecting it and pressing the button.
    void answerOpenPanel(const QString& path) {
        QFileDialog* dialog = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (dialog = window->findChild<QFileDialog*>()) != nullptr; }));
        const QFileInfo item(path);
        dialog->setDirectory(item.absolutePath());
        dialog->selectFile(item.fileName());
        ASSERT_TRUE(waitUntil([&] {
            for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>())
                if (view->selectionModel() && !view->selectionModel()->selectedRows().isEmpty())
                    return true;
            return false;
        }));
        QMetaObject::invokeMethod(dialog, "accept"); // the button's slot
    }
    // Up to `count` regular files of the system's documentation, copied with their folders.
    static int copyDocs(const QString& to, int count) {
        QStringList files;
        QDirIterator it(QStringLiteral("/usr/share/doc"), QDir::Files | QDir::NoSymLinks | QDir::Readable,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(it.next());
        files.sort();
        int copied = 0;
        for (const QString& f : std::as_const(files)) {
            if (copied == count)
                break;
            const QString rel = QDir(QStringLiteral("/usr/share/doc")).relativeFilePath(f);
            if (rel.contains(QRegularExpression(QStringLiteral("[:*?<>\"\\\\|]"))))
                continue;
            const QString dest = to + QLatin1Char('/') + rel;
            QDir().mkpath(QFileInfo(dest).path());
            if (QFile::copy(f, dest))
                ++copied;
        }
        return copied;
    }
};

} // namespace

TEST_F(EndToEnd, ACopyIntoItsOwnParentIsAskedOnceAndKeepsBoth) {
    constexpr int kFiles = 1000;
    QHash<QString, QString> hashes; // relative path to SHA-1
    for (int i = 0; i < kFiles; ++i) {
        const QString rel = QStringLiteral("d%1/f%2.bin").arg(i % 10).arg(i);
        const QByteArray content = ServiceFixture::randomBytes(100 + i, quint32(i));
        svc().putFile(QStringLiteral("/e2e/tree/") + rel, content);
        hashes.insert(rel, ServiceFixture::sha1(content));
    }
    refresh();
    jump(QStringLiteral("/e2e"));
    Completions completions;
    KZUploadMgrProxy::shareUploadMgrProxy()->addUploadMgrProxyObserver(&completions);

    select({QStringLiteral("tree")});
    page->actionCopyFile();
    KZFoldersWindowController* picker = presentedPicker();
    ASSERT_NE(picker, nullptr);
    picker->folderCrumbsDidClickDirectoryPath(QStringLiteral("/e2e"));
    ASSERT_TRUE(waitUntil([&] { return picker->fileInfo()->path() == QStringLiteral("/e2e"); }));
    EXPECT_TRUE(picker->files().isEmpty()); // the folder being copied is not offered
    picker->confirmButtonClicked();

    KZAlertController* alert = nullptr;
    ASSERT_TRUE(waitForAlert(&alert, 10000));
    QStringList buttons;
    for (KZButton* b : alert->buttons())
        buttons.append(b->title());
    EXPECT_EQ(buttons, (QStringList{"保留两者", "替换", "跳过"}));
    EXPECT_EQ(alert->suppressionButton()->title(), QStringLiteral("全部应用"));
    alert->suppressionButton()->setChecked(true);
    press(alert, QStringLiteral("保留两者"));
    ASSERT_TRUE(waitUntil([&] { return !completions.types.isEmpty(); }, 60000));
    EXPECT_TRUE(waitForToast(QStringLiteral("任务完成")));
    EXPECT_EQ(presentedAlert(), nullptr);

    ASSERT_TRUE(waitUntil([&] { return page->files().size() == 2; }));
    QString copyName;
    for (const auto& f : page->files())
        if (f->name() != QStringLiteral("tree"))
            copyName = f->name();
    ASSERT_FALSE(copyName.isEmpty());
    for (auto it = hashes.cbegin(); it != hashes.cend(); ++it) {
        auto node = svc().service().nodeByPath(QStringLiteral("/e2e/%1/%2").arg(copyName, it.key()));
        ASSERT_TRUE(node.ok()) << it.key().toStdString();
        EXPECT_EQ(ServiceFixture::sha1(svc().readAll(node.value.nid)), it.value()) << it.key().toStdString();
    }
    drainEvents();
    EXPECT_EQ(completions.types, QList<int>{4});
    KZUploadMgrProxy::shareUploadMgrProxy()->removeUploadMgrProxyObserver(&completions);
}

TEST_F(EndToEnd, ARealFolderGoesUpAndComesBackTheSame) {
    const QString docs = s_local->path() + QStringLiteral("/src/docs");
    const int copied = copyDocs(docs, 1000);
    ASSERT_GE(copied, 100) << "too little documentation on this machine";

    jump(QStringLiteral("/empty"));
    page->actionUploadFile();
    answerOpenPanel(docs);
    ASSERT_TRUE(waitForToast(QStringLiteral("已加入上传列表"), 30000));
    KZUploadMgrProxy* up = KZUploadMgrProxy::shareUploadMgrProxy();
    ASSERT_TRUE(waitUntil([&] { return up->getFinishedJobCount() >= copied; }, 240000))
        << up->getFinishedJobCount() << " of " << copied;
    EXPECT_EQ(up->getErrorJobCount(), 0);
    ASSERT_TRUE(waitUntil([&] { return row(QStringLiteral("docs")) != nullptr; }));

    const QString back = s_local->path() + QStringLiteral("/back");
    QDir().mkpath(back);
    nubo::SingletonT<nubo::SystemConfig>::instance().setDownloadPath(back);
    select({QStringLiteral("docs")});
    page->actionDownloadFile();
    ASSERT_TRUE(waitForToast(QStringLiteral("已加入下载列表"), 30000));
    KZDownloadMgrProxy* down = KZDownloadMgrProxy::shareDownloadMgrProxy();
    ASSERT_TRUE(waitUntil([&] { return down->getFinishedJobCount() >= copied; }, 240000))
        << down->getFinishedJobCount() << " of " << copied;
    EXPECT_EQ(down->getErrorJobCount(), 0);

    QProcess diff;
    diff.start(QStringLiteral("diff"), {QStringLiteral("-r"), QStringLiteral("--exclude=.Download"), docs,
                                        back + QStringLiteral("/docs")});
    ASSERT_TRUE(diff.waitForFinished(60000));
    EXPECT_EQ(diff.exitCode(), 0) << diff.readAllStandardOutput().left(2000).toStdString();
}
