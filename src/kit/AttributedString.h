#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <optional>

namespace kit {

// Text with runs of font and colour. Characters outside every run use the defaults of the
// view that draws the text.
class AttributedString {
public:
    struct Run {
        int start = 0;
        int length = 0;
        std::optional<QFont> font;
        std::optional<QColor> color;
    };

    AttributedString() = default;
    explicit AttributedString(const QString& text) : m_text(text) {}
    AttributedString(const QString& text, const QFont& font, const QColor& color);

    const QString& text() const { return m_text; }
    int length() const { return m_text.size(); }
    bool isEmpty() const { return m_text.isEmpty(); }
    const QList<Run>& runs() const { return m_runs; }

    // Later runs win over earlier ones where they overlap; ranges are clipped to the text.
    void setFont(const QFont& font, int start, int length);
    void setColor(const QColor& color, int start, int length);
    void setFont(const QFont& font) { setFont(font, 0, length()); }
    void setColor(const QColor& color) { setColor(color, 0, length()); }

    bool operator==(const AttributedString& o) const;

private:
    void addRun(Run run);
    QString m_text;
    QList<Run> m_runs;
};

} // namespace kit
