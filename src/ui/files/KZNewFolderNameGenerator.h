#pragma once

#include "cloud/CloudFileInfo.h"
#include "cloud/CloudFileList.h"

#include <QList>
#include <QSet>
#include <QStringList>

// Proposes the default name of a new folder: "新建文件夹", then "新建文件夹 2", "新建文件夹 3", ...,
// the smallest number not yet taken by a folder of the open folder or by an earlier proposal.
class KZNewFolderNameGenerator {
public:
    static inline const QString kBaseName = QStringLiteral("新建文件夹");

    // Takes the smallest free number and answers its name.
    QString newFolderName();
    // Forgets every number, then learns those of the rows.
    void scanFileNameForCreateDir(const CloudFileList& files);
    void addSuffixIndex(const QList<CloudFileInfoPtr>& nodes);
    void deleteSuffixIndex(const QList<CloudFileInfoPtr>& nodes);

    // The names of the folders among the nodes that begin with the base name.
    static QStringList getNewFolderNameFolders(const QList<CloudFileInfoPtr>& nodes);
    // The numbers those names take (1 for the bare base name); names of other shapes take none.
    static QList<qint64> filterOutNewNameFoldersTailIndex(const QStringList& names);
    static bool isNumberInt(const QString& text);

    const QSet<qint64>& folderIndexs() const { return m_folderIndexs; }

private:
    QSet<qint64> m_folderIndexs;
};
