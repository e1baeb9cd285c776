#include "kit/DrawnText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
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

template <class T> bool assign(T& field, const T& value) {
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

DrawnText::DrawnText() = default;
DrawnText::~DrawnText() = default;
DrawnText::DrawnText(DrawnText&&) noexcept = default;
DrawnText& DrawnText::operator=(DrawnText&&) noexcept = default;

bool DrawnText::setText(const AttributedString& text) {
    if (!assign(m_text, text))
        return false;
    changed();
    return true;
}

bool DrawnText::setFont(const QFont& font) {
    if (!assign(m_font, font))
        return false;
    changed();
    return true;
}

bool DrawnText::setColor(const QColor& color) {
    return assign(m_color, color);
}

bool DrawnText::setAlignment(TextAlignment a) {
    if (!assign(m_alignment, a))
        return false;
    changed();
    return true;
}

bool DrawnText::setLineBreakMode(LineBreakMode mode) {
    if (!assign(m_lineBreak, mode))
        return false;
    changed();
    return true;
}

bool DrawnText::setNumberOfLines(int lines) {
    if (!assign(m_lines, std::max(0, lines)))
        return false;
    changed();
    return true;
}

QList<DrawnText::Line> DrawnText::layoutLines(qreal width) const {
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

QStringList DrawnText::displayedLines(qreal width) const {
    QStringList out;
    for (const Line& l : layoutLines(width))
        out.append(l.text.trimmed());
    return out;
}

bool DrawnText::isTruncated(qreal width) const {
    const QList<Line> lines = layoutLines(width);
    if (lines.isEmpty())
        return false;
    const Line& last = lines.constLast();
    if (last.headLength >= 0) // only the last line carries an ellipsis
        return true;
    QString full = m_text.text();
    while (full.endsWith(QLatin1Char('\n')))
        full.chop(1);
    if (last.sourceStart + last.text.size() < full.size())
        return true;
    return width > 0 && std::any_of(lines.cbegin(), lines.cend(),
                                    [width](const Line& l) { return l.width > width + 0.5; });
}

QSizeF DrawnText::sizeThatFits(const QSizeF& size) const {
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

void DrawnText::layOut(qreal width) {
    m_drawn.clear();
    m_drawnWidth = width;
    qreal y = 0;
    const QString& full = m_text.text();
    for (const Line& line : layoutLines(width)) {
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
            x = (width - lw) / 2;
        else if (m_alignment == TextAlignment::Right)
            x = width - lw;
        m_drawn.push_back({std::move(layout), QPointF(x, y), lw, tl.height()});
        y += tl.height();
    }
}

void DrawnText::draw(QPainter& p, const QRectF& rect, bool clipped) {
    if (m_drawnWidth != rect.width())
        layOut(rect.width());
    if (m_drawn.empty())
        return;
    // A text that reaches past its rectangle is cut there, as a label's own bounds cut it.
    const bool clip = !clipped;
    if (clip) {
        p.save();
        p.setClipRect(rect, Qt::IntersectClip);
    }
    p.setPen(m_color);
    for (const DrawnLine& line : m_drawn) {
        line.layout->draw(&p, rect.topLeft() + line.origin);
        if (line.origin.y() + line.height >= rect.height())
            break;
    }
    if (clip)
        p.restore();
}

} // namespace kit
