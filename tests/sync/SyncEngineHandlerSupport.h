#pragma once

// Shared set-up of the phone client's tests: a real phone object of a test
// device database (the shipped sync protocol rows and a few of the tests'
// own), its item lists in a small data manager, and its handler over a hub in
// a temporary folder; a second client ("desktop") stands for the other side.

#include "DeviceDBTestSupport.h"
#include "SyncEngineFixture.h"
#include "VirtualTime.h"

#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "phone/DeviceDataManager.h"
#include "phone/MFDevice.h"
#include "phone/SharedSyncInfo.h"
#include "phone/SynchronizationFeedbackConsumer.h"
#include "platform/NotificationCenter.h"
#include "sync/SyncEngineHandler.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/QVSyncElemList.h"

#include <QFile>
#include <QTextStream>

#include <array>

namespace handler_test {

using namespace syncengine_test;

inline const QStringList kContactNames{entity::Contact,      entity::PhoneNumber, entity::StreetAddress,
                                       entity::EmailAddress, entity::URL,         entity::Group};

// The tests' own rows: one without a client description, one naming a
// description only a "-Leo" file has, one whose file does not read, and one
// that also syncs notes and bookmarks.
inline const char kHandlerRows[] = R"SQL(
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, syncContacts, syncCalendar)
    VALUES ('Plain Phone', 'ATSerial-LG', '2.1', 'UTF-8', '1', '1');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, syncContacts, syncCalendar, SyncSchemaFile)
    VALUES ('Leo Phone', 'ATSerial-LG', '2.1', 'UTF-8', '1', '1', 'LeoOnly');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, syncContacts, syncCalendar, SyncSchemaFile)
    VALUES ('Broken Phone', 'ATSerial-LG', '2.1', 'UTF-8', '1', '1', 'Broken');
INSERT INTO SyncML (SyncMLProtocol, ProtocolClass, VCardVersion, Charset, syncContacts, syncCalendar, syncNotes,
    syncBookmarks, SyncSchemaFile)
    VALUES ('Every Phone', 'ATSerial-LG', '2.1', 'UTF-8', '1', '1', '1', '1', 'AllFour');
)SQL";

class HandlerEngineInfo : public SharedSyncInfo {
public:
    bool isBusy() const override { return false; }
    void announceQuit() override { }
};

// The archive's item lists as the handler reaches them.
class HandlerLists : public DeviceDataManager {
public:
    explicit HandlerLists(MFDevice& device) : m_device(device) { }
    void saveFinderState() override { }
    void loadFinderState() override { }
    FilesMirror* mirror() const override { return nullptr; }
    OrganizerArchive* archive() const override { return nullptr; }
    bool hasChangesForSyncEngine(int) const override { return false; }
    QVSyncElemList* syncEngineList(int type) const override { return lists[type].get(); }
    QVSyncElemList* createEmptySyncEngineList(int type) override
    {
        lists[type] = std::make_unique<QVSyncElemList>(type, &m_device);
        return lists[type].get();
    }
    QVSyncElemList& make(int type) { return *createEmptySyncEngineList(type); }

    std::array<std::unique_ptr<QVSyncElemList>, 4> lists;

private:
    MFDevice& m_device;
};

// A busy sheet that counts what it is told; closed after closeAfterPolls polls
// (never with -1).
class FakeBusySheet : public SynchronizationFeedbackConsumer {
public:
    int closeAfterPolls = -1;
    int polls = 0;
    int increments = 0;
    int started = 0;
    int ended = 0;
    QStringList messages;

    BusyModalSession* startBusyModalSession(QWidget*, int) override
    {
        ++started;
        return nullptr;
    }
    std::function<void()> onPoll;

    int pollBusyModalSession(BusyModalSession*) override
    {
        ++polls;
        if (onPoll)
            onPoll();
        return closeAfterPolls >= 0 && polls > closeAfterPolls ? 0 : SyncEngineHandler::kPollContinues;
    }
    void endBusyModalSession(BusyModalSession*) override { ++ended; }
    void doProgressBusyIncrement(double step) override { increments += int(step); }
    void doProgressBusyMessage(const QString& text) override
    {
        messages.append(text);
        if (onMessage)
            onMessage();
    }
    std::function<void()> onMessage;
};

// The shipped sync protocol rows, the families and the LG models.
inline QString shippedSyncRows()
{
    QString rows;
    for (const char* name : {"10-syncml.sql", "20-families.sql", "30-lg.sql"}) {
        QFile file(QStringLiteral(MARVESTO_SOURCE_DIR "/data/devicedb/") + QLatin1String(name));
        if (file.open(QIODevice::ReadOnly))
            rows += QString::fromUtf8(file.readAll()) + u'\n';
    }
    return rows;
}

