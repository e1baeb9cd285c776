#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

namespace nubo {

// A weak reference to an interface implemented by a QObject (every delegate and observer
// in Nubo is one). It reads as null once the object is destroyed. Main-thread use only.
template <class T> class Weak {
public:
    Weak() = default;
    Weak(T* p) : m_obj(dynamic_cast<QObject*>(p)), m_ptr(m_obj ? p : nullptr) { // NOLINT
        // A delegate that is not a QObject could never be seen going: it would read as null.
        Q_ASSERT_X(!p || m_obj, "nubo::Weak", "a delegate or observer must be a QObject");
    }

    T* get() const { return m_obj ? m_ptr : nullptr; }
    T* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }
    bool is(const T* p) const { return get() == p && p != nullptr; }
    void reset() {
        m_obj.clear();
        m_ptr = nullptr;
    }

private:
    QPointer<QObject> m_obj;
    T* m_ptr = nullptr;
};

// An observer list that holds its members weakly and keeps each one once (by identity).
template <class T> class WeakList {
public:
    // Adds the object unless it is there already; true when it was added.
    bool add(T* p) {
        if (!p || contains(p))
            return false;
        prune();
        m_items.append(Weak<T>(p));
        return m_items.last().get() != nullptr;
    }
    // Removes the object; true when it was there.
    bool remove(T* p) {
        bool found = false;
        for (auto it = m_items.begin(); it != m_items.end();) {
            if (it->is(p)) {
                it = m_items.erase(it);
                found = true;
            } else {
                ++it;
            }
        }
        return found;
    }
    bool contains(const T* p) const {
        for (const auto& w : m_items)
            if (w.is(p))
                return true;
        return false;
    }
    // The live members, a snapshot: members may add or remove observers while it is walked.
    QList<T*> live() const {
        QList<T*> out;
        for (const auto& w : m_items)
            if (T* p = w.get())
                out.append(p);
        return out;
    }
    // Calls f on every live member that is still a member when its turn comes.
    template <class F> void forEach(F&& f) const {
        const QList<T*> snapshot = live();
        for (T* p : snapshot)
            if (contains(p))
                f(p);
    }
    int count() const { return live().size(); }

private:
    void prune() {
        m_items.removeIf([](const Weak<T>& w) { return !w; });
    }
    QList<Weak<T>> m_items;
};

} // namespace nubo
