#include "KZRouter.h"

#include "foundation/Log.h"
#include "foundation/SingletonT.h"

KZRouter& KZRouter::shareInstance() {
    NUBO_ASSERT_MAIN_THREAD();
    return nubo::SingletonT<KZRouter>::instance();
}

bool KZRouter::registerEntityInitializer(const KZInitializer& initializer) {
    if (initializer.className().isEmpty() || !initializer.initialMethod())
        return false;
    m_initializers.insert(initializer.className(), initializer);
    return true;
}

QObject* KZRouter::entityWithClass(const QString& className, const QVariantMap& params) {
    NUBO_ASSERT_MAIN_THREAD();
    const auto it = m_initializers.constFind(className);
    if (it == m_initializers.constEnd())
        return nullptr;
    if (it->longLife()) {
        // A kept object that someone deleted is made again rather than handed back dangling.
        if (QObject* kept = m_longLived.value(className))
            return kept;
    }
    QObject* made = it->initialMethod()(params);
    if (made && it->longLife())
        m_longLived.insert(className, made);
    return made;
}

KZRouter::~KZRouter() {
    const auto kept = m_longLived;
    m_longLived.clear();
    for (const QPointer<QObject>& p : kept)
        delete p.data();
}
