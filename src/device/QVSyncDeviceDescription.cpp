#include "device/QVSyncDeviceDescription.h"

#include "device/DeviceLog.h"
#include "device/QVSyncDeviceDB.h"
#include "device/qvDeviceDB.h"
#include "device/sqlcryptQuickLiteDatabase.h"
#include "platform/Exception.h"
#include "platform/Values.h"

#include <QDebug>

namespace {

constexpr const char kKeySyncMLProtocol[] = "Dorvanti.SyncMLProtocol";

constexpr const char kLargeObjectSupport[] = "SyncML.SyncMLLargeObjectSupport";
constexpr const char kMaxMsgSize[] = "SyncML.SyncMLMaxMsgSize";
constexpr const char kNumberOfChangesSupport[] = "SyncML.SyncMLNumberOfChangesSupport";
constexpr const char kRefreshFromServerSupport[] = "SyncML.SyncMLRefreshFromServerSupport";
constexpr const char kPhotos[] = "SyncML.SyncMLPhotos";
constexpr const char kMaxSyncCMDNb[] = "SyncML.SyncMLMaxSyncCMDNbInEncodedMsg";
constexpr const char kNotesLength[] = "SyncML.SyncMLNotesLength";
constexpr const char kSendDevInf[] = "SyncML.SyncMLSendDevInfIntoPutIfNoGetReceived";
constexpr const char kSendCTCap[] = "SyncML.SyncMLSendCTCap";
constexpr const char kAddCRLF[] = "SyncML.AddCRLFAfterBase64Folding";
constexpr const char kAlertCommand[] = "SyncML.AlertCommand";
constexpr const char kContactDatabase[] = "SyncML.ContactDatabase";
constexpr const char kCalendarDatabase[] = "SyncML.CalendarDatabase";
constexpr const char kEventsDatabase[] = "SyncML.EventsDatabase";
constexpr const char kTasksDatabase[] = "SyncML.TasksDatabase";
constexpr const char kNotesDatabase[] = "SyncML.NotesDatabase";
constexpr const char kBookmarksDatabase[] = "SyncML.BookmarksDatabase";
constexpr const char kEmailsDatabase[] = "SyncML.EmailsDatabase";
constexpr const char kSMSDatabase[] = "SyncML.SMSDatabase";
constexpr const char kLocalSource[] = "SyncML.SyncMLLocalSource";
constexpr const char kCharset[] = "SyncML.Charset";
constexpr const char kVersion[] = "SyncML.SyncMLVersion";
constexpr const char kAllowedChars[] = "SyncML.AllowedCharsInPhoneNumber";
constexpr const char kAllDayDefinition[] = "SyncML.AllDayDefinition";
constexpr const char kSupportsAllDay[] = "SyncML.SupportsAllDayEvents";
constexpr const char kSwitchCommand[] = "SyncML.switchToSyncMLCommand";
constexpr const char kPrepareATChannel[] = "SyncML.prepareATChannel";
constexpr const char kIgnoreProperties[] = "SyncML.IgnoreProperties";
constexpr const char kIgnoreElements[] = "SyncML.IgnoreElements";
constexpr const char kPictWidth[] = "SyncML.SyncMLPictWidth";
constexpr const char kPictHeight[] = "SyncML.SyncMLPictHeight";
constexpr const char kUseSAN[] = "SyncML.UseSAN";
constexpr const char kVCardVersion[] = "SyncML.VCardVersion";
constexpr const char kMaxPictureBytes[] = "SyncML.MaxPictureBytes";
constexpr const char kPriorityForDevice[] = "SyncML.PriorityValuesForDevice";
constexpr const char kPriorityForMac[] = "SyncML.PriorityValuesForMac";
constexpr const char kMaxLenTaskSummary[] = "SyncML.MaxLen_TaskSummary";
constexpr const char kSupportsTimeZones[] = "SyncML.SupportsTimeZones";
constexpr const char kFirstLastCombi[] = "SyncML.FirstLast_Combi";
constexpr const char kCopyCompanyToName[] = "SyncML.CopyCompanyToName";
constexpr const char kValidEventYears[] = "SyncML.ValidEventYears";
constexpr const char kOldestBirthYear[] = "SyncML.OldestBirthYear";
constexpr const char kProtocolClass[] = "SyncML.ProtocolClass";
constexpr const char kSyncCalendar[] = "SyncML.syncCalendar";
constexpr const char kSyncEvents[] = "SyncML.syncEvents";
constexpr const char kSyncTasks[] = "SyncML.syncTasks";
constexpr const char kNoEmptyFinalSync[] = "SyncML.NoEmptyFinalSync";
constexpr const char kSyncSchemaFile[] = "SyncML.SyncSchemaFile";
constexpr const char kVxFormat[] = "SyncML.vxFormat";

constexpr const char* kSourceDatabases[7] = {
    "SyncML.SourceContactDatabase", "SyncML.SourceCalendarDatabase", "SyncML.SourceNotesDatabase",
    "SyncML.SourceBookmarksDatabase", "SyncML.SourceSMSDatabase", "SyncML.SourceEventsDatabase",
    "SyncML.SourceTasksDatabase",
};

constexpr const char kProtocolClassMotorola[] = "ATSerial-Motorola";
constexpr const char kProtocolClassSamsung[] = "ATSerial-Samsung";
constexpr const char kProtocolClassLG[] = "ATSerial-LG";
constexpr const char kProtocolMotorolaV3[] = "Protocol Motorola V3 Series";
constexpr const char kProtocolLGPrefix[] = "Protocol LG";
constexpr const char kProtocolSamsungAT[] = "Samsung AT";
constexpr const char kProtocolSamsungSHP[] = "Samsung SHP";
constexpr const char kProtocolSamsungHPE[] = "Samsung HPE";
constexpr const char kProtocolSamsungDragonfly[] = "Samsung Dragonfly Rel";
constexpr const char kVxSamsung[] = "Samsung";
constexpr const char kVxNokia[] = "Nokia";
constexpr const char kVxGigaset[] = "Gigaset";
constexpr const char kVCard30[] = "3.0";
constexpr const char kUnknownDatabase[] = "???";

constexpr int kDefaultMaxMsgSize = 32000;
constexpr long kDefaultMaxPictureBytes = 16384;

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

} // namespace

