#include "device/MFDeviceInfo.h"

#include "device/DeviceList.h"
#include "device/DeviceLog.h"
#include "device/MFDeviceInfoOwner.h"
#include "device/qvDeviceDB.h"
#include "device/sqlcryptQuickLiteDatabase.h"
#include "platform/Exception.h"
#include "platform/Values.h"

#include <QDebug>

#include <algorithm>

namespace {

constexpr const char kSerialNo[] = "Common.SerialNo";
constexpr const char kQvDeviceID[] = "Common.qvDeviceID";
constexpr const char kDeviceName[] = "Common.DeviceName";
constexpr const char kSyncDeviceURI[] = "Common.SyncDeviceURI";
constexpr const char kCurSyncMLIndex[] = "Common.CurSyncMLIndex";
constexpr const char kBackupDevice[] = "Common.BackupDevice";
constexpr const char kBackupAutomatic[] = "Common.BackupAutomatic";
constexpr const char kExternalVolumeInArchive[] = "Common.ExternalVolumeInArchive";
constexpr const char kInternalVolumeInArchive[] = "Common.InternalVolumeInArchive";
constexpr const char kEraseDevicePrefix[] = "Common.EraseDevice-";

constexpr const char kDeviceProtocol[] = "Dorvanti.DeviceProtocol";
constexpr const char kModel[] = "Dorvanti.Model";
constexpr const char kManufacturer[] = "Dorvanti.Manufacturer";
constexpr const char kIdentification[] = "Dorvanti.Identification";
constexpr const char kUSBHasSerialNumber[] = "Dorvanti.USBHasSerialNumber";
constexpr const char kSendSMS[] = "Dorvanti.sendSMS";
constexpr const char kSyncMLProtocol[] = "Dorvanti.SyncMLProtocol";
constexpr const char kSMSProtocol[] = "Dorvanti.SMSProtocol";
constexpr const char kOBEXFileSupport[] = "Dorvanti.OBEXFileSupport";
constexpr const char kPreferedVideoCodec[] = "Dorvanti.PreferedVideoCodec";
constexpr const char kLangPhotoNaming[] = "Lang.PhotoNaming";
constexpr const char kPhotoNaming[] = "Dorvanti.PhotoNaming";
constexpr const char kLangVideoNaming[] = "Lang.VideoNaming";
constexpr const char kVideoNaming[] = "Dorvanti.VideoNaming";
constexpr const char kGraphicFormats[] = "Dorvanti.GraphicFormats";
constexpr const char kDisplayHorizontal[] = "Dorvanti.GraphicDisplayHorizontal";
constexpr const char kDisplayVertical[] = "Dorvanti.GraphicDisplayVertical";
constexpr const char kBatteryMax[] = "Dorvanti.BatteryMax";
constexpr const char kParallConsBT[] = "Dorvanti.ParallConsBT";
constexpr const char kParallConsUSB[] = "Dorvanti.ParallConsUSB";
constexpr const char kTranslateMMC[] = "Dorvanti.Translate_MMC";
constexpr const char kSoundPlaysMusic[] = "Dorvanti.SoundPlaysMusic";
constexpr const char kUserSoundHierarchicalFolder[] = "User.SoundHierarchicalFolder";
constexpr const char kSoundHierarchicalFolder[] = "Dorvanti.SoundHierarchicalFolder";
constexpr const char kUserSoundNoResources[] = "User.SoundNoResources";
constexpr const char kSoundNoResources[] = "Dorvanti.SoundNoResources";
constexpr const char kUserSoundUsesM3U[] = "User.SoundUsesM3U";
constexpr const char kSoundUsesM3U[] = "Dorvanti.SoundUsesM3U";
constexpr const char kUserEraseMusicFolder[] = "User.EraseMusicFolder";
constexpr const char kUserOverwriteMusicFiles[] = "User.OverwriteMusicFiles";
constexpr const char kUserFreeFileID[] = "User.FreeFileID";

constexpr const char kNoSMS[] = "NoSMS";
constexpr const char kUniqueNameFormat[] = "%1-%2";
constexpr const char kMirrorNameFormat[] = "%1-%2.dzmir";
constexpr int kFirstFreeFileID = 4711;
constexpr int kBatteryMaxNokiaMotorola = 90;
constexpr int kBatteryMaxOthers = 75;
constexpr const char kWriteRefusedLog[] = "MFDeviceInfo: refused to change the database key %1";

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

// The user's choice when one was made, else the model's.
bool userOrModelFlag(const MFDeviceInfo& info, const char* userKey, const char* modelKey)
{
    const QString user = key(userKey);
    return info.nonNilBOOLFromDeviceSpec(info.objectForKey(user).isValid() ? user : key(modelKey));
}

std::function<void()>& alertSoundHandler()
{
    static std::function<void()> handler;
    return handler;
}

QVariantMap rowForDeviceDict(const QVariantMap* deviceDict)
{
    auto db = qvDeviceDB::sharedDeviceDB();
    if (!db)
        return {};
    QVariantMap row;
    try {
        if (deviceDict)
            row = db->getSettingsForDeviceByID(deviceDict->value(key(kQvDeviceID)));
        if (row.isEmpty())
            row = db->getSettingsForDevice(key(MFDeviceInfo::kUnknownModel));
    } catch (const platform::Exception& e) {
        // A model with a broken parent chain is treated as an unknown model.
        qCWarning(lcDevice).noquote() << e.reason();
        try {
            row = db->getSettingsForDevice(key(MFDeviceInfo::kUnknownModel));
        } catch (const platform::Exception&) {
            row.clear();
        }
    }
    return row;
}

QString normalisedFormat(QString format)
{
    format = format.toLower();
    format.replace(QLatin1String("jpeg"), QLatin1String("jpg"));
    format.replace(QLatin1String("tiff"), QLatin1String("tif"));
    return format;
}

} // namespace

