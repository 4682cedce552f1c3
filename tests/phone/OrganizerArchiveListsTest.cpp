#include "OrganizerArchiveFixture.h"

#include "phone/OrganizerStorage.h"
#include "platform/NotificationCenter.h"
#include "syncmodel/QVSmsElem.h"
#include "syncmodel/QVSyncElemList.h"

#include <QFile>

using namespace archivetest;

namespace {

class OrganizerArchiveListsTest : public Fixture {
protected:
    QString statePath(int type) const { return archive->pathNameForSyncState(type); }
};

TEST_F(OrganizerArchiveListsTest, NamesAndCounts)
{
    EXPECT_EQ(OrganizerArchive::dbIndexForName("Events"), -1) << "only the five held types are searched";
    EXPECT_EQ(OrganizerArchive::dbIndexForName(QString()), -1);
    EXPECT_EQ(OrganizerArchive::dbIndexForName("Bookmarks"), 3);
    EXPECT_EQ(OrganizerArchive::dbName(5), "Events");
    EXPECT_EQ(OrganizerArchive::storageName(4), "SMS");

    makeDevice(false);
    open();
    EXPECT_EQ(archive->elemCount(7), 0);
    EXPECT_EQ(archive->elemCount(5), 0) << "no list until one is made";
    archive->createEmptyStorage(5);
    ASSERT_TRUE(archive->storage(5));
    EXPECT_FALSE(archive->organizerStorage(5)) << "the device reaches types 0-4 only";
    ASSERT_TRUE(archive->organizerStorage(0));
    EXPECT_EQ(manager->organizerStorage(0), archive->organizerStorage(0));
    EXPECT_EQ(manager->archive(), archive.get());

    // SMS on the phone, one in a local box, one without a phone id.
    archive->storage(4)->enterSMS(QVariantList{
        QVariantMap{{"SMS-Type", "inbox"}, {"Date", "20240101T100000"}, {"Text", "a"}},
        QVariantMap{{"SMS-Type", "inbox"}, {"Date", "20240101T100001"}, {"_BoxIsLocal_", 1}},
        QVariantMap{{"SMS-Type", "sent"}, {"Text", "c"}}});
    EXPECT_EQ(archive->elemCount(4), 3);
    EXPECT_EQ(archive->elemOnDeviceCount(4), 1);
    EXPECT_EQ(archive->elemOnDeviceCount(9), 0);
    archive.reset();
    EXPECT_EQ(manager->archive(), nullptr) << "the archive leaves its data manager";
}

TEST_F(OrganizerArchiveListsTest, StoredDictionariesAreEditedByTheirFirstEntry)
{
    QVariantMap storage{{"Items", QVariantList{contact("1", "a"), contact("2", "b"), contact("1", "c")}}, {"SyncML-Device", "x"}};
    OrganizerArchive::deleteItemInDictionary(storage, "1");
    OrganizerArchive::replaceItemInDictionary(storage, "1", "new");
    OrganizerArchive::replaceItemInDictionary(storage, "3", "added");
    const QVariantList items = storage.value("Items").toList();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items.at(1).toMap(), (QVariantMap{{"SourceURI", "1"}, {"vx-Data", "new"}}));
    EXPECT_EQ(items.at(2).toMap(), (QVariantMap{{"SourceURI", "3"}, {"vx-Data", "added"}}));
    EXPECT_EQ(storage.value("SyncML-Device"), "x");
}

