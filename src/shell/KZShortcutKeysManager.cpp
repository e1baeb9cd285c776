#include "KZShortcutKeysManager.h"

#include "foundation/SingletonT.h"
#include "kit/Application.h"
#include "kit/Event.h"

KZShortcutKeysManager& KZShortcutKeysManager::shareInstance() {
    return nubo::SingletonT<KZShortcutKeysManager>::instance();
}

KZShortcutKeysManager::KZShortcutKeysManager() {
    resume();
}

void KZShortcutKeysManager::resume() {
    if (m_monitor)
        return;
    m_monitor =
        kit::Application::addLocalKeyDownMonitor([this](const kit::Event& e) { handleKeyDownEvent(e); });
}

void KZShortcutKeysManager::suspend() {
    if (!m_monitor)
        return;
    kit::Application::removeMonitor(m_monitor);
    m_monitor = 0;
}

void KZShortcutKeysManager::handleKeyDownEvent(const kit::Event& event) {
    // Shortcuts are Control plus a key.
    if (!(event.modifierFlags() & Qt::ControlModifier))
        return;
    // Shift stays in the characters: Ctrl+Shift+C is another key than Ctrl+C.
    const QString key = event.charactersIgnoringModifiers();
    if (key.isEmpty())
        return;
    m_observers.forEach([&key](KZShortcutKeysDelegate* o) {
        if (!o->shouldPerformKeyDownEvent())
            return;
        if (key == u"r")
            o->didPressCmdR();
        else if (key == u"a")
            o->didPressCmdA();
        else if (key == u"x")
            o->didPressCmdX();
        else if (key == u"c")
            o->didPressCmdC();
        else if (key == u"v")
            o->didPressCmdV();
        else
            o->didPressCmdAndOtherKey(key);
    });
}
