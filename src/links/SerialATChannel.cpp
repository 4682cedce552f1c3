#include "links/SerialATChannel.h"

#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "foundation/QuorNSDataExtensions.h"
#include "links/ATAnswerText.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "links/SerialDelegateProtocol.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/RunLoop.h"
#include "platform/TextEncoding.h"

#include <QPointer>
#include <algorithm>
#include <cstring>
#include <thread>

namespace {
const QString kUnimplementedName = QStringLiteral("Unimplemented function error");
const QString kUnimplementedReason = QStringLiteral("### You must implement %1");
constexpr int kMaxFill = SerialATChannel::kBufferSize - 1;
constexpr int kMinObexPacket = 3;
constexpr int kErrorLength = 5;

double clockNow()
{
    return platform::Clock::instance().now();
}

// The buffer's bytes as text: phones answer in Latin-2 (every byte is a
// character, so this cannot fail in practice; Latin-1 stands in if it does).
QString bufferText(const QByteArray& bytes)
{
    if (auto text = platform::text::decode(bytes, platform::text::Encoding::Latin2))
        return *text;
    return QString::fromLatin1(bytes);
}

int toMs(double seconds)
{
    return int(seconds * 1000.0 + (seconds >= 0 ? 0.5 : -0.5));
}
} // namespace

SerialATChannel::PhoneTraits SerialATChannel::PhoneTraits::fromDescription(const QVSyncDeviceDescription* description)
{
    PhoneTraits traits;
    if (description) {
        traits.isGigaset = description->isGigaset();
        traits.usesSamsungATConnections = description->usesSamsungATConnections();
    }
    return traits;
}

SerialATChannel::SerialATChannel(MFDevice* device, SerialDelegateProtocol* delegate, PhoneTraits traits)
    : _mfDevice(device)
    , _delegate(delegate)
    , _nextSendTime(clockNow())
    , _pauseAfterOK(traits.isGigaset ? kGigasetPauseAfterOK : 0.0)
    , _traits(traits)
    , _lifeGuard(std::make_unique<QObject>())
{
}

SerialATChannel::SerialATChannel(MFDevice* device, SerialDelegateProtocol* delegate)
    : SerialATChannel(device, delegate, PhoneTraits())
{
}

SerialATChannel::~SerialATChannel() = default;

QString SerialATChannel::className() const
{
    return QStringLiteral("SerialATChannel");
}

void SerialATChannel::unimplemented(const char* method)
{
    throw platform::Exception(kUnimplementedName, kUnimplementedReason.arg(QLatin1String(method)));
}

void SerialATChannel::resetBuffer()
{
    if (_commBuffer.isNull())
        return;
    if (_commBuffer.capacity() > kBufferSize) {
        // A long answer's memory goes with it.
        _commBuffer = QByteArray();
        _commBuffer.reserve(kBufferSize);
    } else {
        _commBuffer.resize(0);
    }
    _answerOverflow = false;
}

void SerialATChannel::emptyBufferBeforeSend()
{
    resetBuffer();
    _dataAvail = false;
    _hasFinalSize = false;
    _obexPacketHandedOver = false;
}

void SerialATChannel::transportOpened()
{
    _isOpen = true;
    _transportClosed = false;
}

void SerialATChannel::transportClosed()
{
    _isOpen = false;
    _closeFinished = true;
    _isInProgress = false;
    _transportClosed = true;
}

void SerialATChannel::setObexMode(bool on)
{
    if (on == _modeObex)
        return;
    _modeObex = on;
    ++_framingGeneration;
    _obexSurplus.clear();
    _obexPacketPending = false;
    _obexPacketHandedOver = false;
    _dataAvail = false;
    startNewPacket();
}

void SerialATChannel::hangup()
{
    if (!_isOpen || !_modeObex)
        return;
    QVLogWith(qvlog::kXT, [&] { return QStringLiteral("[%1 hangup] sending +++").arg(className()); });
    if (_traits.isGigaset)
        sendDataStr(QLatin1String(kGigasetHangup));
    else if (_traits.usesSamsungATConnections)
        sendDataStr(QLatin1String(kSamsungHangup));
    setObexMode(false);
}

void SerialATChannel::setDataAvail(bool avail)
{
    _dataAvail = avail;
    if (_isInitializing && isBufferFilledWithAnswer())
        _isInitializing = false;
}

void SerialATChannel::startNewPacket()
{
    resetBuffer();
    _hasFinalSize = false;
    _expectedObexBytes = 0;
}

