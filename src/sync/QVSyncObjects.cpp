#include "sync/QVSyncObjects.h"

#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "platform/Exception.h"
#include "sync/QVSyncObjectsSession.h"
#include "sync/SyncLog.h"
#include "sync/SyncMLCreator.h"
#include "sync/WBXMLConverter.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElem.h"

#include <algorithm>

namespace {

// Room the message keeps per command and for the closing parts.
constexpr long kQueueCommandOverhead = 150;
constexpr long kQueueDeleteSize = 300;
constexpr long kQueueChunkReserve = 300;

} // namespace

QVSyncObjects::QVSyncObjects(QVSyncObjectsSession& session, int syncMLVersion, int property)
    : _syncSession(session)
    , _syncMLVersion(syncMLVersion)
    , _property(property)
{
    _incomingRefNums.reserve(128);
    _noEmptyFinalSync = property == 6 && session.syncDescription().noEmptyFinalSync();
}

QVSyncObjects::~QVSyncObjects() = default;

std::unique_ptr<QVSyncObjects> QVSyncObjects::syncObjectsWithSession(QVSyncObjectsSession& session, int syncMLVersion,
                                                                     int property)
{
    return std::make_unique<QVSyncObjects>(session, syncMLVersion, property);
}

void QVSyncObjects::setDownloadObjects(std::shared_ptr<QVCommandArray> commands)
{
    _elementsToSend = std::move(commands);
    _elementsToSendCount = _elementsToSend ? _elementsToSend->count() : 0;
    _maxProgressAction = _elementsToSendCount + 1;
}

void QVSyncObjects::addIncomingObject(const QString& reference)
{
    _incomingRefNums.append(reference);
}

bool QVSyncObjects::mustSendFinal() const
{
    return _elementsSentSoFar >= _elementsToSendCount && _weHaveAlreadySentFinalSyncMessage;
}

float QVSyncObjects::getProgressInPercent() const
{
    const long done = std::max({_curProgressAction, _elementsSentSoFar, 1L});
    if (done >= _maxProgressAction)
        return 95.0f;
    return float(50.0 + 50.0 * double(done) / double(_maxProgressAction));
}

std::unique_ptr<SyncMLCreatorNode> QVSyncObjects::getNextSyncCommand()
{
    if (_weHaveAlreadySentFinalSyncMessage)
        return nullptr;
    if (_elementsSentSoFar < _elementsToSendCount) {
        std::unique_ptr<SyncMLCreatorNode> sync = getNextAddReplaceCommand();
        if (sync) {
            _weAreSending = true;
            _didDeliverSyncCommand = true;
            return sync;
        }
        if (_elementsSentSoFar < _elementsToSendCount) {
            // Nothing fits beside what this message already holds.
            _weAreSending = false;
            return nullptr;
        }
    }
    _weAreSending = false;
    _curProgressAction = _maxProgressAction;
    _weHaveAlreadySentFinalSyncMessage = true;
    const QVariantMap relation =
        _syncSession.syncReplies().value(_syncSession.getDeviceRelationIndex(_property)).toMap();
    if (_didDeliverSyncCommand && _noEmptyFinalSync)
        return nullptr;
    _didDeliverSyncCommand = true;
    return _syncSession.syncMLCreator().createSyncNothingWithDBs(
        relation.value(QStringLiteral("myDBName")).toString(),
        relation.value(QStringLiteral("deviceDBName")).toString(), _elementsToSendCount);
}

