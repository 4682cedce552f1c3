#include "sync/QVSyncSession.h"

#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "links/ObjectPushCommand.h"
#include "links/ObjectServerCommand.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/HexDump.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "sync/QVSessionUser.h"
#include "sync/QVSyncObjects.h"
#include "sync/SyncMLConnection.h"
#include "sync/WBXMLConverter.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/SyncDeviceLimits.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

const QString kQVSyncSessionDashes = QString(60, QLatin1Char('-'));

QString qvSyncSessionDefaultDB(int property)
{
    static const char* const names[] = {"Contacts", "Calendar", "Notes", "Bookmarks", "sms", "Events", "Tasks"};
    if (property < 0 || property > 6)
        return QStringLiteral("## UNKNOWN ##");
    return QLatin1String(names[property]);
}

} // namespace

QString removeDotSlash(const QString& text)
{
    return text;
}

std::unique_ptr<QVSyncSession> QVSyncSession::syncSessionWithConnection(SyncMLConnection& connection,
                                                                        QVSessionUser* notifier)
{
    std::shared_ptr<QVSyncDeviceDescription> description = findDescription(connection);
    if (!description) {
        QVLOG(qvlog::kXT,
              QStringLiteral("QVSyncSession: no sync description for %1").arg(connection.deviceIdentifier()));
        return nullptr;
    }
    return std::unique_ptr<QVSyncSession>(new QVSyncSession(connection, notifier, std::move(description)));
}

QVSyncSession::QVSyncSession(SyncMLConnection& connection, QVSessionUser* notifier,
                             std::shared_ptr<QVSyncDeviceDescription> description)
    : QVBaseSession(connection, notifier, std::move(description))
    , _syncMLCreator(SyncMLCreator::SyncMLCreatorWithSession(*this))
{
    _maxProgressAction = 1;
    _syncMLVersion = _syncDescription->syncMLVersion();
    long sourceIndex = 0;
    if (QVSyncSessionDevice* device = sessionDevice())
        sourceIndex = device->curSyncMLSourceIndex();
    _myURI = _syncDescription->syncServerNameIx(int(sourceIndex));
    if (_myURI.isEmpty()) {
        if (QVSyncSessionDevice* device = sessionDevice())
            device->resetSyncMLSource();
        _myURI = _syncDescription->syncServerNameIx(0);
    }
    _syncMLMaxMsgSize = _syncDescription->syncMLMaxMsgSize();
    _commandsExpectingStatusMsg.reserve(16);
    _commandsExpectingResultsMsg.reserve(16);
    _dbNames = {QStringLiteral("Contacts"),  QStringLiteral("Calendar"), QStringLiteral("Notes"),
                QStringLiteral("Bookmarks"), QStringLiteral("SMS"),      QStringLiteral("Events"),
                QStringLiteral("Tasks")};
}

QVSyncSession::~QVSyncSession()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    _alive.reset();
}

QVSyncSessionDevice* QVSyncSession::sessionDevice() const
{
    return dynamic_cast<QVSyncSessionDevice*>(_deviceConnection.mfDevice());
}

double QVSyncSession::pause() const
{
    const QVSyncSessionDevice* device = sessionDevice();
    return device ? device->pauseAfterAnyAction() : 0.0;
}

void QVSyncSession::performLater(const QString& action, double delay, std::function<void()> fn)
{
    std::weak_ptr<int> alive = _alive;
    platform::runloop::performAfterDelay(this, action, delay, [alive, fn = std::move(fn)] {
        if (!alive.expired())
            fn();
    });
}

// ---- Starts ----

int QVSyncSession::performReadContacts(bool forceSlow)
{
    return performRead(0, forceSlow);
}

int QVSyncSession::performRead(int property, bool forceSlow)
{
    _property = property;
    performLater(QStringLiteral("performInitiateSession"), pause(),
                 [this, forceSlow] { performInitiateSession(forceSlow); });
    return 0;
}

