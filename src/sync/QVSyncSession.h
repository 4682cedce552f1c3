#pragma once

#include "sync/QVBaseSession.h"
#include "sync/QVSyncObjectsSession.h"
#include "sync/SyncMLCreator.h"
#include "sync/SyncMLCreatorSession.h"
#include "sync/SyncMLMessage.h"

#include <QByteArray>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <vector>

class ObjectPushCommand;
class QVCommandArray;
class QVSyncObjects;

// What a SyncML session asks of its phone beyond the base's reads: the pause
// between requests, the stored phone URI and SyncML source, and where the
// anchors of a successful run go. The phone's connection device answers it;
// a device that does not leaves these at their defaults.
class QVSyncSessionDevice {
public:
    virtual ~QVSyncSessionDevice() = default;
    virtual double pauseAfterAnyAction() const = 0;
    virtual long curSyncMLSourceIndex() const = 0;
    virtual void resetSyncMLSource() = 0;
    virtual QString storedDeviceURI() const = 0;
    virtual void setStoredDeviceURI(const QString& uri) = 0;
    virtual void setLastSyncTimeDevice(const QString& time, int property) = 0;
    virtual void setLastSyncTimeDZ(const QString& time, int property) = 0;
};

// One SyncML data synchronisation of one organizer property in which the
// program is the SyncML server and the phone the client. As OBEX client the
// session PUTs each message and GETs the phone's answer; the server role
// (QVServerSyncSession) answers the phone's PUT and GET instead. It starts
// the phone (server-alerted notification, AT switch or initiating Alert),
// reads each of the phone's messages, hands the received items to its job
// and sends the queued commands. Main thread only; used once.
class QVSyncSession : public QVBaseSession, public SyncMLCreatorSession, public QVSyncObjectsSession {
public:
    // Results of this session beyond the base's.
    static constexpr int kNoAnswerData = -9994;
    static constexpr int kAnswerNotXML = -9995;
    static constexpr int kNoSyncMLElement = -9996;
    static constexpr int kNotConvertible = -457;
    static constexpr int kFailed = -1;
    // A chunked item may grow this far past its announced size; without an
    // announced size it may reach kMaxJoinedChars.
    static constexpr qsizetype kChunkMargin = 4096;
    static constexpr qsizetype kMaxJoinedChars = 8 * 1024 * 1024;

    // Null when the phone has no sync description.
    static std::unique_ptr<QVSyncSession> syncSessionWithConnection(SyncMLConnection& connection,
                                                                    QVSessionUser* notifier);
    ~QVSyncSession() override;

    // Starts.
    int performReadContacts(bool forceSlow) override;
    int performReadCalendarEvents(bool forceSlow) { return performRead(1, forceSlow); }
    int performReadEvents(bool forceSlow) { return performRead(5, forceSlow); }
    int performReadTasks(bool forceSlow) { return performRead(6, forceSlow); }
    int performReadNotes(bool forceSlow) { return performRead(2, forceSlow); }
    int performReadBookmarks(bool forceSlow) { return performRead(3, forceSlow); }
    int performReadSMS(bool forceSlow) { return performRead(4, forceSlow); }
    void performInitiateSession(bool forceSlow);

    void setDownloadObjects(std::shared_ptr<QVCommandArray> commands, QVSyncElemList* elemList, int type) override;
    long elementsToSendCount() const;
    long elementsSentSoFar() const;

    // Identifiers.
    void newSessionID();
    long newMessageID() override;
    long newCommandID() override;
    QString currentSessionID() const override { return _sessionID; }
    void setSessionID(const QString& id) { _sessionID = id; }
    long messageID() const { return _messageID; }

    // Versions and limits.
    QString syncMLVersionString() const override;
    int syncMLVersion() const override { return _syncMLVersion; }
    int syncMLMaxMsgSize() const override { return _syncMLMaxMsgSize > 0 ? _syncMLMaxMsgSize : 32000; }
    int syncMLMaxSyncCMDNbInEncodedMsg() const override;
    bool syncMLLargeObjectSupport() const;
    bool syncMLNumberOfChangesSupport() const override;
    bool syncMLRefreshFromServerSupport() const;
    QString defaultCharset() const;
    QString protocol() const;
    QString syncServerName() const override;

    // URIs and databases.
    QString myURI() const override;
    QString deviceURI() const override { return _deviceURI; }
    void setMyURI(const QString& uri) { _myURI = uri; }
    void setDeviceURI(const QString& uri);
    void setMyDB(const QString& name);
    void setDeviceDB(const QString& name);
    QString myDB(int property) const override;
    QString deviceDB(int property) const override;
    QString targetDatabase(int property) const override;
    QString currentDBName() const override { return _currentDBName; }
    QString currentDeviceDBName() const override { return _currentDeviceDBName; }
    int currentDBIndex() const { return _currentDBIndex; }
    void addDeviceRelation(const QString& myDBName, const QString& deviceDBName);
    QVariantList syncReplies() const override { return _syncReplies; }
    int getDeviceRelationIndex(int property) const override;

