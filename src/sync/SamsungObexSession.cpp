#include "sync/SamsungObexSession.h"

#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDescription.h"
#include "formats/VCalendar2Dictionary.h"
#include "formats/VCardReader.h"
#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "links/ObjectPushCommand.h"
#include "links/SamsungATConnection.h"
#include "phone/DeviceDataManager.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phone/RawRecordStore.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"
#include "sync/QVSessionUser.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElem.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVVCalendarElem.h"

#include <QDateTime>
#include <QStringDecoder>
#include <QTimer>

namespace {
constexpr int kSamsungSessionStateStart = 0;
constexpr int kSamsungSessionStateCounting = 1;
constexpr int kSamsungSessionStateReading = 2;
constexpr int kSamsungSessionStateProcessing = 3;
constexpr int kSamsungSessionStateSending = 4;

void samsungSessionLog(const QString& line)
{
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("%1"), line);
}

int samsungSessionBigEndian16(const QByteArray& data, qsizetype at)
{
    return (uint8_t(data.at(at)) << 8) | uint8_t(data.at(at + 1));
}
} // namespace

// --- the link for the base session ---

QString SamsungObexSessionLink::deviceIdentifier() const
{
    return _connection.deviceIdentifier();
}

int SamsungObexSessionLink::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    return _connection.closeConnection(callback);
}

// --- creation ---

std::unique_ptr<SamsungObexSession> SamsungObexSession::initWithConnection(SamsungATConnection& connection,
                                                                           QVSessionUser* notifier)
{
    SamsungObexSessionLink link(connection);
    std::shared_ptr<QVSyncDeviceDescription> description = findDescription(link);
    MFDevice* device = connection.mfDevice();
    // A phone known by its model row alone: the description it was made with.
    if (!description && device)
        description = device->syncDescription();
    if (!description || !device) {
        samsungSessionLog(
            QStringLiteral("SamsungObexSession: no sync description for %1").arg(connection.deviceIdentifier()));
        return nullptr;
    }
    Environment environment;
    DeviceDataManager* manager = device->dataManager();
    OrganizerArchive* archive = manager ? manager->archive() : nullptr;
    if (archive)
        environment.rawDataPathName = rawrecords::pathFor(archive->pathNameForDeviceSyncData());
    environment.itemList = [device](int property) -> QVSyncElemList* {
        DeviceDataManager* m = device->dataManager();
        OrganizerArchive* a = m ? m->archive() : nullptr;
        return a ? a->storage(property) : nullptr;
    };
    environment.eraseDeviceData = [device](int property) {
        return device->devInfo() && device->devInfo()->eraseDeviceData(property);
    };
    environment.clearEraseDeviceData = [device](int property) {
        if (device->devInfo())
            device->devInfo()->setEraseDeviceData(false, property);
    };
    return initWithConnection(connection, notifier, std::move(description), std::move(environment));
}

std::unique_ptr<SamsungObexSession> SamsungObexSession::initWithConnection(
    SamsungATConnection& connection, QVSessionUser* notifier, std::shared_ptr<QVSyncDeviceDescription> description,
    Environment environment)
{
    if (!description)
        return nullptr;
    return std::unique_ptr<SamsungObexSession>(
        new SamsungObexSession(connection, notifier, std::move(description), std::move(environment)));
}

SamsungObexSession::SamsungObexSession(SamsungATConnection& connection, QVSessionUser* notifier,
                                       std::shared_ptr<QVSyncDeviceDescription> description, Environment environment)
    : SamsungObexSessionLinkHolder(connection)
    , QVBaseSession(*_link, notifier, std::move(description))
    , _samsungConnection(connection)
    , _environment(std::move(environment))
    , _rawDataPathName(_environment.rawDataPathName)
{
    _subItemCount.fill(-1);
}

SamsungObexSession::~SamsungObexSession()
{
    if (_preProcessCallback)
        _preProcessCallback->senderIsDying();
}

std::shared_ptr<ObjectPushCommand> SamsungObexSession::command(Step step, const QByteArray& data,
                                                               const QVariant& userInfo)
{
    std::weak_ptr<int> alive = _alive;
    return ObjectPushCommand::pushCommandWithDataUserAndCallback(
        ObjectPushCommand::kNothing, data, this,
        [alive, step = std::move(step)](QVDeviceCallback& c) {
            if (!alive.expired())
                step(static_cast<ObjectPushCommand&>(c));
        },
        userInfo, nullptr);
}