void QVSyncSession::performInitiateSession(bool forceSlow)
{
    const bool twoCalendars = _property == 1 && _syncDescription->has2CalendarDBs();
    _syncObjects = QVSyncObjects::syncObjectsWithSession(*this, _syncMLVersion, twoCalendars ? 5 : _property);
    _forceSlow = forceSlow;
    _supportsNoChanges = false;
    _curProgressAction = 1;
    _maxProgressAction = 8;
    _lastVal = 0;
    retrieveTimeInfo(_property);
    if (_syncDescription->nonNilBOOLFromDescription(QStringLiteral("SyncML.RememberURI")))
        if (QVSyncSessionDevice* device = sessionDevice())
            _deviceURI = device->storedDeviceURI();
    _collectElements = true;
    logDebugInfo();
    if (_syncMLVersion != 1 && _syncMLVersion != 2) {
        // Nothing could ever answer a session of an unknown SyncML version.
        logString(QStringLiteral("##### Unsupported SyncML version %1, session not started").arg(_syncMLVersion));
        setGlobalError(kFailed);
        finishSession(kFailed);
        return;
    }
    if (!setSyncState(Handshaking)) {
        stopSession();
        return;
    }
    newSessionID();
    if (_syncDescription->syncMLUseSAN()) {
        sendDataWithPutNotification(_syncMLCreator->createSanMessage(_property), true);
        return;
    }
    if (_syncDescription->switchToSyncMLCommand() == QLatin1String("AT+SYNCML")) {
        sendSwitchCommand();
        return;
    }
    const int code = int(_syncDescription->syncMLInitiatingAlertCmdID());
    SyncMLCreator::Node document = _syncDescription->isSamsung()
        ? _syncMLCreator->createAlarmPacket0Samsung(code, _property)
        : _syncMLCreator->createAlarmPacket0(code, _property);
    if (!document) {
        logString(QStringLiteral("##### No initiating message for property %1").arg(_property));
        setGlobalError(kFailed);
        finishSession(kFailed);
        return;
    }
    sendXMLDocumentWithPutWBXML(*document, true);
}

int QVSyncSession::sendSwitchCommand()
{
    const int status = _deviceConnection.sendSwitchCommandForProperty(_property, _forceSlow);
    if (status != 0) {
        logString(QStringLiteral("\n[QVSyncSession]: switch command failed with error:%1\n").arg(status));
        finishSession(status);
    }
    return status;
}

void QVSyncSession::setDownloadObjects(std::shared_ptr<QVCommandArray> commands, QVSyncElemList* elemList, int type)
{
    _syncElemList = elemList;
    if (type == 6) {
        _syncObjectsTasks = QVSyncObjects::syncObjectsWithSession(*this, _syncMLVersion, 6);
        _tasksToSend = commands;
        _syncObjectsTasks->setDownloadObjects(std::move(commands));
        return;
    }
    if (!_syncObjects)
        _syncObjects = QVSyncObjects::syncObjectsWithSession(*this, _syncMLVersion, _property);
    _elemsToSend = commands;
    _syncObjects->setDownloadObjects(std::move(commands));
}

long QVSyncSession::elementsToSendCount() const
{
    return (_syncObjects ? _syncObjects->elementsToSendCount() : 0)
        + (_syncObjectsTasks ? _syncObjectsTasks->elementsToSendCount() : 0);
}

long QVSyncSession::elementsSentSoFar() const
{
    return (_syncObjects ? _syncObjects->elementsSentSoFar() : 0)
        + (_syncObjectsTasks ? _syncObjectsTasks->elementsSentSoFar() : 0);
}

// ---- Identifiers ----

void QVSyncSession::newSessionID()
{
    _commandID = 0;
    _messageID = 0;
    _globalError = 0;
    _lastIncompleteRecord.clear();
    _droppedChunkURI.clear();
    _sessionID = _deviceConnection.newSessionID();
}

long QVSyncSession::newMessageID()
{
    _commandID = 0;
    return ++_messageID;
}

long QVSyncSession::newCommandID()
{
    return ++_commandID;
}

// ---- Versions and limits ----

QString QVSyncSession::syncMLVersionString() const
{
    if (!_deviceSyncMLVersionString.isEmpty())
        return _deviceSyncMLVersionString;
    return _syncMLVersion == 2 ? QStringLiteral("1.2") : _syncDescription->syncMLVersionString();
}

int QVSyncSession::syncMLMaxSyncCMDNbInEncodedMsg() const
{
    return _syncDescription->syncMLMaxSyncCMDNbInEncodedMsg();
}

bool QVSyncSession::syncMLLargeObjectSupport() const
{
    return _syncDescription->syncMLLargeObjectSupport();
}

