#include "platform/bluetooth/BluetoothStackSimulated.h"

#include "platform/Clock.h"
#include "platform/IOReturn.h"
#include "platform/bluetooth/BluetoothInquiry.h"
#include "platform/bluetooth/BluetoothLog.h"

#include <QFile>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QVariantList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr int kReadPiece = 4096;
constexpr int kWritePollMs = 1000;
constexpr qsizetype kWriteSizesKept = 1024;

int connectLocalSocket(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address {};
    if (name.isEmpty() || size_t(name.size()) >= sizeof address.sun_path)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
} // namespace

struct BluetoothStackSimulated::Phone {
    QString name;
    bool paired = false;
    bool stalePairing = false;
    bool present = false;
    bool discoverable = true;
    bool nameLater = false;
    bool nameKnown = true;
    quint32 classOfDevice = 0;
    int pairingRemovals = 0;
    QList<SdpServiceRecord> records;
    QMap<quint8, Connector> channels;
    int openFailure = 0;
    int openFailureCount = 0;
    int sdpFailure = 0;
    int sdpFailureCount = 0;
    int sdpQueries = 0;
    int opens = 0;
    int basebandFailure = 0;
    int basebandFailureCount = 0;
    int basebandOpens = 0;
    QList<int> writes;
    QList<std::weak_ptr<Channel>> openChannels;
    PairingMode pairingMode = PairingMode::PinCode;
    QString pin = QStringLiteral("0000");
    PinSource pinSource;
    quint32 passkey = 123456;
    int pairings = 0;
};

// One simulated channel: a stream socket to the phone, read on the main loop.
class BluetoothStackSimulated::Channel : public RfcommChannel {
public:
    Channel(std::shared_ptr<BluetoothDevice> device, quint8 channelID, quint16 mtu, std::shared_ptr<Phone> phone)
        : RfcommChannel(std::move(device), channelID, mtu), _phone(std::move(phone))
    {
    }
    ~Channel() override { transportClose(); }

    void startConnecting(double delay, int failure, Connector connector)
    {
        _connect = std::make_unique<Timer>([this, failure, connector = std::move(connector)] {
            if (failure != 0) {
                openFinished(failure);
                return;
            }
            const int fd = connector ? connector() : -1;
            if (fd < 0) {
                // Nobody listens on that channel.
                openFinished(connector ? bluetooth::kPageTimeout : kIOReturnError);
                return;
            }
            attach(fd);
            openFinished(0);
        });
        _connect->start(delay);
    }

