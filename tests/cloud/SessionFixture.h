#pragma once

#include "cloud/ChangeDigest.h"
#include "cloud/KZSession.h"
#include "cloud/KZSessionProxy.h"
#include "foundation/Dispatch.h"
#include "foundation/SingletonT.h"
#include "storage/DataPaths.h"
#include "storage/SystemConfig.h"
#include "support/CloudPrinters.h"
#include "support/EventLoop.h"
#include "support/ServiceFixture.h"
#include "support/SessionReset.h"

#include <QObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace nubo::test {

// One answer of any request, as a delegate or observer heard it.
struct Answer {
    QString kind; // the callback's name without the "kzSession" prefix
    qint64 requestId = 0;
    CloudFileInfoPtr cloudFile;
    QList<CloudFileInfoPtr> files;
    KZBackForwardState backForward = -1;
    QVariantMap userInfo;
    BWError error;
    QByteArray thumb;
    qint64 nid = 0;
    ShareInfoPtr share;
    ShareExpireInfoPtr expire;
    QVariantList shareList;
    QString pwd;
    bool onMainThread = false;
    bool needReset = false;
    // A change report's digest, and whether one was answered for a copy of the report too.
    std::shared_ptr<const nubo::ChangeDigest> digest;
    bool digestOfCopy = false;
};

// The callbacks that carry nothing but the request's user info (and a failure's error) record
// only their kind: kzSession<Name> records "<Name>", kzSession<Name>Fail records "<Name>Fail".
#define NUBO_RECORD_DONE(Name)                                                                               \
    void kzSession##Name(KZAbstractSession*, qint64 id, const QVariantMap& userInfo) override {              \
        add(#Name, id, userInfo);                                                                            \
    }
