#pragma once

#include <QString>
#include <QStringList>

// The check of local folders chosen for upload: every folder below a chosen item must have a
// name the cloud accepts. Chosen items themselves and files are not checked. Directory links are
// neither checked nor followed. Safe on any thread (it only reads the file system).
struct KZUploadNameCheck {
    enum Problem { None, BlankName, IllegalCharacter };

    static inline const QString kBlankNameText = QStringLiteral("不能含有空文件名的文件夹");
    static inline const QString kIllegalCharacterText = QStringLiteral("文件名包括非法字符(:*?<>\"\\/|)");

    Problem problem = None;
    // The offending folder, relative to its chosen item.
    QString relativePath;

    // The first problem met, walking the chosen items in order.
    static KZUploadNameCheck check(const QStringList& chosenPaths);
    static bool isBlank(const QString& name);
    static bool hasIllegalCharacter(const QString& name);
    QString text() const;
};
