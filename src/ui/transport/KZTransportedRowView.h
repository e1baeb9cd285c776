#pragma once

#include "foundation/Weak.h"
#include "kit/DrawnText.h"
#include "kit/Image.h"
#include "kit/TableView.h"
#include "transfer/KZTransportJobInfo.h"

// One row of the finished list: a finished upload or a finished download (the proxy's own
// object, so rows are found by identity).
struct KZTransportedJob {
    KZUploadJobOpenInfoPtr upload;
    KZDownloadJobOpenInfoPtr download;

    bool isUpload() const { return bool(upload); }
    bool isNull() const { return !upload && !download; }
    quint32 finishedTime() const { return upload ? upload->m_jobFinishedTime : download->m_jobFinishedTime; }
    const QString& path() const { return upload ? upload->m_path : download->m_path; }
    // What finds a selected record again: the local source of an upload, the destination of a
    // download.
    const QString& selectionKey() const { return upload ? upload->m_disk_path : download->m_path; }
    bool& selected() const { return upload ? upload->m_selected : download->m_selected; }
    const void* identity() const { return upload ? static_cast<const void*>(upload.get()) : download.get(); }
    bool operator==(const KZTransportedJob& o) const { return identity() == o.identity(); }
};

class KZTransportedRowView;

class KZTransportedRowViewDelegate {
public:
    virtual ~KZTransportedRowViewDelegate() = default;
    virtual void transportedRowViewDidClickCheckBox(KZTransportedRowView* row, bool checked) = 0;
};

// A row of the finished list drawn whole, with no child widgets: the check box, the rounded
// background that shows hover and selection, the file's icon and name, its size, the finished
// mark with the time, and the delete and locate buttons. A screen of finished rows then paints
// as one widget per row; each part looks and acts as the file row's and the transfer cells'
// widgets do (a click on a part acts on release inside it; elsewhere it selects the row).
class KZTransportedRowView : public kit::TableRowView {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZTransportedRowView");
    enum class Part { None, CheckBox, Delete, Locate };

    explicit KZTransportedRowView(QWidget* parent = nullptr);

    void setDelegate(KZTransportedRowViewDelegate* d) { m_delegate = d; }
    const KZTransportedJob& job() const { return m_job; }
    void setJob(const KZTransportedJob& job);

    bool isChecked() const { return m_checked; }
    bool isHovered() const { return m_hovered; }
    // Where a part is drawn, in the row's coordinates, and the part under a point.
    QRectF rectOf(Part part) const;
    Part partAt(const QPointF& point) const;
    // The texts of the name, size and state columns, and the images of the buttons in order.
    QString nameText() const { return m_name.text().text(); }
    QString sizeText() const { return m_size.text().text(); }
    QString stateText() const { return m_state.text().text(); }
    QStringList buttonImageNames() const;

    void setSelected(bool selected) override;
    void mouseEntered(const kit::Event& event) override;
    void mouseExited(const kit::Event& event) override;
    void mouseDown(const kit::Event& event) override;
    void mouseUp(const kit::Event& event) override;
    void mouseDragged(const kit::Event& event) override;

protected:
    void draw(QPainter& p) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void updateHoverFromPointer();
    void act(Part part);
    QRectF textRect(int column, qreal left, qreal lineHeight) const;

    nubo::Weak<KZTransportedRowViewDelegate> m_delegate;
    KZTransportedJob m_job;
    kit::Image m_icon;
    kit::Image m_stateIcon;
    kit::DrawnText m_name;
    kit::DrawnText m_size;
    kit::DrawnText m_state;
    qreal m_nameHeight = 0; // one line of each text, as its label is sized
    qreal m_sizeHeight = 0;
    Part m_pressed = Part::None;
    bool m_checked = false;
    bool m_hovered = false;
};
