#include "cloud/NameCollation.h"

#include <QLocale>
#include <memory>
#include <unicode/ucol.h>

namespace nubo::collation {

namespace {

struct CollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};
using CollatorHandle = std::unique_ptr<UCollator, CollatorCloser>;

CollatorHandle openCollator() {
    UErrorCode status = U_ZERO_ERROR;
    CollatorHandle c(ucol_open(localeName().toUtf8().constData(), &status));
    if (U_FAILURE(status) || !c) {
        status = U_ZERO_ERROR;
        c.reset(ucol_open("", &status)); // the root rules still order numbers and ignore case
        if (U_FAILURE(status))
            return nullptr;
    }
    status = U_ZERO_ERROR;
    ucol_setAttribute(c.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(c.get(), UCOL_STRENGTH, UCOL_SECONDARY, &status);
    return c;
}

// A collator may not be shared between threads; each thread keeps its own.
UCollator* threadCollator() {
    thread_local CollatorHandle collator = openCollator();
    return collator.get();
}

} // namespace

QString localeName() {
    static const QString name = [] {
        const QLocale sys = QLocale::system();
        if (sys.language() == QLocale::C || sys.language() == QLocale::AnyLanguage)
            return QStringLiteral("zh_CN");
        return sys.name();
    }();
    return name;
}

QByteArray sortKey(const QString& name) {
    UCollator* c = threadCollator();
    if (!c)
        return name.toCaseFolded().toUtf8();
    const auto* chars = reinterpret_cast<const UChar*>(name.utf16());
    thread_local QByteArray buffer(256, Qt::Uninitialized);
    int32_t len = ucol_getSortKey(c, chars, int32_t(name.size()), reinterpret_cast<uint8_t*>(buffer.data()),
                                  int32_t(buffer.size()));
    if (len > buffer.size()) {
        buffer.resize(len);
        len = ucol_getSortKey(c, chars, int32_t(name.size()), reinterpret_cast<uint8_t*>(buffer.data()), len);
    }
    // The key ends with a zero byte that adds nothing to the order; the copy is sized exactly.
    return QByteArray(buffer.constData(), len > 0 ? len - 1 : 0);
}

QByteArray searchFold(const QString& text) {
    return text.toCaseFolded().toUtf8();
}

} // namespace nubo::collation
