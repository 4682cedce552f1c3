#include "links/BTSerialATChannel.h"

#include "foundation/NamedLog.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "platform/Clock.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

namespace {
QString hex4(int status)
{
    return QStringLiteral("0x%1").arg(uint(status), 4, 16, QLatin1Char('0'));
}
} // namespace

BTSerialATChannel::BTSerialATChannel(MFDevice* device, const QVariantMap& connectionDict,
                                     SerialDelegateProtocol* delegate, PhoneTraits traits)
    : SerialATChannel(device, delegate, traits)
    , _btDevice(btDeviceForConnectionDict(connectionDict))
    , _openSynchronous(!device || traits.isGigaset)
    , _maxTriesForOpen(!device || traits.isGigaset ? 2 : 1)
{
    const int given = connectionDict.value(QLatin1String(kRfcommChannelKey)).toInt();
    if (given > 0 && given <= 30)
        _givenChannel = quint8(given);
}

BTSerialATChannel::~BTSerialATChannel()
{
    if (_rfCOMMChannel)
        _rfCOMMChannel->setDelegate(nullptr);
}

QString BTSerialATChannel::className() const
{
    return QStringLiteral("BTSerialATChannel");
}

std::shared_ptr<platform::BluetoothDevice> BTSerialATChannel::btDeviceForConnectionDict(
    const QVariantMap& connectionDict)
{
    return platform::btDeviceForAddress(connectionDict.value(QLatin1String(kAddressKey)).toString());
}

bool BTSerialATChannel::hasOpenTransportConnection() const
{
    return _rfCOMMChannel && hasConnection();
}

int BTSerialATChannel::openConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    if (_isInProgress) {
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("[%1 openConnection] refused, with kIOReturnExclusiveAccess").arg(className());
        });
        return links::kIOReturnExclusiveAccess;
    }
    _isInProgress = true;
    if (_rfCOMMChannel) {
        _isInProgress = false;
        return links::kIOReturnExclusiveAccess;
    }
    if (!_btDevice) {
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("### [%1 openConnection] no Bluetooth device for this address").arg(className());
        });
        _isInProgress = false;
        return links::kIOReturnNoDevice;
    }
    if (!_givenChannel && !_btDevice->hasServiceRecords() && _curTriesForOpen == 0 && !_openCallback) {
        // The phone's services were never read: read them before the first open.
        QVLogWith(qvlog::kConn, [&] {
            return QStringLiteral("[%1 openConnection] performSDPQuery before the first open").arg(className());
        });
        const int status = startSdpQuery();
        if (status != 0) {
            _isInProgress = false;
            return status;
        }
        _queryBeforeOpen = true;
        _openCallback = callback;
        return 0;
    }
    if (channelToOpen() == platform::kNoRfcommChannel) {
        _isInProgress = false;
        return kNoChannel;
    }
    ++_curTriesForOpen;
    if (_curTriesForOpen == 1 && !_openCallback)
        _openCallback = callback;
    const int status = openChannel();
    if (status == 0)
        return 0;
    if (status == kPageTimeout)
        _curTriesForOpen = 100;
    if (_curTriesForOpen == 1) {
        if (startSdpQuery() == 0) {
            QVLogWith(qvlog::kConn, [&] {
                return QStringLiteral("performSDPQuery, because openRFCOMMChannel%1 failed with (%2)")
                    .arg(QLatin1String(_openSynchronous ? "Sync" : "Async"), hex4(status));
            });
            return 0;
        }
    }
    openFailed(status);
    return 0;
}

int BTSerialATChannel::startSdpQuery()
{
    std::weak_ptr<int> alive = _alive;
    return _btDevice->performSdpQuery([this, alive](int status) {
        if (!alive.expired())
            sdpQueryComplete(status);
    });
}

quint8 BTSerialATChannel::channelToOpen() const
{
    return _givenChannel ? _givenChannel : platform::dunChannel(*_btDevice);
}

int BTSerialATChannel::openChannel()
{
    const quint8 channelID = channelToOpen();
    return _openSynchronous ? _btDevice->openRfcommChannelSync(channelID, this, &_rfCOMMChannel)
                            : _btDevice->openRfcommChannelAsync(channelID, this, &_rfCOMMChannel);
}

void BTSerialATChannel::openFailed(int status)
{
    _isInProgress = false;
    const auto message = [&] {
        return QStringLiteral("[%1 openConnection] FAILED to open DialupNetworking channel with openRFCOMMChannel%2 "
                              "(%3)\n")
            .arg(className(), QLatin1String(_openSynchronous ? "Sync" : "Async"), hex4(status));
    };
    QVLogWith(qvlog::kXT, message);
    QVLogWith(qvlog::kConn, message);
    endOpenCallback(status, false);
    _curTriesForOpen = 0;
}

void BTSerialATChannel::endOpenCallback(int status, bool now)
{
    auto callback = std::exchange(_openCallback, nullptr);
    if (!callback)
        return;
    if (now)
        callback->finishWithResult(status, QVariant());
    else
        callback->finishWithErrorInMainThread(status, QVariant());
}

