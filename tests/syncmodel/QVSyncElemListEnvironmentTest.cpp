#include "SessionTestSupport.h"

#include "formats/VXDictionary.h"

using platform::SyncChange;
using sessiontest::SessionTest;

namespace {

class ItemEnvironmentTest : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        device.useSyncEngine = true;
    }
    static QVariantMap group(const QString& name, bool enabled)
    {
        return {{QStringLiteral("name"), name}, {QStringLiteral("enabled"), enabled}};
    }
    // A contact on the phone that is a member of the given groups.
    std::shared_ptr<QVSyncElem> member(QVSyncElemList& target, const QString& uri, const QString& first,
                                       const QStringList& groups)
    {
        auto elem = target.createNewElem(vcard(first), uri, QStringLiteral("Phone"), QString(), QString());
        elem->setProperty(0);
        auto* engine = dynamic_cast<QVSyncEngineElem*>(elem.get());
        engine->vxDict()->setObject(QVariantList(groups.begin(), groups.end()), VXDictionary::kGroups);
        target.addObject(elem);
        return elem;
    }
    static SyncChange addGroup(const QString& id, const QString& name, const QStringList& members = {})
    {
        QVariantMap record{{QStringLiteral("name"), name}};
        if (!members.isEmpty())
            record.insert(QStringLiteral("members"), QVariantList(members.begin(), members.end()));
        QVariantList changes;
        for (auto it = record.cbegin(); it != record.cend(); ++it)
            changes.append(SyncChange::setChange(it.key(), it.value()));
        return SyncChange(SyncChange::Add, id, changes, record);
    }
};

} // namespace

TEST_F(ItemEnvironmentTest, GroupIdsAreLookedUpByNameAndTemporaryOnesNeverAnswer)
{
    QVSyncElemList contacts(0, &device);
    contacts.processOneSyncEngineGroupChange(addGroup(QStringLiteral("T-4"), QStringLiteral("Friends")), nullptr);
    contacts.processOneSyncEngineGroupChange(addGroup(QStringLiteral("G1"), QStringLiteral("Work")), nullptr);
    EXPECT_TRUE(contacts.getGroupOrCalendarIDFor(QStringLiteral("Friends")).isEmpty());
    EXPECT_EQ(contacts.getGroupOrCalendarIDFor(QStringLiteral("Work")), QStringLiteral("G1"));
    QVariantMap env{{QStringLiteral("TargetGroupName"), QStringLiteral("Friends")},
                    {QStringLiteral("TargetGroup"), QStringLiteral("T-4")}};
    EXPECT_FALSE(contacts.verifyAndRepairTargetGroup(env, {}));
    EXPECT_EQ(env.value(QStringLiteral("TargetGroup")), QStringLiteral("T-4"));

    // A temporary group in the environment takes the real id of its name; a
    // group the user enabled is enabled again.
    QVariantMap repaired{{QStringLiteral("Groups"), QVariantMap{{QStringLiteral("T-9"), group("Work", false)}}},
                         {QStringLiteral("TargetGroupName"), QStringLiteral("Work")}};
    const QVariantMap user{{QStringLiteral("Groups"), QVariantMap{{QStringLiteral("G1"), group("Work", true)}}}};
    EXPECT_TRUE(contacts.verifyAndRepairEnabledGroups(repaired, user));
    EXPECT_TRUE(contacts.verifyAndRepairTargetGroup(repaired, user));
    EXPECT_EQ(repaired.value(QStringLiteral("Groups")).toMap(),
              (QVariantMap{{QStringLiteral("G1"), group("Work", true)}}));
    EXPECT_EQ(repaired.value(QStringLiteral("TargetGroup")), QStringLiteral("G1"));
    EXPECT_TRUE(newLog().contains(QStringLiteral("set ID G1 for group:Work (old ID was )")));
    EXPECT_EQ(QVSyncElemList::makeArrayOfEnabledGroups(repaired), QStringList{"G1"});
    repaired.insert(QStringLiteral("UseAllGroups"), true);
    EXPECT_FALSE(QVSyncElemList::makeArrayOfEnabledGroups(repaired).has_value());
}

