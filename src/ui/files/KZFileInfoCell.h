#pragma once

#include "cloud/KZSessionDelegates.h"
#include "kit/Image.h"
#include "transfer/KZTransportJobInfo.h"
#include "ui/files/KZNameCell.h"

namespace kit {
class ImageView;
class Label;
} // namespace kit

// Which column a cell shows.
enum KZFileInfoCellType : uint {
    KZFileInfoCellTypeName = 1,
    KZFileInfoCellTypeSize = 2,
    KZFileInfoCellTypeFileType = 3,
    KZFileInfoCellTypeModifyTime = 4,
};

// The cell of one column of a file table: icon or thumbnail with the name (and its in-place
// rename field), the size, the type or the modification time. It shows a cloud record (the file
// list) or a transfer job (the transfer lists).
class KZFileInfoCell : public KZNameCell, public KZRequestThumbDelegate, public KZFileViewDataSource {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZFileInfoCell");
    static inline const QString kLimitedCharacterWarning =
        QStringLiteral("文件名不能包含下列任何字符:\\/:*?\"<>|");

    explicit KZFileInfoCell(QWidget* parent = nullptr);
    ~KZFileInfoCell() override;

    // Where the icon box and the text stand (rows that draw these cells themselves use the same).
    static constexpr double kIconBoxLeft = 12;
    static constexpr double kIconBoxSide = 28;
    static constexpr double kTextGap = 10;

    uint type() const { return m_type; }
    void setType(uint type) { m_type = type; }

    CloudFileInfoPtr fileInfo() const override { return m_fileInfo; }
    void setFileInfo(const CloudFileInfoPtr& fileInfo) override;
    const KZUploadJobOpenInfoPtr& uploadJobInfo() const { return m_uploadJobInfo; }
    void setUploadJobInfo(const KZUploadJobOpenInfoPtr& job);
    const KZDownloadJobOpenInfoPtr& downloadJobInfo() const { return m_downloadJobInfo; }
    void setDownloadJobInfo(const KZDownloadJobOpenInfoPtr& job);

    // Colours every search hit in the shown name (the search text split at blanks).
    void makeWordsHighlight(const QString& searchText);

    // The thumbnail road: cached thumbnail at once, else the type icon and a request.
    void loadImage();
    void cancelLoadImage();
    void loadImageFromCacheOnly(bool fromCacheOnly);
    kit::Image thumbInMemory() const;
    void setImage(const kit::Image& image);
    qint64 reqID() const { return m_reqID; }

    // Renaming.
    void focus() override;
    // The part of a name offered for editing: the name without its last extension.
    static int editableNameLength(const QString& name);

    kit::ImageView* iconImageView() const { return m_iconImageView; }

    // KZRequestThumbDelegate
    void kzSessionRequestThumb(KZAbstractSession* session, qint64 requestId, const QByteArray& thumb,
                               qint64 nid, const QVariantMap& userInfo) override;
    void kzSessionRequestThumbFail(KZAbstractSession* session, qint64 requestId, qint64 nid,
                                   const QVariantMap& userInfo, const BWError& error) override;
    // KZLimitedCharactersFormatterDelegate
    void didInputLimitedCharacter(KZLimitedCharactersFormatter* formatter) override;

protected:
    void layout() override;

private:
    void showInfo(const QString& text, const QColor& color);

    uint m_type = 0;
    KZUploadJobOpenInfoPtr m_uploadJobInfo;
    KZDownloadJobOpenInfoPtr m_downloadJobInfo;
    kit::ImageView* m_iconImageView = nullptr;
    kit::View* m_imageBox = nullptr;
    qint64 m_reqID = 0;
};