QVSyncDeviceDescription::QVSyncDeviceDescription(std::shared_ptr<qvDeviceDB> db)
    : _db(std::move(db))
{
}

std::shared_ptr<QVSyncDeviceDescription> QVSyncDeviceDescription::syncDeviceFromProtocol(const QString& protocol)
{
    return initFromProtocol(protocol);
}

std::shared_ptr<QVSyncDeviceDescription> QVSyncDeviceDescription::syncDeviceFromIdentifier(const QString& identification)
{
    return initFromDeviceIdentifier(identification);
}

std::shared_ptr<QVSyncDeviceDescription> QVSyncDeviceDescription::initFromProtocol(const QString& protocol)
{
    if (protocol.isNull())
        return nullptr;
    auto description = std::make_shared<QVSyncDeviceDescription>(qvDeviceDB::sharedDeviceDB());
    if (description->setupFromProtocol(protocol) != 0)
        return nullptr;
    return description;
}

std::shared_ptr<QVSyncDeviceDescription> QVSyncDeviceDescription::initFromDeviceIdentifier(const QString& identification)
{
    return initFromDeviceIdentifierWithDB(identification, qvDeviceDB::sharedDeviceDB());
}

std::shared_ptr<QVSyncDeviceDescription>
QVSyncDeviceDescription::initFromDeviceIdentifierWithDB(const QString& identification, std::shared_ptr<qvDeviceDB> db)
{
    if (!db || identification.isNull())
        return nullptr;
    QVariant protocol;
    try {
        protocol = db->getSettingsForIdentification(identification).value(key(kKeySyncMLProtocol));
    } catch (const platform::Exception& e) {
        qCWarning(lcDevice).noquote() << e.reason();
        return nullptr;
    }
    if (!protocol.isValid())
        return nullptr;
    auto description = std::make_shared<QVSyncDeviceDescription>(std::move(db));
    if (description->setupFromProtocol(protocol.toString()) != 0)
        return nullptr;
    return description;
}