TEST_F(ItemEnvironmentTest, CalendarListWithoutCalendarsStopsSynchronizingIt)
{
    QVSyncElemList calendar(1, &device);
    QVariantMap env{{QStringLiteral("SyncMode"), 2},
                    {QStringLiteral("TargetGroup"), QStringLiteral("C9")},
                    {QStringLiteral("TargetGroupName"), QStringLiteral("Gone")}};
    EXPECT_TRUE(calendar.verifyAndRepairTargetGroup(env, {}));
    EXPECT_EQ(env, (QVariantMap{{QStringLiteral("SyncMode"), 0}}));

    // With calendars in the environment the first becomes the target, enabled.
    QVariantMap second{{QStringLiteral("SyncMode"), 2},
                       {QStringLiteral("Groups"), QVariantMap{{QStringLiteral("C1"), group("Home", false)}}}};
    EXPECT_TRUE(calendar.verifyAndRepairTargetGroup(second, {}));
    EXPECT_EQ(second.value(QStringLiteral("TargetGroup")), QStringLiteral("C1"));
    EXPECT_EQ(second.value(QStringLiteral("Groups")).toMap(),
              (QVariantMap{{QStringLiteral("C1"), group("Home", true)}}));
}

TEST_F(ItemEnvironmentTest, PulledGroupChangesKeepRecordsAndMembersInStep)
{
    QVSyncElemList contacts(0, &device);
    contacts.setTrash(&trash);
    const auto ann = member(contacts, QStringLiteral("1"), QStringLiteral("Ann"), {});
    const QString annId = dynamic_cast<QVSyncEngineElem*>(ann.get())->elemUUID();

    contacts.processOneSyncEngineGroupChange(
        SyncChange(SyncChange::Modify, QStringLiteral("G7"), {SyncChange::setChange("name", "X")}), nullptr);
    EXPECT_TRUE(newLog().contains(QStringLiteral("### GeneralSyncInfo wants to modify nonexisting GROUP: G7")));
    EXPECT_TRUE(contacts.groups()->isEmpty());

    // A temporary group made here is re-keyed when the desktop adds it.
    contacts.assureToHaveGroup(QStringLiteral("T-1"), QStringLiteral("Friends"));
    contacts.addGroupRelation(QStringLiteral("T-1"), annId);
    bool numberChanged = false;
    contacts.processOneSyncEngineGroupChange(addGroup(QStringLiteral("G1"), QStringLiteral("Friends"), {annId}),
                                             &numberChanged);
    EXPECT_TRUE(numberChanged);
    EXPECT_TRUE(newLog().contains(QStringLiteral("###++++#### replaced Group G1 for T-1 (Friends)")));
    EXPECT_EQ(contacts.groups()->keys(), QStringList{"G1"});
    const auto* engine = dynamic_cast<QVSyncEngineElem*>(ann.get());
    EXPECT_EQ(engine->vxDict()->objectForKey(VXDictionary::kGroups).toList(), QVariantList{"G1"});

    // A modification: renamed, members cleared.
    contacts.processOneSyncEngineGroupChange(
        SyncChange(SyncChange::Modify, QStringLiteral("G1"),
                   {SyncChange::setChange("name", "Pals"), SyncChange::clearChange("members")}),
        nullptr);
    EXPECT_EQ(contacts.groups()->value("G1").toMap().value("name"), QStringLiteral("Pals"));
    EXPECT_TRUE(contacts.groups()->value("G1").toMap().value("members").toList().isEmpty());
    EXPECT_TRUE(engine->vxDict()->objectForKey(VXDictionary::kGroups).toList().isEmpty());

    contacts.processOneSyncEngineGroupChange(SyncChange(SyncChange::Delete, QStringLiteral("G1")), nullptr);
    EXPECT_TRUE(contacts.groups()->isEmpty());
}

