#include "kestrova/core/SLTStateMachine.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/SLTBSDSerialCommDevice.h"
#include "kestrova/core/SLTRFCommDevice.h"
#include "platform/HexDump.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

#include <QFileInfo>
#include <algorithm>
#include <utility>

using namespace kestrova::core;
using kestrova::kitLog;
using kestrova::kitLogWith;

namespace {

// The LG port's answers.
const QByteArray kDisconnectFrame = QByteArray::fromHex("FF7DDF00F20000000800" "7E");
const QByteArray kBusyShort = QByteArray::fromHex("C00003");
const QByteArray kBusyFrame = QByteArray::fromHex("FF7DDF00C30000000800" "7E");
constexpr char kFrameStart = char(0xFF);
constexpr char kFrameEnd = char(0x7E);
constexpr int kLgHeaderLength = 6;
constexpr quint8 kPacketOperation = 0x83;
constexpr quint8 kPutOperation = 0x82;
constexpr quint8 kPacketHeaderId = 0x70;
constexpr quint8 kPutHeaderId = 0x49;

const QString kCommandOk = QStringLiteral("OK\r\n");
const QString kLgAppEcho = QStringLiteral("at$lgapp=1\r");

// The longest text looked for, less one: a match may begin this far before
// the text that is new since the last look.
constexpr qsizetype kPatternOverlap = 13;

// Removes, one at a time, every complete line that begins with marker (from
// its "\r\n" up to and including the next "\r\n"), looking from from on; a
// line whose end has not arrived stays. Answers where such an unfinished line
// begins, or -1.
qsizetype removeLinesStartingWith(QString& text, QLatin1String marker, qsizetype from)
{
    for (;;) {
        const qsizetype start = text.indexOf(marker, from, Qt::CaseInsensitive);
        if (start < 0)
            return -1;
        const qsizetype end = text.indexOf(QLatin1String("\r\n"), start + marker.size());
        if (end < 0)
            return start;
        text.remove(start, end + 2 - start);
        from = start;
    }
}

// Longer logged texts are cut here, so a log line never grows with the reply.
constexpr qsizetype kLoggedBytes = 64 * 1024;

QString loggedText(const QString& text)
{
    if (text.size() <= kLoggedBytes)
        return text;
    return text.left(kLoggedBytes) + QStringLiteral("... (%1 characters)").arg(text.size());
}

QString loggedDump(const QByteArray& bytes)
{
    if (bytes.size() <= kLoggedBytes)
        return platform::hexdump::formatted(bytes);
    return platform::hexdump::formatted(bytes.left(kLoggedBytes)) + QStringLiteral("...");
}

// The AT text of the requested states that send a fixed command.
QString fixedCommand(int requested)
{
    switch (requested) {
    case 11: return QStringLiteral("AT+CIMI\r");
    case 12: return QStringLiteral("AT+CSCA?\r");
    case 14: return QStringLiteral("AT+CPMS=?\r");
    case 15: return QStringLiteral("AT+CMGL=0\r");
    case 16: return QStringLiteral("AT+CMGL=1\r");
    case 17: return QStringLiteral("AT+CMGL=2\r");
    case 18: return QStringLiteral("AT+CMGL=3\r");
    case 19: return QStringLiteral("AT+CPMS=\"MT\"\r");
    case 20: return QStringLiteral("AT+CPMS=\"SM\"\r");
    case 21: return QStringLiteral("AT+CPMS=\"ME\"\r");
    case 22: return QStringLiteral("AT+CMGF=0\r");
    case 23: return QStringLiteral("AT+CPMS?\r");
    case 29: return QStringLiteral("AT+CPBS=\"SM\"\r");
    case 30: return QStringLiteral("AT+CPBR=?\r");
    case 31: return QStringLiteral("AT+CSCS?\r");
    case 34: return QStringLiteral("AT+CSCS=?\r");
    case 37: return QStringLiteral("AT\r");
    case 40: return QStringLiteral("AT+CPBS=\"ME\"\r");
    default: return QString();
    }
}

const QString kPlainAT = QStringLiteral("AT\r");

} // namespace

SLTStateMachine::SLTStateMachine()
    : _fireEndOfSimpleCommand([this] { simpleAnswerTimerFired(); })
    , _fireCommandTimeout([this] { commandTimedOut(); })
    , _reportTimer([this] { reportState(); })
{
}

