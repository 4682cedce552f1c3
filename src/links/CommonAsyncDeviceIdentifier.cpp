#include "links/CommonAsyncDeviceIdentifier.h"

#include "foundation/NamedLog.h"
#include "links/ATAnswerText.h"
#include "links/BTSerialATChannel.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include <cmath>

using links::extractATAnswer;
using links::nonErrorString;

namespace {
const char* const kInitString = "ATE0\r\n";
const char* const kCgmi = "AT+CGMI";
const char* const kCgmm = "AT+CGMM";
const char* const kCgmr = "AT+CGMR";
const char* const kGmr = "AT+GMR";
const char* const kCgsn = "AT+CGSN";
const char* const kGsn = "AT+GSN";
const char* const kWppn = "AT^WPPN";
const char* const kHsmm = "AT^HSMM?";
const char* const kGigasetModel = "BRUSSELS";
const char* const kGigasetMaker = "Gigaset";
const char* const kMotorola = "Motorola";
const char* const kModelMark = "MODEL=";
const char* const kImei = "IMEI";
const char* const kSerialCharacters = "0123456789ABCDEF ";
const char* const kUnknownName = "???";
const char* const kPortName = "portName";
const char* const kUSBPortName = "USB.PortName";
constexpr double kSyncSlice = 0.1;
constexpr double kSyncMargin = 10.0;

// Late answers over the whole run of the program.
int lateAnswerCount = 0;

const char* timerTypeName(int type)
{
    switch (type) {
    case CommonAsyncDeviceIdentifier::Nothing: return "Nothing";
    case CommonAsyncDeviceIdentifier::OpenChannel: return "OpenChannel";
    case CommonAsyncDeviceIdentifier::SDPQuery: return "SDPQuery";
    case CommonAsyncDeviceIdentifier::ATCommand: return "ATCommand";
    case CommonAsyncDeviceIdentifier::CloseChannel: return "CloseChannel";
    default: return "???";
    }
}
} // namespace

CommonAsyncDeviceIdentifier::CommonAsyncDeviceIdentifier(MFDevice* device, const MFDeviceInfo* devInfo,
                                                         const QVariantMap& connectionDict, const QString& connType,
                                                         SerialATChannel::PhoneTraits traits)
    : CommonSerialConnection(device, devInfo, connectionDict, connType, traits)
{
    setChannelInitString(QLatin1String(kInitString));
}

CommonAsyncDeviceIdentifier::CommonAsyncDeviceIdentifier(const QVariantMap& wizDict, const QString& connType)
    : CommonSerialConnection(wizDict, connType)
{
    setChannelInitString(QLatin1String(kInitString));
}

CommonAsyncDeviceIdentifier* CommonAsyncDeviceIdentifier::withBTDeviceString(const QString& address)
{
    if (address.isEmpty())
        return nullptr;
    auto* identifier = new CommonAsyncDeviceIdentifier(
        nullptr, nullptr, QVariantMap{{QLatin1String(BTSerialATChannel::kAddressKey), address}},
        QLatin1String(kConnTypeBluetooth));
    if (const auto device = platform::btDeviceForAddress(address))
        identifier->_deviceNameString = device->name();
    return identifier;
}

CommonAsyncDeviceIdentifier::~CommonAsyncDeviceIdentifier()
{
    QVLogWith(qvlog::kConn, [&] {
        return QStringLiteral("-- [%1 dealloc] device <%2>  = 0x%3")
            .arg(className(), deviceName())
            .arg(quintptr(this), 8, 16, QLatin1Char('0'));
    });
    for (const auto& weak : _callbacks) {
        if (auto callback = weak.lock())
            callback->senderIsDying();
    }
}

QString CommonAsyncDeviceIdentifier::className() const
{
    return QStringLiteral("CommonAsyncDeviceIdentifier");
}

