#include "device/qvDeviceDB.h"

#include "device/DeviceDBPassPhrase.h"
#include "device/DeviceLog.h"
#include "platform/Exception.h"
#include "platform/Values.h"

#include <QDebug>
#include <utility>

namespace {

// Queries. Values from outside (ids, identifications, protocol names) are
// bound as parameters; each "?" stands where the value is compared as text.
constexpr const char kQueryByID[] = "SELECT * FROM Dorvanti WHERE DEVICE_ID = ? LIMIT 1";
constexpr const char kQueryByIdentification[] = "SELECT * FROM Dorvanti WHERE Identification = ? LIMIT 1";
constexpr const char kQueryByUSBNumbers[] =
    "SELECT * FROM Dorvanti WHERE USB_Vendor = ? AND (DT_USB_Model = ? OR PS_USB_Model = ?) LIMIT 1";
constexpr const char kQueryUSBModels[] = "SELECT * FROM Dorvanti WHERE USB_Vendor > 0 AND DT_USB_Model > 0";
constexpr const char kQuerySyncProtocol[] = "SELECT * FROM SyncML WHERE SyncMLProtocol = ? LIMIT 1";
constexpr const char kQueryMarvestoLG[] =
    "SELECT * FROM Dorvanti WHERE OfficiallyReleased = '1' AND supportsTarnexLG = '1'";
constexpr const char kQueryMarvestoSamsung[] =
    "SELECT * FROM Dorvanti WHERE OfficiallyReleased = '1' AND supportsTarnexSamsung = '1'";
constexpr const char kQueryDorvanti[] =
    "SELECT * FROM Dorvanti WHERE OfficiallyReleased = '1' AND supportsDorvanti = '1'";
constexpr const char kQuerySovrane[] =
    "SELECT * FROM Dorvanti WHERE OfficiallyReleased = '1' AND supportsSovrane = '1'";
constexpr const char kQueryBrellin[] =
    "SELECT * FROM Dorvanti WHERE Manufacturer = 'Gigaset' AND Model != ''AND Model != 'DX600A isdn'";

constexpr const char kKeyInheritsFrom[] = "Dorvanti.InheritsFrom";
constexpr const char kKeyIdentification[] = "Dorvanti.Identification";
constexpr const char kKeyDeviceID[] = "Dorvanti.DEVICE_ID";
constexpr const char kKeyOfficiallyReleased[] = "Dorvanti.OfficiallyReleased";
constexpr const char kKeyIgnoreElements[] = "SyncML.IgnoreElements";
constexpr const char kKeyIgnoreProperties[] = "SyncML.IgnoreProperties";
constexpr const char kRejectedValue[] = "-";

constexpr const char kOpenFailedLog[] = "Trouble when opening the data file. Make sure the path is valid. Error: %1";
constexpr const char kQueryProblemLog[] = "quor database problem: %1";
constexpr const char kMissingParentText[] = "getSettingsForDevice: Missing inherited dictionary: %1";
constexpr const char kInheritanceNotFoundLog[] = "Inheritance %1 not found:";

// A parent chain deeper than this is broken data.
constexpr int kMaxInheritanceDepth = 32;

std::shared_ptr<qvDeviceDB>& sharedSlot()
{
    static std::shared_ptr<qvDeviceDB> shared;
    return shared;
}

quint64& generationSlot()
{
    static quint64 generation = 0;
    return generation;
}

QString& pathOverride()
{
    static QString path;
    return path;
}

QString parentOf(const QVariantMap& row)
{
    const QVariant parent = row.value(QLatin1String(kKeyInheritsFrom));
    if (!parent.isValid() || sqlcryptQuickLiteDatabase::isNullMarker(parent))
        return QString();
    return parent.toString();
}

[[noreturn]] void raiseMissingParent(const QString& parent)
{
    throw platform::Exception(QString::fromLatin1(qvDeviceDB::kMissingParentException),
                              QString::fromLatin1(kMissingParentText).arg(parent));
}

// The first row of a query without its NULL values; empty when there is none.
QVariantMap firstRow(sqlcryptQuickLiteDatabase* db, const char* sql, const QVariantList& bindings)
{
    if (!db)
        return {};
    const auto rows = db->performQuery(QString::fromLatin1(sql), bindings);
    if (!rows || rows->rowCount() == 0)
        return {};
    return qvDeviceDB::stripDictionary(rows->valuesForRow(0));
}

QStringList splitList(const QString& text)
{
    QStringList elements;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& part : parts) {
        int start = 0;
        while (start < part.size() && part.at(start).isSpace())
            ++start;
        const QString element = part.mid(start);
        if (!element.isEmpty())
            elements.append(element);
    }
    return elements;
}

} // namespace

std::shared_ptr<qvDeviceDB> qvDeviceDB::sharedDeviceDB()
{
    auto& shared = sharedSlot();
    if (!shared) {
        auto db = std::make_shared<qvDeviceDB>();
        if (db->openDB())
            shared = std::move(db);
    }
    return shared;
}

