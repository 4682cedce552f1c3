#pragma once

// A mass-storage phone on the in-memory file connection, in virtual time,
// whose data manager builds test jobs for the organizer types and whose sync
// decisions the test sets: the ground of the sync and backup containers and
// their folder waits.

#include "../phone/FolderPhoneFixture.h"
#include "DeviceDBTestSupport.h"

#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "jobs/JobCodes.h"
#include "jobs/QVActionMachine.h"
#include "jobs/QVFeedBack.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/DZJobTraits.h"
#include "phone/FilesMirror.h"
#include "phone/SyncEnvironmentRules.h"
#include "phonejobs/FileJobMakers.h"

#include <QSet>
#include <QTemporaryDir>

#include <list>

namespace containers_test {

inline double clockNow()
{
    return platform::Clock::instance().now();
}

// What the jobs of one test did, in order.
struct JobLog {
    QList<int> startedTypes;
    QList<double> startTimes;
};

// An organizer job of the data manager's choice: it notes its start and ends
// at once with its code (or is held until the test ends it).
class OrganizerTestJob : public QVAction, public DZSyncPropertyJob {
public:
    OrganizerTestJob(int type, std::shared_ptr<QVActionNotify> notify, std::shared_ptr<JobLog> log)
        : QVAction(std::move(notify), QVariant())
        , type(type)
        , log(std::move(log))
    {
    }
    QString actionType() const override { return QStringLiteral("GenericPipe"); }
    int syncProperty() const override { return type; }
    QString displayString() const override { return QStringLiteral("Sync %1").arg(type); }
    QString displaySubString() const override { return QStringLiteral("type %1").arg(type); }
    int startAction() override
    {
        startedAt = clockNow();
        log->startedTypes.append(type);
        log->startTimes.append(startedAt);
        if (!hold)
            endAction(endCode);
        return 0;
    }

    int type;
    std::shared_ptr<JobLog> log;
    int endCode = 0;
    bool hold = false;
    double startedAt = -1;
};

// The sync decisions of the test's device.
struct SyncDecisions {
    bool engineAtAll = false;
    QSet<int> engineTypes;
    QSet<int> synced;
};

class TestSyncRules : public SyncEnvironmentRules {
public:
    explicit TestSyncRules(std::shared_ptr<SyncDecisions> decisions)
        : _decisions(std::move(decisions))
    {
    }
    bool setupSyncEvironment() override { return false; }
    bool wantsToUseSyncEngineAtAll() const override { return _decisions->engineAtAll; }
    bool wantsToUseSyncEngineForProperty(int type) const override
    {
        return _decisions->engineAtAll && _decisions->engineTypes.contains(type == 5 || type == 6 ? 1 : type);
    }
    bool wantsSyncChangesFromDevice(int type) const override { return wantsToUseSyncEngineForProperty(type); }
    bool wasDatabaseSynced(int type) const override { return _decisions->synced.contains(type); }
    bool wantsToBackupOrganizerType(int) const override { return false; }
    void syncEngineDeviceActive(const QVariantMap&) override {}

private:
    std::shared_ptr<SyncDecisions> _decisions;
};

// The in-memory phone whose folder listings end after a delay of the test's
// choice (per path), or with a code of its choice.
class TimedFileTransfer : public CapableFileTransfer {
public:
    using CapableFileTransfer::CapableFileTransfer;
    int getDirectoryContentsAtPath(const QString& path, const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        ++listingsAsked[path];
        const int code = failing.value(path, 0);
        const double delay = delays.value(path, 0.0);
        if (delay <= 0 && code == 0)
            return CapableFileTransfer::getDirectoryContentsAtPath(path, callback);
        auto& timer = _timers.emplace_back();
        timer.setCallback([this, path, callback, code] {
            listedAt[path] = clockNow();
            if (code != 0)
                callback->finishWithResult(code, QVariant());
            else
                CapableFileTransfer::getDirectoryContentsAtPath(path, callback);
        });
        timer.start(delay);
        return 0;
    }
    int copyFromMobileToMac(const QString& phoneFile, const QString& macFolder, bool overwrite,
                            const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        copied.append(phoneFile);
        if (const int code = failingCopies.value(phoneFile, 0)) {
            callback->finishWithErrorInMainThread(code, QVariant());
            return 0;
        }
        const double delay = copyDelays.value(phoneFile, 0.0);
        if (delay <= 0)
            return CapableFileTransfer::copyFromMobileToMac(phoneFile, macFolder, overwrite, callback);
        auto& timer = _timers.emplace_back();
        timer.setCallback([this, phoneFile, macFolder, overwrite, callback] {
            CapableFileTransfer::copyFromMobileToMac(phoneFile, macFolder, overwrite, callback);
        });
        timer.start(delay);
        return 0;
    }