bool QVSyncSession::syncMLNumberOfChangesSupport() const
{
    return _syncDescription->syncMLNumberOfChangesSupport();
}

bool QVSyncSession::syncMLRefreshFromServerSupport() const
{
    return _syncDescription->syncMLRefreshFromServerSupport();
}

QString QVSyncSession::defaultCharset() const
{
    return _syncDescription->defaultCharset();
}

QString QVSyncSession::protocol() const
{
    return _syncDescription->protocol();
}

QString QVSyncSession::syncServerName() const
{
    return _syncDescription->syncServerName();
}

std::shared_ptr<SyncDeviceLimits> QVSyncSession::itemDescription() const
{
    return SyncDeviceLimits::fromProtocol(protocol());
}

QString QVSyncSession::addCharsetInfo(const QString& type) const
{
    const QString charset = defaultCharset();
    return charset.isEmpty() ? type : type + QStringLiteral("; charset=") + charset;
}

// ---- URIs and databases ----

QString QVSyncSession::myURI() const
{
    return _myURI.isEmpty() ? QStringLiteral("Unknown Server") : _myURI;
}

void QVSyncSession::setDeviceURI(const QString& uri)
{
    if (_deviceURI.isEmpty())
        if (QVSyncSessionDevice* device = sessionDevice())
            device->setStoredDeviceURI(uri);
    _deviceURI = uri;
}

namespace {

void qvSyncSessionSetDBName(QStringList& names, const QString& name, bool twoCalendars)
{
    if (twoCalendars) {
        if (!names.contains(name) && names.size() < 2)
            names.append(name);
    } else {
        names = QStringList{name};
    }
}

} // namespace

void QVSyncSession::setMyDB(const QString& name)
{
    qvSyncSessionSetDBName(_myDB, name, _property == 1 && _syncDescription->has2CalendarDBs());
}

void QVSyncSession::setDeviceDB(const QString& name)
{
    qvSyncSessionSetDBName(_deviceDB, name, _property == 1 && _syncDescription->has2CalendarDBs());
}

QString QVSyncSession::deviceDB(int property) const
{
    if (!_deviceDB.isEmpty()) {
        if (_property == 1 && _syncDescription->has2CalendarDBs() && property == 6 && _deviceDB.size() == 2)
            return _deviceDB.at(1);
        return _deviceDB.first();
    }
    const QString target = _syncDescription->targetDatabase(property);
    return target.isEmpty() ? qvSyncSessionDefaultDB(property) : target;
}

QString QVSyncSession::myDB(int property) const
{
    if (!_myDB.isEmpty()) {
        if (_property == 1 && _syncDescription->has2CalendarDBs() && property == 6 && _myDB.size() == 2)
            return _myDB.at(1);
        return _myDB.first();
    }
    const QString source = _syncDescription->sourceDatabase(property);
    return source.isEmpty() ? qvSyncSessionDefaultDB(property) : source;
}

QString QVSyncSession::targetDatabase(int property) const
{
    return _syncDescription->targetDatabase(property);
}

void QVSyncSession::addDeviceRelation(const QString& myDBName, const QString& deviceDBName)
{
    _syncReplies.append(
        QVariantMap{{QStringLiteral("myDBName"), myDBName}, {QStringLiteral("deviceDBName"), deviceDBName}});
}

int QVSyncSession::getDeviceRelationIndex(int property) const
{
    if (property != 5 && property != 6)
        return 0;
    for (int i = 0; i < _syncReplies.size(); ++i) {
        const QString name = _syncReplies.at(i).toMap().value(QStringLiteral("myDBName")).toString();
        if (property == 5 && (name.contains(QLatin1String("Events")) || name.contains(QLatin1String("Calendar"))))
            return i;
        if (property == 6 && name.contains(QLatin1String("Tasks")))
            return i;
    }
    return property == 6 ? int(_syncReplies.size()) - 1 : 0;
}

// ---- The answer ----

SyncMLCreatorNode* QVSyncSession::newAnswerDocument()
{
    _currentAnswerDocument = _syncMLCreator->createNewMessage();
    _nonStatusCmdsInSentPackage = 0;
    SyncMLCreatorNode* body = _currentAnswerDocument->find(QStringLiteral("SyncML/SyncBody"));
    body->addChild(_syncMLCreator->createSyncHdrAnswerElement(_serverSentCredElem ? 212 : 200));
    _credentials.clear();
    return _currentAnswerDocument.get();
}