void SamsungObexSession::later(double seconds, std::function<void()> step)
{
    std::weak_ptr<int> alive = _alive;
    platform::runloop::performAfterDelay(this, QStringLiteral("samsungSessionStep"), seconds,
                                         [alive, step = std::move(step)] {
                                             if (!alive.expired())
                                                 step();
                                         });
}

bool SamsungObexSession::reportState(int state)
{
    if (setSyncState(state))
        return true;
    finishSession(kResultStopped);
    return false;
}

// --- entries ---

int SamsungObexSession::performReadContacts(bool forceSlow)
{
    _property = 0;
    _forceSlow = forceSlow;
    setupRawDataFromFile();
    resetSubTypes();
    if (!reportState(kSamsungSessionStateStart))
        return 0;
    later(0, [this] { stateBeginHighLevelSession(); });
    return 0;
}

int SamsungObexSession::performReadCalendarEvents(bool forceSlow)
{
    _property = 1;
    _forceSlow = forceSlow;
    setupRawDataFromFile();
    resetSubTypes();
    if (!reportState(kSamsungSessionStateStart))
        return 0;
    later(0, [this] { stateBeginHighLevelSession(); });
    return 0;
}

int SamsungObexSession::performPreprocessContacts(const std::shared_ptr<QVDeviceCallback>& callback)
{
    _property = 0;
    _preprocess = true;
    _preProcessCallback = callback;
    later(0, [this] { stateGetInfoForContact(); });
    return 0;
}

void SamsungObexSession::setDownloadObjects(std::shared_ptr<QVCommandArray> commands, QVSyncElemList* elemList,
                                            int type)
{
    QVBaseSession::setDownloadObjects(commands, elemList, type);
    _elemsToSend = commands ? std::move(commands) : std::make_shared<QVCommandArray>();
    for (const QString& uri : std::exchange(_deviceDeletionItems, {}))
        _elemsToSend->insertDeleteObject(QVSyncElem::elemForDeletion(uri));
    _elemsToSendTotal = _elemsToSend->count();
}

QVariantList SamsungObexSession::items() const
{
    return _vcArray;
}

int SamsungObexSession::indexOfCurrentReadElem() const
{
    if (_vcArray.isEmpty())
        return std::min(_elemsToRead, 1);
    return std::min(int(_vcArray.size()) + 1, _elemsToRead);
}

int SamsungObexSession::indexOfCurrentSendingElem() const
{
    return std::min(int(_elemsSentSoFar) + 1, noOfElemsToSend());
}

float SamsungObexSession::getProgressInPercent() const
{
    if (_weAreSending) {
        const int share = _elemsToSendTotal > 0 ? int(_elemsSentSoFar * 100 / _elemsToSendTotal) : 100;
        return float(share * 0.45 + 50);
    }
    switch (_curSyncState) {
    case kSamsungSessionStateStart:
        return 2;
    case kSamsungSessionStateCounting:
        return 8;
    case kSamsungSessionStateProcessing:
        return 50;
    default:
        break;
    }
    if (_elemsToRead < 0)
        return 10;
    if (_elemsToRead == 0)
        return 45;
    return float(int(_vcArray.size() * 100 / _elemsToRead) * 0.35 + 10);
}

// --- identities ---

const QStringList& SamsungObexSession::contactsInfoKeys()
{
    static const QStringList keys{
        QStringLiteral("SyncML.MaxLen_FirstName"),    QStringLiteral("SyncML.MaxLen_LastName"),
        QStringLiteral("SyncML.MaxLen_SecondName"),   QStringLiteral("SyncML.MaxLen_Title"),
        QStringLiteral("SyncML.MaxLen_NameAppendix"), QStringLiteral("SyncML.MaxLen_FullName"),
        QStringLiteral("SyncML.MaxLen_NickName"),     QStringLiteral("SyncML.MaxLen_ReadingName"),
        QStringLiteral("SyncML.MaxNo_PhoneNumbers"),  QStringLiteral("SyncML.MaxLen_PhoneNumber"),
        QStringLiteral("SyncML.MaxNo_Emails"),        QStringLiteral("SyncML.MaxLen_Email"),
        QStringLiteral("SyncML.MaxNo_URLs"),          QStringLiteral("SyncML.MaxLen_URL"),
        QStringLiteral("SyncML.MaxNo_Addresses"),     QStringLiteral("SyncML.MaxLen_POBox"),
        QStringLiteral("SyncML.MaxLen_Street"),       QStringLiteral("SyncML.MaxLen_HouseNo"),
        QStringLiteral("SyncML.MaxLen_City"),         QStringLiteral("SyncML.MaxLen_State"),
        QStringLiteral("SyncML.MaxLen_Zip"),          QStringLiteral("SyncML.MaxLen_Notes"),
        QStringLiteral("SyncML.MaxLen_JobTitle"),     QStringLiteral("SyncML.MaxLen_Company"),
    };
    return keys;
}