    QMap<QString, double> delays;
    QMap<QString, int> failing;
    QMap<QString, int> failingCopies;
    QMap<QString, double> copyDelays;
    QMap<QString, double> listedAt;
    QMap<QString, int> listingsAsked;
    QStringList copied;

private:
    std::list<platform::Timer> _timers;
};

// One SyncML row naming every organizer type, so that the device can process
// all five.
inline const char* const kAllTypesRow =
    "INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, VCardVersion, Charset,"
    " syncContacts, syncCalendar, syncNotes, syncBookmarks, syncSMS,"
    " ContactDatabase, CalendarDatabase, NotesDatabase, BookmarksDatabase, SMSDatabase)"
    " VALUES ('Protocol Containers', '1.1', '2.1', 'UTF-8', '1', '1', '1', '1', '1',"
    " 'Contacts', 'Calendar', 'Notes', 'Bookmarks', 'SMS');\n";

class ContainerPhoneFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dbPath = new QString(buildTestDeviceDB(QStringLiteral("containers"), QString::fromLatin1(kAllTypesRow)));
    }
    static void TearDownTestSuite()
    {
        delete s_dbPath;
        s_dbPath = nullptr;
    }
    void TearDown() override
    {
        for (const auto& entry : followed)
            entry->stopFeedBackNotification(this);
        followed.clear();
        ends.clear();
        starts.clear();
        if (device)
            device->actionMachine()->announceQuitWithLoops(5);
        device.reset();
        mirror.reset();
    }

    // The phone; without a file-transfer connection when withFiles is false.
    void makeDevice(bool withFiles = true, QVariantMap dict = {}, const QVariantMap& rowExtra = {})
    {
        ASSERT_TRUE(s_dbPath && !s_dbPath->isEmpty());
        auto db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(db->openDB(*s_dbPath));
        auto description = std::make_shared<QVSyncDeviceDescription>(db);
        ASSERT_EQ(description->setupFromProtocol(QStringLiteral("Protocol Containers")), 0);

        MFDevice::Makers makers;
        makers.massStorageFTP = [this, withFiles](MFDevice& owner,
                                                  const QVariantMap&) -> std::unique_ptr<FileTransferConnection> {
            if (!withFiles)
                return nullptr;
            auto made = std::make_unique<TimedFileTransfer>(owner, QStringLiteral("USB-MassStorage"));
            ftp = made.get();
            return made;
        };
        makers.syncEnvironment = [this](MFDevice&) { return std::make_unique<TestSyncRules>(decisions); };
        makers.dataManager = [this](MFDevice& owner) -> std::unique_ptr<DeviceDataManager> {
            DZFileJobMakers made = filejobs::makers();
            auto list = made.listFolder;
            made.listFolder = [this, list](const QString& path, DZFileJobMakers::Notify notify) {
                listingsMade.append(path);
                return list(path, std::move(notify));
            };
            made.organizerJob = [this](DZDataManager&, int type, int priority, bool,
                                       DZFileJobMakers::Notify notify) -> DZFileJobMakers::Job {
                if (noJobTypes.contains(type))
                    return nullptr;
                auto job = std::make_shared<OrganizerTestJob>(type, std::move(notify), log);
                job->setPriority(priority);
                job->endCode = endCodes.value(type, 0);
                job->hold = heldTypes.contains(type);
                organizerJobs.append(job);
                return job;
            };
            return std::make_unique<DZDataManager>(owner, made);
        };
        dict.insert(QStringLiteral("Common.SerialNo"), QStringLiteral("4711"));
        QVariantMap row{{"Dorvanti.Model", "C100"}, {"Dorvanti.Manufacturer", "Phone Maker"}};
        row.insert(rowExtra);
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage),
                                            std::make_shared<QVariantMap>(dict), row, description, makers);
        manager = dynamic_cast<DZDataManager*>(device->dataManager());
        ASSERT_TRUE(manager);
        ASSERT_EQ(device->canDoFileSystemServices(), withFiles);
        ASSERT_TRUE(home.isValid());
        mirror = FilesMirror::mirrorWithDevice(*device, home.filePath(QStringLiteral("C100.dzmir")));
        ASSERT_TRUE(mirror);
    }
    std::shared_ptr<QVActionMachine> machine() const { return device->actionMachine()->shared_from_this(); }

    // The end code of an entry once it ends (kept in ends by the entry).
    void follow(const std::shared_ptr<QVFeedBack>& entry)
    {
        const QVFeedBack* key = entry.get();
        entry->addFeedBackNotification(this, [this, key](const platform::Notification& note) {
            const QVariant code = note.userInfo.value(QStringLiteral("QVFeedEndActionKey"));
            if (code.isValid())
                ends.insert(key, {code.toInt(), clockNow()});
            if (note.userInfo.contains(QStringLiteral("QVFeedStartActionKey")))
                starts.insert(key, clockNow());
        });
        followed.push_back(entry);
    }
    bool hasEnded(const std::shared_ptr<QVFeedBack>& entry) const { return ends.contains(entry.get()); }
    int endCodeOf(const std::shared_ptr<QVFeedBack>& entry) const { return ends.value(entry.get()).first; }
    double endTimeOf(const std::shared_ptr<QVFeedBack>& entry) const { return ends.value(entry.get()).second; }
    double startTimeOf(const std::shared_ptr<QVFeedBack>& entry) const { return starts.value(entry.get(), -1); }

    static bool runUntil(const std::function<bool()>& predicate, double seconds = 120.0)
    {
        return testing_support::runUntil(predicate, seconds, 0.05);
    }

    inline static QString* s_dbPath = nullptr;
    QTemporaryDir home;
    std::shared_ptr<SyncDecisions> decisions = std::make_shared<SyncDecisions>();
    std::shared_ptr<JobLog> log = std::make_shared<JobLog>();
    QMap<int, int> endCodes;
    QSet<int> heldTypes;
    QSet<int> noJobTypes;
    QList<std::shared_ptr<OrganizerTestJob>> organizerJobs;
    QStringList listingsMade;
    TimedFileTransfer* ftp = nullptr;
    std::unique_ptr<MFDevice> device;
    DZDataManager* manager = nullptr;
    std::unique_ptr<FilesMirror> mirror;
    std::vector<std::shared_ptr<QVFeedBack>> followed;
    QMap<const QVFeedBack*, std::pair<int, double>> ends;
    QMap<const QVFeedBack*, double> starts;
};

} // namespace containers_test
