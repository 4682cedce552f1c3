#include "links/SamsungObexATSwitchTransportLayer.h"

#include "foundation/NamedLog.h"
#include "links/ATAnswerText.h"
#include "links/LinkCodes.h"
#include "platform/RunLoop.h"
#include "platform/TextEncoding.h"

#include <cstring>

namespace {
constexpr const char* kError = "ERROR";
constexpr int kErrorLength = 5;
constexpr int kMaxFill = SamsungObexATSwitchTransportLayer::kReceiveBufferSize - 1;
constexpr double kSlice = 0.1;
} // namespace

QString SamsungObexATSwitchTransportLayer::className() const
{
    return QStringLiteral("SamsungObexATSwitchTransportLayer");
}

int SamsungObexATSwitchTransportLayer::timeoutErrorCode(uint8_t) const
{
    return links::kErrRequestTimeout;
}

void SamsungObexATSwitchTransportLayer::resetBuffer()
{
    _commBuffer.clear();
    _stringBuffer = 0;
    _dataAvail = false;
    _hasFinalSize = false;
    _expectedObexBytes = 0;
}

void SamsungObexATSwitchTransportLayer::setObexMode(bool on)
{
    ObexATSwitchTransportLayer::setObexMode(on);
    _surplus.clear();
    _packetPending = false;
    resetBuffer();
}

void SamsungObexATSwitchTransportLayer::deliverData(const char* bytes, int length)
{
    if (!bytes || length <= 0)
        return;
    if (!_allocated) {
        if (_aboutToClose)
            return;
        _commBuffer.reserve(kReceiveBufferSize);
        _allocated = true;
    }
    if (_modeObex) {
        _surplus.append(bytes, length);
        takeObexBytes();
        dropSurplusBeyondOnePacket();
        return;
    }
    // An AT answer longer than the buffer keeps its end.
    const qsizetype room = kMaxFill - _commBuffer.size();
    if (length > room) {
        const int keep = std::min(length, kMaxFill);
        resetBuffer();
        _commBuffer.append(bytes + length - keep, keep);
    } else {
        _commBuffer.append(bytes, length);
    }
    _dataAvail = true;
}

void SamsungObexATSwitchTransportLayer::startPacket()
{
    _commBuffer.clear();
    _hasFinalSize = false;
    _expectedObexBytes = 0;
}

void SamsungObexATSwitchTransportLayer::takeObexBytes()
{
    while (!_packetPending && !_surplus.isEmpty()) {
        if (_hasFinalSize && _commBuffer.size() >= _expectedObexBytes)
            startPacket();   // the packet before was handed over
        // Only the bytes of this packet (or of its length field) are taken.
        // An "ERROR" line is told by its first six bytes, a packet's length by three.
        const char first = _commBuffer.isEmpty() ? _surplus[0] : _commBuffer[0];
        const qsizetype head = first == kError[0] ? kErrorLength + 1 : 3;
        const qsizetype want = _hasFinalSize ? _expectedObexBytes - _commBuffer.size()
                                             : std::max<qsizetype>(1, head - _commBuffer.size());
        const qsizetype take = std::min(want, _surplus.size());
        _commBuffer.append(_surplus.constData(), take);
        _surplus.remove(0, take);
        if (!_hasFinalSize) {
            const qsizetype count = _commBuffer.size();
            if (count > kErrorLength && std::memcmp(_commBuffer.constData(), kError, kErrorLength) == 0) {
                // An ERROR line where a packet was awaited: its line end goes with it.
                while (!_surplus.isEmpty() && (_surplus[0] == '\r' || _surplus[0] == '\n'))
                    _surplus.remove(0, 1);
                _commBuffer.truncate(kErrorLength);
                _expectedObexBytes = kErrorLength;
                _hasFinalSize = true;
                handOver();
                return;
            }
            if (count < 3)
                continue;
            const int expected = (uint8_t(_commBuffer[1]) << 8) | uint8_t(_commBuffer[2]);
            if (expected < 3) {
                QVLogWith(qvlog::kXT, [&] {
                    return QStringLiteral("### [%1 deliverData] bad OBEX packet length %2, bytes dropped")
                        .arg(className())
                        .arg(expected);
                });
                startPacket();
                _surplus.clear();
                return;
            }
            _expectedObexBytes = expected;
            _hasFinalSize = true;
            if (_commBuffer.size() > expected) {
                _surplus.prepend(_commBuffer.mid(expected));
                _commBuffer.truncate(expected);
            }
        }
        if (_commBuffer.size() == _expectedObexBytes)
            handOver();
    }
}