    // The answer being built.
    SyncMLCreatorNode* newAnswerDocument();
    const SyncMLCreatorNode* currentAnswerDocument() const override { return _currentAnswerDocument.get(); }
    SyncMLCreatorNode* currentAnswerSyncBody();
    void addElementToAnswerSyncBody(std::unique_ptr<SyncMLCreatorNode> element);
    void markAnswersAsSent();
    QString currentProcessedMessageID() const override;
    void setCurrentProcessedMessageID(const QString& id) { _currentProcessedMsgID = id; }
    bool hasAnswer() const { return bool(_currentAnswerDocument); }

    SyncMLCreator& syncMLCreator() override { return *_syncMLCreator; }
    bool isServer() const { return _isServer; }
    const QVSyncDeviceDescription& syncDescription() const override { return *_syncDescription; }
    std::shared_ptr<SyncDeviceLimits> itemDescription() const override;
    int property() const override { return _property; }
    void setDZSyncTime(const QString& time) override { QVBaseSession::setDZSyncTime(time); }
    QString lastSyncDZTime() const override { return QVBaseSession::lastSyncDZTime(); }

    // Sending.
    int sendXMLDocumentWithPutWBXML(const SyncMLCreatorNode& document, bool getDataAfter);
    int sendDataWithPutNotification(const QByteArray& data, bool getDataAfter);
    int sendSwitchCommand();
    void holdCurrentCommand(std::shared_ptr<ObjectPushCommand> command);
    // The completions of the session's OBEX commands.
    void sentDataToClientFinished(ObjectPushCommand& command);
    void receivedAnswerFromClientFinished(ObjectPushCommand& command);
    // Reads one message of the phone (XML text) and answers it.
    void examineReturnedData(const QByteArray& xml);

    // Server role.
    void clientSentGetCommand() override;
    void sendDataToClientIfNecessary();

    // Ending.
    void finishSession(int result) override;
    void finishSessionWithNumber(const QVariant& result);
    void setGlobalError(int status) override;
    bool isFinished() const { return _syncFinshed; }

    // Progress and states.
    float getProgressInPercent() const override;
    int indexOfCurrentReadElem() const override;
    int indexOfCurrentSendingElem() const override;
    int noOfElemsToSend() const override;
    // Reading counts against the phone's number of changes when it gave
    // one; Sending shows only while something is left to send.
    QString syncStateText(int state) const override;

    // Logging.
    void logString(const QString& text) const;
    void logTree(const SyncMLCreatorNode* tree) const;
    void logDebugInfo() override;
    void logXMLDocument(const SyncMLCreatorNode* document) const { logTree(document); }
    QString displayString(const QString& text) const { return text; }
    QString addCharsetInfo(const QString& type) const;

    // Leftovers of older paths; nothing sends them.
    void rememberPushCommand(const std::shared_ptr<ObjectPushCommand>& command) { holdCurrentCommand(command); }
    QString deviceVCardVersion() const { return QStringLiteral("2.1"); }
    QString sentSyncAlert() const { return _receivedSyncAlert; }

    // ---- Reading a message's commands (QVSyncSessionReader.cpp) ----
    void processBodyElement(const SyncMLCreatorNode& element);
    void processStatusElement(const SyncMLCreatorNode& element);
    void processAlertElement(const SyncMLCreatorNode& element);
    void processPutElement(const SyncMLCreatorNode& element);
    void processGetElement(const SyncMLCreatorNode& element);
    void processResultsElement(const SyncMLCreatorNode& element);
    void processSyncElement(const SyncMLCreatorNode& element);
    void processSyncAddElement(const SyncMLCreatorNode& element) { processSyncAddReplace(element, true); }
    void processSyncReplaceElement(const SyncMLCreatorNode& element) { processSyncAddReplace(element, false); }
    void processSyncDeleteElement(const SyncMLCreatorNode& element);
    void processSyncMetaElement(const SyncMLCreatorNode&) { }
    void processMapElement(const SyncMLCreatorNode& element);
    void processSyncMapElement(const SyncMLCreatorNode& element) { processMapElement(element); }
    void processFinalElement(const SyncMLCreatorNode&) { _messageHadFinalTag = true; }
    void processUnknownElement(const SyncMLCreatorNode& element);
    void processCredentials(const SyncMLCreatorNode& cred);
    void processDeviceInfo(const SyncMLCreatorNode& element);
    int identifyMyDB(const QString& myDBName) const;
    void setActiveDBs(const QString& myDBName, const QString& deviceDBName);
    void rememberCommandForStatus(const QString& cmdID, const QString& cmdName) override;
    void rememberCommandForStatus(const std::shared_ptr<SyncMLMessage>& message);
    void rememberCommandForResults(const std::shared_ptr<SyncMLMessage>& message);
    void checkForMissingAnswers() const;
    void addStatusElement(const SyncMLCreatorNode& command, const QList<QPair<QString, QString>>& children);
    void markDeviceInfoAsRead(SyncMLMessage& message);
    QString postProcessVCard(const QString& text) const;