QString SamsungObexSession::getIdentity(const QString& text, int property, const QString& defaultCharset)
{
    if (property == 0) {
        const auto cards = elemsForVCard(text);
        if (!cards || cards->isEmpty())
            return QStringLiteral("--- INVALID VCARD ----");
        const QVariantMap& card = cards->first().map();
        const auto field = [&card](const char* key) { return card.value(QLatin1String(key)).toString(); };
        return QStringLiteral("%1 %2 %3 %4 %5 [%6]")
            .arg(field("last name"), field("first name"), field("middle name"), field("title"), field("suffix"),
                 field("company name"));
    }
    const QVariantMap dict = VCalendar2Dictionary::dictionaryForVCalendar(text.toUtf8(), defaultCharset);
    if (dict.isEmpty())
        return QStringLiteral("--- INVALID VCALENDAR ----");
    const bool todo = isToDo(dict);
    const QString day = (todo ? getRawDueDate(dict) : getRawStartDate(dict)).toString().left(8);
    return QStringLiteral("%1-%2-%3")
        .arg(todo ? QStringLiteral("Task") : QStringLiteral("Event"), getSummary(dict), day);
}

QString SamsungObexSession::getIdentity(const QString& text) const
{
    return getIdentity(text, _property, _syncDescription ? _syncDescription->defaultCharset() : QString());
}

QStringList SamsungObexSession::identityArray(const QVariantMap& records) const
{
    QStringList identities;
    identities.reserve(records.size());
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        identities.append(getIdentity(it.value().toString()));
    return identities;
}

// --- parsing answers ---

QString SamsungObexSession::sourceURI(int subType, int index)
{
    return QString::asprintf("%02d-%d", subType, index);
}

std::optional<std::pair<int, int>> SamsungObexSession::splitSourceURI(const QString& uri)
{
    const QStringList parts = uri.split(QLatin1Char('-'));
    if (parts.size() != 2 || parts[0].isEmpty() || parts[1].isEmpty())
        return std::nullopt;
    bool okSub = false;
    bool okIndex = false;
    const int sub = parts[0].toInt(&okSub);
    const int index = parts[1].toInt(&okIndex);
    if (!okSub || !okIndex || sub < 0 || sub > 255 || index < 0 || index > 0xFFFF)
        return std::nullopt;
    return std::make_pair(sub, index);
}

std::optional<std::pair<int, int>> SamsungObexSession::parseCount(const QByteArray& data)
{
    if (data.size() < 4)
        return std::nullopt;
    return std::make_pair(samsungSessionBigEndian16(data, 0), samsungSessionBigEndian16(data, 2));
}

QVariantMap SamsungObexSession::parseContactInfo(const QByteArray& data)
{
    QVariantMap limits;
    const QStringList& keys = contactsInfoKeys();
    qsizetype at = 0;
    for (const QString& key : keys) {
        if (data.size() - at < 2)
            break;
        limits.insert(key, samsungSessionBigEndian16(data, at));
        at += 2;
    }
    return limits;
}

QString SamsungObexSession::decodeRecordText(const QByteArray& bytes, bool* latin1)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    *latin1 = decoder.hasError();
    if (*latin1)
        text = QString::fromLatin1(bytes);
    return text;
}

std::optional<QVariantList> SamsungObexSession::parseLoadBlock(const QByteArray& data, int subType)
{
    QVariantList records;
    qsizetype at = 0;
    while (at < data.size()) {
        if (data.size() - at < 4)
            return std::nullopt;
        const int index = samsungSessionBigEndian16(data, at);
        const int length = samsungSessionBigEndian16(data, at + 2);
        at += 4;
        if (data.size() - at < length)
            return std::nullopt;
        bool latin1 = false;
        const QString text = decodeRecordText(data.mid(at, length), &latin1);
        if (latin1)
            samsungSessionLog(
                QStringLiteral("### record %1 is no UTF-8: read as ISO-8859-1").arg(sourceURI(subType, index)));
        at += length;
        records.append(QVariantMap{{QLatin1String(kSourceURI), sourceURI(subType, index)},
                                   {QLatin1String(kVxData), text},
                                   {QLatin1String(kAction), QVCommandArray::kAdd}});
    }
    return records;
}

