#include "platform/bluetooth/BluetoothStackBlueZ.h"

#include "platform/Clock.h"
#include "platform/IOReturn.h"
#include "platform/bluetooth/BlueZAgent.h"
#include "platform/bluetooth/BlueZObjects.h"
#include "platform/bluetooth/BluetoothInquiry.h"
#include "platform/bluetooth/BluetoothLog.h"

#include <QBluetoothAddress>
#include <QBluetoothServiceDiscoveryAgent>
#include <QBluetoothServiceInfo>
#include <QBluetoothSocket>
#include <QBluetoothUuid>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QPointer>
#include <QUrl>

namespace platform {

namespace {
constexpr const char* kBlueZService = "org.bluez";
constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
constexpr int kDBusTimeoutMs = 2000;
// BlueZ's RFCOMM sockets take about this much per write (L2CAP MTU less headers).
constexpr quint16 kRfcommMtu = 1000;

constexpr const char* kDefaultAdapterPath = "/org/bluez/hci0";
SdpElement sized(SdpElement::Type type, quint64 value, int width)
{
    SdpElement e = SdpElement::unsignedInt(value, width);
    e.type = type;
    return e;
}

SdpElement listElement(SdpElement::Type type, const QList<QVariant>& values, int depth, bool* ok)
{
    SdpElement e;
    e.type = type;
    for (const QVariant& value : values) {
        std::optional<SdpElement> child = BluetoothStackBlueZ::elementFromVariant(value, depth + 1);
        if (!child) {
            *ok = false;
            return e;
        }
        e.elements.append(*child);
    }
    return e;
}
} // namespace

std::optional<SdpElement> BluetoothStackBlueZ::elementFromVariant(const QVariant& value, int depth)
{
    if (depth > sdp::kMaxDepth)
        return std::nullopt;
    const int type = value.typeId();
    switch (type) {
    case QMetaType::UChar:
        return sized(SdpElement::UnsignedInt, value.value<quint8>(), 1);
    case QMetaType::UShort:
        return sized(SdpElement::UnsignedInt, value.value<quint16>(), 2);
    case QMetaType::UInt:
        return sized(SdpElement::UnsignedInt, value.value<quint32>(), 4);
    case QMetaType::ULongLong:
        return sized(SdpElement::UnsignedInt, value.value<quint64>(), 8);
    case QMetaType::SChar:
    case QMetaType::Char:
        return sized(SdpElement::SignedInt, quint64(qint64(value.value<qint8>())), 1);
    case QMetaType::Short:
        return sized(SdpElement::SignedInt, quint64(qint64(value.value<qint16>())), 2);
    case QMetaType::Int:
        return sized(SdpElement::SignedInt, quint64(qint64(value.value<qint32>())), 4);
    case QMetaType::LongLong:
        return sized(SdpElement::SignedInt, quint64(value.value<qint64>()), 8);
    case QMetaType::Bool:
        return sized(SdpElement::Bool, value.toBool() ? 1 : 0, 1);
    case QMetaType::QString: {
        SdpElement e = SdpElement::text(value.toString());
        return e;
    }
    case QMetaType::QByteArray: {
        SdpElement e;
        e.type = SdpElement::Text;
        e.data = value.toByteArray();
        return e;
    }
    case QMetaType::QUrl: {
        SdpElement e;
        e.type = SdpElement::Url;
        e.data = value.toUrl().toEncoded();
        return e;
    }
    default:
        break;
    }
    if (type == qMetaTypeId<QBluetoothUuid>()) {
        const QBluetoothUuid uuid = value.value<QBluetoothUuid>();
        bool ok = false;
        const quint16 short16 = uuid.toUInt16(&ok);
        if (ok)
            return SdpElement::uuid(BluetoothUuid::uuid16(short16));
        const quint32 short32 = uuid.toUInt32(&ok);
        if (ok)
            return SdpElement::uuid(BluetoothUuid::uuid32(short32));
        return SdpElement::uuid(BluetoothUuid::fromBytes(uuid.toRfc4122()));
    }
    bool ok = true;
    if (type == qMetaTypeId<QBluetoothServiceInfo::Sequence>() || type == QMetaType::QVariantList) {
        const QList<QVariant> list = type == QMetaType::QVariantList
            ? value.toList()
            : QList<QVariant>(value.value<QBluetoothServiceInfo::Sequence>());
        SdpElement e = listElement(SdpElement::Sequence, list, depth, &ok);
        return ok ? std::optional(e) : std::nullopt;
    }
    if (type == qMetaTypeId<QBluetoothServiceInfo::Alternative>()) {
        SdpElement e =
            listElement(SdpElement::Alternative, value.value<QBluetoothServiceInfo::Alternative>(), depth, &ok);
        return ok ? std::optional(e) : std::nullopt;
    }
    if (!value.isValid())
        return SdpElement();
    return std::nullopt;
}

SdpServiceRecord BluetoothStackBlueZ::recordFromAttributes(const QMap<quint16, QVariant>& attributes)
{
    SdpServiceRecord record;
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it) {
        if (std::optional<SdpElement> element = elementFromVariant(it.value()))
            record.attributes.insert(it.key(), *element);
        else
            qCDebug(lcBluetooth) << "SDP attribute" << Qt::hex << it.key() << "of type" << it.value().typeName()
                                 << "left out";
    }
    return record;
}

