#pragma once

#include "foundation/Weak.h"

#include <QString>

namespace kit {
class Event;
}
namespace nubo {
template <class T> class SingletonT;
}

// Observers of the Command shortcuts (the Control key on this desktop). Every message is optional.
class KZShortcutKeysDelegate {
public:
    virtual ~KZShortcutKeysDelegate() = default;
    // Answering false skips this observer for the event.
    virtual bool shouldPerformKeyDownEvent() { return true; }
    virtual void didPressCmdR() {}
    virtual void didPressCmdA() {}
    virtual void didPressCmdC() {}
    virtual void didPressCmdX() {}
    virtual void didPressCmdV() {}
    virtual void didPressCmdAndOtherKey(const QString& key) { (void)key; }
};

// Watches the application's key presses and hands Command shortcuts to its observers, which
// pages add while they are on screen. The key press always goes on to the application unchanged.
class KZShortcutKeysManager {
public:
    // Reset with SingletonT<KZShortcutKeysManager>::reset() (main thread).
    static KZShortcutKeysManager& shareInstance();
    ~KZShortcutKeysManager() { suspend(); } // the monitor calls into this object

    void addShortcutKeysObserver(KZShortcutKeysDelegate* observer) { m_observers.add(observer); }
    void removeShortcutKeysObserver(KZShortcutKeysDelegate* observer) { m_observers.remove(observer); }

    // Installs and removes the key monitor (installed when the manager is made).
    void resume();
    void suspend();
    bool isMonitoring() const { return m_monitor != 0; }

    // What the monitor does with one key press.
    void handleKeyDownEvent(const kit::Event& event);

private:
    friend class nubo::SingletonT<KZShortcutKeysManager>;
    KZShortcutKeysManager();
    nubo::WeakList<KZShortcutKeysDelegate> m_observers;
    quint64 m_monitor = 0;
};