std::shared_ptr<QVDeviceCallback> CommonAsyncDeviceIdentifier::makeCallback(
    void (CommonAsyncDeviceIdentifier::*finish)(QVDeviceCallback&))
{
    auto callback = QVDeviceCallback::commandObject(
        this, [this, finish](QVDeviceCallback& c) { (this->*finish)(c); }, {});
    callback->setDescriptionNames(className(), QString());
    std::erase_if(_callbacks, [](const std::weak_ptr<QVDeviceCallback>& c) { return c.expired(); });
    _callbacks.push_back(callback);
    return callback;
}

int CommonAsyncDeviceIdentifier::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    _closeRequested = true;
    QVLogWith(qvlog::kConn, [&] { return QStringLiteral("-- [%1 closeConnection]").arg(className()); });
    return CommonSerialConnection::closeConnection(callback);
}

void CommonAsyncDeviceIdentifier::closeAndFree()
{
    if (_closeRequested)
        return;
    QVLogWith(qvlog::kConn, [&] {
        return QStringLiteral("-- closeAndFree requested for Device '%1' = 0x%2")
            .arg(deviceName())
            .arg(quintptr(this), 8, 16, QLatin1Char('0'));
    });
    _isDelegateAlive = false;
    if (hasOpenTransportConnection()) {
        const int status = closeConnection(makeCallback(&CommonAsyncDeviceIdentifier::releaseAfterClose));
        if (status == 0) {
            stopTimeOutTimer();
            startTimer(kCloseTimeOut, CloseChannel);
            return;
        }
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("### closeConnection returned 0x%1").arg(uint(status), 8, 16, QLatin1Char('0'));
        });
    }
    _closeRequested = true;
    freeLater();
}

void CommonAsyncDeviceIdentifier::releaseAfterClose(QVDeviceCallback&)
{
    QVLOG(qvlog::kConn, QStringLiteral("** autorelease in releaseAfterClose"));
    closeFinished();
}

void CommonAsyncDeviceIdentifier::closeWithNotification()
{
    const int status = closeConnection(makeCallback(&CommonAsyncDeviceIdentifier::closeFinishedCallback));
    if (status != 0) {
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("### closeConnection returned 0x%1").arg(uint(status), 8, 16, QLatin1Char('0'));
        });
        freeLater();
    }
}

void CommonAsyncDeviceIdentifier::closeFinishedCallback(QVDeviceCallback&)
{
    QVLOG(qvlog::kConn, QStringLiteral("** autorelease in closeFinished"));
    closeFinished();
}

void CommonAsyncDeviceIdentifier::closeFinished()
{
    _closeFinished = true;
    if (_timerType == CloseChannel)
        stopTimeOutTimer();
    freeLater();
}

void CommonAsyncDeviceIdentifier::freeLater()
{
    if (std::exchange(_freeScheduled, true))
        return;
    // Freed on a later pass: the caller may still be inside this object.
    platform::runloop::performOnMainThread([this] { delete this; });
}

void CommonAsyncDeviceIdentifier::delegateIsNoLongerInterested()
{
    _isDelegateAlive = false;
    setDelegate(nullptr);
    _finishTarget = nullptr;
    _finishSelector = nullptr;
}

bool CommonAsyncDeviceIdentifier::requestATCommands(const QStringList& commands, const void* requester,
                                                    FinishFunction finish)
{
    _finishTarget = requester;
    _finishSelector = std::move(finish);
    if (delegate())
        _isDelegateAlive = true;
    _requests = commands;
    _requestCount = int(commands.size());
    _actionsRequested = _requestCount + 4;
    _actionsHandled = 0;
    _isFinished = false;
    _responses.clear();
    QVLogWith(qvlog::kConn, [&] {
        return QStringLiteral("[%1 requestATCommands] begin with Device %2").arg(className(), deviceName());
    });
    const bool usb = _connType == QLatin1String(kConnTypeUSBSerial);
    startTimer(usb ? kOpenTimeOutUSB : kOpenTimeOutBluetooth, OpenChannel);
    const int status = openConnection(makeCallback(&CommonAsyncDeviceIdentifier::openFinished));
    if (status != 0) {
        stopTimeOutTimer();
        finishIdentification(status);
    }
    return true;
}