    // What tests and the job read.
    const QVariantList& items() const { return _items; }
    const QVariantMap& credentials() const { return _credentials; }
    bool hasReceivedSyncHeader() const { return _hasReceivedSyncHeader; }
    bool hasDeviceInfo() const { return _hasDeviceInfo; }
    bool hasSentDeviceInfo() const { return _hasSentDeviceInfo; }
    QString lastAnchor() const { return _lastAnchor; }
    QString nextAnchor() const { return _nextAnchor; }
    QString receivedSyncAlert() const { return _receivedSyncAlert; }
    bool iNeedAnswer() const { return _iNeedAnswer; }
    long numberOfChanges() const { return _numberOfChanges; }
    int pendingStatusAnswers() const { return int(_commandsExpectingStatusMsg.size()); }
    int pendingResultsAnswers() const { return int(_commandsExpectingResultsMsg.size()); }
    QVSyncObjects* syncObjects() const { return _syncObjects.get(); }
    QVSyncObjects* syncObjectsTasks() const { return _syncObjectsTasks.get(); }

protected:
    QVSyncSession(SyncMLConnection& connection, QVSessionUser* notifier,
                  std::shared_ptr<QVSyncDeviceDescription> description);
    QVSyncSessionDevice* sessionDevice() const;
    double pause() const;
    // Runs fn after the device's pause (or at once, 0), unless the session is
    // gone by then.
    void performLater(const QString& action, double delay, std::function<void()> fn);
    void executeHeldCommand();
    // The phone's message has been read: decode it and examine it later.
    void readReceivedWBXML(const QByteArray& wbxml);

    bool _isServer = false;
    bool _hasDataForGet = false;
    bool _clientSentGet = false;

private:
    struct Remembered {
        QString cmdID;
        QString msgID;
        std::shared_ptr<SyncMLMessage> message;
    };

    int performRead(int property, bool forceSlow);
    void processSyncAddReplace(const SyncMLCreatorNode& element, bool isAdd);
    void completeRecord(QVariantMap record, bool isAdd);
    void processSyncHeader(const SyncMLCreatorNode& header);
    void answerMessage();
    void oneMoreProgressStep();
    bool stopIfCancelled(bool answer);
    void removeMatching(std::vector<Remembered>& list, const QString& cmdRef, const QString& msgRef);

    std::shared_ptr<int> _alive = std::make_shared<int>(0);
    std::unique_ptr<SyncMLCreator> _syncMLCreator;
    std::unique_ptr<QVSyncObjects> _syncObjects;
    std::unique_ptr<QVSyncObjects> _syncObjectsTasks;
    bool _syncFinshed = false;
    bool _finished = false;
    QString _sessionID;
    long _messageID = 0;
    long _commandID = 0;
    int _syncMLMaxMsgSize = 0;
    long _curSyncItem = 0;
    bool _decidedFastSlow = false;
    QVariantList _syncReplies;
    QString _deviceSyncMLVersionString;
    int _syncMLVersion = 0;
    bool _supportsNoChanges = false;
    long _curProgressAction = 0;
    long _maxProgressAction = 1;
    mutable float _lastVal = 0;
    QString _myURI;
    QString _deviceURI;
    QStringList _myDB;
    QStringList _deviceDB;
    QString _lastAnchor;
    QString _nextAnchor;
    bool _hasReceivedSyncHeader = false;
    bool _hasDeviceInfo = false;
    bool _hasSentDeviceInfo = false;
    QString _receivedSyncAlert;
    bool _loggedFirstAlert = false;
    bool _messageHadFinalTag = false;
    bool _iNeedAnswer = false;
    bool _wasSyncCommand = false;
    bool _wasMapCommand = false;
    bool _sentSyncOurself = false;
    long _nonStatusCmdsInSentPackage = 0;
    long _numberOfChanges = 0;
    QVariantMap _lastIncompleteRecord;
    qsizetype _incompleteLimit = 0;
    QString _droppedChunkURI;
    std::vector<Remembered> _commandsExpectingStatusMsg;
    std::vector<Remembered> _commandsExpectingResultsMsg;
    QString _currentProcessedMsgID;
    std::unique_ptr<SyncMLCreatorNode> _currentAnswerDocument;
    QString _currentDBName;
    QString _currentDeviceDBName;
    int _currentDBIndex = -1;
    bool _serverSentCredElem = false;
    bool _collectElements = false;
    int _exchangedMessagesCounter = 0;
    std::shared_ptr<ObjectPushCommand> _currentCommand;
    bool _makeGetAfterSendingData = false;
    bool _deliveredReadData = false;
    std::shared_ptr<QVCommandArray> _elemsToSend;
    std::shared_ptr<QVCommandArray> _tasksToSend;
    QStringList _dbNames;
    QVariantMap _credentials;
    QVariantList _items;
};

// Returns its argument unchanged.
QString removeDotSlash(const QString& text);