#define NUBO_RECORD_FAIL(Name)                                                                               \
    void kzSession##Name##Fail(KZAbstractSession*, qint64 id, const QVariantMap& userInfo,                   \
                               const BWError& error) override {                                              \
        add(#Name "Fail", id, userInfo, error);                                                              \
    }

// A delegate of every request and an observer of the session that records what it hears.
class Recorder : public QObject,
                 public KZRequestFileListDelegate,
                 public KZRequestIncrNodeDelegate,
                 public KZRequestThumbDelegate,
                 public KZRequestCreateDirDelegate,
                 public KZRequestRenameFileDelegate,
                 public KZRequestDeleteFileDelegate,
                 public KZRequestShareFilesDelegate,
                 public KZRequestCancelShareDelegate,
                 public KZrequestShareGetListDelegate,
                 public KZRequestShareSetPwdDelegate,
                 public KZrequestShareSetExpireDelegate,
                 public KZLoginJumpDelegate,
                 public KZSessionDelegate {
public:
    QList<Answer> answers;
    QList<Answer> changes; // node changes heard as an observer

    Answer& add(const QString& kind, qint64 id, const QVariantMap& userInfo, const BWError& error = {}) {
        Answer a;
        a.kind = kind;
        a.requestId = id;
        a.userInfo = userInfo;
        a.error = error;
        a.onMainThread = isMainThread();
        answers.append(a);
        return answers.last();
    }
    // Waits for the answer to request `id`.
    std::optional<Answer> wait(qint64 id, int timeoutMs = 10000) {
        auto find = [&]() -> const Answer* {
            for (const auto& a : answers)
                if (a.requestId == id)
                    return &a;
            return nullptr;
        };
        if (!waitUntil([&] { return find() != nullptr; }, timeoutMs))
            return std::nullopt;
        return *find();
    }

    void kzSessionRequestFileList(KZAbstractSession*, qint64 id, const CloudFileInfoPtr& cloudFile,
                                  const CloudFileList& fileList, KZBackForwardState backForward,
                                  const QVariantMap& userInfo) override {
        auto& a = add("RequestFileList", id, userInfo);
        a.cloudFile = cloudFile;
        a.files = fileList.toList();
        a.backForward = backForward;
    }
    NUBO_RECORD_FAIL(RequestFileList)
    NUBO_RECORD_DONE(RequestGetIncrNode)
    NUBO_RECORD_FAIL(RequestGetIncrNode)
    void kzSessionRequestThumb(KZAbstractSession*, qint64 id, const QByteArray& thumb, qint64 nid,
                               const QVariantMap& userInfo) override {
        auto& a = add("RequestThumb", id, userInfo);
        a.thumb = thumb;
        a.nid = nid;
    }
    void kzSessionRequestThumbFail(KZAbstractSession*, qint64 id, qint64 nid, const QVariantMap& userInfo,
                                   const BWError& error) override {
        add("RequestThumbFail", id, userInfo, error).nid = nid;
    }
    NUBO_RECORD_DONE(RequestCreateDir)
    NUBO_RECORD_FAIL(RequestCreateDir)
    NUBO_RECORD_DONE(RequestRenameFile)
    NUBO_RECORD_FAIL(RequestRenameFile)
    NUBO_RECORD_DONE(RequestDeleteFile)
    NUBO_RECORD_FAIL(RequestDeleteFile)
    void kzSessionRequestShareFiles(KZAbstractSession*, qint64 id, const ShareInfoPtr& shareInfo,
                                    const QVariantMap& userInfo) override {
        add("RequestShareFiles", id, userInfo).share = shareInfo;
    }
    NUBO_RECORD_FAIL(RequestShareFiles)
    NUBO_RECORD_DONE(RequestCancelShare)
    NUBO_RECORD_FAIL(RequestCancelShare)
    void kzSessionRequestShareGetList(KZAbstractSession*, qint64 id, const QVariantList& shareList,
                                      const QVariantMap& userInfo) override {
        add("RequestShareGetList", id, userInfo).shareList = shareList;
    }
    NUBO_RECORD_FAIL(RequestShareGetList)
    void kzSessionRequestShareSetPwd(KZAbstractSession*, qint64 id, const QString& pwd,
                                     const QVariantMap& userInfo) override {
        add("RequestShareSetPwd", id, userInfo).pwd = pwd;
    }
    NUBO_RECORD_FAIL(RequestShareSetPwd)
    void kzSessionRequestShareSetExpire(KZAbstractSession*, qint64 id, const ShareExpireInfoPtr& expireInfo,
                                        const QVariantMap& userInfo) override {
        add("RequestShareSetExpire", id, userInfo).expire = expireInfo;
    }
    NUBO_RECORD_FAIL(RequestShareSetExpire)
    NUBO_RECORD_DONE(LoginJump)
    NUBO_RECORD_FAIL(LoginJump)
    void didKZSessionIncrNodeChanged(KZAbstractSession* session, qint64 nid, bool needReset,
                                     const QList<CloudFileInfoPtr>& children) override {
        Answer a;
        a.kind = "IncrNodeChanged";
        if (session) {
            a.digest = session->digestOf(children);
            const QList<CloudFileInfoPtr> copy = children;
            a.digestOfCopy = session->digestOf(copy) != nullptr;
        }
        a.nid = nid;
        a.needReset = needReset;
        a.files = children;
        a.onMainThread = isMainThread();
        changes.append(a);
        answers.append(a); // keeps the order of changes and answers
    }
};

#undef NUBO_RECORD_DONE
#undef NUBO_RECORD_FAIL

// A signed-in session over a fresh embedded service and a fresh data folder.
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_data.isValid());
        paths::setDataFolder(m_data.path());
        SingletonT<SystemConfig>::reset();
        m_service.installAsShared();
        seed();
        login();
        proxy()->addSessionObserver(&recorder);
    }
    void TearDown() override {
        proxy()->removeSessionObserver(&recorder);
        EXPECT_TRUE(signOut());
        resetSession();
        SingletonT<SystemConfig>::reset();
        paths::setDataFolder({});
    }
    // Seeds the tree before the session signs in.
    virtual void seed() {}
    static void login() { signIn(); }
    static KZSessionProxy* proxy() { return KZSessionProxy::shareSessionProxy(); }
    EmbeddedCloudService& service() { return m_service.service(); }

    // Waits for the answer to request `id`; none is a failure (and an empty answer).
    Answer answerOf(qint64 id) {
        auto a = recorder.wait(id);
        EXPECT_TRUE(a.has_value());
        return a.value_or(Answer{});
    }
    // Runs a list command and waits for its answer.
    Answer list(qint64 nid, const QString& path = {}, int sort = 0, const QVariantMap& userInfo = {}) {
        return answerOf(proxy()->getFileListByNid(nid, path, sort, &recorder, userInfo));
    }
    Answer search(const CloudFileInfoPtr& from, const QString& key, int sort = 0) {
        return answerOf(proxy()->searchFileListByFileInfo(from, key, sort, &recorder, {}));
    }

    QTemporaryDir m_data;
    ServiceFixture m_service;
    Recorder recorder;
};

inline QStringList names(const QList<CloudFileInfoPtr>& files) {
    QStringList out;
    for (const auto& f : files)
        out << f->name();
    return out;
}

} // namespace nubo::test
