#pragma once

#include "PhoneJobsTestSupport.h"

#include "DeviceDBTestSupport.h"
#include "device/QVSyncDeviceDescription.h"
#include "kestrova/core/organizerKitAsync.h"
#include "kestrova/core/smsKitAsync.h"
#include "kitbridges/BridgeKits.h"
#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/OrganizerArchive.h"
#include "phone/SyncEnvironmentRules.h"
#include "phonejobs/ActionOrganizerKitServices.h"
#include "phonejobs/ActionSMSKitServices.h"
#include "phonejobs/FileJobMakers.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include <QSet>
#include <QTemporaryDir>

namespace kitjobs_test {

using testing_support::runUntil;

// What the jobs' kit was asked, in order, and the callback to answer with.
struct KitLog {
    QStringList calls;
    void* callback = nullptr;
    QVariantMap written;
    QVariantList removed;
    QVariantList recipients;
    bool refuse = false;
    int made = 0;
};

class RecordingSmsKit : public SmsBridgeKit {
public:
    explicit RecordingSmsKit(std::shared_ptr<KitLog> log) : s(std::move(log)) { }
    void setCallback(smsKitAsync* c) override { s->callback = c; }
    void setAddressString(const QString&) override { }
    void setFilename(const QString&) override { }
    void setFamily(const QString& f) override { s->calls << QStringLiteral("setFamily:") + f; }
    bool startReading() override { return s->calls << QStringLiteral("startReading"), !s->refuse; }
    bool removeMessages(const QVariantList& m) override
    {
        s->removed = m;
        return s->calls << QStringLiteral("removeMessages"), !s->refuse;
    }
    bool sendTextMessage(const QString& t, const QVariantList& r, bool) override
    {
        s->recipients = r;
        return s->calls << QStringLiteral("sendTextMessage:") + t, !s->refuse;
    }
    void fullStop() override { s->calls << QStringLiteral("fullStop"); }
    void abortActionAsync() override { s->calls << QStringLiteral("abortActionAsync"); }
    std::shared_ptr<KitLog> s;
};

class RecordingOrganizerKit : public OrganizerBridgeKit {
public:
    explicit RecordingOrganizerKit(std::shared_ptr<KitLog> log) : s(std::move(log)) { }
    void setCallback(organizerKitAsync* c) override { s->callback = c; }
    void setAddressString(const QString&) override { }
    void setFilename(const QString&) override { }
    void setFamily(const QString& f) override { s->calls << QStringLiteral("setFamily:") + f; }
    void getPhonebookEntries() override { s->calls << QStringLiteral("getPhonebookEntries"); }
    void writePhonebookEntries(const QVariantMap& e) override
    {
        s->written = e;
        s->calls << QStringLiteral("writePhonebookEntries");
    }
    void getCalendarEntries() override { s->calls << QStringLiteral("getCalendarEntries"); }
    void writeCalendarEntries(const QVariantMap& e) override
    {
        s->written = e;
        s->calls << QStringLiteral("writeCalendarEntries");
    }
    void getTasks() override { s->calls << QStringLiteral("getTasks"); }
    void fullStop() override { s->calls << QStringLiteral("fullStop"); }
    void abortActionAsync() override { s->calls << QStringLiteral("abortActionAsync"); }
    std::shared_ptr<KitLog> s;
};

// The sync-engine answers of the phone the tests set.
class KitRules : public SyncEnvironmentRules {
public:
    bool setupSyncEvironment() override { return false; }
    bool wantsToUseSyncEngineAtAll() const override { return engine; }
    bool wantsToUseSyncEngineForProperty(int) const override { return engine; }
    bool wantsSyncChangesFromDevice(int) const override { return false; }
    bool wasDatabaseSynced(int type) const override { return synced.contains(type); }
    bool wantsToBackupOrganizerType(int) const override { return false; }
    void syncEngineDeviceActive(const QVariantMap&) override { }
    bool engine = false;
    QSet<int> synced;
};

inline const QString kMotorola = QStringLiteral("Protocol Motorola V3 Series");
inline const QString kLG = QStringLiteral("Protocol LG");

inline QVariantMap phoneContact(const QString& first, const QString& number)
{
    return {{QStringLiteral("firstname"), first},
            {QStringLiteral("lastname"), QStringLiteral("Tester")},
            {QStringLiteral("phone"), QVariantList{QVariantMap{{QStringLiteral("value"), number},
                                                               {QStringLiteral("type"), QStringLiteral("cell")}}}}};
}

// A Bluetooth phone of a Motorola or LG model with its kit connections, its
// real data manager, files mirror and organizer archive, and kits that
// record what the jobs ask: the tests answer in the kit's place.
class KitJobsFixture : public BluetoothPhoneFixture {
protected:
    void SetUp() override
    {
        BluetoothPhoneFixture::SetUp();
        platform::Clock::instance().setVirtual(true);
        stack->addDevice(address(), QStringLiteral("Phone"), true,
                         {platform::SdpServiceRecord::make({platform::BluetoothUuid::uuid16(0x1103)}, QString(), 1)},
                         true);
        ActionSMSKitServices::setSmsKitMaker([log = kit] {
            ++log->made;
            return std::make_shared<RecordingSmsKit>(log);
        });
        ActionOrganizerKitServices::setOrganizerKitMaker([this, log = kit]() -> std::shared_ptr<OrganizerBridgeKit> {
            ++log->made;
            if (noKit)
                return nullptr;
            return std::make_shared<RecordingOrganizerKit>(log);
        });
    }
    void TearDown() override
    {
        for (const auto& job : followed)
            job->stopFeedBackNotification(this);
        followed.clear();
        archive.reset();
        mirror.reset();
        device.reset();
        ActionSMSKitServices::setSmsKitMaker(nullptr);
        ActionOrganizerKitServices::setOrganizerKitMaker(nullptr);
        BluetoothPhoneFixture::TearDown();
    }