MFDeviceInfo::MFDeviceInfo(std::shared_ptr<QVariantMap> deviceDict, MFDeviceInfoOwner* mfDevice, bool asHistoryDevice)
    : MFDeviceInfo(deviceDict, rowForDeviceDict(deviceDict.get()), mfDevice, asHistoryDevice)
{
}

MFDeviceInfo::MFDeviceInfo(std::shared_ptr<QVariantMap> deviceDict, QVariantMap deviceDBEntry,
                           MFDeviceInfoOwner* mfDevice, bool asHistoryDevice)
    : _mfDevice(mfDevice)
    , _deviceDBEntry(std::move(deviceDBEntry))
    , _mDeviceDict(std::move(deviceDict))
    , _asHistory(asHistoryDevice)
{
}

MFDeviceInfo::~MFDeviceInfo()
{
    writeSettingsIfNeeded();
}

void MFDeviceInfo::setAlertSoundHandler(std::function<void()> handler)
{
    alertSoundHandler() = std::move(handler);
}

void MFDeviceInfo::writeDeviceDictNow()
{
    DeviceList::sharedDeviceList().writeDevice(_mDeviceDict);
    clearDirtyFlag();
}

void MFDeviceInfo::writeSettingsIfNeeded()
{
    if (_settingsDirty && _mDeviceDict && !_asHistory)
        writeDeviceDictNow();
}

bool MFDeviceInfo::isAlreadyInDeviceList() const
{
    return _mDeviceDict && DeviceList::sharedDeviceList().doesExist(*_mDeviceDict);
}

QVariant MFDeviceInfo::objectForKey(const QString& name) const
{
    if (!_mDeviceDict || name.isNull())
        return QVariant();
    const QVariant value = name.startsWith(QLatin1String(kDatabasePrefix)) ? _deviceDBEntry.value(name)
                                                                            : _mDeviceDict->value(name);
    if (sqlcryptQuickLiteDatabase::isNullMarker(value))
        return QVariant();
    return value;
}

