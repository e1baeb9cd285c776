#include "KZLimitedCharactersFormatter.h"

const QString& KZLimitedCharactersFormatter::limitedCharacters() {
    static const QString chars = QStringLiteral("/\\|*:?\"<>");
    return chars;
}

bool KZLimitedCharactersFormatter::isPartialStringValid(const QString& proposed, const QString& inserted) {
    (void)proposed;
    for (QChar c : inserted) {
        if (limitedCharacters().contains(c)) {
            if (auto* d = m_delegate.get())
                d->didInputLimitedCharacter(this);
            return false;
        }
    }
    return true;
}