    void makePhone(const QString& protocol, const char* smsFamily, QVariantMap dict = {})
    {
        archive.reset();
        mirror.reset();
        device.reset();
        MFDevice::Makers makers;
        makers.dataManager = [](MFDevice& d) { return std::make_unique<DZDataManager>(d, filejobs::makers()); };
        makers.syncEnvironment = [this](MFDevice&) {
            auto made = std::make_unique<KitRules>();
            rules = made.get();
            return made;
        };
        dict.insert(connectionDict());
        dict.insert(QStringLiteral("Common.SerialNo"), QStringLiteral("kit%1").arg(++serialCount()));
        const QVariantMap row{{"Dorvanti.Model", "KG800"},
                              {"Dorvanti.Manufacturer", protocol == kLG ? "LG" : "Motorola"},
                              {"Dorvanti.SyncMLProtocol", protocol},
                              {"Dorvanti.SMSProtocol", QString::fromLatin1(smsFamily)}};
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kBluetooth),
                                            std::make_shared<QVariantMap>(dict), row, nullptr, makers);
        mirror = FilesMirror::mirrorWithDevice(*device, dir.path() + QStringLiteral("/phone.dzmir"));
        ASSERT_TRUE(mirror);
        archive = OrganizerArchive::archiveWithDevice(*device);
        ASSERT_TRUE(archive);
    }
    static int& serialCount()
    {
        static int count = 0;
        return count;
    }
    DZDataManager* manager() const { return dynamic_cast<DZDataManager*>(device->dataManager()); }

    // Posts the job and waits until it asked its kit, or ended.
    template <class Job>
    std::shared_ptr<Job> post(std::shared_ptr<Job> job)
    {
        job->setNotify(requester);
        ends.clear();
        job->addFeedBackNotification(this, [this](const platform::Notification& n) {
            const QVariant end = n.userInfo.value(QStringLiteral("QVFeedEndActionKey"));
            if (end.isValid())
                ends.append(end.toInt());
        });
        followed.push_back(job);
        EXPECT_TRUE(device->addAction(job));
        const qsizetype before = kit->calls.size();
        runUntil([&] { return kit->calls.size() > before || !ends.isEmpty(); }, 20.0, 0.05);
        return job;
    }
    bool waitForEnd(double seconds = 20.0)
    {
        return runUntil([&] { return !ends.isEmpty(); }, seconds, 0.05);
    }
    organizerKitAsync* organizerCallback() const { return static_cast<organizerKitAsync*>(kit->callback); }
    smsKitAsync* smsCallback() const { return static_cast<smsKitAsync*>(kit->callback); }

    QTemporaryDir dir;
    std::shared_ptr<KitLog> kit = std::make_shared<KitLog>();
    bool noKit = false;
    std::shared_ptr<jobs_test::RecordingNotify> requester = std::make_shared<jobs_test::RecordingNotify>();
    QList<int> ends;
    std::vector<std::shared_ptr<QVFeedBack>> followed;
    KitRules* rules = nullptr;
    std::unique_ptr<MFDevice> device;
    std::unique_ptr<FilesMirror> mirror;
    std::unique_ptr<OrganizerArchive> archive;
};

} // namespace kitjobs_test
