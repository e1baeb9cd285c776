#pragma once

#include "cloud/CloudFileInfo.h"
#include "foundation/Weak.h"
#include "kit/TableView.h"
#include "transfer/KZTransportJobInfo.h"

class KZCheckBoxButton;
class KZFileRowView;

class KZFileRowViewDelegate {
public:
    virtual ~KZFileRowViewDelegate() = default;
    virtual void fileRowViewDidClickCheckBox(KZFileRowView* rowView, KZCheckBoxButton* checkBox) = 0;
    virtual void fileRowViewRightMouseUp(KZFileRowView* rowView, const kit::Event& event) = 0;
};

// The row of a file table: a check box, a rounded background that shows hover and selection,
// and, while files from outside are dragged over the list, highlighting of folder rows only.
class KZFileRowView : public kit::TableRowView {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZFileRowView");
    static inline const QString kWillDropInApplication =
        QStringLiteral("KZOutSideFilesWillDropInApplication");
    static inline const QString kDidDropInApplication = QStringLiteral("KZOutSideFilesDidDropInApplication");
    static inline const QString kWillDropOutFilesView =
        QStringLiteral("KZOutSideFilesWillDropOutFilesViewKey");

    explicit KZFileRowView(QWidget* parent = nullptr);

    bool draggingOutsideFiles() const { return m_draggingOutsideFiles; }
    bool draggingOutsideFilesView() const { return m_draggingOutsideFilesView; }
    KZFileRowViewDelegate* delegate() const { return m_delegate.get(); }
    void setDelegate(KZFileRowViewDelegate* d) { m_delegate = d; }

    const CloudFileInfoPtr& fileInfo() const { return m_fileInfo; }
    void setFileInfo(const CloudFileInfoPtr& f) { m_fileInfo = f; }
    const KZUploadJobOpenInfoPtr& uploadJobInfo() const { return m_uploadJobInfo; }
    void setUploadJobInfo(const KZUploadJobOpenInfoPtr& j) { m_uploadJobInfo = j; }
    const KZDownloadJobOpenInfoPtr& downloadJobInfo() const { return m_downloadJobInfo; }
    void setDownloadJobInfo(const KZDownloadJobOpenInfoPtr& j) { m_downloadJobInfo = j; }

    kit::View* backgroundView() const { return m_backgroundView; }
    kit::View* bottomLine() const { return m_bottomLine; }
    KZCheckBoxButton* checkBox() const { return m_checkBox; }

    // The parts every file-table row shares, for rows that draw them themselves: where the
    // rounded background, the bottom line and the check box go, the background's colour, and
    // whether the pointer rests over a row.
    static QRectF backgroundRect(const QRectF& bounds) { return bounds.adjusted(4, 1, -4, -1); }
    static QRectF bottomLineRect(const QRectF& bounds);
    static QRectF checkBoxRect(const QRectF& bounds);
    static QColor backgroundColor(bool selected, bool hovered);
    static bool isPointerOver(const QWidget* row);

    void setSelected(bool selected) override;
    void checkBoxClicked();

    void mouseEntered(const kit::Event& event) override;
    void mouseExited(const kit::Event& event) override;
    void rightMouseUp(const kit::Event& event) override;

protected:
    void drawSelection(QPainter& p, const QRectF& rect) override;
    void layout() override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void applyBackground();
    void updateHoverFromPointer();

    bool m_draggingOutsideFiles = false;
    bool m_draggingOutsideFilesView = false;
    bool m_hovered = false;
    nubo::Weak<KZFileRowViewDelegate> m_delegate;
    CloudFileInfoPtr m_fileInfo;
    KZUploadJobOpenInfoPtr m_uploadJobInfo;
    KZDownloadJobOpenInfoPtr m_downloadJobInfo;
    kit::View* m_bottomLine = nullptr;
    kit::View* m_backgroundView = nullptr;
    KZCheckBoxButton* m_checkBox = nullptr;
};