SyncMLCreatorNode* QVSyncSession::currentAnswerSyncBody()
{
    if (!_currentAnswerDocument)
        newAnswerDocument();
    return _currentAnswerDocument->find(QStringLiteral("SyncML/SyncBody"));
}

void QVSyncSession::addElementToAnswerSyncBody(std::unique_ptr<SyncMLCreatorNode> element)
{
    if (!element)
        return;
    if (element->tag() != QLatin1String("Status") && element->tag() != QLatin1String("Final"))
        ++_nonStatusCmdsInSentPackage;
    currentAnswerSyncBody()->addChild(std::move(element));
}

void QVSyncSession::markAnswersAsSent()
{
    _currentAnswerDocument.reset();
    _nonStatusCmdsInSentPackage = 0;
}

QString QVSyncSession::currentProcessedMessageID() const
{
    return _currentProcessedMsgID.isEmpty() ? QStringLiteral("### Missing ###") : _currentProcessedMsgID;
}

// ---- Sending ----

int QVSyncSession::sendXMLDocumentWithPutWBXML(const SyncMLCreatorNode& document, bool getDataAfter)
{
    _makeGetAfterSendingData = getDataAfter;
    const QByteArray xml = document.xmlData();
    std::optional<QByteArray> converted = WBXMLConverter::sharedWBXMLConverter().convertToWBXML(xml, _syncMLVersion);
    if (!converted || converted->isEmpty()) {
        logString(kQVSyncSessionDashes);
        logString(QStringLiteral("##### Failure convertToWBXML failed, input:\n\n") + QString::fromLatin1(xml));
        setGlobalError(kNotConvertible);
        finishSession(kNotConvertible);
        return kNotConvertible;
    }
    QByteArray wbxml = *converted;
    if (wbxml.size() >= 3 && uchar(wbxml.at(1)) == 0xA4 && uchar(wbxml.at(2)) == 0x01) {
        if (protocol().startsWith(QLatin1String("Protocol Series"))) {
            wbxml[1] = char(0x9F);
            wbxml[2] = char(0x53);
        } else if (_syncDescription->isSamsung()) {
            wbxml[1] = 0;
            wbxml[2] = 0;
        }
    }
    if (QVLogIsNamedLogOpen(QLatin1String(qvlog::kSyncML))) {
        const auto decoded = WBXMLConverter::sharedWBXMLConverter().convertToXML(wbxml, _syncMLVersion);
        logString(QStringLiteral("[#%1] => SyncML msg (decoded)\n").arg(++_exchangedMessagesCounter)
                  + decoded.value_or(QString::fromUtf8(xml)));
        logString(QStringLiteral("Sending %1 Bytes via pushCommandWithData (%2 MaxMsgSize)\n")
                      .arg(wbxml.size())
                      .arg(syncMLMaxMsgSize()));
        logString(QStringLiteral("\nSending data:\n\n%1\n").arg(platform::hexdump::shortFormatted(wbxml)));
    } else {
        ++_exchangedMessagesCounter;
    }
    std::weak_ptr<int> alive = _alive;
    auto finish = [this, alive](QVDeviceCallback& command) {
        if (!alive.expired())
            sentDataToClientFinished(static_cast<ObjectPushCommand&>(command));
    };
    std::shared_ptr<ObjectPushCommand> command;
    if (_isServer)
        command = ObjectServerCommand::objectServerCommandWithDataAndCallback(ObjectPushCommand::kServerGetResponse,
                                                                              wbxml, this, finish, nullptr);
    else
        command = ObjectPushCommand::pushCommandWithData(ObjectPushCommand::kPutSyncMLWBXML, wbxml, this, finish);
    holdCurrentCommand(command);
    performLater(QStringLiteral("executeCommandSync"), pause(), [this] { executeHeldCommand(); });
    return 0;
}

int QVSyncSession::sendDataWithPutNotification(const QByteArray& data, bool getDataAfter)
{
    _makeGetAfterSendingData = getDataAfter;
    logString(QStringLiteral("[#%1] => Sending SAN message:\n------------\n%2\n")
                  .arg(++_exchangedMessagesCounter)
                  .arg(platform::hexdump::shortFormatted(data)));
    std::weak_ptr<int> alive = _alive;
    auto command = ObjectPushCommand::pushCommandWithData(
        ObjectPushCommand::kPutSyncMLNotification, data, this, [this, alive](QVDeviceCallback& c) {
            if (!alive.expired())
                sentDataToClientFinished(static_cast<ObjectPushCommand&>(c));
        });
    holdCurrentCommand(command);
    performLater(QStringLiteral("executeCommandSync"), pause(), [this] { executeHeldCommand(); });
    return 0;
}

