// Feedback reports kept by the embedded service: there is no feedback service to send them to,
// so they stay in the service's own database, where nothing is lost.
#include "service/EmbeddedCloudService.h"
#include "service/ServiceInternal.h"

#include <QDateTime>

namespace nubo {

using namespace service_detail;

namespace {

BWError ensureTables(Database& db) {
    return db.exec(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS feedback (id INTEGER PRIMARY KEY, time INTEGER NOT NULL,"
        " description TEXT NOT NULL, contact TEXT NOT NULL);"
        "CREATE TABLE IF NOT EXISTS feedback_images (feedback_id INTEGER NOT NULL, idx INTEGER NOT NULL,"
        " bytes BLOB NOT NULL, PRIMARY KEY (feedback_id, idx)) WITHOUT ROWID;"));
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
    while (q.next()) {
        FeedbackReport r;
        r.time = q.int64(1);
        r.description = q.text(2);
        r.contact = q.text(3);
        img.reset();
        img.bind(1, q.int64(0));
        while (img.next())
            r.images.append(img.blob(0));
        out.value.append(r);
    }
    if (q.error())
        return R::failure(storageFailure(q.error()));
    return out;
}

} // namespace nubo
