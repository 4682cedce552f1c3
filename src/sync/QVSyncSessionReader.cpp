// How a SyncML session reads each command of the phone's message and what
// it appends to its answer.
#include "sync/QVSyncSession.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/RawVCardUtilities.h"
#include "foundation/NamedLog.h"
#include "sync/QVSyncObjects.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElem.h"
#include "syncmodel/QVSyncElemList.h"

using namespace syncmlreader;

namespace {

using QVSyncSessionReaderPairs = QList<QPair<QString, QString>>;

bool qvSyncSessionReaderIsGoodCode(const QString& code)
{
    bool ok = false;
    const int value = code.trimmed().toInt(&ok);
    return ok && (value <= 399 || value == 508);
}

int qvSyncSessionReaderErrorCode(const QString& code)
{
    bool ok = false;
    const int value = code.trimmed().toInt(&ok);
    return ok && value != 0 ? value : QVSyncSession::kFailed;
}

QString qvSyncSessionReaderCmdID(const SyncMLCreatorNode& element)
{
    const QString id = findTag(&element, QStringLiteral("CmdID"));
    return id.isNull() ? QStringLiteral("") : id;
}

// A size the phone announced, or -1.
qsizetype qvSyncSessionReaderMetaSize(const SyncMLCreatorNode* node)
{
    bool ok = false;
    const qlonglong size = findPathText(node, QStringLiteral("Meta/Size")).trimmed().toLongLong(&ok);
    return ok && size >= 0 && size <= QVSyncSession::kMaxJoinedChars ? qsizetype(size) : -1;
}

} // namespace

void QVSyncSession::processBodyElement(const SyncMLCreatorNode& element)
{
    const QString& name = element.tag();
    if (name == QLatin1String("Status"))
        processStatusElement(element);
    else if (name == QLatin1String("Alert"))
        processAlertElement(element);
    else if (name == QLatin1String("Put"))
        processPutElement(element);
    else if (name == QLatin1String("Get"))
        processGetElement(element);
    else if (name == QLatin1String("Final"))
        processFinalElement(element);
    else if (name == QLatin1String("Results"))
        processResultsElement(element);
    else if (name == QLatin1String("Sync"))
        processSyncElement(element);
    else if (name == QLatin1String("Map"))
        processMapElement(element);
    else
        processUnknownElement(element);
}

void QVSyncSession::processUnknownElement(const SyncMLCreatorNode& element)
{
    logString(QStringLiteral("\n###### Unknown Element: %1 ######\n").arg(element.tag()));
}

void QVSyncSession::addStatusElement(const SyncMLCreatorNode& command, const QList<QPair<QString, QString>>& children)
{
    currentAnswerSyncBody();
    SyncMLCreator::Node status = _syncMLCreator->createAnswerElement(qvSyncSessionReaderCmdID(command), command.tag());
    for (const auto& [tag, text] : children)
        SyncMLCreator::addTextElement(*status, tag, text);
    addElementToAnswerSyncBody(std::move(status));
}

void QVSyncSession::removeMatching(std::vector<Remembered>& list, const QString& cmdRef, const QString& msgRef)
{
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const Remembered& r) { return r.cmdID == cmdRef && r.msgID == msgRef; }),
               list.end());
}

// ---- Status ----

void QVSyncSession::processStatusElement(const SyncMLCreatorNode& element)
{
    const QString cmdRef = findTag(&element, QStringLiteral("CmdRef"));
    const QString msgRef = findTag(&element, QStringLiteral("MsgRef"));
    const QString sourceRef = findTag(&element, QStringLiteral("SourceRef"));
    const QString cmd = findTag(&element, QStringLiteral("Cmd"));
    const QString code = findTag(&element, QStringLiteral("Data"));
    const bool good = qvSyncSessionReaderIsGoodCode(code);
    if (cmdRef.isNull() || msgRef.isNull()) {
        logString(QStringLiteral("\n### Status Element has no reference:\n") + QString::fromUtf8(element.xmlData()));
        return;
    }
    if (cmdRef == QLatin1String("0"))
        return;
    if ((cmd == QLatin1String("Add") || cmd == QLatin1String("Delete") || cmd == QLatin1String("Replace"))
        && !sourceRef.isNull()) {
        _statusArray.append(QVariantMap{{QStringLiteral("SourceRef"), sourceRef}, {QStringLiteral("Status"), code}});
        return;
    }
    const auto found = std::find_if(_commandsExpectingStatusMsg.begin(), _commandsExpectingStatusMsg.end(),
                                    [&](const Remembered& r) { return r.cmdID == cmdRef && r.msgID == msgRef; });
    if (found == _commandsExpectingStatusMsg.end())
        return;
    const std::shared_ptr<SyncMLMessage> message = found->message;
    _commandsExpectingStatusMsg.erase(found);
    if (good) {
        logString(QStringLiteral("- Found Status Element for = %1 (Message = %2, Command = %3)\n")
                      .arg(getTreeName(message->itsSyncMLTree()), msgRef, cmdRef));
        message->execute(element);
        return;
    }
    logString(QStringLiteral("### Status = %1 for = %2 (Message = %3, Command = %4) \n")
                  .arg(code, getTreeName(message->itsSyncMLTree()), msgRef, cmdRef));
    if (!sourceRef.isNull()) {
        const QString line = QStringLiteral("Bad record (%1), %2").arg(sourceRef, code);
        logString(line);
        QVLOG(qvlog::kXT, line);
    }
    if (code.trimmed() != QLatin1String("415"))
        setGlobalError(qvSyncSessionReaderErrorCode(code));
}

