#include "SyncEngineFixture.h"
#include "desktopstore/DesktopStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimeZone>

#include <fcntl.h>
#include <sys/stat.h>

using namespace syncengine_test;
using desktopstore::DesktopStore;

namespace {

const QStringList kEntities{entity::Contact,  entity::PhoneNumber, entity::EmailAddress, entity::URL,
                            entity::StreetAddress, entity::Calendar,  entity::Event,        entity::Task,
                            entity::Recurrence,    entity::AudioAlarm, entity::DisplayAlarm, entity::Group,
                            entity::Note};

const QByteArray kAnn = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ann\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n"
                        "TEL;TYPE=HOME:+4930111\r\nEMAIL;TYPE=WORK:ann@example.org\r\nEND:VCARD\r\n";

class DesktopStoreTest : public SyncEngineFixture {
protected:
    void SetUp() override
    {
        SyncEngineFixture::SetUp();
        phone = registerClient(QStringLiteral("phone"), kEntities);
        sync(phone, {}, {}, kEntities);
        store = std::make_unique<DesktopStore>(manager(), root());
    }

    QString root() const { return folder() + QStringLiteral("/vdir"); }
    QString contactFile(const QString& name) const { return root() + QStringLiteral("/contacts/") + name; }

    void syncDesktop()
    {
        bool finished = false;
        bool ended = false;
        store->synchronize([&](bool ok) {
            finished = ok;
            ended = true;
        });
        ASSERT_TRUE(testing_support::runUntil([&] { return ended; }));
        ASSERT_TRUE(finished);
    }
    Pulled syncPhone(const std::function<void(ISyncSession&)>& fn = {}) { return sync(phone, fn, {}, kEntities); }

