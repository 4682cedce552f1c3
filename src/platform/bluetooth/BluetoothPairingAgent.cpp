#include "platform/bluetooth/BluetoothPairingAgent.h"

#include "platform/NotificationCenter.h"
#include "platform/bluetooth/BluetoothLog.h"

namespace platform {

namespace {
QVariantMap describe(const BluetoothPairingAgent::Request& request)
{
    return {{QStringLiteral("address"), request.address.toColonString()},
            {QStringLiteral("kind"), int(request.kind)},
            {QStringLiteral("passkey"), request.passkey},
            {QStringLiteral("id"), request.id}};
}

bool allDigits(const QString& text)
{
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}
} // namespace

BluetoothPairingAgent::~BluetoothPairingAgent() = default;

int BluetoothPairingAgent::open(Request request, Reply reply)
{
    if (_pending)
        finish({}, true);
    request.id = ++_lastId;
    if (request.passkey > kMaxPasskey)
        request.passkey %= (kMaxPasskey + 1);
    _pending = request;
    _reply = request.wantsAnswer() ? std::move(reply) : Reply();
    _typed.clear();
    qCInfo(lcBluetooth) << "pairing agent: request" << int(request.kind) << "for" << request.address.toColonString();
    NotificationCenter::defaultCenter().post(QString::fromLatin1(kRequestStartedNotification), this,
                                             describe(request));
    return request.id;
}

void BluetoothPairingAgent::cancel(int id)
{
    if (!_pending || (id != 0 && _pending->id != id))
        return;
    Answer cancelled;
    cancelled.cancelled = true;
    finish(cancelled, true);
}

void BluetoothPairingAgent::endRequestsOf(const BluetoothAddress& address)
{
    if (_pending && _pending->address == address)
        cancel(_pending->id);
}

std::optional<BluetoothPairingAgent::Request> BluetoothPairingAgent::pendingRequest() const
{
    return _pending;
}

bool BluetoothPairingAgent::type(const QString& characters)
{
    if (!_pending || (_pending->kind != Kind::PinCode && _pending->kind != Kind::Passkey))
        return false;
    _typed += characters;
    return true;
}

bool BluetoothPairingAgent::enter()
{
    if (!_pending)
        return false;
    switch (_pending->kind) {
    case Kind::PinCode:
        return answerPinCode(_typed);
    case Kind::Passkey: {
        bool ok = false;
        const uint value = _typed.toUInt(&ok);
        return ok && allDigits(_typed) && answerPasskey(value);
    }
    case Kind::Confirmation:
        return confirm(true);
    case Kind::DisplayPasskey:
    case Kind::DisplayPinCode:
        finish({true, {}, 0}, false);
        return true;
    }
    return false;
}

bool BluetoothPairingAgent::answerPinCode(const QString& pinCode)
{
    if (!_pending || _pending->kind != Kind::PinCode || pinCode.isEmpty() || pinCode.size() > kMaxPinCodeLength)
        return false;
    finish({true, pinCode, 0}, true);
    return true;
}

bool BluetoothPairingAgent::answerPasskey(quint32 passkey)
{
    if (!_pending || _pending->kind != Kind::Passkey || passkey > kMaxPasskey)
        return false;
    finish({true, {}, passkey}, true);
    return true;
}

bool BluetoothPairingAgent::confirm(bool accept)
{
    if (!_pending || _pending->kind != Kind::Confirmation)
        return false;
    finish({accept, {}, 0}, true);
    return true;
}

bool BluetoothPairingAgent::reject()
{
    if (!_pending)
        return false;
    finish({}, true);
    return true;
}

void BluetoothPairingAgent::finish(const Answer& answer, bool replying)
{
    const Request ended = *_pending;
    Reply reply = std::exchange(_reply, {});
    _pending.reset();
    _typed.clear();
    if (replying && reply)
        reply(answer);
    NotificationCenter::defaultCenter().post(QString::fromLatin1(kRequestEndedNotification), this, describe(ended));
}

} // namespace platform