SLTStateMachine::~SLTStateMachine()
{
    if (_commDevice) {
        // Nobody is told any more: neither this machine nor the kit's
        // callback, which may be gone already.
        _commDevice->setDelegate(nullptr);
        _commDevice->setWillCloseCallback(nullptr);
        _commDevice->close();
        releaseCommDevice();
    }
}

void SLTStateMachine::setFamily(const QString& family)
{
    _family = family;
    if (_commDevice)
        _commDevice->setFamily(family);
}

QString SLTStateMachine::buffer() const
{
    return _commDevice ? _commDevice->buffer() : QString();
}

QByteArray SLTStateMachine::rawBuffer() const
{
    return _commDevice ? _commDevice->rawBuffer() : QByteArray();
}

void SLTStateMachine::setState(int state, bool force)
{
    _awaitingReply = false;
    _fireEndOfSimpleCommand.stop();
    _fireCommandTimeout.stop();
    _state = state;
    if (force) {
        _reportTimer.stop();
        reportState();
    } else {
        _reportTimer.start(0);
    }
}

void SLTStateMachine::reportState()
{
    if (_delegate)
        _delegate->machineStateChanged(this);
}

void SLTStateMachine::fullStop()
{
    _reportTimer.stop();
    _waitTimer.stop();
    _fireEndOfSimpleCommand.stop();
    _fireCommandTimeout.stop();
    if (_commDevice) {
        _commDevice->setDelegate(nullptr);
        _commDevice->close();
        releaseCommDevice();
    }
    _awaitingReply = false;
    _requestedState = 0;
    _state = 0;
    _lgCarry.clear();
}

void SLTStateMachine::releaseCommDevice()
{
    if (!_commDevice)
        return;
    _commDevice->setDelegate(nullptr);
    // The transport may be the caller (a close reported from inside its own
    // call): it goes on a later pass of the event loop.
    std::shared_ptr<MultiCommDevice> released(std::move(_commDevice));
    platform::runloop::performOnMainThread([released] {});
}

std::unique_ptr<MultiCommDevice> SLTStateMachine::createCommDevice()
{
    switch (_deviceType) {
    case kDeviceTypeSerial:
        if (_filename.isEmpty() || !QFileInfo::exists(_filename))
            return nullptr;
        return SLTBSDSerialCommDevice::initWithBSDFullPath(_filename);
    case kDeviceTypeBluetooth:
        if (_deviceAddress.isEmpty())
            return nullptr;
        return SLTRFCommDevice::initWithDeviceAddress(_deviceAddress,
                                                      _family == QLatin1String("lg2") ? kLgServiceUUID : 0);
    default:
        return nullptr;
    }
}