    void remoteClose() { closedByPeer(); }

protected:
    bool transportWrite(const char* bytes, int length) override
    {
        _phone->writes.append(length);
        if (_phone->writes.size() > kWriteSizesKept)
            _phone->writes.removeFirst();
        int done = 0;
        while (done < length && _fd >= 0) {
            const ssize_t n = ::send(_fd, bytes + done, size_t(length - done), MSG_NOSIGNAL);
            if (n > 0) {
                done += int(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                pollfd out {_fd, POLLOUT, 0};
                if (::poll(&out, 1, kWritePollMs) > 0)
                    continue;
            }
            return false;
        }
        return done == length;
    }

    void transportClose() override
    {
        _connect.reset();
        _notifier.reset();
        if (_fd >= 0)
            ::close(_fd);
        _fd = -1;
    }

private:
    void attach(int fd)
    {
        _fd = fd;
        ::fcntl(_fd, F_SETFL, ::fcntl(_fd, F_GETFL) | O_NONBLOCK);
        _notifier = std::make_unique<QSocketNotifier>(qintptr(_fd), QSocketNotifier::Read);
        QObject::connect(_notifier.get(), &QSocketNotifier::activated, _notifier.get(), [this] { readAvailable(); });
    }

    void readAvailable()
    {
        QByteArray data;
        char piece[kReadPiece];
        bool lost = false;
        while (_fd >= 0) {
            const ssize_t n = ::read(_fd, piece, sizeof piece);
            if (n > 0) {
                data.append(piece, n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            lost = n == 0 || errno != EAGAIN;
            break;
        }
        dataArrived(data);
        if (lost)
            closedByPeer();
    }

    std::shared_ptr<Phone> _phone;
    int _fd = -1;
    std::unique_ptr<QSocketNotifier> _notifier;
    std::unique_ptr<Timer> _connect;
};

class BluetoothStackSimulated::Device : public BluetoothDevice {
public:
    Device(BluetoothStackSimulated& stack, const BluetoothAddress& address) : BluetoothDevice(stack, address) {}

    QString name() const override
    {
        const Phone* p = phone();
        return p && p->nameKnown ? p->name : QString();
    }
    quint32 classOfDevice() const override
    {
        const Phone* p = phone();
        return p ? p->classOfDevice : 0;
    }
    bool isPaired() const override
    {
        const Phone* p = phone();
        return p && p->paired;
    }
    int openConnection(int, bool authenticationRequired) override
    {
        auto owner = simulatedStack();
        if (!owner || !owner->hasAdapter() || !owner->_powered)
            return kIOReturnNoDevice;
        if (!phone())
            return bluetooth::kPageTimeout;
        Phone& p = owner->phoneFor(addressString());
        ++p.basebandOpens;
        if (!p.present)
            return bluetooth::kPageTimeout;
        if (p.basebandFailureCount > 0) {
            --p.basebandFailureCount;
            return p.basebandFailure;
        }
        if (authenticationRequired && p.paired && p.stalePairing)
            return bluetooth::kAuthenticationFailure;
        _connected = true;
        return 0;
    }
    int removePairing() override
    {
        auto owner = simulatedStack();
        if (!owner || !owner->hasAdapter())
            return kIOReturnNoDevice;
        Phone& p = owner->phoneFor(addressString());
        ++p.pairingRemovals;
        p.paired = false;
        p.stalePairing = false;
        return 0;
    }
    int closeConnection() override
    {
        _connected = false;
        return 0;
    }
    bool isConnected() const override { return _connected; }

protected:
    int startPairing() override
    {
        auto owner = simulatedStack();
        if (!owner || !owner->hasAdapter() || !owner->_powered)
            return kIOReturnNoDevice;
        Phone& p = owner->phoneFor(addressString());
        ++p.pairings;
        const std::weak_ptr<Phone> phoneRef = owner->_phones.value(address());
        const std::weak_ptr<BluetoothStackSimulated> stackRef = owner;
        _pairingStep = std::make_unique<Timer>();
        const auto finishWith = [this](int status) {
            _pairingStep->setCallback([this, status] { pairingFinished(status); });
            if (auto o = simulatedStack())
                _pairingStep->start(o->_pairingDelay);
        };
        if (!p.present) {
            finishWith(bluetooth::kPageTimeout);
            return 0;
        }
        switch (p.pairingMode) {
        case PairingMode::Succeed:
            markPaired();
            finishWith(0);
            return 0;
        case PairingMode::PageTimeout:
            finishWith(bluetooth::kPageTimeout);
            return 0;
        case PairingMode::AuthenticationFailure:
            finishWith(bluetooth::kAuthenticationFailure);
            return 0;
        case PairingMode::NeverAnswer:
            return 0;
        case PairingMode::PinCode:
        case PairingMode::Confirmation:
            break;
        }
        // The phone asks; the agent's answer decides.
        _pairingStep->setCallback([this, stackRef, phoneRef] {
            auto o = stackRef.lock();
            auto phone = phoneRef.lock();
            if (!o || !phone)
                return;
            BluetoothPairingAgent::Request request;
            request.address = address();
            request.kind = phone->pairingMode == PairingMode::PinCode ? BluetoothPairingAgent::Kind::PinCode
                                                                      : BluetoothPairingAgent::Kind::Confirmation;
            request.passkey = phone->passkey;
            _agentRequest = o->pairingAgent().open(request, [this, phoneRef](const BluetoothPairingAgent::Answer& a) {
                _agentRequest = 0;
                if (a.cancelled || !_pairingStep)
                    return;
                auto phone = phoneRef.lock();
                bool accepted = a.accepted && phone;
                if (accepted && phone->pairingMode == PairingMode::PinCode) {
                    const QString expected = phone->pinSource ? phone->pinSource() : phone->pin;
                    accepted = !expected.isEmpty() && a.pinCode == expected;
                }
                if (accepted)
                    markPaired();
                _pairingStep->setCallback(
                    [this, accepted] { pairingFinished(accepted ? 0 : bluetooth::kAuthenticationFailure); });
                if (auto o = simulatedStack())
                    _pairingStep->start(o->_pairingDelay);
            });
        });
        _pairingStep->start(owner->_pairingDelay);
        return 0;
    }
    void stopPairing() override
    {
        if (auto o = simulatedStack(); o && _agentRequest != 0)
            o->pairingAgent().cancel(std::exchange(_agentRequest, 0));
        _pairingStep.reset();
    }

    int startSdpQuery() override
    {
        auto owner = simulatedStack();
        if (!owner || !owner->hasAdapter() || !owner->_powered)
            return kIOReturnNoDevice;
        Phone& p = owner->phoneFor(addressString());
        ++p.sdpQueries;
        int status = p.present ? 0 : bluetooth::kPageTimeout;
        if (p.sdpFailureCount > 0) {
            --p.sdpFailureCount;
            status = p.sdpFailure;
        }
        const QList<SdpServiceRecord> records = p.records;
        _sdp = std::make_unique<Timer>([this, status, records] { sdpQueryFinished(status, records); });
        _sdp->start(owner->_sdpDelay);
        return 0;
    }

    int startRfcommOpen(quint8 channelID, std::shared_ptr<RfcommChannel>* channel) override
    {
        auto owner = simulatedStack();
        if (!owner || !owner->hasAdapter() || !owner->_powered)
            return kIOReturnNoDevice;
        Phone& p = owner->phoneFor(addressString());
        ++p.opens;
        int failure = p.present ? 0 : bluetooth::kPageTimeout;
        if (p.openFailureCount > 0) {
            --p.openFailureCount;
            failure = p.openFailure;
        }
        auto opened = std::make_shared<Channel>(shared_from_this(), channelID, owner->_mtu,
                                                owner->_phones.value(address()));
        opened->startConnecting(owner->_openDelay, failure, p.channels.value(channelID));
        p.openChannels.removeIf([](const std::weak_ptr<Channel>& c) { return c.expired(); });
        p.openChannels.append(opened);
        *channel = opened;
        return 0;
    }

private:
    std::shared_ptr<BluetoothStackSimulated> simulatedStack() const
    {
        return std::static_pointer_cast<BluetoothStackSimulated>(stack());
    }
    const Phone* phone() const
    {
        auto owner = simulatedStack();
        return owner ? owner->phone(address()) : nullptr;
    }

    void markPaired()
    {
        if (auto o = simulatedStack()) {
            Phone& p = o->phoneFor(addressString());
            p.paired = true;
            p.stalePairing = false;
        }
    }

    bool _connected = false;
    std::unique_ptr<Timer> _sdp;
    std::unique_ptr<Timer> _pairingStep;
    int _agentRequest = 0;
};

// An inquiry over the simulated phones: the discoverable ones in reach are
// found together, their late names half a second after, and the run ends
// after its length.
class BluetoothStackSimulated::Inquiry : public BluetoothInquiry {
public:
    explicit Inquiry(std::shared_ptr<BluetoothStackSimulated> stack) : _stack(std::move(stack)) { }

protected:
    int startSearch() override
    {
        auto owner = _stack.lock();
        if (!owner || !owner->hasAdapter() || !owner->_powered)
            return kIOReturnNoDevice;
        ++owner->_inquiries;
        int failure = 0;
        if (owner->_inquiryFailureCount > 0) {
            --owner->_inquiryFailureCount;
            failure = owner->_inquiryFailure;
        }
        const double hitDelay = owner->_inquiryHitDelay;
        const double length = std::max(owner->_inquiryLength, hitDelay + 0.5);
        _started.setCallback([this, failure] {
            searchStarted();
            if (failure != 0)
                searchEnded(failure);
        });
        _started.start(0);
        if (failure != 0)
            return 0;
        _hits.setCallback([this] { reportHits(); });
        _hits.start(hitDelay);
        _names.setCallback([this] { reportNames(); });
        _names.start(hitDelay + 0.5);
        _end.setCallback([this] { searchEnded(0); });
        _end.start(length);
        return 0;
    }
    void stopSearch() override
    {
        _started.stop();
        _hits.stop();
        _names.stop();
        _end.stop();
    }

private:
    void reportHits()
    {
        auto owner = _stack.lock();
        if (!owner)
            return;
        _late.clear();
        for (const BluetoothAddress& address : std::as_const(owner->_order)) {
            Phone* p = owner->_phones.value(address).get();
            if (!p || !p->present || !p->discoverable)
                continue;
            if (p->nameLater) {
                p->nameKnown = false;
                _late.append(address);
            }
            found(owner->deviceWithAddress(address));
            if (!isRunning())
                return;
        }
    }
    void reportNames()
    {
        auto owner = _stack.lock();
        if (!owner)
            return;
        for (const BluetoothAddress& address : std::exchange(_late, {})) {
            if (Phone* p = owner->_phones.value(address).get())
                p->nameKnown = true;
            nameLearned(owner->deviceWithAddress(address));
            if (!isRunning())
                return;
        }
    }

    std::weak_ptr<BluetoothStackSimulated> _stack;
    QList<BluetoothAddress> _late;
    Timer _started;
    Timer _hits;
    Timer _names;
    Timer _end;
};

BluetoothStackSimulated::BluetoothStackSimulated() = default;
BluetoothStackSimulated::~BluetoothStackSimulated() = default;

std::shared_ptr<BluetoothDevice> BluetoothStackSimulated::makeDevice(const BluetoothAddress& address)
{
    return std::make_shared<Device>(*this, address);
}

const BluetoothStackSimulated::Phone* BluetoothStackSimulated::phone(const BluetoothAddress& address) const
{
    const auto it = _phones.constFind(address);
    return it == _phones.constEnd() ? nullptr : it->get();
}

const BluetoothStackSimulated::Phone* BluetoothStackSimulated::phone(const QString& address) const
{
    const std::optional<BluetoothAddress> parsed = BluetoothAddress::fromString(address);
    return parsed ? phone(*parsed) : nullptr;
}

BluetoothStackSimulated::Phone& BluetoothStackSimulated::phoneFor(const QString& address)
{
    const BluetoothAddress parsed = BluetoothAddress::fromString(address).value_or(BluetoothAddress());
    std::shared_ptr<Phone>& entry = _phones[parsed];
    if (!entry) {
        entry = std::make_shared<Phone>();
        _order.append(parsed);
    }
    return *entry;
}

std::optional<int> BluetoothStackSimulated::powerState() const
{
    if (!_hasAdapter)
        return std::nullopt;
    return _powered ? bluetooth::kPowerOn : bluetooth::kPowerOff;
}

QList<std::shared_ptr<BluetoothDevice>> BluetoothStackSimulated::pairedDevices()
{
    QList<std::shared_ptr<BluetoothDevice>> paired;
    if (!_hasAdapter)
        return paired;
    for (const BluetoothAddress& address : std::as_const(_order)) {
        const Phone* p = phone(address);
        if (p && p->paired)
            paired.append(deviceWithAddress(address));
    }
    return paired;
}

std::unique_ptr<BluetoothInquiry> BluetoothStackSimulated::makeInquiry()
{
    if (!_hasAdapter)
        return nullptr;
    return std::make_unique<Inquiry>(std::static_pointer_cast<BluetoothStackSimulated>(shared_from_this()));
}

void BluetoothStackSimulated::setClassOfDevice(const QString& address, quint32 classOfDevice)
{
    phoneFor(address).classOfDevice = classOfDevice & 0xffffff;
}

void BluetoothStackSimulated::setInReach(const QString& address, bool inReach)
{
    phoneFor(address).present = inReach;
}

void BluetoothStackSimulated::setDiscoverable(const QString& address, bool discoverable)
{
    phoneFor(address).discoverable = discoverable;
}

void BluetoothStackSimulated::setNameLearnedByInquiry(const QString& address, bool later)
{
    Phone& p = phoneFor(address);
    p.nameLater = later;
    p.nameKnown = !later;
}

void BluetoothStackSimulated::setInquiryTiming(double hitDelay, double length)
{
    _inquiryHitDelay = std::max(0.0, hitDelay);
    _inquiryLength = std::max(0.0, length);
}

void BluetoothStackSimulated::failInquiries(int error, int count)
{
    _inquiryFailure = error;
    _inquiryFailureCount = count;
}

void BluetoothStackSimulated::addDevice(const QString& address, const QString& name, bool paired,
                                        const QList<SdpServiceRecord>& records, bool recordsKnown)
{
    Phone& p = phoneFor(address);
    p.name = name;
    p.paired = paired;
    p.present = true;
    p.records = records;
    if (recordsKnown) {
        if (const std::optional<BluetoothAddress> parsed = BluetoothAddress::fromString(address))
            storeRecords(*parsed, records);
    }
}

void BluetoothStackSimulated::setChannelConnector(const QString& address, quint8 channelID, Connector connector)
{
    phoneFor(address).channels.insert(channelID, std::move(connector));
}

void BluetoothStackSimulated::setChannelSocketPath(const QString& address, quint8 channelID, const QString& path)
{
    setChannelConnector(address, channelID, [path] { return connectLocalSocket(path); });
}

void BluetoothStackSimulated::failOpens(const QString& address, int status, int count)
{
    Phone& p = phoneFor(address);
    p.openFailure = status;
    p.openFailureCount = count;
}

void BluetoothStackSimulated::failSdpQueries(const QString& address, int status, int count)
{
    Phone& p = phoneFor(address);
    p.sdpFailure = status;
    p.sdpFailureCount = count;
}

void BluetoothStackSimulated::closeFromRemote(const QString& address, quint8 channelID)
{
    const QList<std::weak_ptr<Channel>> channels = phoneFor(address).openChannels;
    for (const std::weak_ptr<Channel>& weak : channels) {
        if (auto channel = weak.lock(); channel && (channelID == 0 || channel->channelID() == channelID))
            channel->remoteClose();
    }
}

void BluetoothStackSimulated::setStalePairing(const QString& address, bool stale)
{
    phoneFor(address).stalePairing = stale;
}

int BluetoothStackSimulated::pairingRemovalCount(const QString& address) const
{
    const Phone* p = phone(address);
    return p ? p->pairingRemovals : 0;
}

void BluetoothStackSimulated::setPairing(const QString& address, PairingMode mode, const QString& pin, quint32 passkey)
{
    Phone& p = phoneFor(address);
    p.pairingMode = mode;
    p.pin = pin;
    p.passkey = passkey % (BluetoothPairingAgent::kMaxPasskey + 1);
}

void BluetoothStackSimulated::setPairingPinSource(const QString& address, PinSource source)
{
    phoneFor(address).pinSource = std::move(source);
}

int BluetoothStackSimulated::pairingCount(const QString& address) const
{
    const Phone* p = phone(address);
    return p ? p->pairings : 0;
}

int BluetoothStackSimulated::sdpQueryCount(const QString& address) const
{
    const Phone* p = phone(address);
    return p ? p->sdpQueries : 0;
}

void BluetoothStackSimulated::failBasebandOpens(const QString& address, int status, int count)
{
    Phone& p = phoneFor(address);
    p.basebandFailure = status;
    p.basebandFailureCount = count;
}

int BluetoothStackSimulated::basebandOpenCount(const QString& address) const
{
    const Phone* p = phone(address);
    return p ? p->basebandOpens : 0;
}

int BluetoothStackSimulated::openCount(const QString& address) const
{
    const Phone* p = phone(address);
    return p ? p->opens : 0;
}

QList<int> BluetoothStackSimulated::writeSizes(const QString& address) const
{
    const Phone* p = phone(address);
    return p ? p->writes : QList<int>();
}

std::optional<SdpServiceRecord> BluetoothStackSimulated::recordFromJson(const QVariantMap& description)
{
    if (description.contains(QStringLiteral("sdp"))) {
        const QByteArray hex = description.value(QStringLiteral("sdp")).toString().toLatin1();
        return sdp::decodeRecord(QByteArray::fromHex(hex));
    }
    QList<BluetoothUuid> classes;
    for (const QVariant& text : description.value(QStringLiteral("uuids")).toList()) {
        const BluetoothUuid uuid = BluetoothUuid::fromString(text.toString());
        if (!uuid.isValid())
            return std::nullopt;
        classes.append(uuid);
    }
    if (classes.isEmpty())
        return std::nullopt;
    std::optional<quint8> channel;
    if (description.contains(QStringLiteral("channel"))) {
        bool ok = false;
        const int value = description.value(QStringLiteral("channel")).toInt(&ok);
        if (!ok || value < 1 || value > 255)
            return std::nullopt;
        channel = quint8(value);
    }
    return SdpServiceRecord::make(classes, description.value(QStringLiteral("name")).toString(), channel,
                                  description.value(QStringLiteral("obex")).toBool());
}

bool BluetoothStackSimulated::loadDeviceFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.size() > kMaxDeviceFileBytes) {
        if (error)
            *error = QStringLiteral("device file larger than %1 bytes").arg(kMaxDeviceFileBytes);
        return false;
    }
    return loadDevices(file.read(kMaxDeviceFileBytes), error);
}

bool BluetoothStackSimulated::loadDevices(const QByteArray& json, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject())
        return fail(parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                : QStringLiteral("not a JSON object"));
    struct Entry {
        QString address;
        QString name;
        bool paired;
        bool stalePairing;
        bool discoverable;
        bool nameLater;
        quint32 classOfDevice;
        QList<SdpServiceRecord> records;
        QMap<quint8, QString> sockets;
        std::optional<PairingMode> pairingMode;
        QString pin;
        quint32 passkey = 123456;
    };
    QList<Entry> entries;
    const QVariantList devices = document.toVariant().toMap().value(QStringLiteral("devices")).toList();
    for (const QVariant& item : devices) {
        const QVariantMap device = item.toMap();
        Entry entry;
        entry.address = device.value(QStringLiteral("address")).toString();
        if (!BluetoothAddress::fromString(entry.address))
            return fail(QStringLiteral("bad address \"%1\"").arg(entry.address));
        entry.name = device.value(QStringLiteral("name")).toString();
        entry.paired = device.value(QStringLiteral("paired")).toBool();
        entry.stalePairing = device.value(QStringLiteral("stalePairing")).toBool();
        entry.discoverable = device.value(QStringLiteral("discoverable"), true).toBool();
        entry.nameLater = device.value(QStringLiteral("nameLearnedByInquiry")).toBool();
        bool classOk = true;
        const qint64 cod = device.value(QStringLiteral("class"), 0).toLongLong(&classOk);
        if (!classOk || cod < 0 || cod > 0xffffff)
            return fail(QStringLiteral("bad class of %1").arg(entry.address));
        entry.classOfDevice = quint32(cod);
        for (const QVariant& record : device.value(QStringLiteral("records")).toList()) {
            std::optional<SdpServiceRecord> decoded = recordFromJson(record.toMap());
            if (!decoded)
                return fail(QStringLiteral("malformed record of %1").arg(entry.address));
            entry.records.append(*decoded);
        }
        if (device.contains(QStringLiteral("pairing"))) {
            static const QMap<QString, PairingMode> modes{
                {QStringLiteral("pin"), PairingMode::PinCode},
                {QStringLiteral("confirm"), PairingMode::Confirmation},
                {QStringLiteral("succeed"), PairingMode::Succeed},
                {QStringLiteral("pageTimeout"), PairingMode::PageTimeout},
                {QStringLiteral("authenticationFailure"), PairingMode::AuthenticationFailure},
                {QStringLiteral("never"), PairingMode::NeverAnswer}};
            const QVariantMap pairing = device.value(QStringLiteral("pairing")).toMap();
            const QString mode = pairing.value(QStringLiteral("mode"), QStringLiteral("pin")).toString();
            if (!modes.contains(mode))
                return fail(QStringLiteral("bad pairing mode \"%1\" of %2").arg(mode, entry.address));
            entry.pairingMode = modes.value(mode);
            entry.pin = pairing.value(QStringLiteral("pin"), QStringLiteral("0000")).toString().left(
                BluetoothPairingAgent::kMaxPinCodeLength);
            bool ok = true;
            const qint64 passkey = pairing.value(QStringLiteral("passkey"), 123456).toLongLong(&ok);
            if (!ok || passkey < 0 || passkey > BluetoothPairingAgent::kMaxPasskey)
                return fail(QStringLiteral("bad passkey of %1").arg(entry.address));
            entry.passkey = quint32(passkey);
        }
        const QVariantMap channels = device.value(QStringLiteral("channels")).toMap();
        for (auto it = channels.constBegin(); it != channels.constEnd(); ++it) {
            bool ok = false;
            const int channel = it.key().toInt(&ok);
            if (!ok || channel < 1 || channel > 255)
                return fail(QStringLiteral("bad channel \"%1\" of %2").arg(it.key(), entry.address));
            entry.sockets.insert(quint8(channel), it.value().toString());
        }
        entries.append(entry);
    }
    _powered = document.toVariant().toMap().value(QStringLiteral("powered"), true).toBool();
    for (const Entry& entry : std::as_const(entries)) {
        addDevice(entry.address, entry.name, entry.paired, entry.records, false);
        setStalePairing(entry.address, entry.stalePairing);
        setDiscoverable(entry.address, entry.discoverable);
        setNameLearnedByInquiry(entry.address, entry.nameLater);
        setClassOfDevice(entry.address, entry.classOfDevice);
        if (entry.pairingMode)
            setPairing(entry.address, *entry.pairingMode, entry.pin, entry.passkey);
        for (auto it = entry.sockets.constBegin(); it != entry.sockets.constEnd(); ++it)
            setChannelSocketPath(entry.address, it.key(), it.value());
    }
    return true;
}

} // namespace platform