QVariantMap CommonAsyncDeviceIdentifier::requestATCommandsSync(const QStringList& commands, int* error)
{
    _syncATCommandsBusy = true;
    requestATCommands(commands, this, [](CommonAsyncDeviceIdentifier& identifier) {
        if (identifier.finishedWithATCommands() || identifier.returnStatus() != 0 || identifier.isFinished())
            identifier._syncATCommandsBusy = false;
    });
    // Every step has its own time-out; the wait only bounds their sum.
    const double limit = kOpenTimeOutBluetooth + kATCommandTimeOut * (commands.size() + 1) + kSyncMargin;
    platform::runloop::waitUntil([this] { return !_syncATCommandsBusy; }, kSyncSlice,
                                 int(std::ceil(limit / kSyncSlice)));
    if (error)
        *error = _syncATCommandsBusy ? links::kErrRequestTimeout : _returnStatus;
    _syncATCommandsBusy = false;
    return _responses;
}

void CommonAsyncDeviceIdentifier::openFinished(QVDeviceCallback& callback)
{
    if (_isFinished) {
        QVLOG(qvlog::kConn, QStringLiteral("Received Open callback which is already timed out, igore it."));
        return;
    }
    stopTimeOutTimer();
    if (callback.returnStatus() != 0) {
        finishIdentification(callback.returnStatus());
        return;
    }
    QVLogWith(qvlog::kConn, [&] { return QStringLiteral("[%1 openFinished] successfully").arg(className()); });
    ++_actionsHandled;
    if (!_isDelegateAlive) {
        finishIdentification(links::kErrRequesterGone);
        return;
    }
    displayStateInfo();
    if (_isFinished)
        return;
    _nextRequestTimer = std::make_unique<platform::Timer>([this] { processNextRequest(); });
    _nextRequestTimer->start(kFirstRequestDelay);
}

void CommonAsyncDeviceIdentifier::processNextRequest()
{
    if (_isFinished)
        return;
    if (!_isDelegateAlive) {
        finishIdentification(links::kErrRequesterGone);
        return;
    }
    if (_requests.isEmpty()) {
        finishIdentification(0);
        return;
    }
    resetBuffer();
    _curRequest = _requests.first();
    const QString command = *_curRequest + QStringLiteral("\r\n");
    QVLogWith(qvlog::kXT, [&] { return QStringLiteral("---> AT command: %1").arg(*_curRequest); });
    _curATCallback = makeCallback(&CommonAsyncDeviceIdentifier::requestFinished);
    startTimer(kATCommandTimeOut, ATCommand);
    _requests.removeFirst();
    const int status = performATCommandWithCallback(command, _curATCallback);
    if (status != 0) {
        QVLogWith(qvlog::kConn,
                  [&] { return QStringLiteral("performATCommandWithCallback for %1 failed").arg(*_curRequest); });
        stopTimeOutTimer();
        _curATCallback.reset();
        finishIdentification(status);
    }
}

