#include "sync/QVIRMCSession.h"

#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "links/ObjectPushCommand.h"
#include "links/QVDeviceCallback.h"
#include "platform/FileIO.h"
#include "platform/RunLoop.h"
#include "platform/TextEncoding.h"
#include "sync/QVIRMCConnection.h"
#include "sync/QVIRMCReaders.h"
#include "sync/QVSessionUser.h"
#include "sync/SyncLog.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElem.h"
#include "syncmodel/QVSyncElemList.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QUuid>
#include <algorithm>
#include <limits>

namespace {
const QString kIrmcLogNumberKey = QStringLiteral("Common.LogNumber-");
const QString kIrmcDatabaseIDKey = QStringLiteral("Common.DatabaseID-");

std::optional<QString> irmcSessionMacRoman(const QByteArray& data)
{
    return platform::text::decode(data, platform::text::Encoding::MacRoman);
}

QString irmcSessionLastComponent(const QString& path)
{
    if (path == QLatin1String("/"))
        return path;
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QString irmcSessionParent(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}
} // namespace

std::unique_ptr<QVIRMCSession> QVIRMCSession::irmcSessionWithConnection(QVIRMCConnection& connection,
                                                                        QVSessionUser* notifier)
{
    auto description = findDescription(connection);
    if (!description) {
        QVLOG(qvlog::kXT,
              QStringLiteral("QVIRMCSession: no sync description for %1").arg(connection.deviceIdentifier()));
        return nullptr;
    }
    return std::unique_ptr<QVIRMCSession>(new QVIRMCSession(connection, notifier, std::move(description)));
}

QVIRMCSession::QVIRMCSession(QVIRMCConnection& connection, QVSessionUser* notifier,
                             std::shared_ptr<QVSyncDeviceDescription> description)
    : QVBaseSession(connection, notifier, std::move(description))
    , _irmcConnection(connection)
{
    _objectPushCommands.reserve(4);
    _itemsChanged.reserve(32);
    _itemsDeleted.reserve(32);
    _hasIRMCLevel4Support = _syncDescription->protocol().endsWith(QLatin1String("IrMC"));
}

QVIRMCSession::~QVIRMCSession()
{
    for (const auto& command : std::exchange(_objectPushCommands, {}))
        command->senderIsDying();
    if (_listingDone)
        _listingDone->senderIsDying();
    if (_higher)
        _higher->senderIsDying();
    _irmcConnection.writeSettingsIfNeeded();
}

// --- plumbing ---

void QVIRMCSession::log(const char* logName, const QString& line)
{
    _logLines.append(line);
    QVLogWith(logName, [&] { return line; });
}

void QVIRMCSession::rememberPushCommand(const std::shared_ptr<ObjectPushCommand>& command)
{
    _objectPushCommands.push_back(command);
}

std::shared_ptr<ObjectPushCommand> QVIRMCSession::makeCommand(int kind, const QByteArray& data, Handler handler,
                                                              const std::shared_ptr<QVDeviceCallback>& higher)
{
    std::weak_ptr<int> alive = _alive;
    auto command = ObjectPushCommand::pushCommandWithDataUserAndCallback(
        kind, data, this,
        [this, alive, handler](QVDeviceCallback& finished) {
            if (alive.expired())
                return;
            std::erase_if(_objectPushCommands,
                          [&](const std::shared_ptr<ObjectPushCommand>& c) { return c.get() == &finished; });
            // Stopped by the user: the close ends the session with 214.
            if (!_finished && !_isStopped)
                (this->*handler)(static_cast<ObjectPushCommand&>(finished));
        },
        QVariant(), higher);
    rememberPushCommand(command);
    return command;
}

std::shared_ptr<QVDeviceCallback> QVIRMCSession::makeStep(void (QVIRMCSession::*step)())
{
    std::weak_ptr<int> alive = _alive;
    auto callback = QVDeviceCallback::commandObject(this,
                                                    [this, alive, step](QVDeviceCallback& c) {
                                                        if (alive.expired() || _finished || _isStopped)
                                                            return;
                                                        if (c.returnStatus() != 0) {
                                                            finishSession(c.returnStatus());
                                                            return;
                                                        }
                                                        (this->*step)();
                                                    },
                                                    {});
    _higher = callback;
    return callback;
}

void QVIRMCSession::later(void (QVIRMCSession::*step)())
{
    std::weak_ptr<int> alive = _alive;
    platform::runloop::performOnMainThread([this, alive, step] {
        if (!alive.expired() && !_finished && !_isStopped)
            (this->*step)();
    });
}

bool QVIRMCSession::enterState(int state)
{
    if (_finished)
        return false;
    if (!setSyncState(state)) {
        finishSession(kResultStopped);
        return false;
    }
    return true;
}

void QVIRMCSession::startedOrFinish(int status)
{
    if (status != 0) {
        log(qvlog::kXT, QStringLiteral("### IrMC request not accepted: %1").arg(status));
        finishSession(status);
    }
}

std::optional<QString> QVIRMCSession::answerText(ObjectPushCommand& command, const char* what, int noData, int noText,
                                                 int* result)
{
    const int status = command.returnStatus();
    if (status != 0) {
        log(qvlog::kXT, QStringLiteral("### %1 received error: %2").arg(QLatin1String(what)).arg(status));
        *result = status;
        return std::nullopt;
    }
    if (command.dataReceived().isEmpty()) {
        log(qvlog::kXT, QStringLiteral("### Did not receive any data"));
        *result = noData;
        return std::nullopt;
    }
    const auto text = irmcSessionMacRoman(command.dataReceived());
    if (!text) {
        log(qvlog::kXT, QStringLiteral("### Did not receive any data"));
        *result = noText;
        return std::nullopt;
    }
    return text;
}

// --- sync ---

void QVIRMCSession::retrieveLastLogNumber()
{
    const SyncMLConnectionDevice* device = _irmcConnection.mfDevice();
    if (!device)
        return;
    _lastChangeLogValue = device->deviceSetting(kIrmcLogNumberKey + dbName()).toString();
    _lastDatabaseID = device->deviceSetting(kIrmcDatabaseIDKey + dbName()).toString();
}

void QVIRMCSession::logDebugInfo()
{
    const QString line(80, QLatin1Char('+'));
    QString text = line + QLatin1Char('\n');
    text += QStringLiteral("Begin IrMC session for Device: %1 %2\n")
                .arg(_irmcConnection.deviceMaker(), _irmcConnection.deviceModel());
    text += QStringLiteral("Database: %1\n").arg(dbName());
    text += QStringLiteral("Date: %1\n")
                .arg(QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("d. MMM yy, HH:mm:ss")));
    text += QStringLiteral("Protocol class: %1\n").arg(_syncDescription->protocolClass());
    text += line + QLatin1Char('\n');
    _logLines.append(text);
    QVLogNoTime(QLatin1String(qvlog::kSyncML), text);
}

