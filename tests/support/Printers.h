#pragma once

// Readable values in failure messages (GoogleTest finds these by argument-dependent lookup).
#include "foundation/BWError.h"

#include <QString>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const BWError& e, std::ostream* os) {
    if (e.isNull()) {
        *os << "BWError(none)";
        return;
    }
    *os << "BWError(" << e.domain().toStdString() << ' ' << e.code() << ", \""
        << e.localizedDescription().toStdString() << "\")";
}
