#include "links/CommonSerialConnection.h"

#include "device/MFDeviceInfo.h"
#include "links/LinkCodes.h"
#include "foundation/NamedLog.h"

#include <optional>
#include "links/BTSerialATChannel.h"
#include "links/ConnectionRegistration.h"
#include "links/MFDeviceLinkOwner.h"
#include "links/QVEmbeddedCallback.h"
#include "links/USBSerialATChannel.h"
#include "platform/Exception.h"
#include "platform/RunLoop.h"

namespace {
const QString kUnimplementedProtocolName = QStringLiteral("Unimplemented protocol error");
const QString kUnimplementedProtocolReason = QStringLiteral("### There is no serial port for connection type: '%1'");

const char* const kDialCommand = "ATD%1;\r\n";
const char* const kActivityCommand = "AT+CPAS\r\n";
const char* const kGigasetHangUpCommand = "ATH\r\n";
const char* const kHangUpCommand = "AT+CHUP\r\n";
const char* const kBatteryCommand = "AT+CBC\r\n";

const char* const kProtocolMotorola = "motorola";
const char* const kProtocolSony = "sony";
const char* const kProtocolSiemens = "siemens";

const char* const kCpas0 = "+CPAS: 0\nOK\n";
const char* const kCpas3 = "+CPAS: 3\nOK\n";
const char* const kCpas4 = "+CPAS: 4\nOK\n";
const char* const kEchoOkOk = "ATE0\nOK\nOK\n";
const char* const kEchoOk = "ATE0\nOK\n";
const char* const kOk = "OK\n";
const char* const kBusy = "BUSY\n";
const char* const kNoCarrier = "NO CARRIER\n";
const char* const kBlacklisted = "BLACKLISTED\n";
const char* const kError = "ERROR\n";
const char* const kCnip = "CNIP:";
const char* const kConnect = "CONNECT";

const char* const kBatteryEchoInit = "ATE0\nOK";
const char* const kBatteryEchoCommand = "AT+CBC\n";
const char* const kBatteryAnswer = "+CBC: ";

constexpr int kBatteryWaitPasses = 23;
constexpr int kBatteryRetryPasses = 12;
constexpr double kSonyBatteryPause = 0.33;

CommonSerialConnection::ChannelFactory& defaultChannelFactory()
{
    static CommonSerialConnection::ChannelFactory factory;
    return factory;
}

bool endsWith(const QString& text, const char* tail)
{
    return text.endsWith(QLatin1String(tail));
}

// A small scanner that skips white space and line ends before each token.
class Scanner {
public:
    explicit Scanner(const QString& text) : _text(text) {}
    bool scanString(const char* token)
    {
        skip();
        const QLatin1String t(token);
        if (!QStringView(_text).mid(_pos).startsWith(t))
            return false;
        _pos += t.size();
        return true;
    }
    bool scanInt(int* value)
    {
        skip();
        qsizetype end = _pos;
        if (end < _text.size() && (_text.at(end) == u'-' || _text.at(end) == u'+'))
            ++end;
        const qsizetype digits = end;
        while (end < _text.size() && _text.at(end).isDigit() && end - digits < 9)
            ++end;
        if (end == digits)
            return false;
        *value = QStringView(_text).mid(_pos, end - _pos).toInt();
        _pos = end;
        return true;
    }

private:
    void skip()
    {
        while (_pos < _text.size() && _text.at(_pos).isSpace())
            ++_pos;
    }
    const QString& _text;
    qsizetype _pos = 0;
};
} // namespace

void CommonSerialConnection::setDefaultChannelFactory(ChannelFactory factory)
{
    defaultChannelFactory() = std::move(factory);
}

const CommonSerialConnection::ChannelFactory& CommonSerialConnection::currentDefaultChannelFactory()
{
    return defaultChannelFactory();
}