class HandlerFixture : public SyncEngineFixture {
protected:
    static void SetUpTestSuite()
    {
        s_dbPath = buildTestDeviceDB(QStringLiteral("sync-handler"), shippedSyncRows() + QLatin1String(kHandlerRows));
        ASSERT_FALSE(s_dbPath.isEmpty());
    }
    void SetUp() override
    {
        SyncEngineFixture::SetUp();
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(db->openDB(s_dbPath));
        SyncDeviceLimits::setResolver([db = db](const QString& protocol) -> std::shared_ptr<SyncDeviceLimits> {
            auto description = std::make_shared<QVSyncDeviceDescription>(db);
            if (description->setupFromProtocol(protocol) != 0)
                return nullptr;
            return std::make_shared<DeviceDescriptionLimits>(description);
        });
        // The tests' descriptions beside the shipped ones.
        const QString own = folder() + QStringLiteral("/descriptions");
        QDir().mkpath(own);
        writeDescription(own + QStringLiteral("/LeoOnly-Leo.plist"), kContactNames);
        QStringList four = kContactNames;
        four << entity::Calendar << entity::Event << entity::Note << entity::Bookmark << entity::BookmarkFolder;
        writeDescription(own + QStringLiteral("/AllFour.plist"), four);
        QFile broken(own + QStringLiteral("/Broken.plist"));
        EXPECT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("<plist><dict><key>Entities");
        SyncEngineHandler::setDescriptionFolders({QStringLiteral(":/syncclients"), own});
        ASSERT_TRUE(QVLogCreateAndOpen(QLatin1String(qvlog::kXT)));
        logStart = logText().size();
    }
    void TearDown() override
    {
        device.reset();
        SyncEngineHandler::setDescriptionFolders({});
        SyncDeviceLimits::setResolver({});
        QVSyncDeviceDB::sharedSyncDeviceDB().reset();
        SyncEngineFixture::TearDown();
    }

    static void writeDescription(const QString& path, const QStringList& entities)
    {
        QVariantList list;
        for (const QString& e : entities)
            list.append(e);
        EXPECT_TRUE(platform::plist::writeFile(path, QVariantMap{{platform::ISyncClientDescriptionEntitiesKey, list}}));
    }

    // Contacts and calendar both ways; notes and bookmarks as given.
    static QVariantMap environment(int contacts = 3, int calendar = 3, int notes = 0, int bookmarks = 0)
    {
        return {{"SyncEngineEnabled", true},
                {"Contacts", QVariantMap{{"SyncMode", contacts}}},
                {"Calendar", QVariantMap{{"SyncMode", calendar}}},
                {"Notes", QVariantMap{{"SyncMode", notes}}},
                {"Bookmarks", QVariantMap{{"SyncMode", bookmarks}}}};
    }

    MFDevice& makeDevice(const char* protocol = "Protocol LG", const QVariantMap& syncEnvironment = environment())
    {
        device.reset();
        auto description = std::make_shared<QVSyncDeviceDescription>(db);
        EXPECT_EQ(description->setupFromProtocol(QLatin1String(protocol)), 0);
        MFDevice::Makers makers;
        makers.generalSyncInfo = [this] { return &engineInfo; };
        makers.syncEngineHandler = [this](MFDevice& d) -> std::unique_ptr<DeviceSyncEngineHandler> {
            return SyncEngineHandler::initWithMFDevice(d, manager());
        };
        makers.dataManager = [this](MFDevice& d) {
            auto made = std::make_unique<HandlerLists>(d);
            lists = made.get();
            return made;
        };
        const QVariantMap row{{"Dorvanti.Model", "KU990"},
                              {"Dorvanti.Manufacturer", "LG"},
                              {"Dorvanti.SyncMLProtocol", description->protocol()}};
        auto dict = std::make_shared<QVariantMap>(QVariantMap{{"Common.SerialNo", "1234"},
                                                              {"Common.DeviceName", "Ann's phone"},
                                                              {"Common.SyncEnvironment", syncEnvironment}});
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage), dict, row, description,
                                            std::move(makers));
        return *device;
    }
    SyncEngineHandler* handler() const
    {
        return device ? static_cast<SyncEngineHandler*>(device->syncEngineHandler()) : nullptr;
    }
    std::shared_ptr<ISyncClient> phoneClient()
    {
        return manager().clientWithIdentifier(QStringLiteral("com.marvesto.MarvestoZODA.KU990-1234"));
    }
    bool runEnds()
    {
        return testing_support::runUntil([this] { return handler() && !handler()->isBusy(); });
    }

    // The other side of the hub.
    std::shared_ptr<ISyncClient> desktop()
    {
        if (!m_desktop) {
            m_desktop = registerClient(QStringLiteral("desktop"), kContactNames);
            sync(m_desktop, {}, {}, kContactNames);
        }
        return m_desktop;
    }

    static QByteArray logText()
    {
        QFile log(QVPathForLogFile(QStringLiteral("XT.log")));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }
    QByteArray newLog() const { return logText().mid(logStart); }
    int logged(const QString& text) const { return int(newLog().count(text.toUtf8())); }

    static inline QString s_dbPath;
    std::shared_ptr<qvDeviceDB> db;
    HandlerEngineInfo engineInfo;
    HandlerLists* lists = nullptr;
    std::unique_ptr<MFDevice> device;
    qsizetype logStart = 0;

private:
    std::shared_ptr<ISyncClient> m_desktop;
};

} // namespace handler_test