void SLTStateMachine::requestState(int requested, const QVariant& customCommand)
{
    QString text;
    QByteArray frame;
    bool nextPart = false;
    if (customCommand.typeId() == QMetaType::QString) {
        text = customCommand.toString();
    } else if (customCommand.typeId() == QMetaType::QByteArray && customCommand.toByteArray().isEmpty()
               && requested == 44 && isLgFamily(_family)) {
        // Empty LG frame data sends nothing: it waits for the next part of a
        // reply that the phone sends in several frames.
        nextPart = true;
    } else if (customCommand.typeId() == QMetaType::QByteArray) {
        frame = prepareDataCommand(customCommand.toByteArray(), requested == 52);
        if (frame.size() > kMaxFrameBytes) {
            kitLogWith([&] { return QStringLiteral("SLTStateMachine: frame of %1 bytes refused").arg(frame.size()); });
            setState(kStateRefused);
            return;
        }
    } else if (customCommand.isValid()) {
        setState(kStateRefused);
        return;
    }
    kitLogWith([&] { return QStringLiteral("SLTStateMachine - requestedState: %1").arg(requested); });
    kitLogWith([&] { return QStringLiteral("SLTStateMachine - currentState: %1").arg(_state); });
    kitLog("SLTStateMachine - performing command ...");

    _simpleAnswer = false;
    _hexCommand = false;
    _lgAppPortWaitForOk = false;
    _requestedState = requested;
    startCommandTimer();

    switch (requested) {
    case 0:
        closeLink();
        return;
    case 1:
        connectLink();
        return;
    case 3:
        runInit();
        return;
    case 5:
        if (!_commDevice) {
            setState(kStateConnectionError);
            return;
        }
        _commDevice->reset();
        // The last reply went out with its report: its bytes go too (a
        // large listing is not kept while it is decoded).
        _commDevice->setRawBuffer(QByteArray());
        setState(kStateConnected);
        _requestedState = kStateConnected;
        return;
    case 13: case 24: case 25: case 26: case 32: case 33: case 35: case 36: case 38:
        if (text.isNull()) {
            setState(kStateRefused);
            return;
        }
        sendText(text);
        return;
    case 14:
        // The pause before the storage query keeps the order without holding
        // the event loop.
        _waitTimer.setCallback([this] { sendText(fixedCommand(14)); });
        _waitTimer.start(kStoragePauseSeconds);
        return;
    case 11: case 12: case 15: case 16: case 17: case 18: case 19: case 20: case 21: case 22: case 23:
    case 29: case 30: case 31: case 34: case 37: case 40:
        sendText(fixedCommand(requested));
        return;
    case 27:
        _timeoutValue = kLongTimeoutSeconds;
        waitThenSucceed(3.0);
        return;
    case 28: case 50:
        _timeoutValue = kDefaultTimeoutSeconds;
        waitThenSucceed(3.0);
        return;
    case 48:
        waitThenSucceed(3.0);
        return;
    case 46:
        waitThenSucceed(1.0);
        return;
    case 47:
        waitThenSucceed(2.0);
        return;
    case 42:
        sendText(text.isNull() ? kPlainAT : text);
        return;
    case 43:
        _simpleAnswer = true;
        _fireEndOfSimpleCommand.start(kSimpleAnswerSeconds);
        if (!text.isNull())
            sendText(text);
        else if (!frame.isNull())
            sendFrame(frame);
        else
            sendText(kPlainAT);
        return;
    case 44: case 52:
        if (nextPart) {
            awaitNextPart();
            return;
        }
        if (frame.isNull()) {
            sendText(kPlainAT);
            return;
        }
        _hexCommand = true;
        sendFrame(frame);
        return;
    case 45:
        _lgAppPortWaitForOk = true;
        _lgAppPortWaitForOkHex = true;
        sendText(QStringLiteral("at$lgapp=1\r"));
        return;
    case 49:
        if (frame.isNull()) {
            setState(kStateRefused);
            return;
        }
        _lgAppPortWaitForOkHex = true;
        _hexCommand = true;
        sendFrame(frame);
        return;
    default:
        setState(kStateRefused);
        return;
    }
}

void SLTStateMachine::startCommandTimer()
{
    _fireCommandTimeout.start(_timeoutValue);
}

void SLTStateMachine::waitThenSucceed(double seconds)
{
    _waitTimer.setCallback([this] { setState(kStateCommandDone); });
    _waitTimer.start(seconds);
}

bool SLTStateMachine::beginSend()
{
    _lgCarry.clear();
    if (!_commDevice) {
        setState(kStateConnectionError);
        return false;
    }
    _awaitingReply = true;
    _checkedLength = 0;
    return true;
}

void SLTStateMachine::awaitNextPart()
{
    // What came after the last reply is the start of this one.
    const QByteArray carried = std::exchange(_lgCarry, QByteArray());
    if (!beginSend())
        return;
    _hexCommand = true;
    _commDevice->setRawBuffer(carried);
    _commDevice->setBuffer(QString::fromLatin1(carried));
    if (carried.isEmpty()) {
        _commDevice->goOnReading();
        return;
    }
    _waitTimer.setCallback([this] {
        if (_commDevice && _awaitingReply)
            sltGeneralCommDeviceBufferFilled(_commDevice.get(), QString());
    });
    _waitTimer.start(0);
}

void SLTStateMachine::sendText(const QString& text)
{
    if (beginSend())
        _commDevice->sendCommand(text);
}

void SLTStateMachine::sendFrame(const QByteArray& frame)
{
    if (beginSend())
        _commDevice->sendDataCommand(frame);
}

void SLTStateMachine::connectLink()
{
    if (!_commDevice)
        _commDevice = createCommDevice();
    if (!_commDevice) {
        kitLog("SLTStateMachine: no transport for the connection");
        setState(kStateConnectionError);
        return;
    }
    _commDevice->setDelegate(this);
    _commDevice->setFamily(_family);
    // A new link waits for nothing the last one asked.
    _lgAppPortWaitForOkHex = false;
    _lgInit = _family == QLatin1String("lg2");
    _commDevice->openConnection();
    setState(kStateOpening);
}