void CommonAsyncDeviceIdentifier::requestFinished(QVDeviceCallback& callback)
{
    const QString text = callback.resultObject().toString();
    if (_isFinished || !_curRequest) {
        // An answer after its command was dealt with (its time-out ended the
        // run): kept with the answers, nothing more.
        const QString answer = extractATAnswer(text);
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("[%1 requestFinished] received data for a time out AT command.\nResult = %2")
                .arg(className(), answer);
        });
        if (callback.returnStatus() == 0 && !text.isEmpty()) {
            const QString key = _curRequest && _isFinished
                ? *_curRequest
                : QStringLiteral("<timeOutRequest %1").arg(lateAnswerCount++);
            _responses.insert(key, answer);
        }
        return;
    }
    stopTimeOutTimer();
    _curATCallback.reset();
    if (callback.returnStatus() != 0) {
        finishIdentification(callback.returnStatus());
        return;
    }
    ++_actionsHandled;
    QVLogWith(qvlog::kXT, [&] { return QStringLiteral("<--- Response: %1").arg(text); });
    const QString request = *_curRequest;
    if (!text.isEmpty()) {
        const QString answer = extractATAnswer(text);
        _responses.insert(request, answer);
        platform::NotificationCenter::defaultCenter().post(
            QLatin1String(kProcessedATCommandNotify), this,
            {{QLatin1String(kKeyRequest), request},
             {QLatin1String(kKeyAnswer), answer},
             {QLatin1String(kKeyIndex), int(_requestCount - _requests.size())},
             {QLatin1String(kKeyMaxIndex), _requestCount}});
        if (request.compare(QLatin1String(kCgmm), Qt::CaseInsensitive) == 0 && answer == QLatin1String(kGigasetModel)) {
            setIsGigaset(true);
            QVLOG(qvlog::kConn, QStringLiteral("Identified as Gigaset handset"));
        }
        if (isGigaset() && request.compare(QLatin1String(kCgmr), Qt::CaseInsensitive) == 0) {
            _requests.prepend(QLatin1String(kHsmm));
            ++_requestCount;
        }
        if (isGigaset() && request.compare(QLatin1String(kWppn), Qt::CaseInsensitive) == 0)
            _deviceIdentification.clear();
    }
    if (_isFinished)
        return;   // the notification's observer ended the run
    _curRequest.reset();
    if (_requests.isEmpty()) {
        QVLOG(qvlog::kConn,
              QStringLiteral("[CommonAsyncDeviceIdetifier requestFinished] we are finishedWithATCommands"));
        finishIdentification(0);
        return;
    }
    QVLogWith(qvlog::kConn, [&] {
        return QStringLiteral("[CommonAsyncDeviceIdetifier requestFinished] performSelector nextRequest (%1")
            .arg(_requests.size());
    });
    _nextRequestTimer = std::make_unique<platform::Timer>([this] { processNextRequest(); });
    _nextRequestTimer->start(kNextRequestDelay);
}

void CommonAsyncDeviceIdentifier::finishIdentification(int status)
{
    if (_isFinished)
        return;
    _returnStatus = status;
    _isFinished = true;
    _nextRequestTimer.reset();
    if (_timerType != CloseChannel)
        stopTimeOutTimer();
    if (_finishSelector && _isDelegateAlive) {
        // The requester reads the results and then calls closeAndFree().
        FinishFunction finish = _finishSelector;
        finish(*this);
        return;
    }
    closeAndFree();
}

void CommonAsyncDeviceIdentifier::displayStateInfo()
{
    if (_finishSelector && _isDelegateAlive && !_isFinished) {
        FinishFunction finish = _finishSelector;
        finish(*this);
    }
}

double CommonAsyncDeviceIdentifier::percentDone() const
{
    if (_actionsRequested == 0)
        return 100.0;
    return _actionsHandled * 100.0 / _actionsRequested;
}

void CommonAsyncDeviceIdentifier::startTimer(double seconds, TimerType type)
{
    if (_timeOutTimer) {
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("************* FATAL Problem: [%1 startTimer] [Type = %2]: _timeOutTimer is not nil! "
                                  "*************")
                .arg(className(), QLatin1String(timerTypeName(type)));
        });
        return;
    }
    QVLogWith(qvlog::kConn, [&] {
        return QStringLiteral("[%1 startTimer] [Type = %2] with Timeout of %3")
            .arg(className(), QLatin1String(timerTypeName(type)))
            .arg(seconds, 0, 'f', 6);
    });
    _timerType = type;
    _timeOutTimer = std::make_unique<platform::Timer>([this] { myTimeOutFireMethod(); });
    _timeOutTimer->start(seconds);
}

