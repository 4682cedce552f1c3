#pragma once

#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <array>
#include <memory>
#include <optional>

class qvDeviceDB;

// The sync settings of one sync protocol, read from its "SyncML." row of the
// device database: SyncML version and limits, the phone's database names,
// character set, vCard version, ignored properties, event years, task
// priorities, vendor flavour and the AT connection family.
class QVSyncDeviceDescription {
public:
    // Organizer types used as indexes.
    enum OrganizerType { Contacts = 0, Calendar = 1, Notes = 2, Bookmarks = 3, SMS = 4, Events = 5, Tasks = 6 };

    explicit QVSyncDeviceDescription(std::shared_ptr<qvDeviceDB> db);

    // New descriptions, not cached; null when the model has no protocol or no
    // row could be found.
    static std::shared_ptr<QVSyncDeviceDescription> syncDeviceFromProtocol(const QString& protocol);
    static std::shared_ptr<QVSyncDeviceDescription> syncDeviceFromIdentifier(const QString& identification);
    static std::shared_ptr<QVSyncDeviceDescription> initFromProtocol(const QString& protocol);
    static std::shared_ptr<QVSyncDeviceDescription> initFromDeviceIdentifier(const QString& identification);
    static std::shared_ptr<QVSyncDeviceDescription> initFromDeviceIdentifierWithDB(const QString& identification,
                                                                                   std::shared_ptr<qvDeviceDB> db);

    // 0 on success, -1 when no row could be found.
    int setupFromProtocol(const QString& protocol);

    const QVariantMap& syncMLDictionary() const { return _syncMLDictionary; }
    // Adds the entries to the row (every phone of the protocol sees them).
    void setDeviceFieldLengths(const QVariantMap& lengths);

    // The row's value; invalid when absent.
    QVariant objectForKey(const QString& key) const;
    bool nonNilBOOLFromDescription(const QString& key) const;
    long nonNilValueFromDescription(const QString& key) const;

    QString syncMLVersionString() const { return _syncMLVersionString; }
    int vCardVersion() const { return _vCardVersion; }
    bool syncMLLargeObjectSupport() const { return _syncMLLargeObjectSupport; }
    bool supportsAllDay() const { return _supportsAllDay; }
    bool syncMLPhotos() const { return _syncMLPhotos; }
    int syncMLNotesLength() const { return _syncMLNotesLength; }
    bool syncMLAddCRAfterBase64() const { return _syncMLAddCRAfterBase64; }
    bool syncMLSendCTCap() const { return _syncMLSendCTCap; }
    bool syncMLSyncMLSendDevInf() const { return _syncMLSyncMLSendDevInf; }
    bool syncMLUseSAN() const { return _syncMLUseSAN; }
    QString protocol() const { return _protocol; }
    long syncMLInitiatingAlertCmdID() const { return _syncMLInitiatingAlertCmdID; }
    bool syncMLNumberOfChangesSupport() const { return _syncMLNumberOfChangesSupport; }
    bool syncMLRefreshFromServerSupport() const { return _syncMLRefreshFromServerSupport; }
    int syncMLMaxSyncCMDNbInEncodedMsg() const { return _syncMLMaxSyncCMDNbInEncodedMsg; }
    QString switchToSyncMLCommand() const { return _switchToSyncMLCommand; }   // null when none
    QString prepareATChannel() const { return _prepareATChannel; }
    QStringList syncServerArray() const { return _syncServerArray.value_or(QStringList()); }
    int syncMLVersion() const { return _syncMLVersion; }
    QStringList syncMLIgnoreProperties() const { return _syncMLIgnoreProperties; }
    QStringList syncMLIgnoreElements() const { return _syncMLIgnoreElements; }
    QString allowedCharsInPhoneNumber() const { return _allowedCharsInPhoneNumber; }
    QString allDayDefinition() const { return _allDayDefinition; }
    QSizeF syncMLPictSize() const { return _wantedPictSize; }
    long syncMLMaxPictureBytes() const { return _maxPictureBytes; }
    bool hasTasks() const { return _hasTasks; }
    bool supportsTimeZone() const { return _supportsTimeZone; }
    bool firstLastCombi() const { return _firstLastCombi; }
    bool copyCompanyToName() const { return _copyCompanyToName; }
    int oldestEventYear() const { return _oldestEventYear; }
    int highestEventYear() const { return _highestEventYear; }
    int oldestBirthYear() const { return _oldestBirthYear; }
    bool usesMotorolaATConnections() const { return _usesMotorolaATConnections; }
    bool usesSamsungATConnections() const { return _usesSamsungATConnections; }
    bool usesLGATConnections() const { return _usesLGATConnections; }
    bool hasEMailTypes() const { return _hasEMailTypes; }
    bool hasURLTypes() const { return _hasURLTypes; }