void SerialATChannel::appendToBuffer(const char* bytes, int length)
{
    if (_commBuffer.isNull())
        _commBuffer.reserve(kBufferSize);
    if (_modeObex) {
        const int count = std::min(length, kMaxFill);
        if (_commBuffer.size() + count > kMaxFill) {
            // No packet is that long: the old contents are dropped, and with
            // them the length of a packet they began.
            startNewPacket();
        }
        _commBuffer.append(bytes, count);
        return;
    }
    if (_answerOverflow)
        return;
    if (_commBuffer.size() + qsizetype(length) > kAnswerLimit) {
        _answerOverflow = true;
        QVLogWith(qvlog::kXT, [&] {
            return QStringLiteral("### [%1 deliverData] answer longer than %2 bytes, the rest is dropped")
                .arg(className())
                .arg(kAnswerLimit);
        });
        return;
    }
    _commBuffer.append(bytes, length);
}

void SerialATChannel::deliverData(const char* bytes, int length)
{
    if (!bytes || length <= 0)
        return;
    if (_modeObex) {
        deliverObexData(bytes, length);
        return;
    }
    appendToBuffer(bytes, length);
    setDataAvail(true);
    if (!_waitATResponseCallBack || !isBufferFilledWithAnswer())
        return;
    notifyAsyncATResult();
    if (_pauseAfterOK > 0)
        delayNextSendCommandFor(_pauseAfterOK);
}

void SerialATChannel::deliverObexData(const char* bytes, int length)
{
    if (_obexPacketPending) {
        // A packet waits for its hand-over: what follows it is kept for the next.
        const int count = std::min(length, kMaxFill);
        if (_obexSurplus.size() + count > kMaxFill)
            _obexSurplus.clear();
        _obexSurplus.append(bytes, count);
        return;
    }
    if (std::exchange(_obexPacketHandedOver, false))
        startNewPacket();
    appendToBuffer(bytes, length);
    const char* buf = _commBuffer.constData();
    const uint32_t count = currentBuffIndex();
    if (!_hasFinalSize) {
        if (count > uint32_t(kErrorLength) && std::memcmp(buf, kAnswerError, kErrorLength) == 0) {
            _commBuffer.truncate(kErrorLength);
            _expectedObexBytes = kErrorLength;
            _hasFinalSize = true;
            queueObexPacket();
            if (_pauseAfterOK > 0)
                delayNextSendCommandFor(_pauseAfterOK);
            return;
        }
        // The beginning of an "ERROR" line is no packet length.
        if (count <= uint32_t(kErrorLength) && std::memcmp(buf, kAnswerError, count) == 0)
            return;
        if (count < uint32_t(kMinObexPacket))
            return;
        const int expected = (uint8_t(buf[1]) << 8) | uint8_t(buf[2]);
        if (expected < kMinObexPacket) {
            QVLogWith(qvlog::kXT, [&] {
                return QStringLiteral("### [%1 deliverData] bad OBEX packet length %2, %3 bytes dropped")
                    .arg(className())
                    .arg(expected)
                    .arg(count);
            });
            resetBuffer();
            return;
        }
        _expectedObexBytes = expected;
        _hasFinalSize = true;
    }
    if (count < uint32_t(_expectedObexBytes))
        return;
    if (count > uint32_t(_expectedObexBytes)) {
        _obexSurplus.append(buf + _expectedObexBytes, int(count) - _expectedObexBytes);
        _commBuffer.truncate(_expectedObexBytes);
    }
    queueObexPacket();
    if (_pauseAfterOK > 0)
        delayNextSendCommandFor(_pauseAfterOK);
}

void SerialATChannel::queueObexPacket()
{
    _obexPacketPending = true;
    platform::runloop::performOnMainThread(
        [this, generation = _framingGeneration] {
            if (generation == _framingGeneration)
                handOverObexPacket();
        },
        _lifeGuard.get());
}

void SerialATChannel::handOverObexPacket()
{
    _obexPacketPending = false;
    const QPointer<QObject> alive(_lifeGuard.get());
    const uint32_t packetLength = currentBuffIndex();
    if (_delegate)
        _delegate->processObexData();
    if (!alive)
        return;
    QByteArray pending = std::exchange(_obexSurplus, QByteArray());
    if (_obexPacketPending)
        return;   // the delegate's request was answered at once
    if (_hasFinalSize && currentBuffIndex() == packetLength) {
        // Nothing was sent meanwhile: the packet stays readable until new bytes come.
        _obexPacketHandedOver = true;
    } else if (!pending.isEmpty() && !_commBuffer.isEmpty()) {
        // Bytes that came in since a send emptied the buffer follow the surplus.
        pending.append(_commBuffer);
        startNewPacket();
    }
    if (!pending.isEmpty() && _modeObex)
        deliverObexData(pending.constData(), int(pending.size()));
}