void QVSyncSession::executeHeldCommand()
{
    if (!_currentCommand || _finished)
        return;
    const std::shared_ptr<ObjectPushCommand> command = _currentCommand;
    const int status = _deviceConnection.executeCommandSync(command);
    if (status != 0) {
        // A request the connection refused never completes: end here (an
        // answer to a GET that failed on its way out may have ended the
        // session already; ending twice changes nothing).
        logString(QStringLiteral("\n[QVSyncSession]: request %1 refused with error:%2\n")
                      .arg(command->command())
                      .arg(status));
        holdCurrentCommand(nullptr);
        setGlobalError(status);
        finishSession(status);
    }
}

void QVSyncSession::holdCurrentCommand(std::shared_ptr<ObjectPushCommand> command)
{
    if (_currentCommand)
        QVLOG(qvlog::kXT,
              QStringLiteral("[QVSyncSession holdCurrentCommand] release: %1").arg(_currentCommand->description()));
    if (command) {
        QVLOG(qvlog::kXT, QStringLiteral("[QVSyncSession holdCurrentCommand]  hold: %1").arg(command->description()));
        QVLOG(qvlog::kXT,
              QStringLiteral("## Retain [QVSyncSession holdCurrentCommand]: %1\n").arg(command->description()));
    }
    _currentCommand = std::move(command);
}

void QVSyncSession::sentDataToClientFinished(ObjectPushCommand& command)
{
    if (_finished || _isStopped)
        return;
    const int status = command.status();
    if (!_isServer)
        markAnswersAsSent();
    if (status != 0) {
        logString(QStringLiteral("\n[QVSyncSession]: Sending data failed with error:%1\n").arg(status));
        holdCurrentCommand(nullptr);
        finishSession(status);
        return;
    }
    holdCurrentCommand(nullptr);
    if (_syncFinshed) {
        performLater(QStringLiteral("finishSessionWithNSNumber"), 0, [this] { finishSessionWithNumber(0); });
        return;
    }
    if (_isServer || !_makeGetAfterSendingData)
        return;
    std::weak_ptr<int> alive = _alive;
    auto get = ObjectPushCommand::pushCommandWithData(
        ObjectPushCommand::kGetSyncMLWBXML, QByteArray(), this, [this, alive](QVDeviceCallback& c) {
            if (!alive.expired())
                receivedAnswerFromClientFinished(static_cast<ObjectPushCommand&>(c));
        });
    holdCurrentCommand(get);
    performLater(QStringLiteral("executeCommandSync"), pause(), [this] { executeHeldCommand(); });
}

void QVSyncSession::receivedAnswerFromClientFinished(ObjectPushCommand& command)
{
    if (_finished || _isStopped)
        return;
    const int status = command.status();
    if (status != 0) {
        holdCurrentCommand(nullptr);
        logString(QStringLiteral("\n[QVSyncSession receivedAnswerFromClientFinished]: Getting data failed with "
                                 "error:%1\n")
                      .arg(status));
        finishSession(status);
        return;
    }
    const QByteArray data = command.dataReceived();
    if (data.isEmpty()) {
        holdCurrentCommand(nullptr);
        logString(QStringLiteral("\n[QVSyncSession receivedAnswerFromClientFinished] Return data = nil\n"));
        finishSession(kNoAnswerData);
        return;
    }
    readReceivedWBXML(data);
}

// The text of every Data element inside a Cred element, replaced.
static QString qvSyncSessionHideCredentials(QString xml)
{
    static const QRegularExpression data(QStringLiteral("(<Cred\\b.*?<Data\\b[^>]*>)(.*?)(</Data>)"),
                                         QRegularExpression::DotMatchesEverythingOption);
    xml.replace(data, QStringLiteral("\\1<hidden>\\3"));
    return xml;
}

