#include "SessionTestSupport.h"

#include "formats/VXDictionary.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVVCalendarElem.h"

using sessiontest::SessionTest;

namespace {

class ItemCommandsTest : public SessionTest {
protected:
    static QStringList summary(const QVCommandArray& commands)
    {
        QStringList lines;
        for (int i = 0; i < commands.count(); ++i)
            lines.append(commands.commandAtIndex(i) + u':' + commands.elemAtIndex(i)->sourceURI());
        return lines;
    }
    // An event or task item form on the phone under uri.
    static std::shared_ptr<QVSyncElem> calendarItem(const QString& uri, bool task, const QVariantMap& displayAlarm = {})
    {
        VXDictionary vx;
        const QString uuid = createQuorvalisPrimaryKey();
        const QDateTime start(QDate(2030, 5, 6), QTime(9, 0), Qt::UTC);
        vx.setMainObject(task ? platform::entity::Task : platform::entity::Event, platform::ISyncRecordEntityNameKey);
        vx.setMainObject(QStringLiteral("Dentist"), QStringLiteral("summary"));
        vx.setMainObject(start, task ? QStringLiteral("due date") : QStringLiteral("start date"));
        if (!task)
            vx.setMainObject(start.addSecs(3600), QStringLiteral("end date"));
        if (!displayAlarm.isEmpty()) {
            vx.setOtherObject(displayAlarm, QStringLiteral("A1"));
            vx.setMainObject(QVariantList{QStringLiteral("A1")}, QStringLiteral("display alarms"));
        }
        auto elem = QVVCalendarElem::vCalendarWithDict(&vx, uuid, uri, QStringLiteral("Protocol LG Test"), {}, {});
        elem->setProperty(1);
        return elem;
    }
    static QVariantMap lgContact(const QString& first, const QString& number)
    {
        return {{QStringLiteral("firstname"), first},
                {QStringLiteral("lastname"), QStringLiteral("Tester")},
                {QStringLiteral("phone"),
                 QVariantList{QVariantMap{{QStringLiteral("value"), number},
                                          {QStringLiteral("type"), QStringLiteral("cell")}}}}};
    }
};

} // namespace

TEST_F(ItemCommandsTest, DeletionsAndReplacementsComeBeforeAdditions)
{
    const auto added = onPhone(QStringLiteral("T-7"), QStringLiteral("New"));
    const auto changed = onPhone(QStringLiteral("2"), QStringLiteral("Changed"));
    changed->setChanged();
    const auto deleted = onPhone(QStringLiteral("3"), QStringLiteral("Gone"));
    deleted->setDeleted();
    onPhone(QStringLiteral("4"), QStringLiteral("Same"));
    const auto unwantedNew = onPhone(QStringLiteral("T-8"), QStringLiteral("Unsent"));
    list.addElemForDeletion(QVSyncElem::elemForDeletion(QStringLiteral("9")));

    QVCommandArray commands;
    list.addSyncCommands(commands, true, 0);
    EXPECT_EQ(summary(commands), (QStringList{"Delete:9", "Replace:2", "Delete:3", "Add:T-7", "Add:T-8"}));
    EXPECT_TRUE(list.invisibleDeletion().isEmpty());

    // A phone that wants no contacts: the one on it goes, with a fresh id, and
    // nothing is added.
    device.wantsContacts = false;
    QVCommandArray second;
    list.addSyncCommands(second, false, 0);
    EXPECT_EQ(summary(second), (QStringList{"Delete:2", "Delete:3", "Delete:4"}));
    EXPECT_TRUE(changed->sourceURI().startsWith(QStringLiteral("T-")));
    EXPECT_NE(second.elemAtIndex(0), changed);
    (void)added;
    (void)unwantedNew;

    // Nothing for a desktop-synchronized phone that takes no desktop changes.
    device.useSyncEngine = true;
    device.fromEngine = false;
    QVCommandArray none;
    list.addSyncCommands(none, true, 0);
    EXPECT_EQ(none.count(), 0);
}