int QVIRMCSession::performReadContacts(bool forceSlow)
{
    _property = 0;
    _forceSlow = forceSlow;
    _fastSyncPossible = forceSlow;
    _syncRan = true;
    retrieveLastLogNumber();
    logDebugInfo();
    if (!enterState(Preparing))
        return 0;
    later(&QVIRMCSession::stateBeginHighLevelSession);
    return 0;
}

void QVIRMCSession::stateBeginHighLevelSession()
{
    auto higher = makeStep(&QVIRMCSession::stateRequestChangeLog);
    startedOrFinish(
        _irmcConnection.requestInfoLogForPB(makeCommand(kCommandKind, {}, &QVIRMCSession::infoLogReceived, higher)));
}

void QVIRMCSession::infoLogReceived(ObjectPushCommand& command)
{
    int result = 0;
    const auto text = answerText(command, "infoLogReceived", kNoDataInfo, kNoTextInfo, &result);
    if (!text) {
        finishSession(result);
        return;
    }
    log(qvlog::kSyncML, QStringLiteral("[QVIRMCSession infoLogReceived] = \n%1").arg(*text));
    QStringList lines;
    const QVIRMCInfoLog info = irmcInfoLog(*text, &lines);
    for (const QString& line : lines)
        log(qvlog::kXT, line);
    if (info.databaseID) {
        _databaseID = *info.databaseID;
        if (_databaseID != _lastDatabaseID) {
            _databaseChanged = true;
            _fastSyncPossible = false;
        }
    }
    if (info.maxRecords) {
        _maxElems = std::min<long>(*info.maxRecords, std::numeric_limits<int>::max());
        if (_syncElemList)
            _syncElemList->setMaxItemsOnDevice(int(_maxElems));
    }
    if (info.totalRecords) {
        _totalElems = *info.totalRecords;
        _totalElemsKnown = true;
    }
    if (info.hardDelete)
        _supportsHardDelete = *info.hardDelete;
    if (auto higher = QVEmbeddedCallback::getHigherCallback(command))
        higher->finishWithResult(0, QVariant());
}

void QVIRMCSession::stateRequestChangeLog()
{
    if (!enterState(Handshaking))
        return;
    auto higher = makeStep(&QVIRMCSession::stateRequestMainData);
    startedOrFinish(_irmcConnection.requestChangeLogForPB(
        makeCommand(kCommandKind, {}, &QVIRMCSession::requestChangeLogFinished, higher)));
}