int QVSyncDeviceDescription::setupFromProtocol(const QString& protocol)
{
    using platform::values::toInt;
    using platform::values::toLongLong;

    _syncServerName.clear();
    _syncServerArray.reset();
    _defaultCharset.clear();
    _protocol = protocol;

    const QVariantMap row = QVSyncDeviceDB::sharedSyncDeviceDB().dictionaryForProtocol(protocol, _db.get());
    if (row.isEmpty())
        return -1;
    _syncMLDictionary = row;

    const auto value = [&row](const char* name) { return row.value(key(name)); };
    const auto flag = [&value](const char* name) { return toInt(value(name)) != 0; };
    const auto text = [&value](const char* name) { return value(name).toString(); };
    const auto number = [&value](const char* name, int fallback) {
        const QVariant v = value(name);
        return v.isValid() ? toInt(v) : fallback;
    };

    _syncMLLargeObjectSupport = flag(kLargeObjectSupport);
    _syncMLMaxMsgSize = number(kMaxMsgSize, 0);
    _syncMLNumberOfChangesSupport = flag(kNumberOfChangesSupport);
    _syncMLRefreshFromServerSupport = flag(kRefreshFromServerSupport);
    _syncMLPhotos = flag(kPhotos);
    _syncMLMaxSyncCMDNbInEncodedMsg = number(kMaxSyncCMDNb, 30);
    _syncMLNotesLength = number(kNotesLength, 254);
    _syncMLSyncMLSendDevInf = flag(kSendDevInf);
    _syncMLSendCTCap = flag(kSendCTCap);
    _syncMLAddCRAfterBase64 = flag(kAddCRLF);
    _syncMLInitiatingAlertCmdID = static_cast<long>(toLongLong(value(kAlertCommand)));
    _targetContactsDatabase = text(kContactDatabase);
    _targetCalendarDatabase = text(kCalendarDatabase);
    _targetEventsDatabase = text(kEventsDatabase);
    _targetTasksDatabase = text(kTasksDatabase);
    _targetNotesDatabase = text(kNotesDatabase);
    _targetBookmarksDatabase = text(kBookmarksDatabase);
    _targetEmailsDatabase = text(kEmailsDatabase);
    _targetSMSDatabase = text(kSMSDatabase);
    if (value(kLocalSource).isValid()) {
        _syncServerArray = text(kLocalSource).split(QLatin1Char('/'));
        _syncServerName = _syncServerArray->value(0);
    }
    if (value(kCharset).isValid())
        _defaultCharset = text(kCharset);
    _syncMLVersionString = text(kVersion);
    _allowedCharsInPhoneNumber = text(kAllowedChars);
    _allDayDefinition = text(kAllDayDefinition);
    _supportsAllDay = flag(kSupportsAllDay);
    _switchToSyncMLCommand = text(kSwitchCommand);
    if (_switchToSyncMLCommand.isEmpty())
        _switchToSyncMLCommand = QString();
    _prepareATChannel = text(kPrepareATChannel);
    _syncMLIgnoreProperties = value(kIgnoreProperties).toStringList();
    _syncMLIgnoreElements = value(kIgnoreElements).toStringList();

    if (_syncMLVersionString == QLatin1String("1.1"))
        _syncMLVersion = 1;
    else if (_syncMLVersionString == QLatin1String("1.2"))
        _syncMLVersion = 2;
    else
        _syncMLVersion = 3;

    _wantedPictSize = QSizeF(platform::values::toDouble(value(kPictWidth)),
                             platform::values::toDouble(value(kPictHeight)));
    _syncMLUseSAN = flag(kUseSAN);
    _vCardVersion = text(kVCardVersion) == QLatin1String(kVCard30) ? 0x30 : 0x21;
    _maxPictureBytes = static_cast<long>(toLongLong(value(kMaxPictureBytes)));
    if (_maxPictureBytes == 0)
        _maxPictureBytes = kDefaultMaxPictureBytes;

    // One digit per priority; the low four bits of each character.
    const auto priorities = [&text](const char* name, std::array<int, 10>& table) {
        table.fill(0);
        const QString digits = text(name);
        for (int i = 0; i < int(table.size()) && i < digits.size(); ++i)
            table[i] = digits.at(i).unicode() & 0x0F;
    };
    priorities(kPriorityForDevice, priorMac2Device);
    priorities(kPriorityForMac, priorDevice2Mac);

    _hasTasks = toInt(value(kMaxLenTaskSummary)) > 0;
    _supportsTimeZone = toInt(value(kSupportsTimeZones)) > 0;
    _firstLastCombi = flag(kFirstLastCombi);
    _copyCompanyToName = flag(kCopyCompanyToName);

    _oldestEventYear = 0;
    _highestEventYear = 2099;
    if (value(kValidEventYears).isValid()) {
        const QStringList years = text(kValidEventYears).split(QLatin1Char('-'));
        const int oldest = platform::values::stringInt(years.value(0));
        if (oldest > _oldestEventYear && oldest < _highestEventYear)
            _oldestEventYear = oldest;
        if (years.size() > 1) {
            const int highest = platform::values::stringInt(years.at(1));
            if (highest > _oldestEventYear && highest < 2099)
                _highestEventYear = highest;
        }
    }

    const int birthYear = toInt(value(kOldestBirthYear));
    _oldestBirthYear = (birthYear >= 1001 && birthYear <= 2099) ? birthYear : 1900;

    const QString connectionClass = protocolClass();
    _usesMotorolaATConnections = connectionClass == QLatin1String(kProtocolClassMotorola);
    _usesSamsungATConnections = connectionClass == QLatin1String(kProtocolClassSamsung);
    _usesLGATConnections = connectionClass == QLatin1String(kProtocolClassLG);
    const bool plainTypes = !(protocol == QLatin1String(kProtocolMotorolaV3)
                              || protocol.startsWith(QLatin1String(kProtocolLGPrefix)));
    _hasEMailTypes = plainTypes;
    _hasURLTypes = plainTypes;
    return 0;
}

