#pragma once

#include "sync/SyncMLCreatorNode.h"

#include <QString>
#include <QStringList>

#include <memory>

class QVCommandArray;
class QVSyncObjectsSession;

// The outgoing side of one property in one SyncML run: the commands the item
// list picked for the phone, handed out one Sync element per message, as
// many as fit into the phone's message size and command count. An item too
// large for one message goes in chunks over several. New items get temporary
// references ("T-<n>", a bare number for a chunked one) that the phone's Map
// answers carry back.
//
// An item that cannot fit even into an otherwise empty message, and a
// message that cannot be measured, end the run: getNextSyncCommand() then
// throws platform::Exception (names below).
class QVSyncObjects {
public:
    static constexpr const char* kCannotTranslate = "I can't translate the XML constructed so far";
    static constexpr const char* kItemTooLarge = "I can't fit the item into an empty message";
    // Characters a chunk holds at least, and the unit chunks are rounded to.
    static constexpr long kChunkUnit = 4;

    QVSyncObjects(QVSyncObjectsSession& session, int syncMLVersion, int property);
    ~QVSyncObjects();
    static std::unique_ptr<QVSyncObjects> syncObjectsWithSession(QVSyncObjectsSession& session, int syncMLVersion,
                                                                 int property);

    void setDownloadObjects(std::shared_ptr<QVCommandArray> commands);
    void addIncomingObject(const QString& reference);
    const QStringList& incomingObjects() const { return _incomingRefNums; }

    // The next Sync element for the current message; null when the closing
    // one has gone, or when nothing fits into this message (mustSendFinal()
    // then stays NO: ask again for the next message).
    std::unique_ptr<SyncMLCreatorNode> getNextSyncCommand();
    void deviceRequestedMoreData() { _deviceRequestedMoreData = true; }
    bool deviceHasRequestedMoreData() const { return _deviceRequestedMoreData; }
    bool mustSendFinal() const;

    bool weAreSending() const { return _weAreSending; }
    long elementsToSendCount() const { return _elementsToSendCount; }
    long elementsSentSoFar() const { return _elementsSentSoFar; }
    float getProgressInPercent() const;

    // How many of the commands from index fit into the message built so far;
    // when not even the first does, 0 and the characters of it that fit
    // (rounded down to a multiple of kChunkUnit) in bytesLeft.
    int calcHowManyElemsWeCanSend(long index, long& bytesLeft);

private:
    std::unique_ptr<SyncMLCreatorNode> getNextAddReplaceCommand();
    long measuredDocumentSize();
    long emptyMessageSize();
    long chunkCharsThatFit(long index, long documentSize);
    // The item's text for the phone: characters and UTF-8 bytes.
    void measureItem(long index, long& characters, long& bytes) const;

    QVSyncObjectsSession& _syncSession;
    int _syncMLVersion;
    QStringList _incomingRefNums;
    std::shared_ptr<QVCommandArray> _elementsToSend;
    long _elementsToSendCount = 0;
    long _elementsSentSoFar = 0;
    bool _weAreSending = false;
    bool _weHaveAlreadySentFinalSyncMessage = false;
    bool _hasMegaRecord = false;
    long _megaRecordSize = 0;
    long _megaRecordBytesSentSoFar = 0;
    long _highestUsedContactRefNum = 0;
    long _curProgressAction = 0;
    long _maxProgressAction = 1;
    bool _didDeliverSyncCommand = false;
    bool _noEmptyFinalSync = false;
    bool _deviceRequestedMoreData = false;
    long _emptyMessageSize = -1;
    long _lastDocumentSize = 0;
    int _property;
};