void QVIRMCSession::requestChangeLogFinished(ObjectPushCommand& command)
{
    int result = 0;
    const auto text = answerText(command, "requestChangeLogFinished", kNoDataChangeLog, kNoDataChangeLog, &result);
    if (!text) {
        finishSession(result);
        return;
    }
    _changeLogValue = text->trimmed();
    if (_lastChangeLogValue.isEmpty())
        log(qvlog::kXT, QStringLiteral("[QVIRMCSession requestChangeLogFinished] NO lastSyncDevTime (nil)"));
    else
        log(qvlog::kXT,
            QStringLiteral("[QVIRMCSession requestChangeLogFinished] received Changelog: %1 (last %2)")
                .arg(_changeLogValue, _lastChangeLogValue));
    // A phone database that changed since the last sync is read whole, even
    // when its counter happens to match the anchor.
    if (!_forceSlow && !_changeLogValue.isEmpty() && !_lastChangeLogValue.isEmpty() && !_databaseChanged) {
        _fastSyncPossible = true;
        _syncInfo.insert(QLatin1String(kIsFast), true);
        if (_changeLogValue == _lastChangeLogValue) {
            log(qvlog::kSyncML, QStringLiteral("\n++++++ Two-way Sync (with no new data from device) ++++++\n"));
            _elemsToRead = 0;
            const int delivered = deliverAnSend(_notifier);
            if (delivered != 0)
                finishSession(delivered);
            return;
        }
        log(qvlog::kSyncML, QStringLiteral("\n++++++ Two-way Sync ++++++\n"));
    } else {
        _fastSyncPossible = false;
        _syncInfo.insert(QLatin1String(kIsFast), false);
        log(qvlog::kSyncML, QStringLiteral("\n------ Slow Sync ------\n"));
    }
    if (auto higher = QVEmbeddedCallback::getHigherCallback(command))
        higher->finishWithResult(0, QVariant());
}

void QVIRMCSession::stateRequestMainData()
{
    if (!enterState(Reading))
        return;
    if (_property != 0) {
        finishSession(kUnsupportedProperty);
        return;
    }
    const QString anchor = _fastSyncPossible ? _lastChangeLogValue : QStringLiteral("0");
    startedOrFinish(_irmcConnection.requestNumberedLogForPB(
        makeCommand(kCommandKind, {}, &QVIRMCSession::numberedLogReceived), anchor));
}

void QVIRMCSession::numberedLogReceived(ObjectPushCommand& command)
{
    int result = 0;
    const auto text = answerText(command, "numberedLogReceived", kNoDataInfo, kNoTextInfo, &result);
    if (!text) {
        finishSession(result);
        return;
    }
    log(qvlog::kSyncML,
        QStringLiteral("\n-------------------------- DEVICE INFO -----------------------------\n\n%1").arg(*text));
    std::weak_ptr<int> alive = _alive;
    const QString copy = *text;
    platform::runloop::performOnMainThread([this, alive, copy] {
        if (!alive.expired() && !_finished)
            processNumberedLog(copy);
    });
}

void QVIRMCSession::processNumberedLog(const QString& text)
{
    _itemsChanged.clear();
    _itemsDeleted.clear();
    QStringList lines;
    const QVIRMCChangeLog changes = irmcChangeLog(text, !_databaseID.isEmpty(), &lines);
    for (const QString& line : lines)
        log(qvlog::kXT, line);
    if (changes.databaseID) {
        _databaseID = *changes.databaseID;
        if (_databaseID != _lastDatabaseID)
            _fastSyncPossible = false;
    }
    if (changes.starLine)
        log(qvlog::kXT,
            QStringLiteral("\n+++++ Must switch to SLOW SYNC, because device only delivers * instead of "
                           "changes +++++"));
    if (!_fastSyncPossible || changes.starLine) {
        switchToSlowSync();
        return;
    }
    _itemsChanged = changes.changed;
    _itemsDeleted = changes.deleted;
    for (const QString& luid : std::as_const(_itemsDeleted))
        _items.append(
            QVariantMap{{QStringLiteral("SourceURI"), luid}, {QStringLiteral("Action"), QStringLiteral("Delete")}});
    _elemsToRead = _itemsChanged.size();
    processModifiedItems();
}

void QVIRMCSession::processModifiedItems()
{
    if (_itemsChanged.isEmpty()) {
        const int delivered = deliverAnSend(_notifier);
        if (delivered != 0)
            finishSession(delivered);
        return;
    }
    const QString luid = _itemsChanged.first();
    auto command = makeCommand(kCommandKind, {}, &QVIRMCSession::numberedObjectStoreReceived);
    command->setDescriptionNames(QStringLiteral("QVIRMCSession"), luid);
    _pushCommand = luid;
    startedOrFinish(_irmcConnection.requestNumberedObjectStoreForPB(command, luid));
}

QVariantMap QVIRMCSession::readItem(const QString& card, const QString& requestedLUID)
{
    QString luid = uriForVXData(card);
    if (luid.isEmpty()) {
        if (!requestedLUID.isEmpty()) {
            // Fetched by its LUID: that is the entry's id.
            luid = requestedLUID;
            log(qvlog::kXT, QStringLiteral("### strange: Item did not contain LUID, taken the requested %1").arg(luid));
        } else {
            luid = QVSyncElem::kTemporaryIdPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces);
            log(qvlog::kXT,
                QStringLiteral("### strange: Item did not contain LUID, temporary id %1: %2").arg(luid, card));
        }
    }
    return QVariantMap{{QStringLiteral("vx-Data"), card},
                       {QStringLiteral("Action"), QStringLiteral("Replace")},
                       {QStringLiteral("SourceURI"), luid}};
}

