#pragma once

#include "foundation/Weak.h"
#include "kit/View.h"

class KZLabel;
namespace kit {
class ImageView;
}

class KZShareExpireSwitchViewDelegate {
public:
    virtual ~KZShareExpireSwitchViewDelegate() = default;
    // The pointer entered the switch.
    virtual void expireDateSwitch() {}
    // The pointer left the switch.
    virtual void leaveExpireDateSwitch(const kit::Event& event) { (void)event; }
};

// Shows the current validity choice with a down arrow; hovering it opens the choices.
class KZShareExpireSwitchView : public kit::View {
    Q_OBJECT
public:
    explicit KZShareExpireSwitchView(QWidget* parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString& title);
    KZLabel* titleLabel() const { return m_titleLabel; }
    kit::ImageView* markImageView() const { return m_markImageView; }
    void setDelegate(KZShareExpireSwitchViewDelegate* delegate) { m_delegate = delegate; }

    void mouseEntered(const kit::Event& event) override;
    void mouseExited(const kit::Event& event) override;

private:
    void setUp();

    QString m_title;
    KZLabel* m_titleLabel = nullptr;
    kit::ImageView* m_markImageView = nullptr;
    nubo::Weak<KZShareExpireSwitchViewDelegate> m_delegate;
};
