#include "ListTestDevice.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"

#include <gtest/gtest.h>

using platform::SyncChange;

namespace {

// A contact of the list with a record id, on the phone under uri when given.
std::shared_ptr<QVVCardElem> groupsContact(QVSyncElemList& list, const QString& uuid, const QString& first,
                                           const QString& uri = {})
{
    VXDictionary vx;
    vx.setMainObject(platform::entity::Contact, platform::ISyncRecordEntityNameKey);
    vx.setMainObject(first, QStringLiteral("first name"));
    auto contact = QVVCardElem::vCardWithDict(&vx, uuid, uri, QStringLiteral("Phone"), QString(), QString());
    contact->setProperty(0);
    list.addObject(contact);
    return contact;
}

QVariantList groupsOf(const std::shared_ptr<QVVCardElem>& contact)
{
    return contact->vxDict()->objectForKey(VXDictionary::kGroups).toList();
}

QVariantList membersOf(const QVSyncElemList& list, const QString& group)
{
    for (const QVariant& record : list.getAllRecords()) {
        if (record.toMap().value("Record-ID") == group)
            return record.toMap().value("Record-Dict").toMap().value("members").toList();
    }
    return {{"no such group"}};
}

class GroupsListTest : public ::testing::Test {
protected:
    void SetUp() override { device.useSyncEngine = true; }
    ListTestDevice device;
    QVSyncElemList list{0, &device};
};

} // namespace

TEST_F(GroupsListTest, RelationsKeepGroupsAndItemsInStep)
{
    const auto ann = groupsContact(list, "Tarnex:C1", "Ann");
    list.addGroupRelation("G1", "Tarnex:C1");
    list.addGroupRelation("G1", "Tarnex:C1");
    list.addGroupRelation("G1", "Tarnex:C9");      // a member the list does not hold (yet)
    EXPECT_EQ(membersOf(list, "G1"), (QVariantList{"Tarnex:C1", "Tarnex:C9"}));
    EXPECT_EQ(groupsOf(ann), QVariantList{"G1"});

    list.deleteGroupRelations(ann);
    EXPECT_EQ(membersOf(list, "G1"), QVariantList{"Tarnex:C9"});

    // Only contacts have groups.
    QVSyncElemList calendar(1, &device);
    calendar.addGroupRelation("G1", "Tarnex:E1");
    EXPECT_TRUE(calendar.getAllRecords().isEmpty());
}

TEST_F(GroupsListTest, MemberLeavingItsShownGroupsIsDeletedOnAPhoneTakingDesktopChanges)
{
    list.setEnabledGroups(QStringList{"G1"});
    const auto ann = groupsContact(list, "Tarnex:C1", "Ann", "12");
    list.addGroupRelation("G1", "Tarnex:C1");
    list.addGroupRelation("G2", "Tarnex:C1");

    // Still in a shown group: only the relation goes.
    list.deleteGroupRelation("G2", "Tarnex:C1");
    EXPECT_EQ(groupsOf(ann), QVariantList{"G1"});
    EXPECT_EQ(ann->sourceURI(), QStringLiteral("12"));
    EXPECT_EQ(list.allCount(), 1);

    list.deleteGroupRelation("G1", "Tarnex:C1");
    EXPECT_TRUE(membersOf(list, "G1").isEmpty());
    EXPECT_TRUE(groupsOf(ann).isEmpty());
    EXPECT_TRUE(ann->sourceURI().startsWith("T-"));
    ASSERT_EQ(list.allCount(), 2);
    const auto copy = list.objectForURI("12");
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, ann);
    EXPECT_TRUE(copy->isDeleted());                // a Delete for the phone's version
    EXPECT_FALSE(ann->isDeleted());
}