void QVIRMCSession::numberedObjectStoreReceived(ObjectPushCommand& command)
{
    int result = 0;
    const auto text = answerText(command, "numberedObjectStoreReceived", kNoDataInfo, kNoTextInfo, &result);
    if (!text) {
        finishSession(result);
        return;
    }
    log(qvlog::kSyncML, QStringLiteral("===> Received stuff as string\n%1").arg(*text));
    const QString requested = _itemsChanged.isEmpty() ? QString() : _itemsChanged.takeFirst();
    _items.append(readItem(*text, requested));
    if (_notifier)
        _notifier->displayPercent(int(getProgressInPercent()));
    processModifiedItems();
}

void QVIRMCSession::switchToSlowSync()
{
    _itemsChanged.clear();
    _itemsDeleted.clear();
    _fastSyncPossible = false;
    _syncInfo.insert(QLatin1String(kIsFast), false);
    startedOrFinish(
        _irmcConnection.requestMainDataForPB(makeCommand(kCommandKind, {}, &QVIRMCSession::slowDataReceived)));
}

void QVIRMCSession::slowDataReceived(ObjectPushCommand& command)
{
    int result = 0;
    const auto text = answerText(command, "slowDataReceived", kNoDataChangeLog, kNoTextPhonebook, &result);
    if (!text) {
        finishSession(result);
        return;
    }
    std::weak_ptr<int> alive = _alive;
    const QString copy = *text;
    platform::runloop::performOnMainThread([this, alive, copy] {
        if (alive.expired() || _finished)
            return;
        const int processed = processIrMCvCardString(copy);
        if (processed != 0)
            finishSession(processed);
    });
}

int QVIRMCSession::processIrMCvCardString(const QString& text)
{
    _items.clear();
    const auto cards = irmcSplitPhonebook(text);
    if (!cards) {
        log(qvlog::kXT, QStringLiteral("### Phonebook text holds no card"));
        return kUnreadablePhonebook;
    }
    if (cards->isEmpty()) {
        log(qvlog::kXT, QStringLiteral("Device has Empty store"));
        log(qvlog::kSyncML, QStringLiteral("\n------------Device has no entries! ------------\n"));
    }
    for (const QString& card : *cards)
        _items.append(readItem(card, QString()));
    log(qvlog::kXT, QStringLiteral("Items = \n%1").arg(_items.size()));
    return deliverAnSend(_notifier);
}

int QVIRMCSession::deliverAnSend(QVSessionUser* notifier)
{
    _syncInfo.insert(QLatin1String(kItems), _items);
    if (!enterState(Processing))
        return kResultStopped;
    _weAreSending = true;
    if (!notifier)
        return kResultStopped;
    return notifier->deliverIncomingData(*this);
}

void QVIRMCSession::setDownloadObjects(std::shared_ptr<QVCommandArray> commands, QVSyncElemList* elemList, int type)
{
    QVBaseSession::setDownloadObjects(commands, elemList, type);
    // The phone's capacity from its information log bounds the new entries.
    if (_maxElems > 0 && elemList)
        elemList->setMaxItemsOnDevice(int(_maxElems));
    _elemsToSend = commands ? std::move(commands) : std::make_shared<QVCommandArray>();
    _elemsToSendTotal = _elemsToSend->count();
    _elemsSentSoFar = 0;
    later(&QVIRMCSession::sendMacData);
}

void QVIRMCSession::sendMacData()
{
    if (!_elemsToSend)
        _elemsToSend = std::make_shared<QVCommandArray>();
    _elemsSentSoFar = _elemsToSendTotal - _elemsToSend->count();
    if (!enterState(Sending))
        return;
    if (_elemsToSend->count() == 0) {
        if (_didChangeDeviceData && _changeLogInvalid) {
            stateUpdateChangeLog();
            return;
        }
        log(qvlog::kSyncML,
            _didChangeDeviceData ? QStringLiteral("++++++ All changes for Device sent ++++++")
                                 : QStringLiteral("++++++ No changes for Device ++++++"));
        finalizeSession();
        return;
    }
    _didChangeDeviceData = true;
    const auto elem = _elemsToSend->elemAtIndex(0);
    const QString command = _elemsToSend->commandAtIndex(0);
    QString luid = elem ? elem->sourceURI() : QString();
    if (luid.startsWith(QVSyncElem::kTemporaryIdPrefix))
        luid.clear();
    _pushCommand = command;
    if (elem && command == QVCommandArray::kDelete && !luid.isEmpty()) {
        startedOrFinish(sendRecord(elem, QString(), luid));
        return;
    }
    if (elem && command == QVCommandArray::kAdd) {
        if (_itemsOnDevice == -1)
            _itemsOnDevice = _syncElemList ? _syncElemList->itemsOnDeviceCount() : 0;
        const int maximum = _syncElemList ? _syncElemList->maxItemsOnDevice()
                                          : QVSyncElemList::kDefaultMaxItemsOnDevice;
        if (_itemsOnDevice >= maximum) {
            log(qvlog::kXT,
                QStringLiteral("### The phone is full (%1 entries): %2 commands not sent")
                    .arg(_itemsOnDevice)
                    .arg(_elemsToSend->count()));
            _unsentItems += _elemsToSend->count();
            _elemsToSend->removeAllObjects();
            later(&QVIRMCSession::sendMacData);
            return;
        }
    }
    if (elem && (command == QVCommandArray::kAdd || (command == QVCommandArray::kReplace && !luid.isEmpty()))) {
        const QString text =
            elem->vxDataForDevice(std::make_shared<DeviceDescriptionLimits>(_syncDescription)).toString();
        if (text.isEmpty() || !platform::text::encode(text, platform::text::Encoding::MacRoman)) {
            // Sent without data it would delete the phone's entry.
            log(qvlog::kXT,
                QStringLiteral("### Item not sent, its text does not convert for the phone: %1")
                    .arg(elem->sourceURI()));
            ++_unsentItems;
            _elemsToSend->removeElemAndCommandAtIndex(0);
            later(&QVIRMCSession::sendMacData);
            return;
        }
        const int status = sendRecord(elem, text, command == QVCommandArray::kAdd ? QString() : luid);
        if (status == 0 && command == QVCommandArray::kAdd)
            ++_itemsOnDevice;
        startedOrFinish(status);
        return;
    }
    log(qvlog::kXT, QStringLiteral("Bad Command: %1 for item %2").arg(command, elem ? elem->sourceURI() : QString()));
    finishSession(kBadCommand);
}