// ---- Alert ----

void QVSyncSession::processAlertElement(const SyncMLCreatorNode& element)
{
    const QString codeText = findTag(&element, QStringLiteral("Data"));
    bool ok = false;
    const int code = codeText.trimmed().toInt(&ok);
    const QString deviceDBName = findPathText(&element, QStringLiteral("Item/Source/LocURI"));
    const QString myDBName = findPathText(&element, QStringLiteral("Item/Target/LocURI"));
    if (ok && code >= 200 && code <= 210) {
        if (!deviceDBName.isEmpty())
            setDeviceDB(deviceDBName);
        if (!myDBName.isEmpty())
            setMyDB(myDBName);
    }
    const QString last = findPathText(&element, QStringLiteral("Item/Meta/Anchor/Last"));
    _lastAnchor = last.isEmpty() ? QString() : last;
    const QString next = findPathText(&element, QStringLiteral("Item/Meta/Anchor/Next"));
    if (!next.isNull()) {
        _nextAnchor = next;
        setDevSyncTime(next);
    }
    if (!_loggedFirstAlert) {
        _loggedFirstAlert = true;
        logString(QStringLiteral("\n------ Slow Sync ------\n"));
    }

    if (ok && code == 222) {
        addStatusElement(element, {{QStringLiteral("Data"), QStringLiteral("200")}});
        _wasSyncCommand = true;
        if (_syncObjects)
            _syncObjects->deviceRequestedMoreData();
        return;
    }
    QString answer = QStringLiteral("508");
    if (ok && code == 201)
        answer = QStringLiteral("200");
    else if (ok && code == 200 && _fastSyncPossible)
        answer = QStringLiteral("200");
    currentAnswerSyncBody();
    SyncMLCreator::Node status = _syncMLCreator->createAnswerElement(qvSyncSessionReaderCmdID(element), element.tag());
    SyncMLCreator::addTextElement(*status, QStringLiteral("TargetRef"),
                                  myDBName.isEmpty() ? myDB(_property) : myDBName);
    SyncMLCreator::addTextElement(*status, QStringLiteral("SourceRef"),
                                  deviceDBName.isEmpty() ? deviceDB(_property) : deviceDBName);
    SyncMLCreator::addTextElement(*status, QStringLiteral("Data"), answer);
    SyncMLCreatorNode* item = SyncMLCreator::addEmptyElement(*status, QStringLiteral("Item"));
    SyncMLCreatorNode* data = SyncMLCreator::addEmptyElement(*item, QStringLiteral("Data"));
    data->addChild(SyncMLCreator::createAnchorWithTime(_nextAnchor, _fastSyncPossible ? _lastAnchor : QString()));
    addElementToAnswerSyncBody(std::move(status));

    if (!ok || code < 200 || code > 202)
        return;
    _receivedSyncAlert = codeText.trimmed();
    int property = _property;
    if (_property == 1 && _syncDescription->has2CalendarDBs())
        property = identifyMyDB(myDBName.isEmpty() ? myDB(_property) : myDBName);
    SyncMLCreator::Node alert = _fastSyncPossible ? _syncMLCreator->createAlertSyncFast(property)
                                                  : _syncMLCreator->createAlertSyncSlow(property);
    _syncInfo.insert(QLatin1String(kIsFast), _fastSyncPossible);
    if (!_decidedFastSlow) {
        _decidedFastSlow = true;
        logString(_fastSyncPossible ? QStringLiteral("Fast sync") : QStringLiteral("Slow sync"));
    }
    rememberCommandForStatus(SyncMLMessage::messageNopCommand(alert->clone()));
    addElementToAnswerSyncBody(std::move(alert));
    _iNeedAnswer = true;
    if (_fastSyncPossible)
        return;
    if (!_hasSentDeviceInfo && _syncDescription->syncMLSyncMLSendDevInf()) {
        SyncMLCreator::Node put = _syncMLCreator->createDeviceInfoPut(
            _syncMLVersion == 1 ? QStringLiteral("./devinf11") : QStringLiteral("./devinf12"), _property);
        rememberCommandForStatus(SyncMLMessage::messageNopCommand(put->clone()));
        addElementToAnswerSyncBody(std::move(put));
        _hasSentDeviceInfo = true;
    }
    if (!_hasDeviceInfo && !_isServer && _syncMLVersion == 1) {
        SyncMLCreator::Node get = _syncMLCreator->createGetDeviceInfoMessage();
        rememberCommandForStatus(SyncMLMessage::messageNopCommand(get->clone()));
        rememberCommandForResults(SyncMLMessage::messagePerformCommand(
            get->clone(), [this](SyncMLMessage& message) { markDeviceInfoAsRead(message); }, QVariant()));
        addElementToAnswerSyncBody(std::move(get));
    }
}