// --- snapshot ---

void SamsungObexSession::setupRawDataFromFile()
{
    _deviceRecords.clear();
    _isFirstSync = true;
    if (_forceSlow || _rawDataPathName.isEmpty())
        return;
    QVariantMap stored = rawrecords::readDeviceRecords(_rawDataPathName, dbName());
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        if (it.value().typeId() != QMetaType::QString) {
            samsungSessionLog(QStringLiteral("### snapshot entry %1 is no text: first sync").arg(it.key()));
            return;
        }
    }
    if (stored.isEmpty())
        return;
    _deviceRecords = std::move(stored);
    _isFirstSync = false;
}

void SamsungObexSession::saveRawData()
{
    if (_rawDataPathName.isEmpty())
        return;
    rawrecords::writeDeviceRecords(_rawDataPathName, dbName(), _deviceRecords);
    samsungSessionLog(QStringLiteral("RawData saved: %1").arg(_rawDataPathName));
}

QVariantList SamsungObexSession::compareWithSnapshot(const QVariantList& read, QVariantMap& snapshot,
                                                     const std::function<QString(const QString&)>& identity,
                                                     const QList<int>& readSubTypes)
{
    QVariantList actions;
    QSet<QString> seen;
    const QString uriKey = QLatin1String(kSourceURI);
    const QString dataKey = QLatin1String(kVxData);
    const QString actionKey = QLatin1String(kAction);
    for (const QVariant& entry : read) {
        const QVariantMap record = entry.toMap();
        const QString uri = record.value(uriKey).toString();
        const QString text = record.value(dataKey).toString();
        seen.insert(uri);
        const auto stored = snapshot.constFind(uri);
        if (stored != snapshot.cend() && stored.value().toString() == text)
            continue;
        if (stored == snapshot.cend()) {
            actions.append(QVariantMap{{uriKey, uri}, {dataKey, text}, {actionKey, QVCommandArray::kAdd}});
        } else if (identity(text).compare(identity(stored.value().toString()), Qt::CaseInsensitive) == 0) {
            actions.append(QVariantMap{{uriKey, uri}, {dataKey, text}, {actionKey, QVCommandArray::kReplace}});
        } else {
            actions.append(QVariantMap{{uriKey, uri}, {actionKey, QVCommandArray::kDelete}});
            actions.append(QVariantMap{{uriKey, uri}, {dataKey, text}, {actionKey, QVCommandArray::kAdd}});
        }
        snapshot.insert(uri, text);
    }
    for (auto it = snapshot.begin(); it != snapshot.end();) {
        const auto parts = readSubTypes.isEmpty() ? std::nullopt : splitSourceURI(it.key());
        const bool subTypeRead = !parts || readSubTypes.contains(parts->first);
        if (seen.contains(it.key()) || !subTypeRead) {
            ++it;
            continue;
        }
        actions.append(QVariantMap{{uriKey, it.key()}, {actionKey, QVCommandArray::kDelete}});
        it = snapshot.erase(it);
    }
    return actions;
}

void SamsungObexSession::preprocessSync()
{
    _vcArray = compareWithSnapshot(
        _vcArray, _deviceRecords, [this](const QString& text) { return getIdentity(text); }, _readSubTypes);
}

void SamsungObexSession::eraseDeviceItems()
{
    for (const QVariant& entry : std::as_const(_vcArray))
        _deviceDeletionItems.append(entry.toMap().value(QLatin1String(kSourceURI)).toString());
    _vcArray.clear();
}

// --- reading ---

void SamsungObexSession::resetSubTypes()
{
    _subTypes.clear();
    if (_property == 0)
        _subTypes = {1};
    else if (_property == 1)
        _subTypes = {1, 7};
    _readSubTypes = _subTypes;
}

bool SamsungObexSession::takeNextSubType()
{
    if (_subTypes.isEmpty())
        return false;
    _curSubType = uint8_t(_subTypes.takeFirst());
    return true;
}

void SamsungObexSession::logSessionHead()
{
    static const char* const names[] = {"Contacts", "Calendar", "Notes", "Bookmarks", "SMS", "Events", "Tasks"};
    const QString line(80, QLatin1Char('+'));
    const QString name = _property >= 0 && _property <= 6 ? QLatin1String(names[_property]) : QString();
    const QString date = QLocale::c().toString(QDateTime::fromSecsSinceEpoch(qint64(platform::Clock::instance().now())),
                                               QStringLiteral("d. MMM yy, HH:mm:ss"));
    samsungSessionLog(line);
    samsungSessionLog(QStringLiteral("Begin sync session for Device: %1\n").arg(_samsungConnection.deviceIdentifier()));
    samsungSessionLog(QStringLiteral("Database: %1\n").arg(name));
    samsungSessionLog(QStringLiteral("Date: %1\n").arg(date));
    samsungSessionLog(line);
}