    // Writes text elsewhere and renames it over the file, as editors do.
    void editorWrite(const QString& path, const QByteArray& text)
    {
        const QString elsewhere = folder() + QStringLiteral("/edit.tmp");
        QFile file(elsewhere);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        ASSERT_EQ(::rename(QFile::encodeName(elsewhere).constData(), QFile::encodeName(path).constData()), 0);
    }
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The one file of contacts/ (besides what the test names).
    QStringList contactFiles() const
    {
        return QDir(root() + QStringLiteral("/contacts")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    std::shared_ptr<ISyncClient> phone;
    std::unique_ptr<DesktopStore> store;
};

TEST_F(DesktopStoreTest, PulledContactBecomesAFileAndComesBackUnchanged)
{
    QVariantMap ann = contact(QStringLiteral("Ann"), QString::fromUtf8("Lëe"));
    ann.insert("phone numbers", QVariantList{"p1"});
    ann.insert("job title", "Pilot");
    QVariantMap number = phoneNumber("c1", "+4930111");
    number.insert("type", "mobile");
    number.insert("label", "Boat");
    syncPhone([&](ISyncSession& s) {
        s.pushChangesFromRecord(ann, "c1");
        s.pushChangesFromRecord(number, "p1");
    });
    syncDesktop();
    // The record id is a safe name: it names the file.
    ASSERT_EQ(contactFiles(), QStringList{"c1.vcf"});
    EXPECT_TRUE(contents(contactFile("c1.vcf")).contains("item1.TEL;TYPE=CELL:+4930111"));
    // The store's own write is no change, and the phone hears nothing back.
    EXPECT_TRUE(store->pendingChanges().isEmpty());
    syncDesktop();
    EXPECT_TRUE(syncPhone().changes.isEmpty());

    // A new hub and a new store over the same folder: a slow push of the file
    // brings back the same records.
    store.reset();
    restart();
    QFile::remove(root() + "/" + desktopstore::kStateFileName);
    const QString fresh = folder() + "/store2.db";
    ISyncManager second(fresh);
    DesktopStore again(second, root());
    bool ended = false;
    again.synchronize([&](bool) { ended = true; });
    ASSERT_TRUE(testing_support::runUntil([&] { return ended; }));
    auto reader = second.registerClientWithIdentifier("reader", description("reader", kEntities));
    Pulled all;
    {
        auto session = ISyncSession::beginSessionWithClient(reader, kEntities, {});
        bool ready = false;
        session->prepareToPullChangesInBackgroundForEntityNames(kEntities, [&](auto&, auto&) { ready = true; });
        ASSERT_TRUE(testing_support::runUntil([&] { return ready; }));
        all.changes = session->changeEnumeratorForEntityNames(kEntities);
        session->cancelSyncing();
    }
    ASSERT_EQ(all.changes.size(), 2);
    QVariantMap contactBack;
    QVariantMap numberBack;
    for (const SyncChange& c : all.changes)
        (c.record().value(platform::ISyncRecordEntityNameKey) == entity::Contact ? contactBack : numberBack) = c.record();
    const QString numberId = contactBack.value("phone numbers").toList().value(0).toString();
    ann.insert("phone numbers", QVariantList{numberId});
    EXPECT_EQ(contactBack, ann);
    number.insert("contact", QVariantList{all.changes[0].record().value(platform::ISyncRecordEntityNameKey) == entity::Contact
                                              ? all.changes[0].recordIdentifier()
                                              : all.changes[1].recordIdentifier()});
    EXPECT_EQ(numberBack, number);
}

TEST_F(DesktopStoreTest, FileChangesBecomePushes)
{
    QDir().mkpath(root() + "/contacts");
    editorWrite(contactFile("ann.vcf"), kAnn);
    syncDesktop();
    // A new file: the contact and its two sub-records.
    Pulled pulled = syncPhone();
    ASSERT_EQ(pulled.changes.size(), 3);
    QString annId;
    for (const SyncChange& c : pulled.changes) {
        EXPECT_EQ(c.type(), SyncChange::Add);
        if (c.record().value(platform::ISyncRecordEntityNameKey) == entity::Contact)
            annId = c.recordIdentifier();
    }
    ASSERT_FALSE(annId.isEmpty());

    // Edited as an editor does: one modify with the changed property.
    QByteArray edited = kAnn;
    edited.replace("END:VCARD", "TITLE:Pilot\r\nEND:VCARD");
    editorWrite(contactFile("ann.vcf"), edited);
    syncDesktop();
    pulled = syncPhone();
    ASSERT_EQ(pulled.summary(), QStringList{"modify:" + annId});
    ASSERT_EQ(pulled.changes[0].changes().size(), 1);
    EXPECT_EQ(pulled.changes[0].changes()[0].toMap().value("name"), "job title");

    // Touched without a change: the content hash says it is the same.
    editorWrite(contactFile("ann.vcf"), edited);
    syncDesktop();
    EXPECT_TRUE(syncPhone().changes.isEmpty());

    // Removed: the contact and its sub-records go.
    QFile::remove(contactFile("ann.vcf"));
    syncDesktop();
    pulled = syncPhone();
    EXPECT_EQ(pulled.changes.size(), 3);
    for (const SyncChange& c : pulled.changes)
        EXPECT_EQ(c.type(), SyncChange::Delete);
    EXPECT_TRUE(store->pendingChanges().isEmpty());
}

TEST_F(DesktopStoreTest, PulledChangeKeepsUnknownPropertiesOfTheFile)
{
    QDir().mkpath(root() + "/contacts");
    QByteArray text = kAnn;
    text.replace("END:VCARD", "X-FOO:kept\r\nCATEGORIES:Friends\r\nEND:VCARD");
    editorWrite(contactFile("ann.vcf"), text);
    syncDesktop();
    QString annId;
    for (const SyncChange& c : syncPhone().changes) {
        if (c.record().value(platform::ISyncRecordEntityNameKey) == entity::Contact)
            annId = c.recordIdentifier();
    }
    syncPhone([&](ISyncSession& s) { s.pushChange(modifyChange(annId, "first name", "Anna")); });
    syncDesktop();
    const QByteArray after = contents(contactFile("ann.vcf"));
    EXPECT_TRUE(after.contains("N:Lee;Anna;;;\r\n"));
    EXPECT_TRUE(after.contains("\r\nX-FOO:kept\r\n"));
    EXPECT_TRUE(after.contains("\r\nCATEGORIES:Friends\r\n"));
    EXPECT_TRUE(after.contains("TEL;TYPE=HOME:+4930111"));
    EXPECT_TRUE(store->pendingChanges().isEmpty());

    // Deleted on the phone: the file goes.
    syncPhone([&](ISyncSession& s) { s.pushChange(SyncChange(SyncChange::Delete, annId)); });
    syncDesktop();
    EXPECT_TRUE(contactFiles().isEmpty());
}

TEST_F(DesktopStoreTest, BadAndForeignFilesAreLeftAlone)
{
    QDir().mkpath(root() + "/contacts");
    const struct {
        const char* name;
        QByteArray text;
    } files[] = {
        {"broken.vcf", "BEGIN:VCARD\nTEL;TYPE=:1\nEND:VCARD\n"},
        {"two.vcf", "BEGIN:VCARD\nFN:A\nEND:VCARD\nBEGIN:VCARD\nFN:B\nEND:VCARD\n"},
        {"empty.vcf", ""},
        {".hidden.vcf", kAnn},
        {"backup.vcf~", kAnn},
        {"notes.txt", kAnn},
    };
    for (const auto& f : files)
        editorWrite(contactFile(f.name), f.text);
    syncDesktop();
    EXPECT_TRUE(syncPhone().changes.isEmpty());
    for (const auto& f : files)
        EXPECT_EQ(contents(contactFile(f.name)), f.text) << f.name;
    // Mended by its owner, a skipped file comes in.
    editorWrite(contactFile("two.vcf"), kAnn);
    syncDesktop();
    EXPECT_EQ(syncPhone().changes.size(), 3);

    // A pulled record whose id is no safe file name stays inside contacts/.
    syncPhone([](ISyncSession& s) { s.pushChangesFromRecord(contact("Eve"), "../../escape"); });
    syncDesktop();
    EXPECT_FALSE(QFile::exists(folder() + "/escape.vcf"));
    EXPECT_EQ(contactFiles().size(), std::size(files) + 1);
}

TEST_F(DesktopStoreTest, RunningStoreFollowsTheFolderAndTheHub)
{
    store->start();
    ASSERT_TRUE(testing_support::runUntil([&] { return !store->isSyncing(); }));
    // Another client's change is written without being asked for.
    syncPhone([](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann"), "c1"); });
    ASSERT_TRUE(testing_support::runUntil([&] { return QFile::exists(contactFile("c1.vcf")); }));

    // A file edited while the store runs is pushed by the next scan.
    QByteArray text = contents(contactFile("c1.vcf"));
    text.replace("END:VCARD", "TITLE:Pilot\r\nEND:VCARD");
    editorWrite(contactFile("c1.vcf"), text);
    testing_support::runFor(DesktopStore::kScanInterval + 1);
    const Pulled pulled = syncPhone();
    ASSERT_EQ(pulled.summary(), QStringList{"modify:c1"});
    EXPECT_EQ(pulled.changes[0].record().value("job title"), "Pilot");
}

// Turns the event loop for ms of real time while Clock time stands still, so
// only the folder watch can start a session.
void turnRealEventsFor(int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

ino_t inodeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

TEST_F(DesktopStoreTest, OwnWritesDoNotWakeTheFolderWatchButAnEditorsChangeDoes)
{
    store->start();
    ASSERT_TRUE(testing_support::runUntil([&] { return !store->isSyncing(); }));
    syncPhone([](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann"), "c1"); });
    ASSERT_TRUE(testing_support::runUntil([&] { return QFile::exists(contactFile("c1.vcf")); }));
    ASSERT_TRUE(testing_support::runUntil([&] { return !store->isSyncing(); }));

    // Every session rewrites the state file; a watch woken by that would sync
    // again and again.
    const QString state = root() + "/" + desktopstore::kStateFileName;
    const ino_t settled = inodeOf(state);
    ASSERT_NE(settled, ino_t(0));
    turnRealEventsFor(400);
    EXPECT_FALSE(store->isSyncing());
    EXPECT_EQ(inodeOf(state), settled);

    // An editor's change is taken at once, before the next scan is due.
    QByteArray text = contents(contactFile("c1.vcf"));
    text.replace("END:VCARD", "TITLE:Pilot\r\nEND:VCARD");
    editorWrite(contactFile("c1.vcf"), text);
    turnRealEventsFor(400);
    ASSERT_TRUE(testing_support::runUntil([&] { return !store->isSyncing(); }, 1.0));
    EXPECT_EQ(syncPhone().summary(), QStringList{"modify:c1"});
}

TEST_F(DesktopStoreTest, CalendarsAreFoldersOfEventsAndTasks)
{
    const QDateTime start(QDate(2026, 3, 29), QTime(8, 0), QTimeZone::utc());
    syncPhone([&](ISyncSession& s) {
        s.pushChangesFromRecord(
            {{platform::ISyncRecordEntityNameKey, entity::Calendar}, {"title", "Work"}, {"color", "#FF8800"}}, "cal1");
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Event},
                                 {"summary", "Stand-up"},
                                 {"start date", start},
                                 {"end date", start.addSecs(900)},
                                 {"calendar", QVariantList{"cal1"}}},
                                "e1");
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Task},
                                 {"summary", "Report"},
                                 {"due date", start},
                                 {"calendar", QVariantList{"cal1"}}},
                                "t1");
    });
    syncDesktop();
    EXPECT_EQ(contents(root() + "/cal1/displayname"), "Work\n");
    EXPECT_EQ(contents(root() + "/cal1/color"), "#FF8800");
    EXPECT_TRUE(contents(root() + "/cal1/e1.ics").contains("SUMMARY:Stand-up"));
    EXPECT_TRUE(contents(root() + "/cal1/t1.ics").contains("BEGIN:VTODO"));
    EXPECT_TRUE(store->pendingChanges().isEmpty());

    // Edited by a calendar program: one modify with the changed property.
    QByteArray text = contents(root() + "/cal1/e1.ics");
    text.replace("SUMMARY:Stand-up", "SUMMARY:Retro");
    editorWrite(root() + "/cal1/e1.ics", text);
    // Renamed calendar, a new event, a removed task.
    editorWrite(root() + "/cal1/displayname", "Office\n");
    editorWrite(root() + "/cal1/color", "#0000FF");
    editorWrite(root() + "/cal1/new.ics", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\n"
                                          "UID:new\r\nDTSTART;VALUE=DATE:20260401\r\nSUMMARY:Trip\r\n"
                                          "END:VEVENT\r\nEND:VCALENDAR\r\n");
    QFile::remove(root() + "/cal1/t1.ics");
    syncDesktop();
    const Pulled pulled = syncPhone();
    QStringList summary = pulled.summary();
    summary.sort();
    ASSERT_EQ(summary.size(), 4) << summary.join(' ').toStdString();
    EXPECT_EQ(summary.mid(1, 1), QStringList{"delete:t1"});
    EXPECT_EQ(summary.mid(2), QStringList({"modify:cal1", "modify:e1"}));
    EXPECT_EQ(pulled.find("cal1")->record().value("title"), "Office");
    EXPECT_EQ(pulled.find("cal1")->record().value("color"), "#0000FF");
    EXPECT_EQ(pulled.find("e1")->changes().size(), 1);
    EXPECT_EQ(pulled.find("e1")->record().value("summary"), "Retro");
    for (const SyncChange& c : pulled.changes) {
        if (c.type() == SyncChange::Add) {
            EXPECT_EQ(c.record().value("summary"), "Trip");
            EXPECT_EQ(c.record().value("all day"), true);
            EXPECT_EQ(c.record().value("calendar"), QVariantList{"cal1"});
        }
    }
}

TEST_F(DesktopStoreTest, RecurrenceAndAlarmsAreSubRecordsOfTheirEvent)
{
    const QDateTime start(QDate(2026, 3, 2), QTime(8, 0), QTimeZone::utc());
    syncPhone([&](ISyncSession& s) {
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Calendar}, {"title", "Home"}}, "cal1");
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Recurrence},
                                 {"frequency", "daily"},
                                 {"interval", 1},
                                 {"count", 5},
                                 {"owner", QVariantList{"e1"}}},
                                "r1");
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::AudioAlarm},
                                 {"triggerduration", -600},
                                 {"owner", QVariantList{"e1"}}},
                                "a1");
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Event},
                                 {"summary", "Pills"},
                                 {"start date", start},
                                 {"exception dates", QVariantList{start.addDays(2)}},
                                 {"recurrences", QVariantList{"r1"}},
                                 {"audio alarms", QVariantList{"a1"}},
                                 {"calendar", QVariantList{"cal1"}}},
                                "e1");
    });
    syncDesktop();
    const QByteArray text = contents(root() + "/cal1/e1.ics");
    EXPECT_TRUE(text.contains("RRULE:FREQ=DAILY;COUNT=5")) << text.constData();
    EXPECT_TRUE(text.contains("EXDATE:20260304T080000Z")) << text.constData();
    EXPECT_TRUE(text.contains("ACTION:AUDIO")) << text.constData();
    EXPECT_TRUE(store->pendingChanges().isEmpty());

    // The alarm moved in a calendar program: one modify of the alarm record.
    QByteArray edited = text;
    edited.replace("TRIGGER:-PT10M", "TRIGGER:-PT30M");
    ASSERT_NE(edited, text);
    editorWrite(root() + "/cal1/e1.ics", edited);
    syncDesktop();
    Pulled pulled = syncPhone();
    ASSERT_EQ(pulled.summary(), QStringList{"modify:a1"});
    EXPECT_EQ(pulled.changes[0].record().value("triggerduration").toLongLong(), -1800);

    // The rule removed there: one delete of the recurrence record.
    edited.replace("RRULE:FREQ=DAILY;COUNT=5\r\n", "");
    editorWrite(root() + "/cal1/e1.ics", edited);
    syncDesktop();
    pulled = syncPhone();
    QStringList summary = pulled.summary();
    summary.sort();
    EXPECT_EQ(summary, QStringList({"delete:r1", "modify:e1"}));
}