int QVSyncSession::identifyMyDB(const QString& myDBName) const
{
    if (myDBName.contains(QLatin1String("Task")))
        return 6;
    if (myDBName.contains(QLatin1String("Events")) || myDBName.contains(QLatin1String("Schedule"))
        || !myDBName.contains(QLatin1String("Todo")))
        return 5;
    return 6;
}

// ---- Put, Get, Results ----

void QVSyncSession::processPutElement(const SyncMLCreatorNode& element)
{
    const QString locator = findPathText(&element, QStringLiteral("Item/Source/LocURI"));
    if (locator == QLatin1String("./devinf11") || locator == QLatin1String("./devinf12"))
        processDeviceInfo(element);
    addStatusElement(element,
                     {{QStringLiteral("SourceRef"), locator.isNull() ? QStringLiteral("") : locator},
                      {QStringLiteral("Data"), QStringLiteral("200")}});
    _iNeedAnswer = true;
}

void QVSyncSession::processDeviceInfo(const SyncMLCreatorNode&)
{
    _hasDeviceInfo = true;
}

void QVSyncSession::markDeviceInfoAsRead(SyncMLMessage&)
{
    _hasDeviceInfo = true;
}

void QVSyncSession::processGetElement(const SyncMLCreatorNode& element)
{
    const QString target = findPathText(&element, QStringLiteral("Item/Target/LocURI"));
    const QString targetRef = target.isNull() ? QStringLiteral("") : target;
    if (target != QLatin1String("./devinf11") && target != QLatin1String("./devinf12")) {
        addStatusElement(element,
                         {{QStringLiteral("TargetRef"), targetRef}, {QStringLiteral("Data"), QStringLiteral("400")}});
        return;
    }
    addStatusElement(element,
                     {{QStringLiteral("TargetRef"), targetRef}, {QStringLiteral("Data"), QStringLiteral("200")}});
    SyncMLCreator::Node results = _syncMLCreator->createDeviceInfoResult(qvSyncSessionReaderCmdID(element), target,
                                                                         _property);
    rememberCommandForStatus(SyncMLMessage::messageNopCommand(results->clone()));
    addElementToAnswerSyncBody(std::move(results));
    _hasSentDeviceInfo = true;
    _iNeedAnswer = true;
}

void QVSyncSession::processResultsElement(const SyncMLCreatorNode& element)
{
    const QString cmdRef = findTag(&element, QStringLiteral("CmdRef"));
    const QString msgRef = findTag(&element, QStringLiteral("MsgRef"));
    QString code = QStringLiteral("200");
    const auto found = std::find_if(_commandsExpectingResultsMsg.begin(), _commandsExpectingResultsMsg.end(),
                                    [&](const Remembered& r) { return r.cmdID == cmdRef && r.msgID == msgRef; });
    if (!cmdRef.isNull() && !msgRef.isNull() && found != _commandsExpectingResultsMsg.end()) {
        const std::shared_ptr<SyncMLMessage> message = found->message;
        _commandsExpectingResultsMsg.erase(found);
        logString(QStringLiteral("- Found Result Element for = Get (%1) (Message = %2, Command = %3)\n")
                      .arg(getTreeName(message->itsSyncMLTree()), msgRef, cmdRef));
        code = QString::number(message->execute(element));
    }
    const QString source = findPathText(&element, QStringLiteral("Item/Source/LocURI"));
    addStatusElement(
        element,
        {{QStringLiteral("SourceRef"), source.isNull() ? QStringLiteral("") : source}, {QStringLiteral("Data"), code}});
}

