#include "TrashTestSupport.h"
#include "VirtualTime.h"

#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "syncmodel/QVSyncElemList.h"

#include <QFileInfo>

#include <cstdlib>

using namespace trashtest;

namespace {

class TrashStoreTest : public TrashTest { };

QDateTime storeNow()
{
    return platform::Clock::instance().currentDateTime();
}

} // namespace

TEST_F(TrashStoreTest, ExpiryKeepsExactlyThePeriodAndDropsOneSecondMore)
{
    struct Case {
        QVariant setting; // "Empty trash after"
        qint64 days;      // the period in force
    };
    for (const Case& c : {Case{QVariant(), 61}, Case{QVariant(0), 61}, Case{QVariant(5), 5}}) {
        platform::UserDefaults::standard().setObject(QStringLiteral("Empty trash after"), c.setting);
        const qint64 period = c.days * 86400;
        const QDateTime now = storeNow();
        writeFile({fileEntry(contactText("Kept", "A"), 0, now.addSecs(-period + 2)),
                   fileEntry(contactText("Dropped", "B"), 0, now.addSecs(-period - 1))});
        // The load reads the clock when it starts: two seconds early makes
        // the first entry exactly period seconds old.
        const TrashManager::Loaded loaded = TrashManager::loadTrashFile(fileName, period, now.addSecs(2));
        ASSERT_EQ(loaded.elems.size(), 1) << c.days;
        EXPECT_TRUE(loaded.droppedExpired);
        EXPECT_EQ(loaded.elems.first()->getTitleForList(), "A Kept");

        // The store writes the file at termination without other changes.
        TrashManager store(fileName);
        store.readFromDisk();
        EXPECT_EQ(store.count(), 1);
        EXPECT_TRUE(store.isDirty());
        EXPECT_TRUE(store.writeToDisk());
        EXPECT_EQ(storedEntries().size(), 1);
    }
}

TEST_F(TrashStoreTest, EntriesRoundTripThroughTheFile)
{
    TrashManager store(fileName);
    store.readFromDisk();
    EXPECT_FALSE(store.writeToDisk()) << "a first start that trashed nothing writes nothing";
    EXPECT_FALSE(QFileInfo::exists(fileName));

    store.putItemToTrash(contact("Berg", "Carl"), testPhone(), false);
    store.putItemToTrash(fromText(event("Dentist")), testPhone(), true);
    EXPECT_TRUE(store.writeToDisk());
    EXPECT_FALSE(store.writeToDisk()) << "unchanged since the write";

    const QVariantMap root = platform::plist::readFile(fileName).toMap();
    EXPECT_EQ(root.value("Version"), QVariant(QStringLiteral("1")));
    const QVariantList entries = root.value("TrashList").toList();
    ASSERT_EQ(entries.size(), 2);
    const QVariantMap first = entries.at(0).toMap();
    EXPECT_EQ(first.value("deviceName"), "Anna's phone");
    EXPECT_EQ(first.value("deviceID"), "42");
    EXPECT_EQ(first.value("deviceIdentifier"), "LG+KU990");
    EXPECT_EQ(first.value("property").toInt(), 0);
    EXPECT_EQ(first.value("isConflict"), QVariant(false));
    EXPECT_TRUE(first.value("vxData").toString().contains("N:Berg;Carl"));
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}$")
                    .match(first.value("trashedDate").toString())
                    .hasMatch());
    EXPECT_EQ(entries.at(1).toMap().value("property").toInt(), 1);
    EXPECT_EQ(entries.at(1).toMap().value("isConflict"), QVariant(true));

    TrashManager again(fileName);
    EXPECT_TRUE(again.readFromDisk());
    ASSERT_EQ(again.count(), 2);
    EXPECT_EQ(again.objectAtIndex(0)->getTitleForList(), store.objectAtIndex(0)->getTitleForList());
    EXPECT_EQ(again.objectAtIndex(0)->trashedDate().toSecsSinceEpoch(),
              store.objectAtIndex(0)->trashedDate().toSecsSinceEpoch());
    EXPECT_TRUE(again.objectAtIndex(1)->isConflict());
    EXPECT_FALSE(again.isDirty());
    EXPECT_FALSE(again.writeToDisk()) << "a store unchanged since the load writes nothing";

    // For the plistlib check: the file as the store wrote it.
    if (const char* out = std::getenv("MARVESTO_TRASH_FILE_OUT")) {
        ASSERT_TRUE(QFile::copy(fileName, QString::fromLocal8Bit(out)));
    }
}