std::unique_ptr<SyncMLCreatorNode> QVSyncObjects::getNextAddReplaceCommand()
{
    // Items without a text for the phone cannot be sent at all.
    while (!_hasMegaRecord && _elementsSentSoFar < _elementsToSendCount
           && _elementsToSend->commandAtIndex(int(_elementsSentSoFar)) != QVCommandArray::kDelete) {
        long characters = 0;
        long bytes = 0;
        measureItem(_elementsSentSoFar, characters, bytes);
        if (characters > 0)
            break;
        const auto elem = _elementsToSend->elemAtIndex(int(_elementsSentSoFar));
        QVLOG(qvlog::kXT,
              QStringLiteral("QVSyncObjects: skipped %1 without text for the phone")
                  .arg(elem ? elem->sourceURI() : QString()));
        ++_elementsSentSoFar;
    }
    if (_elementsSentSoFar >= _elementsToSendCount)
        return nullptr;

    SyncMLCreator& creator = _syncSession.syncMLCreator();
    long bytesLeft = 0;
    const int n = calcHowManyElemsWeCanSend(_elementsSentSoFar, bytesLeft);
    const long documentSize = _lastDocumentSize;
    if (n < 1 && !_hasMegaRecord) {
        long characters = 0;
        long bytes = 0;
        measureItem(_elementsSentSoFar, characters, bytes);
        _hasMegaRecord = true;
        _megaRecordSize = characters;
        _megaRecordBytesSentSoFar = 0;
    }

    if (_hasMegaRecord) {
        long chunk = chunkCharsThatFit(_elementsSentSoFar, documentSize);
        if (chunk < kChunkUnit) {
            if (chunkCharsThatFit(_elementsSentSoFar, emptyMessageSize()) < kChunkUnit) {
                const QString reason = QStringLiteral(
                                           "item %1 of %2 characters does not fit into a message of %3 bytes")
                                           .arg(_elementsSentSoFar)
                                           .arg(_megaRecordSize)
                                           .arg(_syncSession.syncMLMaxMsgSize());
                QVLOG(qvlog::kXT, QStringLiteral("QVSyncObjects: ") + reason);
                throw platform::Exception(QLatin1String(kItemTooLarge), reason);
            }
            return nullptr; // waits for a message with room
        }
        const auto elem = _elementsToSend->elemAtIndex(int(_elementsSentSoFar));
        const bool isReplace = _elementsToSend->commandAtIndex(int(_elementsSentSoFar)) == QVCommandArray::kReplace;
        const QString reference = isReplace ? elem->sourceURI() : QString::number(_highestUsedContactRefNum);
        std::unique_ptr<SyncMLCreatorNode> sync = creator.createSyncNothing(_elementsToSendCount, _property);
        sync->addChild(creator.createPartialAddReplaceCommand(*elem, _megaRecordBytesSentSoFar, chunk, reference,
                                                              _property, !isReplace, _megaRecordSize));
        _megaRecordBytesSentSoFar += chunk;
        ++_maxProgressAction;
        ++_curProgressAction;
        if (_megaRecordBytesSentSoFar >= _megaRecordSize) {
            ++_elementsSentSoFar;
            _hasMegaRecord = false;
            if (!isReplace)
                ++_highestUsedContactRefNum;
        }
        return sync;
    }

    std::unique_ptr<SyncMLCreatorNode> sync = creator.createSyncNothing(_elementsToSendCount, _property);
    for (int i = 0; i < n && _elementsSentSoFar < _elementsToSendCount; ++i, ++_elementsSentSoFar) {
        const auto elem = _elementsToSend->elemAtIndex(int(_elementsSentSoFar));
        const QString command = _elementsToSend->commandAtIndex(int(_elementsSentSoFar));
        std::unique_ptr<SyncMLCreatorNode> node;
        if (command == QVCommandArray::kDelete) {
            node = creator.createDeleteCommand(*elem, _property);
        } else if (command == QVCommandArray::kReplace) {
            node = creator.createAddReplaceCommand(*elem, elem->sourceURI(), _property, false);
        } else {
            const QString reference = QStringLiteral("T-%1").arg(_highestUsedContactRefNum++);
            node = creator.createAddReplaceCommand(*elem, reference, _property, true);
        }
        if (!node) {
            QVLOG(qvlog::kXT,
                  QStringLiteral("QVSyncObjects: skipped %1 %2 without text for the phone")
                      .arg(command, elem->sourceURI()));
            continue;
        }
        sync->addChild(std::move(node));
    }
    ++_curProgressAction;
    return sync;
}

void QVSyncObjects::measureItem(long index, long& characters, long& bytes) const
{
    characters = 0;
    bytes = 0;
    const auto elem = _elementsToSend ? _elementsToSend->elemAtIndex(int(index)) : nullptr;
    if (!elem)
        return;
    const QString text = elem->vxDataForDevice(_syncSession.itemDescription()).toString();
    characters = text.size();
    bytes = text.toUtf8().size();
}

long QVSyncObjects::measuredDocumentSize()
{
    const SyncMLCreatorNode* document = _syncSession.currentAnswerDocument();
    if (!document)
        return 0;
    const std::optional<QByteArray> wbxml = WBXMLConverter::sharedWBXMLConverter().convertToWBXML(document->xmlData(),
                                                                                                  _syncMLVersion);
    if (!wbxml)
        throw platform::Exception(QLatin1String(kCannotTranslate),
                                  QStringLiteral("the message built so far does not convert to WBXML"));
    return wbxml->size();
}

long QVSyncObjects::emptyMessageSize()
{
    if (_emptyMessageSize >= 0)
        return _emptyMessageSize;
    const SyncMLCreatorNode* document = _syncSession.currentAnswerDocument();
    if (!document)
        return _emptyMessageSize = 0;
    std::unique_ptr<SyncMLCreatorNode> empty = document->clone();
    if (SyncMLCreatorNode* body = empty->find(QStringLiteral("SyncML/SyncBody"))) {
        body->removeAllChildren();
        body->addChild(SyncMLCreator::createEmptyElement(QStringLiteral("Final")));
    }
    const std::optional<QByteArray> wbxml = WBXMLConverter::sharedWBXMLConverter().convertToWBXML(empty->xmlData(),
                                                                                                  _syncMLVersion);
    return _emptyMessageSize = wbxml ? wbxml->size() : 0;
}

long QVSyncObjects::chunkCharsThatFit(long index, long documentSize)
{
    long characters = 0;
    long bytes = 0;
    measureItem(index, characters, bytes);
    if (characters <= 0)
        return 0;
    const double room = double(_syncSession.syncMLMaxMsgSize() - documentSize - kQueueChunkReserve);
    if (room <= 0)
        return 0;
    const long fit = long(room / (double(bytes) / double(characters) + 0.05));
    return fit / kChunkUnit * kChunkUnit;
}

int QVSyncObjects::calcHowManyElemsWeCanSend(long index, long& bytesLeft)
{
    const long left = std::max(0L, _elementsToSendCount - index);
    const long n = std::min(left, long(std::max(1, _syncSession.syncMLMaxSyncCMDNbInEncodedMsg())));
    long size = measuredDocumentSize();
    _lastDocumentSize = size;
    const long maxSize = _syncSession.syncMLMaxMsgSize();
    for (long i = 0; i < n; ++i) {
        if (_elementsToSend->commandAtIndex(int(index + i)) == QVCommandArray::kDelete) {
            size += kQueueDeleteSize;
            continue;
        }
        long characters = 0;
        long bytes = 0;
        measureItem(index + i, characters, bytes);
        if (bytes + size + kQueueCommandOverhead > maxSize) {
            if (i >= 1)
                return int(i);
            bytesLeft = chunkCharsThatFit(index, size);
            return 0;
        }
        size += bytes + kQueueCommandOverhead;
    }
    return int(n);
}
