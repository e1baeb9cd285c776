#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

namespace kit {

// A stored callable tied to a context object, as connect() ties a slot to its receiver: once the
// context is destroyed the callable is dropped and never runs. Views keep their actions this way,
// so a view that outlives the controller whose methods its actions call does nothing.
template <class... Args> class Callback {
public:
    Callback() = default;
    Callback(const QObject* context, std::function<void(Args...)> f) : m_context(context), m_f(std::move(f)) {
        Q_ASSERT_X(context || !m_f, "kit::Callback", "a callback needs a context object");
    }

    explicit operator bool() const { return m_f && m_context; }

    // Runs a copy, so the callable may replace itself or delete its owner while it runs.
    void operator()(Args... args) const {
        if (!m_context || !m_f)
            return;
        auto f = m_f;
        f(args...);
    }

private:
    QPointer<const QObject> m_context;
    std::function<void(Args...)> m_f;
};

} // namespace kit