bool SerialATChannel::sendDataAtSendTime(const char* bytes, int length)
{
    if (_pauseAfterOK > 0) {
        const double now = clockNow();
        if (_nextSendTime > now) {
            const double wait = _nextSendTime - now;
            QVLogWith(qvlog::kXT, [&] { return QStringLiteral("Sleep(%1 ms):Delay after invoke.").arg(toMs(wait)); });
            platform::Clock& clock = platform::Clock::instance();
            if (clock.isVirtual())
                clock.advance(wait);
            else
                std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        } else {
            QVLogWith(qvlog::kXT, [] { return QStringLiteral("--- Time is reached ---"); });
        }
    }
    return sendData(bytes, length);
}

bool SerialATChannel::sendData(const char*, int)
{
    unimplemented("-[SerialATChannel sendData:length:]");
}

int SerialATChannel::openConnection(const std::shared_ptr<QVDeviceCallback>&)
{
    unimplemented("-[SerialATChannel openConnection:]");
}

bool SerialATChannel::hasOpenTransportConnection() const
{
    unimplemented("-[SerialATChannel hasOpenTransportConnection]");
}

int SerialATChannel::closeConnection(const std::shared_ptr<QVDeviceCallback>&)
{
    unimplemented("-[SerialATChannel closeConnection:]");
}

bool SerialATChannel::sendDataAsync(const char* bytes, int length, const std::shared_ptr<QVDeviceCallback>& callback)
{
    const bool sent = sendDataAtSendTime(bytes, length);
    if (callback)
        callback->finishWithErrorInMainThread(sent ? 0 : links::kIOReturnIOError, QVariant());
    return sent;
}

int SerialATChannel::tryToCloseChannel(const std::shared_ptr<QVDeviceCallback>& callback)
{
    const auto message = [&] { return QStringLiteral("[%1 closeChannel]").arg(className()); };
    QVLogWith(qvlog::kConn, message);
    QVLogWith(qvlog::kXT, message);
    if (_isInProgress) {
        QVLogWith(qvlog::kConn, [] {
            return QStringLiteral("-- Will NOT CloseConnection (Serial), because it is in progress");
        });
        return links::kIOReturnExclusiveAccess;
    }
    hangup();
    return closeConnection(callback);
}

int SerialATChannel::closeChannelBlocking()
{
    _closeFinished = false;
    const int status = tryToCloseChannel(nullptr);
    if (status != 0)
        return status;
    if (!platform::runloop::waitUntil([this] { return _closeFinished; }, kWaitSliceSeconds, kCloseWaitPasses))
        return links::kIOReturnTimeout;
    return 0;
}

void SerialATChannel::delayNextSendCommandFor(double seconds)
{
    if (seconds > 0) {
        _nextSendTime = clockNow() + seconds;
        QVLogWith(qvlog::kXT,
                       [&] { return QStringLiteral("--- Set Delay (to %1 ms from now) ---").arg(toMs(seconds)); });
    } else {
        QVLogWith(qvlog::kXT, [&] { return QStringLiteral("---NO DELAY (%1) ---").arg(toMs(seconds)); });
    }
}

QByteArray SerialATChannel::commandBytes(const QString& text)
{
    return text.toLatin1();
}

bool SerialATChannel::sendDataStr(const QString& text)
{
    if (text.isEmpty())
        return false;
    const QByteArray bytes = commandBytes(text);
    return sendDataAtSendTime(bytes.constData(), int(bytes.size()));
}

bool SerialATChannel::sendDataStrAsync(const QString& text, const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (text.isEmpty())
        return false;
    const QByteArray bytes = commandBytes(text);
    return sendDataAsync(bytes.constData(), int(bytes.size()), callback);
}

bool SerialATChannel::sendObexData(const char* bytes, int length)
{
    if (sendDataAtSendTime(bytes, length))
        return true;
    closeTransportConnection();
    return false;
}

QString SerialATChannel::buffer() const
{
    return bufferText(_commBuffer);
}