std::unique_ptr<SerialATChannel> CommonSerialConnection::makeSerialChannel(const ChannelFactory& factory,
                                                                           const QString& connType,
                                                                           const QVariantMap& dict, bool fromWizard,
                                                                           MFDevice* device,
                                                                           SerialDelegateProtocol* delegate,
                                                                           SerialATChannel::PhoneTraits traits)
{
    const bool usb = connType == QLatin1String(kConnTypeUSBSerial);
    if (!usb && connType != QLatin1String(kConnTypeBluetooth))
        throw platform::Exception(kUnimplementedProtocolName, kUnimplementedProtocolReason.arg(connType));
    std::unique_ptr<SerialATChannel> channel;
    if (factory)
        channel = factory(connType, dict, device, delegate, traits);
    else if (usb && fromWizard)
        channel = USBSerialATChannel::withWizDict(device, dict, delegate, traits);
    else if (usb)
        channel = USBSerialATChannel::withConnectionDict(device, dict, delegate, traits);
    else
        channel = std::make_unique<BTSerialATChannel>(device, dict, delegate, traits);
    if (!channel) {
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("### [CommonSerialConnection openConnection] no %1 transport").arg(connType);
        });
    }
    return channel;
}

CommonSerialConnection::CommonSerialConnection(MFDevice* device, const MFDeviceInfo* devInfo,
                                               const QVariantMap& connectionDict, const QString& connType,
                                               SerialATChannel::PhoneTraits traits)
    : DZDeviceConnection(device, this, devInfo)
    , _connDict(connectionDict)
    , _connType(connType)
    , _channelInitString(QLatin1String(kDefaultInitString))
    , _isGigaset(traits.isGigaset)
    , _devInfo(devInfo)
    , _traits(traits)
    , _channelFactory(defaultChannelFactory())
{
}

CommonSerialConnection::CommonSerialConnection(const QVariantMap& wizDict, const QString& connType)
    : DZDeviceConnection(nullptr, this, nullptr)
    , _wizDict(wizDict)
    , _connType(connType)
    , _channelInitString(QLatin1String(kDefaultInitString))
    , _channelFactory(defaultChannelFactory())
{
}

CommonSerialConnection::CommonSerialConnection(MFDeviceLinkOwner& owner, const QVariantMap& connectionDict,
                                               SerialATChannel::PhoneTraits traits)
    : CommonSerialConnection(owner.linkDevice(), owner.linkDeviceInfo(), connectionDict, owner.connType(), traits)
{
    links::registerWithOwner(owner, QLatin1String(kConnectionName), connectionDict);
}

CommonSerialConnection::~CommonSerialConnection()
{
    QVLogWith(qvlog::kConn, [] { return QStringLiteral("-- [CommonSerialConnection dealloc]"); });
    for (const auto& step : _steps) {
        if (auto callback = step.lock())
            callback->senderIsDying();
    }
    if (_serialChannel && _serialChannel->hasConnection())
        _serialChannel->closeChannelBlocking();
}

QString CommonSerialConnection::className() const
{
    return QStringLiteral("CommonSerialConnection");
}

std::shared_ptr<QVEmbeddedCallback> CommonSerialConnection::makeStep(
    void (CommonSerialConnection::*step)(QVEmbeddedCallback&), const std::shared_ptr<QVDeviceCallback>& higher)
{
    auto callback = QVEmbeddedCallback::embeddedObject(
        this, [this, step](QVDeviceCallback& c) { (this->*step)(static_cast<QVEmbeddedCallback&>(c)); }, {},
        QVariant(), higher);
    callback->setDescriptionNames(className(), QString());
    std::erase_if(_steps, [](const std::weak_ptr<QVDeviceCallback>& s) { return s.expired(); });
    _steps.push_back(callback);
    return callback;
}

bool CommonSerialConnection::hasOpenTransportConnection() const
{
    return _serialChannel && _serialChannel->hasOpenTransportConnection();
}

