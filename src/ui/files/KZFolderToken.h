#pragma once

#include "kit/Image.h"
#include "kit/View.h"

#include <QPointer>
#include <functional>

class KZLabel;

// One crumb of the folder crumbs: a clickable folder title, or an image (the arrow between
// titles). Its width is measured once and cached.
class KZFolderToken : public kit::View {
    Q_OBJECT
public:
    using Action = std::function<void(KZFolderToken*)>;

    // A title crumb; `target` guards the action (no target, no clicks).
    KZFolderToken(const QString& title, QObject* target, Action actoin, QWidget* parent = nullptr);
    // An image crumb showing the named image: no label, no clicks.
    explicit KZFolderToken(const kit::Image& image, QWidget* parent = nullptr);

    static KZFolderToken* arrowToken();
    static KZFolderToken* ellipsisToken();

    QString title() const { return m_title; }
    QString path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }
    QObject* target() const { return m_target; }
    void setTarget(QObject* target) { m_target = target; }
    const Action& actoin() const { return m_actoin; }
    void setActoin(Action a) { m_actoin = std::move(a); }
    KZLabel* label() const { return m_label; }

    bool selected() const { return m_selected; }
    void setSelected(bool selected);

    QColor titleNormalColor() const { return m_normalColor; }
    void setTitleNormalColor(const QColor& c) { m_normalColor = c; }
    QColor titleHighlightColor() const { return m_highlightColor; }
    void setTitleHighlightColor(const QColor& c) { m_highlightColor = c; }

    // The crumb's width (capped at 300), computed on first use and then kept.
    double suggestTokenWidth();

    void mouseDown(const kit::Event& event) override;
    void mouseUp(const kit::Event& event) override;
    void mouseEntered(const kit::Event& event) override;
    void mouseExited(const kit::Event& event) override;

protected:
    void draw(QPainter& painter) override;
    void layout() override;

private:
    bool clickable() const { return m_target && m_actoin; }
    void restoreLabelColor();

    QString m_title;
    QString m_path;
    QPointer<QObject> m_target;
    Action m_actoin;
    bool m_selected = false;
    QColor m_normalColor;
    QColor m_highlightColor;
    double m_suggestTokenWidth = -1.0;
    KZLabel* m_label = nullptr;
    kit::Image m_image;
};
