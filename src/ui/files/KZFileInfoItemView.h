#pragma once

#include "cloud/KZSessionDelegates.h"
#include "foundation/Weak.h"
#include "kit/CollectionView.h"
#include "kit/Image.h"
#include "kit/TextField.h"
#include "shell/KZLimitedCharactersFormatter.h"
#include "ui/files/KZFileViewProtocols.h"

#include <QHash>
#include <memory>

class KZFileInfoItemView;
class KZLabel;
class KZTextFieldCell;
namespace kit {
class ImageView;
}

// Also told of the end of renaming when it implements KZTextFieldDelegate.
class KZFileInfoItemViewDelegate {
public:
    virtual ~KZFileInfoItemViewDelegate() = default;
    virtual void didDoubleClickFileInfoItemView(KZFileInfoItemView* item) { (void)item; }
    virtual void fileInfoItemViewRightMouseUp(KZFileInfoItemView* item, const kit::Event& event) {
        (void)item;
        (void)event;
    }
};

// One tile of the file grid: a rounded square with the 60 × 60 icon or thumbnail, the name in
// at most two lines under it, the looks of selection, hover and drop target, and in-place
// renaming.
class KZFileInfoItemView : public kit::CollectionViewItem,
                           public KZRequestThumbDelegate,
                           public KZLimitedCharactersFormatterDelegate,
                           public kit::TextFieldDelegate,
                           public KZTextFieldFocuse,
                           public KZFileViewDataSource {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZFileInfoItemView");
    static constexpr double kIconSide = 60;
    static constexpr double kContainerSide = 84;
    static constexpr double kNameMaxWidth = 86;
    static constexpr double kNameMaxHeight = 40;
    static constexpr int kThumbSide = 128;
    // The tile's size in the grid.
    static QSizeF tileSize() { return QSizeF(120, 140); }
    // The name box for a name whose fitted size (within 86 × 40) is `fitted`.
    static QSizeF nameBoxForFittedSize(const QSizeF& fitted);

    explicit KZFileInfoItemView(QObject* parent = nullptr);
    ~KZFileInfoItemView() override;

    void setDelegate(KZFileInfoItemViewDelegate* d) { m_delegate = d; }
    KZFileInfoItemViewDelegate* delegate() const { return m_delegate.get(); }
    CloudFileInfoPtr fileInfo() const override { return m_fileInfo; }
    void setFileInfo(const CloudFileInfoPtr& fileInfo) override;
    bool draggingOutsideFiles() const { return m_draggingOutsideFiles; }
    void setDraggingOutsideFiles(bool dragging) { m_draggingOutsideFiles = dragging; }

    // The name box of the current name, measured once per name and item.
    QSizeF labelSize();
    void setLabelSize(const QSizeF& size) { m_labelSize = size; }
    int labelSizeCacheCount() const { return int(m_labelSizeCache.size()); }
    // Sizes and places the name and the rename field under the icon.
    void layoutLabels();
    void makeWordsHighlight(const QString& searchText);

    // The thumbnail road: the cached thumbnail at once, else the type icon and one request.
    void loadImage();
    void cancelLoadImage();
    void loadImageFromCacheOnly(bool fromCacheOnly);
    kit::Image thumbInMemory() const;
    void setImage(const kit::Image& image);
    kit::Image image() const;
    qint64 reqID() const { return m_reqID; }

    // Renaming.
    QString textFieldContent() const override;
    void focus() override;
    void unfocus() override;
    void abandonEditing() override;

    void setSelected(bool selected) override;
    void setHighlightState(kit::HighlightState state) override;
    void mouseDown(const kit::Event& event) override;
    void rightMouseUp(const kit::Event& event) override;
    void mouseEntered(const kit::Event& event) override;
    void mouseExited(const kit::Event& event) override;

    kit::View* iconContainer() const { return m_iconContainer; }
    kit::ImageView* iconLayer() const { return m_iconLayer; }
    KZLabel* fileNameLabel() const { return m_fileNameLabel; }
    KZTextFieldCell* fileNameTextField() const { return m_fileNameTextField; }

    // KZRequestThumbDelegate
    void kzSessionRequestThumb(KZAbstractSession* session, qint64 requestId, const QByteArray& thumb,
                               qint64 nid, const QVariantMap& userInfo) override;
    void kzSessionRequestThumbFail(KZAbstractSession* session, qint64 requestId, qint64 nid,
                                   const QVariantMap& userInfo, const BWError& error) override;
    // KZLimitedCharactersFormatterDelegate
    void didInputLimitedCharacter(KZLimitedCharactersFormatter* formatter) override;
    // kit::TextFieldDelegate
    void controlTextDidChange(kit::TextField* field) override;
    void controlTextDidEndEditing(kit::TextField* field) override;
    bool controlDoCommand(kit::TextField* field, kit::TextCommand command) override;

protected:
    void loadView() override;

private:
    void applyLooks(bool marked);
    QRectF namePlacement(const QSizeF& size) const;
    void layoutTile();

    nubo::Weak<KZFileInfoItemViewDelegate> m_delegate;
    CloudFileInfoPtr m_fileInfo;
    QString m_highlightWords;
    bool m_draggingOutsideFiles = false;
    bool m_marked = false; // selected or drop-target looks: white name on blue
    bool m_abandoning = false;
    QSizeF m_labelSize;
    QHash<QString, QSizeF> m_labelSizeCache;
    qint64 m_reqID = 0;
    kit::View* m_iconContainer = nullptr;
    kit::ImageView* m_iconLayer = nullptr;
    KZLabel* m_fileNameLabel = nullptr;
    KZTextFieldCell* m_fileNameTextField = nullptr;
    std::shared_ptr<KZLimitedCharactersFormatter> m_formatter;
};