int CommonSerialConnection::openConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isOpen)
        return links::kIOReturnExclusiveAccess;
    if (!_serialChannel) {
        const bool fromWizard = _connType == QLatin1String(kConnTypeUSBSerial) && !_wizDict.isEmpty();
        _serialChannel = makeSerialChannel(_channelFactory, _connType, fromWizard ? _wizDict : _connDict, fromWizard,
                                           _mfDevice, this, _traits);
        if (!_serialChannel)
            return links::kIOReturnUnsupported;
    }
    auto step = makeStep(&CommonSerialConnection::openConnectionStep2, callback);
    QVLogWith(qvlog::kConn, [] {
        return QStringLiteral("[CommonSerialConnection openConnection] will do [_serialChannel openConnection]");
    });
    const int status = _serialChannel->openConnection(step);
    if (status != 0)
        step->senderIsDying();
    return status;
}

void CommonSerialConnection::openConnectionStep2(QVEmbeddedCallback& callback)
{
    auto higher = callback.getHigherCallback();
    int status = callback.returnStatus();
    // A failed open leaves the connection closed, so that it can be opened again.
    if (status == 0) {
        _isOpen = true;
        status = performATCommandWithCallback(_channelInitString, higher);
        if (status == 0)
            return;
    }
    if (higher)
        higher->finishWithResult(status, QVariant());
}

int CommonSerialConnection::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    QVLogWith(qvlog::kConn, [&] { return QStringLiteral("-- [%1 closeConnection]").arg(className()); });
    if (!hasOpenTransportConnection()) {
        if (callback)
            callback->finishSuccessfullyInMainThread(QVariant());
        return 0;
    }
    auto step = makeStep(&CommonSerialConnection::closeConnectionStep2, callback);
    const int status = _serialChannel->closeChannelWithCallback(step);
    if (status != 0)
        step->senderIsDying();
    return status;
}

void CommonSerialConnection::closeConnectionStep2(QVEmbeddedCallback& callback)
{
    _isOpen = false;
    if (auto higher = callback.getHigherCallback())
        higher->finishWithResult(callback.returnStatus(), QVariant());
}

bool CommonSerialConnection::dataAvail() const
{
    return _serialChannel && _serialChannel->dataAvail();
}

void CommonSerialConnection::resetBuffer()
{
    if (_serialChannel)
        _serialChannel->resetBuffer();
}

int CommonSerialConnection::performATCommandWithCallback(const QString& command,
                                                         const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!_serialChannel)
        return links::kIOReturnIOError;
    auto step = makeStep(&CommonSerialConnection::atCommandSendingDone, callback);
    QVLogWith(qvlog::kXT, [&] { return QStringLiteral("sending ATString: %1").arg(command); });
    if (!_serialChannel->sendDataStrAsync(command, step)) {
        // The caller keeps its callback: the failed send's own report reaches nobody.
        step->senderIsDying();
        return links::kIOReturnIOError;
    }
    return 0;
}

void CommonSerialConnection::atCommandSendingDone(QVEmbeddedCallback& callback)
{
    auto higher = callback.getHigherCallback();
    if (!higher)
        return;
    if (callback.returnStatus() == 0 && _serialChannel)
        _serialChannel->waitForATResultAsync(higher);
    else
        higher->finishWithResult(callback.returnStatus(), QVariant());
}

bool CommonSerialConnection::sendDataStr(const QString& text)
{
    QVLogWith(qvlog::kXT, [&] { return QStringLiteral("[%1 sendDataStr] -> %2").arg(className(), text); });
    return _serialChannel && _serialChannel->sendDataStr(text);
}

bool CommonSerialConnection::sendDataAndWait(const QString& text, int passes)
{
    return _serialChannel && _serialChannel->sendDataAndWait(text, passes);
}

bool CommonSerialConnection::waitForObexAnswer(int passes)
{
    return _serialChannel && _serialChannel->waitForObexAnswer(passes);
}

