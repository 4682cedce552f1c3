#pragma once

#include <functional>

#include "DeviceDBTestSupport.h"
#include "VirtualTime.h"

#include "device/QVSyncDeviceDescription.h"
#include "ArchiveHoldingDataManager.h"
#include "phone/DeviceDataManager.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "phone/SyncEnvironmentRules.h"
#include "phone/SynchronizationFeedbackConsumer.h"
#include "platform/Clock.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace archivetest {

// The engine types and the backup wish of the phone.
class Rules : public SyncEnvironmentRules {
public:
    bool setupSyncEvironment() override { return false; }
    bool wantsToUseSyncEngineAtAll() const override { return !engineTypes.isEmpty(); }
    bool wantsToUseSyncEngineForProperty(int type) const override { return engineTypes.contains(type); }
    bool wantsSyncChangesFromDevice(int) const override { return false; }
    bool wasDatabaseSynced(int) const override { return false; }
    bool wantsToBackupOrganizerType(int) const override { return backup; }
    void syncEngineDeviceActive(const QVariantMap&) override {}
    QSet<int> engineTypes;
    bool backup = true;
};

using DataManager = ArchiveHoldingDataManager;

// Answers the queued results of the first read (then 0), noting the clock
// time of every call.
class Handler : public DeviceSyncEngineHandler {
public:
    int trickleSyncEngine(int) override { return 0; }
    bool isBusy() const override { return false; }
    void updateEnabledEntities() override {}
    void announceQuit() override {}
    void enableSyncEngineNotifier() override { ++notifierEnabled; }
    QVariant lastSyncTime(int) const override { return QStringLiteral("2024-01-01 10:00:00 +0000"); }
    void setSlowModeForProperty(int type, bool slow) override { slowMode[type] = slow; }
    int initialReadFromSyncEngine(int, SynchronizationFeedbackConsumer*) override
    {
        calls.append(platform::Clock::instance().now());
        if (busyForever)
            return -2;
        const int answer = answers.isEmpty() ? 0 : answers.takeFirst();
        if (answer == 0 && onRead)
            onRead();
        return answer;
    }
    std::function<void()> onRead; // what the read brings, once it is done
    QList<int> answers;
    bool busyForever = false;
    QList<double> calls;
    QMap<int, bool> slowMode;
    int notifierEnabled = 0;
};

class Feedback : public SynchronizationFeedbackConsumer {
public:
    BusyModalSession* startBusyModalSession(QWidget*, int) override
    {
        steps.append("show");
        return nullptr;
    }
    int pollBusyModalSession(BusyModalSession*) override { return -1002; }
    void endBusyModalSession(BusyModalSession*) override { steps.append("hide"); }
    void doProgressBusyIncrement(double) override { steps.append("increment"); }
    void doProgressBusyMessage(const QString& text) override { steps.append("message " + text); }
    QStringList steps;
};

inline const QString kCard = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;%1\r\nTEL:555%2\r\nEND:VCARD\r\n");

inline QVariantMap contact(const QString& uri, const QString& name)
{
    return {{"SourceURI", uri}, {"vx-Data", kCard.arg(name, uri)}};
}

// Python's plistlib reads the file; answers its error text ("" on success).
inline QString plistlibError(const QString& path)
{
    QProcess python;
    python.start("python3", {"-c", "import plistlib,sys\nplistlib.load(open(sys.argv[1],'rb'))", path});
    if (!python.waitForFinished(30000))
        return "python3 did not run";
    return python.exitCode() == 0 ? QString() : QString::fromUtf8(python.readAllStandardError());
}

class Fixture : public ::testing::Test {
protected:
    Fixture()
    {
        anchor = dir.path() + "/phone.dzmir";
        makers.dataManager = [this](MFDevice&) {
            auto made = std::make_unique<DataManager>();
            manager = made.get();
            return made;
        };
        makers.syncEnvironment = [this](MFDevice&) {
            auto made = std::make_unique<Rules>();
            rules = made.get();
            return made;
        };
        makers.syncEngineHandler = [this](MFDevice&) {
            auto made = std::make_unique<Handler>();
            made->answers = answers;
            made->busyForever = busyForever;
            made->onRead = onRead;
            handler = made.get();
            return made;
        };
    }
    ~Fixture() override
    {
        archive.reset();
        mirror.reset();
        device.reset();
    }

    // A phone with its mirror, backup on or off, serial unique per test.
    void makeDevice(bool backup, const QString& connType = QLatin1String(MFDevice::kUSBMassStorage))
    {
        auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("UNKNOWN"));
        const QVariantMap row{{"Dorvanti.Model", "V3"}, {"Dorvanti.Manufacturer", "Motorola"},
                              {"Dorvanti.SyncMLProtocol", description->protocol()}};
        auto dict = std::make_shared<QVariantMap>(QVariantMap{{"Common.BackupDevice", backup},
                                                              {"Common.SerialNo", serial},
                                                              {"Common.ModelName", "V3"}});
        device = std::make_unique<MFDevice>(connType, dict, row, description, makers);
        rules->backup = backup;
        rules->engineTypes = engineTypes;
        mirror = FilesMirror::mirrorWithDevice(*device, anchor);
        ASSERT_TRUE(mirror);
    }
    void open() { archive = OrganizerArchive::archiveWithDevice(*device, &feedback); }
    void reopen()
    {
        archive.reset();
        open();
    }
    QString historyFolder() const { return anchor + "/Other Data/History"; }
    QStringList history() const { return QDir(historyFolder()).entryList(QDir::Files, QDir::Name); }
    QVariantMap historyFile(const QString& name) const
    {
        return platform::plist::readFile(historyFolder() + '/' + name).toMap();
    }
    QString working() const { return archive->pathNameForDeviceSyncData(); }
    // Adds a contact to the live list.
    void addContact(const QString& uri, const QString& name)
    {
        archive->storage(0)->addVXDataItem(uri, kCard.arg(name, uri), QString());
    }

    QTemporaryDir dir;
    QString anchor;
    QString serial = QStringLiteral("35%1-%2").arg(qulonglong(QDateTime::currentMSecsSinceEpoch()) % 100000000).arg(++serialCount());
    static int& serialCount()
    {
        static int count = 0;
        return count;
    }
    MFDevice::Makers makers;
    DataManager* manager = nullptr;
    Rules* rules = nullptr;
    Handler* handler = nullptr;
    std::function<void()> onRead; // handed to the handler when it is made
    QList<int> answers;
    bool busyForever = false;
    QSet<int> engineTypes;
    Feedback feedback;
    std::unique_ptr<MFDevice> device;
    std::unique_ptr<FilesMirror> mirror;
    std::unique_ptr<OrganizerArchive> archive;
};

} // namespace archivetest
