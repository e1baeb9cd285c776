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
    QString hex();

    static QString of(const QByteArray& data);
    // True for 40 hex digits (either case).
    static bool isValidHex(const QString& s);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace nubo
