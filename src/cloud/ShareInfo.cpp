#include "cloud/ShareInfo.h"

#include "foundation/SafeAccess.h"

using namespace nubo;

ShareExpireInfoPtr ShareExpireInfo::initWithDict(const QVariantMap& dict) {
    auto e = std::make_shared<ShareExpireInfo>();
    e->expireId_ = safe::string(dict, QStringLiteral("id"));
    e->desc_ = safe::string(dict, QStringLiteral("desc"));
    e->selected_ = safe::boolean(dict, QStringLiteral("selected"));
    e->expire_ = safe::string(dict, QStringLiteral("expire"));
    e->renewTips_ = safe::string(dict, QStringLiteral("renew_tips"));
    return e;
}

ShareInfoPtr ShareInfo::initWithDict(const QVariantMap& dict) {
    const std::pair<const char16_t*, QString ShareInfo::*> fields[] = {
        {u"sid", &ShareInfo::sid_},
        {u"qid", &ShareInfo::qid_},
        {u"eid", &ShareInfo::eid_},
        {u"shorturl", &ShareInfo::shorturl_},
        {u"type", &ShareInfo::type_},
        {u"password", &ShareInfo::password_},
        {u"expire", &ShareInfo::expire_},
        {u"price", &ShareInfo::price_},
        {u"description", &ShareInfo::desc_},
        {u"nids_md5", &ShareInfo::nidsMd5_},
        {u"count_visit", &ShareInfo::countVisit_},
        {u"count_size", &ShareInfo::countSize_},
        {u"count_download", &ShareInfo::countDownload_},
        {u"count_save", &ShareInfo::countSave_},
        {u"status", &ShareInfo::status_},
        {u"ctime", &ShareInfo::ctime_},
        {u"mtime", &ShareInfo::mtime_},
        {u"linkurl", &ShareInfo::linkurl_},
        {u"link_type", &ShareInfo::linkType_},
        {u"thumb", &ShareInfo::thumb_},
        {u"status_desc", &ShareInfo::statusDesc_},
        {u"fpath", &ShareInfo::fpath_},
        {u"name", &ShareInfo::name_},
    };
    auto s = std::make_shared<ShareInfo>();
    for (const auto& [key, member] : fields)
        (*s).*member = safe::string(dict, QString::fromUtf16(key));
    for (const QVariant& v : safe::list(dict, QStringLiteral("expire_day_count_arr")))
        s->expireDays_.append(ShareExpireInfo::initWithDict(safe::toMap(v)));
    return s;
}