void BTSerialATChannel::sdpQueryComplete(int status)
{
    // The query made before a first open counts as that open's attempt.
    if (std::exchange(_queryBeforeOpen, false))
        ++_curTriesForOpen;
    if (status == 0 && channelToOpen() == platform::kNoRfcommChannel)
        status = kNoChannel;
    if (status == 0) {
        status = openChannel();
        if (status == 0)
            return;
        if (status == kPageTimeout)
            _curTriesForOpen = 100;
    }
    _isInProgress = false;
    QVLogWith(qvlog::kConn, [&] {
        return QStringLiteral("[%1 sdpQueryComplete] failed with (%2)").arg(className(), hex4(status));
    });
    if (_curTriesForOpen >= _maxTriesForOpen) {
        endOpenCallback(status, false);
        _curTriesForOpen = 0;
        return;
    }
    QVLogWith(qvlog::kConn, [&] { return QStringLiteral("[%1 sdpQueryComplete] Try openConnection again").arg(className()); });
    _retryTimer = std::make_unique<platform::Timer>([this] {
        const int retry = openConnection(nullptr);
        if (retry != 0) {
            endOpenCallback(retry, true);
            _curTriesForOpen = 0;
        }
    });
    _retryTimer->start(kRetryDelay);
}

void BTSerialATChannel::rfcommChannelOpenComplete(platform::RfcommChannel&, int status)
{
    _isInProgress = false;
    _curTriesForOpen = 0;
    if (status != 0)
        _rfCOMMChannel.reset();
    else
        transportOpened();
    _busy = false;
    _reportOpenTimer = std::make_unique<platform::Timer>([this, status] { delayedReportOpen(status); });
    _reportOpenTimer->start(kOpenReportDelay);
}

void BTSerialATChannel::delayedReportOpen(int status)
{
    endOpenCallback(status, true);
}

void BTSerialATChannel::rfcommChannelClosed(platform::RfcommChannel&)
{
    transportClosed();
    _reportOpenTimer.reset();
    if (_rfCOMMChannel) {
        _rfCOMMChannel->setDelegate(nullptr);
        _rfCOMMChannel.reset();
    }
    if (_btDevice)
        _btDevice->closeConnection();
    if (auto callback = std::exchange(_closeCallback, nullptr))
        callback->finishWithResult(0, QVariant());
    else
        endOpenCallback(links::kIOReturnNoDevice, true);
}

int BTSerialATChannel::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    QVLogWith(qvlog::kConn, [&] { return QStringLiteral("[%1 closeConnection]").arg(className()); });
    if (_isInProgress) {
        QVLogWith(qvlog::kConn, [] {
            return QStringLiteral("-- Will NOT CloseConnection (Serial), because it is in progress");
        });
        return links::kIOReturnExclusiveAccess;
    }
    if (!_rfCOMMChannel) {
        transportClosed();
        if (callback)
            callback->finishSuccessfullyInMainThread(QVariant());
        return 0;
    }
    _isInProgress = true;
    _closeCallback = callback;
    const int status = _rfCOMMChannel->closeChannel();
    if (status != 0) {
        _isInProgress = false;
        _closeCallback.reset();
    }
    return status;
}

bool BTSerialATChannel::sendData(const char* bytes, int length)
{
    emptyBufferBeforeSend();
    if (!_rfCOMMChannel || !_rfCOMMChannel->isOpen())
        return false;
    const int mtu = std::max(1, int(_rfCOMMChannel->mtu()));
    for (int done = 0; done < length;) {
        const int piece = std::min(mtu, length - done);
        if (_rfCOMMChannel->writeSync(bytes + done, piece) != 0)
            return false;
        done += piece;
    }
    return true;
}

bool BTSerialATChannel::sendDataAsync(const char* bytes, int length, const std::shared_ptr<QVDeviceCallback>& callback)
{
    emptyBufferBeforeSend();
    auto chunk = std::make_shared<Chunk>();
    chunk->data = QByteArray(bytes, std::max(0, length));
    chunk->callback = callback;
    sendNextChunk(std::move(chunk));
    return true;
}

void BTSerialATChannel::sendNextChunk(std::shared_ptr<Chunk> chunk)
{
    if (!_rfCOMMChannel || !_rfCOMMChannel->isOpen()) {
        if (chunk->callback)
            chunk->callback->finishWithErrorInMainThread(links::kIOReturnNotOpen, QVariant());
        return;
    }
    const qsizetype piece = std::min<qsizetype>(_rfCOMMChannel->mtu(), chunk->data.size() - chunk->sent);
    const qsizetype at = chunk->sent;
    chunk->sent += piece;
    const quint64 reference = ++_nextChunk;
    const int status = _rfCOMMChannel->writeAsync(chunk->data.constData() + at, int(piece), reference);
    if (status != 0) {
        if (chunk->callback)
            chunk->callback->finishWithErrorInMainThread(status, QVariant());
        return;
    }
    _chunks.emplace(reference, std::move(chunk));
}

void BTSerialATChannel::rfcommChannelWriteComplete(platform::RfcommChannel&, quint64 reference, int status)
{
    auto it = _chunks.find(reference);
    if (it == _chunks.end())
        return;
    std::shared_ptr<Chunk> chunk = std::move(it->second);
    _chunks.erase(it);
    if (status == 0 && chunk->sent < chunk->data.size()) {
        sendNextChunk(std::move(chunk));
        return;
    }
    if (chunk->callback)
        chunk->callback->finishWithResult(status, QVariant());
}

void BTSerialATChannel::rfcommChannelData(platform::RfcommChannel&, const QByteArray& data)
{
    deliverData(data.constData(), int(data.size()));
}