void QVSyncDeviceDescription::setDeviceFieldLengths(const QVariantMap& lengths)
{
    for (auto it = lengths.cbegin(); it != lengths.cend(); ++it)
        _syncMLDictionary.insert(it.key(), it.value());
}

QVariant QVSyncDeviceDescription::objectForKey(const QString& name) const
{
    const QVariant v = _syncMLDictionary.value(name);
    if (sqlcryptQuickLiteDatabase::isNullMarker(v))
        return QVariant();
    return v;
}

bool QVSyncDeviceDescription::nonNilBOOLFromDescription(const QString& name) const
{
    const QVariant v = objectForKey(name);
    if (!v.isValid())
        return false;
    return platform::values::toLongLong(v) >= 1;
}

long QVSyncDeviceDescription::nonNilValueFromDescription(const QString& name) const
{
    const QVariant v = objectForKey(name);
    if (!v.isValid())
        return 0;
    return static_cast<long>(platform::values::toLongLong(v));
}

bool QVSyncDeviceDescription::hasCalendar() const
{
    return nonNilBOOLFromDescription(key(kSyncCalendar)) || nonNilBOOLFromDescription(key(kSyncEvents))
           || nonNilBOOLFromDescription(key(kSyncTasks));
}

bool QVSyncDeviceDescription::noEmptyFinalSync() const
{
    return nonNilBOOLFromDescription(key(kNoEmptyFinalSync));
}

QString QVSyncDeviceDescription::protocolClass() const
{
    const QVariant v = objectForKey(key(kProtocolClass));
    return v.isValid() ? v.toString() : QString(QLatin1String(""));
}