void QVSyncSession::readReceivedWBXML(const QByteArray& wbxml)
{
    logString(kQVSyncSessionDashes);
    const std::optional<QByteArray> xml = WBXMLConverter::sharedWBXMLConverter().convertToXMLData(wbxml,
                                                                                                  _syncMLVersion);
    // A phone's credentials are a password in Base64: the log never holds
    // them, neither in the message's bytes nor in its text.
    const bool withCredentials = xml && xml->contains("<Cred");
    logString(withCredentials ? QStringLiteral("Data received (%1 Bytes): not shown, it carries credentials\n")
                                    .arg(wbxml.size())
                              : QStringLiteral("Data received (%1 Bytes):\n%2")
                                    .arg(wbxml.size())
                                    .arg(platform::hexdump::shortFormatted(wbxml)));
    ++_exchangedMessagesCounter;
    if (xml)
        logString(QStringLiteral("[#%1] <= Received SyncML msg (decoded)\n").arg(_exchangedMessagesCounter)
                  + (withCredentials ? qvSyncSessionHideCredentials(QString::fromUtf8(*xml)) : QString::fromUtf8(*xml)));
    else
        logString(QStringLiteral("\nReturned XMLString2 = nil!\n"));
    holdCurrentCommand(nullptr);
    if (!_supportsNoChanges)
        ++_curProgressAction;
    const QByteArray data = xml.value_or(QByteArray());
    performLater(QStringLiteral("examineReturnedData"), 0, [this, data] { examineReturnedData(data); });
}

// ---- Reading a message ----

void QVSyncSession::processSyncHeader(const SyncMLCreatorNode& header)
{
    using namespace syncmlreader;
    if (const SyncMLCreatorNode* cred = findElem(&header, QStringLiteral("Cred"))) {
        _serverSentCredElem = true;
        processCredentials(*cred);
    }
    if (!_hasReceivedSyncHeader) {
        _hasReceivedSyncHeader = true;
        if (_deviceSyncMLVersionString.isEmpty()) {
            const QString version = findTag(&header, QStringLiteral("VerDTD"));
            if (!version.isEmpty()) {
                _deviceSyncMLVersionString = version;
                if (version == QLatin1String("1.2"))
                    _syncMLVersion = 2;
            }
        }
        const QString source = findPathText(&header, QStringLiteral("Source/LocURI"));
        if (!source.isNull())
            setDeviceURI(source);
        const QString target = findPathText(&header, QStringLiteral("Target/LocURI"));
        if (!target.isEmpty())
            setMyURI(target);
        const QString session = findTag(&header, QStringLiteral("SessionID"));
        if (!session.isNull())
            setSessionID(session);
        const QString maxMsgSize = findPathText(&header, QStringLiteral("Meta/MaxMsgSize"));
        bool ok = false;
        const int size = maxMsgSize.trimmed().toInt(&ok);
        if (ok && size > 0)
            _syncMLMaxMsgSize = size;
    }
    setCurrentProcessedMessageID(findTag(&header, QStringLiteral("MsgID")));
}

void QVSyncSession::examineReturnedData(const QByteArray& xml)
{
    if (_finished || _isStopped)
        return;
    _messageHadFinalTag = false;
    _iNeedAnswer = false;
    _wasSyncCommand = false;
    _wasMapCommand = false;
    _sentSyncOurself = false;

    QString error;
    std::unique_ptr<SyncMLCreatorNode> tree;
    if (_property == 4) {
        tree = syncmlreader::parseXML(syncmlreader::fixMixedEncoding(xml), &error);
    } else {
        tree = syncmlreader::parseXML(xml, &error);
        if (!tree)
            tree = syncmlreader::parseXML(syncmlreader::fixXMLData(xml), &error);
    }
    if (!tree) {
        const QString line = QStringLiteral("##### Empty documentXMLTree, reason:%1 #####").arg(error);
        QVLOG(qvlog::kXT, line);
        logString(line);
        finishSession(kAnswerNotXML);
        return;
    }
    const SyncMLCreatorNode* syncML = tree->child(QStringLiteral("SyncML"));
    if (!syncML) {
        const QString line = QStringLiteral("##### Empty message (NO <SyncML> tag, what is that? #####");
        QVLOG(qvlog::kXT, line);
        logString(line);
        finishSession(kNoSyncMLElement);
        return;
    }
    for (const auto& child : syncML->children()) {
        if (child->kind() != SyncMLCreatorNode::Kind::Element)
            continue;
        if (child->tag() == QLatin1String("SyncHdr")) {
            processSyncHeader(*child);
        } else if (child->tag() == QLatin1String("SyncBody")) {
            for (const bool alerts : {false, true}) {
                for (const auto& command : child->children()) {
                    if (command->kind() != SyncMLCreatorNode::Kind::Element
                        || (command->tag() == QLatin1String("Alert")) != alerts)
                        continue;
                    processBodyElement(*command);
                    if (_isStopped || _finished)
                        return;
                }
            }
        } else {
            logString(QStringLiteral("### Can't handle '%1' message, have to cancel operation!").arg(child->tag()));
            setGlobalError(kNoSyncMLElement);
            _syncFinshed = true;
            finishSession(kNoSyncMLElement);
            return;
        }
    }
    if (_messageHadFinalTag)
        checkForMissingAnswers();
    answerMessage();
}