void SamsungObexSession::stateBeginHighLevelSession()
{
    logSessionHead();
    if (_property != 1) {
        stateBeginReadingData();
        return;
    }
    auto info = command([this](ObjectPushCommand& c) {
        samsungSessionLog(QStringLiteral("info = %1").arg(QString::fromLatin1(c.dataReceived().toHex(' '))));
        stateBeginReadingData();
    });
    const int status = _samsungConnection.requestPropertyInfo(info, _property, QByteArray());
    if (status != 0)
        finishSession(status);
}

void SamsungObexSession::stateBeginReadingData()
{
    if (!takeNextSubType()) {
        samsungSessionLog(QStringLiteral("\n\n#### ITEMS TO READ TOTALLY: %1 ####\n").arg(_elemsToRead));
        resetSubTypes();
        stateProcessNewPropertySubType();
        return;
    }
    if (!reportState(kSamsungSessionStateCounting))
        return;
    const int status = _samsungConnection.requestPropertyCount(
        command([this](ObjectPushCommand& c) { propertyCountFinished(c); }), _property, _curSubType);
    if (status != 0)
        finishSession(status);
}

void SamsungObexSession::propertyCountFinished(ObjectPushCommand& command)
{
    if (command.returnStatus() != 0) {
        samsungSessionLog(QStringLiteral("contactsCountFinished received error: %1").arg(command.returnStatus()));
        finishSession(command.returnStatus());
        return;
    }
    const auto count = parseCount(command.dataReceived());
    if (!count) {
        samsungSessionLog(QStringLiteral("Did not receive valid contacts count data"));
        finishSession(kInvalidCount);
        return;
    }
    const auto [maximum, stored] = *count;
    if (_property == 0 || !_countedFirst)
        _maxItemsCount = maximum;
    else
        _maxItemsCount += maximum;
    if (_environment.itemList) {
        if (QVSyncElemList* list = _environment.itemList(_property))
            list->setMaxItemsOnDevice(_maxItemsCount);
    }
    _itemsCount = stored;
    _subItemCount[_curSubType] = int16_t(std::min(stored, 0x7FFF));
    _elemsToRead = _countedFirst ? _elemsToRead + stored : stored;
    _countedFirst = true;
    stateBeginReadingData();
}

void SamsungObexSession::stateProcessNewPropertySubType()
{
    if (!takeNextSubType()) {
        quitSession();
        return;
    }
    _reqBlock = 0;
    _curSubRead = 0;
    stateGetAllItems();
}

void SamsungObexSession::stateGetAllItems()
{
    if (!reportState(kSamsungSessionStateReading))
        return;
    const int status = _samsungConnection.requestPropertyLoad(
        command([this](ObjectPushCommand& c) { dataLoadFinished(c); }), uint16_t(_reqBlock), _property, _curSubType);
    if (status != 0)
        finishSession(status);
}

void SamsungObexSession::dataLoadFinished(ObjectPushCommand& command)
{
    if (command.returnStatus() != 0) {
        finishSession(command.returnStatus());
        return;
    }
    const auto records = parseLoadBlock(command.dataReceived(), _curSubType);
    if (!records) {
        // A partial read must never look whole: the missing records would
        // become deletions on the desktop.
        samsungSessionLog(QStringLiteral("### load answer of %1 bytes: a record runs past its block")
                              .arg(command.dataReceived().size()));
        finishSession(kInvalidLoadData);
        return;
    }
    for (const QVariant& record : *records) {
        _vcArray.append(record);
        if (_notifier)
            _notifier->displayPercent(int(getProgressInPercent()));
    }
    _curSubRead += int(records->size());
    // Per sub-database; a block adding nothing ends the sub-database.
    if (!records->isEmpty() && _curSubRead < _subItemCount[_curSubType]) {
        ++_reqBlock;
        later(kNextBlockDelay, [this] { stateGetAllItems(); });
        return;
    }
    if (!_subTypes.isEmpty())
        stateProcessNewPropertySubType();
    else
        stateReadingDone();
}