TEST_F(TrashStoreTest, EveryChangeMarksTheStoreForWriting)
{
    struct Case {
        const char* what;
        std::function<void(TrashManager&)> change;
    };
    const std::vector<Case> cases = {
        {"deleteElem", [](TrashManager& s) { s.deleteElem(s.objectAtIndex(0)); }},
        {"deleteElemsFromList", [](TrashManager& s) { s.deleteElemsFromList({s.objectAtIndex(1)}); }},
        {"setList", [](TrashManager& s) { s.setList(s.getList().mid(1)); }},
        {"emptyTrash", [](TrashManager& s) { s.emptyTrash(); }},
        {"deleteAllURIs", [](TrashManager& s) { s.deleteAllURIs(); }},
    };
    for (const Case& c : cases) {
        {
            TrashManager store(fileName);
            store.putItemToTrash(contact("Berg", "Carl"), testPhone(), false);
            store.putItemToTrash(contact("Lee", "Ann"), testPhone(), false);
            ASSERT_TRUE(store.writeToDisk());
        }
        TrashManager store(fileName);
        store.readFromDisk();
        ASSERT_FALSE(store.isDirty());
        c.change(store);
        EXPECT_TRUE(store.isDirty()) << c.what;
        EXPECT_TRUE(store.writeToDisk()) << c.what;
        TrashManager reread(fileName);
        reread.readFromDisk();
        EXPECT_EQ(reread.count(), store.count()) << c.what << ": the change reached the file";
    }
}

TEST_F(TrashStoreTest, DeleteAllURIsClearsEveryPhoneIdAndNotifies)
{
    TrashManager store(fileName);
    store.putItemToTrash(contact("Berg", "Carl"), testPhone(), false);
    store.putItemToTrash(fromText(event("Dentist"), "Phone", QStringLiteral("9")), testPhone(), false);
    ASSERT_FALSE(store.objectAtIndex(0)->syncElem()->sourceURI().isEmpty());
    int notified = 0;
    const auto token = platform::NotificationCenter::defaultCenter().addObserver(
        this, QStringLiteral("QV-TrashListHasChanged-Notification"), nullptr, [&](auto&) { ++notified; });
    store.deleteAllURIs();
    platform::NotificationCenter::defaultCenter().removeObserver(token);
    for (const TrashElemPtr& elem : store.elems())
        EXPECT_TRUE(elem->syncElem()->sourceURI().isEmpty());
    EXPECT_EQ(notified, 1);
}

TEST_F(TrashStoreTest, AnItemTrashedDuringTheLoadIsKeptOnce)
{
    QVariantList entries;
    for (int i = 0; i < 200; ++i)
        entries.append(fileEntry(contactText(QStringLiteral("Stored%1").arg(i), "X"), 0, storeNow()));
    writeFile(entries);

    TrashManager store(fileName);
    store.readFromDiskThread();
    store.putItemToTrash(contact("During", "Load"), testPhone(), false);
    {
        // The loader is a real thread: each pass of the wait gives it time.
        testing_support::OutsideInputScope outside(0.01);
        ASSERT_TRUE(testing_support::runUntil([&] { return !store.isLoading(); }, 300));
    }
    testing_support::runFor(0.1); // the queued hand-over after the join finds nothing
    ASSERT_EQ(store.count(), 201);
    int during = 0;
    for (const TrashElemPtr& elem : store.elems())
        during += elem->getTitleForList() == "Load During";
    EXPECT_EQ(during, 1);
    EXPECT_EQ(store.elems().last()->getTitleForList(), "Load During");

    // A write while the load still runs keeps the stored entries.
    TrashManager second(fileName);
    second.readFromDiskThread();
    second.putItemToTrash(contact("Quick", "Quit"), testPhone(), false);
    ASSERT_TRUE(second.writeToDisk());
    EXPECT_EQ(storedEntries().size(), 201);
}

TEST_F(TrashStoreTest, DamagedOrStrangeFilesNeverCrashAndLoseNothingReadable)
{
    // Not a property list: moved aside (an older one replaced), empty trash.
    {
        QFile bad(fileName + ".bad");
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("older");
    }
    {
        QFile file(fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\"?><plist><dict><key>TrashList</key><array><dict>");
    }
    TrashManager store(fileName);
    EXPECT_FALSE(store.readFromDisk());
    EXPECT_EQ(store.count(), 0);
    EXPECT_FALSE(QFileInfo::exists(fileName));
    QFile moved(fileName + ".bad");
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(moved.readAll().startsWith("<?xml"));

    // A root without a list of entries: the same.
    ASSERT_TRUE(platform::plist::writeFile(fileName, QVariantList{1, 2}));
    EXPECT_FALSE(TrashManager::loadTrashFile(fileName, 86400, storeNow()).listRead);
    EXPECT_TRUE(QFileInfo::exists(fileName + ".bad"));

    // A folder in its place is not read (and left alone).
    ASSERT_TRUE(QDir().mkpath(fileName));
    EXPECT_FALSE(TrashManager::loadTrashFile(fileName, 86400, storeNow()).listRead);
    EXPECT_TRUE(QFileInfo(fileName).isDir());
    ASSERT_TRUE(QDir(fileName).removeRecursively());
}