// A recurring event with a moved occurrence, as calendar programs write it:
// the phone gets the rule with the occurrence's date as an exception, and the
// occurrence as an event of its own; its changes keep the file's override.
TEST_F(DesktopStoreTest, MovedOccurrenceReachesThePhoneAndStaysInTheFile)
{
    QDir().mkpath(root() + "/cal1");
    editorWrite(root() + "/cal1/displayname", "Home\n");
    editorWrite(root() + "/cal1/m1.ics",
                "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:m1\r\n"
                "DTSTART:20260302T080000Z\r\nRRULE:FREQ=DAILY;COUNT=5\r\nSUMMARY:Pills\r\nEND:VEVENT\r\n"
                "BEGIN:VEVENT\r\nUID:m1\r\nRECURRENCE-ID:20260304T080000Z\r\nDTSTART:20260304T120000Z\r\n"
                "SUMMARY:Pills at noon\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    syncDesktop();
    Pulled pulled = syncPhone();
    QString masterId;
    QString movedId;
    QString calendarId;
    for (const SyncChange& c : pulled.changes) {
        const QVariantMap& r = c.record();
        if (r.value(platform::ISyncRecordEntityNameKey) == entity::Calendar)
            calendarId = c.recordIdentifier();
        else if (r.value(platform::ISyncRecordEntityNameKey) == entity::Event)
            (r.contains("recurrences") ? masterId : movedId) = c.recordIdentifier();
    }
    ASSERT_FALSE(masterId.isEmpty());
    ASSERT_FALSE(movedId.isEmpty());
    EXPECT_EQ(pulled.changes.size(), 4); // calendar, event, its rule, the moved occurrence
    const QDateTime moved(QDate(2026, 3, 4), QTime(8, 0), QTimeZone::utc());
    EXPECT_EQ(pulled.find(masterId)->record().value("exception dates"), QVariantList{moved});
    const QVariantMap occurrence = pulled.find(movedId)->record();
    EXPECT_EQ(occurrence.value("summary"), "Pills at noon");
    EXPECT_EQ(occurrence.value("start date").toDateTime(), moved.addSecs(4 * 3600));
    EXPECT_FALSE(occurrence.contains("recurrences"));
    EXPECT_EQ(occurrence.value("calendar"), QVariantList{calendarId});

    // Changed on the phone: the rule's summary, then the moved occurrence.
    syncPhone([&](ISyncSession& s) { s.pushChange(modifyChange(masterId, "summary", "Tablets")); });
    syncDesktop();
    QByteArray text = contents(root() + "/cal1/m1.ics");
    EXPECT_TRUE(text.contains("SUMMARY:Tablets\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("RECURRENCE-ID:20260304T080000Z\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("SUMMARY:Pills at noon\r\n"));
    EXPECT_FALSE(text.contains("EXDATE"));
    EXPECT_TRUE(store->pendingChanges().isEmpty());
    syncPhone([&](ISyncSession& s) { s.pushChange(modifyChange(movedId, "summary", "Tablets at noon")); });
    syncDesktop();
    text = contents(root() + "/cal1/m1.ics");
    EXPECT_TRUE(text.contains("SUMMARY:Tablets at noon\r\n")) << text.constData();
    EXPECT_EQ(text.count("BEGIN:VEVENT"), 2);
    EXPECT_TRUE(store->pendingChanges().isEmpty());
    EXPECT_TRUE(syncPhone().changes.isEmpty());

    // Edited in a calendar program: one modify of the occurrence's event.
    text.replace("SUMMARY:Tablets at noon", "SUMMARY:Tablets at one");
    editorWrite(root() + "/cal1/m1.ics", text);
    syncDesktop();
    pulled = syncPhone();
    ASSERT_EQ(pulled.summary(), QStringList{"modify:" + movedId});
    EXPECT_EQ(pulled.changes[0].record().value("summary"), "Tablets at one");

    // Deleted on the phone: the override goes, the day stays skipped.
    syncPhone([&](ISyncSession& s) { s.pushChange(SyncChange(SyncChange::Delete, movedId)); });
    syncDesktop();
    text = contents(root() + "/cal1/m1.ics");
    EXPECT_EQ(text.count("BEGIN:VEVENT"), 1) << text.constData();
    EXPECT_TRUE(text.contains("EXDATE:20260304T080000Z\r\n"));
    EXPECT_TRUE(store->pendingChanges().isEmpty());
}

TEST_F(DesktopStoreTest, GroupsAreTheCategoriesOfTheirMembers)
{
    syncPhone([&](ISyncSession& s) {
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Contact}, {"first name", "Ann"}}, "c1");
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Contact}, {"first name", "Bo"}}, "c2");
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Group},
                                 {"name", "Choir"},
                                 {"members", QVariantList{"c2", "c1"}}},
                                "g1");
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Group},
                                 {"name", "Family, near"},
                                 {"members", QVariantList{"c1"}}},
                                "g2");
        s.pushChangesFromRecord(
            {{platform::ISyncRecordEntityNameKey, entity::Group}, {"name", "Empty"}, {"members", QVariantList{}}}, "g3");
    });
    syncDesktop();
    EXPECT_TRUE(contents(contactFile("c1.vcf")).contains("CATEGORIES:Choir,Family\\, near\r\n"))
        << contents(contactFile("c1.vcf")).constData();
    EXPECT_TRUE(contents(contactFile("c2.vcf")).contains("CATEGORIES:Choir\r\n"));
    EXPECT_TRUE(store->pendingChanges().isEmpty());

    // Renamed on the phone: both members' files follow.
    syncPhone([&](ISyncSession& s) {
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Group},
                                 {"name", "Singers"},
                                 {"members", QVariantList{"c1", "c2"}}},
                                "g1");
    });
    syncDesktop();
    EXPECT_TRUE(contents(contactFile("c2.vcf")).contains("CATEGORIES:Singers\r\n"));
    EXPECT_TRUE(store->pendingChanges().isEmpty());

    // Bo leaves the singers and starts a new group in an address book program.
    QByteArray text = contents(contactFile("c2.vcf"));
    text.replace("CATEGORIES:Singers", "CATEGORIES:Chess");
    editorWrite(contactFile("c2.vcf"), text);
    syncDesktop();
    const Pulled pulled = syncPhone();
    QStringList summary = pulled.summary();
    summary.sort();
    ASSERT_EQ(summary.size(), 2) << summary.join(' ').toStdString();
    EXPECT_EQ(summary[1], "modify:g1");
    EXPECT_EQ(pulled.find("g1")->record().value("members"), QVariantList{"c1"});
    for (const SyncChange& c : pulled.changes) {
        if (c.type() == SyncChange::Add) {
            EXPECT_EQ(c.record().value("name"), "Chess");
            EXPECT_EQ(c.record().value("members"), QVariantList{"c2"});
        }
    }
}

