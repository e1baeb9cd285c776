#pragma once

// The file page in a real window against the real session and an embedded service on a
// temporary folder, seeded once per test suite.
#include "cloud/KZSessionProxy.h"
#include "foundation/SingletonT.h"
#include "kit/Window.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "support/CloudPrinters.h"
#include "support/EventLoop.h"
#include "support/Images.h"
#include "support/ServiceFixture.h"
#include "support/SessionReset.h"
#include "support/ShellReset.h"
#include "support/ToastRecord.h"
#include "ui/files/KZFilesViewController.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace nubo::test {

class PageFixture : public ::testing::Test {
protected:
    static void startService(const std::function<void(ServiceFixture&)>& seed) {
        // A data folder of the suite's own: the per-user database of another suite's service
        // must not be read against this one.
        s_data = new QTemporaryDir;
        paths::setDataFolder(s_data->path());
        SingletonT<SystemConfig>::reset(); // read from this folder
        resetSession();
        s_service = new ServiceFixture;
        s_service->installAsShared();
        seed(*s_service);
        signIn();
    }

    static void stopService() {
        signOut();
        resetSession();
        delete s_service;
        s_service = nullptr;
        SingletonT<SystemConfig>::reset();
        paths::setDataFolder(QString());
        delete s_data;
        s_data = nullptr;
    }

    // Signs in again so the session reads the account (and its plan) afresh.
    static void relogin() {
        ASSERT_TRUE(signOut());
        bool in = false;
        KZSessionProxy::shareSessionProxy()->loginLocal([&](const BWError&) { in = true; });
        ASSERT_TRUE(waitUntil([&] { return in; }, 20000));
    }

    void openPage(uint style = 0) {
        auto& config = SingletonT<SystemConfig>::instance();
        config.setFilelistViewMode(int(style));
        config.setCloudFileSort(0);
        page = new KZFilesViewController(CloudFileInfo::rootFile());
        window = new kit::Window;
        window->setContentSize(QSizeF(1000, 640));
        window->contentView()->addSubview(page->view());
        page->view()->setFrame(window->contentView()->bounds());
        window->show();
        ASSERT_TRUE(waitUntil([&] { return !page->files().isEmpty() && !page->isListRequestPending(); }));
        drainEvents();
        // The session's history outlives the page: start every test from a root entry.
        jump(QStringLiteral("/"));
    }

    void TearDown() override {
        delete window;
        delete page;
        resetShell();
        drainEvents();
    }

    static CloudFileInfoPtr named(const CloudFileList& files, const QString& name) {
        for (const auto& f : files)
            if (f->name() == name)
                return f;
        return nullptr;
    }
    QStringList names() const {
        QStringList out;
        for (const auto& f : page->files())
            out.append(f->name());
        return out;
    }
    // Waits until no list request of the page is out and the queued steps after it have run.
    void settle() {
        ASSERT_TRUE(waitUntil([&] { return !page->isListRequestPending(); }));
        drainEvents();
        ASSERT_TRUE(waitUntil([&] { return !page->isListRequestPending(); }));
        drainEvents();
    }
    void jump(const QString& path) {
        page->openDirWithJumpPath(path, QString(), false);
        settle();
        ASSERT_EQ(page->fileInfo()->path(), path);
    }

    static inline ServiceFixture* s_service = nullptr;
    static inline QTemporaryDir* s_data = nullptr;
    KZFilesViewController* page = nullptr;
    kit::Window* window = nullptr;
    ToastRecord toasts; // every toast shown during the test
};

} // namespace nubo::test