void SamsungObexSession::stateReadingDone()
{
    samsungSessionLog(QStringLiteral("------ reading finished ------\n -- Records: %1 --").arg(_vcArray.size()));
    saveRawData();
    if (!reportState(kSamsungSessionStateProcessing))
        return;
    if (_isFirstSync && _environment.eraseDeviceData && _environment.eraseDeviceData(_property)) {
        eraseDeviceItems();
        if (_environment.clearEraseDeviceData)
            _environment.clearEraseDeviceData(_property);
    } else {
        preprocessSync();
    }
    if (_notifier) {
        const int status = _notifier->deliverIncomingData(*this);
        if (status != 0) {
            finishSession(status);
            return;
        }
    }
    if (!reportState(kSamsungSessionStateSending))
        return;
    if (_elemsToSend && _elemsToSend->count() > 0) {
        sendDataToDevice();
        return;
    }
    samsungSessionLog(QStringLiteral("------ No data for device, finish! ------"));
    finalizeSession();
}

// --- pre-processing ---

void SamsungObexSession::stateGetInfoForContact()
{
    ++_reqBlock;
    const int status = _samsungConnection.requestPropertyInfo(
        command([this](ObjectPushCommand& c) { contactInfoReceived(c); }), _property,
        QByteArray(1, char(_reqBlock & 0xFF)));
    if (status != 0) {
        if (_preProcessCallback)
            std::exchange(_preProcessCallback, nullptr)->finishWithResult(status, QVariant());
        finishSession(status);
    }
}

void SamsungObexSession::contactInfoReceived(ObjectPushCommand& command)
{
    _reqBlock = 0;
    if (command.returnStatus() != 0) {
        samsungSessionLog(QStringLiteral("contactInfoReceived received error: %1").arg(command.returnStatus()));
        if (_preprocess) {
            if (_preProcessCallback)
                std::exchange(_preProcessCallback, nullptr)->finishWithResult(command.returnStatus(), QVariant());
            finishSession(command.returnStatus());
            return;
        }
    } else {
        QVariantMap limits = parseContactInfo(command.dataReceived());
        if (!limits.isEmpty())
            _prepDict = std::move(limits);
    }
    if (_preprocess) {
        statePreProcessFinished();
        return;
    }
    stateProcessNewPropertySubType();
}

void SamsungObexSession::statePreProcessFinished()
{
    if (_preProcessCallback)
        std::exchange(_preProcessCallback, nullptr)->finishWithResult(0, _prepDict);
    finishSession(kResultOK);
}

// --- sending ---

void SamsungObexSession::sendDataToDevice()
{
    _weAreSending = true;
    samsungSessionLog(
        QStringLiteral("------ Sending data to device ------\n -- Records: %1 --").arg(_elemsToSend->count()));
    sendNextItemToDevice();
}

void SamsungObexSession::sendNextItemToDevice()
{
    const int remaining = _elemsToSend ? _elemsToSend->count() : 0;
    _elemsSentSoFar = _elemsToSendTotal - remaining;
    if (!reportState(kSamsungSessionStateSending))
        return;
    if (remaining == 0) {
        finalizeSession();
        return;
    }
    for (const QString& wanted : {QVCommandArray::kDelete, QVCommandArray::kReplace, QVCommandArray::kAdd}) {
        for (int i = 0; i < remaining; ++i) {
            if (_elemsToSend->commandAtIndex(i) == wanted) {
                handleSyncCommand(i, wanted);
                return;
            }
        }
    }
    // No command of the three: drop them all, none can be sent.
    samsungSessionLog(QStringLiteral("### No SyncCommand found: %1").arg(_elemsToSend->description()));
    _unsentItems += remaining;
    _elemsToSend->removeAllObjects();
    later(kNextItemDelay, [this] { sendNextItemToDevice(); });
}

void SamsungObexSession::handleSyncCommand(int index, const QString& command)
{
    _processedSyncCommand = index;
    if (command == QVCommandArray::kDelete)
        sendDeleteCommand(index);
    else if (command == QVCommandArray::kReplace)
        sendReplaceCommand(index);
    else
        sendAddCommand(index);
}

void SamsungObexSession::dropProcessed()
{
    if (_elemsToSend && _processedSyncCommand < _elemsToSend->count())
        _elemsToSend->removeElemAndCommandAtIndex(_processedSyncCommand);
    later(kNextItemDelay, [this] { sendNextItemToDevice(); });
}

