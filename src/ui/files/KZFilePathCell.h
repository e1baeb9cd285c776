#pragma once

#include "cloud/CloudFileInfo.h"
#include "foundation/Weak.h"
#include "kit/View.h"

class KZButton;
class KZFilePathCell;
class KZLabel;

class KZFilePathCellDelegate {
public:
    virtual ~KZFilePathCellDelegate() = default;
    virtual void didClickFilePathCell(KZFilePathCell* cell) { (void)cell; }
};

// The "所在位置" cell of a search result: the name of the folder that holds the result, which
// the user clicks to open that folder.
class KZFilePathCell : public kit::View {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZFilePathCell");

    explicit KZFilePathCell(QWidget* parent = nullptr);

    // The path of the folder that holds `path` ("/" for a name directly in the root).
    static QString parentPath(const QString& path);

    const CloudFileInfoPtr& fileInfo() const { return m_fileInfo; }
    void setFileInfo(const CloudFileInfoPtr& fileInfo);
    void setDelegate(KZFilePathCellDelegate* d) { m_delegate = d; }
    KZLabel* pathLabel() const { return m_pathLabel; }
    KZButton* pathButton() const { return m_pathButton; }
    void pathButtonClicked();

protected:
    void layout() override;

private:
    CloudFileInfoPtr m_fileInfo;
    nubo::Weak<KZFilePathCellDelegate> m_delegate;
    KZLabel* m_pathLabel = nullptr;
    KZButton* m_pathButton = nullptr;
};