void MFDeviceInfo::setObject(const QVariant& value, const QString& name)
{
    if (!_mDeviceDict || name.isNull())
        return;
    if (name.startsWith(QLatin1String(kDatabasePrefix))) {
        qCWarning(lcDevice).noquote() << QString::fromLatin1(kWriteRefusedLog).arg(name);
        if (alertSoundHandler())
            alertSoundHandler()();
        return;
    }
    if (value.isValid())
        _mDeviceDict->insert(name, value);
    else
        _mDeviceDict->remove(name);
    _settingsDirty = true;
}

void MFDeviceInfo::removeObjectForKey(const QString& name)
{
    setObject(QVariant(), name);
}

QString MFDeviceInfo::nonNilStringFromDeviceSpec(const QString& name) const
{
    const QVariant value = objectForKey(name);
    return value.isValid() ? value.toString() : QString(QLatin1String(""));
}

long MFDeviceInfo::nonNilValueFromDeviceSpec(const QString& name) const
{
    const QVariant value = objectForKey(name);
    if (!value.isValid())
        return 0;
    if (platform::values::isNumber(value))
        return static_cast<long>(platform::values::toLongLong(value));
    return platform::values::stringInt(value.toString());
}

bool MFDeviceInfo::nonNilBOOLFromDeviceSpec(const QString& name) const
{
    const QVariant value = objectForKey(name);
    if (!value.isValid())
        return false;
    if (platform::values::isNumber(value))
        return platform::values::toLongLong(value) >= 1;
    const QString text = value.toString();
    if (text.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("NO"), Qt::CaseInsensitive) == 0)
        return false;
    return platform::values::stringInt(text) >= 1;
}

QVariant MFDeviceInfo::serialNumber() const { return objectForKey(key(kSerialNo)); }
QString MFDeviceInfo::deviceID() const { return nonNilStringFromDeviceSpec(key(kQvDeviceID)); }
QString MFDeviceInfo::getTheDeviceName() const { return nonNilStringFromDeviceSpec(key(kDeviceName)); }
QVariant MFDeviceInfo::deviceURI() const { return objectForKey(key(kSyncDeviceURI)); }

void MFDeviceInfo::setDeviceURI(const QVariant& uri)
{
    if (uri.isValid())
        setObject(uri, key(kSyncDeviceURI));
}

long MFDeviceInfo::curSyncMLSourceIndex() const { return nonNilValueFromDeviceSpec(key(kCurSyncMLIndex)); }

bool MFDeviceInfo::wantsBackup() const
{
    return platform::values::toBool(objectForKey(key(kBackupDevice)));
}

bool MFDeviceInfo::wantsBackupAutomatic() const
{
    const QVariant value = objectForKey(key(kBackupAutomatic));
    return value.isValid() ? platform::values::toBool(value) : true;
}

bool MFDeviceInfo::volumeInArchive(bool external) const
{
    return nonNilBOOLFromDeviceSpec(key(external ? kExternalVolumeInArchive : kInternalVolumeInArchive));
}

void MFDeviceInfo::setVolumeInArchive(bool external)
{
    const bool wasDirty = _settingsDirty;
    setObject(true, key(external ? kExternalVolumeInArchive : kInternalVolumeInArchive));
    _settingsDirty = wasDirty;
}

QString MFDeviceInfo::eraseKey(int organizerType) const
{
    const QString name = _mfDevice ? _mfDevice->dbName(organizerType) : QString();
    if (name.isEmpty())
        return QString();
    return key(kEraseDevicePrefix) + name;
}

bool MFDeviceInfo::eraseDeviceData(int organizerType) const
{
    const QString name = eraseKey(organizerType);
    if (name.isNull())
        return false;
    return platform::values::toBool(objectForKey(name));
}

void MFDeviceInfo::setEraseDeviceData(bool erase, int organizerType)
{
    const QString name = eraseKey(organizerType);
    if (!name.isNull())
        setObject(erase, name);
}

