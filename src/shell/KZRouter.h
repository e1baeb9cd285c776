#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>

// How the router makes an object of one class: its initial method, and whether the made object
// lives long (made once, kept by the router, handed back on every later request).
class KZInitializer {
public:
    using InitialMethod = std::function<QObject*(const QVariantMap& params)>;

    KZInitializer() = default;
    KZInitializer(QString className, InitialMethod initialMethod)
        : m_className(std::move(className)), m_initialMethod(std::move(initialMethod)) {}

    const QString& className() const { return m_className; }
    const InitialMethod& initialMethod() const { return m_initialMethod; }
    bool longLife() const { return m_longLife; }
    void setLongLife(bool longLife) { m_longLife = longLife; }

private:
    QString m_className;
    InitialMethod m_initialMethod;
    bool m_longLife = false;
};

namespace nubo {
template <class T> class SingletonT;
}

// Makes pages and windows by class name, so that a page can be reached without linking its
// maker. Main thread only.
class KZRouter {
public:
    // Reset with SingletonT<KZRouter>::reset() (main thread): every registration goes and the
    // kept objects are deleted (tests, shutdown).
    static KZRouter& shareInstance();
    ~KZRouter();

    // Stores the initializer under its class name; refused (false) when the name is empty or no
    // initial method is set. A later registration of the same name replaces the earlier one.
    bool registerEntityInitializer(const KZInitializer& initializer);
    bool hasEntity(const QString& className) const { return m_initializers.contains(className); }
    // Whether the router keeps the objects of that class (and so owns them).
    bool isLongLife(const QString& className) const { return m_initializers.value(className).longLife(); }

    // A long-life object: the kept one (made on the first request, owned by the router).
    // Otherwise a new object that the caller owns. nullptr when the class is not registered.
    QObject* entityWithClass(const QString& className, const QVariantMap& params = {});

    template <class T> T* entityWithClass(const QString& className, const QVariantMap& params = {}) {
        return dynamic_cast<T*>(entityWithClass(className, params));
    }

private:
    friend class nubo::SingletonT<KZRouter>;
    KZRouter() = default;
    QHash<QString, KZInitializer> m_initializers;
    QHash<QString, QPointer<QObject>> m_longLived;
};