int BluetoothStackBlueZ::statusForSocketError(int socketError, const QString& errorText)
{
    using E = QBluetoothSocket::SocketError;
    // BlueZ reports a page that no phone answered as "Host is down"
    // (EHOSTDOWN) or a connect time-out.
    if (errorText.contains(QLatin1String("Host is down"), Qt::CaseInsensitive)
        || errorText.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return bluetooth::kPageTimeout;
    switch (E(socketError)) {
    case E::NoSocketError:
        return 0;
    case E::HostNotFoundError:
        return bluetooth::kPageTimeout;
    case E::RemoteHostClosedError:
        return kIOReturnNoDevice;
    case E::UnsupportedProtocolError:
        return kIOReturnUnsupported;
    case E::ServiceNotFoundError:
    case E::NetworkError:
    case E::OperationError:
    case E::MissingPermissionsError:
    case E::UnknownSocketError:
        break;
    }
    return kIOReturnError;
}

int BluetoothStackBlueZ::statusForPairingError(const QString& errorName)
{
    if (errorName.isEmpty() || errorName == QLatin1String("org.bluez.Error.AlreadyExists"))
        return 0;
    static const QStringList authentication{
        QStringLiteral("org.bluez.Error.AuthenticationFailed"), QStringLiteral("org.bluez.Error.AuthenticationRejected"),
        QStringLiteral("org.bluez.Error.AuthenticationCanceled")};
    if (authentication.contains(errorName))
        return bluetooth::kAuthenticationFailure;
    if (errorName == QLatin1String("org.bluez.Error.ConnectionAttemptFailed")
        || errorName == QLatin1String("org.bluez.Error.AuthenticationTimeout")
        || errorName == QLatin1String("org.freedesktop.DBus.Error.NoReply"))
        return bluetooth::kPageTimeout;
    if (errorName == QLatin1String("org.bluez.Error.InProgress"))
        return kIOReturnBusy;
    if (errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownObject")
        || errorName == QLatin1String("org.bluez.Error.DoesNotExist"))
        return kIOReturnNoDevice;
    return kIOReturnError;
}

// An RFCOMM channel on a QBluetoothSocket.
class BluetoothStackBlueZ::Channel : public RfcommChannel {
public:
    Channel(std::shared_ptr<BluetoothDevice> device, quint8 channelID)
        : RfcommChannel(std::move(device), channelID, kRfcommMtu)
        , _socket(std::make_unique<QBluetoothSocket>(QBluetoothServiceInfo::RfcommProtocol))
    {
        QBluetoothSocket* socket = _socket.get();
        QObject::connect(socket, &QBluetoothSocket::connected, socket, [this] { openFinished(0); });
        QObject::connect(socket, &QBluetoothSocket::readyRead, socket, [this] { dataArrived(_socket->readAll()); });
        QObject::connect(socket, &QBluetoothSocket::disconnected, socket, [this] { closedByPeer(); });
        QObject::connect(socket, &QBluetoothSocket::errorOccurred, socket, [this](QBluetoothSocket::SocketError e) {
            qCInfo(lcBluetooth) << "RFCOMM" << this->channelID() << "error" << e << _socket->errorString();
            if (state() == State::Opening)
                openFinished(statusForSocketError(int(e), _socket->errorString()));
            else
                closedByPeer();
        });
    }
    ~Channel() override { transportClose(); }

    void connectTo(const BluetoothAddress& address)
    {
        _socket->connectToService(QBluetoothAddress(address.toColonString()), quint16(channelID()));
    }

protected:
    bool transportWrite(const char* bytes, int length) override
    {
        return _socket && _socket->write(bytes, length) == length;
    }
    void transportClose() override
    {
        if (!_socket)
            return;
        _socket->disconnect();
        _socket->abort();
        _socket.release()->deleteLater();
    }

private:
    std::unique_ptr<QBluetoothSocket> _socket;
};

class BluetoothStackBlueZ::Device : public BluetoothDevice {
public:
    Device(BluetoothStackBlueZ& stack, const BluetoothAddress& address) : BluetoothDevice(stack, address) {}

    QString name() const override
    {
        // Alias is BlueZ's stand-in for a name it never learned (the address
        // with dashes): only Name counts.
        return property("Name").toString();
    }
    bool isPaired() const override { return property("Paired").toBool(); }
    quint32 classOfDevice() const override { return property("Class").toUInt() & 0xffffff; }

    int openConnection(int, bool) override
    {
        // BlueZ pages the phone (and authenticates a paired one) when a
        // channel connects; there is nothing to hold open before.
        return adapterPresent() ? 0 : kIOReturnNoDevice;
    }
    int closeConnection() override { return 0; }
    bool isConnected() const override { return property("Connected").toBool(); }
    int removePairing() override
    {
        if (!adapterPresent())
            return kIOReturnNoDevice;
        if (!isPaired())
            return 0;
        // BlueZ forgets the link key with the device object.
        auto owner = std::static_pointer_cast<BluetoothStackBlueZ>(stack());
        BlueZObjects& objects = owner->objects();
        QDBusInterface adapter(QLatin1String(kBlueZService), objects.adapterPath(), QLatin1String(kAdapterInterface),
                               QDBusConnection::systemBus());
        adapter.setTimeout(kDBusTimeoutMs);
        const QDBusMessage reply = adapter.call(
            QStringLiteral("RemoveDevice"),
            QVariant::fromValue(QDBusObjectPath(devicePath(objects.adapterPath(), address()))));
        return reply.type() == QDBusMessage::ErrorMessage ? kIOReturnError : 0;
    }

protected:
    int startPairing() override
    {
        if (!adapterPresent())
            return kIOReturnNoDevice;
        auto owner = std::static_pointer_cast<BluetoothStackBlueZ>(stack());
        const int run = ++_pairingRun;
        owner->agent().ensureRegistered([this, run, guard = QPointer<QObject>(_pairingGuard.get())](const QString& error) {
            if (!guard || run != _pairingRun)
                return;
            if (!error.isEmpty()) {
                pairingFinished(kIOReturnError);
                return;
            }
            auto owner = std::static_pointer_cast<BluetoothStackBlueZ>(stack());
            if (!owner) {
                pairingFinished(kIOReturnNoDevice);
                return;
            }
            BlueZObjects& objects = owner->objects();
            objects.callAsync(devicePath(objects.adapterPath(), address()), QLatin1String(BlueZObjects::kDeviceInterface),
                              QStringLiteral("Pair"), {}, [this, run, guard](const QString& error) {
                                  if (!guard || run != _pairingRun)
                                      return;
                                  if (!error.isEmpty())
                                      qCInfo(lcBluetooth) << "pairing with" << addressString() << "failed:" << error;
                                  pairingFinished(statusForPairingError(error));
                              });
        });
        return 0;
    }
    void stopPairing() override
    {
        ++_pairingRun;
        auto owner = std::static_pointer_cast<BluetoothStackBlueZ>(stack());
        if (!owner)
            return;
        BlueZObjects& objects = owner->objects();
        objects.callAsync(devicePath(objects.adapterPath(), address()), QLatin1String(BlueZObjects::kDeviceInterface),
                          QStringLiteral("CancelPairing"), {});
    }

    int startSdpQuery() override
    {
        if (!adapterPresent())
            return kIOReturnNoDevice;
        _agent = std::make_unique<QBluetoothServiceDiscoveryAgent>();
        _agent->setRemoteAddress(QBluetoothAddress(address().toColonString()));
        QBluetoothServiceDiscoveryAgent* agent = _agent.get();
        QObject::connect(agent, &QBluetoothServiceDiscoveryAgent::finished, agent, [this] {
            QList<SdpServiceRecord> records;
            for (const QBluetoothServiceInfo& info : _agent->discoveredServices()) {
                QMap<quint16, QVariant> attributes;
                for (quint16 id : info.attributes())
                    attributes.insert(id, info.attribute(id));
                records.append(recordFromAttributes(attributes));
            }
            finishQuery(0, records);
        });
        QObject::connect(agent, &QBluetoothServiceDiscoveryAgent::errorOccurred, agent,
                         [this](QBluetoothServiceDiscoveryAgent::Error error) {
                             qCInfo(lcBluetooth) << "SDP query error" << error << _agent->errorString();
                             const bool noAdapter = error == QBluetoothServiceDiscoveryAgent::PoweredOffError
                                 || error == QBluetoothServiceDiscoveryAgent::InvalidBluetoothAdapterError;
                             finishQuery(noAdapter ? kIOReturnNoDevice : kIOReturnError, {});
                         });
        _agent->start(QBluetoothServiceDiscoveryAgent::FullDiscovery);
        return 0;
    }

    int startRfcommOpen(quint8 channelID, std::shared_ptr<RfcommChannel>* channel) override
    {
        if (!adapterPresent())
            return kIOReturnNoDevice;
        auto opened = std::make_shared<Channel>(shared_from_this(), channelID);
        opened->connectTo(address());
        *channel = opened;
        return 0;
    }

private:
    QVariant property(const char* name) const
    {
        auto owner = std::static_pointer_cast<BluetoothStackBlueZ>(stack());
        if (!owner)
            return {};
        BlueZObjects& objects = owner->objects();
        objects.waitUntilLoaded();
        return objects.deviceProperty(devicePath(objects.adapterPath(), address()), QLatin1String(name));
    }
    bool adapterPresent() const
    {
        auto owner = stack();
        return owner && owner->hasAdapter();
    }
    void finishQuery(int status, const QList<SdpServiceRecord>& records)
    {
        if (_agent) {
            _agent->disconnect();
            _agent.release()->deleteLater();
        }
        sdpQueryFinished(status, records);
    }

    std::unique_ptr<QBluetoothServiceDiscoveryAgent> _agent;
    std::unique_ptr<QObject> _pairingGuard = std::make_unique<QObject>();
    int _pairingRun = 0;
};

// Discovery on the first adapter for one inquiry length: a device object
// that appears, or whose signal strength comes while it runs, is a hit; a
// name that comes later is the name update.
class BluetoothStackBlueZ::Inquiry : public BluetoothInquiry {
public:
    explicit Inquiry(std::shared_ptr<BluetoothStackBlueZ> stack) : _stack(std::move(stack)) { }
    ~Inquiry() override { stopSearch(); }

protected:
    int startSearch() override
    {
        auto owner = _stack.lock();
        if (!owner || !owner->hasAdapter())
            return kIOReturnNoDevice;
        BlueZObjects& objects = owner->objects();
        objects.waitUntilLoaded();
        const QString adapter = objects.adapterPath();
        if (adapter.isEmpty() || owner->powerState() != bluetooth::kPowerOn)
            return kIOReturnNoDevice;
        _guard = std::make_unique<QObject>();
        const int run = ++_run;
        // Devices may appear before the reply: they wait for it.
        _early.clear();
        _discovering = false;
        QObject::connect(&objects, &BlueZObjects::deviceChanged, _guard.get(),
                         [this](const QString& path, const QStringList& changed) {
                             if (_discovering)
                                 deviceChanged(path, changed);
                             else
                                 _early.append({path, changed});
                         });
        objects.callAsync(adapter, QLatin1String(kAdapterInterface), QStringLiteral("StartDiscovery"), {},
                          [this, run, guard = QPointer<QObject>(_guard.get())](const QString& error) {
                              if (!guard || run != _run)
                                  return;
                              searchStarted();
                              if (!error.isEmpty()) {
                                  qCInfo(lcBluetooth) << "discovery not started:" << error;
                                  _guard.reset();
                                  searchEnded(kIOReturnError);
                                  return;
                              }
                              _discovering = true;
                              listen();
                          });
        return 0;
    }
    void stopSearch() override
    {
        _end.stop();
        _guard.reset();
        ++_run;
        auto owner = _stack.lock();
        if (_discovering && owner) {
            BlueZObjects& objects = owner->objects();
            objects.callAsync(objects.adapterPath(), QLatin1String(kAdapterInterface), QStringLiteral("StopDiscovery"),
                              {});
        }
        _discovering = false;
    }

private:
    void listen()
    {
        for (const auto& [path, changed] : std::exchange(_early, {})) {
            deviceChanged(path, changed);
            if (!isRunning())
                return;
        }
        _end.setCallback([this] {
            stopSearch();
            searchEnded(0);
        });
        _end.start(kInquiryLength);
    }
    void deviceChanged(const QString& path, const QStringList& changed)
    {
        auto owner = _stack.lock();
        if (!owner)
            return;
        const QString text = owner->objects().deviceProperty(path, QStringLiteral("Address")).toString();
        const std::shared_ptr<BluetoothDevice> device = owner->deviceWithAddressString(text);
        if (!device)
            return;
        if (changed.contains(QLatin1String("Address")) || changed.contains(QLatin1String("RSSI")))
            found(device);
        if (changed.contains(QLatin1String("Name")))
            nameLearned(device);
    }

    std::weak_ptr<BluetoothStackBlueZ> _stack;
    std::unique_ptr<QObject> _guard;
    QList<std::pair<QString, QStringList>> _early;
    Timer _end;
    int _run = 0;
    bool _discovering = false;
};

BluetoothStackBlueZ::BluetoothStackBlueZ() = default;
BluetoothStackBlueZ::~BluetoothStackBlueZ()
{
    // The agent lives on the objects' bus: it goes first.
    _agent.reset();
}

BlueZAgent& BluetoothStackBlueZ::agent()
{
    if (!_agent)
        _agent = std::make_unique<BlueZAgent>(objects(), pairingAgent());
    return *_agent;
}

BlueZObjects& BluetoothStackBlueZ::objects() const
{
    if (!_objects)
        _objects = std::make_unique<BlueZObjects>(QDBusConnection::systemBus());
    return *_objects;
}

void BluetoothStackBlueZ::setObjects(std::unique_ptr<BlueZObjects> objects)
{
    _agent.reset();
    _objects = std::move(objects);
}

QString BluetoothStackBlueZ::devicePath(const QString& adapterPath, const BluetoothAddress& address)
{
    const QString adapter = adapterPath.isEmpty() ? QLatin1String(kDefaultAdapterPath) : adapterPath;
    return adapter + QStringLiteral("/dev_") + address.toColonString().replace(u':', u'_');
}

std::optional<int> BluetoothStackBlueZ::powerState() const
{
    BlueZObjects& copy = objects();
    copy.waitUntilLoaded();
    const QVariant powered = copy.adapterProperty(QStringLiteral("Powered"));
    if (copy.adapterPath().isEmpty() || !powered.isValid())
        return std::nullopt;
    return powered.toBool() ? bluetooth::kPowerOn : bluetooth::kPowerOff;
}

QList<std::shared_ptr<BluetoothDevice>> BluetoothStackBlueZ::pairedDevices()
{
    BlueZObjects& copy = objects();
    copy.waitUntilLoaded();
    QList<std::shared_ptr<BluetoothDevice>> paired;
    const QString adapter = copy.adapterPath();
    for (const QString& path : copy.devicePaths()) {
        if (!path.startsWith(adapter + u'/') || !copy.deviceProperty(path, QStringLiteral("Paired")).toBool())
            continue;
        if (auto device = deviceWithAddressString(copy.deviceProperty(path, QStringLiteral("Address")).toString()))
            paired.append(device);
    }
    return paired;
}

std::unique_ptr<BluetoothInquiry> BluetoothStackBlueZ::makeInquiry()
{
    return std::make_unique<Inquiry>(std::static_pointer_cast<BluetoothStackBlueZ>(shared_from_this()));
}

bool BluetoothStackBlueZ::hasAdapter() const
{
    BlueZObjects& copy = objects();
    copy.waitUntilLoaded();
    return !copy.adapterPath().isEmpty();
}

std::shared_ptr<BluetoothDevice> BluetoothStackBlueZ::makeDevice(const BluetoothAddress& address)
{
    return std::make_shared<Device>(*this, address);
}

} // namespace platform