void SamsungObexSession::sendDeleteCommand(int index)
{
    const auto elem = _elemsToSend->elemAtIndex(index);
    const QString uri = elem ? elem->sourceURI() : QString();
    const auto parts = splitSourceURI(uri);
    if (!parts) {
        samsungSessionLog(QStringLiteral("### Delete: Source URI \"%1\" names no record").arg(uri));
        dropProcessed();
        return;
    }
    const int status = _samsungConnection.sendPropertyDelete(command([this, uri](ObjectPushCommand& c) {
                                                                 if (c.returnStatus() == 0 && c.appParamsAsLong() == 0)
                                                                     _deviceRecords.remove(uri);
                                                                 syncDeleteCommandHandled(c, _processedSyncCommand);
                                                             }),
                                                             uint16_t(parts->second), _property, uint8_t(parts->first));
    if (status != 0)
        finishSession(status);
}

void SamsungObexSession::syncDeleteCommandHandled(ObjectPushCommand& command, int)
{
    if (command.returnStatus() != 0) {
        finishSession(command.returnStatus());
        return;
    }
    const long long param = command.appParamsAsLong();
    if (param != 0) {
        samsungSessionLog(QStringLiteral("\n*********\n** AppParam (Deleting) BAD: %1\n*********\n").arg(param));
        ++_deleteErrorCount;
    }
    dropProcessed();
}

void SamsungObexSession::sendReplaceCommand(int index)
{
    const auto elem = _elemsToSend->elemAtIndex(index);
    const QString uri = elem ? elem->sourceURI() : QString();
    const auto parts = splitSourceURI(uri);
    if (!parts) {
        samsungSessionLog(QStringLiteral("### Replace: Source URI \"%1\" names no record").arg(uri));
        ++_unsentItems;
        dropProcessed();
        return;
    }
    const QByteArray text = deviceText(*elem);
    const int status = _samsungConnection.sendPropertyReplace(
        command([this](ObjectPushCommand& c) { syncCommandHandled(c); }, text), uint16_t(parts->second), _property,
        uint8_t(parts->first));
    if (status != 0)
        finishSession(status);
}

SamsungObexSession::WriteAnswer SamsungObexSession::writeAnswer(ObjectPushCommand& command)
{
    if (command.returnStatus() != 0) {
        finishSession(command.returnStatus());
        return WriteAnswer::SessionEnded;
    }
    const long long param = command.appParamsAsLong();
    if (param == 0)
        return WriteAnswer::Taken;
    samsungSessionLog(QStringLiteral("\n*********\n** AppParam BAD: %1\n*********\n").arg(param));
    // The phone kept what it had: the change did not reach it.
    ++_unsentItems;
    return WriteAnswer::Refused;
}

QByteArray SamsungObexSession::deviceText(QVSyncElem& elem) const
{
    return elem.vxDataForDevice(std::make_shared<DeviceDescriptionLimits>(_syncDescription)).toString().toUtf8();
}

void SamsungObexSession::syncCommandHandled(ObjectPushCommand& command)
{
    if (writeAnswer(command) == WriteAnswer::SessionEnded)
        return;
    const QString newURI = command.getUserInfo().toMap().value(QLatin1String(kNewSourceURI)).toString();
    if (!newURI.isEmpty() && _elemsToSend && _processedSyncCommand < _elemsToSend->count()) {
        if (auto elem = _elemsToSend->elemAtIndex(_processedSyncCommand))
            elem->setSourceURI(newURI);
    }
    dropProcessed();
}

int SamsungObexSession::getTypeForSyncElem(const QVSyncElem& elem) const
{
    if (_property == 0)
        return 1;
    if (_property == 1) {
        if (const auto* event = dynamic_cast<const QVVCalendarElem*>(&elem)) {
            if (event->isToDo())
                return 7;
            if (event->isMemo())
                return 8;
        }
        return 1;
    }
    return -1;
}

int SamsungObexSession::getFirstFreeIndexForType(int subType) const
{
    const int maximum = _syncElemList ? _syncElemList->maxItemsOnDevice() : _maxItemsCount;
    for (int index = 0; index < maximum && index <= 0xFFFF; ++index) {
        const QString uri = sourceURI(subType, index);
        const bool known = _syncElemList ? _syncElemList->indexOfObjectWithURI(uri) >= 0 : _deviceRecords.contains(uri);
        if (!known)
            return index;
    }
    return -1;
}

