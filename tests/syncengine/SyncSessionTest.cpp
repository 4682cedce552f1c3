#include "SyncEngineFixture.h"
#include "TestFiles.h"
#include "foundation/NamedLog.h"

#include <QSize>

using namespace syncengine_test;
using platform::Exception;

namespace {

const QString kFirst = QStringLiteral("first name");

class SyncSessionTest : public SyncEngineFixture {
protected:
    void SetUp() override
    {
        SyncEngineFixture::SetUp();
        desktop = registerClient(QStringLiteral("desktop"));
        phone = registerClient(QStringLiteral("phone"));
        // Both start with a first (slow) run on an empty store.
        sync(desktop);
        sync(phone);
    }

    std::shared_ptr<ISyncClient> desktop;
    std::shared_ptr<ISyncClient> phone;
};

TEST_F(SyncSessionTest, FirstSyncIsSlowAndLaterOnesFast)
{
    auto third = registerClient(QStringLiteral("third"));
    auto session = ISyncSession::beginSessionWithClient(third, kContactEntities, {});
    EXPECT_TRUE(session->shouldPushChangesForEntityName(entity::Contact));
    EXPECT_TRUE(session->shouldPushAllRecordsForEntityName(entity::Contact));
    EXPECT_FALSE(session->shouldPushChangesForEntityName(entity::Event));
    session->finishSyncing();

    session = ISyncSession::beginSessionWithClient(third, kContactEntities, {});
    EXPECT_FALSE(session->shouldPushAllRecordsForEntityName(entity::Contact));
    session->clientWantsToPushAllRecordsForEntityNames({entity::Contact});
    EXPECT_TRUE(session->shouldPushAllRecordsForEntityName(entity::Contact));
    session->cancelSyncing();
}

TEST_F(SyncSessionTest, SlowPushAddsAndChangesButDeletesNothing)
{
    push(desktop, [](ISyncSession& s) {
        s.pushChangesFromRecord(contact(QStringLiteral("Ann"), QStringLiteral("Lee")), QStringLiteral("c1"));
        s.pushChangesFromRecord(contact(QStringLiteral("Bob")), QStringLiteral("c2"));
    });
    sync(phone);

    // The phone was reset: it pushes all it has, which lacks c2 and Ann's last name.
    const Pulled pulled = sync(phone, [](ISyncSession& s) {
        s.clientWantsToPushAllRecordsForEntityNames(kContactEntities);
        s.pushChangesFromRecord(contact(QStringLiteral("Annie")), QStringLiteral("c1"));
        s.pushChangesFromRecord(contact(QStringLiteral("Cy")), QStringLiteral("c3"));
    });
    // A slow pull hands the phone back every record, with its own values.
    EXPECT_EQ(pulled.summary(), QStringList({"add:c1", "add:c2"}));
    EXPECT_EQ(pulled.find("c1")->record().value(kFirst), "Annie");
    EXPECT_EQ(pulled.find("c1")->record().value("last name"), "Lee");

    const Pulled desk = sync(desktop);
    EXPECT_EQ(desk.summary(), QStringList({"modify:c1", "add:c3"}));
    EXPECT_EQ(storedRecord("c2")->value(kFirst), "Bob");
    EXPECT_EQ(storedRecord("c1")->value("last name"), "Lee");
}

TEST_F(SyncSessionTest, FastDeleteTakesTheSubRecordsAlong)
{
    push(desktop, [](ISyncSession& s) {
        s.pushChangesFromRecord(contact(QStringLiteral("Ann")), QStringLiteral("c1"));
        s.pushChangesFromRecord(phoneNumber("c1", "+4912345"), QStringLiteral("p1"));
        s.pushChange(addChange("e1", {{platform::ISyncRecordEntityNameKey, entity::EmailAddress},
                                      {"contact", QVariantList{"c1"}},
                                      {"value", "ann@example.org"}}));
        // A sub-record whose parent the hub does not know is kept.
        s.pushChangesFromRecord(phoneNumber("unknown", "+4900000"), QStringLiteral("p9"));
    });
    const Pulled first = sync(phone);
    EXPECT_EQ(first.summary(), QStringList({"add:c1", "add:p1", "add:p9", "add:e1"}));
    EXPECT_EQ(first.find("p9")->record().value("contact"), QVariantList{"unknown"});

    push(phone, [](ISyncSession& s) { s.pushChange(SyncChange(SyncChange::Delete, "c1")); });
    const Pulled desk = sync(desktop);
    EXPECT_EQ(desk.summary(), QStringList({"delete:c1", "delete:p1", "delete:e1"}));
    EXPECT_TRUE(desk.find("c1")->record().isEmpty());
    EXPECT_TRUE(storedRecord("p9").has_value());
}

TEST_F(SyncSessionTest, CancelledSessionLeavesStoreAndPendingPulls)
{
    push(desktop, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann"), "c1"); });
    auto session = openPull(phone, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Zed"), "z1"); });
    const QList<SyncChange> changes = session->changeEnumeratorForEntityNames(kContactEntities);
    ASSERT_EQ(changes.size(), 1);
    session->clientAcceptedChangesForRecordWithIdentifier("c1", {}, {});
    session->clientCommittedAcceptedChanges();
    session->cancelSyncing();
    EXPECT_THROW(session->finishSyncing(), Exception);

    EXPECT_EQ(sync(phone).summary(), QStringList({"add:c1"}));
    EXPECT_TRUE(sync(desktop).changes.isEmpty());
    EXPECT_FALSE(storedRecord("z1").has_value());
}

TEST_F(SyncSessionTest, DroppedUnfinishedSessionActsAsCancelled)
{
    {
        auto session = ISyncSession::beginSessionWithClient(phone, kContactEntities, {});
        session->pushChangesFromRecord(contact("Zed"), "z1");
    }
    EXPECT_TRUE(sync(desktop).changes.isEmpty());
    EXPECT_NO_THROW(ISyncSession::beginSessionWithClient(phone, kContactEntities, {})->cancelSyncing());
}

TEST_F(SyncSessionTest, ReplaceDeliversEveryRecordAsAddOnce)
{
    push(desktop, [](ISyncSession& s) {
        s.pushChangesFromRecord(contact("Ann"), "c1");
        s.pushChangesFromRecord(phoneNumber("c1", "+4912345"), "p1");
    });
    sync(phone);
    phone->setShouldReplaceClientRecords(true, kContactEntities);

    auto session = openPull(phone);
    EXPECT_TRUE(session->shouldReplaceAllRecordsOnClientForEntityName(entity::Contact));
    EXPECT_TRUE(session->shouldPushAllRecordsForEntityName(entity::Contact));
    session->cancelSyncing();

    const Pulled replaced = sync(phone);
    EXPECT_TRUE(replaced.replaced);
    EXPECT_EQ(replaced.summary(), QStringList({"add:c1", "add:p1"}));
    const SyncChange& add = *replaced.find("c1");
    EXPECT_EQ(add.record().value(platform::ISyncRecordEntityNameKey), entity::Contact);
    EXPECT_TRUE(add.changes().contains(SyncChange::setChange(platform::ISyncRecordEntityNameKey, entity::Contact)));
    EXPECT_TRUE(add.changes().contains(SyncChange::setChange(kFirst, "Ann")));

    const Pulled after = sync(phone);
    EXPECT_FALSE(after.replaced);
    EXPECT_TRUE(after.changes.isEmpty());
}

TEST_F(SyncSessionTest, UnacceptedChangesComeAgainCommittedOnesNever)
{
    push(desktop, [](ISyncSession& s) {
        s.pushChangesFromRecord(contact("Ann"), "c1");
        s.pushChangesFromRecord(contact("Bob"), "c2");
    });
    EXPECT_EQ(sync(phone, {}, [](const SyncChange& c) { return c.recordIdentifier() == "c1"; }).summary(),
              QStringList({"add:c1", "add:c2"}));
    // c2 comes again, now with the later change folded in.
    push(desktop, [](ISyncSession& s) { s.pushChange(modifyChange("c2", kFirst, "Bobby")); });
    const Pulled again = sync(phone);
    EXPECT_EQ(again.summary(), QStringList({"add:c2"}));
    EXPECT_EQ(again.find("c2")->record().value(kFirst), "Bobby");
    EXPECT_TRUE(sync(phone).changes.isEmpty());

    // A pull that is never committed leaves everything to come again.
    push(desktop, [](ISyncSession& s) { s.pushChange(modifyChange("c1", kFirst, "Annie")); });
    auto session = openPull(phone);
    EXPECT_EQ(session->changeEnumeratorForEntityNames(kContactEntities).size(), 1);
    session->clientAcceptedChangesForRecordWithIdentifier("c1", {}, {});
    session->finishSyncing();
    EXPECT_EQ(sync(phone).summary(), QStringList({"modify:c1"}));
}

// How a record's changes since a client's last pull reach that client.
TEST_F(SyncSessionTest, ChangesCollapseToOnePerRecord)
{
    push(desktop, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Old"), "old"); });
    sync(phone);

    struct Case {
        const char* name;
        std::vector<SyncChange> desktopRuns;   // each in a session of its own
        QStringList expected;
    };
    const std::vector<Case> cases{
        {"add then modify is an add", {addChange("n1", contact("A")), modifyChange("n1", kFirst, "B")}, {"add:n1"}},
        {"add then delete is nothing", {addChange("n2", contact("A")), SyncChange(SyncChange::Delete, "n2")}, {}},
        {"modify then delete is a delete",
         {modifyChange("old", kFirst, "Older"), SyncChange(SyncChange::Delete, "old")},
         {"delete:old"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const SyncChange& change : c.desktopRuns)
            push(desktop, [&](ISyncSession& s) { s.pushChange(change); });
        EXPECT_EQ(sync(phone).summary(), c.expected);
    }
}

TEST_F(SyncSessionTest, ModifyNamesOnlyTheChangedProperties)
{
    push(desktop, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann", "Lee"), "c1"); });
    sync(phone);
    push(desktop, [](ISyncSession& s) {
        s.pushChange(SyncChange(SyncChange::Modify, "c1",
                                {SyncChange::setChange(kFirst, "Anne"), SyncChange::clearChange("last name"),
                                 SyncChange::setChange("note", QStringList{"x", "y"})}));
    });
    const Pulled pulled = sync(phone);
    ASSERT_EQ(pulled.summary(), QStringList({"modify:c1"}));
    const QVariantList expected{SyncChange::setChange(kFirst, "Anne"), SyncChange::clearChange("last name"),
                                SyncChange::setChange("note", QVariantList{"x", "y"})};
    EXPECT_EQ(pulled.changes.first().changes(), expected);
    EXPECT_FALSE(pulled.changes.first().record().contains("last name"));

    // Setting what is already there changes nothing.
    push(desktop, [](ISyncSession& s) { s.pushChange(modifyChange("c1", kFirst, "Anne")); });
    EXPECT_TRUE(sync(phone).changes.isEmpty());
}

TEST_F(SyncSessionTest, EachChangeReachesEveryOtherClientOnceAndNeverItsAuthor)
{
    auto third = registerClient(QStringLiteral("third"));
    sync(third);
    push(desktop, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann"), "c1"); });
    push(phone, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Pat"), "c2"); });

    EXPECT_EQ(sync(desktop).summary(), QStringList({"add:c2"}));
    EXPECT_EQ(sync(phone).summary(), QStringList({"add:c1"}));
    EXPECT_EQ(sync(third).summary(), QStringList({"add:c1", "add:c2"}));
    for (const auto& client : {desktop, phone, third})
        EXPECT_TRUE(sync(client).changes.isEmpty()) << client->clientIdentifier().toStdString();
}

TEST_F(SyncSessionTest, LaterFinishWinsAndTheConflictIsLogged)
{
    ASSERT_TRUE(QVLogCreateAndOpen(QStringLiteral("SE")));
    push(desktop, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann"), "c1"); });
    sync(phone);

    auto phoneSession = ISyncSession::beginSessionWithClient(phone, kContactEntities, {});
    phoneSession->pushChange(modifyChange("c1", kFirst, "Anna"));
    push(desktop, [](ISyncSession& s) { s.pushChange(modifyChange("c1", kFirst, "Annie")); });
    phoneSession->finishSyncing();

    EXPECT_EQ(storedRecord("c1")->value(kFirst), "Anna");
    const Pulled desk = sync(desktop);
    EXPECT_EQ(desk.find("c1")->record().value(kFirst), "Anna");
    // The phone is told the value that won, never the one that lost.
    for (const SyncChange& c : sync(phone).changes)
        EXPECT_EQ(c.record().value(kFirst), "Anna");

    const QByteArray log = testing_support::readFile(QVPathForLogFile(QStringLiteral("SE.log")));
    EXPECT_TRUE(log.contains("Conflict on record 'c1' property 'first name': 'Annie' from desktop replaced by "
                             "'Anna' from phone"))
        << log.constData();
}

TEST_F(SyncSessionTest, PullDuringOwnSessionShowsTheOutcomeOfItsFinish)
{
    push(desktop, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann", "Lee"), "c1"); });
    sync(phone);
    push(desktop, [](ISyncSession& s) {
        s.pushChange(SyncChange(SyncChange::Modify, "c1",
                                {SyncChange::setChange(kFirst, "Annie"), SyncChange::setChange("last name", "Li")}));
    });
    const Pulled pulled = sync(phone, [](ISyncSession& s) { s.pushChange(modifyChange("c1", kFirst, "Anna")); });
    ASSERT_EQ(pulled.summary(), QStringList({"modify:c1"}));
    EXPECT_EQ(pulled.changes.first().changes(), QVariantList{SyncChange::setChange("last name", "Li")});
    EXPECT_EQ(pulled.changes.first().record().value(kFirst), "Anna");
}

TEST_F(SyncSessionTest, SecondSessionOfOneClientIsUnavailable)
{
    auto session = ISyncSession::beginSessionWithClient(phone, kContactEntities, {});
    for (const auto& begin : std::vector<std::function<void()>>{
             [&] { ISyncSession::beginSessionWithClient(phone, kContactEntities, {}); },
             [&] { ISyncSession::beginSessionInBackgroundWithClient(phone, kContactEntities, {}); }}) {
        try {
            begin();
            ADD_FAILURE() << "a second session started";
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), platform::ISyncSessionUnavailableException);
        }
    }
    // Another client is not held up.
    EXPECT_NO_THROW(ISyncSession::beginSessionWithClient(desktop, kContactEntities, {})->finishSyncing());
    session->finishSyncing();
    EXPECT_NO_THROW(ISyncSession::beginSessionWithClient(phone, kContactEntities, {})->finishSyncing());
}

TEST_F(SyncSessionTest, ForegroundSessionAfterItsDeadlineIsNotStarted)
{
    const QDateTime past = platform::Clock::instance().currentDateTime().addSecs(-1);
    EXPECT_EQ(ISyncSession::beginSessionWithClient(phone, kContactEntities, past), nullptr);
    EXPECT_NO_THROW(ISyncSession::beginSessionWithClient(phone, kContactEntities, {})->finishSyncing());
}

TEST_F(SyncSessionTest, AlertReachesOtherEnabledClientsOnALaterPass)
{
    auto notes = registerClient(QStringLiteral("notes"), {entity::Note, entity::Contact});
    sync(notes, {}, {}, {entity::Note, entity::Contact});
    notes->setEnabled(false, {entity::Contact});

    QList<std::pair<QString, QStringList>> alerts;
    for (const auto& client : {desktop, phone, notes}) {
        client->setSyncAlertHandler([&alerts](const std::shared_ptr<ISyncClient>& c, const QStringList& names) {
            alerts.append({c->clientIdentifier(), names});
        });
    }
    push(phone, [](ISyncSession& s) {
        s.pushChangesFromRecord(contact("Ann"), "c1");
        s.pushChangesFromRecord(phoneNumber("c1", "1"), "p1");
    });
    EXPECT_TRUE(alerts.isEmpty()) << "alerted inline";
    testing_support::runFor(0.1);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().first, "desktop");
    EXPECT_EQ(alerts.first().second, QStringList({entity::Contact, entity::PhoneNumber}));

    // A finish that changed nothing alerts nobody; a removed handler is not called.
    alerts.clear();
    desktop->setSyncAlertHandler({});
    push(phone, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann"), "c1"); });
    push(desktop, [](ISyncSession& s) { s.pushChange(modifyChange("c1", kFirst, "Anne")); });
    testing_support::runFor(0.1);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().first, "phone");
}

TEST_F(SyncSessionTest, DisabledEntityIsNeitherPushedNorPulled)
{
    phone->setEnabled(false, {entity::PhoneNumber});
    EXPECT_FALSE(phone->isEnabledForEntityName(entity::PhoneNumber));
    push(desktop, [](ISyncSession& s) {
        s.pushChangesFromRecord(contact("Ann"), "c1");
        s.pushChangesFromRecord(phoneNumber("c1", "1"), "p1");
    });
    const Pulled pulled = sync(phone, [](ISyncSession& s) {
        EXPECT_FALSE(s.shouldPushChangesForEntityName(entity::PhoneNumber));
        s.pushChangesFromRecord(phoneNumber("c1", "2"), "p2");
    });
    EXPECT_EQ(pulled.summary(), QStringList({"add:c1"}));
    EXPECT_FALSE(storedRecord("p2").has_value());

    // Enabled again, the entity's next run is slow and brings every record.
    phone->setEnabled(true, {entity::PhoneNumber});
    EXPECT_EQ(sync(phone).summary(), QStringList({"add:p1"}));
}

TEST_F(SyncSessionTest, BadPushIsRefusedAndLeavesTheStoreAsItWas)
{
    ASSERT_TRUE(QVLogCreateAndOpen(QStringLiteral("SE")));
    struct Case {
        const char* name;
        std::function<void(ISyncSession&)> push;
    };
    const std::vector<Case> cases{
        {"add without entity name", [](ISyncSession& s) { s.pushChange(SyncChange(SyncChange::Add, "x", {SyncChange::setChange(kFirst, "A")})); }},
        {"modify of an unknown record", [](ISyncSession& s) { s.pushChange(modifyChange("x", kFirst, "A")); }},
        {"record without entity name", [](ISyncSession& s) { s.pushChangesFromRecord({{kFirst, "A"}}, "x"); }},
        {"entity the description does not name", [](ISyncSession& s) { s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Event}}, "x"); }},
        {"value that is no property-list value", [](ISyncSession& s) { s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Contact}, {"size", QSize(1, 2)}}, "x"); }},
        {"text XML cannot carry", [](ISyncSession& s) { s.pushChangesFromRecord(contact(QString(QChar(0))), "x"); }},
        {"key XML cannot carry", [](ISyncSession& s) { s.pushChange(modifyChange("c1", "note", QVariantMap{{QString(QChar(0xD800)), 1}})); }},
        {"name XML cannot carry", [](ISyncSession& s) { s.pushChange(modifyChange("c1", QString(QChar(0xFFFF)), 1)); }},
        {"unknown action", [](ISyncSession& s) { s.pushChange(SyncChange(SyncChange::Modify, "c1", {SyncChange::propertyChange("toggle", kFirst)})); }},
        {"record without identifier", [](ISyncSession& s) { s.pushChangesFromRecord(contact("A"), {}); }},
    };
    push(desktop, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann"), "c1"); });
    sync(phone);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = ISyncSession::beginSessionWithClient(phone, kContactEntities, {});
        try {
            c.push(*session);
            ADD_FAILURE() << "accepted";
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), platform::ISyncInvalidArgumentsException);
        }
        session->finishSyncing();
        EXPECT_TRUE(sync(desktop).changes.isEmpty());
    }
    EXPECT_TRUE(testing_support::readFile(QVPathForLogFile(QStringLiteral("SE.log"))).contains("names no entity"));

    // Out of order: a push once the pull began.
    auto session = openPull(phone);
    EXPECT_THROW(session->pushChangesFromRecord(contact("A"), "y"), Exception);
    session->finishSyncing();
}