TEST_F(ItemCommandsTest, ChangedBookmarkIsDeletedAndAddedAgain)
{
    QVSyncElemList bookmarks(3, &device);
    auto mark = QVSyncElem::elemWithData(QStringLiteral("http://x.org"), QStringLiteral("5"), {}, {}, {});
    mark->setProperty(3);
    mark->setChanged();
    bookmarks.addObject(mark);
    QVCommandArray commands;
    bookmarks.addSyncCommands(commands, true, 0);
    EXPECT_EQ(summary(commands), (QStringList{"Delete:5", "Add:T-1"}));
}

TEST_F(ItemCommandsTest, QueuedDeletionWaitsForTheListOfItsKind)
{
    QVSyncElemList calendar(1, &device);
    calendar.addElemForDeletion(calendarItem(QStringLiteral("E1"), false));
    calendar.addElemForDeletion(calendarItem(QStringLiteral("K1"), true));
    calendar.addElemForDeletion(QVSyncElem::elemForDeletion(QStringLiteral("X1"))); // kind unknown

    QVCommandArray tasks;
    calendar.addSyncCommands(tasks, true, 6);
    EXPECT_EQ(summary(tasks), (QStringList{"Delete:K1", "Delete:X1"}));
    EXPECT_EQ(calendar.invisibleDeletion(), QStringList{"E1"});

    QVCommandArray events;
    calendar.addSyncCommands(events, true, 5);
    EXPECT_EQ(summary(events), QStringList{"Delete:E1"});
    EXPECT_TRUE(calendar.invisibleDeletion().isEmpty());
}

TEST_F(ItemCommandsTest, TemporaryIdsMappingsAndTheLastState)
{
    EXPECT_EQ(list.freeMotorolaURI(), QStringLiteral("T-0"));
    EXPECT_EQ(list.freeMotorolaURI(), QStringLiteral("T-1"));

    list.addMapping(QStringLiteral("17"), QStringLiteral("T-1"));
    EXPECT_EQ(list.uriMappings().value(QStringLiteral("T-1")), QStringLiteral("17"));
    list.finalizeSynchronization(0);
    EXPECT_EQ(list.uriMappings().size(), 1); // kept until the next session
    list.prepareSynchronization();
    EXPECT_TRUE(list.uriMappings().isEmpty());

    onPhone(QStringLiteral("1"), QStringLiteral("Ann"));
    onPhone(QStringLiteral("2"), QStringLiteral("Bob"));
    list.useLastState();
    EXPECT_EQ(uris(), (QStringList{"T-1", "T-2"}));
    EXPECT_EQ(list.itemsOnDeviceCount(), 0);
}

TEST_F(ItemCommandsTest, PhoneDictionariesMergeThroughTheConverters)
{
    device.description = describe("Protocol LG Test");
    device.motorola = true;
    QVariantMap raw;
    const QVariantMap read{{QStringLiteral("1"), lgContact(QStringLiteral("Ann"), QStringLiteral("111"))},
                           {QStringLiteral("2"), lgContact(QStringLiteral("Bob"), QStringLiteral("222"))}};
    const auto write = list.processMotorolaData(read, false, raw);
    ASSERT_TRUE(write.has_value());
    EXPECT_TRUE(write->isEmpty());
    EXPECT_TRUE(list.isMoto());
    EXPECT_EQ(uris(), (QStringList{"1", "2"}));
    EXPECT_EQ(firstName(list.objectForURI(QStringLiteral("2"))), QStringLiteral("Bob"));
    EXPECT_EQ(raw, read);
    // The number read with a contact belongs to that contact's record.
    {
        const auto* bob = dynamic_cast<const QVSyncEngineElem*>(list.objectForURI(QStringLiteral("2")).get());
        ASSERT_TRUE(bob && bob->vxDict());
        const QVariantList numbers = bob->vxDict()->mainObjectForKey(QStringLiteral("phone numbers")).toList();
        ASSERT_EQ(numbers.size(), 1);
        const QVariantMap number = bob->vxDict()->otherObjectForKey(numbers.first().toString()).toMap();
        EXPECT_EQ(number.value(QStringLiteral("value")), QStringLiteral("222"));
        EXPECT_EQ(number.value(QStringLiteral("contact")).toList(), QVariantList{bob->elemUUID()});
    }
    EXPECT_EQ(active.value(0), (QVariantMap{{"Active", "1"}, {"Property", 0}}));
    EXPECT_TRUE(newLog().contains(QStringLiteral("MotoContactItem <1>: ")));

    // Unchanged raw data: nothing; a changed entry: merged; a vanished id: trash.
    QVariantMap again{{QStringLiteral("1"), lgContact(QStringLiteral("Anna"), QStringLiteral("111"))},
                      {QStringLiteral("3"), QStringLiteral("no dictionary")}};
    list.processMotorolaData(again, false, raw);
    EXPECT_EQ(uris(), QStringList{"1"});
    EXPECT_EQ(firstName(list.objectForURI(QStringLiteral("1"))), QStringLiteral("Anna"));
    ASSERT_FALSE(trash.put.empty());
    EXPECT_EQ(firstName(trash.put.back().first), QStringLiteral("Bob"));

    // The delete flag: what the phone holds goes to the trash and is deleted there.
    trash.put.clear();
    list.processMotorolaData({{QStringLiteral("5"), lgContact(QStringLiteral("Eve"), QStringLiteral("555"))}}, true,
                             raw);
    EXPECT_EQ(trash.put.size(), 2u); // the delivered entry, the item the phone no longer has
    EXPECT_TRUE(raw.isEmpty());
    EXPECT_EQ(list.allCount(), 0);
    EXPECT_TRUE(list.invisibleDeletion().isEmpty()); // already in the write dictionary
}

