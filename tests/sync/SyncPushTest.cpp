#include "sync/SyncPush.h"

#include <gtest/gtest.h>

namespace {

TEST(SyncPushTest, PropertyOfAnEntityNameGoesByItsPrefix)
{
    const struct {
        const char* name;
        int property;
    } cases[] = {
        {"com.apple.contacts.Group", 0},
        {"com.apple.contacts.Phone Number", 0},
        {"com.apple.calendars.Calendar", 1},
        {"com.apple.calendars.Event", 1},
        {"com.apple.notes.Note", 2},
        {"com.apple.bookmarks.Folder", 3},
        {"com.apple.contacts", -1},
        {"com.apple.mail.Account", -1},
        {"", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(syncpush::propertyForEntityName(QString::fromLatin1(c.name)), c.property) << c.name;
}

TEST(SyncPushTest, FullDescriptionNamesTheTypeIdAndEachProperty)
{
    using platform::SyncChange;
    const SyncChange change(SyncChange::Modify, "Tarnex:1",
                            {SyncChange::setChange("title", "Work"), SyncChange::clearChange("color")});
    EXPECT_EQ(syncpush::fullDescription(change),
              QStringLiteral("modify record id 'Tarnex:1'\n    set title = Work\n    clear color\n"));
    EXPECT_EQ(syncpush::fullDescription(SyncChange(SyncChange::Delete, "x")), QStringLiteral("delete record id 'x'\n"));
}

} // namespace