void SLTStateMachine::runInit()
{
    kitLog("SLTStateMachine: starting init");
    if (_family == QLatin1String("lg2")) {
        setState(kStateConnected);
        return;
    }
    if (!_commDevice) {
        setState(kStateConnectionError);
        return;
    }
    _commDevice->setWillCloseCallback(_willCloseCallback);
    if (isLgFamily(_family)) {
        setState(kStateConnected);
        return;
    }
    startCommandTimer();
    const QString init = _commDevice->initString();
    sendText(init.isNull() ? QStringLiteral("ATE0\r") : init);
}

void SLTStateMachine::closeLink()
{
    kitLog("SLTStateMachine: closing Connection ...");
    _lgCarry.clear();
    if (_commDevice)
        _commDevice->close();
    setState(kStateClosed);
    kitLog("SLTStateMachine: closing Connection, done");
}

void SLTStateMachine::commandTimedOut()
{
    sltGeneralCommDeviceTimeout(_commDevice.get());
}

void SLTStateMachine::simpleAnswerTimerFired()
{
    kitLog("simpleCommandTimer fired");
    if (_commDevice)
        sltGeneralCommDeviceBufferFilled(_commDevice.get(), QString());
}

void SLTStateMachine::commandSuccessful()
{
    if (_requestedState == 5)
        return;
    if (_requestedState == 25) {
        if (_commDevice)
            _commDevice->reset();
        setState(kStateCommandDone);
        return;
    }
    setState(_state == kStateOpening ? kStateConnected : kStateCommandDone);
}

// Transport messages.

void SLTStateMachine::sltGeneralCommDeviceOpenSuccessful(MultiCommDevice*)
{
    kitLog("StateMachine open successful");
    runInit();
}

void SLTStateMachine::sltGeneralCommDeviceOpenFailed(MultiCommDevice*)
{
    if (_commDevice) {
        _commDevice->setDelegate(nullptr);
        _commDevice->close();
        releaseCommDevice();
    }
    setState(kStateConnectionError);
    kitLog("StateMachine connection error 2, open failed");
}

void SLTStateMachine::sltGeneralCommDeviceConnectionClosed(MultiCommDevice*)
{
    if (_requestedState != 0)
        setState(kStateConnectionClosed);
    else
        releaseCommDevice();
}

void SLTStateMachine::sltGeneralCommDeviceTimeout(MultiCommDevice*)
{
    if (_lgAppPortWaitForOk || _lgAppPortWaitForOkHex)
        setState(kStateLgPortBusy);
    else if (_state != 0 && _requestedState != 0)
        setState(kStateTimeout);
    kitLog("StateMachine timeout");
}

void SLTStateMachine::sltGeneralCommDeviceCommandError(MultiCommDevice*)
{
    // The transport lost the byte stream (a read or write failed, or more
    // came than a buffer holds): what follows belongs to no command, so the
    // link closes with the error.
    _lgCarry.clear();
    if (_commDevice) {
        _commDevice->setDelegate(nullptr);
        _commDevice->close();
        releaseCommDevice();
    }
    setState(kStateCommandError);
    kitLog("StateMachine read error, link closed");
}

void SLTStateMachine::carryUnaskedBytes(qsizetype count)
{
    if (_lgCarry.size() + count > MultiCommDevice::kMaxBufferedBytes) {
        kitLogWith([&] {
            return QStringLiteral("SLTStateMachine: more than %1 bytes came while no command waited, dropped")
                .arg(MultiCommDevice::kMaxBufferedBytes);
        });
        sltGeneralCommDeviceCommandError(_commDevice.get());
        return;
    }
    _lgCarry += _commDevice->takeReceivedTail(count);
}

void SLTStateMachine::sltGeneralCommDeviceBufferFilled(MultiCommDevice*, const QString& chunk)
{
    // Bytes while no command waits for its reply (an unsolicited line
    // between commands) answer nothing; the next command clears them.
    if (!_awaitingReply) {
        // LG frames that follow a finished reply (the next part of an entry)
        // wait for the command that asks for them; the finished reply stays
        // as it was.
        if (isLgFamily(_family) && _commDevice && !chunk.isEmpty())
            carryUnaskedBytes(chunk.size());
        return;
    }
    switch (validateBuffer()) {
    case kReplyComplete:
    case kReplyPrompt:
        commandSuccessful();
        return;
    case kReplyPortBusy:
        setState(kStateLgPortBusy, true);
        kitLogWith([&] { return QStringLiteral("StateMachine lg app conflict error: %1").arg(chunk); });
        return;
    case kReplyError:
        setState(kStateCommandError, true);
        kitLogWith([&] { return QStringLiteral("StateMachine command error: %1").arg(chunk); });
        return;
    default:
        if (_commDevice)
            _commDevice->goOnReading();
        return;
    }
}

