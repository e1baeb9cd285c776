#pragma once

// Every toast presented on one view (or on any, given none), in order, so that a test reads what
// was shown even after the toast hid itself (it hides a second after appearing, and a busy
// machine can be slower than that between two looks).
#include "shell/KZToast.h"
#include "support/EventLoop.h"

#include <QStringList>

namespace nubo::test {

class ToastRecord {
public:
    explicit ToastRecord(const QWidget* view = nullptr) : m_view(view) {
        KZToast::setPresentHook([this](const QWidget* v, const QString& text) {
            if (!m_view || v == m_view)
                m_texts.append(text);
        });
    }
    ~ToastRecord() { KZToast::setPresentHook({}); }
    ToastRecord(const ToastRecord&) = delete;
    ToastRecord& operator=(const ToastRecord&) = delete;

    const QStringList& texts() const { return m_texts; }
    // Texts shown after the last one waited for.
    QStringList unread() const { return m_texts.mid(m_read); }

    // Waits until `text` has been shown after the last toast waited for, and takes it as read.
    bool waitFor(const QString& text, int ms = 5000) {
        int at = -1;
        const bool shown = waitUntil(
            [&] {
                at = int(m_texts.indexOf(text, m_read));
                return at >= 0;
            },
            ms);
        if (shown)
            m_read = at + 1;
        return shown;
    }

private:
    const QWidget* m_view;
    QStringList m_texts;
    int m_read = 0;
};

} // namespace nubo::test