TEST_F(TrashStoreTest, BadEntriesAreSkippedOneByOne)
{
    const QDateTime now = storeNow();
    auto with = [&](const char* key, const QVariant& value) {
        QVariantMap entry = fileEntry(contactText("Bad", "Entry"), 0, now);
        if (value.isValid())
            entry.insert(QLatin1String(key), value);
        else
            entry.remove(QLatin1String(key));
        return QVariant(entry);
    };
    writeFile({fileEntry(contactText("Good", "First"), 0, now), with("vxData", QVariant()), with("deviceName", 5),
               with("trashedDate", "yesterday"), with("trashedDate", "2024-02-30 10:00:00 +0100"),
               with("isConflict", "no"), with("property", "0"), with("vxData", "no card in here"),
               QVariant(QStringLiteral("not a dictionary")), fileEntry(contactText("Good", "Second"), 0, now),
               fileEntry(QStringLiteral("a note"), -1, now)},
              QStringLiteral("7"));
    TrashManager store(fileName);
    EXPECT_TRUE(store.readFromDisk());
    ASSERT_EQ(store.count(), 3);
    EXPECT_EQ(store.objectAtIndex(0)->getTitleForList(), "First Good");
    EXPECT_EQ(store.objectAtIndex(1)->getTitleForList(), "Second Good");
    // Another item class: listed as "???", gone after the next write, which
    // is of version "1".
    EXPECT_EQ(store.objectAtIndex(2)->getTitleForList(), "???");
    EXPECT_FALSE(store.objectAtIndex(2)->getFieldsAndContents());
    store.deleteElem(store.objectAtIndex(0));
    ASSERT_TRUE(store.writeToDisk());
    EXPECT_EQ(storedEntries().size(), 1);
    EXPECT_EQ(platform::plist::readFile(fileName).toMap().value("Version"), QVariant(QStringLiteral("1")));
}

TEST_F(TrashStoreTest, TheItemListsHandTheirItemsHere)
{
    TrashManager store(fileName);
    ItemTrash& trash = store;
    auto removed = contact("Berg", "Carl");
    trash.putItemToTrash(removed, QStringLiteral("Somebody's phone"), true);
    ASSERT_EQ(store.count(), 1);
    const TrashElemPtr elem = store.objectAtIndex(0);
    EXPECT_NE(elem->syncElem(), removed) << "the trash keeps a copy";
    EXPECT_EQ(elem->deviceName(), "Somebody's phone");
    EXPECT_TRUE(elem->isConflict());
    EXPECT_EQ(elem->getType(), 0);

    // A list's snapshot of the trash comes back as it was.
    const QVariantList snapshot = trash.getList();
    store.emptyTrash();
    trash.setList(snapshot);
    ASSERT_EQ(store.count(), 1);
    EXPECT_EQ(store.objectAtIndex(0), elem);
}

TEST_F(TrashStoreTest, EntryTextsAndSortValues)
{
    const QDateTime trashed(QDate(2024, 3, 7), QTime(9, 5, 30), Qt::LocalTime);
    const TrashElem elem(contact("Berg", "Carl"), testPhone(), true, trashed);
    EXPECT_EQ(elem.formattedDate(), "07. Mar 24, 09:05");
    EXPECT_EQ(elem.valueForKey("title"), "Carl Berg");
    EXPECT_EQ(elem.valueForKey("type"), 1);
    EXPECT_EQ(elem.valueForKey("date"), trashed);
    EXPECT_EQ(elem.valueForKey("phone"), "Anna's phone");
    EXPECT_FALSE(elem.valueForKey("other").isValid());
    const auto details = elem.getFieldsAndContents();
    ASSERT_TRUE(details);
    EXPECT_EQ(details->fields.size(), details->contents.size());
    EXPECT_FALSE(details->fields.isEmpty());

    // The file's date text, the zone offset included, reads back to the
    // same moment; texts that are not such a date read as none.
    for (const QDateTime& date : {trashed, QDateTime(QDate(2024, 7, 1), QTime(23, 59, 59), Qt::UTC)}) {
        const QString text = TrashElem::dateDescription(date);
        EXPECT_EQ(TrashElem::dateFromDescription(text), date) << text.toStdString();
    }
    EXPECT_EQ(TrashElem::dateDescription(trashed), "2024-03-07 09:05:30 +0100");
    for (const char* text : {"", "2024-03-07 09:05:30", "2024-03-07T09:05:30 +0100", "2024-13-07 09:05:30 +0100",
                             "2024-03-07 09:05:30 +2400"})
        EXPECT_FALSE(TrashElem::dateFromDescription(QLatin1String(text)).isValid()) << text;
}