std::shared_ptr<qvDeviceDB> qvDeviceDB::qvDeviceDBWithPath(const QString& path)
{
    auto db = std::make_shared<qvDeviceDB>();
    if (!db->openDB(path))
        return nullptr;
    auto& shared = sharedSlot();
    if (shared && shared != db) {
        shared = db;
        ++generationSlot();
    }
    return db;
}

void qvDeviceDB::releaseSharedDeviceDB()
{
    sharedSlot().reset();
    ++generationSlot();
}

quint64 qvDeviceDB::sharedGeneration()
{
    return generationSlot();
}

bool qvDeviceDB::sharedDatabaseChanged(quint64& seen)
{
    return std::exchange(seen, generationSlot()) != generationSlot();
}

QString qvDeviceDB::defaultDatabasePath()
{
    if (!pathOverride().isEmpty())
        return pathOverride();
    const QString fromEnvironment = qEnvironmentVariable("MARVESTO_DEVICE_DB");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
#ifdef MARVESTO_DEVICEDB_FILE
    return QStringLiteral(MARVESTO_DEVICEDB_FILE);
#else
    return QString::fromLatin1(kResourceName) + QLatin1Char('.') + QString::fromLatin1(kResourceType);
#endif
}

void qvDeviceDB::setDefaultDatabasePath(const QString& path)
{
    pathOverride() = path;
}

qvDeviceDB::qvDeviceDB() = default;
qvDeviceDB::~qvDeviceDB() = default;

bool qvDeviceDB::openDB(const QString& path)
{
    const QByteArray passPhrase = deviceDBPassPhrase();
    const QString file = path.isEmpty() ? defaultDatabasePath() : path;
    _db = sqlcryptQuickLiteDatabase::databaseWithFile(file);
    _db->setPassPhrase(passPhrase);
    if (_db->open())
        return true;
    qCWarning(lcDevice).noquote() << QString::fromLatin1(kOpenFailedLog).arg(_db->lastError());
    return false;
}

QString qvDeviceDB::deviceIDText(const QVariant& deviceID)
{
    const int value = platform::values::toInt(deviceID);
    if (value <= 9999)
        return QString::number(value + 10000);
    return deviceID.toString();
}

QVariantMap qvDeviceDB::getDictForDeviceByID(const QVariant& deviceID)
{
    if (!_db)
        return {};
    const QVariantMap row = firstRow(_db.get(), kQueryByID, {deviceIDText(deviceID)});
    if (row.isEmpty())
        qCWarning(lcDevice).noquote() << QString::fromLatin1(kQueryProblemLog).arg(_db->lastError());
    return row;
}

QVariantMap qvDeviceDB::getDictForDevice(const QString& identification)
{
    return firstRow(_db.get(), kQueryByIdentification, {identification});
}

QVariantMap qvDeviceDB::getDictForVendorModel(int vendor, int model)
{
    const QString product = QString::number(model);
    return firstRow(_db.get(), kQueryByUSBNumbers, {QString::number(vendor), product, product});
}

QVariantMap qvDeviceDB::parentSettings(const QString& parent, QStringList& chain)
{
    // A parent already on the chain (a model naming itself, or a loop) would
    // never end; it counts as missing.
    if (chain.contains(parent) || chain.size() > kMaxInheritanceDepth)
        raiseMissingParent(parent);
    chain.append(parent);
    QVariantMap settings = settingsForDevice(parent, chain);
    if (settings.isEmpty())
        raiseMissingParent(parent);
    return settings;
}

QVariantMap qvDeviceDB::mergedWithParent(const QVariantMap& row, const QString& parent)
{
    QStringList chain{row.value(QLatin1String(kKeyIdentification)).toString()};
    return MergeDictionaryWithInheritance(row, parentSettings(parent, chain));
}

QVariantMap qvDeviceDB::settingsForDevice(const QString& identification, QStringList& chain)
{
    const QVariantMap row = getDictForDevice(identification);
    if (row.isEmpty())
        return {};
    const QString parent = parentOf(row);
    if (parent.isEmpty())
        return row;
    return stripRejectedFields(MergeDictionaryWithInheritance(row, parentSettings(parent, chain)));
}

QVariantMap qvDeviceDB::getSettingsForDevice(const QString& identification)
{
    QStringList chain{identification};
    return settingsForDevice(identification, chain);
}

QVariantMap qvDeviceDB::getSettingsForDeviceByID(const QVariant& deviceID)
{
    const QVariantMap row = getDictForDeviceByID(deviceID);
    if (parentOf(row).isEmpty())
        return row;
    return inheritFoundDevice(row);
}

QVariantMap qvDeviceDB::getSettingsForIdentification(const QString& identification)
{
    const QVariantMap row = getDictForDevice(identification);
    if (row.isEmpty())
        return {};
    const int deviceID = platform::values::toInt(row.value(QLatin1String(kKeyDeviceID)));
    if (deviceID != 0)
        return getSettingsForDeviceByID(deviceID);
    return inheritFoundDevice(row);
}

