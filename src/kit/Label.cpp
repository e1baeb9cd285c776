#include "kit/Label.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

namespace kit {

namespace {

constexpr qreal kUnlimited = 1e7;
const QChar kEllipsis(0x2026);

QList<QTextLayout::FormatRange> formatsFor(const AttributedString& s, int start, int length, int shiftTo) {
    QList<QTextLayout::FormatRange> out;
    for (const auto& run : s.runs()) {
        const int a = std::max(run.start, start);
        const int b = std::min(run.start + run.length, start + length);
        if (a >= b)
            continue;
        QTextLayout::FormatRange r;
        r.start = a - start + shiftTo;
        r.length = b - a;
        if (run.font)
            r.format.setFont(*run.font);
        if (run.color)
            r.format.setForeground(*run.color);
        out.append(r);
    }
    return out;
}

Qt::TextElideMode elideMode(LineBreakMode m) {
    switch (m) {
    case LineBreakMode::TruncateHead:
        return Qt::ElideLeft;
    case LineBreakMode::TruncateMiddle:
        return Qt::ElideMiddle;
    case LineBreakMode::TruncateTail:
        return Qt::ElideRight;
    default:
        return Qt::ElideNone;
    }
}

} // namespace

Label::Label(QWidget* parent) : View(parent) {}

Label::Label(const QRectF& frame, QWidget* parent) : View(frame, parent) {}

Label::~Label() = default;

void Label::textChanged() {
    m_drawnWidth = -1;
    update();
}

// Setting what a label already shows changes nothing: rows that are bound again to the same
// record keep their laid-out text and are not repainted.
void Label::setText(const QString& text) {
    setAttributedText(AttributedString(text));
}

void Label::setAttributedText(const AttributedString& text) {
    if (text == m_text)
        return;
    m_text = text;
    textChanged();
}

void Label::setFont(const QFont& font) {
    if (font == m_font)
        return;
    m_font = font;
    textChanged();
}

void Label::setTextColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void Label::setTextAlignment(TextAlignment a) {
    if (a == m_alignment)
        return;
    m_alignment = a;
    textChanged();
}

void Label::setLineBreakMode(LineBreakMode mode) {
    if (mode == m_lineBreak)
        return;
    m_lineBreak = mode;
    textChanged();
}

void Label::setNumberOfLines(int lines) {
    if (std::max(0, lines) == m_lines)
        return;
    m_lines = std::max(0, lines);
    textChanged();
}

QList<Label::Line> Label::layoutLines(qreal width) const {
    QList<Line> out;
    const QString& text = m_text.text();
    if (text.isEmpty())
        return out;
    if (width <= 0)
        width = kUnlimited;
    const bool singleLine = m_lines == 1;
    QTextLayout layout(text, m_font);
    QTextOption opt;
    opt.setWrapMode(singleLine || m_lineBreak == LineBreakMode::Clip ? QTextOption::NoWrap
                    : m_lineBreak == LineBreakMode::CharWrap         ? QTextOption::WrapAnywhere
                                                             : QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(opt);
    layout.setFormats(formatsFor(m_text, 0, text.size(), 0));
    layout.beginLayout();
    QList<QTextLine> lines;
    for (;;) {
        QTextLine l = layout.createLine();
        if (!l.isValid())
            break;
        l.setLineWidth(width);
        lines.append(l);
    }
    layout.endLayout();

    const int maxLines = m_lines == 0 ? int(lines.size()) : std::min<int>(m_lines, lines.size());
    const bool overflows = lines.size() > maxLines;
    for (int i = 0; i < maxLines; ++i) {
        const QTextLine& l = lines[i];
        Line line;
        line.sourceStart = l.textStart();
        line.text = text.mid(l.textStart(), l.textLength());
        line.width = l.naturalTextWidth();
        line.height = l.height();
        line.ascent = l.ascent();
        const bool last = i == maxLines - 1;
        const Qt::TextElideMode mode = elideMode(m_lineBreak);
        if (last && mode != Qt::ElideNone) {
            QString rest = text.mid(l.textStart());
            while (rest.endsWith(QLatin1Char('\n')))
                rest.chop(1);
            const QFontMetricsF fm(m_font);
            if (overflows || l.naturalTextWidth() > width || fm.horizontalAdvance(rest) > width) {
                const QString elided = fm.elidedText(rest, mode, width);
                if (elided != rest) {
                    // Find what was kept on both sides of the ellipsis to carry the runs over.
                    const int dot = elided.indexOf(kEllipsis);
                    line.text = elided;
                    line.headLength = dot < 0 ? int(elided.size()) : dot;
                    line.tailLength = dot < 0 ? 0 : int(elided.size()) - dot - 1;
                    line.width = fm.horizontalAdvance(elided);
                } else {
                    line.text = rest;
                }
            }
        }
        out.append(line);
    }
    return out;
}

QStringList Label::displayedLines(qreal width) const {
    QStringList out;
    for (const Line& l : layoutLines(width))
        out.append(l.text.trimmed());
    return out;
}

QSizeF Label::sizeThatFits(const QSizeF& size) const {
    const QList<Line> lines = layoutLines(size.width());
    if (lines.isEmpty())
        return QSizeF(0, QFontMetricsF(m_font).height());
    qreal w = 0;
    qreal h = 0;
    for (const Line& l : lines) {
        w = std::max(w, l.width);
        h += l.height;
    }
    if (size.width() > 0)
        w = std::min(w, size.width());
    if (size.height() > 0)
        h = std::min(h, size.height());
    return QSizeF(std::ceil(w), std::ceil(h));
}

void Label::draw(QPainter& p) {
    if (m_drawnWidth != width()) {
        m_drawn.clear();
        m_drawnWidth = width();
        qreal y = 0;
        const QString& full = m_text.text();
        for (const Line& line : layoutLines(width())) {
            QList<QTextLayout::FormatRange> formats;
            if (line.headLength < 0) {
                formats = formatsFor(m_text, line.sourceStart, line.text.size(), 0);
            } else {
                formats = formatsFor(m_text, line.sourceStart, line.headLength, 0);
                const int restLength = full.size() - line.sourceStart;
                const int tailSource = full.size() - line.tailLength;
                if (line.tailLength > 0 && tailSource >= line.sourceStart &&
                    tailSource <= line.sourceStart + restLength)
                    formats += formatsFor(m_text, tailSource, line.tailLength, line.headLength + 1);
            }
            auto layout = std::make_unique<QTextLayout>(line.text, m_font);
            QTextOption opt;
            opt.setWrapMode(QTextOption::NoWrap);
            layout->setTextOption(opt);
            layout->setFormats(formats);
            layout->setCacheEnabled(true); // drawn again and again: keep the shaped glyphs
            layout->beginLayout();
            QTextLine tl = layout->createLine();
            layout->endLayout();
            if (!tl.isValid())
                continue;
            qreal x = 0;
            const qreal lw = tl.naturalTextWidth();
            if (m_alignment == TextAlignment::Center)
                x = (width() - lw) / 2;
            else if (m_alignment == TextAlignment::Right)
                x = width() - lw;
            m_drawn.push_back({std::move(layout), QPointF(x, y), tl.height()});
            y += tl.height();
        }
    }
    p.setPen(m_color);
    for (const DrawnLine& line : m_drawn) {
        line.layout->draw(&p, line.origin);
        if (line.origin.y() + line.height >= height())
            break;
    }
}

} // namespace kit