// ---- Sync ----

void QVSyncSession::setActiveDBs(const QString& myDBName, const QString& deviceDBName)
{
    if (myDBName == _currentDBName)
        return;
    _currentDBName = myDBName;
    _currentDeviceDBName = deviceDBName;
    int index = -1;
    if (_syncMLVersion == 2) {
        for (int i = 0; i < _dbNames.size(); ++i)
            if (myDBName.contains(_dbNames.at(i))) {
                index = i;
                break;
            }
    } else {
        index = _property;
    }
    _currentDBIndex = index;
    if (index >= 0)
        addDeviceRelation(myDBName, deviceDBName);
}

bool QVSyncSession::stopIfCancelled(bool answer)
{
    if (answer)
        return false;
    stopSession();
    return true;
}

void QVSyncSession::processSyncElement(const SyncMLCreatorNode& element)
{
    _wasSyncCommand = true;
    if (!_supportsNoChanges) {
        if (const SyncMLCreatorNode* changes = findElem(&element, QStringLiteral("NumberOfChanges"))) {
            bool ok = false;
            const long count = changes->textContent().trimmed().toLong(&ok);
            if (ok && count >= 0 && count <= 10000000) {
                _numberOfChanges = count;
                _supportsNoChanges = true;
                _maxProgressAction = count + 3;
            }
        }
    }
    if (stopIfCancelled(setSyncState(Reading)))
        return;
    const QString target = findPathText(&element, QStringLiteral("Target/LocURI"));
    const QString source = findPathText(&element, QStringLiteral("Source/LocURI"));
    setActiveDBs(target.isNull() ? QStringLiteral("") : target, source.isNull() ? QStringLiteral("") : source);
    addStatusElement(element,
                     {{QStringLiteral("TargetRef"), target.isNull() ? QStringLiteral("") : target},
                      {QStringLiteral("SourceRef"), source.isNull() ? QStringLiteral("") : source},
                      {QStringLiteral("Data"), QStringLiteral("200")}});
    for (const auto& child : element.children()) {
        if (child->kind() != SyncMLCreatorNode::Kind::Element)
            continue;
        if (child->tag() == QLatin1String("Add"))
            processSyncAddElement(*child);
        else if (child->tag() == QLatin1String("Replace"))
            processSyncReplaceElement(*child);
        else if (child->tag() == QLatin1String("Delete"))
            processSyncDeleteElement(*child);
        else if (child->tag() == QLatin1String("Meta"))
            processSyncMetaElement(*child);
        if (_isStopped || _finished)
            return;
    }
    stopIfCancelled(setSyncState(Reading));
}

void QVSyncSession::completeRecord(QVariantMap record, bool isAdd)
{
    const QString text = postProcessVCard(record.value(QStringLiteral("vx-Data")).toString());
    const QString uri = record.value(QStringLiteral("SourceURI")).toString();
    if (text.isNull()) {
        logString(
            QStringLiteral("%1: completeDataString was nil for: %2")
                .arg(isAdd ? QStringLiteral("processSyncAddElement") : QStringLiteral("processSyncReplaceElement"),
                     uri));
        return;
    }
    record.insert(QStringLiteral("vx-Data"), text);
    record.insert(QStringLiteral("Action"), isAdd ? QStringLiteral("Add") : QStringLiteral("Replace"));
    if (_syncObjects)
        _syncObjects->addIncomingObject(uri);
    _items.append(record);
}

