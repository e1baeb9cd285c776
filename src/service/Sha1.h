#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace nubo {

// SHA-1 over one or more pieces of data, as 40 lowercase hex digits.
class Sha1 {
public:
    Sha1();
    ~Sha1();
    Sha1(const Sha1&) = delete;
    Sha1& operator=(const Sha1&) = delete;

    void add(const char* data, qint64 size);
    void add(const QByteArray& data) { add(data.constData(), data.size()); }
    // The digest so far as 20 raw bytes, or as hex; either starts the object afresh.
    QByteArray result();
    QString hex() { return QString::fromLatin1(result().toHex()); }

    static QString of(const QByteArray& data);
    static QByteArray raw(const char* data, qint64 size);
    // True for 40 hex digits (either case).
    static bool isValidHex(const QString& s);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace nubo
