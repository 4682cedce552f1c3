#pragma once

#include "device/sqlcryptQuickLiteDatabase.h"

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <memory>
#include <optional>

// The device database: the read-only, encrypted catalogue of phone models and
// sync protocols. Rows come back as dictionaries keyed "Dorvanti.<column>" and
// "SyncML.<column>"; SQL NULL values are removed. A model names its parent in
// "Dorvanti.InheritsFrom"; the settings lookups merge the parent chain, an
// empty value takes the parent's and a "-" removes the key.
//
// An empty dictionary answers "not found" (no row is ever empty).
// A model whose parent is missing, or whose parent chain comes back to itself,
// makes the settings lookups throw platform::Exception with the name
// "NSRangeException" and the text "getSettingsForDevice: Missing inherited
// dictionary: <parent>".
class qvDeviceDB {
public:
    static constexpr const char* kResourceName = "Tarnex-LG";
    static constexpr const char* kResourceType = "db";
    static constexpr const char* kMissingParentException = "NSRangeException";

    // The shared database, opened on first use from the default path; null
    // when it cannot be opened (the next call tries again).
    static std::shared_ptr<qvDeviceDB> sharedDeviceDB();
    // A new database on the given file, or null. When a shared database exists
    // and is another object, the new one becomes the shared one (and the
    // shared generation changes).
    static std::shared_ptr<qvDeviceDB> qvDeviceDBWithPath(const QString& path);
    // Drops the shared database (tests).
    static void releaseSharedDeviceDB();
    // Changes whenever the shared database is replaced or dropped: the caches
    // of its rows keep the generation they were filled under.
    static quint64 sharedGeneration();
    // Whether the shared database changed since the generation seen, which
    // is brought up to date.
    static bool sharedDatabaseChanged(quint64& seen);

    // Where openDB() looks without a path: the override set here, else the
    // environment variable MARVESTO_DEVICE_DB, else the file the build made.
    static QString defaultDatabasePath();
    static void setDefaultDatabasePath(const QString& path);   // empty: back to the default

    qvDeviceDB();
    ~qvDeviceDB();
    qvDeviceDB(const qvDeviceDB&) = delete;
    qvDeviceDB& operator=(const qvDeviceDB&) = delete;

    // Opens the file (empty path: defaultDatabasePath()) with the program's
    // pass phrase.
    bool openDB(const QString& path = QString());
    sqlcryptQuickLiteDatabase* database() const { return _db.get(); }

    // The DEVICE_ID text a model id is looked up by: ids up to 9999 name the
    // row id + 10000 (absent or non-numeric ids: "10000"); larger ids keep
    // their own text.
    static QString deviceIDText(const QVariant& deviceID);

    QVariantMap getDictForDeviceByID(const QVariant& deviceID);
    QVariantMap getDictForDevice(const QString& identification);
    QVariantMap getDictForVendorModel(int vendor, int model);

    QVariantMap getSettingsForDeviceByID(const QVariant& deviceID);
    QVariantMap getSettingsForDevice(const QString& identification);
    QVariantMap getSettingsForIdentification(const QString& identification);
    QVariantMap getSettingsForVendorModel(int vendor, int model);
    QVariantMap getSettingsForOfficiallyReleasedDeviceByID(const QVariant& deviceID);
    // The row merged with its parent and stripped of rejected fields; empty
    // when the row has no parent.
    QVariantMap inheritFoundDevice(const QVariantMap& row);

    // The SyncML row of a protocol with "SyncML.IgnoreElements" and
    // "SyncML.IgnoreProperties" turned into lists of texts; empty when none.
    QVariantMap getSyncMLParams(const QString& protocol);
    static QVariantMap getSyncMLParamsInDB(const QString& protocol, sqlcryptQuickLiteDatabase* db);

    // Every model row with a USB vendor and product number; nothing when the
    // query fails.
    std::optional<QVariantList> getUSBDevices();

    QVariantList getAllDevicesWithQuery(const QString& sql);
    QVariantList getAllDevicesWithQuery(const QString& sql, sqlcryptQuickLiteDatabase* db);
    QVariantList getAllDevicesMarvestoLG();
    QVariantList getAllDevicesMarvestoSamsung();
    QVariantList getAllDevicesDorvanti();
    QVariantList getAllDevicesSovrane();
    QVariantList getAllDevicesBrellin();

    static QVariantMap MergeDictionaryWithInheritance(const QVariantMap& child, const QVariantMap& parent);
    static QVariantMap stripDictionary(const QVariantMap& row);
    static QVariantMap stripRejectedFields(const QVariantMap& row);

private:
    QVariantMap settingsForDevice(const QString& identification, QStringList& chain);
    QVariantMap parentSettings(const QString& parent, QStringList& chain);
    // The row merged with the settings of its parent (never empty); throws
    // like the settings lookups when the parent chain is broken.
    QVariantMap mergedWithParent(const QVariantMap& row, const QString& parent);

    std::unique_ptr<sqlcryptQuickLiteDatabase> _db;
};
