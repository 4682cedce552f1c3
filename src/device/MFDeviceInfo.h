#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class MFDeviceInfoOwner;

// A phone's settings behind one key space: keys beginning "Dorvanti." come
// from the model's row of the device database (read-only), every other key
// ("Common.", "User.", "Lang.", "BT.", "USB.", "Capab.", "Wizard.", "SyncML.")
// from the phone's device dictionary, which is the known-device list's entry
// itself and is written back through that list.
class MFDeviceInfo {
public:
    static constexpr const char* kDatabasePrefix = "Dorvanti.";
    static constexpr const char* kUnknownModel = "Unknown+Unknown";

    // The row is the shared device database's row of "Common.qvDeviceID", or
    // the "Unknown+Unknown" row when that gives nothing.
    MFDeviceInfo(std::shared_ptr<QVariantMap> deviceDict, MFDeviceInfoOwner* mfDevice, bool asHistoryDevice);
    // With a row the caller already has.
    MFDeviceInfo(std::shared_ptr<QVariantMap> deviceDict, QVariantMap deviceDBEntry, MFDeviceInfoOwner* mfDevice,
                 bool asHistoryDevice);
    ~MFDeviceInfo();   // writes the settings when needed
    MFDeviceInfo(const MFDeviceInfo&) = delete;
    MFDeviceInfo& operator=(const MFDeviceInfo&) = delete;

    // A write to a "Dorvanti." key is refused with the system alert sound;
    // the program installs the sound here (none by default).
    static void setAlertSoundHandler(std::function<void()> handler);

    void writeDeviceDictNow();
    void writeSettingsIfNeeded();
    void clearDirtyFlag() { _settingsDirty = false; }
    bool isDirty() const { return _settingsDirty; }
    bool isAlreadyInDeviceList() const;
    std::shared_ptr<QVariantMap> mDeviceDict() const { return _mDeviceDict; }
    const QVariantMap& deviceDBEntry() const { return _deviceDBEntry; }

    QVariant objectForKey(const QString& key) const;
    void setObject(const QVariant& value, const QString& key);
    void removeObjectForKey(const QString& key);
    QString nonNilStringFromDeviceSpec(const QString& key) const;
    long nonNilValueFromDeviceSpec(const QString& key) const;
    bool nonNilBOOLFromDeviceSpec(const QString& key) const;

    QVariant serialNumber() const;
    QString deviceID() const;
    QString getTheDeviceName() const;
    QVariant deviceURI() const;
    void setDeviceURI(const QVariant& uri);
    long curSyncMLSourceIndex() const;
    bool wantsBackup() const;
    bool wantsBackupAutomatic() const;
    bool volumeInArchive(bool external) const;
    void setVolumeInArchive(bool external);
    QString eraseKey(int organizerType) const;
    bool eraseDeviceData(int organizerType) const;
    void setEraseDeviceData(bool erase, int organizerType);

    QString deviceProtocol() const;
    QString deviceModel() const;
    QString deviceManufacturer() const;
    QString deviceIdentification() const;
    bool usbHasSerialNumber() const;
    QVariant sendSMS() const;
    bool canSendSMS() const;
    QVariant getSyncMLProtocol() const;
    QVariant getSMSProtocol() const;
    QString getSMSFamily(int n) const;
    bool supportsObexFile() const;
    QString getPreferedVideoCodec() const;
    QString getPhotosNaming() const;
    QString getVideosNaming() const;
    bool supportsGraphicFormat(const QString& suffix);
    bool supportsJPEG();
    long getDisplayHorizontal() const;
    long getDisplayVertical() const;
    long getBatteryMax() const;
    long parallelConnectionsBluetooth() const;
    long parallelConnectionsUSB() const;
    bool translateMMC() const;
    bool playsMusic() const;
    bool supportsHierSoundsFolders() const;
    void setSupportsHierSoundsFolders(bool on);
    bool noResources() const;
    void setNoResources(bool on);
    long getUsesM3U(bool allowUser) const;
    bool usesM3U(bool allowUser) const;
    bool usesM3U() const;
    bool canUseM3U() const;
    void setUsesM3U(unsigned value);
    bool eraseMF() const;
    void setEraseMF(bool on);
    bool overwriteMFiles() const;
    void setOverwriteMFiles(bool on);
    long getFreeID();
    QString getUniqueDeviceName() const;
    QString getUniqueMirrorName() const;

    // Model and serial joined by "-" for a device dictionary, without a
    // settings object; null when the row, the model or the serial is missing.
    static QString createUniqueName(const QVariantMap& deviceDict);
    static QString removeBadChars(const QString& text);

private:
    void writeUserKey(const QString& key, const QVariant& value);

    MFDeviceInfoOwner* _mfDevice = nullptr;
    QVariantMap _deviceDBEntry;
    std::shared_ptr<QVariantMap> _mDeviceDict;
    std::optional<QStringList> _graphicFormats;
    bool _settingsDirty = false;
    bool _asHistory = false;
};