TEST_F(ItemCommandsTest, WriteDictionaryAndThePhonesAnswers)
{
    device.description = describe("Protocol LG Test");
    device.motorola = true;
    QVariantMap raw;
    list.processMotorolaData({{QStringLiteral("1"), lgContact(QStringLiteral("Ann"), QStringLiteral("111"))},
                              {QStringLiteral("2"), lgContact(QStringLiteral("Bob"), QStringLiteral("222"))},
                              {QStringLiteral("3"), lgContact(QStringLiteral("Cem"), QStringLiteral("333"))}},
                             false, raw);
    list.objectForURI(QStringLiteral("1"))->setChanged();
    list.objectForURI(QStringLiteral("2"))->setDeleted();
    const auto fresh = list.createNewElem(vcard(QStringLiteral("New"), QStringLiteral("444")), QStringLiteral("T-9"),
                                          QStringLiteral("Protocol LG Test"), {}, {});
    fresh->setProperty(0);
    list.addObject(fresh);
    const auto other = list.createNewElem(vcard(QStringLiteral("Other"), QStringLiteral("555")), QStringLiteral("T-10"),
                                          QStringLiteral("Protocol LG Test"), {}, {});
    other->setProperty(0);
    list.addObject(other);
    list.addElemForDeletion(QVSyncElem::elemForDeletion(QStringLiteral("8")));

    const auto write = list.getMotorolaWriteData(raw);
    ASSERT_TRUE(write.has_value());
    EXPECT_EQ(write->keys(), (QStringList{"1", "2", "8", "T-0", "T-1"}));
    EXPECT_EQ(write->value(QStringLiteral("2")), QVariant(QVariantMap()));
    EXPECT_EQ(write->value(QStringLiteral("8")), QVariant(QVariantMap()));
    EXPECT_EQ(write->value(QStringLiteral("T-0")).toMap().value(QStringLiteral("firstname")), QStringLiteral("New"));
    EXPECT_EQ(raw.value(QStringLiteral("1")), write->value(QStringLiteral("1")));
    EXPECT_EQ(fresh->sourceURI(), QStringLiteral("T-0"));

    const auto changed = list.objectForURI(QStringLiteral("1"));
    const auto third = list.objectForURI(QStringLiteral("3"));
    third->setChanged();
    list.finishMotorolaSession(
        {{QStringLiteral("1"), QVariantMap{{QStringLiteral("updated"), lgContact("Ann", "111")}}},
         {QStringLiteral("2"), QStringLiteral("DELETED")},
         {QStringLiteral("3"), QStringLiteral("Changed")},
         {QStringLiteral("T-0"), QVariantMap{{QStringLiteral("12"), write->value(QStringLiteral("T-0"))}}},
         {QStringLiteral("T-1"), QVariantMap{{QStringLiteral("updated"), QVariantMap()}}},
         {QStringLiteral("T-5"), QVariantList()}},
        0, raw);
    // {"updated": ...} names no slot: the item on the phone keeps its id and
    // counts as written; the new one stays new.
    EXPECT_EQ(changed->sourceURI(), QStringLiteral("1"));
    EXPECT_FALSE(changed->isChanged());
    EXPECT_EQ(other->sourceURI(), QStringLiteral("T-1"));
    EXPECT_EQ(list.objectForURI(QStringLiteral("2")), nullptr);
    EXPECT_FALSE(third->isChanged());
    EXPECT_EQ(fresh->sourceURI(), QStringLiteral("12"));
    EXPECT_TRUE(raw.contains(QStringLiteral("12")));
    const QString log = newLog();
    EXPECT_TRUE(log.contains(QStringLiteral("Couldn't map item 1 to updated")));
    EXPECT_TRUE(log.contains(QStringLiteral("Couldn't map item T-5 (invalid 'To')")));
    EXPECT_EQ(active.last(), (QVariantMap{{"Active", "0"}, {"Property", 0}}));
    EXPECT_EQ(device.finished, (std::vector<std::pair<int, int>>{{0, 0}}));

    // The phone's answer for a plain new id.
    const auto plain = list.createNewElem(vcard(QStringLiteral("P")), QStringLiteral("T-20"), QString(), {}, {});
    list.addObject(plain);
    list.finishMotorolaSession({{QStringLiteral("T-20"), QStringLiteral("31")}}, 0, raw);
    EXPECT_EQ(plain->sourceURI(), QStringLiteral("31"));
}

