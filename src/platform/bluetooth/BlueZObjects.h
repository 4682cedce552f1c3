#pragma once

#include <QDBusConnection>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

class QDBusMessage;

namespace platform {

// What BlueZ publishes on the bus (adapters and devices with their
// properties), kept up to date from its signals. Every call to BlueZ is
// asynchronous; reads answer from the copy. The copy is asked for once at
// construction and is complete once loaded() (a caller that needs it may run
// the main loop until then).
class BlueZObjects : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kService = "org.bluez";
    static constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
    static constexpr const char* kDeviceInterface = "org.bluez.Device1";

    explicit BlueZObjects(QDBusConnection bus);
    ~BlueZObjects() override;

    bool loaded() const { return _loaded; }
    // The bus BlueZ is reached on.
    QDBusConnection bus() const { return _bus; }
    // Runs the main loop (bounded) until the first answer came.
    void waitUntilLoaded();

    // The first adapter's object path; empty when there is none.
    QString adapterPath() const;
    QVariant adapterProperty(const QString& name) const;
    // Device objects in the order BlueZ listed them (new ones at the end).
    QStringList devicePaths() const;
    QVariant deviceProperty(const QString& path, const QString& name) const;
    bool hasDevice(const QString& path) const { return _devices.contains(path); }

    // Sends a method call without waiting; reply (may be empty) gets the
    // error name or an empty string.
    void callAsync(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments,
                   std::function<void(const QString& error)> reply = {});

    // Reads the answer of GetManagedObjects in its order (for tests too).
    static QList<std::pair<QString, QMap<QString, QVariantMap>>> managedObjects(const QDBusMessage& reply);

Q_SIGNALS:
    // A device object appeared or some of its properties changed: its path
    // and the names of the properties that came.
    void deviceChanged(const QString& path, const QStringList& changed);

private Q_SLOTS:
    void interfacesAdded(const QDBusMessage& message);
    void interfacesRemoved(const QDBusMessage& message);
    void propertiesChanged(const QDBusMessage& message);

private:
    void take(const QString& path, const QMap<QString, QVariantMap>& interfaces);

    QDBusConnection _bus;
    bool _loaded = false;
    QStringList _adapterOrder;
    QMap<QString, QVariantMap> _adapters;
    QStringList _deviceOrder;
    QMap<QString, QVariantMap> _devices;
};

} // namespace platform
