#pragma once

#include <QString>
#include <QVariantMap>

// A failure as a value: a domain, a code, a user-info dictionary and a user-facing text.
// A default-constructed error means "no error".
class [[nodiscard]] BWError {
public:
    static inline const QString kDomainCloud = QStringLiteral("KZCloud");
    static inline const QString kDomainUserCenter = QStringLiteral("KZUserCenter");
    static inline const QString kDomainApplication = QStringLiteral("KZApplication");
    static inline const QString kDomainNetwork = QStringLiteral("KZNetwork");
    static inline const QString kDomainHTTP = QStringLiteral("KZHTTP");
    // User-info key whose text, when present, is the error's user-facing description.
    static inline const QString kErrMsgKey = QStringLiteral("errmsg");

    BWError() = default;
    BWError(QString domain, int code, QVariantMap userInfo = {});

    // An error of domain "KZApplication" whose "errmsg" is the given text.
    static BWError application(int code, const QString& errmsg);
    static BWError withMessage(const QString& domain, int code, const QString& errmsg);

    bool isNull() const { return m_domain.isEmpty(); }
    explicit operator bool() const { return !isNull(); }

    const QString& domain() const { return m_domain; }
    int code() const { return m_code; }
    const QVariantMap& userInfo() const { return m_userInfo; }

    // The text shown to the user: the "errmsg" of the user info, else a fallback by domain.
    QString localizedDescription() const;

    bool operator==(const BWError& other) const {
        return m_domain == other.m_domain && m_code == other.m_code;
    }

private:
    QString m_domain;
    int m_code = 0;
    QVariantMap m_userInfo;
};

Q_DECLARE_METATYPE(BWError)