QString SerialATChannel::lastBufferLine() const
{
    // The same as lastSignificantLine(buffer()), but only the last line is
    // decoded: the waits ask after every piece received, and a long answer
    // would otherwise be decoded again and again. Latin-2 is one byte per
    // character, so the line ends are found on the bytes.
    const char* bytes = _commBuffer.constData();
    qsizetype last = _commBuffer.size() - 1;
    while (last >= 0 && (bytes[last] == '\r' || bytes[last] == '\n' || bytes[last] == ' '))
        --last;
    if (last < 0)
        return QStringLiteral("");
    qsizetype first = last;
    while (first > 0 && bytes[first - 1] != '\r' && bytes[first - 1] != '\n')
        --first;
    return bufferText(QByteArray(bytes + first, last - first + 1));
}

bool SerialATChannel::sendDataAndWait(const QString& text, int passes)
{
    if (!sendDataStr(text))
        return false;
    return waitForOkOrError(passes);
}

bool SerialATChannel::isBufferFilledWithAnswer()
{
    if (!_dataAvail)
        return false;
    if (_answerOverflow || links::findATAnswerEnd(QByteArrayView(_commBuffer)).line != links::ATFinalLine::None)
        return true;
    _dataAvail = false;
    return false;
}

SerialATChannel::Classification SerialATChannel::classifyAnswer() const
{
    if (_answerOverflow)
        return Classification::Bad;
    switch (links::findATAnswerEnd(QByteArrayView(_commBuffer)).line) {
    case links::ATFinalLine::Ok:
    case links::ATFinalLine::Connect:
        return Classification::Good;
    case links::ATFinalLine::Error:
    case links::ATFinalLine::ChannelID:
        return Classification::Bad;
    case links::ATFinalLine::ChannelIDNumber:
    case links::ATFinalLine::None:
        break;
    }
    return Classification::None;
}

void SerialATChannel::logBuffer(const char* method) const
{
    QVLogWith(qvlog::kXT, [&] {
        return QStringLiteral("[%1 %2] readData:\n%3")
            .arg(className(), QLatin1String(method), formattedDescription(_commBuffer));
    });
}

bool SerialATChannel::waitForData(int passes, int& used)
{
    while (!_dataAvail && !_transportClosed && used < passes) {
        platform::runloop::waitUntil([this] { return _dataAvail || _transportClosed; }, kWaitSliceSeconds, 1);
        ++used;
    }
    return _dataAvail;
}

bool SerialATChannel::waitForOkOrError(int passes)
{
    int used = 0;
    for (;;) {
        if (!waitForData(passes, used))
            return false;
        if (isBufferFilledWithAnswer()) {
            logBuffer("waitForOkOrError");
            if (_pauseAfterOK > 0)
                delayNextSendCommandFor(_pauseAfterOK);
            return !_answerOverflow;
        }
    }
}

bool SerialATChannel::hasOkError(bool* good)
{
    if (!_dataAvail)
        return false;
    logBuffer("waitForOkErrorConnect");
    switch (classifyAnswer()) {
    case Classification::Good:
        return true;
    case Classification::Bad:
        if (good)
            *good = false;
        return true;
    case Classification::None:
        break;
    }
    _dataAvail = false;
    return false;
}

bool SerialATChannel::waitForOkErrorConnect(int passes, bool* resultGood)
{
    bool good = true;
    int used = 0;
    bool done = false;
    for (;;) {
        if (!waitForData(passes, used))
            break;
        if (hasOkError(&good)) {
            done = true;
            break;
        }
    }
    if (resultGood)
        *resultGood = good;
    return done;
}

void SerialATChannel::notifyAsyncATResult()
{
    auto waiter = std::exchange(_waitATResponseCallBack, nullptr);
    if (!waiter)
        return;
    if (_answerOverflow)
        waiter->finishWithErrorInMainThread(links::kIOReturnOverrun, QVariant());
    else
        waiter->finishSuccessfullyInMainThread(buffer());
}

void SerialATChannel::waitForATResultAsync(const std::shared_ptr<QVDeviceCallback>& callback)
{
    _waitATResponseCallBack = callback;
    bool good = true;
    if (hasOkError(&good))
        notifyAsyncATResult();
}

bool SerialATChannel::waitForObexAnswer(int passes)
{
    int used = 0;
    for (;;) {
        if (_commBuffer.size() >= kMinObexPacket) {
            const int expected = (uint8_t(_commBuffer[1]) << 8) | uint8_t(_commBuffer[2]);
            if (expected < kMinObexPacket)
                return false;
            if (_commBuffer.size() >= expected)
                return true;
        }
        if (used >= passes || _transportClosed)
            return false;
        const qsizetype before = _commBuffer.size();
        platform::runloop::waitUntil([this, before] { return _commBuffer.size() != before || _transportClosed; },
                                     kWaitSliceSeconds, 1);
        ++used;
    }
}