TEST_F(DesktopStoreTest, NotesAreJournalsInTheirOwnFolder)
{
    syncPhone([&](ISyncSession& s) {
        s.pushChangesFromRecord(
            {{platform::ISyncRecordEntityNameKey, entity::Note}, {"subject", "Ideas"}, {"content", "one\ntwo"}}, "n1");
    });
    syncDesktop();
    const QByteArray text = contents(root() + "/notes/n1.ics");
    EXPECT_TRUE(text.contains("BEGIN:VJOURNAL\r\n")) << text.constData();
    EXPECT_TRUE(text.contains("SUMMARY:Ideas\r\n"));
    EXPECT_TRUE(store->pendingChanges().isEmpty());

    // Edited elsewhere: one modify; a property the mapping does not know stays.
    QByteArray edited = text;
    edited.replace("SUMMARY:Ideas", "SUMMARY:Plans\r\nDTSTART;VALUE=DATE:20260101");
    editorWrite(root() + "/notes/n1.ics", edited);
    syncDesktop();
    const Pulled pulled = syncPhone();
    ASSERT_EQ(pulled.summary(), QStringList{"modify:n1"});
    EXPECT_EQ(pulled.changes[0].record().value("subject"), "Plans");
    syncPhone([&](ISyncSession& s) {
        s.pushChangesFromRecord(
            {{platform::ISyncRecordEntityNameKey, entity::Note}, {"subject", "Plans"}, {"content", "three"}}, "n1");
    });
    syncDesktop();
    EXPECT_TRUE(contents(root() + "/notes/n1.ics").contains("DTSTART;VALUE=DATE:20260101\r\n"));
    EXPECT_TRUE(contents(root() + "/notes/n1.ics").contains("DESCRIPTION:three\r\n"));
}