int QVSyncDeviceDescription::syncMLMaxMsgSize() const
{
    return _syncMLMaxMsgSize == 0 ? kDefaultMaxMsgSize : _syncMLMaxMsgSize;
}

QString QVSyncDeviceDescription::syncServerNameIx(int index) const
{
    if (!_syncServerArray || index < 0 || index >= _syncServerArray->size())
        return QString();
    return _syncServerArray->at(index);
}

QString QVSyncDeviceDescription::defaultCharset() const
{
    if (_defaultCharset.size() < 4)
        return QString();
    return _defaultCharset;
}

QString QVSyncDeviceDescription::sourceDatabase(int type) const
{
    if (type < 0 || type > 6)
        return QString();
    const QVariant v = objectForKey(key(kSourceDatabases[type]));
    return v.isValid() ? v.toString() : QString();
}

QString QVSyncDeviceDescription::targetDatabase(int type) const
{
    switch (type) {
    case Contacts: return _targetContactsDatabase;
    case Calendar: return _targetCalendarDatabase;
    case Notes: return _targetNotesDatabase;
    case Bookmarks: return _targetBookmarksDatabase;
    case SMS: return _targetSMSDatabase;
    case Events: return _targetEventsDatabase;
    case Tasks: return _targetTasksDatabase;
    default: return QString::fromLatin1(kUnknownDatabase);
    }
}

bool QVSyncDeviceDescription::usesSyncMLForSMS() const
{
    return usesSyncMLForProperty(SMS);
}

bool QVSyncDeviceDescription::usesSyncMLForProperty(int type) const
{
    if (type < 0 || type > 6)
        return false;
    if (type == Events || type == Tasks)
        type = Calendar;
    return !targetDatabase(type).isEmpty();
}

bool QVSyncDeviceDescription::has2CalendarDBs() const
{
    return nonNilBOOLFromDescription(key(kSyncEvents)) || nonNilBOOLFromDescription(key(kSyncTasks));
}

QVariant QVSyncDeviceDescription::syncSchemaFile() const
{
    return objectForKey(key(kSyncSchemaFile));
}

QVariant QVSyncDeviceDescription::vxFormat() const
{
    return objectForKey(key(kVxFormat));
}

int QVSyncDeviceDescription::macPriorityForDevice(int devicePriority) const
{
    if (devicePriority < 0 || devicePriority > 9)
        return priorDevice2Mac[0];
    return priorDevice2Mac[devicePriority];
}

int QVSyncDeviceDescription::devicePriorityForMac(int macPriority) const
{
    if (macPriority < 0 || macPriority > 9)
        return priorMac2Device[0];
    return priorMac2Device[macPriority];
}

bool QVSyncDeviceDescription::isVxFormat(const char* format) const
{
    const QVariant v = vxFormat();
    return v.isValid() && v.toString() == QLatin1String(format);
}

bool QVSyncDeviceDescription::isSamsung() const { return isVxFormat(kVxSamsung); }
bool QVSyncDeviceDescription::isNokia() const { return isVxFormat(kVxNokia); }
bool QVSyncDeviceDescription::isGigaset() const { return isVxFormat(kVxGigaset); }
bool QVSyncDeviceDescription::isSamsungAT() const { return _protocol == QLatin1String(kProtocolSamsungAT); }
bool QVSyncDeviceDescription::isSamsungSHP() const { return _protocol == QLatin1String(kProtocolSamsungSHP); }
bool QVSyncDeviceDescription::isSamsungHPE() const { return _protocol == QLatin1String(kProtocolSamsungHPE); }

bool QVSyncDeviceDescription::hasSamsungCategories() const
{
    return _protocol == QLatin1String(kProtocolSamsungSHP) || _protocol == QLatin1String(kProtocolSamsungDragonfly)
           || _protocol == QLatin1String(kProtocolSamsungHPE);
}

bool QVSyncDeviceDescription::usesAnyATConnections() const
{
    return _usesMotorolaATConnections || _usesSamsungATConnections || _usesLGATConnections;
}
