// The file and share pages when the service's database cannot be opened: the reason, not an empty list.
#include "cloud/KZSessionProxy.h"
#include "foundation/SingletonT.h"
#include "home/KZHomeToolbarController.h"
#include "home/KZHomeViewController.h"
#include "kit/Window.h"
#include "service/CloudService.h"
#include "shell/KZLabel.h"
#include "shell/KZMessageSet.h"
#include "shell/KZRouter.h"
#include "shell/KZWindowsManager.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "support/CloudPrinters.h"
#include "support/EventLoop.h"
#include "support/SessionReset.h"
#include "support/ShellReset.h"
#include "support/ToastRecord.h"
#include "ui/files/KZFilesViewController.h"
#include "ui/share/KZShareFilesViewController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nubo;
using namespace nubo::test;

// What the service's file holds: garbage, or nothing at all (cut to nothing, which is damage too:
// the folder of blocks beside it still holds the user's files). The session has tried to sign
// in to it, and failed with `reason`.
class UnreadableServiceFile : public ::testing::TestWithParam<QByteArray> {
protected:
    void SetUp() override {
        paths::setDataFolder(data.path());
        CloudService::setShared(nullptr);
        QDir().mkpath(data.path() + QStringLiteral("/service"));
        QFile damaged(dbPath);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(GetParam());
        damaged.close();
        const std::optional<BWError> answer = signInAnswer();
        ASSERT_TRUE(answer.has_value());
        ASSERT_TRUE(*answer);
        reason = answer->localizedDescription();
    }
    void TearDown() override {
        resetShell();
        drainEvents();
        CloudService::setShared(nullptr);
        paths::setDataFolder(QString());
        SingletonT<SystemConfig>::reset(); // the folder it was read from is gone
    }
    QTemporaryDir data;
    const QString dbPath = data.path() + QStringLiteral("/service/service.db");
    QString reason;
};

TEST_P(UnreadableServiceFile, TheFilePageSaysWhyItShowsNoFiles) {
    EXPECT_TRUE(reason.contains(dbPath)) << reason.toStdString();
    auto* page = new KZFilesViewController(CloudFileInfo::rootFile());
    auto* window = new kit::Window;
    window->setContentSize(QSizeF(1000, 640));
    window->contentView()->addSubview(page->view());
    page->view()->setFrame(window->contentView()->bounds());
    window->show();
    ASSERT_TRUE(waitUntil([&] { return KZMessageSet::messageSetViewOf(page->view()) != nullptr; }));
    drainEvents();
    KZMessageSetView* overlay = KZMessageSet::messageSetViewOf(page->view());
    ASSERT_NE(overlay, nullptr);
    const QString shown = overlay->descriptionLabel()->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("无法读取文件列表："))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(dbPath)) << shown.toStdString();
    EXPECT_TRUE(overlay->buttons().isEmpty());              // nothing can be uploaded into it either
    EXPECT_EQ(QFileInfo(dbPath).size(), GetParam().size()); // the service's own file is never replaced

    delete window;
    delete page;
}

// The share page: the service's own reason, not "请先登录", in a toast and in the empty list's
// state; back on the file page, no text of the share page is left in the bottom bar.
TEST_P(UnreadableServiceFile, TheSharePageSaysWhyItShowsNoLinks) {
    SingletonT<KZRouter>::reset();
    KZHomeViewController::registerWithRouter();
    KZFilesViewController::registerWithRouter();
    KZShareFilesViewController::registerWithRouter();
    auto* home =
        KZRouter::shareInstance().entityWithClass<KZHomeViewController>(KZHomeViewController::kClassName);
    ASSERT_NE(home, nullptr);
    ToastRecord toasts;
    KZWindowsManager::shareInstance().showWindow(home);
    drainEvents();
    auto* bar = KZRouter::shareInstance().entityWithClass<KZHomeToolbarController>(
        KZHomeToolbarController::kClassName);
    ASSERT_NE(bar, nullptr);

    home->navigator()->selectIndex(1);
    auto* page = dynamic_cast<KZShareFilesViewController*>(home->currentVisibleViewController());
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(toasts.waitFor(reason));
    EXPECT_FALSE(toasts.texts().contains(QStringLiteral("请先登录")));
    KZMessageSetView* overlay = KZMessageSet::messageSetViewOf(page->validShareVC()->view());
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->descriptionLabel()->text(), QStringLiteral("无法读取分享列表：") + reason);

    home->navigator()->selectIndex(0);
    drainEvents();
    EXPECT_FALSE(bar->rightMessage().contains(QStringLiteral("有效链接")));
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableServiceFile,
                         ::testing::Values(QByteArray(8192, '\x5a'), QByteArray()),
                         [](const auto& info) { return info.param.isEmpty() ? "Empty" : "Garbage"; });