TEST_F(ItemCommandsTest, DisplayAlarmSentDecidesHowTheReadAlarmIsTaken)
{
    device.description = describe("Protocol LG Test");
    device.motorola = true;
    QVSyncElemList calendar(1, &device);
    calendar.setTrash(&trash);
    const QDateTime start(QDate(2030, 5, 6), QTime(9, 0), Qt::UTC);
    auto withAlarm = calendarItem(
        QStringLiteral("7"), false,
        {{QStringLiteral("triggerdate"), start.addSecs(-900)}, {QStringLiteral("description"), QStringLiteral("go")}});
    calendar.addObject(withAlarm);
    calendar.addObject(calendarItem(QStringLiteral("8"), false));
    EXPECT_TRUE(calendar.wasDisplayAlarmSent(QStringLiteral("7")));
    EXPECT_FALSE(calendar.wasDisplayAlarmSent(QStringLiteral("8")));
    EXPECT_FALSE(calendar.wasDisplayAlarmSent(QStringLiteral("unknown")));

    const auto kitEvent = [&](const char* summary) {
        return QVariantMap{
            {QStringLiteral("event"),
             QVariantMap{{QStringLiteral("start date"), start},
                         {QStringLiteral("end date"), start.addSecs(3600)},
                         {QStringLiteral("summary"), summary}}},
            {QStringLiteral("DisplayAlarm"), QVariantMap{{QStringLiteral("triggerdate"), start.addSecs(-600)}}}};
    };
    QVariantMap raw;
    calendar.processMotorolaData(
        {{QStringLiteral("7"), kitEvent("Dentist")},
         {QStringLiteral("8"), kitEvent("Dentist")},
         {QStringLiteral("9"), QVariantMap{{QStringLiteral("task"), QVariantMap{{QStringLiteral("summary"), "Buy"}}}}}},
        false, raw);
    const auto* seven = dynamic_cast<QVVCalendarElem*>(calendar.objectForURI(QStringLiteral("7")).get());
    const auto* eight = dynamic_cast<QVVCalendarElem*>(calendar.objectForURI(QStringLiteral("8")).get());
    const auto* nine = dynamic_cast<QVVCalendarElem*>(calendar.objectForURI(QStringLiteral("9")).get());
    ASSERT_TRUE(seven && eight && nine);
    EXPECT_FALSE(seven->getDisplayAlarms().toList().isEmpty());
    EXPECT_FALSE(eight->getAudioAlarms().toList().isEmpty());
    EXPECT_TRUE(nine->isToDo());
    EXPECT_TRUE(newLog().contains(QStringLiteral("__Moto raw item <9>: ")));
}
