#include "ui/share/KZShareText.h"

#include "foundation/DisplayText.h"

#include <QDateTime>

namespace KZShareText {

QString expireText(const QString& expire) {
    if (expire.contains(QLatin1Char(':')))
        return expire;
    bool ok = false;
    const double seconds = expire.trimmed().toDouble(&ok);
    if (!ok)
        return expire;
    if (seconds <= 0)
        return QStringLiteral("不限");
    return nubo::text::stringFromDateTime(QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000.0)));
}

QString linkText(const ShareInfo& share) {
    QString text = share.linkurl();
    if (!share.password().isEmpty())
        text += QStringLiteral(" (提取码:%1)").arg(share.password());
    return text;
}

QString errorText(const BWError& error, const QString& fallback) {
    if (error.userInfo().value(BWError::kErrMsgKey).toString().isEmpty() &&
        error.domain() != BWError::kDomainNetwork)
        return fallback;
    return error.localizedDescription();
}

} // namespace KZShareText
