#include "ui/files/KZUploadNameCheck.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

KZUploadNameCheck KZUploadNameCheck::check(const QStringList& chosenPaths) {
    for (const QString& chosen : chosenPaths) {
        const QFileInfo top(chosen);
        if (!top.isDir() || top.isSymLink())
            continue;
        const QDir base(top.absoluteFilePath());
        // Without FollowSymlinks and with NoSymLinks a linked folder is neither listed nor entered.
        QDirIterator it(base.path(),
                        QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            // The folders above this one were met (and passed) before it.
            const QString name = it.fileName();
            KZUploadNameCheck result;
            if (isBlank(name))
                result.problem = BlankName;
            else if (hasIllegalCharacter(name))
                result.problem = IllegalCharacter;
            if (result.problem != None) {
                result.relativePath = base.relativeFilePath(it.filePath());
                return result;
            }
        }
    }
    return {};
}

bool KZUploadNameCheck::isBlank(const QString& name) {
    return name.trimmed().isEmpty();
}

bool KZUploadNameCheck::hasIllegalCharacter(const QString& name) {
    static const QString illegal = QStringLiteral(":*?<>\"\\/|");
    return std::any_of(name.begin(), name.end(), [](QChar c) { return illegal.contains(c); });
}

QString KZUploadNameCheck::text() const {
    switch (problem) {
    case BlankName:
        return kBlankNameText;
    case IllegalCharacter:
        return kIllegalCharacterText;
    case None:
        break;
    }
    return {};
}