TEST_F(OrganizerArchiveListsTest, SyncStatesOfEngineTypesAreSavedAndReadBack)
{
    engineTypes = {0, 1, 2, 3, 4};
    makeDevice(false);
    open();
    ASSERT_TRUE(handler);
    addContact("1", "Ann");
    archive->saveAllSyncStates();
    for (int type : {0, 1, 2, 3})
        EXPECT_TRUE(QFile::exists(statePath(type))) << type;
    EXPECT_FALSE(QFile::exists(statePath(4))) << "SMS never";
    EXPECT_TRUE(statePath(0).endsWith("/Other Data/SyncEngine-State-Contacts"));
    EXPECT_EQ(plistlibError(statePath(0)), "");

    const auto saved = archive->storage(0)->syncDictionaryForFile();
    const auto loaded = archive->loadCurrentSyncState(0);
    ASSERT_TRUE(saved && loaded);
    EXPECT_EQ(loaded->syncDictionaryForFile(), saved);

    // Reopened, the contacts come from their state, not from the working file.
    reopen();
    EXPECT_EQ(archive->elemCount(0), 1);

    // A type no longer synced with the engine loses its file.
    rules->engineTypes = {1, 2, 3};
    archive->saveCurrentSyncState(0);
    EXPECT_FALSE(QFile::exists(statePath(0)));
    EXPECT_EQ(manager->pathNameForSyncState(0), QString()) << "the fixture's manager is the interface's default";

    // An unreadable state counts as none.
    QFile damaged(statePath(1));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("<plist><dict>");
    damaged.close();
    EXPECT_FALSE(archive->loadCurrentSyncState(1));
}

TEST_F(OrganizerArchiveListsTest, DirtinessAsksForTheListsThatCannotWait)
{
    makeDevice(false);
    open();
    bool canDiscard = false;
    EXPECT_FALSE(archive->isSomethingDirty(&canDiscard));
    EXPECT_TRUE(canDiscard) << "nothing dirty: may be discarded";
    EXPECT_EQ(archive->whatIsDirty(), "");

    addContact("", "New");   // not on the phone yet
    archive->storage(1)->addVXDataItem(QString(), "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:x\r\n"
                                                  "DTSTART:20240101T100000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
                                       QString());
    canDiscard = false;
    EXPECT_TRUE(archive->isSomethingDirty(&canDiscard));
    EXPECT_TRUE(canDiscard) << "not a sync-engine list";
    EXPECT_EQ(archive->whatIsDirty(), "Contacts, Calendar");
}

TEST_F(OrganizerArchiveListsTest, EnteredSMSAreAnnouncedOnce)
{
    makeDevice(false);
    open();
    QStringList posted;
    QList<QVariantMap> newSMS;
    auto& center = platform::NotificationCenter::defaultCenter();
    for (const char* name : {"DZ-DatabaseSynced", "OrganizerMarkReadChangedNotify", "OrganizerReciveNewSMSNotify"})
        center.addObserver(this, name, device.get(), [&](const platform::Notification& note) {
            posted.append(note.name);
            if (note.name == "OrganizerReciveNewSMSNotify")
                newSMS.append(note.userInfo);
        });
    archive->enterSMS(QVariantList{QVariantMap{{"SMS-Type", "sent"}, {"Date", "20240101T090000"}, {"Text", "out"}},
                                   QVariantMap{{"SMS-Type", "inbox"}, {"Date", "20240101T100000"}, {"Text", "first"}},
                                   QVariantMap{{"SMS-Type", "inbox"}, {"Date", "20240101T110000"}, {"Text", "second"}}},
                      4);
    center.removeObserver(this);
    EXPECT_EQ(archive->elemCount(4), 3);
    EXPECT_EQ(posted, (QStringList{"DZ-DatabaseSynced", "OrganizerMarkReadChangedNotify", "OrganizerReciveNewSMSNotify"}));
    ASSERT_EQ(newSMS.size(), 1);
    EXPECT_EQ(newSMS.at(0).value("Text"), "first");
    EXPECT_TRUE(newSMS.at(0).contains("SMSSelfKey"));
    EXPECT_EQ(archive->getUnreadedSMS_Count(), 3);
    std::dynamic_pointer_cast<QVSmsElem>(archive->storage(4)->objectAtIndex(0))->setMarkedRead(true);
    EXPECT_EQ(archive->getUnreadedSMS_Count(), 2);
}

