#pragma once

#include "ui/files/KZNameCell.h"

namespace kit {
class ImageView;
}

// A cell of the folder picker: a folder's icon and name (type 1) or its modification time
// (type 4). For a folder being created its label gives way to a name field; the delegate hears
// when editing ends.
class KZFolderInfoCell : public KZNameCell, public KZFileViewDataSource {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZFolderInfoCell");

    explicit KZFolderInfoCell(QWidget* parent = nullptr);

    uint type() const { return m_type; }
    // Applied again to the shown node.
    void setType(uint type);

    CloudFileInfoPtr fileInfo() const override { return m_fileInfo; }
    void setFileInfo(const CloudFileInfoPtr& fileInfo) override;

    void focus() override;

    kit::ImageView* iconImageView() const { return m_iconImageView; }

    // KZLimitedCharactersFormatterDelegate
    void didInputLimitedCharacter(KZLimitedCharactersFormatter* formatter) override;

protected:
    void layout() override;

private:
    uint m_type = 0;
    kit::ImageView* m_iconImageView = nullptr;
};