bool CommonSerialConnection::waitForOkErrorConnect(int passes, bool* resultGood)
{
    return _serialChannel && _serialChannel->waitForOkErrorConnect(passes, resultGood);
}

bool CommonSerialConnection::waitForOkOrError(int passes)
{
    return _serialChannel && _serialChannel->waitForOkOrError(passes);
}

QString CommonSerialConnection::deviceProtocol() const
{
    return _devInfo ? _devInfo->deviceProtocol() : QString();
}

QString CommonSerialConnection::getDialBuffer()
{
    QString text = _serialChannel ? _serialChannel->buffer() : QString();
    text.remove(u'\r');
    text.replace(QStringLiteral("\n\n"), QStringLiteral("\n"));
    QVLogWith(qvlog::kXT, [&] { return QStringLiteral("DialBuffer = %1").arg(text); });
    return text;
}

int CommonSerialConnection::noMatch()
{
    if (_serialChannel)
        _serialChannel->setDataAvail(false);
    return kDialWait;
}

namespace {

// One line of a maker's dial-answer table: the first rule that matches the
// dial buffer gives the answer.
struct DialRule {
    enum Match { EndsWith, Contains } match;
    const char* text;
    int answer;
};

using DR = DialRule;
using C = CommonSerialConnection;

const DialRule kMotorolaRules[] = {
    {DR::EndsWith, kCpas4, C::kDialUp},      {DR::EndsWith, kCpas0, C::kDialBusy},
    {DR::EndsWith, kOk, C::kDialUp},         {DR::EndsWith, kBusy, C::kDialBusy},
    {DR::EndsWith, kNoCarrier, C::kDialNoCarrier}, {DR::EndsWith, kError, C::kDialError},
};
const DialRule kNokiaRules[] = {
    {DR::EndsWith, kCpas0, C::kDialWait},    {DR::EndsWith, kCpas3, C::kDialWait},
    {DR::EndsWith, kOk, C::kDialUp},         {DR::EndsWith, kBusy, C::kDialBusy},
    {DR::EndsWith, kNoCarrier, C::kDialNoCarrier}, {DR::EndsWith, kBlacklisted, C::kDialNoCarrier},
    {DR::EndsWith, kError, C::kDialError},
};
const DialRule kSonyEricssonRules[] = {
    {DR::EndsWith, kCpas0, C::kDialNoCarrier}, {DR::EndsWith, kCpas3, C::kDialIdle},
    {DR::EndsWith, kEchoOkOk, C::kDialIdle},   {DR::EndsWith, kCpas4, C::kDialUp},
    {DR::EndsWith, kOk, C::kDialUp},           {DR::EndsWith, kBusy, C::kDialBusy},
    {DR::EndsWith, kNoCarrier, C::kDialNoCarrier}, {DR::EndsWith, kError, C::kDialError},
};
const DialRule kSiemensRules[] = {
    {DR::Contains, kCnip, C::kDialCallerID},  {DR::EndsWith, kNoCarrier, C::kDialNoCarrier},
    {DR::EndsWith, kBusy, C::kDialBusy},      {DR::EndsWith, kError, C::kDialError},
    {DR::Contains, kConnect, C::kDialIdle},
};

template <std::size_t N>
std::optional<int> matchDialRules(const QString& text, const DialRule (&rules)[N])
{
    for (const DialRule& rule : rules) {
        const bool matches = rule.match == DialRule::EndsWith ? endsWith(text, rule.text)
                                                              : text.contains(QLatin1String(rule.text));
        if (matches)
            return rule.answer;
    }
    return std::nullopt;
}

} // namespace

int CommonSerialConnection::dialAnswer(std::optional<int> answer)
{
    return answer ? *answer : noMatch();
}

int CommonSerialConnection::dialResponseMotorola()
{
    return dialAnswer(matchDialRules(getDialBuffer(), kMotorolaRules));
}

