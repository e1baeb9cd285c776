// Share links and the login-jump address of the embedded service.
#include "service/EmbeddedCloudService.h"
#include "service/ServiceInternal.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QRandomGenerator>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

namespace nubo {

using namespace service_detail;

namespace {

const QString kShareBase = QStringLiteral("https://share.nubo.invalid/s/");
const QString kJumpBase = QStringLiteral("https://web.nubo.invalid/jump");

constexpr int kStatusActive = 0;
constexpr int kStatusCancelled = 1;
constexpr int kStatusExpired = 2; // reported only: an active link whose expiry has passed

qint64 nowSecs() {
    return QDateTime::currentSecsSinceEpoch();
}

BWError shareNotFound() {
    return cloudError(kCloudErrorShareNotFound, QStringLiteral("分享链接不存在"));
}

QString randomKey(int length) {
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    QString key;
    auto* rng = QRandomGenerator::system();
    for (int i = 0; i < length; ++i)
        key.append(QLatin1Char(alphabet[rng->bounded(int(sizeof(alphabet) - 1))]));
    return key;
}

// Expiry seconds since 1970 for a choice id ("1", "7" days, "0" unlimited); -1 when unknown.
qint64 expiryFor(const QString& id, qint64 from) {
    if (id == QLatin1String("0"))
        return 0;
    if (id == QLatin1String("1"))
        return from + 86400;
    if (id == QLatin1String("7"))
        return from + 7 * 86400;
    return -1;
}

QVariantList expireChoices(const QString& selectedId) {
    const QList<QPair<QString, QString>> choices = {{QStringLiteral("1"), QStringLiteral("1天")},
                                                    {QStringLiteral("7"), QStringLiteral("7天")},
                                                    {QStringLiteral("0"), QStringLiteral("不限")}};
    QVariantList out;
    for (const auto& [id, desc] : choices)
        out.append(QVariantMap{{QStringLiteral("id"), id},
                               {QStringLiteral("desc"), desc},
                               {QStringLiteral("selected"), id == selectedId}});
    return out;
}

const QString kShareColumns = QStringLiteral("sid, shorturl, password, expire, expire_id, status, name, "
                                             "fpath, link_type, count_size, nids_md5, ctime, mtime");

QVariantMap shareFromRow(const Query& q, const ServiceAccount& account) {
    const QString shortUrl = q.text(1);
    const qint64 expire = q.int64(3);
    int status = int(q.int64(5));
    if (status == kStatusActive && expire > 0 && expire <= nowSecs())
        status = kStatusExpired;
    const QString statusDesc = status == kStatusActive      ? QString()
                               : status == kStatusCancelled ? QStringLiteral("已取消")
                                                            : QStringLiteral("已过期");
    const QString name = q.text(6);
    const QString linkType = QString::number(q.int64(8));
    return QVariantMap{
        {QStringLiteral("sid"), QString::number(q.int64(0))},
        {QStringLiteral("qid"), account.userId},
        {QStringLiteral("eid"), account.enterpriseId},
        {QStringLiteral("shorturl"), shortUrl},
        {QStringLiteral("type"), linkType},
        {QStringLiteral("password"), q.text(2)},
        {QStringLiteral("expire"), QString::number(expire)},
        {QStringLiteral("price"), QStringLiteral("0")},
        {QStringLiteral("description"), name},
        {QStringLiteral("nids_md5"), q.text(10)},
        {QStringLiteral("count_visit"), QStringLiteral("0")},
        {QStringLiteral("count_size"), QString::number(q.int64(9))},
        {QStringLiteral("count_download"), QStringLiteral("0")},
        {QStringLiteral("count_save"), QStringLiteral("0")},
        {QStringLiteral("status"), QString::number(status)},
        {QStringLiteral("status_desc"), statusDesc},
        {QStringLiteral("ctime"), QString::number(q.int64(11))},
        {QStringLiteral("mtime"), QString::number(q.int64(12))},
        {QStringLiteral("linkurl"), QString(kShareBase + shortUrl)},
        {QStringLiteral("link_type"), linkType},
        {QStringLiteral("thumb"), QString()},
        {QStringLiteral("fpath"), q.text(7)},
        {QStringLiteral("name"), name},
        {QStringLiteral("expire_day_count_arr"), expireChoices(q.text(4))},
    };
}

// The MD5 of the ids, in the order given, as "1,2,3".
QString idsDigest(const QList<qint64>& ids) {
    QStringList idText;
    for (qint64 id : ids)
        idText.append(QString::number(id));
    return QString::fromLatin1(
        QCryptographicHash::hash(idText.join(QLatin1Char(',')).toUtf8(), QCryptographicHash::Md5).toHex());
}

} // namespace

// Recomputes the share flag of the nodes from the links that are still active.
BWError EmbeddedCloudService::refreshLinkFlags(const QList<qint64>& nids) {
    if (nids.isEmpty())
        return {};
    auto v = nextVersion();
    if (!v.ok())
        return v.error;
    Query q = m_db->query(QStringLiteral(
        "UPDATE nodes SET is_link = (SELECT count(*) > 0 FROM share_nodes sn JOIN shares s ON s.sid = sn.sid"
        " WHERE sn.nid = nodes.nid AND s.status = 0), version = ?"
        " WHERE nid = ? AND status = 0 AND is_link != (SELECT count(*) > 0 FROM share_nodes sn JOIN shares s"
        " ON s.sid = sn.sid WHERE sn.nid = nodes.nid AND s.status = 0)"));
    for (qint64 nid : nids) {
        if (BWError err = q.bind(1, v.value).bind(2, nid).exec())
            return storageFailure(err);
        q.reset();
    }
    return {};
}

Result<QVariantMap> EmbeddedCloudService::shareRecord(const QString& column, const QString& key) {
    using R = Result<QVariantMap>;
    auto acct = account();
    if (!acct.ok())
        return R::failure(acct.error);
    Query q = m_db->query(QStringLiteral("SELECT ") + kShareColumns + QStringLiteral(" FROM shares WHERE ") +
                          column + QStringLiteral(" = ?"));
    q.bind(1, key);
    if (q.next())
        return {shareFromRow(q, acct.value), {}};
    return R::failure(q.error() ? storageFailure(q.error()) : shareNotFound());
}

Result<QVariantMap> EmbeddedCloudService::createShare(const QList<qint64>& nids) {
    using R = Result<QVariantMap>;
    if (BWError err = enterOp(ServiceOp::CreateShare))
        return R::failure(err);
    if (nids.isEmpty() || nids.size() > 10000)
        return R::failure(cloudError(kCloudErrorInvalidArgument, QStringLiteral("请选择要分享的文件")));
    QString shortUrl;
    {
        Database::Transaction t(*m_db);
        if (t.error())
            return R::failure(storageFailure(t.error()));
        NodeList nodes;
        quint64 total = 0;
        for (qint64 nid : nids) {
            if (nid == kRootId)
                return R::failure(cloudError(kCloudErrorRootRefused, QStringLiteral("不能分享根目录")));
            auto n = liveNode(nid);
            if (!n.ok())
                return R::failure(n.error);
            nodes.append(n.value);
            quint64 size = n.value.size;
            if (n.value.isDir) {
                Query sum =
                    m_db->query(QStringLiteral("SELECT coalesce(sum(size), 0) FROM nodes WHERE status = 0 "
                                               "AND is_dir = 0 AND path >= ? AND path < ?"));
                sum.bind(1, subtreeLow(n.value.path)).bind(2, subtreeHigh(n.value.path));
                size = sum.next() ? quint64(sum.int64(0)) : 0;
            }
            total += size;
        }
        const ServiceNode& first = nodes.first();
        const QString name =
            nodes.size() == 1 ? first.name : QStringLiteral("%1等%2个文件").arg(first.name).arg(nodes.size());
        const int cut = int(first.path.lastIndexOf(QLatin1Char('/')));
        const QString fpath = cut <= 0 ? QStringLiteral("/") : first.path.left(cut);
        const bool folderLike = nodes.size() > 1 || first.isDir;
        QList<qint64> sorted = nids;
        std::sort(sorted.begin(), sorted.end());
        const QString nidsMd5 = idsDigest(sorted);
        const qint64 ts = nowSecs();
        for (int attempt = 0; attempt < 8 && shortUrl.isEmpty(); ++attempt) {
            const QString candidate = randomKey(10);
            Query ins = m_db->query(QStringLiteral(
                "INSERT OR IGNORE INTO shares (shorturl, password, expire, expire_id, status, name, fpath, "
                "link_type,"
                " count_size, nids_md5, ctime, mtime) VALUES (?, '', ?, '7', 0, ?, ?, ?, ?, ?, ?, ?)"));
            ins.bind(1, candidate).bind(2, expiryFor(QStringLiteral("7"), ts)).bind(3, name).bind(4, fpath);
            ins.bind(5, int(folderLike)).bind(6, qint64(total)).bind(7, nidsMd5).bind(8, ts).bind(9, ts);
            if (BWError err = ins.exec())
                return R::failure(storageFailure(err));
            if (m_db->changes() > 0)
                shortUrl = candidate;
        }
        if (shortUrl.isEmpty())
            return R::failure(cloudError(kCloudErrorStorage, QStringLiteral("无法生成分享链接，请重试")));
        const qint64 sid = m_db->lastInsertId();
        Query link =
            m_db->query(QStringLiteral("INSERT OR IGNORE INTO share_nodes (sid, nid) VALUES (?, ?)"));
        for (qint64 nid : sorted) {
            if (BWError err = link.bind(1, sid).bind(2, nid).exec())
                return R::failure(storageFailure(err));
            link.reset();
        }
        if (BWError err = refreshLinkFlags(sorted))
            return R::failure(err);
        if (BWError err = t.commit())
            return R::failure(storageFailure(err));
    }
    return shareRecord(QStringLiteral("shorturl"), shortUrl);
}

Result<QVariantMap> EmbeddedCloudService::share(const QString& sid) {
    if (BWError err = enterOp(ServiceOp::GetShare))
        return Result<QVariantMap>::failure(err);
    bool ok = false;
    const qint64 id = sid.toLongLong(&ok);
    if (!ok)
        return Result<QVariantMap>::failure(shareNotFound());
    return shareRecord(QStringLiteral("sid"), QString::number(id));
}

BWError EmbeddedCloudService::endShares(const QList<qint64>& sids, bool deleteRecords) {
    // Called inside a transaction: ends the links and refreshes the flags of their nodes.
    QList<qint64> affected;
    for (qint64 sid : sids) {
        Query nodes = m_db->query(QStringLiteral("SELECT nid FROM share_nodes WHERE sid = ?"));
        nodes.bind(1, sid);
        while (nodes.next())
            affected.append(nodes.int64(0));
        if (nodes.error())
            return storageFailure(nodes.error());
    }
    for (qint64 sid : sids) {
        if (deleteRecords) {
            Query a = m_db->query(QStringLiteral("DELETE FROM share_nodes WHERE sid = ?"));
            if (BWError err = a.bind(1, sid).exec())
                return storageFailure(err);
            Query b = m_db->query(QStringLiteral("DELETE FROM shares WHERE sid = ?"));
            if (BWError err = b.bind(1, sid).exec())
                return storageFailure(err);
        } else {
            Query c = m_db->query(QStringLiteral("UPDATE shares SET status = ?, mtime = ? WHERE sid = ?"));
            if (BWError err = c.bind(1, kStatusCancelled).bind(2, nowSecs()).bind(3, sid).exec())
                return storageFailure(err);
        }
    }
    return refreshLinkFlags(affected);
}

BWError EmbeddedCloudService::lapseSharesOfRemoved(qint64 version) {
    // Called inside the delete's transaction: the nodes it removed carry its version.
    Query q = m_db->query(QStringLiteral("SELECT DISTINCT s.sid FROM shares s JOIN share_nodes sn ON sn.sid "
                                         "= s.sid JOIN nodes n ON n.nid = sn.nid"
                                         " WHERE s.status = 0 AND n.status != 0 AND n.version = ?"));
    q.bind(1, version);
    QList<qint64> sids;
    while (q.next())
        sids.append(q.int64(0));
    if (q.error())
        return storageFailure(q.error());
    return endShares(sids, false);
}

Result<qint64> EmbeddedCloudService::sidOf(const QString& shortUrl) {
    Query q = m_db->query(QStringLiteral("SELECT sid FROM shares WHERE shorturl = ?"));
    q.bind(1, shortUrl);
    if (q.next())
        return {q.int64(0), {}};
    return Result<qint64>::failure(q.error() ? storageFailure(q.error()) : shareNotFound());
}

BWError EmbeddedCloudService::cancelSharesByPaths(const QStringList& paths) {
    if (BWError err = enterOp(ServiceOp::CancelShare))
        return err;
    if (paths.isEmpty())
        return cloudError(kCloudErrorInvalidArgument, QStringLiteral("请选择要取消分享的文件"));
    Database::Transaction t(*m_db);
    if (t.error())
        return storageFailure(t.error());
    QList<qint64> sids;
    for (const QString& path : paths) {
        Query n = m_db->query(QStringLiteral("SELECT nid FROM nodes WHERE path = ? AND status = 0"));
        QString p = path;
        while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
            p.chop(1);
        n.bind(1, p);
        if (!n.next())
            return n.error() ? storageFailure(n.error())
                             : cloudError(kCloudErrorNotFound, QStringLiteral("文件不存在：%1").arg(path));
        const qint64 nid = n.int64(0);
        Query s = m_db->query(QStringLiteral("SELECT s.sid FROM shares s JOIN share_nodes sn ON sn.sid = "
                                             "s.sid WHERE sn.nid = ? AND s.status = 0"));
        s.bind(1, nid);
        while (s.next())
            if (!sids.contains(s.int64(0)))
                sids.append(s.int64(0));
        if (s.error())
            return storageFailure(s.error());
    }
    if (BWError err = endShares(sids, false))
        return err;
    if (BWError err = t.commit())
        return storageFailure(err);
    return {};
}

BWError EmbeddedCloudService::endShareByShortUrl(const QString& shortUrl, bool deleteRecord) {
    Database::Transaction t(*m_db);
    if (t.error())
        return storageFailure(t.error());
    auto sid = sidOf(shortUrl);
    if (!sid.ok())
        return sid.error;
    if (BWError err = endShares({sid.value}, deleteRecord))
        return err;
    if (BWError err = t.commit())
        return storageFailure(err);
    return {};
}

BWError EmbeddedCloudService::cancelShare(const QString& shortUrl) {
    if (BWError err = enterOp(ServiceOp::CancelShare))
        return err;
    return endShareByShortUrl(shortUrl, false);
}

BWError EmbeddedCloudService::deleteShare(const QString& shortUrl) {
    if (BWError err = enterOp(ServiceOp::DeleteShare))
        return err;
    return endShareByShortUrl(shortUrl, true);
}

Result<QVariantList> EmbeddedCloudService::listShares(int start, int count) {
    using R = Result<QVariantList>;
    if (BWError err = enterOp(ServiceOp::ListShares))
        return R::failure(err);
    if (start < 0 || count < 1 || count > 1000)
        return R::failure(cloudError(kCloudErrorInvalidArgument, QStringLiteral("参数错误")));
    auto acct = account();
    if (!acct.ok())
        return R::failure(acct.error);
    Query q = m_db->query(QStringLiteral("SELECT ") + kShareColumns +
                          QStringLiteral(" FROM shares ORDER BY sid DESC LIMIT ? OFFSET ?"));
    q.bind(1, count).bind(2, start);
    R r;
    while (q.next())
        r.value.append(shareFromRow(q, acct.value));
    if (q.error())
        return R::failure(storageFailure(q.error()));
    return r;
}

Result<QString> EmbeddedCloudService::setSharePassword(const QString& shortUrl, const QString& password) {
    using R = Result<QString>;
    if (BWError err = enterOp(ServiceOp::SetSharePassword))
        return R::failure(err);
    if (password.size() > 32 || std::any_of(password.begin(), password.end(), [](QChar c) {
            return c.category() == QChar::Other_Control || c.isSpace();
        }))
        return R::failure(cloudError(kCloudErrorInvalidArgument, QStringLiteral("提取码格式不正确")));
    Query q = m_db->query(QStringLiteral("UPDATE shares SET password = ?, mtime = ? WHERE shorturl = ?"));
    if (BWError err = q.bind(1, password).bind(2, nowSecs()).bind(3, shortUrl).exec())
        return R::failure(storageFailure(err));
    if (m_db->changes() == 0)
        return R::failure(shareNotFound());
    return {password, {}};
}

Result<QVariantMap> EmbeddedCloudService::setShareExpire(const QString& shortUrl, const QString& expireId) {
    using R = Result<QVariantMap>;
    if (BWError err = enterOp(ServiceOp::SetShareExpire))
        return R::failure(err);
    const qint64 ts = nowSecs();
    const qint64 expire = expiryFor(expireId, ts);
    if (expire < 0)
        return R::failure(cloudError(kCloudErrorInvalidArgument, QStringLiteral("有效期选项无效")));
    Query q = m_db->query(
        QStringLiteral("UPDATE shares SET expire = ?, expire_id = ?, mtime = ? WHERE shorturl = ?"));
    if (BWError err = q.bind(1, expire).bind(2, expireId).bind(3, ts).bind(4, shortUrl).exec())
        return R::failure(storageFailure(err));
    if (m_db->changes() == 0)
        return R::failure(shareNotFound());
    return {QVariantMap{{QStringLiteral("expire"), QString::number(expire)},
                        {QStringLiteral("renew_tips"), QString()}},
            {}};
}

Result<QString> EmbeddedCloudService::loginJumpUrl(const QString& key) {
    using R = Result<QString>;
    if (BWError err = enterOp(ServiceOp::LoginJump))
        return R::failure(err);
    if (key.isEmpty() || key.size() > 4096)
        return R::failure(cloudError(kCloudErrorInvalidArgument, QStringLiteral("跳转地址无效")));
    auto acct = account();
    if (!acct.ok())
        return R::failure(acct.error);
    const QString ticket = randomKey(32);
    const QString sign = QString::fromLatin1(
        QCryptographicHash::hash(
            (ticket + QLatin1Char('|') + acct.value.userId + QLatin1Char('|') + key).toUtf8(),
            QCryptographicHash::Md5)
            .toHex());
    QUrl url(kJumpBase);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("ticket"), ticket);
    query.addQueryItem(QStringLiteral("key"), QString::fromLatin1(QUrl::toPercentEncoding(key)));
    query.addQueryItem(QStringLiteral("sign"), sign);
    url.setQuery(query);
    return {url.toString(QUrl::FullyEncoded), {}};
}

} // namespace nubo