TEST_F(GroupsListTest, MemberLeavingItsShownGroupsOnAPhoneNotTakingDesktopChangesStaysAMember)
{
    device.fromEngine = false;
    list.setEnabledGroups(QStringList{"G1"});
    const auto ann = groupsContact(list, "Tarnex:C1", "Ann", "12");
    list.addGroupRelation("G1", "Tarnex:C1");
    list.deleteGroupRelation("G1", "Tarnex:C1");
    EXPECT_TRUE(membersOf(list, "G1").isEmpty());
    EXPECT_EQ(groupsOf(ann), QVariantList{"G1"});  // put back on the item's side
    EXPECT_EQ(ann->sourceURI(), QStringLiteral("12"));
    EXPECT_EQ(list.allCount(), 1);
    // Unknown groups and members change nothing.
    list.deleteGroupRelation("G7", "Tarnex:C1");
    list.deleteGroupRelation("G1", "Tarnex:nobody");
    EXPECT_EQ(list.allCount(), 1);
}

TEST_F(GroupsListTest, DefaultGroupForNewItemsAndTheTargetGroupsChange)
{
    const auto ann = groupsContact(list, "Tarnex:C1", "Ann");
    EXPECT_FALSE(list.makeElemMemberOfDefaultGroup(ann));   // no target yet
    list.setTargetGroup("G1");
    EXPECT_TRUE(list.makeElemMemberOfDefaultGroup(ann));
    EXPECT_FALSE(list.makeElemMemberOfDefaultGroup(ann));
    EXPECT_EQ(groupsOf(ann), QVariantList{"G1"});
    EXPECT_EQ(membersOf(list, "G1"), QVariantList{"Tarnex:C1"});

    // A new item merged into a stored one of the same identity changes the
    // target group's members; the desktop hears it once the session succeeds.
    list.tellSyncEngineAboutChangedTargetGroup();
    EXPECT_TRUE(list.storedChangesForSyncEngine().isEmpty());
    const QList<SyncChange> changes = list.changesForSyncEngine();
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0].type(), SyncChange::Modify);
    EXPECT_EQ(changes[0].recordIdentifier(), QStringLiteral("G1"));
    EXPECT_EQ(changes[0].changes()[0].toMap().value("value").toList(), QVariantList{"Tarnex:C1"});

    // Not synchronized with the desktop: no group is set.
    device.useSyncEngine = false;
    const auto bo = groupsContact(list, "Tarnex:C2", "Bo");
    EXPECT_FALSE(list.makeElemMemberOfDefaultGroup(bo));
    list.addGroupMembershipToElem(bo, "G1");
    EXPECT_TRUE(groupsOf(bo).isEmpty());
}

TEST_F(GroupsListTest, MembershipOnTheItemSideByProperty)
{
    const auto ann = groupsContact(list, "Tarnex:C1", "Ann");
    list.addGroupMembershipToElem(ann, "G1");
    list.addGroupMembershipToElem(ann, "T-3");      // logged, kept
    list.addGroupMembershipToElem(ann, "G1");
    EXPECT_EQ(groupsOf(ann), (QVariantList{"G1", "T-3"}));

    QVSyncElemList calendar(1, &device);
    VXDictionary vx;
    vx.setMainObject(platform::entity::Task, platform::ISyncRecordEntityNameKey);
    auto task = QVVCalendarElem::vCalendarWithDict(&vx, "Tarnex:T1", QString(), "Phone", QString(), QString());
    calendar.addGroupMembershipToElem(task, "CAL-1");
    EXPECT_EQ(task->vxDict()->mainObjectForKey("calendar").toList(), QVariantList{"CAL-1"});
    EXPECT_TRUE(task->isToDo());
}

TEST_F(GroupsListTest, NewItemsAnnounceOnlyTheMembersOfGroupsTheListKnows)
{
    list.addGroupRelation("G1", "Tarnex:C0");
    auto ann = groupsContact(list, "Tarnex:C1", "Ann");
    ann->vxDict()->setObject(QVariantList{"T-1", "G9", "G1"}, VXDictionary::kGroups);
    list.tellSyncEngineAboutNewElem(ann, false);
    const QList<SyncChange> changes = list.changesForSyncEngine();
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes[0].recordIdentifier(), QStringLiteral("Tarnex:C1"));
    EXPECT_EQ(changes[1].recordIdentifier(), QStringLiteral("G1"));
    EXPECT_EQ(changes[1].changes()[0].toMap().value("value").toList(), QVariantList{"Tarnex:C0"});
}
