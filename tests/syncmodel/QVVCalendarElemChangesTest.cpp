#include "CalendarTestSupport.h"
#include "RecordingLookup.h"

#include <QJsonDocument>
#include <QUrl>

#include <algorithm>

using namespace calendartest;
using platform::SyncChange;

namespace {

class CalendarChangesTest : public CalendarTest {
protected:
    // The stored item as the desktop keeps it (alarms as lead times),
    // written to the phone once so that its sub-records have their phone
    // parameters.
    static std::shared_ptr<QVVCalendarElem> stored(const char* protocol, const QMap<QString, QVariantList>& subs = {},
                                                   const QVariantMap& extra = {})
    {
        QVariantMap main{{QStringLiteral("summary"), QStringLiteral("Dentist")},
                         {QStringLiteral("start date"), local(2024, 5, 6, 9)},
                         {QStringLiteral("end date"), local(2024, 5, 6, 10)}};
        for (auto it = extra.cbegin(); it != extra.cend(); ++it)
            main.insert(it.key(), it.value());
        auto item = fromFields(main, subs, protocol);
        item->setSourceURI(QStringLiteral("1"));
        EXPECT_TRUE(item->vxDataForDevice(limits(protocol)).isValid());
        return item;
    }
    static QVariantMap alarm(int seconds) { return {{QStringLiteral("triggerduration"), seconds}}; }
    // The property changes of the first change of a record.
    static const SyncChange* changeFor(const QList<SyncChange>& changes, const QString& id, SyncChange::Type type)
    {
        for (const SyncChange& change : changes) {
            if (change.recordIdentifier() == id && change.type() == type)
                return &change;
        }
        return nullptr;
    }
    static QStringList names(const SyncChange* change, const QString& action)
    {
        QStringList result;
        if (!change)
            return result;
        for (const QVariant& entry : change->changes()) {
            const QVariantMap map = entry.toMap();
            if (map.value(platform::ISyncChangePropertyActionKey).toString() == action)
                result.append(map.value(platform::ISyncChangePropertyNameKey).toString());
        }
        return result;
    }
    static int countOf(const QList<SyncChange>& changes, SyncChange::Type type)
    {
        return int(std::count_if(changes.cbegin(), changes.cend(),
                                 [type](const SyncChange& change) { return change.type() == type; }));
    }
};

const QString kBase = QStringLiteral("SUMMARY:Dentist\r\nDTSTART:20240506T090000\r\nDTEND:20240506T100000\r\n");

TEST_F(CalendarChangesTest, NothingChangedGivesNothing)
{
    auto item = stored("Protocol LG Cal", {{QStringLiteral("display alarms"), {alarm(-900)}}});
    auto phone = fromText(vcal(kBase + QStringLiteral("DALARM:20240506T084500\r\n")), "Protocol LG Cal");
    const QList<SyncChange> changes = item->acceptChangesForElem(*phone);
    for (const SyncChange& c : changes)
        ADD_FAILURE() << c.type() << " " << c.recordIdentifier().toStdString() << " "
                      << QJsonDocument::fromVariant(c.changes()).toJson().toStdString();
    EXPECT_TRUE(changes.isEmpty()) << changes.size();

    // An item read from the phone keeps its alarm as a date; read again
    // unchanged it is no change either.
    auto readAgain = fromText(vcal(kBase + QStringLiteral("DALARM:20240506T084500\r\n")), "Protocol LG Cal");
    EXPECT_TRUE(phone->acceptChangesForElem(*readAgain).isEmpty());
}

TEST_F(CalendarChangesTest, FieldsThePhoneCannotHoldAreNotCleared)
{
    const QString withLocation = kBase + QStringLiteral("LOCATION:Room 4\r\n");
    const QVariantMap location{{QStringLiteral("location"), QStringLiteral("Room 4")}};
    // No location on the phone model: its empty location clears nothing.
    auto item = stored("Phone", {}, location);
    item->mainDict()->insert(QStringLiteral("url"), QUrl(QStringLiteral("http://x.org")));
    auto phone = fromText(vcal(kBase), "Phone");
    QList<SyncChange> changes = item->acceptChangesForElem(*phone);
    EXPECT_TRUE(names(changeFor(changes, item->elemUUID(), SyncChange::Modify), QStringLiteral("clear")).isEmpty());

    // A phone with locations: the location is cleared, the url never.
    auto lg = stored("Protocol LG Cal", {}, location);
    lg->mainDict()->insert(QStringLiteral("url"), QUrl(QStringLiteral("http://x.org")));
    changes = lg->acceptChangesForElem(*fromText(vcal(kBase), "Protocol LG Cal"));
    EXPECT_EQ(names(changeFor(changes, lg->elemUUID(), SyncChange::Modify), QStringLiteral("clear")),
              QStringList{QStringLiteral("location")});

    // A changed summary is a set.
    changes = lg->acceptChangesForElem(
        *fromText(vcal(QString(withLocation).replace(QStringLiteral("Dentist"), QStringLiteral("Doctor"))),
                  "Protocol LG Cal"));
    const SyncChange* main = changeFor(changes, lg->elemUUID(), SyncChange::Modify);
    EXPECT_EQ(names(main, QStringLiteral("set")), QStringList{QStringLiteral("summary")});
}

TEST_F(CalendarChangesTest, LgAlarmSteps)
{
    struct Case {
        const char* name;
        int storedAlarm;
        const char* returnedAlarm;
        bool changes;
    } cases[] = {
        {"10 minutes returned as 15", -600, "DALARM:20240506T084500\r\n", false},
        {"15 minutes returned as 15", -900, "DALARM:20240506T084500\r\n", false},
        {"15 minutes returned as 30", -900, "DALARM:20240506T083000\r\n", true},
    };
    for (const Case& c : cases) {
        auto item = stored("Protocol LG Cal", {{QStringLiteral("display alarms"), {alarm(c.storedAlarm)}}});
        auto phone = fromText(vcal(kBase + QLatin1String(c.returnedAlarm)), "Protocol LG Cal");
        const QList<SyncChange> changes = item->acceptChangesForElem(*phone);
        EXPECT_EQ(!changes.isEmpty(), c.changes) << c.name;
    }
    // The steps themselves; below 0 is taken as 15 minutes.
    const std::pair<long, long> steps[] = {{0, 0},         {1, 900},         {900, 900},       {901, 1800},
                                           {3600, 3600},   {3601, 86400},    {259200, 259200}, {259201, 604800},
                                           {-5, 900}};
    for (const auto& [in, out] : steps)
        EXPECT_EQ(QVVCalendarElem::getValidLgReminderValue(in), out) << in;
}

TEST_F(CalendarChangesTest, SubRecordModifiedAddedOrReplaced)
{
    auto item = stored("Phone", {{QStringLiteral("display alarms"), {alarm(-900)}}});
    const QString alarmId = item->getDisplayAlarms().toList().value(0).toString();
    ASSERT_FALSE(alarmId.isEmpty());

    // The same alarm with another trigger: a modify of that alarm record.
    QList<SyncChange> changes =
        item->acceptChangesForElem(*fromText(vcal(kBase + QStringLiteral("DALARM:20240506T083000\r\n")), "Phone"));
    const SyncChange* modify = changeFor(changes, alarmId, SyncChange::Modify);
    ASSERT_TRUE(modify);
    EXPECT_EQ(names(modify, QStringLiteral("set")), QStringList{QStringLiteral("triggerduration")});
    EXPECT_EQ(countOf(changes, SyncChange::Delete), 0);
    EXPECT_EQ(countOf(changes, SyncChange::Add), 0);

    // A new audio alarm: an add of the whole record and a set of the list.
    changes = item->acceptChangesForElem(*fromText(
        vcal(kBase + QStringLiteral("DALARM:20240506T084500\r\nAALARM:20240506T080000\r\n")), "Phone"));
    ASSERT_EQ(countOf(changes, SyncChange::Add), 1);
    const auto added = std::find_if(changes.cbegin(), changes.cend(),
                                    [](const SyncChange& c) { return c.type() == SyncChange::Add; });
    EXPECT_TRUE(names(&*added, QStringLiteral("set")).contains(platform::ISyncRecordEntityNameKey));
    EXPECT_TRUE(names(&*added, QStringLiteral("set")).contains(QStringLiteral("owner")));
    EXPECT_TRUE(names(changeFor(changes, item->elemUUID(), SyncChange::Modify), QStringLiteral("set"))
                    .contains(QStringLiteral("audio alarms")));
}

TEST_F(CalendarChangesTest, RuleDifferingInFiveFieldsIsReplaced)
{
    auto item = fromFields({{QStringLiteral("summary"), QStringLiteral("Gym")}});
    const QVariantMap storedRule{{QStringLiteral("frequency"), QStringLiteral("weekly")},
                                 {QStringLiteral("interval"), 1},
                                 {QStringLiteral("count"), 4},
                                 {QStringLiteral("bydaydays"), QVariantList{QStringLiteral("monday")}},
                                 {QStringLiteral("weekstartday"), 1}};
    QVariantMap near = storedRule;
    near.insert(QStringLiteral("count"), 6);
    QVariantMap far{{QStringLiteral("frequency"), QStringLiteral("monthly")},
                    {QStringLiteral("interval"), 3},
                    {QStringLiteral("count"), 9},
                    {QStringLiteral("bymonthday"), QVariantList{15}},
                    {QStringLiteral("bymonth"), QVariantList{2}}};
    QVVCalendarElem::MatchResult result = QVVCalendarElem::NoMatch;
    EXPECT_EQ(item->similarRecurrenceItem({far, near}, storedRule, {}, &result), 1);
    EXPECT_EQ(result, QVVCalendarElem::Similar);
    EXPECT_EQ(item->similarRecurrenceItem({far}, storedRule, {}, &result), -1);
    EXPECT_EQ(result, QVVCalendarElem::NoMatch);
    // Other parameters disqualify a candidate.
    QVariantMap withParams = storedRule;
    withParams.insert(QStringLiteral("PARAMS"), QVariantList{QVariantMap{{QStringLiteral("Key"), QStringLiteral("X")}}});
    EXPECT_EQ(item->similarRecurrenceItem({withParams}, storedRule, {}, &result), -1);
    QVariantList candidates{near, storedRule};
    EXPECT_TRUE(item->removeEqualRecurrenceItem(candidates, storedRule, {}));
    EXPECT_EQ(candidates, QVariantList{near});

    // An interval of 1 where none was stored is no change; "owner" is never cleared.
    QVariantMap noInterval = storedRule;
    noInterval.remove(QStringLiteral("interval"));
    noInterval.insert(QStringLiteral("owner"), QVariantList{QStringLiteral("x")});
    EXPECT_TRUE(item->changeListForRecurrenceItem(noInterval, storedRule).isEmpty());

    // Through the change detection: a delete of the old rule and an add.
    auto phoneItem = stored("Phone", {{QStringLiteral("recurrences"), {storedRule}}});
    const QString ruleId = phoneItem->getRecurrences().toList().value(0).toString();
    const QList<SyncChange> changes =
        phoneItem->acceptChangesForElem(*fromText(vcal(kBase + QStringLiteral("RRULE:MD3 15 #9\r\n")), "Phone"));
    EXPECT_TRUE(changeFor(changes, ruleId, SyncChange::Delete)) << changes.size();
    EXPECT_EQ(countOf(changes, SyncChange::Add), 1);
}

// ---- Merges

class CalendarMergeTest : public CalendarChangesTest {};

TEST_F(CalendarMergeTest, Notes)
{
    struct Case {
        const char* mine;
        const char* theirs;
        const char* merged;
        bool reported;
    } cases[] = {
        {"Call Bob", "Call Bob at 5", "Call Bob at 5", true},
        {"A", "B", "A\rB", true},
        {"Call Bob at 5", "Bob", "Call Bob at 5", false},
        {nullptr, "B", "B", true},
        {"A", nullptr, "A", false},
    };
    for (const Case& c : cases) {
        QVariantMap mine{{QStringLiteral("summary"), QStringLiteral("x")}};
        QVariantMap theirs = mine;
        if (c.mine)
            mine.insert(QStringLiteral("description"), QLatin1String(c.mine));
        if (c.theirs)
            theirs.insert(QStringLiteral("description"), QLatin1String(c.theirs));
        auto item = fromFields(mine);
        auto other = fromFields(theirs);
        RecordingLookup list;
        item->mergeNotes(*other, &list);
        EXPECT_EQ(item->notesString(), QLatin1String(c.merged)) << c.merged;
        ASSERT_EQ(list.changes.size(), c.reported ? 1 : 0) << c.merged;
        if (c.reported)
            EXPECT_EQ(list.changes.first().changes(),
                      QVariantList{SyncChange::setChange(QStringLiteral("description"), QLatin1String(c.merged))});
    }
}

TEST_F(CalendarMergeTest, FourCases)
{
    const QVariantMap fields{{QStringLiteral("summary"), QStringLiteral("Meeting")},
                             {QStringLiteral("start date"), local(2007, 10, 5, 9)},
                             {QStringLiteral("description"), QStringLiteral("agenda")},
                             {QStringLiteral("calendar"), QVariantList{QStringLiteral("CAL-1")}}};
    const auto make = [&] {
        auto item = fromFields(fields);
        auto phone = fromFields({{QStringLiteral("summary"), QStringLiteral("Meeting")},
                                 {QStringLiteral("start date"), local(2007, 10, 5, 9)},
                                 {QStringLiteral("description"), QStringLiteral("room 2")}});
        phone->setSourceURI(QStringLiteral("7"));
        phone->vxDict()->deviceDict().insert(QStringLiteral("X-KIT"), QStringLiteral("1"));
        return std::pair{item, phone};
    };

    {   // The phone takes no desktop changes: its version replaces this one.
        auto [item, phone] = make();
        RecordingLookup list;
        list.fromEngine = false;
        item->mergeElement(*phone, &list);
        ASSERT_EQ(list.deletedForEngine.size(), 1u);
        EXPECT_EQ(list.deletedForEngine.front(), item);
        EXPECT_EQ(list.added, std::vector<std::shared_ptr<QVSyncElem>>{phone});
        ASSERT_EQ(list.groupJoins.size(), 1u);
        EXPECT_EQ(list.groupJoins.front().second, QStringLiteral("CAL-1"));
        ASSERT_EQ(list.announced.size(), 1u);
        EXPECT_EQ(list.removed, std::vector<std::shared_ptr<QVSyncElem>>{item});
    }
    {   // The desktop takes no phone changes: this version goes to the phone.
        auto [item, phone] = make();
        RecordingLookup list;
        list.fromDevice = false;
        item->mergeElement(*phone, &list);
        EXPECT_EQ(item->sourceURI(), QStringLiteral("7"));
        EXPECT_TRUE(item->isChanged());
        EXPECT_EQ(list.removed, std::vector<std::shared_ptr<QVSyncElem>>{phone});
        EXPECT_EQ(item->notesString(), QStringLiteral("agenda"));
    }
    {   // Both ways: notes and phone values merged, the phone id taken.
        auto [item, phone] = make();
        RecordingLookup list;
        item->mergeElement(*phone, &list);
        EXPECT_EQ(item->notesString(), QStringLiteral("agenda\rroom 2"));
        EXPECT_EQ(item->vxDict()->deviceObjectForKey(QStringLiteral("X-KIT")), QVariant(QStringLiteral("1")));
        EXPECT_EQ(item->sourceURI(), QStringLiteral("7"));
        EXPECT_TRUE(item->isChanged());
        EXPECT_TRUE(list.removed.empty());
        // Already on the phone: the phone's copy is deleted there.
        auto [onPhone, duplicate] = make();
        onPhone->setSourceURI(QStringLiteral("3"));
        RecordingLookup second;
        onPhone->mergeElement(*duplicate, &second);
        EXPECT_TRUE(duplicate->isDeleted());
        EXPECT_EQ(second.added, std::vector<std::shared_ptr<QVSyncElem>>{duplicate});
    }
    {   // The phone is the master: its version stays, with this one's notes and calendar.
        auto [item, phone] = make();
        RecordingLookup list;
        list.mobileMaster = true;
        item->mergeElement(*phone, &list);
        EXPECT_EQ(phone->notesString(), QStringLiteral("room 2\ragenda"));
        EXPECT_EQ(list.deletedForEngine, std::vector<std::shared_ptr<QVSyncElem>>{item});
        ASSERT_EQ(list.groupJoins.size(), 1u);
        EXPECT_EQ(list.groupJoins.front(), (std::pair<std::shared_ptr<QVSyncElem>, QString>{phone, QStringLiteral("CAL-1")}));
        EXPECT_EQ(list.removed, std::vector<std::shared_ptr<QVSyncElem>>{item});
        EXPECT_EQ(list.added, std::vector<std::shared_ptr<QVSyncElem>>{phone});
    }
    {   // Without a calendar the phone's version joins the default one.
        auto item = fromFields({{QStringLiteral("summary"), QStringLiteral("Meeting")}});
        auto phone = fromFields({{QStringLiteral("summary"), QStringLiteral("Meeting")}});
        RecordingLookup list;
        list.fromEngine = false;
        item->mergeElement(*phone, &list);
        ASSERT_EQ(list.groupJoins.size(), 1u);
        EXPECT_TRUE(list.groupJoins.front().second.isNull());
    }
}

} // namespace