    bool hasCalendar() const;
    bool noEmptyFinalSync() const;
    QString protocolClass() const;                 // "" when absent
    int syncMLMaxMsgSize() const;                  // 32000 when not set
    QString syncServerNameIx(int index) const;     // null past the list
    QString syncServerName() const { return _syncServerName; }
    QString credentialDataString() const { return QString(); }
    QString defaultCharset() const;                // null when shorter than 4 characters
    QString sourceDatabase(int type) const;        // null outside 0..6
    QString targetDatabase(int type) const;        // "???" outside 0..6
    bool usesSyncMLForSMS() const;
    bool usesSyncMLForProperty(int type) const;
    bool has2CalendarDBs() const;
    QVariant syncSchemaFile() const;
    QVariant vxFormat() const;
    int macPriorityForDevice(int devicePriority) const;
    int devicePriorityForMac(int macPriority) const;
    bool isSamsung() const;
    bool isNokia() const;
    bool isGigaset() const;
    bool isSamsungAT() const;
    bool isSamsungSHP() const;
    bool isSamsungHPE() const;
    bool usePeriodForAlarm() const { return isSamsungHPE(); }
    bool openSynchronous() const { return isGigaset(); }
    bool hasSamsungCategories() const;
    bool usesAnyATConnections() const;

private:
    bool isVxFormat(const char* format) const;

    QVariantMap _syncMLDictionary;
    std::shared_ptr<qvDeviceDB> _db;
    bool _syncMLLargeObjectSupport = false;
    int _syncMLMaxMsgSize = 0;
    bool _syncMLNumberOfChangesSupport = false;
    bool _syncMLRefreshFromServerSupport = false;
    bool _syncMLPhotos = false;
    int _syncMLMaxSyncCMDNbInEncodedMsg = 30;
    int _syncMLNotesLength = 254;
    bool _syncMLSyncMLSendDevInf = false;
    bool _syncMLSendCTCap = false;
    bool _syncMLAddCRAfterBase64 = false;
    long _syncMLInitiatingAlertCmdID = 0;
    QString _targetContactsDatabase;
    QString _targetCalendarDatabase;
    QString _targetEventsDatabase;
    QString _targetTasksDatabase;
    QString _targetNotesDatabase;
    QString _targetBookmarksDatabase;
    QString _targetEmailsDatabase;
    QString _targetSMSDatabase;
    QString _syncServerName;
    std::optional<QStringList> _syncServerArray;
    QString _defaultCharset;
    QString _protocol;
    QString _syncMLVersionString;
    QString _allowedCharsInPhoneNumber;
    QString _allDayDefinition;
    bool _supportsAllDay = false;
    QString _switchToSyncMLCommand;
    QString _prepareATChannel;
    QStringList _syncMLIgnoreProperties;
    QStringList _syncMLIgnoreElements;
    int _syncMLVersion = 3;
    QSizeF _wantedPictSize;
    bool _syncMLUseSAN = false;
    int _vCardVersion = 0x21;
    long _maxPictureBytes = 16384;
    std::array<int, 10> priorMac2Device{};
    std::array<int, 10> priorDevice2Mac{};
    bool _hasTasks = false;
    bool _supportsTimeZone = false;
    bool _firstLastCombi = false;
    bool _copyCompanyToName = false;
    int _oldestEventYear = 0;
    int _highestEventYear = 2099;
    int _oldestBirthYear = 1900;
    bool _usesMotorolaATConnections = false;
    bool _usesSamsungATConnections = false;
    bool _usesLGATConnections = false;
    bool _hasEMailTypes = true;
    bool _hasURLTypes = true;
};
