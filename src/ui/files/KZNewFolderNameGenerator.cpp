#include "ui/files/KZNewFolderNameGenerator.h"

QString KZNewFolderNameGenerator::newFolderName() {
    qint64 n = 1;
    while (m_folderIndexs.contains(n))
        ++n;
    m_folderIndexs.insert(n);
    return n == 1 ? kBaseName : QStringLiteral("%1 %2").arg(kBaseName).arg(n);
}

void KZNewFolderNameGenerator::scanFileNameForCreateDir(const CloudFileList& files) {
    m_folderIndexs.clear();
    // Read from the rows: a big folder's records are not made for this.
    QStringList names;
    for (qsizetype i = 0; i < files.size(); ++i)
        if (files.isDirectory(i))
            if (QString name = files.name(i); name.startsWith(kBaseName))
                names.append(name);
    for (qint64 n : filterOutNewNameFoldersTailIndex(names))
        m_folderIndexs.insert(n);
}

void KZNewFolderNameGenerator::addSuffixIndex(const QList<CloudFileInfoPtr>& nodes) {
    for (qint64 n : filterOutNewNameFoldersTailIndex(getNewFolderNameFolders(nodes)))
        m_folderIndexs.insert(n);
}

void KZNewFolderNameGenerator::deleteSuffixIndex(const QList<CloudFileInfoPtr>& nodes) {
    for (qint64 n : filterOutNewNameFoldersTailIndex(getNewFolderNameFolders(nodes)))
        m_folderIndexs.remove(n);
}

QStringList KZNewFolderNameGenerator::getNewFolderNameFolders(const QList<CloudFileInfoPtr>& nodes) {
    QStringList names;
    for (const CloudFileInfoPtr& f : nodes)
        if (f && f->isDirectory() && f->name().startsWith(kBaseName))
            names.append(f->name());
    return names;
}

QList<qint64> KZNewFolderNameGenerator::filterOutNewNameFoldersTailIndex(const QStringList& names) {
    QList<qint64> numbers;
    for (const QString& name : names) {
        if (name == kBaseName) {
            numbers.append(1);
            continue;
        }
        const QStringList parts = name.split(QLatin1Char(' '));
        // "<base> <n>" only: "<base>3" is one part that is no number, "<base> 2 3" has three.
        if (parts.size() >= 3 || !isNumberInt(parts.last()))
            continue;
        const qint64 n = parts.last().toLongLong();
        if (n >= 0)
            numbers.append(n);
    }
    return numbers;
}

bool KZNewFolderNameGenerator::isNumberInt(const QString& text) {
    bool ok = false;
    text.toLongLong(&ok);
    return ok;
}
