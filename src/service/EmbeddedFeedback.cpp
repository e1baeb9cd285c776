// Feedback reports kept by the embedded service: there is no feedback service to send them to,
// so they stay in the service's own database, where nothing is lost.
#include "service/EmbeddedCloudService.h"
#include "service/ServiceInternal.h"

#include "foundation/LogFile.h"

#include <QDateTime>

namespace nubo {

using namespace service_detail;

static_assert(CloudService::kFeedbackMaxLogBytes == LogFile::kMaxFileBytes, "a report takes whole log files");

namespace {

BWError ensureTables(Database& db) {
    return db.exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS feedback (id INTEGER PRIMARY KEY, time INTEGER NOT NULL,"
        " description TEXT NOT NULL, contact TEXT NOT NULL);"
        "CREATE TABLE IF NOT EXISTS feedback_images (feedback_id INTEGER NOT NULL, idx INTEGER NOT NULL,"
        " bytes BLOB NOT NULL, PRIMARY KEY (feedback_id, idx)) WITHOUT ROWID;"
        "CREATE TABLE IF NOT EXISTS feedback_logs (feedback_id INTEGER NOT NULL, idx INTEGER NOT NULL,"
        " name TEXT NOT NULL, bytes BLOB NOT NULL, PRIMARY KEY (feedback_id, idx)) WITHOUT ROWID;"));
}

BWError invalid(const QString& why) {
    return cloudError(kCloudErrorInvalidArgument, why);
}

} // namespace

Result<qint64> EmbeddedCloudService::submitFeedback(const FeedbackReport& report) {
    using R = Result<qint64>;
    if (BWError err = enterOp(ServiceOp::SubmitFeedback))
        return R::failure(err);
    const QString description = report.description.trimmed();
    if (description.isEmpty())
        return R::failure(invalid(QStringLiteral("请填写问题描述")));
    if (description.size() > kFeedbackMaxDescription)
        return R::failure(invalid(QStringLiteral("问题描述不能超过%1个字").arg(kFeedbackMaxDescription)));
    if (report.contact.size() > kFeedbackMaxContact)
        return R::failure(invalid(QStringLiteral("联系方式不能超过%1个字").arg(kFeedbackMaxContact)));
    if (report.images.size() > kFeedbackMaxImages)
        return R::failure(invalid(QStringLiteral("最多添加%1张图片").arg(kFeedbackMaxImages)));
    for (const QByteArray& image : report.images)
        if (image.isEmpty() || image.size() > kFeedbackMaxImageBytes)
            return R::failure(invalid(QStringLiteral("图片不能超过5M")));
    // The client reads logs within these limits; a report past them did not come from it.
    if (report.logs.size() > kFeedbackMaxLogs)
        return R::failure(invalid(QStringLiteral("最多上传%1个日志文件").arg(kFeedbackMaxLogs)));
    for (const FeedbackFile& log : report.logs) {
        if (log.name.isEmpty() || log.name.size() > kFeedbackMaxLogName)
            return R::failure(invalid(QStringLiteral("日志文件名无效")));
        if (log.bytes.size() > kFeedbackMaxLogBytes)
            return R::failure(invalid(QStringLiteral("日志文件不能超过10M")));
    }

    Database::Transaction t(*m_db);
    if (t.error())
        return R::failure(storageFailure(t.error()));
    if (BWError err = ensureTables(*m_db))
        return R::failure(storageFailure(err));
    Query ins =
        m_db->query(QStringLiteral("INSERT INTO feedback (time, description, contact) VALUES (?, ?, ?)"));
    if (BWError err = ins.bind(1, QDateTime::currentSecsSinceEpoch())
                          .bind(2, description)
                          .bind(3, report.contact.trimmed())
                          .exec())
        return R::failure(storageFailure(err));
    const qint64 feedbackId = m_db->lastInsertId();
    Query img =
        m_db->query(QStringLiteral("INSERT INTO feedback_images (feedback_id, idx, bytes) VALUES (?, ?, ?)"));
    for (int i = 0; i < report.images.size(); ++i) {
        img.reset();
        if (BWError err = img.bind(1, feedbackId).bind(2, i).bind(3, report.images[i]).exec())
            return R::failure(storageFailure(err));
    }
    Query log = m_db->query(
        QStringLiteral("INSERT INTO feedback_logs (feedback_id, idx, name, bytes) VALUES (?, ?, ?, ?)"));
    for (int i = 0; i < report.logs.size(); ++i) {
        log.reset();
        if (BWError err = log.bind(1, feedbackId)
                              .bind(2, i)
                              .bind(3, report.logs[i].name)
                              .bind(4, report.logs[i].bytes)
                              .exec())
            return R::failure(storageFailure(err));
    }
    if (BWError err = t.commit())
        return R::failure(storageFailure(err));
    return {feedbackId, {}};
}

Result<QList<FeedbackReport>> EmbeddedCloudService::feedbackReports() {
    using R = Result<QList<FeedbackReport>>;
    if (BWError err = awaitSound())
        return R::failure(err);
    Database::Transaction t(*m_db);
    if (BWError err = ensureTables(*m_db))
        return R::failure(storageFailure(err));
    R out;
    Query q = m_db->query(QStringLiteral("SELECT id, time, description, contact FROM feedback ORDER BY id"));
    Query img =
        m_db->query(QStringLiteral("SELECT bytes FROM feedback_images WHERE feedback_id = ? ORDER BY idx"));
    Query log = m_db->query(
        QStringLiteral("SELECT name, bytes FROM feedback_logs WHERE feedback_id = ? ORDER BY idx"));
    while (q.next()) {
        FeedbackReport r;
        r.time = q.int64(1);
        r.description = q.text(2);
        r.contact = q.text(3);
        img.reset();
        img.bind(1, q.int64(0));
        while (img.next())
            r.images.append(img.blob(0));
        log.reset();
        log.bind(1, q.int64(0));
        while (log.next())
            r.logs.append({log.text(0), log.blob(1)});
        out.value.append(r);
    }
    if (q.error())
        return R::failure(storageFailure(q.error()));
    return out;
}

} // namespace nubo