// Reply validation.

int SLTStateMachine::validateBuffer()
{
    if (!_commDevice)
        return kReplyIncomplete;
    if (_hexCommand || _lgAppPortWaitForOk || _lgAppPortWaitForOkHex)
        return validateRawBuffer();
    return validateStringBuffer();
}

int SLTStateMachine::validateStringBuffer()
{
    QString text = _commDevice->buffer();
    if (!text.isEmpty())
        kitLogWith([&] { return QStringLiteral("SLTStateMachine: gelesene StringDaten: %1").arg(loggedText(text)); });
    if (_simpleAnswer)
        return _fireEndOfSimpleCommand.isActive() ? kReplyIncomplete : kReplyComplete;
    // The buffer shrank (edited by its owner): look at all of it again.
    if (text.size() < _checkedLength)
        _checkedLength = 0;
    const qsizetype before = text.size();
    const int result = validateStringReply(text, _requestedState == 1, &_checkedLength);
    if (text.size() != before)
        _commDevice->setBuffer(text);
    return result;
}

int SLTStateMachine::validateStringReply(QString& text, bool connecting, qsizetype* checkedLength)
{
    if (text.isEmpty() && connecting)
        return kReplyComplete;
    // What was looked at before holds none of the texts looked for (or the
    // reply would have ended), so only the new part is searched.
    const qsizetype from = checkedLength ? std::max<qsizetype>(0, *checkedLength - kPatternOverlap) : 0;
    const qsizetype unfinishedCaret = removeLinesStartingWith(text, QLatin1String("\r\n^"), from);
    const qsizetype unfinishedCmti = removeLinesStartingWith(text, QLatin1String("\r\n+CMTI:"), from);
    if (checkedLength) {
        qsizetype checked = text.size();
        for (const qsizetype unfinished : {unfinishedCaret, unfinishedCmti}) {
            if (unfinished >= 0)
                checked = std::min(checked, unfinished);
        }
        *checkedLength = checked;
    }
    if (text.endsWith(kCommandOk))
        return kReplyComplete;
    for (const char* failure : {"ERROR\r\n", "\r\n+CMS ERROR", "\r\n+CME ERROR", "\r\n+NO CARRIER"}) {
        if (text.indexOf(QLatin1String(failure), from) >= 0)
            return kReplyError;
    }
    if (text.indexOf(QLatin1String("\r\n>"), from) >= 0 || text.endsWith(QLatin1String("> ")))
        return kReplyPrompt;
    return kReplyIncomplete;
}

int SLTStateMachine::validateRawBuffer()
{
    const QByteArray raw = _commDevice->rawBuffer();
    kitLogWith([&] {
        return QStringLiteral("gelesene RawDaten (0x%1 Bytes): \n%2")
            .arg(raw.size(), 0, 16)
            .arg(loggedDump(raw));
    });
    if (isPacketFamily(_family)) {
        int result = kReplyIncomplete;
        QByteArray reply = raw;
        const qsizetype first = firstLgReplyLength(raw, true);
        if (first > 0 && first < raw.size() && !_lgAppPortWaitForOkHex) {
            _lgCarry = raw.mid(first) + _lgCarry;
            reply = raw.left(first);
            _commDevice->setRawBuffer(reply);
            return validateRawBuffer();
        }
        if (isLgPacketComplete(raw)) {
            reply = trimToEndSign(stripLgHeader(raw));
            _commDevice->setRawBuffer(reply);
            _lgAppPortWaitForOkHex = false;
            result = kReplyComplete;
        }
        if (isLgPortBusy(raw))
            result = kReplyPortBusy;
        return afterLgReply(result, reply);
    }
    if (_lgAppPortWaitForOk || _lgAppPortWaitForOkHex) {
        if (isLgDisconnectFrame(raw)) {
            _commDevice->setRawBuffer(QByteArray());
            return kReplyIncomplete;
        }
        if (_lgAppPortWaitForOk) {
            const QString& text = _commDevice->buffer();
            if (text.contains(kCommandOk) || text.endsWith(kLgAppEcho)) {
                _lgAppPortWaitForOk = false;
                _commDevice->setRawBuffer(QByteArray());
            }
        }
        // The port's first frame may come in the same read as the "OK".
        if (_lgAppPortWaitForOkHex && raw.endsWith(kFrameEnd)) {
            _lgAppPortWaitForOkHex = false;
            _commDevice->setRawBuffer(QByteArray());
            if (isLgPortBusy(raw))
                return kReplyPortBusy;
        }
        return (_lgAppPortWaitForOk || _lgAppPortWaitForOkHex) ? kReplyIncomplete : kReplyComplete;
    }
    const qsizetype first = firstLgReplyLength(raw, false);
    if (first > 0 && first < raw.size()) {
        _lgCarry = raw.mid(first) + _lgCarry;
        _commDevice->setRawBuffer(raw.left(first));
        return afterLgReply(kReplyComplete, raw.left(first));
    }
    return afterLgReply(raw.endsWith(kFrameEnd) ? kReplyComplete : kReplyIncomplete, raw);
}