void CommonAsyncDeviceIdentifier::stopTimeOutTimer()
{
    if (!_timeOutTimer) {
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("************* SMALL Problem: [%1 stopTimeOutTimer]: _timeOutTimer is nil! "
                                  "*************")
                .arg(className());
        });
        return;
    }
    _timeOutTimer.reset();
    _timerType = Nothing;
    QVLogWith(qvlog::kConn, [&] { return QStringLiteral("[%1 stopTimeOutTimer]").arg(className()); });
}

void CommonAsyncDeviceIdentifier::myTimeOutFireMethod()
{
    QVLogWith(qvlog::kConn,
              [&] { return QStringLiteral("######## TIMEOUT (%1 myTimeOutFireMethod] ##########").arg(className()); });
    const TimerType type = _timerType;
    // The timer is freed on a later pass: this call runs inside it.
    platform::runloop::performOnMainThread([timer = std::shared_ptr<platform::Timer>(std::move(_timeOutTimer))] {});
    _timerType = Nothing;
    const QString name = deviceName();
    switch (type) {
    case OpenChannel:
    case SDPQuery:
        QVLogWith(qvlog::kConn, [&] {
            return type == OpenChannel
                ? QStringLiteral("######## while OpenChannel for Device <%1> ##########").arg(name)
                : QStringLiteral("######## while SDPQuery  for Device <%1> ##########").arg(name);
        });
        finishIdentification(links::kErrRequestTimeout);
        return;
    case ATCommand:
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("######## while Send/Receive AT command  for Device <%1> ##########").arg(name);
        });
        if (auto callback = _curATCallback)
            callback->finishWithResult(links::kErrRequestTimeout, QVariant());
        else
            finishIdentification(links::kErrRequestTimeout);
        return;
    case CloseChannel:
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("######## while CloseChannel  for Device <%1> ##########").arg(name);
        });
        closeFinished();
        return;
    default:
        QVLogWith(qvlog::kConn,
                  [&] { return QStringLiteral("######## __unknow type__  for Device <%1> ##########").arg(name); });
        return;
    }
}

QString CommonAsyncDeviceIdentifier::answerFor(const char* command) const
{
    return nonErrorString(_responses.value(QLatin1String(command)).toString());
}

QString CommonAsyncDeviceIdentifier::makeDeviceIdentifierFromResponse()
{
    QString maker = answerFor(kCgmi);
    QString model = answerFor(kCgmm);
    if (maker.compare(QLatin1String(kMotorola), Qt::CaseInsensitive) == 0) {
        const qsizetype mark = model.indexOf(QLatin1String(kModelMark));
        if (mark >= 0) {
            const qsizetype quote = model.indexOf(u'"', mark);
            model = model.mid(mark, quote < 0 ? -1 : quote - mark);
        }
    }
    const QString wppn = answerFor(kWppn);
    const qsizetype comma = wppn.indexOf(u',');
    if (comma >= 0 && comma < wppn.size() - 1) {
        maker = QLatin1String(kGigasetMaker);
        model = wppn.mid(comma + 1);
    }
    if (maker.isEmpty() || model.isEmpty())
        return QString();
    _company = maker;
    _modelName = model;
    return maker + u'+' + model;
}

QString CommonAsyncDeviceIdentifier::identifyDevice()
{
    if (!finishedWithATCommands() || _responses.isEmpty())
        return QString();
    if (_deviceIdentification.isEmpty()) {
        _deviceIdentification = makeDeviceIdentifierFromResponse();
        if (_serialNumber.isEmpty())
            _serialNumber = makeSerialNumberFromResponse();
    }
    return _deviceIdentification;
}

QString CommonAsyncDeviceIdentifier::deviceIdentification()
{
    return identifyDevice();
}