void QVSyncSession::answerMessage()
{
    // The answer exists before our Sync is measured against the phone's
    // maximum and numbered in it.
    currentAnswerSyncBody();
    const bool sending = _syncObjects && _syncObjects->weAreSending();
    bool askedForMore = false;
    if ((_wasSyncCommand || _wasMapCommand || sending) && (_messageHadFinalTag || sending)) {
        if (!_deliveredReadData) {
            if (!setSyncState(Processing)) {
                stopSession();
                return;
            }
            _syncInfo.insert(QLatin1String(kItems), _items);
            const int answer = _notifier ? _notifier->deliverIncomingData(*this) : 0;
            _deliveredReadData = true;
            if (answer != 0) {
                setGlobalError(answer);
                _syncFinshed = true;
                finishSession(answer);
                return;
            }
        }
        if (!setSyncState(Sending)) {
            if (!_syncFinshed)
                stopSession();
            return;
        }
        try {
            for (QVSyncObjects* queue : {_syncObjects.get(), _syncObjectsTasks.get()}) {
                if (!queue)
                    continue;
                std::unique_ptr<SyncMLCreatorNode> sync = queue->getNextSyncCommand();
                if (!sync)
                    continue;
                _curSyncItem = elementsSentSoFar();
                if (const SyncMLCreatorNode* id = sync->child(QStringLiteral("CmdID")))
                    rememberCommandForStatus(id->textContent(), QStringLiteral("Sync"));
                addElementToAnswerSyncBody(std::move(sync));
                _sentSyncOurself = true;
            }
        } catch (const platform::Exception& e) {
            logString(QStringLiteral("##### The next Sync could not be made: %1").arg(e.reason()));
            setGlobalError(kFailed);
        }
    } else if (!_messageHadFinalTag) {
        // The phone's package goes on: ask for its next message (also when
        // this one held only answers, else both sides would wait).
        addElementToAnswerSyncBody(_syncMLCreator->createSimpleAlert(QStringLiteral("222")));
        _iNeedAnswer = true;
        askedForMore = true;
    }
    if ((_sentSyncOurself || askedForMore) && _syncObjects && _syncObjects->mustSendFinal())
        addElementToAnswerSyncBody(SyncMLCreator::createEmptyElement(QStringLiteral("Final")));
    else if (_messageHadFinalTag && !_sentSyncOurself)
        // Our answer to a whole package is a whole package: without Final a
        // client waits for more of it.
        addElementToAnswerSyncBody(SyncMLCreator::createEmptyElement(QStringLiteral("Final")));
    if (_globalError != 0) {
        _syncFinshed = true;
        finishSession(_globalError);
        return;
    }
    currentAnswerSyncBody();
    if (_nonStatusCmdsInSentPackage > 0)
        _iNeedAnswer = true;
    if (!_iNeedAnswer)
        _syncFinshed = true;
    if (_isServer) {
        _hasDataForGet = true;
        sendDataToClientIfNecessary();
    } else {
        sendXMLDocumentWithPutWBXML(*_currentAnswerDocument, _iNeedAnswer);
    }
    if (!_supportsNoChanges)
        ++_curProgressAction;
}

// ---- Server role ----

void QVSyncSession::clientSentGetCommand()
{
    _clientSentGet = true;
    sendDataToClientIfNecessary();
}

