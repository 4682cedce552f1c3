// Whole syncs end to end: the data manager's SyncML jobs for contacts and
// calendar through the device, its sync session and OBEX SyncML link, to
// phonesim's SyncML phone on a pseudo-terminal, filling the organizer archive.
#include "SyncMLJobTestSupport.h"

#include "jobs/JobNames.h"

using namespace syncmljob_test;

namespace {

class SyncMLJobRunsTest : public SyncMLJobFixture {
protected:
    int syncType(int type)
    {
        auto chosen = manager()->actionToUpdateOrganizerDataOfType(type, 4, false);
        EXPECT_TRUE(std::dynamic_pointer_cast<ActionSyncMLServices>(chosen));
        if (!chosen)
            return -999;
        // The data manager hears the job's end, not the test's requester:
        // the end is read from the job's own reports.
        auto end = std::make_shared<std::optional<int>>();
        follow(chosen, [end](const platform::Notification& note) {
            if (note.userInfo.contains(jobnames::kFeedEndActionKey))
                *end = note.userInfo.value(jobnames::kFeedEndActionKey).toInt();
        });
        EXPECT_TRUE(device->addAction(chosen));
        EXPECT_TRUE(runUntil([&] { return end->has_value(); }, 240));
        settle();
        return end->value_or(-999);
    }
    static int countContaining(const QStringList& texts, const QString& part)
    {
        return int(std::count_if(texts.begin(), texts.end(), [&](const QString& t) { return t.contains(part); }));
    }
};

} // namespace

TEST_F(SyncMLJobRunsTest, ContactsAndCalendarOfASyncMLPhoneFillTheArchive)
{
    open();
    addOnDesktop(0, syncMLJobCard(QStringLiteral("Desk"), 9), QStringLiteral("T-9"));
    auto contacts = phonesim::SyncMLPhoneScript::withItems(
        {syncMLJobCard(QStringLiteral("Alpha"), 1), syncMLJobCard(QStringLiteral("Beta"), 2),
         syncMLJobCard(QStringLiteral("Gamma"), 3)});
    phoneRuns(contacts);
    EXPECT_EQ(syncType(0), 0);
    EXPECT_TRUE(contacts->finished());
    const QStringList cards = archiveTexts(0);
    EXPECT_EQ(cards.size(), 4);
    for (const char* name : {"Alpha", "Beta", "Gamma", "Desk"})
        EXPECT_EQ(countContaining(cards, QLatin1String(name)), 1) << name;
    // The desktop's contact went to the phone.
    ASSERT_EQ(contacts->addedByProgram().size(), 1);
    EXPECT_TRUE(contacts->addedByProgram().first().contains(QLatin1String("Desk")));
    EXPECT_EQ(manager()->statusOfOrganizerType(0), 3);

    auto calendar = phonesim::SyncMLPhoneScript::withItems(
        {syncMLJobEvent(QStringLiteral("Meeting")), syncMLJobEvent(QStringLiteral("Dinner"))},
        QStringLiteral("Calendar"), QStringLiteral("./calendar"));
    phoneRuns(calendar);
    EXPECT_EQ(syncType(1), 0);
    EXPECT_TRUE(calendar->finished());
    const QStringList events = archiveTexts(1);
    EXPECT_EQ(events.size(), 2);
    EXPECT_EQ(countContaining(events, QStringLiteral("Meeting")), 1);
    EXPECT_EQ(countContaining(events, QStringLiteral("Dinner")), 1);
    EXPECT_EQ(manager()->statusOfOrganizerType(1), 3);
    EXPECT_TRUE(window.errors.isEmpty());
    EXPECT_TRUE(window.lostEntries.isEmpty());
    // The contacts stayed as they were.
    EXPECT_EQ(archiveTexts(0).size(), 4);
}

// The data manager's sync of a SyncML phone whose sync settings want
// contacts and calendar: the container waits out its 30 s for the listing
// (the phone has no file transfer, so no listing comes), then runs the
// calendar and the contacts, in that order, each filling the archive.
TEST_F(SyncMLJobRunsTest, StartSyncRunsCalendarAndContactsAfterTheWait)
{
    open(kSyncMLJobBoth);
    const auto typeOn = [](int mode) { return QVariantMap{{"SyncMode", mode}}; };
    const QVariantMap settings{{"SyncEngineEnabled", true}, {"Contacts", typeOn(3)}, {"Calendar", typeOn(3)}};
    device->setSyncEnvironments(settings, std::nullopt, std::nullopt);
    ASSERT_TRUE(device->wantsToUseSyncEngineForProperty(0));
    ASSERT_TRUE(device->wantsToUseSyncEngineForProperty(1));
    auto calendar = phonesim::SyncMLPhoneScript::withItems({syncMLJobEvent(QStringLiteral("Meeting"))},
                                                           QStringLiteral("Calendar"), QStringLiteral("./calendar"));
    auto contacts = phonesim::SyncMLPhoneScript::withItems(
        {syncMLJobCard(QStringLiteral("Alpha"), 1), syncMLJobCard(QStringLiteral("Beta"), 2)});
    phoneRuns(calendar);

    const double started = now();
    auto container = manager()->startSync();
    ASSERT_TRUE(container);
    ASSERT_EQ(container->actionContainer().size(), 2);
    QList<int> jobEnds;
    for (const auto& job : container->actionContainer()) {
        follow(job, [&jobEnds](const platform::Notification& note) {
            if (note.userInfo.contains(jobnames::kFeedEndActionKey))
                jobEnds.append(note.userInfo.value(jobnames::kFeedEndActionKey).toInt());
        });
    }
    std::optional<int> end;
    follow(container, [&end](const platform::Notification& note) {
        if (note.userInfo.contains(jobnames::kFeedEndActionKey))
            end = note.userInfo.value(jobnames::kFeedEndActionKey).toInt();
    });

    // The calendar goes first; the phone takes the contacts once it is through.
    ASSERT_TRUE(runUntil([&] { return calendar->finished() || end.has_value(); }, 240));
    ASSERT_FALSE(end.has_value()) << "ended with " << *end;
    EXPECT_GE(now() - started, 30.0) << "the calendar waited out the folder wait";
    phoneRuns(contacts);
    ASSERT_TRUE(runUntil([&] { return end.has_value(); }, 240));
    EXPECT_EQ(*end, 0);
    EXPECT_EQ(jobEnds, (QList<int>{0, 0}));
    EXPECT_TRUE(contacts->finished());

    const QStringList events = archiveTexts(1);
    ASSERT_EQ(events.size(), 1);
    EXPECT_TRUE(events.first().contains(QLatin1String("Meeting")));
    const QStringList cards = archiveTexts(0);
    EXPECT_EQ(cards.size(), 2);
    EXPECT_EQ(countContaining(cards, QStringLiteral("Alpha")), 1);
    EXPECT_EQ(countContaining(cards, QStringLiteral("Beta")), 1);
    EXPECT_EQ(manager()->statusOfOrganizerType(0), 3);
    EXPECT_EQ(manager()->statusOfOrganizerType(1), 3);
    EXPECT_TRUE(window.errors.isEmpty());
}