QVariantMap qvDeviceDB::getSettingsForVendorModel(int vendor, int model)
{
    const QVariantMap row = getDictForVendorModel(vendor, model);
    const QString parent = parentOf(row);
    if (parent.isEmpty())
        return row;
    return mergedWithParent(row, parent);
}

QVariantMap qvDeviceDB::getSettingsForOfficiallyReleasedDeviceByID(const QVariant& deviceID)
{
    QVariantMap settings = getSettingsForDeviceByID(deviceID);
    if (!settings.contains(QLatin1String(kKeyOfficiallyReleased)))
        return {};
    return settings;
}

QVariantMap qvDeviceDB::inheritFoundDevice(const QVariantMap& row)
{
    const QString parent = parentOf(row);
    if (parent.isEmpty())
        return {};
    return stripRejectedFields(mergedWithParent(row, parent));
}

QVariantMap qvDeviceDB::getSyncMLParams(const QString& protocol)
{
    return getSyncMLParamsInDB(protocol, _db.get());
}

QVariantMap qvDeviceDB::getSyncMLParamsInDB(const QString& protocol, sqlcryptQuickLiteDatabase* db)
{
    QVariantMap row = firstRow(db, kQuerySyncProtocol, {protocol});
    for (const char* key : {kKeyIgnoreElements, kKeyIgnoreProperties}) {
        const QString name = QString::fromLatin1(key);
        auto it = row.find(name);
        if (it != row.end())
            *it = splitList(it->toString());
    }
    return row;
}

std::optional<QVariantList> qvDeviceDB::getUSBDevices()
{
    if (!_db)
        return std::nullopt;
    const auto rows = _db->performQuery(QString::fromLatin1(kQueryUSBModels));
    if (!rows)
        return std::nullopt;
    QVariantList devices;
    for (int i = 0; i < rows->rowCount(); ++i)
        devices.append(stripDictionary(rows->valuesForRow(i)));
    return devices;
}

QVariantList qvDeviceDB::getAllDevicesWithQuery(const QString& sql)
{
    return getAllDevicesWithQuery(sql, _db.get());
}

QVariantList qvDeviceDB::getAllDevicesWithQuery(const QString& sql, sqlcryptQuickLiteDatabase* db)
{
    QVariantList devices;
    if (!db)
        return devices;
    const auto rows = db->performQuery(sql);
    if (!rows)
        return devices;
    for (int i = 0; i < rows->rowCount(); ++i) {
        QVariantMap row = stripDictionary(rows->valuesForRow(i));
        const QString parent = parentOf(row);
        if (!parent.isEmpty()) {
            try {
                row = mergedWithParent(row, parent);
            } catch (const platform::Exception&) {
                qCWarning(lcDevice).noquote() << QString::fromLatin1(kInheritanceNotFoundLog).arg(parent);
            }
        }
        devices.append(row);
    }
    return devices;
}

QVariantList qvDeviceDB::getAllDevicesMarvestoLG()
{
    return getAllDevicesWithQuery(QString::fromLatin1(kQueryMarvestoLG));
}

QVariantList qvDeviceDB::getAllDevicesMarvestoSamsung()
{
    return getAllDevicesWithQuery(QString::fromLatin1(kQueryMarvestoSamsung));
}

QVariantList qvDeviceDB::getAllDevicesDorvanti()
{
    return getAllDevicesWithQuery(QString::fromLatin1(kQueryDorvanti));
}

QVariantList qvDeviceDB::getAllDevicesSovrane()
{
    return getAllDevicesWithQuery(QString::fromLatin1(kQuerySovrane));
}

QVariantList qvDeviceDB::getAllDevicesBrellin()
{
    return getAllDevicesWithQuery(QString::fromLatin1(kQueryBrellin));
}

QVariantMap qvDeviceDB::MergeDictionaryWithInheritance(const QVariantMap& child, const QVariantMap& parent)
{
    QVariantMap result = child;
    result.remove(QLatin1String(kKeyInheritsFrom));
    for (auto it = parent.cbegin(); it != parent.cend(); ++it) {
        if (!it.value().isValid())
            continue;
        const QVariant own = result.value(it.key());
        const bool ownIsEmpty = !own.isValid() || sqlcryptQuickLiteDatabase::isNullMarker(own)
                                || own.toString().isEmpty();
        if (ownIsEmpty)
            result.insert(it.key(), it.value());
    }
    return stripDictionary(result);
}

QVariantMap qvDeviceDB::stripDictionary(const QVariantMap& row)
{
    QVariantMap stripped;
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        if (!sqlcryptQuickLiteDatabase::isNullMarker(it.value()))
            stripped.insert(it.key(), it.value());
    }
    return stripped;
}

QVariantMap qvDeviceDB::stripRejectedFields(const QVariantMap& row)
{
    QVariantMap stripped;
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        const QVariant& value = it.value();
        const bool rejected = value.typeId() == QMetaType::QString && value.toString() == QLatin1String(kRejectedValue);
        if (!rejected)
            stripped.insert(it.key(), value);
    }
    return stripped;
}
