#pragma once

// A SyncML phone (phonesim on a pseudo-terminal, switched to SyncML with an
// AT command) with the program's data manager, files mirror and organizer
// archive, a window that records what the jobs ask of it, and the sync
// session the program installs. In virtual time.
#include "PhoneJobsTestSupport.h"

#include "DeviceDBTestSupport.h"
#include "SyncMLPhoneScript.h"
#include "ObexServer.h"

#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDB.h"
#include "device/SyncDescriptionServer.h"
#include "device/qvDeviceDB.h"
#include "phone/DZDataManager.h"
#include "phone/DeviceDocument.h"
#include "phone/DeviceWindowServices.h"
#include "phone/FilesMirror.h"
#include "phone/OrganizerArchive.h"
#include "phonejobs/ActionSyncMLServices.h"
#include "phonejobs/FileJobMakers.h"
#include "platform/NotificationCenter.h"
#include "sync/QVServerSyncSession.h"
#include "syncmodel/QVSyncElem.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVVCardElem.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

namespace syncmljob_test {

using namespace phonejobs_test;

inline const char kSyncMLJobRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase, CalendarDatabase, UseSAN,
    ProtocolClass)
    VALUES ('Job Server', '1.2', 'iSync/iSyncTwo', './contacts', './calendar', '1', 'ATObexServer-SyncML');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, CalendarDatabase, UseSAN, ProtocolClass,
    syncEvents, syncTasks, EventsDatabase, TasksDatabase)
    VALUES ('Job Events Tasks', '1.2', 'iSync', './calendar', '1', 'ATObexServer-SyncML', '1', '1', './Events',
    './Tasks');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, CalendarDatabase, UseSAN, ProtocolClass,
    syncEvents, syncTasks, EventsDatabase, TasksDatabase)
    VALUES ('Job Events', '1.2', 'iSync', './calendar', '1', 'ATObexServer-SyncML', '1', '0', './Events', './Tasks');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, CalendarDatabase, UseSAN, ProtocolClass,
    syncEvents, syncTasks, EventsDatabase, TasksDatabase)
    VALUES ('Job Tasks', '1.2', 'iSync', './calendar', '1', 'ATObexServer-SyncML', '0', '1', './Events', './Tasks');
INSERT INTO SyncML (SyncMLProtocol, SyncMLVersion, SyncMLLocalSource, ContactDatabase, CalendarDatabase, UseSAN,
    ProtocolClass, syncContacts, syncCalendar)
    VALUES ('Job Syncs Both', '1.2', 'iSync/iSyncTwo', './contacts', './calendar', '1', 'ATObexServer-SyncML', '1',
    '1');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol) VALUES ('32001', 'J+1', 'J1', 'Job Server');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('32005', 'J+5', 'J5', 'Job Syncs Both');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol)
    VALUES ('32002', 'J+2', 'J2', 'Job Events Tasks');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol) VALUES ('32003', 'J+3', 'J3', 'Job Events');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, SyncMLProtocol) VALUES ('32004', 'J+4', 'J4', 'Job Tasks');
)SQL";

struct SyncMLJobModel {
    const char* protocol;
    int deviceID;
};
inline constexpr SyncMLJobModel kSyncMLJobServer{"Job Server", 32001};
inline constexpr SyncMLJobModel kSyncMLJobEventsTasks{"Job Events Tasks", 32002};
inline constexpr SyncMLJobModel kSyncMLJobEvents{"Job Events", 32003};
inline constexpr SyncMLJobModel kSyncMLJobTasks{"Job Tasks", 32004};
// Contacts and calendar both wanted by the sync settings' type checks.
inline constexpr SyncMLJobModel kSyncMLJobBoth{"Job Syncs Both", 32005};

inline QString syncMLJobCard(const QString& last, int n)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:%1;Entry\r\nTEL;CELL:+4930%2\r\nEND:VCARD\r\n")
        .arg(last)
        .arg(1000 + n);
}

inline QString syncMLJobEvent(const QString& summary)
{
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:%1\r\n"
                          "DTSTART:20301212T100000Z\r\nDTEND:20301212T110000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
        .arg(summary);
}

// The phone's window: what the jobs asked of it, and when.
class SyncMLJobWindow : public DeviceDocument, public DeviceWindowServices {
public:
    void releaseArchive() override { }
    OrganizerArchive* recreateArchive() override { return nullptr; }
    DeviceWindowServices* deviceWindowServices() const override
    {
        return open ? const_cast<SyncMLJobWindow*>(this) : nullptr;
    }
    void displayErrorText(int kind, const QString& title, const QString& text) override
    {
        errors.append({kind, title, text});
    }
    void didDetectSyncGAU(int property) override
    {
        lostEntries.append(property);
        lostEntriesAt.append(now());
    }

    struct Error {
        int kind;
        QString title;
        QString text;
    };
    bool open = true;
    QList<Error> errors;
    QList<int> lostEntries;
    QList<double> lostEntriesAt;
};