// Runs a program to its end (at most a minute); its exit code, -1 when it
// did not finish.
int runProgram(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.closeWriteChannel();
    const bool finished = process.waitForFinished(60000);
    if (output)
        *output = process.readAll();
    if (!finished) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// vdirsyncer keeps the store in step with a Radicale server on a free local
// port (temporary storage, any login accepted), as a user's setup would.
TEST_F(DesktopStoreTest, VdirsyncerSyncsTheStoreWithRadicale)
{
    for (const char* program : {"vdirsyncer", "radicale", "curl"}) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            GTEST_SKIP() << program << " is not installed (scripts/install-deps.sh installs it)";
    }
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const QString dav = folder() + "/dav";
    QDir().mkpath(dav);
    const QString base = QStringLiteral("http://127.0.0.1:%1/test/").arg(port);
    {
        QFile config(dav + "/radicale.conf");
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n[auth]\ntype = none\n[rights]\ntype = owner_only\n"
                                    "[storage]\nfilesystem_folder = %2/collections\n[logging]\nlevel = warning\n")
                         .arg(port)
                         .arg(dav)
                         .toUtf8());
    }
    QProcess radicale;
    radicale.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    radicale.start("radicale", {"--config", dav + "/radicale.conf"});
    const auto stop = qScopeGuard([&] {
        radicale.terminate();
        if (!radicale.waitForFinished(10000))
            radicale.kill();
        radicale.waitForFinished(5000);
    });
    ASSERT_TRUE(radicale.waitForStarted(10000));
    bool listening = false;
    for (int attempt = 0; attempt < 100 && !listening && radicale.state() == QProcess::Running; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        listening = socket.waitForConnected(100);
        if (!listening)
            radicale.waitForFinished(100);   // a short pause that ends early if the server dies
    }
    ASSERT_TRUE(listening) << "Radicale did not start on port " << port;
    const QStringList login{"-s", "-f", "-u", "test:x"};
    ASSERT_EQ(runProgram("curl", login + QStringList{"-X", "PROPFIND", base}), 0);
    ASSERT_EQ(runProgram("curl", login + QStringList{"-X", "MKCOL", "-H", "Content-Type: application/xml", "--data",
                                                     "<?xml version=\"1.0\"?><mkcol xmlns=\"DAV:\" "
                                                     "xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><set><prop>"
                                                     "<resourcetype><collection/><C:addressbook/></resourcetype>"
                                                     "</prop></set></mkcol>",
                                                     base + "contacts/"}),
              0);
    ASSERT_EQ(runProgram("curl", login + QStringList{"-X", "MKCALENDAR", base + "cal1/"}), 0);

    const QDateTime start(QDate(2026, 5, 4), QTime(9, 0), QTimeZone::utc());
    syncPhone([&](ISyncSession& s) {
        s.pushChangesFromRecord(contact("Ann", "Lee"), "c1");
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Calendar}, {"title", "Work"}}, "cal1");
        s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Event},
                                 {"summary", "Review"},
                                 {"start date", start},
                                 {"end date", start.addSecs(3600)},
                                 {"calendar", QVariantList{"cal1"}}},
                                "e1");
    });
    syncDesktop();
    {
        QFile config(dav + "/vdirsyncer.conf");
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        QString text = QStringLiteral("[general]\nstatus_path = \"%1/status/\"\n").arg(dav);
        for (const auto& [name, type, ext] : {std::tuple{"contacts", "carddav", ".vcf"}, {"cal1", "caldav", ".ics"}}) {
            text += QStringLiteral("[pair %1]\na = \"%1_local\"\nb = \"%1_remote\"\ncollections = null\n"
                                   "[storage %1_local]\ntype = \"filesystem\"\npath = \"%2/%1/\"\nfileext = \"%3\"\n"
                                   "[storage %1_remote]\ntype = \"%4\"\nurl = \"%5%1/\"\nusername = \"test\"\n"
                                   "password = \"x\"\n")
                        .arg(name, root(), ext, type, base);
        }
        config.write(text.toUtf8());
    }
    const QStringList vdirsyncer{"-c", dav + "/vdirsyncer.conf"};
    QByteArray output;
    ASSERT_EQ(runProgram("vdirsyncer", vdirsyncer + QStringList{"discover"}, &output), 0) << output.constData();
    ASSERT_EQ(runProgram("vdirsyncer", vdirsyncer + QStringList{"sync"}, &output), 0) << output.constData();

    // Written here, now on the server.
    QByteArray card;
    ASSERT_EQ(runProgram("curl", login + QStringList{base + "contacts/c1.vcf"}, &card), 0);
    EXPECT_TRUE(card.contains("FN:Ann Lee")) << card.constData();
    QByteArray event;
    ASSERT_EQ(runProgram("curl", login + QStringList{base + "cal1/e1.ics"}, &event), 0);
    EXPECT_TRUE(event.contains("SUMMARY:Review")) << event.constData();

    // Changed on the server: one modify comes back.
    card.replace("FN:Ann Lee", "FN:Ann Lee\r\nTITLE:Captain");
    ASSERT_EQ(runProgram("curl", login + QStringList{"-X", "PUT", "-H", "Content-Type: text/vcard", "--data-binary",
                                                     QString::fromUtf8(card), base + "contacts/c1.vcf"}),
              0);
    ASSERT_EQ(runProgram("vdirsyncer", vdirsyncer + QStringList{"sync"}, &output), 0) << output.constData();
    syncDesktop();
    const Pulled pulled = syncPhone();
    ASSERT_EQ(pulled.summary(), QStringList{"modify:c1"});
    EXPECT_EQ(pulled.changes[0].record().value("job title"), "Captain");
}

TEST_F(DesktopStoreTest, ScanTrustsAnUnchangedEtag)
{
    QDir().mkpath(root() + "/contacts");
    editorWrite(contactFile("ann.vcf"), kAnn);
    syncDesktop();
    syncPhone();
    // Bytes changed in place with size, inode and mtime kept: the scan does
    // not read the file, so it sees no change.
    const QByteArray path = QFile::encodeName(contactFile("ann.vcf"));
    struct stat before {};
    ASSERT_EQ(::stat(path.constData(), &before), 0);
    QByteArray same = kAnn;
    same.replace("Ann", "Bob");
    QFile file(contactFile("ann.vcf"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.write(same);
    file.close();
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    EXPECT_TRUE(store->pendingChanges().isEmpty());
    // Any change of the etag brings the file in.
    const struct timespec later[2] = {before.st_atim, {before.st_mtim.tv_sec + 1, before.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), later, 0), 0);
    EXPECT_EQ(store->pendingChanges().size(), 1);
}

} // namespace
