#include "kit/AttributedString.h"

namespace kit {

AttributedString::AttributedString(const QString& text, const QFont& font, const QColor& color)
    : m_text(text) {
    setFont(font);
    setColor(color);
}

void AttributedString::addRun(Run run) {
    if (run.start < 0) {
        run.length += run.start;
        run.start = 0;
    }
    run.length = std::min(run.length, int(m_text.size()) - run.start);
    if (run.length <= 0)
        return;
    m_runs.append(std::move(run));
}

void AttributedString::setFont(const QFont& font, int start, int length) {
    Run r;
    r.start = start;
    r.length = length;
    r.font = font;
    addRun(std::move(r));
}

void AttributedString::setColor(const QColor& color, int start, int length) {
    Run r;
    r.start = start;
    r.length = length;
    r.color = color;
    addRun(std::move(r));
}

bool AttributedString::operator==(const AttributedString& o) const {
    if (m_text != o.m_text || m_runs.size() != o.m_runs.size())
        return false;
    for (int i = 0; i < m_runs.size(); ++i) {
        const Run& a = m_runs[i];
        const Run& b = o.m_runs[i];
        if (a.start != b.start || a.length != b.length || a.font != b.font || a.color != b.color)
            return false;
    }
    return true;
}

} // namespace kit
