#pragma once

#include "foundation/Weak.h"
#include "kit/TableView.h"
#include "ui/common/KZFileOperateMenuItem.h"

class KZFileOperateRowViewDelegate {
public:
    virtual ~KZFileOperateRowViewDelegate() = default;
    virtual void fileOperateRowItemMouseEntered(const KZFileOperateMenuItemPtr& item,
                                                const kit::Event& event) = 0;
    virtual void fileOperateRowItemMouseExited(const KZFileOperateMenuItemPtr& item,
                                               const kit::Event& event) = 0;
};

// A row of an operation menu or pop-up: a rounded background that shows the pointer, and the
// pointer's entering and leaving passed on to the delegate (the menu opens its pop-ups so).
class KZFileOperateRowView : public kit::TableRowView {
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("KZFileOperateRowView");

    explicit KZFileOperateRowView(QWidget* parent = nullptr);

    kit::View* backgroundView() const { return m_backgroundView; }
    KZFileOperateRowViewDelegate* delegate() const { return m_delegate.get(); }
    void setDelegate(KZFileOperateRowViewDelegate* d) { m_delegate = d; }
    const KZFileOperateMenuItemPtr& item() const { return m_item; }
    // A new entry starts without the pointer look (rows are reused between showings).
    void setItem(const KZFileOperateMenuItemPtr& item);

    void mouseEntered(const kit::Event& event) override;
    void mouseExited(const kit::Event& event) override;

protected:
    void layout() override;

private:
    kit::View* m_backgroundView = nullptr;
    nubo::Weak<KZFileOperateRowViewDelegate> m_delegate;
    KZFileOperateMenuItemPtr m_item;
};