void SamsungObexSession::sendAddCommand(int index)
{
    const auto elem = _elemsToSend->elemAtIndex(index);
    const int subType = elem ? getTypeForSyncElem(*elem) : -1;
    const int guess = subType >= 0 ? getFirstFreeIndexForType(subType) : -1;
    if (guess < 0) {
        // The phone is full: what is left stays unsent.
        _unsentItems += _elemsToSend->count();
        samsungSessionLog(QStringLiteral("### phone full: %1 items unsent").arg(_elemsToSend->count()));
        _elemsToSend->removeAllObjects();
        later(kNextItemDelay, [this] { sendNextItemToDevice(); });
        return;
    }
    const QByteArray text = deviceText(*elem);
    const QVariantMap userInfo{{QLatin1String(kNewSourceURI), sourceURI(subType, guess)},
                               {QLatin1String(kSyncElem), subType}};
    const int status = _samsungConnection.sendPropertyAdd(
        command([this](ObjectPushCommand& c) { addCommandHandled(c); }, text, userInfo), _property, uint8_t(subType));
    if (status != 0)
        finishSession(status);
}

void SamsungObexSession::addCommandHandled(ObjectPushCommand& command)
{
    switch (writeAnswer(command)) {
    case WriteAnswer::SessionEnded:
        return;
    case WriteAnswer::Refused:
        dropProcessed();
        return;
    case WriteAnswer::Taken:
        break;
    }
    const QVariantMap userInfo = command.getUserInfo().toMap();
    const int subType = userInfo.value(QLatin1String(kSyncElem)).toInt();
    QString uri = userInfo.value(QLatin1String(kNewSourceURI)).toString();
    const QByteArray& answer = command.dataReceived();
    if (answer.size() >= 2) {
        uri = sourceURI(subType, samsungSessionBigEndian16(answer, 0));
    } else {
        samsungSessionLog(QStringLiteral("### create answer without index: taking %1").arg(uri));
    }
    const auto parts = splitSourceURI(uri);
    auto elem = _elemsToSend && _processedSyncCommand < _elemsToSend->count()
        ? _elemsToSend->elemAtIndex(_processedSyncCommand)
        : nullptr;
    if (elem)
        elem->setSourceURI(uri);
    if (!parts) {
        dropProcessed();
        return;
    }
    const int status = _samsungConnection.requestPropertyRead(
        this->command([this](ObjectPushCommand& c) { readFinished(c); }, {},
                      QVariantMap{{QLatin1String(kSourceURI), uri}}),
        uint16_t(parts->second), _property, uint8_t(parts->first));
    if (status != 0) {
        samsungSessionLog(QStringLiteral("\n### Error readFinished %1").arg(qint64(status), 0, 16));
        dropProcessed();
    }
}

void SamsungObexSession::readFinished(ObjectPushCommand& command)
{
    const QString uri = command.getUserInfo().toMap().value(QLatin1String(kSourceURI)).toString();
    if (command.returnStatus() != 0) {
        samsungSessionLog(QStringLiteral("\n### Error readFinished %1").arg(qint64(command.returnStatus()), 0, 16));
    } else if (uri.isEmpty()) {
        samsungSessionLog(
            QStringLiteral("\n### Error readFinished, sourceURI missing for:\n%1").arg(command.description()));
    } else if (command.dataReceived().isEmpty()) {
        samsungSessionLog(QStringLiteral("\n### Error readFinished, data is missing for new SourceURI %1").arg(uri));
    } else {
        bool latin1 = false;
        const QString text = decodeRecordText(command.dataReceived(), &latin1);
        _deviceRecords.insert(uri, text);
        samsungSessionLog(
            QStringLiteral("\n-> readFinished did reload the Data for new SourceURI[%1] = \n%2\n").arg(uri, text));
    }
    dropProcessed();
}

// --- ending ---

void SamsungObexSession::finalizeSession()
{
    saveRawData();
    finishSession(kResultOK);
}

void SamsungObexSession::detachFromJob()
{
    _alive = std::make_shared<int>(0);
    _notifier = nullptr;
}

void SamsungObexSession::quitSession()
{
    std::weak_ptr<int> alive = _alive;
    auto callback = QVDeviceCallback::commandObject(this,
                                                    [this, alive](QVDeviceCallback& c) {
                                                        if (!alive.expired())
                                                            sessionDone(c);
                                                    },
                                                    {});
    const int status = _samsungConnection.closeConnection(callback);
    if (status != 0)
        stopSessionFinished(status);
}

void SamsungObexSession::sessionDone(QVDeviceCallback& callback)
{
    finishSession(callback.returnStatus());
}

void SamsungObexSession::stopSessionFinished(int status)
{
    finishSession(status);
}

int SamsungObexSession::closeConnection(const std::shared_ptr<QVDeviceCallback>& callback)
{
    const int status = _samsungConnection.closeConnection(callback);
    if (status != 0 && callback)
        callback->finishWithResult(status, QVariant());
    return status;
}