int CommonSerialConnection::dialResponseNokia()
{
    return dialAnswer(matchDialRules(getDialBuffer(), kNokiaRules));
}

int CommonSerialConnection::dialResponseSonyEricsson()
{
    return dialAnswer(matchDialRules(getDialBuffer(), kSonyEricssonRules));
}

int CommonSerialConnection::dialResponseSiemens()
{
    return dialAnswer(matchDialRules(getDialBuffer(), kSiemensRules));
}

int CommonSerialConnection::dialResponse()
{
    if (!dataAvail())
        return kDialWait;
    const QString protocol = deviceProtocol();
    if (protocol == QLatin1String(kProtocolMotorola))
        return dialResponseMotorola();
    if (protocol == QLatin1String(kProtocolSony))
        return dialResponseSonyEricsson();
    if (protocol == QLatin1String(kProtocolSiemens))
        return dialResponseSiemens();
    return dialResponseNokia();
}

bool CommonSerialConnection::isDialString(const QString& number)
{
    // Only what a dial string may hold: a CR or ";" would end the ATD command
    // and start another one on the phone.
    static const QString kDialCharacters = QStringLiteral("0123456789*#+pPwW,");
    if (number.isEmpty())
        return false;
    for (const QChar c : number) {
        if (!kDialCharacters.contains(c))
            return false;
    }
    return true;
}

int CommonSerialConnection::dialNumber(const QString& number)
{
    if (!isDialString(number)) {
        QVLogWith(qvlog::kXT, [&] {
            return QStringLiteral("[CommonSerialConnection dialNumber] refused dial string '%1'").arg(number);
        });
        return kDialError;
    }
    resetBuffer();
    return sendDataStr(QLatin1String(kDialCommand).arg(number)) ? kDialUp : kDialNotSent;
}

int CommonSerialConnection::dialOnline()
{
    return sendDataStr(QLatin1String(kActivityCommand)) ? kDialUp : kDialNotSent;
}

int CommonSerialConnection::dialHangUp()
{
    return sendDataStr(QLatin1String(_isGigaset ? kGigasetHangUpCommand : kHangUpCommand)) ? kDialUp : kDialNotSent;
}

bool CommonSerialConnection::sendBatteryCheck()
{
    resetBuffer();
    return sendDataStr(QLatin1String(kBatteryCommand));
}

bool CommonSerialConnection::waitBatteryResponse()
{
    return doWaitBatteryResponse(deviceProtocol());
}

bool CommonSerialConnection::doWaitBatteryResponse(const QString& protocol)
{
    if (!waitForOkOrError(kBatteryWaitPasses))
        return false;
    if (protocol.startsWith(QLatin1String(kProtocolSony)) && getDialBuffer().endsWith(QLatin1String(kEchoOk))) {
        // Only the echo of the init answer came: the battery answer follows.
        // The echo is consumed, so the second wait waits for that answer.
        if (_serialChannel)
            _serialChannel->setDataAvail(false);
        platform::runloop::runFor(kSonyBatteryPause);
        return waitForOkOrError(kBatteryRetryPasses);
    }
    return true;
}

std::pair<int, int> CommonSerialConnection::batteryChargerConnection()
{
    const QString text = getDialBuffer();
    Scanner scanner(text);
    int state = -1;
    int level = -1;
    scanner.scanString(kBatteryEchoInit);
    scanner.scanString(kBatteryEchoCommand);
    if (scanner.scanString(kBatteryAnswer)) {
        if (!scanner.scanInt(&state))
            state = -1;
        else if (scanner.scanString(",") && !scanner.scanInt(&level))
            level = -1;
    }
    QVLogWith(qvlog::kConn, [&] {
        return QStringLiteral("[%1 batteryChargerConnection] reads: %2,%3").arg(className()).arg(state).arg(level);
    });
    return {state, level};
}
