#pragma once

#include "foundation/Weak.h"
#include "kit/Formatter.h"

#include <QString>

class KZLimitedCharactersFormatter;

class KZLimitedCharactersFormatterDelegate {
public:
    virtual ~KZLimitedCharactersFormatterDelegate() = default;
    virtual void didInputLimitedCharacter(KZLimitedCharactersFormatter* formatter) { (void)formatter; }
};

// Refuses an edit that brings in a character a cloud name cannot hold (/ \ | * : ? " < >) and
// tells its delegate. It sets no length limit.
class KZLimitedCharactersFormatter : public kit::Formatter {
public:
    static const QString& limitedCharacters();

    void setDelegate(KZLimitedCharactersFormatterDelegate* delegate) { m_delegate = delegate; }
    KZLimitedCharactersFormatterDelegate* delegate() const { return m_delegate.get(); }

    bool isPartialStringValid(const QString& proposed, const QString& inserted) override;

private:
    nubo::Weak<KZLimitedCharactersFormatterDelegate> m_delegate;
};