TEST_F(ItemEnvironmentTest, StoredListWithGroupsTakesItemsOfDisabledGroupsOffThePhone)
{
    const QString db = QStringLiteral("Contacts");
    device.environments.main = QVariantMap{{db,
                                            QVariantMap{{QStringLiteral("SyncMode"), 2},
                                                        {QStringLiteral("Groups"),
                                                         QVariantMap{{QStringLiteral("G1"), group("Work", true)},
                                                                     {QStringLiteral("G2"), group("Home", false)}}},
                                                        {QStringLiteral("TargetGroup"), QStringLiteral("G1")},
                                                        {QStringLiteral("TargetGroupName"), QStringLiteral("Work")}}}};
    // The stored form of a list: its items and its groups, of the desktop's
    // present state.
    device.syncTime = QStringLiteral("2026-12-01 10:00:00");
    QVSyncElemList source(0, &device);
    member(source, QStringLiteral("1"), QStringLiteral("Ann"), {QStringLiteral("G1")});
    member(source, QStringLiteral("2"), QStringLiteral("Bob"), {QStringLiteral("G2")});
    source.processOneSyncEngineGroupChange(addGroup(QStringLiteral("G1"), QStringLiteral("Work")), nullptr);
    source.processOneSyncEngineGroupChange(addGroup(QStringLiteral("G2"), QStringLiteral("Home")), nullptr);
    const auto stored = source.syncDictionaryForFile();
    ASSERT_TRUE(stored.has_value());

    auto list = QVSyncElemList::fromFileDictionary(stored, db, 0, &device);
    list->setTrash(&trash);
    EXPECT_EQ(list->enabledGroups(), QStringList{"G1"});
    EXPECT_EQ(list->targetGroup(), QStringLiteral("G1"));
    EXPECT_TRUE(list->usesSyncEngine());
    // Bob left the chosen groups: a deleted copy carries his phone id, he stays as new.
    const auto copy = list->objectForURI(QStringLiteral("2"));
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->isDeleted());
    EXPECT_EQ(list->itemsOnDeviceCount(), 1);
    QStringList names;
    for (const auto& elem : list->allElems())
        if (!elem->isDeleted())
            names.append(firstName(elem) + u'@' + elem->sourceURI());
    names.sort();
    EXPECT_EQ(names, (QStringList{"Ann@1", "Bob@T-1"}));

    // The user disables Work too: Ann leaves the phone on the next evaluation.
    auto& settings = (*device.environments.main)[db];
    QVariantMap contactsEnv = settings.toMap();
    contactsEnv.insert(
        QStringLiteral("Groups"),
        QVariantMap{{QStringLiteral("G1"), group("Work", false)}, {QStringLiteral("G2"), group("Home", true)}});
    settings = contactsEnv;
    EXPECT_FALSE(list->evaluateSyncEnvironment(true));
    const auto annCopy = list->objectForURI(QStringLiteral("1"));
    ASSERT_NE(annCopy, nullptr);
    EXPECT_TRUE(annCopy->isDeleted());
}

TEST_F(ItemEnvironmentTest, EnvironmentEvaluationWaitsOnlySoLongForThePhone)
{
    QVSyncElemList contacts(0, &device);
    EXPECT_FALSE(contacts.evaluateSyncEnvironment(true));
    EXPECT_TRUE(newLog().contains(QStringLiteral("has no sync environment after 30 s")));
    EXPECT_FALSE(contacts.enabledGroups().has_value());
}

