#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>
#include <memory>

class ShareExpireInfo;
class ShareInfo;
using ShareExpireInfoPtr = std::shared_ptr<ShareExpireInfo>;
using ShareInfoPtr = std::shared_ptr<ShareInfo>;

// One validity choice of a share link ("id", "desc", "selected"); a set-expiry answer also
// carries the new expiry (seconds since 1970, as text) and an optional renewal message.
class ShareExpireInfo {
public:
    static ShareExpireInfoPtr initWithDict(const QVariantMap& dict);

    const QString& expireId() const { return expireId_; }
    void setExpireId(const QString& v) { expireId_ = v; }
    const QString& desc() const { return desc_; }
    void setDesc(const QString& v) { desc_ = v; }
    bool selected() const { return selected_; }
    void setSelected(bool v) { selected_ = v; }
    const QString& expire() const { return expire_; }
    void setExpire(const QString& v) { expire_ = v; }
    const QString& renew_tips() const { return renewTips_; }
    void setRenew_tips(const QString& v) { renewTips_ = v; }

private:
    QString expireId_;
    QString desc_;
    bool selected_ = false;
    QString expire_;
    QString renewTips_;
};

// One share link as the service lists it. Every field is read as text, whatever its type in the
// reply; a missing or unreadable field is empty.
class ShareInfo {
public:
    static ShareInfoPtr initWithDict(const QVariantMap& dict);

#define NUBO_SHARE_FIELD(getter, setter, member)                                                             \
    const QString& getter() const {                                                                          \
        return member;                                                                                       \
    }                                                                                                        \
    void setter(const QString& v) {                                                                          \
        member = v;                                                                                          \
    }
    NUBO_SHARE_FIELD(sid, setSid, sid_)
    NUBO_SHARE_FIELD(qid, setQid, qid_)
    NUBO_SHARE_FIELD(eid, setEid, eid_)
    NUBO_SHARE_FIELD(shorturl, setShorturl, shorturl_)
    NUBO_SHARE_FIELD(type, setType, type_)
    NUBO_SHARE_FIELD(password, setPassword, password_)
    NUBO_SHARE_FIELD(expire, setExpire, expire_)
    NUBO_SHARE_FIELD(price, setPrice, price_)
    NUBO_SHARE_FIELD(desc, setDesc, desc_)
    NUBO_SHARE_FIELD(nids_md5, setNids_md5, nidsMd5_)
    NUBO_SHARE_FIELD(count_visit, setCount_visit, countVisit_)
    NUBO_SHARE_FIELD(count_size, setCount_size, countSize_)
    NUBO_SHARE_FIELD(count_download, setCount_download, countDownload_)
    NUBO_SHARE_FIELD(count_save, setCount_save, countSave_)
    NUBO_SHARE_FIELD(status, setStatus, status_)
    NUBO_SHARE_FIELD(ctime, setCtime, ctime_)
    NUBO_SHARE_FIELD(mtime, setMtime, mtime_)
    NUBO_SHARE_FIELD(linkurl, setLinkurl, linkurl_)
    NUBO_SHARE_FIELD(link_type, setLink_type, linkType_)
    NUBO_SHARE_FIELD(thumb, setThumb, thumb_)
    NUBO_SHARE_FIELD(status_desc, setStatus_desc, statusDesc_)
    NUBO_SHARE_FIELD(fpath, setFpath, fpath_)
    NUBO_SHARE_FIELD(name, setName, name_)
#undef NUBO_SHARE_FIELD

    // One validity choice per entry of "expire_day_count_arr", in the service's order.
    const QList<ShareExpireInfoPtr>& expireDays() const {
        return expireDays_;
    }
    void setExpireDays(const QList<ShareExpireInfoPtr>& v) {
        expireDays_ = v;
    }
    // A view flag kept equal to the row's selection.
    bool selected() const {
        return selected_;
    }
    void setSelected(bool v) {
        selected_ = v;
    }

private:
    QString sid_, qid_, eid_, shorturl_, type_, password_, expire_, price_, desc_, nidsMd5_, countVisit_,
        countSize_, countDownload_, countSave_, status_, ctime_, mtime_, linkurl_, linkType_, thumb_,
        statusDesc_, fpath_, name_;
    QList<ShareExpireInfoPtr> expireDays_;
    bool selected_ = false;
};

Q_DECLARE_METATYPE(ShareInfoPtr)
Q_DECLARE_METATYPE(ShareExpireInfoPtr)