TEST_F(SyncSessionTest, AcceptedRecordCanTakeTheClientsIdentifier)
{
    push(desktop, [](ISyncSession& s) {
        s.pushChangesFromRecord(contact("Ann"), "c1");
        s.pushChangesFromRecord(phoneNumber("c1", "1"), "p1");
    });
    auto session = openPull(phone);
    session->changeEnumeratorForEntityNames(kContactEntities);
    EXPECT_THROW(session->clientAcceptedChangesForRecordWithIdentifier("c1", {}, "p1"), Exception);
    session->clientAcceptedChangesForRecordWithIdentifier("c1", {}, "phone-1");
    session->clientAcceptedChangesForRecordWithIdentifier("p1", {}, {});
    session->clientCommittedAcceptedChanges();
    session->finishSyncing();

    const Pulled desk = sync(desktop);
    EXPECT_EQ(desk.summary(), QStringList({"delete:c1", "add:phone-1", "modify:p1"}));
    EXPECT_EQ(desk.find("phone-1")->record().value(kFirst), "Ann");
    EXPECT_EQ(desk.find("p1")->changes(), QVariantList{SyncChange::setChange("contact", QVariantList{"phone-1"})});
    EXPECT_TRUE(sync(phone).changes.isEmpty());
}

TEST_F(SyncSessionTest, DeleteOfUnknownRecordIsDropped)
{
    push(phone, [](ISyncSession& s) { s.pushChange(SyncChange(SyncChange::Delete, "nobody")); });
    EXPECT_TRUE(sync(desktop).changes.isEmpty());
}

TEST_F(SyncSessionTest, ValuesComeBackInTheirPropertyListForm)
{
    const QDateTime birthday(QDate(1980, 5, 17), QTime(12, 30, 15, 250), Qt::UTC);
    QVariantMap record = contact("Ann");
    record.insert("birthday", birthday);
    record.insert("image", QByteArray("\x00\x01\xff", 3));
    record.insert("age", 44);
    record.insert("rate", 1.5);
    record.insert("flag", true);
    record.insert("groups", QStringList{"g1"});
    push(desktop, [&](ISyncSession& s) { s.pushChangesFromRecord(record, "c1"); });
    const QVariantMap pulled = sync(phone).find("c1")->record();
    EXPECT_EQ(pulled.value("birthday"), QDateTime(QDate(1980, 5, 17), QTime(12, 30, 15), Qt::UTC));
    EXPECT_EQ(pulled.value("image"), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(pulled.value("age").toLongLong(), 44);
    EXPECT_EQ(pulled.value("rate").toDouble(), 1.5);
    EXPECT_EQ(pulled.value("flag"), true);
    EXPECT_EQ(pulled.value("groups"), QVariantList{"g1"});
}

} // namespace