QString CommonAsyncDeviceIdentifier::makeSerialNumberFromResponse()
{
    QString serial = answerFor(kCgsn);
    if (serial.isEmpty())
        serial = answerFor(kGsn);
    if (serial.isEmpty())
        return QLatin1String(kNoSerialNumber);
    if (serial.startsWith(QLatin1String(kImei)) && serial.size() > qsizetype(qstrlen(kImei)))
        return serial.mid(qsizetype(qstrlen(kImei)));
    const QLatin1String allowed(kSerialCharacters);
    qsizetype end = 0;
    while (end < serial.size() && allowed.contains(serial.at(end)))
        ++end;
    return end == 0 ? QLatin1String(kNoSerialNumber) : serial.left(end);
}

QString CommonAsyncDeviceIdentifier::getSerialNumber()
{
    if (_serialNumber.isEmpty()) {
        _serialNumber = answerFor(kCgsn);
        if (_serialNumber.isEmpty())
            _serialNumber = answerFor(kGsn);
    }
    return _serialNumber;
}

QString CommonAsyncDeviceIdentifier::swRevision()
{
    if (_swRevision.isEmpty()) {
        _swRevision = answerFor(kCgmr);
        if (_swRevision.isEmpty())
            _swRevision = answerFor(kGmr);
        if (_swRevision.isEmpty())
            _swRevision = QStringLiteral("");
    }
    return _swRevision;
}

QString CommonAsyncDeviceIdentifier::deviceName()
{
    if (!_deviceNameString.isEmpty())
        return _deviceNameString;
    if (_modelName.isEmpty() && !_responses.isEmpty())
        makeDeviceIdentifierFromResponse();
    if (!_modelName.isEmpty())
        return _modelName;
    for (const char* key : {"Wizard.ModelName", "product", "vendor"}) {
        const QString value = _wizDict.value(QLatin1String(key)).toString();
        if (!value.isEmpty())
            return value;
    }
    return QLatin1String(kUnknownName);
}

QString CommonAsyncDeviceIdentifier::btAddressString() const
{
    return _connDict.value(QLatin1String(BTSerialATChannel::kAddressKey)).toString();
}

QString CommonAsyncDeviceIdentifier::portName() const
{
    if (!_wizDict.isEmpty())
        return _wizDict.value(QLatin1String(kPortName)).toString();
    return _connDict.value(QLatin1String(kUSBPortName)).toString();
}

bool CommonAsyncDeviceIdentifier::getAdditionalInformation(int* error)
{
    if (_connType != QLatin1String(kConnTypeBluetooth))
        return true;
    if (error)
        *error = 0;
    const auto device = platform::btDeviceForAddress(btAddressString());
    if (!device)
        return false;
    _channelID = platform::kNoRfcommChannel;
    const auto takeService = [&](const platform::SdpServiceRecord& record, const QString& fallbackName) {
        _deviceServiceString = record.serviceName().isEmpty() ? fallbackName : record.serviceName();
        const std::optional<quint8> channel = record.rfcommChannelID();
        if (!channel) {
            if (error)
                *error = links::kIOReturnError;
            return false;
        }
        _channelID = *channel;
        return true;
    };
    if (const auto pcSuite = device->serviceRecordForUuid(
            platform::BluetoothUuid::fromString(QLatin1String(platform::kPCSuiteServiceUuid)))) {
        if (!takeService(*pcSuite, QString()))
            return false;
        _isNokiaPCSuite = true;
    } else if (const auto ftp = device->serviceRecordForUuid(
                   platform::BluetoothUuid::uuid16(platform::kObexFileTransferUuid))) {
        if (!takeService(*ftp, QLatin1String(kNoServiceName)))
            return false;
    }
    _objectPushChannelID = platform::obexObjectPushChannel(*device);
    _syncMLChannelID = platform::syncMLChannel(*device);
    return true;
}