int QVIRMCSession::sendRecord(const std::shared_ptr<QVSyncElem>& elem, const QString& text, const QString& luid)
{
    const QString name = luid.isEmpty() ? QStringLiteral("telecom/pb/luid/zapis.vcf")
                                        : QStringLiteral("telecom/pb/luid/%1.vcf").arg(luid);
    QByteArray data;
    if (!text.isEmpty()) {
        const auto encoded = platform::text::encode(text, platform::text::Encoding::MacRoman);
        if (!encoded || encoded->isEmpty())
            return kNoTextPhonebook;
        data = *encoded;
    }
    _pushElem = elem;
    const bool askParams = !data.isEmpty() && _hasIRMCLevel4Support;
    return _irmcConnection.pushDataObjectForPB(makeCommand(kCommandKind, data, &QVIRMCSession::pushObjectDone), name,
                                               askParams);
}

int QVIRMCSession::getSendingPercent() const
{
    if (_elemsToSendTotal <= 0)
        return 97;
    return int(double(_elemsSentSoFar * 100 / _elemsToSendTotal) * 0.45 + 52);
}

int QVIRMCSession::indexOfCurrentSendingElem() const
{
    return int(std::min(_elemsSentSoFar + 1, _elemsToSendTotal));
}

float QVIRMCSession::getProgressInPercent() const
{
    if (_weAreSending) {
        if (_elemsToSendTotal <= 0)
            return 95.0f;
        return float(double(_elemsSentSoFar * 100 / _elemsToSendTotal) * 0.45 + 50);
    }
    switch (_curSyncState) {
    case Preparing:
        return 2.0f;
    case Handshaking:
        return 8.0f;
    case Processing:
        return 50.0f;
    case Reading:
        if (_elemsToRead == -1)
            return 10.0f;
        if (_elemsToRead == 0)
            return 45.0f;
        return float(double((_elemsToRead - _itemsChanged.size()) * 100 / _elemsToRead) * 0.35 + 10);
    default:
        return 50.0f;
    }
}

void QVIRMCSession::pushObjectDone(ObjectPushCommand& command)
{
    _elemsSentSoFar = _elemsToSendTotal - (_elemsToSend ? _elemsToSend->count() : 0) + 1;
    if (_notifier)
        _notifier->displayPercent(getSendingPercent());
    const int status = command.returnStatus();
    if (status != 0) {
        log(qvlog::kXT, QStringLiteral("### pushObjectDone received error: %1").arg(status));
        finishSession(status);
        return;
    }
    _changeLogInvalid = true;
    QStringList lines;
    const QVariantMap params = irmcAppParameters(command.appParams(), &lines);
    for (const QString& line : lines)
        log(qvlog::kXT, line);
    const auto elem = _pushElem;
    const bool added = _pushCommand == QVCommandArray::kAdd;
    const QString luid = params.value(QStringLiteral("1")).toString();
    if (!luid.isEmpty()) {
        log(qvlog::kXT, QStringLiteral("[QVIRMCSession pushObjectDone] Received LUID/SourceURI: %1").arg(luid));
        if (elem && !elem->isOnDevice())
            elem->setSourceURI(luid);
    }
    const QString counter = params.value(QStringLiteral("2")).toString();
    if (!counter.isEmpty()) {
        log(qvlog::kXT, QStringLiteral("[QVIRMCSession pushObjectDone]  Received ChangeLogValue: %1").arg(counter));
        _changeLogValue = counter;
        _changeLogInvalid = false;
    }
    if (_elemsToSend && _elemsToSend->count() > 0)
        _elemsToSend->removeElemAndCommandAtIndex(0);
    if (added)
        ++_totalElems;
    else if (_pushCommand == QVCommandArray::kDelete)
        _totalElems = std::max(0L, _totalElems - 1);
    if (added && elem && !elem->isOnDevice()) {
        log(qvlog::kXT,
            _hasIRMCLevel4Support
                ? QStringLiteral("### Did not get LUID although device supports IRMC level 4!")
                : QStringLiteral("### Did not get LUID because device does not support IRMC level 4!"));
        // Without the phone's count the index of the new entry is a guess,
        // and the entry read there could be another one.
        if (!_totalElemsKnown) {
            log(qvlog::kXT, QStringLiteral("### No record count from the phone: the new entry keeps its temporary id"));
            later(&QVIRMCSession::sendMacData);
            return;
        }
        // The entry just written is the last one: its LUID is read back.
        const int started = requestNewItem(makeStep(&QVIRMCSession::sendMacData), elem);
        startedOrFinish(started);
        return;
    }
    later(&QVIRMCSession::sendMacData);
}