void QVSyncSession::processSyncAddReplace(const SyncMLCreatorNode& element, bool isAdd)
{
    const qsizetype commandSize = qvSyncSessionReaderMetaSize(&element);
    for (const SyncMLCreatorNode* item : element.childrenNamed(QStringLiteral("Item"))) {
        ++_curSyncItem;
        ++_curProgressAction;
        if (!_supportsNoChanges)
            ++_maxProgressAction;
        const QString uri = findPathText(item, QStringLiteral("Source/LocURI"));
        if (uri.isEmpty())
            break;
        const QString parent = findPathText(item, QStringLiteral("SourceParent/LocURI"));
        const bool moreData = findElem(item, QStringLiteral("MoreData")) != nullptr;
        if (moreData)
            ++_maxProgressAction;
        const QString code = moreData ? QStringLiteral("213") : (isAdd ? QStringLiteral("201") : QStringLiteral("200"));
        if (_collectElements) {
            const SyncMLCreatorNode* dataNode = findElem(item, QStringLiteral("Data"));
            if (!dataNode)
                break;
            const QString data = dataNode->textContent();
            if (!_droppedChunkURI.isNull() && uri == _droppedChunkURI) {
                // The rest of a record that outgrew its limit: answered, not kept.
                if (!moreData)
                    _droppedChunkURI = QString();
            } else {
                if (!_lastIncompleteRecord.isEmpty()) {
                    const QString pendingURI = _lastIncompleteRecord.value(QStringLiteral("SourceURI")).toString();
                    if (pendingURI == uri) {
                        const QString joined = _lastIncompleteRecord.value(QStringLiteral("vx-Data")).toString() + data;
                        if (joined.size() > _incompleteLimit) {
                            const QString line = QStringLiteral("#### Record #%1 grew past %2 characters in chunks, "
                                                                "dropped")
                                                     .arg(uri)
                                                     .arg(_incompleteLimit);
                            logString(line);
                            QVLOG(qvlog::kXT, line);
                            _lastIncompleteRecord.clear();
                            if (moreData)
                                _droppedChunkURI = uri;
                        } else {
                            _lastIncompleteRecord.insert(QStringLiteral("vx-Data"), joined);
                            if (!parent.isNull())
                                _lastIncompleteRecord.insert(QStringLiteral("SourceParent"), parent);
                            if (!moreData) {
                                completeRecord(_lastIncompleteRecord, isAdd);
                                _lastIncompleteRecord.clear();
                            }
                        }
                        addStatusElement(element, {{QStringLiteral("SourceRef"), uri}, {QStringLiteral("Data"), code}});
                        continue;
                    }
                    logString(QStringLiteral("#### Last Record #%1 had MoreData, but next record is #%2, ignoring "
                                             "first one")
                                  .arg(pendingURI, uri));
                    _lastIncompleteRecord.clear();
                }
                QVariantMap record;
                if (!parent.isNull())
                    record.insert(QStringLiteral("SourceParent"), parent);
                record.insert(QStringLiteral("vx-Data"), data);
                record.insert(QStringLiteral("SourceURI"), uri);
                if (moreData) {
                    const qsizetype announced = qvSyncSessionReaderMetaSize(item) >= 0
                        ? qvSyncSessionReaderMetaSize(item)
                        : commandSize;
                    _incompleteLimit = announced >= 0 ? announced + kChunkMargin : kMaxJoinedChars;
                    if (data.size() > _incompleteLimit) {
                        logString(QStringLiteral("#### Record #%1 grew past %2 characters in chunks, dropped")
                                      .arg(uri)
                                      .arg(_incompleteLimit));
                        _droppedChunkURI = uri;
                    } else {
                        _lastIncompleteRecord = record;
                    }
                } else {
                    completeRecord(record, isAdd);
                }
            }
        }
        addStatusElement(element, {{QStringLiteral("SourceRef"), uri}, {QStringLiteral("Data"), code}});
    }
}

void QVSyncSession::processSyncDeleteElement(const SyncMLCreatorNode& element)
{
    for (const SyncMLCreatorNode* item : element.childrenNamed(QStringLiteral("Item"))) {
        ++_curSyncItem;
        ++_curProgressAction;
        if (!_supportsNoChanges)
            ++_maxProgressAction;
        const QString uri = findPathText(item, QStringLiteral("Source/LocURI"));
        if (uri.isEmpty())
            break;
        if (_collectElements)
            _items.append(
                QVariantMap{{QStringLiteral("SourceURI"), uri}, {QStringLiteral("Action"), QStringLiteral("Delete")}});
        addStatusElement(element,
                         {{QStringLiteral("SourceRef"), uri}, {QStringLiteral("Data"), QStringLiteral("200")}});
    }
}

// ---- Map ----

