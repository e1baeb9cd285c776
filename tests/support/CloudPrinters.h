#pragma once

// Cloud records in failure messages: which node, not an address.
#include "cloud/CloudFileInfo.h"
#include "support/Printers.h"

inline void PrintTo(const CloudFileInfo& f, std::ostream* os) {
    *os << "CloudFileInfo(" << f.nid() << ' ' << (f.isDirectory() ? "folder " : "file ") << '"'
        << f.path().toStdString() << '"';
    if (f.isDeleted())
        *os << " deleted";
    *os << ')';
}

inline void PrintTo(const CloudFileInfoPtr& f, std::ostream* os) {
    if (f)
        PrintTo(*f, os);
    else
        *os << "null";
}
