#pragma once

#include <QString>

namespace kit {

// Checks each edit of a text field. Returning false rejects the edit and the field keeps its
// previous text. `proposed` is the whole text as it would be after the edit, `inserted` the
// text the edit brings in (empty for deletions).
class Formatter {
public:
    virtual ~Formatter() = default;
    virtual bool isPartialStringValid(const QString& proposed, const QString& inserted) = 0;
};

} // namespace kit