void QVSyncSession::processMapElement(const SyncMLCreatorNode& element)
{
    _numberOfChanges = 0;
    _wasMapCommand = true;
    if (stopIfCancelled(setSyncState(Mapping)))
        return;
    const QString target = findPathText(&element, QStringLiteral("Target/LocURI"));
    const QString source = findPathText(&element, QStringLiteral("Source/LocURI"));
    addStatusElement(element,
                     {{QStringLiteral("TargetRef"), target.isNull() ? QStringLiteral("") : target},
                      {QStringLiteral("SourceRef"), source.isNull() ? QStringLiteral("") : source},
                      {QStringLiteral("Data"), QStringLiteral("200")}});
    for (const SyncMLCreatorNode* mapItem : element.childrenNamed(QStringLiteral("MapItem"))) {
        const QString phoneID = findPathText(mapItem, QStringLiteral("Source/LocURI"));
        const QString temporaryID = findPathText(mapItem, QStringLiteral("Target/LocURI"));
        if (phoneID.isEmpty() || temporaryID.isEmpty())
            continue;
        if (_syncElemList)
            _syncElemList->addMapping(phoneID, temporaryID);
        bool mapped = false;
        for (const auto& commands : {_elemsToSend, _tasksToSend}) {
            if (!commands || mapped)
                continue;
            for (int i = 0; i < commands->count(); ++i) {
                const auto elem = commands->elemAtIndex(i);
                if (elem && elem->sourceURI() == temporaryID) {
                    elem->setSourceURI(phoneID);
                    mapped = true;
                    break;
                }
            }
        }
    }
}

// ---- Credentials ----

void QVSyncSession::processCredentials(const SyncMLCreatorNode& cred)
{
    _credentials.clear();
    const QString format = findPathText(&cred, QStringLiteral("Meta/Format"));
    const QString type = findPathText(&cred, QStringLiteral("Meta/Type"));
    const QString data = findTag(&cred, QStringLiteral("Data"));
    if (!format.isNull())
        _credentials.insert(QStringLiteral("Format"), format);
    if (!type.isNull())
        _credentials.insert(QStringLiteral("Type"), type);
    if (!data.isNull()) {
        _credentials.insert(QStringLiteral("Data"), data);
        _credentials.insert(QStringLiteral("Data-Decoded"), decodeDataFromBase64(data));
    }
    // The data is the phone's user name and password: never written out.
    QVLOG(qvlog::kXT,
          QStringLiteral("Credentials:{Format = %1; Type = %2; Data = %3}")
              .arg(format, type, data.isNull() ? QStringLiteral("none") : QStringLiteral("<hidden>")));
}

// ---- Remembered commands ----

void QVSyncSession::rememberCommandForStatus(const QString& cmdID, const QString& cmdName)
{
    auto tree = SyncMLCreator::createNonEmptyElement(cmdName);
    SyncMLCreator::addTextElement(*tree, QStringLiteral("CmdID"), cmdID);
    rememberCommandForStatus(SyncMLMessage::messageNopCommand(std::move(tree)));
}

void QVSyncSession::rememberCommandForStatus(const std::shared_ptr<SyncMLMessage>& message)
{
    const QString id = findTag(message->itsSyncMLTree(), QStringLiteral("CmdID"));
    if (id.isNull())
        return;
    _commandsExpectingStatusMsg.push_back({id, QString::number(_messageID), message});
}

void QVSyncSession::rememberCommandForResults(const std::shared_ptr<SyncMLMessage>& message)
{
    const QString id = findTag(message->itsSyncMLTree(), QStringLiteral("CmdID"));
    if (id.isNull())
        return;
    _commandsExpectingResultsMsg.push_back({id, QString::number(_messageID), message});
}

void QVSyncSession::checkForMissingAnswers() const
{
    for (const auto* list : {&_commandsExpectingStatusMsg, &_commandsExpectingResultsMsg})
        for (const Remembered& entry : *list)
            if (entry.msgID.toLong() < _messageID)
                logString(QStringLiteral("####################\n###### - Unanswered Element = %1 (Message = %2, "
                                         "Command = %3)\n")
                              .arg(getTreeName(entry.message->itsSyncMLTree()), entry.msgID, entry.cmdID));
}

// ---- Contact text ----

QString QVSyncSession::postProcessVCard(const QString& text) const
{
    if (_property != 0 || text.isNull())
        return text;
    QString result = text;
    for (const QString& item : _syncDescription->syncMLIgnoreElements())
        result = removeVCardItem(item, result);
    for (const QString& property : _syncDescription->syncMLIgnoreProperties())
        result = removeVCardProperty(property, result);
    return result;
}
