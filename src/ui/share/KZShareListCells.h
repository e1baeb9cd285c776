#pragma once

#include "foundation/Weak.h"
#include "kit/TableView.h"

class KZCheckBoxButton;
class KZLabel;
class KZTableViewFilePathCellView;
namespace kit {
class ImageView;
}

// A cell of the share lists whose whole content is one label.
class KZShareLabelCellView : public kit::View {
    Q_OBJECT
public:
    explicit KZShareLabelCellView(QWidget* parent = nullptr);
    KZLabel* textLabel() const { return m_textLabel; }
    void setStringValue(const QString& text);
    QString stringValue() const;
    void layout() override;

protected:
    KZLabel* m_textLabel;
};

// The shared item: its icon in a box, then its name.
class KZTableViewFileNameCellView : public KZShareLabelCellView {
    Q_OBJECT
public:
    static constexpr double kImageBoxLeft = 12;
    static constexpr double kImageBoxSide = 24;
    static constexpr double kGapAfterIcon = 10;
    static constexpr double kLabelLeftWithoutIcon = 8;
    static constexpr double kLabelRightMargin = 8;

    explicit KZTableViewFileNameCellView(QWidget* parent = nullptr);
    kit::ImageView* iconImageView() const { return m_iconImageView; }
    kit::View* imageBox() const { return m_imageBox; }
    KZCheckBoxButton* checkBox() const { return m_checkBox; }
    void layout() override;

private:
    kit::View* m_imageBox;
    kit::ImageView* m_iconImageView;
    KZCheckBoxButton* m_checkBox = nullptr; // the lists' rows carry the check box
};

class KZTableViewFilePathCellViewDelegate {
public:
    virtual ~KZTableViewFilePathCellViewDelegate() = default;
    virtual void didTableViewFilePathCellViewClicked(KZTableViewFilePathCellView* cell) { (void)cell; }
};

// The folder of the shared item, in the link colour and shortened in its middle; a click on the
// name tells the delegate.
class KZTableViewFilePathCellView : public KZShareLabelCellView {
    Q_OBJECT
public:
    explicit KZTableViewFilePathCellView(QWidget* parent = nullptr);
    void setDelegate(KZTableViewFilePathCellViewDelegate* delegate) { m_delegate = delegate; }
    KZTableViewFilePathCellViewDelegate* delegate() const { return m_delegate.get(); }
    // The clickable part: the text as drawn.
    QRectF clickableRect() const;
    void ationButtonClicked();

    void mouseDown(const kit::Event& event) override;
    void mouseUp(const kit::Event& event) override;

private:
    nubo::Weak<KZTableViewFilePathCellViewDelegate> m_delegate;
    bool m_pressed = false;
};

// The extraction code.
class KZTableViewPwdCellView : public KZShareLabelCellView {
    Q_OBJECT
public:
    using KZShareLabelCellView::KZShareLabelCellView;
};

// Plain texts: size, expiry, downloads, state.
class KZTableViewDefaultCellView : public KZShareLabelCellView {
    Q_OBJECT
public:
    using KZShareLabelCellView::KZShareLabelCellView;
};

// The table of the share lists: a click anywhere in it also closes the user-info pop-up.
class KZShareTableView : public kit::TableView {
    Q_OBJECT
public:
    using kit::TableView::TableView;

protected:
    void mouseDown(const kit::Event& event) override;
};