TEST_F(ItemEnvironmentTest, RemovedTargetCalendarBecomesTheRemovedMarkerInAllEnvironments)
{
    const QString db = QStringLiteral("Calendar");
    const QVariantMap settings{{QStringLiteral("SyncMode"), 2},
                               {QStringLiteral("TargetGroup"), QStringLiteral("C1")},
                               {QStringLiteral("TargetGroupName"), QStringLiteral("Home")}};
    device.environments.main = QVariantMap{{db, settings}};
    device.environments.work = QVariantMap{{db, settings}};
    device.environments.user = QVariantMap{{db, settings}};
    QVSyncElemList calendar(1, &device);
    bool numberChanged = false;
    calendar.processOneSyncEngineCalendarChange(
        SyncChange(SyncChange::Add, QStringLiteral("C1"), {SyncChange::setChange("title", "Home")}), &numberChanged);
    EXPECT_TRUE(numberChanged);
    calendar.processOneSyncEngineCalendarChange(
        SyncChange(SyncChange::Modify, QStringLiteral("C1"), {SyncChange::setChange("title", "House")}), nullptr);
    EXPECT_EQ(device.environments.user->value(db).toMap().value("TargetGroupName"), QStringLiteral("House"));
    calendar.processOneSyncEngineCalendarChange(SyncChange(SyncChange::Delete, QStringLiteral("C1")), nullptr);
    EXPECT_TRUE(calendar.calendars()->isEmpty());
    for (const auto* env : {&device.environments.main, &device.environments.work, &device.environments.user})
        EXPECT_EQ((*env)->value(db).toMap().value("TargetGroup"), QStringLiteral("T-9999"));

    // A new calendar of the target's name becomes the target again.
    calendar.processOneSyncEngineCalendarChange(
        SyncChange(SyncChange::Add, QStringLiteral("C2"), {SyncChange::setChange("title", "House")}), nullptr);
    EXPECT_EQ(device.environments.main->value(db).toMap().value("TargetGroup"), QStringLiteral("C2"));
}

TEST_F(ItemEnvironmentTest, ResyncedGroupsGiveStoredMembersTheirMembershipAndTaskChangesAreRecognised)
{
    device.syncTime = QStringLiteral("2026-12-01 10:00:00");
    QVSyncElemList source(0, &device);
    const auto ann = member(source, QStringLiteral("1"), QStringLiteral("Ann"), {});
    const QString annId = dynamic_cast<QVSyncEngineElem*>(ann.get())->elemUUID();
    QVariantMap stored = *source.syncDictionaryForFile();
    stored.insert(QStringLiteral("Groups"),
                  QVariantMap{{QStringLiteral("G1"),
                               QVariantMap{{QStringLiteral("name"), QStringLiteral("Work")},
                                           {QStringLiteral("members"), QVariantList{annId}}}}});
    auto contacts = QVSyncElemList::fromFileDictionary(stored, QStringLiteral("Contacts"), 0, &device);
    const auto read = contacts->objectForUUID(annId);
    ASSERT_NE(read, nullptr);
    contacts->resyncGroups();
    EXPECT_EQ(dynamic_cast<QVSyncEngineElem*>(read.get())->vxDict()->objectForKey(VXDictionary::kGroups).toList(),
              QVariantList{"G1"});

    QVSyncElemList calendar(1, &device);
    calendar.resyncGroups();
    EXPECT_TRUE(newLog().contains(QStringLiteral("#### Big shit happended! No calendar for my events!")));
    const auto change = [](const QString& entity, const QVariantMap& more = {}) {
        QVariantMap record = more;
        record.insert(platform::ISyncRecordEntityNameKey, entity);
        return SyncChange(SyncChange::Add, QStringLiteral("R1"), {}, record);
    };
    EXPECT_TRUE(calendar.affectsTaskList(change(platform::entity::Task)));
    EXPECT_FALSE(calendar.affectsTaskList(change(platform::entity::Event)));
    EXPECT_FALSE(calendar.affectsTaskList(
        change(platform::entity::DisplayAlarm, {{QStringLiteral("owner"), QVariantList{QStringLiteral("unknown")}}})));
    EXPECT_FALSE(contacts->affectsTaskList(change(platform::entity::Task)));
}
