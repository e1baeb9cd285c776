#pragma once

// The file page in a window against the real session, the real transfer engines and a temporary
// embedded service, with helpers to find its alerts and toasts and to wait for its rows.
#include "cloud/KZSessionProxy.h"
#include "kit/Window.h"
#include "shell/KZAlertController.h"
#include "shell/KZToast.h"
#include "support/CloudPrinters.h"
#include "support/EventLoop.h"
#include "support/ServiceFixture.h"
#include "support/ToastRecord.h"
#include "ui/files/KZFilesViewController.h"

#include <QTemporaryDir>

class KZFoldersWindowController;
#include <gtest/gtest.h>
#include <memory>

namespace nubo::test {

class FileOpsTest : public ::testing::Test {
protected:
    // Seeds the service; called once before the session signs in.
    static void seed(ServiceFixture& svc);
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    static ServiceFixture& svc() { return *s_service; }
    // Signs the session in again so that it reads the account's plan afresh.
    static void signInAgain();

    static CloudFileInfoPtr named(const CloudFileList& files, const QString& name);
    CloudFileInfoPtr row(const QString& name) const { return named(page->files(), name); }
    QStringList rowNames() const;
    void jump(const QString& path);
    // Brings the service's changes into the session (and the open folder), as the refresh does.
    void refresh();
    void select(const QStringList& names);
    // The names of the selected rows, sorted.
    QStringList selectedNamesSorted() const;
    // Types `key` into the search field as the user does and waits for its result.
    void typeSearch(const QString& key);
    // The folder picker the page presents, or null.
    static KZFoldersWindowController* presentedPicker();
    // The alert the page presented last and still shows, or null.
    static KZAlertController* presentedAlert();
    static bool waitForAlert(KZAlertController** out, int ms = 5000);
    // Presses the button of that title on the alert.
    static bool press(KZAlertController* alert, const QString& title);
    // The toast the page shows now (empty while none or while it fades out).
    QString toastText() const;
    // Waits for a toast shown since the last one waited for: read from the record, so a toast
    // that already hid itself still counts.
    bool waitForToast(const QString& text, int ms = 5000) { return toasts->waitFor(text, ms); }
    // Whether the service holds a live node at that path.
    static bool exists(const QString& path);
    // A record of the service's node at that path, as a listing gives it.
    static CloudFileInfoPtr cloud(const QString& path);

    static ServiceFixture* s_service;
    static QTemporaryDir* s_local;
    static QString s_savedDataFolder;
    KZFilesViewController* page = nullptr;
    kit::Window* window = nullptr;
    std::unique_ptr<ToastRecord> toasts; // every toast the page presented during the test
    // The settings a test changes, given back afterwards (the settings are process-wide).
    QString m_savedDownloadPath;
    bool m_savedShouldSelect = true;
};

} // namespace nubo::test