int QVIRMCSession::requestNewItem(const std::shared_ptr<QVDeviceCallback>& callback,
                                  const std::shared_ptr<QVSyncElem>& elem)
{
    _pushElem = elem;
    return _irmcConnection.requestIndexItemForPB(
        makeCommand(kCommandKind, {}, &QVIRMCSession::newItemReceived, callback), stringForLong(_totalElems));
}

void QVIRMCSession::newItemReceived(ObjectPushCommand& command)
{
    const int status = command.returnStatus();
    QString luid;
    if (status != 0) {
        // The entry is on the phone already: the sync goes on, the entry
        // keeps its temporary id.
        log(qvlog::kXT, QStringLiteral("### newItemReceived received error: %1").arg(status));
    } else
    if (command.dataReceived().isEmpty()) {
        log(qvlog::kSyncML, QStringLiteral("[QVIRMCSession newItemReceived] received NIL\n"));
    } else {
        const QString text =
            irmcSessionMacRoman(command.dataReceived()).value_or(QString::fromLatin1(command.dataReceived()));
        log(qvlog::kSyncML, QStringLiteral("[QVIRMCSession newItemReceived] = \n%1").arg(text));
        luid = uriForVXData(text);
    }
    if (!luid.isEmpty() && _pushElem && luidHeldByAnother(luid, _pushElem)) {
        log(qvlog::kXT, QStringLiteral("### Entry read back as %1, which another item holds: it keeps its temporary id")
                            .arg(luid));
        luid.clear();
    }
    if (!luid.isEmpty() && _pushElem)
        _pushElem->setSourceURI(luid);
    else
        log(qvlog::kXT, QStringLiteral("### New entry read back without LUID: it keeps its temporary id"));
    if (auto higher = QVEmbeddedCallback::getHigherCallback(command))
        higher->finishWithResult(0, QVariant());
}

bool QVIRMCSession::luidHeldByAnother(const QString& luid, const std::shared_ptr<QVSyncElem>& elem) const
{
    if (!_syncElemList)
        return false;
    const auto& all = _syncElemList->allElems();
    return std::any_of(all.begin(), all.end(), [&](const QVSyncElemList::Elem& other) {
        return other && other.get() != elem.get() && other->sourceURI() == luid;
    });
}

void QVIRMCSession::stateUpdateChangeLog()
{
    if (_property != 0) {
        finishSession(kUnsupportedProperty);
        return;
    }
    auto higher = makeStep(&QVIRMCSession::finalizeSession);
    startedOrFinish(_irmcConnection.requestChangeLogForPB(
        makeCommand(kCommandKind, {}, &QVIRMCSession::updateChangeLogFinished, higher)));
}

void QVIRMCSession::updateChangeLogFinished(ObjectPushCommand& command)
{
    int result = 0;
    const auto text = answerText(command, "updateChangeLogFinished", kNoDataChangeLog, kNoDataChangeLog, &result);
    if (!text) {
        finishSession(result);
        return;
    }
    _changeLogValue = text->trimmed();
    if (auto higher = QVEmbeddedCallback::getHigherCallback(command))
        higher->finishWithResult(0, QVariant());
}

void QVIRMCSession::finalizeSession()
{
    finishSession(kResultOK);
}