QString MFDeviceInfo::deviceProtocol() const { return nonNilStringFromDeviceSpec(key(kDeviceProtocol)); }
QString MFDeviceInfo::deviceModel() const { return nonNilStringFromDeviceSpec(key(kModel)); }
QString MFDeviceInfo::deviceManufacturer() const { return nonNilStringFromDeviceSpec(key(kManufacturer)); }
QString MFDeviceInfo::deviceIdentification() const { return nonNilStringFromDeviceSpec(key(kIdentification)); }
bool MFDeviceInfo::usbHasSerialNumber() const { return nonNilBOOLFromDeviceSpec(key(kUSBHasSerialNumber)); }
QVariant MFDeviceInfo::sendSMS() const { return objectForKey(key(kSendSMS)); }

bool MFDeviceInfo::canSendSMS() const
{
    const QVariant value = sendSMS();
    if (!value.isValid())
        return false;
    const QString text = value.toString();
    return !text.isEmpty() && text != QLatin1String(kNoSMS);
}

QVariant MFDeviceInfo::getSyncMLProtocol() const { return objectForKey(key(kSyncMLProtocol)); }
QVariant MFDeviceInfo::getSMSProtocol() const { return objectForKey(key(kSMSProtocol)); }

QString MFDeviceInfo::getSMSFamily(int n) const
{
    const QVariant protocol = getSMSProtocol();
    if (!protocol.isValid())
        return QString();
    const QStringList parts = protocol.toString().split(QLatin1Char('/'));
    if (n > 0 && parts.size() >= 2)
        return parts.at(1);
    return parts.at(0);
}

bool MFDeviceInfo::supportsObexFile() const { return nonNilBOOLFromDeviceSpec(key(kOBEXFileSupport)); }
QString MFDeviceInfo::getPreferedVideoCodec() const { return nonNilStringFromDeviceSpec(key(kPreferedVideoCodec)); }

QString MFDeviceInfo::getPhotosNaming() const
{
    const QString fromPhone = nonNilStringFromDeviceSpec(key(kLangPhotoNaming));
    return fromPhone.isEmpty() ? nonNilStringFromDeviceSpec(key(kPhotoNaming)) : fromPhone;
}

QString MFDeviceInfo::getVideosNaming() const
{
    const QString fromPhone = nonNilStringFromDeviceSpec(key(kLangVideoNaming));
    return fromPhone.isEmpty() ? nonNilStringFromDeviceSpec(key(kVideoNaming)) : fromPhone;
}

bool MFDeviceInfo::supportsGraphicFormat(const QString& suffix)
{
    if (!_graphicFormats) {
        const QString formats = nonNilStringFromDeviceSpec(key(kGraphicFormats));
        if (formats.isEmpty())
            return false;
        QStringList list;
        const QStringList parts = formats.split(QLatin1Char(','));
        for (const QString& part : parts)
            list.append(normalisedFormat(part));
        _graphicFormats = list;
    }
    const QString wanted = normalisedFormat(suffix);
    for (const QString& format : *_graphicFormats) {
        if (format.contains(wanted))
            return true;
    }
    return false;
}

bool MFDeviceInfo::supportsJPEG()
{
    return supportsGraphicFormat(QStringLiteral("jpg"));
}

long MFDeviceInfo::getDisplayHorizontal() const { return nonNilValueFromDeviceSpec(key(kDisplayHorizontal)); }
long MFDeviceInfo::getDisplayVertical() const { return nonNilValueFromDeviceSpec(key(kDisplayVertical)); }

long MFDeviceInfo::getBatteryMax() const
{
    const long value = nonNilValueFromDeviceSpec(key(kBatteryMax));
    if (value != 0)
        return value;
    const QString maker = deviceManufacturer();
    if (maker.compare(QLatin1String("Nokia"), Qt::CaseInsensitive) == 0
        || maker.compare(QLatin1String("Motorola"), Qt::CaseInsensitive) == 0)
        return kBatteryMaxNokiaMotorola;
    return kBatteryMaxOthers;
}

long MFDeviceInfo::parallelConnectionsBluetooth() const
{
    return std::max(1L, nonNilValueFromDeviceSpec(key(kParallConsBT)));
}

long MFDeviceInfo::parallelConnectionsUSB() const
{
    return std::max(1L, nonNilValueFromDeviceSpec(key(kParallConsUSB)));
}