void QVSyncSession::sendDataToClientIfNecessary()
{
    if (!_hasDataForGet || !_clientSentGet || !_currentAnswerDocument || _finished)
        return;
    _hasDataForGet = false;
    _clientSentGet = false;
    // The phone's next message may be read before this answer's completion
    // arrives: its answer starts a new document.
    const std::unique_ptr<SyncMLCreatorNode> answer = std::move(_currentAnswerDocument);
    _nonStatusCmdsInSentPackage = 0;
    sendXMLDocumentWithPutWBXML(*answer, false);
}

// ---- Ending ----

void QVSyncSession::finishSession(int result)
{
    if (_finished)
        return;
    _finished = true;
    _syncFinshed = true;
    logString(QStringLiteral("\n++++++++++++++++++++ SYNC FINISHED with status: %1 at %2 ++++++++++++++++++++\n\n\n")
                  .arg(result)
                  .arg(platform::Clock::instance().currentDateTime().toString(QStringLiteral("HH:mm:ss"))));
    _syncInfo.insert(QLatin1String(kDB), deviceDB(_property));
    if (result == kResultOK) {
        if (QVSyncSessionDevice* device = sessionDevice()) {
            if (!_nextAnchor.isEmpty())
                device->setLastSyncTimeDevice(_nextAnchor, _property);
            if (!_thisSyncDZTime.isEmpty())
                device->setLastSyncTimeDZ(_thisSyncDZTime, _property);
        }
    }
    QVBaseSession::finishSession(result);
    QVLOG(qvlog::kXT, QStringLiteral("QVSyncSession finishSession with result: %1 (0 commands active)").arg(result));
}

void QVSyncSession::finishSessionWithNumber(const QVariant& result)
{
    finishSession(result.isValid() ? result.toInt() : kFailed);
}

void QVSyncSession::setGlobalError(int status)
{
    QVBaseSession::setGlobalError(status);
    if (status != 0)
        _curSyncState = Error;
}

// ---- Progress and states ----

float QVSyncSession::getProgressInPercent() const
{
    float percent;
    if (!_syncObjects || (!_syncObjects->weAreSending() && !_sentSyncOurself)) {
        const long maximum = std::max(1L, _maxProgressAction);
        percent = float(std::min(_curProgressAction, maximum)) * 50.0f / float(maximum);
    } else {
        percent = _syncObjects->getProgressInPercent();
    }
    _lastVal = std::max(_lastVal, percent);
    return _lastVal;
}

int QVSyncSession::indexOfCurrentReadElem() const
{
    return int(std::max<qsizetype>(1, _items.size()));
}

int QVSyncSession::indexOfCurrentSendingElem() const
{
    return int(elementsSentSoFar());
}

int QVSyncSession::noOfElemsToSend() const
{
    return int(elementsToSendCount());
}

QString QVSyncSession::syncStateText(int state) const
{
    if (state == Reading && _numberOfChanges > 0) {
        QString text = platform::localizedString(QStringLiteral("Reading (%d of %d)"));
        for (const long value : {long(indexOfCurrentReadElem()), _numberOfChanges}) {
            const qsizetype at = text.indexOf(QLatin1String("%d"));
            if (at >= 0)
                text.replace(at, 2, QString::number(value));
        }
        return text;
    }
    if (state == Sending && elementsSentSoFar() >= elementsToSendCount())
        return QString();
    return QVBaseSession::syncStateText(state);
}

// ---- Logging ----

void QVSyncSession::logString(const QString& text) const
{
    if (text.isNull())
        return;
    if (QVLogIsNamedLogOpen(QLatin1String(qvlog::kSyncML)))
        QVLogNoTime(QLatin1String(qvlog::kSyncML), text);
}

void QVSyncSession::logTree(const SyncMLCreatorNode* tree) const
{
    if (tree && _notifier)
        logString(QString::fromUtf8(tree->xmlData()));
}

void QVSyncSession::logDebugInfo()
{
    const QString line(80, QLatin1Char('+'));
    logString(line);
    logString(QStringLiteral("Begin sync session for Device: %1\n").arg(_deviceConnection.deviceIdentifier()));
    logString(QStringLiteral("Database: %1\n")
                  .arg(_property >= 0 && _property < _dbNames.size() ? _dbNames.at(_property) : QString()));
    logString(QStringLiteral("Date: %1\n")
                  .arg(platform::Clock::instance().currentDateTime().toString(QStringLiteral("d. MMM yy, HH:mm:ss"))));
    logString(line);
}