void QVIRMCSession::finishSession(int result)
{
    if (_finished)
        return;
    _finished = true;
    if (result == kResultOK && _syncRan) {
        _irmcConnection.setDeviceSetting(kIrmcLogNumberKey + dbName(), _changeLogValue);
        if (!_databaseID.isEmpty())
            _irmcConnection.setDeviceSetting(kIrmcDatabaseIDKey + dbName(), _databaseID);
        setDZSyncTime(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")));
        _irmcConnection.writeDeviceDictNow();
    }
    QVBaseSession::finishSession(result);
    log(qvlog::kSyncML,
        QStringLiteral("\n++++++++++++++++++++ IrMC session FINISHED with status: %1 at %2 "
                       "++++++++++++++++++++\n\n\n")
            .arg(result)
            .arg(QDateTime::currentDateTime().toString(Qt::ISODate)));
    log(qvlog::kXT,
        QStringLiteral("QVIrMCSession finishSession with result: %1 (%2 commands active)")
            .arg(result)
            .arg(_objectPushCommands.size()));
    if (!_objectPushCommands.empty()) {
        QString text = QStringLiteral("QVSyncSession active commands:\n");
        for (const auto& command : _objectPushCommands)
            text += command->description();
        qCWarning(lcSync).noquote() << text;
    }
    for (const auto& command : std::exchange(_objectPushCommands, {}))
        command->senderIsDying();
}

void QVIRMCSession::stopSession()
{
    log(qvlog::kXT, QStringLiteral("IrMC Session stopped by user"));
    QVBaseSession::stopSession();
}

// --- files ---

double QVIRMCSession::convertPercentForGetAction(double percent)
{
    return percent * 0.39 + 10;
}

int QVIRMCSession::performGetDirectory(const QStringList& paths, QVariantMap* intoDict)
{
    _scanDirectories = paths;
    _collectingDict = intoDict;
    _elemsToRead = paths.size() == 1 ? 4 : paths.size();
    _elemsSentSoFar = 0;
    if (paths.size() == 1 && paths.first() == QLatin1String("/") && _collectingDict)
        _collectingDict->clear();
    log(qvlog::kXT, QStringLiteral("**** Request performGetDirectory: %1").arg(paths.join(QStringLiteral(", "))));
    std::weak_ptr<int> alive = _alive;
    _listingDone = QVDeviceCallback::commandObject(this,
                                                   [this, alive](QVDeviceCallback&) {
                                                       if (!alive.expired() && !_finished)
                                                           stateGetDirectoryDone();
                                                   },
                                                   {});
    later(&QVIRMCSession::highRequestDirectory);
    return 0;
}

void QVIRMCSession::highRequestDirectory()
{
    if (_scanDirectories.isEmpty()) {
        _listingDone->finishWithResult(0, QVariant());
        return;
    }
    _curPath = _scanDirectories.takeFirst();
    log(qvlog::kXT, QStringLiteral("Set Path:%1").arg(_curPath));
    startedOrFinish(
        _irmcConnection.setPath(makeCommand(kCommandKind, {}, &QVIRMCSession::setPathForGetDirDone), _curPath));
}

void QVIRMCSession::setPathForGetDirDone(ObjectPushCommand& command)
{
    if (command.returnStatus() != 0) {
        log(qvlog::kXT, QStringLiteral("### setPathForGetDirDone error: %1").arg(command.returnStatus()));
        finishSession(command.returnStatus());
        return;
    }
    log(qvlog::kXT, QStringLiteral("setPathForGetDirDone okay, requesting Directory now"));
    startedOrFinish(_irmcConnection.requestDirectoryListing(
        makeCommand(kCommandKind, {}, &QVIRMCSession::dirListingReturned, _listingDone)));
}

void QVIRMCSession::dirListingReturned(ObjectPushCommand& command)
{
    if (command.returnStatus() != 0) {
        finishSession(command.returnStatus());
        return;
    }
    if (_elemsToRead != 0) {
        ++_elemsSentSoFar;
        if (_notifier)
            _notifier->displayPercent(int(double(_elemsSentSoFar * 100 / _elemsToRead) * 0.95));
    }
    const QString folder = _curPath;
    log(qvlog::kXT, QStringLiteral("dirListingReturned: %1").arg(folder));
    log(qvlog::kXT, QStringLiteral("Dir content for %1:\n%2").arg(folder, QString::fromUtf8(command.dataReceived())));
    QStringList lines;
    const auto entries = irmcFolderListing(command.dataReceived(), &lines);
    for (const QString& line : lines)
        log(qvlog::kXT, line);
    if (entries && !entries->isEmpty() && !folder.isEmpty()) {
        QVariantList sorted = *entries;
        if (folder == QLatin1String("/")) {
            for (const QVariant& entry : sorted) {
                const QVariantMap map = entry.toMap();
                const QString name = map.value(QStringLiteral("name")).toString();
                if (map.value(QStringLiteral("objectType")).toString() == QLatin1String("folder") && !name.isEmpty())
                    _scanDirectories.append(QLatin1Char('/') + name);
            }
        }
        std::stable_sort(sorted.begin(), sorted.end(), [](const QVariant& a, const QVariant& b) {
            return a.toMap()
                       .value(QStringLiteral("name"))
                       .toString()
                       .compare(b.toMap().value(QStringLiteral("name")).toString(), Qt::CaseInsensitive)
                < 0;
        });
        if (_collectingDict)
            _collectingDict->insert(irmcSessionLastComponent(folder), sorted);
    }
    later(&QVIRMCSession::highRequestDirectory);
}

void QVIRMCSession::stateGetDirectoryDone()
{
    if (_notifier)
        _notifier->displayPercent(99);
    finishSession(kResultOK);
}

int QVIRMCSession::performDownloadFile(const QString& phonePath, const QString& macPath)
{
    log(qvlog::kXT, QStringLiteral("**** Request File download file: %1").arg(phonePath));
    _srcFile = phonePath;
    _destFile = macPath;
    later(&QVIRMCSession::stateBeginDownload);
    return 0;
}

void QVIRMCSession::stateBeginDownload()
{
    if (_supportsPathInObjects) {
        startedOrFinish(_irmcConnection.requestDownloadFile(
            makeCommand(kFileReadKind, {}, &QVIRMCSession::requestedFileReceived), _srcFile));
        return;
    }
    log(qvlog::kXT, QStringLiteral("Set Path:%1").arg(irmcSessionParent(_srcFile)));
    startedOrFinish(_irmcConnection.setPath(makeCommand(kCommandKind, {}, &QVIRMCSession::setPathForDownloadDone),
                                            irmcSessionParent(_srcFile)));
}

void QVIRMCSession::setPathForDownloadDone(ObjectPushCommand& command)
{
    if (command.returnStatus() != 0) {
        finishSession(command.returnStatus());
        return;
    }
    startedOrFinish(_irmcConnection.requestDownloadFile(
        makeCommand(kFileReadKind, {}, &QVIRMCSession::requestedFileReceived), irmcSessionLastComponent(_srcFile)));
}

void QVIRMCSession::requestedFileReceived(ObjectPushCommand& command)
{
    const int status = command.returnStatus();
    if (status == 0) {
        // An answer without data is an empty file on the phone.
        const QByteArray data = command.dataReceived();
        log(qvlog::kXT,
            QStringLiteral("[QVIRMCSession requestedFileReceived]  Received stuff: \n%1\n").arg(data.size()));
        QString error;
        if (!platform::writeFileAtomically(_destFile, data, &error)) {
            log(qvlog::kXT, QStringLiteral("### Cannot write %1: %2").arg(_destFile, error));
            finishSession(kFileWriteFailed);
            return;
        }
    }
    finishSession(status);
}

int QVIRMCSession::performUploadFile(const QByteArray& data, const QString& phonePath)
{
    log(qvlog::kXT, QStringLiteral("**** Request File upload %1 Bytes for dest: %2").arg(data.size()).arg(phonePath));
    _srcData = data;
    _destFile = phonePath;
    std::weak_ptr<int> alive = _alive;
    platform::runloop::performOnMainThread([this, alive, data, phonePath] {
        if (alive.expired() || _finished)
            return;
        if (_supportsPathInObjects)
            stateBeginUpload(data);
        else
            lowSetPathForUpload(data, phonePath);
    });
    return 0;
}

void QVIRMCSession::stateBeginUpload(const QByteArray& data)
{
    startedOrFinish(
        _irmcConnection.pushFileData(makeCommand(kFileWriteKind, data, &QVIRMCSession::filePushDone), _destFile));
}

void QVIRMCSession::lowSetPathForUpload(const QByteArray& data, const QString& path)
{
    _srcData = data;
    log(qvlog::kXT, QStringLiteral("Set Path for Upload:%1").arg(path));
    startedOrFinish(_irmcConnection.setPath(makeCommand(kCommandKind, {}, &QVIRMCSession::setPathForUploadDone),
                                            irmcSessionParent(path)));
}

void QVIRMCSession::setPathForUploadDone(ObjectPushCommand& command)
{
    if (command.returnStatus() != 0) {
        log(qvlog::kXT, QStringLiteral("### setPathForUploadDone error: %1").arg(command.returnStatus()));
        finishSession(command.returnStatus());
        return;
    }
    log(qvlog::kXT, QStringLiteral("setPathForUploadDone okay, pushing data"));
    startedOrFinish(_irmcConnection.pushFileData(makeCommand(kFileWriteKind, _srcData, &QVIRMCSession::filePushDone),
                                                 irmcSessionLastComponent(_destFile)));
}

void QVIRMCSession::filePushDone(ObjectPushCommand& command)
{
    const int status = command.returnStatus();
    if (status == 0)
        log(qvlog::kXT, QStringLiteral("--- Pushing data for %1 finished with success!").arg(_destFile));
    else
        log(qvlog::kXT, QStringLiteral("### Pushing data for %1 finished with error: %2!").arg(_destFile).arg(status));
    finishSession(status);
}

int QVIRMCSession::performDeleteFile(const QString& phonePath)
{
    log(qvlog::kXT, QStringLiteral("**** Request File Delete: %1").arg(phonePath));
    _destFile = phonePath;
    std::weak_ptr<int> alive = _alive;
    platform::runloop::performOnMainThread([this, alive, phonePath] {
        if (!alive.expired() && !_finished)
            stateBeginDelete(phonePath);
    });
    return 0;
}

void QVIRMCSession::stateBeginDelete(const QString& path)
{
    startedOrFinish(_irmcConnection.deleteFile(makeCommand(kFileDeleteKind, {}, &QVIRMCSession::fileDeleteDone), path));
}

void QVIRMCSession::fileDeleteDone(ObjectPushCommand& command)
{
    filePushDone(command);
}