qsizetype SLTStateMachine::firstLgReplyLength(const QByteArray& raw, bool packet)
{
    if (!packet) {
        // A frame's own bytes never hold 7E (it is escaped): the first one
        // ends the first frame.
        const qsizetype end = raw.indexOf(kFrameEnd);
        return end < 0 ? 0 : end + 1;
    }
    if (raw.size() < 3)
        return 0;
    const int length = (quint8(raw[1]) << 8) | quint8(raw[2]);
    return length >= 3 && length <= raw.size() ? length : 0;
}

int SLTStateMachine::afterLgReply(int result, const QByteArray& reply)
{
    if (!isLgDisconnectFrame(reply))
        return result;
    platform::NotificationCenter::defaultCenter().post(QLatin1String(kSLTCommDeviceDisconnected));
    kitLog("lg Timeout");
    requestState(kStateClosed);
    return kReplyError;
}

QByteArray SLTStateMachine::prepareDataCommand(const QByteArray& frame, bool put)
{
    if (!isLgFamily(_family))
        return frame;
    // The OBEX connect that opens an "lg2" port goes out raw, without its
    // first byte, whenever a job opens the port, not only on a new link.
    const bool obexConnect = _family == QLatin1String("lg2") && frame.startsWith(QByteArrayView("\x00\x80", 2));
    if (_lgInit || obexConnect) {
        _lgInit = false;
        return frame.mid(1);
    }
    return wrapLgFrame(frame, _family, put);
}

QByteArray SLTStateMachine::wrapLgFrame(const QByteArray& frame, const QString& family, bool put)
{
    if (!isLgFamily(family))
        return frame;
    QByteArray body;
    body.reserve(frame.size() + 2 + kLgHeaderLength);
    body.append(kFrameStart).append(frame).append(kFrameEnd);
    if (!isPacketFamily(family))
        return body;
    const qsizetype length = body.size();
    QByteArray header(kLgHeaderLength, '\0');
    header[0] = char(put ? kPutOperation : kPacketOperation);
    header[1] = char(((length + 6) >> 8) & 0xFF);
    header[2] = char((length + 6) & 0xFF);
    header[3] = char(put ? kPutHeaderId : kPacketHeaderId);
    header[4] = char(((length + 3) >> 8) & 0xFF);
    header[5] = char((length + 3) & 0xFF);
    return header + body;
}

bool SLTStateMachine::isLgPacketComplete(const QByteArray& reply)
{
    if (reply.size() < 4)
        return false;
    const int length = (quint8(reply[1]) << 8) | quint8(reply[2]);
    return length == reply.size();
}

QByteArray SLTStateMachine::stripLgHeader(const QByteArray& reply)
{
    if (reply.size() > kLgHeaderLength && reply[kLgHeaderLength] == kFrameStart)
        return reply.mid(kLgHeaderLength);
    return reply;
}

QByteArray SLTStateMachine::trimToEndSign(const QByteArray& reply)
{
    const qsizetype end = reply.indexOf(kFrameEnd);
    if (end > 5 && end < reply.size() - 1)
        return reply.left(end + 1);
    return reply;
}

bool SLTStateMachine::isLgDisconnectFrame(const QByteArray& reply)
{
    return reply == kDisconnectFrame;
}

bool SLTStateMachine::isLgPortBusy(const QByteArray& reply)
{
    return (reply.size() > 2 && reply.endsWith(kBusyShort)) || (reply.size() > 10 && reply.endsWith(kBusyFrame));
}