// A requester that refuses to go on once the job reports the percent.
class SyncMLJobStoppingNotify : public RecordingNotify {
public:
    explicit SyncMLJobStoppingNotify(float stopAt) : stopAt(stopAt) { }
    bool processAction(QVAction& action, float percent) override
    {
        RecordingNotify::processAction(action, percent);
        return percent != stopAt;
    }
    float stopAt;
};

class SyncMLJobFixture : public PtyPhoneFixture {
protected:
    void SetUp() override
    {
        PtyPhoneFixture::SetUp();
        static const QString database = buildTestDeviceDB(QStringLiteral("syncmljob"), QString::fromUtf8(kSyncMLJobRows));
        ASSERT_FALSE(database.isEmpty());
        qvDeviceDB::setDefaultDatabasePath(database);
        qvDeviceDB::releaseSharedDeviceDB();
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
        QVServerSyncSession::installAsDeviceSessionMaker();
        platform::NotificationCenter::defaultCenter().addObserver(
            this, QLatin1String(ActionSyncMLServices::kSyncTooManyItems), nullptr,
            [this](const platform::Notification& note) { tooManyItems.append(note.userInfo); });
    }
    void TearDown() override
    {
        platform::NotificationCenter::defaultCenter().removeObserver(this);
        if (device)
            device->setDocument(nullptr);
        archive.reset();
        mirror.reset();
        PtyPhoneFixture::TearDown();
        MFDevice::setServerSyncSessionMaker({});
        qvDeviceDB::releaseSharedDeviceDB();
        qvDeviceDB::setDefaultDatabasePath(QString());
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
    }

    void open(const SyncMLJobModel& model = kSyncMLJobServer)
    {
        archive.reset();
        mirror.reset();
        device.reset();
        attachPhone("lg");
        auto dict = std::make_shared<QVariantMap>(QVariantMap{{"USB.VendorID", kVendor},
                                                              {"USB.ProductID", kProduct},
                                                              {"Common.SerialNo", kSerial},
                                                              {"Common.qvDeviceID", model.deviceID}});
        const QVariantMap row{{"Dorvanti.Manufacturer", "Phone Maker"},
                              {"Dorvanti.Model", "Phone"},
                              {"Dorvanti.SyncMLProtocol", model.protocol}};
        MFDevice::Makers makers;
        makers.dataManager = [](MFDevice& d) { return std::make_unique<DZDataManager>(d, filejobs::makers()); };
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kUSBSerial), dict, row, nullptr, makers);
        mirror = FilesMirror::mirrorWithDevice(*device, dir.path() + QStringLiteral("/phone.dzmir"));
        ASSERT_TRUE(mirror);
        archive = OrganizerArchive::archiveWithDevice(*device);
        ASSERT_TRUE(archive);
        device->setDocument(&window);
    }
    DZDataManager* manager() const { return dynamic_cast<DZDataManager*>(device->dataManager()); }

    void phoneRuns(const std::shared_ptr<phonesim::SyncMLPhoneScript>& script)
    {
        sim->modifyObexServer([&](phonesim::ObexServer& server) { script->install(server); });
    }
    std::shared_ptr<ActionSyncMLServices> job(int property, bool slow = false)
    {
        return ActionSyncMLServices::actionForProperty(property, slow, requester, QVariant(), false);
    }
    // Posts the job and waits for its end; the code its requester heard.
    int run(const std::shared_ptr<QVAction>& action, double seconds = 240.0)
    {
        const size_t before = requester->endCodes().size();
        EXPECT_TRUE(device->addAction(action));
        EXPECT_TRUE(runUntil([&] { return requester->endCodes().size() > before; }, seconds));
        endedAt = now();
        return requester->endCodes().size() > before ? requester->endCodes().back() : -999;
    }
    // Lets the device give the SyncML link back after a run.
    void settle() { runUntil([&] { return !device->isSyncMLActive(); }, 60); }
    QStringList archiveTexts(int type) const
    {
        QStringList texts;
        for (const auto& elem : archive->storage(type)->elemsList())
            if (!elem->isDeleted()) {
                if (auto* contact = dynamic_cast<QVVCardElem*>(elem.get()))
                    texts << contact->foreignVCardRepresentation(false);
                else
                    texts << elem->vxData().toString();
            }
        return texts;
    }
    void addOnDesktop(int type, const QString& text, const QString& id)
    {
        QVSyncElemList* list = archive->storage(type);
        const auto fresh = list->createNewElem(text, id, QString(), {}, {});
        ASSERT_TRUE(fresh);
        fresh->setProperty(type);
        list->addObject(fresh);
    }

    QTemporaryDir dir;
    std::unique_ptr<FilesMirror> mirror;
    std::unique_ptr<OrganizerArchive> archive;
    SyncMLJobWindow window;
    std::shared_ptr<RecordingNotify> requester = std::make_shared<RecordingNotify>();
    QList<QVariantMap> tooManyItems;
    double endedAt = -1;
};

} // namespace syncmljob_test