void SamsungObexATSwitchTransportLayer::dropSurplusBeyondOnePacket()
{
    // One request is in flight at a time, so a phone owes at most one packet
    // behind the one being handed over; more than that is not kept.
    if (_surplus.size() <= kReceiveBufferSize)
        return;
    QVLogWith(qvlog::kXT, [&] {
        return QStringLiteral("### [%1 deliverData] %2 bytes past one waiting packet dropped")
            .arg(className())
            .arg(_surplus.size() - kReceiveBufferSize);
    });
    _surplus.truncate(kReceiveBufferSize);
}

void SamsungObexATSwitchTransportLayer::handOver()
{
    _packetPending = true;
    platform::runloop::performOnMainThread(
        [this] {
            _packetPending = false;
            if (_isServer)
                processObexRequest();
            else
                processObexAnswer();
            takeObexBytes();
        },
        _lifeGuard.get());
}

void SamsungObexATSwitchTransportLayer::setData(bool avail)
{
    _dataAvail = avail;
    if (!avail)
        _stringBuffer = _commBuffer.size();
}

QString SamsungObexATSwitchTransportLayer::buffer() const
{
    if (_modeObex || !_allocated)
        return QStringLiteral("");
    const QByteArray text = _commBuffer.mid(_stringBuffer);
    if (auto decoded = platform::text::decode(text, platform::text::Encoding::Latin2))
        return *decoded;
    return QString::fromLatin1(text);
}

const char* SamsungObexATSwitchTransportLayer::commBuffer() const
{
    return _allocated ? _commBuffer.constData() : nullptr;
}

bool SamsungObexATSwitchTransportLayer::waitForOkErrorConnect(int passes, bool* resultGood)
{
    for (int used = 0;;) {
        if (_dataAvail) {
            switch (links::findATAnswerEnd(buffer()).line) {
            case links::ATFinalLine::Ok:
            case links::ATFinalLine::Connect:
                if (resultGood)
                    *resultGood = true;
                return true;
            case links::ATFinalLine::Error:
            case links::ATFinalLine::ChannelID:
                if (resultGood)
                    *resultGood = false;
                return true;
            case links::ATFinalLine::ChannelIDNumber:
            case links::ATFinalLine::None:
                break;
            }
            setData(false);
        }
        if (used++ >= passes)
            return false;
        platform::runloop::waitUntil([this] { return _dataAvail; }, kSlice, 1);
    }
}

bool SamsungObexATSwitchTransportLayer::waitForObexAnswer(int passes)
{
    for (int used = 0;; ++used) {
        const int expected = _commBuffer.size() >= 3 ? ((uint8_t(_commBuffer[1]) << 8) | uint8_t(_commBuffer[2])) : 3;
        if (_commBuffer.size() >= 3 && _commBuffer.size() >= expected)
            return true;
        if (used >= passes)
            return false;
        platform::runloop::runFor(kSlice);
    }
}

int SamsungObexATSwitchTransportLayer::OBEXConnect(uint8_t, uint16_t maxPacketLength, const char* headers,
                                                   int headersLength, OBEXSessionEventHandler handler, QVariant refCon)
{
    if (!hasOpenTransportConnection())
        return links::kErrNotConnected;
    _maxPacketLength = maxPacketLength;
    const int length = obex::buildConnect(packetBuffer(), obex::kOpConnect, 0, kSamsungMaxPacket, headers,
                                          headersLength, kSamsungVersion);
    return request(obex::kOpConnect, length, obex::kErrConnectNotSent, "OBEXConnect", std::move(handler),
                   std::move(refCon));
}

void SamsungObexATSwitchTransportLayer::initializeSerialChannelForSyncML(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (!sendPreparation(_settings.isGigaset ? kGigasetPreparePasses : kPreparePasses, false, kSwitchFailed, kSwitchFailed, callback))
        return;
    sendSamsungSwitch(callback, true);
}