TEST_F(OrganizerArchiveListsTest, TheFirstReadFromTheEngineRetriesWhileItIsBusy)
{
    engineTypes = {0};
    answers = {-2, -2, -2, 0};
    makeDevice(false);
    open();
    ASSERT_TRUE(handler);
    ASSERT_EQ(handler->calls.size(), 4);
    for (int i = 1; i < 4; ++i)
        EXPECT_NEAR(handler->calls.at(i) - handler->calls.at(i - 1), 0.25, 0.01);
    EXPECT_EQ(feedback.steps, (QStringList{"show", "message Retrieving data from the desktop sync engine…", "increment",
                                           "increment", "increment", "hide"}));
    EXPECT_TRUE(handler->slowMode.value(0)) << "no stored state: slow";
    EXPECT_FALSE(handler->slowMode.value(1));
    EXPECT_GE(handler->notifierEnabled, 1);
}

TEST_F(OrganizerArchiveListsTest, WhatTheFirstReadBroughtIsKeptWithTheStoredItems)
{
    engineTypes = {0};
    // The read makes the type's list, as the phone's sync client does, and
    // fills it with a record of the engine.
    onRead = [this] {
        OrganizerArchive* opening = device->dataManager()->archive();
        ASSERT_TRUE(opening);
        opening->createEmptyStorage(0);
        opening->storage(0)->createNewElemWithUUID(QStringLiteral("engine-record"));
    };
    makeDevice(false);
    open();
    ASSERT_EQ(handler->calls.size(), 1);
    ASSERT_TRUE(archive->storage(0));
    EXPECT_TRUE(archive->storage(0)->objectForUUID(QStringLiteral("engine-record")));
}

TEST_F(OrganizerArchiveListsTest, AnEngineBusyForeverEndsAtTheBound)
{
    engineTypes = {0, 1};
    busyForever = true;
    makeDevice(false);
    const double start = platform::Clock::instance().now();
    open();
    ASSERT_TRUE(archive);
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler->calls.size(), 241);
    EXPECT_NEAR(platform::Clock::instance().now() - start, 60.0, 0.5);
    EXPECT_EQ(feedback.steps.constLast(), "hide");
    EXPECT_TRUE(handler->slowMode.value(0) && handler->slowMode.value(1)) << "the types stay in slow mode";
}

} // namespace

#include "phone/DZDataManager.h"

namespace {

TEST_F(OrganizerArchiveListsTest, ThePhonesDataManagerAnswersFromTheArchive)
{
    makers.dataManager = [](MFDevice& phone) { return std::make_unique<DZDataManager>(phone, DZFileJobMakers{}); };
    engineTypes = {0};
    makeDevice(false);
    DeviceDataManager* real = device->dataManager();
    ASSERT_TRUE(real);
    EXPECT_EQ(real->organizerStorage(0), nullptr) << "no archive yet";
    EXPECT_EQ(real->pathNameForSyncState(0), QString());
    open();
    EXPECT_EQ(real->archive(), archive.get());
    EXPECT_EQ(real->organizerStorage(0), archive->organizerStorage(0));
    EXPECT_EQ(real->pathNameForSyncState(1), archive->pathNameForSyncState(1));
    EXPECT_FALSE(real->hasChangesForSyncEngine(0));
    EXPECT_FALSE(real->hasChangesForSyncEngine(9));
    // The phone's sync-engine client reaches the archive's lists, and a new
    // empty list takes the old one's place.
    EXPECT_EQ(real->syncEngineList(0), archive->storage(0));
    EXPECT_EQ(real->syncEngineList(4), nullptr);
    QVSyncElemList* fresh = real->createEmptySyncEngineList(2);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh, archive->storage(2));
    EXPECT_EQ(fresh->allCount(), 0);
    archive.reset();
    EXPECT_EQ(real->syncEngineList(0), nullptr);
    EXPECT_EQ(real->archive(), nullptr);
}

} // namespace
