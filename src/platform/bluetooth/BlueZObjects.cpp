#include "platform/bluetooth/BlueZObjects.h"

#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothLog.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace platform {

namespace {
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr int kLoadWaitPasses = 30;
constexpr double kLoadWaitSlice = 0.1;

QVariant plain(const QVariant& value)
{
    if (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        return value.value<QDBusVariant>().variant();
    return value;
}

QVariantMap readProperties(const QDBusArgument& argument)
{
    QVariantMap properties;
    argument.beginMap();
    while (!argument.atEnd()) {
        QString name;
        QDBusVariant value;
        argument.beginMapEntry();
        argument >> name >> value;
        argument.endMapEntry();
        properties.insert(name, value.variant());
    }
    argument.endMap();
    return properties;
}

QMap<QString, QVariantMap> readInterfaces(const QDBusArgument& argument)
{
    QMap<QString, QVariantMap> interfaces;
    argument.beginMap();
    while (!argument.atEnd()) {
        QString name;
        argument.beginMapEntry();
        argument >> name;
        interfaces.insert(name, readProperties(argument));
        argument.endMapEntry();
    }
    argument.endMap();
    return interfaces;
}
} // namespace

BlueZObjects::BlueZObjects(QDBusConnection bus) : _bus(std::move(bus))
{
    if (!_bus.isConnected()) {
        _loaded = true;
        return;
    }
    const QString service = QLatin1String(kService);
    _bus.connect(service, QString(), QLatin1String(kObjectManager), QStringLiteral("InterfacesAdded"), this,
                 SLOT(interfacesAdded(QDBusMessage)));
    _bus.connect(service, QString(), QLatin1String(kObjectManager), QStringLiteral("InterfacesRemoved"), this,
                 SLOT(interfacesRemoved(QDBusMessage)));
    _bus.connect(service, QString(), QLatin1String(kProperties), QStringLiteral("PropertiesChanged"), this,
                 SLOT(propertiesChanged(QDBusMessage)));

    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/"), QLatin1String(kObjectManager),
                                                       QStringLiteral("GetManagedObjects"));
    auto* watcher = new QDBusPendingCallWatcher(_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusMessage reply = done->reply();
        if (reply.type() == QDBusMessage::ErrorMessage)
            qCInfo(lcBluetooth) << "BlueZ objects not read:" << reply.errorMessage();
        else
            for (const auto& [path, interfaces] : managedObjects(reply))
                take(path, interfaces);
        _loaded = true;
    });
}

BlueZObjects::~BlueZObjects() = default;

void BlueZObjects::waitUntilLoaded()
{
    if (!_loaded)
        runloop::waitUntil([this] { return _loaded; }, kLoadWaitSlice, kLoadWaitPasses);
}

QList<std::pair<QString, QMap<QString, QVariantMap>>> BlueZObjects::managedObjects(const QDBusMessage& reply)
{
    QList<std::pair<QString, QMap<QString, QVariantMap>>> objects;
    if (reply.arguments().isEmpty() || !reply.arguments().first().canConvert<QDBusArgument>())
        return objects;
    const QDBusArgument argument = reply.arguments().first().value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::MapType)
        return objects;
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        argument.beginMapEntry();
        argument >> path;
        objects.append({path.path(), readInterfaces(argument)});
        argument.endMapEntry();
    }
    argument.endMap();
    return objects;
}

void BlueZObjects::take(const QString& path, const QMap<QString, QVariantMap>& interfaces)
{
    if (interfaces.contains(QLatin1String(kAdapterInterface))) {
        if (!_adapters.contains(path))
            _adapterOrder.append(path);
        _adapters[path].insert(interfaces.value(QLatin1String(kAdapterInterface)));
    }
    if (interfaces.contains(QLatin1String(kDeviceInterface))) {
        if (!_devices.contains(path))
            _deviceOrder.append(path);
        const QVariantMap properties = interfaces.value(QLatin1String(kDeviceInterface));
        _devices[path].insert(properties);
        Q_EMIT deviceChanged(path, properties.keys());
    }
}

void BlueZObjects::interfacesAdded(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || !arguments.at(1).canConvert<QDBusArgument>())
        return;
    take(arguments.at(0).value<QDBusObjectPath>().path(), readInterfaces(arguments.at(1).value<QDBusArgument>()));
}

void BlueZObjects::interfacesRemoved(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const QString path = arguments.at(0).value<QDBusObjectPath>().path();
    const QStringList interfaces = arguments.at(1).toStringList();
    if (interfaces.contains(QLatin1String(kDeviceInterface))) {
        _devices.remove(path);
        _deviceOrder.removeAll(path);
    }
    if (interfaces.contains(QLatin1String(kAdapterInterface))) {
        _adapters.remove(path);
        _adapterOrder.removeAll(path);
    }
}

void BlueZObjects::propertiesChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || !arguments.at(1).canConvert<QDBusArgument>())
        return;
    const QString interface = arguments.at(0).toString();
    const QString path = message.path();
    const QVariantMap changed = readProperties(arguments.at(1).value<QDBusArgument>());
    if (interface == QLatin1String(kAdapterInterface) && _adapters.contains(path)) {
        _adapters[path].insert(changed);
    } else if (interface == QLatin1String(kDeviceInterface) && _devices.contains(path)) {
        _devices[path].insert(changed);
        Q_EMIT deviceChanged(path, changed.keys());
    }
}

QString BlueZObjects::adapterPath() const
{
    return _adapterOrder.isEmpty() ? QString() : _adapterOrder.first();
}

QVariant BlueZObjects::adapterProperty(const QString& name) const
{
    return plain(_adapters.value(adapterPath()).value(name));
}

QStringList BlueZObjects::devicePaths() const
{
    return _deviceOrder;
}

QVariant BlueZObjects::deviceProperty(const QString& path, const QString& name) const
{
    return plain(_devices.value(path).value(name));
}

void BlueZObjects::callAsync(const QString& path, const QString& interface, const QString& method,
                             const QVariantList& arguments, std::function<void(const QString&)> reply)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), path, interface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [reply = std::move(reply)](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusMessage answer = done->reply();
                if (reply)
                    reply(answer.type() == QDBusMessage::ErrorMessage ? answer.errorName() : QString());
            });
}

} // namespace platform