bool MFDeviceInfo::translateMMC() const { return nonNilBOOLFromDeviceSpec(key(kTranslateMMC)); }
bool MFDeviceInfo::playsMusic() const { return nonNilBOOLFromDeviceSpec(key(kSoundPlaysMusic)); }

bool MFDeviceInfo::supportsHierSoundsFolders() const
{
    return userOrModelFlag(*this, kUserSoundHierarchicalFolder, kSoundHierarchicalFolder);
}

void MFDeviceInfo::writeUserKey(const QString& name, const QVariant& value)
{
    if (_mDeviceDict)
        _mDeviceDict->insert(name, value);
    _settingsDirty = true;
}

void MFDeviceInfo::setSupportsHierSoundsFolders(bool on)
{
    writeUserKey(key(kUserSoundHierarchicalFolder), on);
}

bool MFDeviceInfo::noResources() const
{
    return userOrModelFlag(*this, kUserSoundNoResources, kSoundNoResources);
}

void MFDeviceInfo::setNoResources(bool on)
{
    writeUserKey(key(kUserSoundNoResources), on);
}

long MFDeviceInfo::getUsesM3U(bool allowUser) const
{
    if (allowUser && objectForKey(key(kUserSoundUsesM3U)).isValid())
        return nonNilValueFromDeviceSpec(key(kUserSoundUsesM3U));
    return nonNilValueFromDeviceSpec(key(kSoundUsesM3U));
}

bool MFDeviceInfo::usesM3U(bool allowUser) const { return getUsesM3U(allowUser) != 0; }
bool MFDeviceInfo::usesM3U() const { return usesM3U(true); }
bool MFDeviceInfo::canUseM3U() const { return nonNilValueFromDeviceSpec(key(kSoundUsesM3U)) != 0; }

void MFDeviceInfo::setUsesM3U(unsigned value)
{
    writeUserKey(key(kUserSoundUsesM3U), static_cast<qlonglong>(value));
}

bool MFDeviceInfo::eraseMF() const { return nonNilBOOLFromDeviceSpec(key(kUserEraseMusicFolder)); }

void MFDeviceInfo::setEraseMF(bool on)
{
    writeUserKey(key(kUserEraseMusicFolder), on);
}

bool MFDeviceInfo::overwriteMFiles() const
{
    return true;
}

void MFDeviceInfo::setOverwriteMFiles(bool on)
{
    writeUserKey(key(kUserOverwriteMusicFiles), on);
}

long MFDeviceInfo::getFreeID()
{
    long value = nonNilValueFromDeviceSpec(key(kUserFreeFileID));
    if (value == 0)
        value = kFirstFreeFileID;
    writeUserKey(key(kUserFreeFileID), static_cast<qlonglong>(value + 1));
    return value;
}

QString MFDeviceInfo::getUniqueDeviceName() const
{
    return QString::fromLatin1(kUniqueNameFormat).arg(deviceModel(), serialNumber().toString());
}

QString MFDeviceInfo::getUniqueMirrorName() const
{
    return removeBadChars(QString::fromLatin1(kMirrorNameFormat).arg(deviceModel(), serialNumber().toString()));
}

QString MFDeviceInfo::createUniqueName(const QVariantMap& deviceDict)
{
    auto db = qvDeviceDB::sharedDeviceDB();
    if (!db)
        return QString();
    QVariantMap row;
    try {
        row = db->getSettingsForDeviceByID(deviceDict.value(key(kQvDeviceID)));
    } catch (const platform::Exception&) {
        return QString();
    }
    const QVariant model = row.value(key(kModel));
    const QVariant serial = deviceDict.value(key(kSerialNo));
    if (row.isEmpty() || !model.isValid() || !serial.isValid())
        return QString();
    return QString::fromLatin1(kUniqueNameFormat).arg(model.toString(), serial.toString());
}

QString MFDeviceInfo::removeBadChars(const QString& text)
{
    if (text.isEmpty())
        return QString(QLatin1String(""));
    QString cleaned = text;
    cleaned.remove(QLatin1Char('/'));
    return cleaned;
}
