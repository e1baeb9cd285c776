#pragma once

#include "foundation/Dispatch.h"
#include "support/CloudPrinters.h"
#include "support/EventLoop.h"
#include "support/ServiceFixture.h"
#include "transport/KZDownloadMgrProxy.h"
#include "transport/KZUploadMgrProxy.h"
#include "transport/TransferSession.h"

#include <QObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace nubo::test {

// Records everything both proxies report, in order.
class TransferRecorder : public QObject, public KZUploadMgrProxyDelegate, public KZDownloadMgrProxyDelegate {
public:
    struct Sync {
        QString kind; // "state", "fail", "success", "completion"
        QString name;
        BWError error;
        quint64 files = 0, ctrl = 0, state = 0;
        int type = -1;
    };

    QList<KZUploadJobOpenInfoPtr> uploadAdded, uploadChanged, uploadFinishedList, uploadCancelled,
        uploadErrors;
    QList<KZDownloadJobOpenInfoPtr> downloadAdded, downloadChanged, downloadFinishedList, downloadCancelled,
        downloadErrors;
    QList<KZUploadJobOpenInfoPtr> lastUnfinishedUploads, lastFinishedUploads;
    QList<KZDownloadJobOpenInfoPtr> lastUnfinishedDownloads, lastFinishedDownloads;
    int unfinishedUploadAnswers = 0, finishedUploadAnswers = 0;
    QList<Sync> cloudSync, localSync;

    int uploadAdd(const QList<KZUploadJobOpenInfoPtr>& infos) override {
        uploadAdded += infos;
        return 0;
    }
    void uploadStateChanged(const KZUploadJobOpenInfoPtr& i) override { uploadChanged += i; }
    int uploadFinished(const KZUploadJobOpenInfoPtr& i) override {
        uploadFinishedList += i;
        return 0;
    }
    int uploadCancel(const KZUploadJobOpenInfoPtr& i) override {
        uploadCancelled += i;
        return 0;
    }
    int uploadError(const KZUploadJobOpenInfoPtr& i) override {
        uploadErrors += i;
        return 0;
    }
    void didUpdateUnFinishedUploadJobOpenInfos(const QList<KZUploadJobOpenInfoPtr>& l) override {
        lastUnfinishedUploads = l;
        ++unfinishedUploadAnswers;
    }
    void didUpdateFinishedUploadJobOpenInfos(const QList<KZUploadJobOpenInfoPtr>& l) override {
        lastFinishedUploads = l;
        ++finishedUploadAnswers;
    }
    void cloudFileSyncStateChange(quint64 state, quint64 count, int type) override {
        cloudSync += Sync{QStringLiteral("state"), {}, {}, 0, count, state, type};
    }
    void cloudFileSyncFail(const QString& name, const BWError& error, int type) override {
        cloudSync += Sync{QStringLiteral("fail"), name, error, 0, 0, 0, type};
    }
    void cloudFileSyncSuccess(const QString& name, quint64 files, quint64 ctrl, int type) override {
        cloudSync += Sync{QStringLiteral("success"), name, {}, files, ctrl, 0, type};
    }
    void cloudFileSyncCompletion(int type) override {
        cloudSync += Sync{QStringLiteral("completion"), {}, {}, 0, 0, 0, type};
    }

    int downloadAdd(const QList<KZDownloadJobOpenInfoPtr>& infos) override {
        downloadAdded += infos;
        return 0;
    }
    void downloadStateChanged(const KZDownloadJobOpenInfoPtr& i) override { downloadChanged += i; }
    int downloadFinished(const KZDownloadJobOpenInfoPtr& i) override {
        downloadFinishedList += i;
        return 0;
    }
    int downloadCancel(const KZDownloadJobOpenInfoPtr& i) override {
        downloadCancelled += i;
        return 0;
    }
    int downloadError(const KZDownloadJobOpenInfoPtr& i) override {
        downloadErrors += i;
        return 0;
    }
    void didUpdateUnFinishedDownloadJobOpenInfos(const QList<KZDownloadJobOpenInfoPtr>& l) override {
        lastUnfinishedDownloads = l;
    }
    void didUpdateFinishedDownloadJobOpenInfos(const QList<KZDownloadJobOpenInfoPtr>& l) override {
        lastFinishedDownloads = l;
    }
    void localFileSyncStateChange(quint64 state, quint64 count, int type) override {
        localSync += Sync{QStringLiteral("state"), {}, {}, 0, count, state, type};
    }
    void localFileSyncFail(const QString& name, const BWError& error) override {
        localSync += Sync{QStringLiteral("fail"), name, error, 0, 0, 0, 0};
    }
    void localFileSyncSuccess(const QString& name, quint64 files, quint64 ctrl) override {
        localSync += Sync{QStringLiteral("success"), name, {}, files, ctrl, 0, 0};
    }

    // The next sync failure report not yet looked at.
    std::optional<Sync> nextFail(const QList<Sync>& list, int& seen) {
        for (; seen < list.size(); ++seen)
            if (list[seen].kind == QLatin1String("fail"))
                return list[seen++];
        return std::nullopt;
    }
};

// Adds jobs straight to the engine (the sync managers are tested on their own).
void addUploads(const QList<transfer::TransferJobRecord>& jobs);
void addDownloads(const QList<transfer::TransferJobRecord>& jobs);
// Every entry below the folder (hidden ones too), or those whose names match `patterns`.
QStringList entriesBelow(const QString& folder, const QStringList& patterns = {});
// The whole content of the cloud file at the path; empty when there is none.
QByteArray cloudContentOf(ServiceFixture& svc, const QString& path);

// A real service in a temporary folder, the transfer engines signed in to a per-user database
// beside it, a local folder to work in, and a recorder observing both proxies.
class TransferTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a local file (parents made) and returns its path.
    QString writeLocal(const QString& relative, const QByteArray& content);
    QByteArray readLocal(const QString& path);
    CloudFileInfoPtr cloudNode(const ServiceNode& node);
    CloudFileInfoPtr cloudFolder(const QString& path);
    // Waits until the upload (download) engine has no job running or waiting.
    bool waitUploadsSettled(int ms = 15000);
    bool waitDownloadsSettled(int ms = 15000);
    int uploadStatus(const QString& cloudPath);
    int downloadStatus(const QString& localPath);
    // Waits for the next sync failure report of the upload (download) proxy.
    std::optional<TransferRecorder::Sync> waitCloudFail(int ms = 5000);
    std::optional<TransferRecorder::Sync> waitLocalFail(int ms = 5000);
    bool waitCloudIdle(int ms = 10000);
    bool waitLocalIdle(int ms = 10000);

    ServiceFixture svc;
    QTemporaryDir local;
    QString dbPath;
    TransferRecorder rec;
    KZUploadMgrProxy* up = nullptr;
    KZDownloadMgrProxy* down = nullptr;
    int cloudFailSeen = 0, localFailSeen = 0;
};

} // namespace nubo::test
