#pragma once

#include "foundation/BWError.h"

namespace nubo {

// A value or the failure that stopped it. Storage and service calls return these and never throw.
template <class T> struct [[nodiscard]] Result {
    T value{};
    BWError error;

    bool ok() const { return error.isNull(); }
    static Result failure(BWError e) {
        Result r;
        r.error = std::move(e);
        return r;
    }
};

} // namespace nubo
