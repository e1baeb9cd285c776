#pragma once

#include "kit/View.h"

#include <QFont>
#include <QHash>
#include <functional>

namespace kit {
class TableView;
class TableColumn;
} // namespace kit
class KZButton;
class KZTableCheckboxHeaderView;

// The view of a transfer list: a bar of buttons over a table with a check column, the file
// name, "大小", "状态" and "操作" columns and a select-all header. The name column takes the width
// the others leave, so the list never scrolls sideways.
class KZTransportListView : public kit::View {
    Q_OBJECT
public:
    static inline const QString kCheckColumn = QStringLiteral("check");
    static inline const QString kFileColumn = QStringLiteral("file");
    static inline const QString kSizeColumn = QStringLiteral("size");
    static inline const QString kStateColumn = QStringLiteral("state");
    static inline const QString kOperationsColumn = QStringLiteral("operations");
    static inline const QString kFileTitle = QStringLiteral("文件名");
    static inline const QString kSizeTitle = QStringLiteral("大小");
    static inline const QString kStateTitle = QStringLiteral("状态");
    static inline const QString kOperationsTitle = QStringLiteral("操作");
    // The columns in their order in the table.
    enum Column : int { CheckColumn, FileColumn, SizeColumn, StateColumn, OperationsColumn };
    static constexpr double kBarHeight = 52;
    static constexpr double kRowHeight = 52;

    explicit KZTransportListView(QWidget* parent = nullptr);

    kit::TableView* tableView() const { return m_tableView; }
    KZTableCheckboxHeaderView* headerView() const { return m_headerView; }
    kit::View* topBarView() const { return m_topBar; }

    // A bar button with an image and a title, in the bar's order from the left.
    // The action is dropped when `context` (the controller it calls) goes.
    KZButton* addBarButton(const QString& title, const QString& image, const QObject* context,
                           std::function<void()> action);
    // Closes the user-info pop-up on a click that reaches the list's background.
    void setMouseDownHandler(std::function<void()> handler) { m_mouseDown = std::move(handler); }

    void mouseDown(const kit::Event& event) override;
    void layout() override;

private:
    double titleWidth(const KZButton* button);

    kit::View* m_topBar;
    kit::TableView* m_tableView;
    KZTableCheckboxHeaderView* m_headerView;
    QList<KZButton*> m_buttons;
    std::function<void()> m_mouseDown;
    struct Measured {
        QString title;
        QFont font;
        double width = -1;
    };
    QHash<const KZButton*, Measured> m_titleWidths;
};
