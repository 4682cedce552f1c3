#include "platform/bluetooth/BlueZAgent.h"

#include "platform/bluetooth/BlueZObjects.h"
#include "platform/bluetooth/BluetoothLog.h"
#include "platform/bluetooth/BluetoothPairingAgent.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QPointer>

namespace platform {

namespace {
constexpr const char* kRejected = "org.bluez.Error.Rejected";
constexpr const char* kCanceled = "org.bluez.Error.Canceled";

// "/org/bluez/hci0/dev_00_1E_75_11_22_33" -> the address.
std::optional<BluetoothAddress> addressOfDevicePath(const QString& path)
{
    const int at = path.lastIndexOf(QLatin1String("/dev_"));
    if (at < 0)
        return std::nullopt;
    QString text = path.mid(at + 5);
    if (text.size() != 17)
        return std::nullopt;
    text.replace(u'_', u':');
    return BluetoothAddress::fromString(text);
}

QString devicePathArgument(const QDBusMessage& message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.isEmpty())
        return {};
    return arguments.first().value<QDBusObjectPath>().path();
}
} // namespace

BlueZAgent::BlueZAgent(BlueZObjects& objects, BluetoothPairingAgent& agent) : _objects(objects), _agent(agent) {}

BlueZAgent::~BlueZAgent()
{
    if (_request != 0)
        _agent.cancel(_request);
    if (_exported)
        _objects.bus().unregisterObject(QLatin1String(kPath));
}

void BlueZAgent::ensureRegistered(std::function<void(const QString&)> done)
{
    if (_registered) {
        done({});
        return;
    }
    QDBusConnection bus = _objects.bus();
    if (!_exported) {
        _exported = bus.registerVirtualObject(QLatin1String(kPath), this);
        if (!_exported) {
            done(QStringLiteral("org.freedesktop.DBus.Error.Failed"));
            return;
        }
    }
    const QVariantList arguments{QVariant::fromValue(QDBusObjectPath(QLatin1String(kPath))),
                                 QLatin1String(kCapability)};
    QPointer<BlueZAgent> self(this);
    _objects.callAsync(QStringLiteral("/org/bluez"), QLatin1String(kManagerInterface), QStringLiteral("RegisterAgent"),
                       arguments, [self, done = std::move(done)](const QString& error) {
                           if (!self)
                               return;
                           // Registered once before (by this connection): it counts.
                           if (!error.isEmpty() && error != QLatin1String("org.bluez.Error.AlreadyExists")) {
                               qCWarning(lcBluetooth) << "pairing agent not registered:" << error;
                               done(error);
                               return;
                           }
                           self->_registered = true;
                           self->_objects.callAsync(
                               QStringLiteral("/org/bluez"), QLatin1String(kManagerInterface),
                               QStringLiteral("RequestDefaultAgent"),
                               {QVariant::fromValue(QDBusObjectPath(QLatin1String(kPath)))});
                           done({});
                       });
}

QString BlueZAgent::introspect(const QString&) const
{
    return QStringLiteral(
        "<interface name=\"org.bluez.Agent1\">"
        "<method name=\"Release\"/>"
        "<method name=\"RequestPinCode\"><arg type=\"o\" direction=\"in\"/><arg type=\"s\" direction=\"out\"/></method>"
        "<method name=\"DisplayPinCode\"><arg type=\"o\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/></method>"
        "<method name=\"RequestPasskey\"><arg type=\"o\" direction=\"in\"/><arg type=\"u\" direction=\"out\"/></method>"
        "<method name=\"DisplayPasskey\"><arg type=\"o\" direction=\"in\"/><arg type=\"u\" direction=\"in\"/>"
        "<arg type=\"q\" direction=\"in\"/></method>"
        "<method name=\"RequestConfirmation\"><arg type=\"o\" direction=\"in\"/><arg type=\"u\" direction=\"in\"/></method>"
        "<method name=\"RequestAuthorization\"><arg type=\"o\" direction=\"in\"/></method>"
        "<method name=\"AuthorizeService\"><arg type=\"o\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/></method>"
        "<method name=\"Cancel\"/>"
        "</interface>");
}

bool BlueZAgent::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.interface() != QLatin1String(kInterface) || message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const QString method = message.member();
    QDBusConnection bus = connection;
    const auto refuse = [&bus, &message](const char* error) {
        bus.send(message.createErrorReply(QLatin1String(error), QStringLiteral("Refused")));
        return true;
    };
    if (method == QLatin1String("Release")) {
        _registered = false;
        bus.send(message.createReply());
        return true;
    }
    if (method == QLatin1String("Cancel")) {
        // BlueZ gave up on the request: its call needs no answer, but the
        // cancelled one gets one anyway (BlueZ ignores it).
        if (_request != 0)
            _agent.cancel(std::exchange(_request, 0));
        bus.send(message.createReply());
        return true;
    }
    const std::optional<BluetoothAddress> address = addressOfDevicePath(devicePathArgument(message));
    if (!address)
        return refuse(kRejected);
    const QVariantList arguments = message.arguments();
    BluetoothPairingAgent::Request request;
    request.address = *address;
    if (method == QLatin1String("RequestPinCode")) {
        request.kind = BluetoothPairingAgent::Kind::PinCode;
    } else if (method == QLatin1String("RequestPasskey")) {
        request.kind = BluetoothPairingAgent::Kind::Passkey;
    } else if (method == QLatin1String("RequestConfirmation") && arguments.size() >= 2) {
        request.kind = BluetoothPairingAgent::Kind::Confirmation;
        request.passkey = arguments.at(1).toUInt();
    } else if (method == QLatin1String("DisplayPasskey") && arguments.size() >= 2) {
        request.kind = BluetoothPairingAgent::Kind::DisplayPasskey;
        request.passkey = arguments.at(1).toUInt();
    } else if (method == QLatin1String("DisplayPinCode") && arguments.size() >= 2) {
        request.kind = BluetoothPairingAgent::Kind::DisplayPinCode;
        request.pinCode = arguments.at(1).toString().left(BluetoothPairingAgent::kMaxPinCodeLength);
    } else {
        // Authorisations of services and anything unknown: not ours to give.
        return refuse(kRejected);
    }
    if (!request.wantsAnswer()) {
        _request = _agent.open(request, {});
        bus.send(message.createReply());
        return true;
    }
    message.setDelayedReply(true);
    const QDBusMessage call = message;
    QPointer<BlueZAgent> self(this);
    const BluetoothPairingAgent::Kind kind = request.kind;
    _request = _agent.open(request, [self, bus, call, kind](const BluetoothPairingAgent::Answer& answer) mutable {
        if (self)
            self->_request = 0;
        if (!answer.accepted) {
            bus.send(answer.cancelled ? call.createErrorReply(QLatin1String(kCanceled), QStringLiteral("Cancelled"))
                                      : call.createErrorReply(QLatin1String(kRejected), QStringLiteral("Refused")));
            return;
        }
        switch (kind) {
        case BluetoothPairingAgent::Kind::PinCode:
            bus.send(call.createReply(answer.pinCode));
            break;
        case BluetoothPairingAgent::Kind::Passkey:
            bus.send(call.createReply(QVariant::fromValue(uint(answer.passkey))));
            break;
        default:
            bus.send(call.createReply());
            break;
        }
    });
    return true;
}

} // namespace platform
