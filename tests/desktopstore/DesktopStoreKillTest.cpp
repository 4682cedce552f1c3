#include "SyncEngineFixture.h"
#include "desktopstore/DesktopStore.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace syncengine_test;
using desktopstore::DesktopStore;

namespace {

const QStringList kHubEntities{entity::Contact,       entity::PhoneNumber, entity::EmailAddress, entity::URL,
                               entity::StreetAddress, entity::Calendar,    entity::Event,        entity::Task,
                               entity::Recurrence,    entity::AudioAlarm,  entity::DisplayAlarm, entity::Group,
                               entity::Note};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// A process stopped with SIGKILL part-way through a desktop sync: the next
// start loses nothing and duplicates nothing, on the desktop, in the hub and
// on the phone, wherever the stop came.
class DesktopStoreKillTest : public SyncEngineFixture {
protected:
    QString hubPath(int run) const { return folder() + QStringLiteral("/run%1/hub.db").arg(run); }
    QString rootOf(int run) const { return folder() + QStringLiteral("/run%1/vdir").arg(run); }

    static bool syncDesktop(DesktopStore& store)
    {
        bool finished = false;
        bool ended = false;
        store.synchronize([&](bool ok) {
            finished = ok;
            ended = true;
        });
        return testing_support::runUntil([&] { return ended; }) && finished;
    }

    // The phone's records and a desktop sync of them, then changes on both
    // sides that the sync to be stopped carries.
    void prepare(int run)
    {
        ISyncManager hub(hubPath(run));
        auto phone = hub.registerClientWithIdentifier("phone", description("phone", kHubEntities));
        sync(
            phone,
            [](ISyncSession& s) {
                for (int i = 1; i <= 6; ++i) {
                    const QString id = QStringLiteral("c%1").arg(i);
                    QVariantMap c = contact(QStringLiteral("Name%1").arg(i));
                    c.insert("phone numbers", QVariantList{QString("p" + id)});
                    s.pushChangesFromRecord(c, id);
                    s.pushChangesFromRecord(phoneNumber(id, QStringLiteral("+4930%1").arg(i)), "p" + id);
                }
                s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Group},
                                         {"name", "Choir"},
                                         {"members", QVariantList{"c1", "c2"}}},
                                        "g1");
                s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Calendar}, {"title", "Work"}},
                                        "cal1");
                s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Event},
                                         {"summary", "Stand-up"},
                                         {"start date", QDateTime(QDate(2026, 3, 2), QTime(8, 0), QTimeZone::utc())},
                                         {"calendar", QVariantList{"cal1"}}},
                                        "e1");
            },
            {}, kHubEntities);
        {
            DesktopStore store(hub, rootOf(run));
            ASSERT_TRUE(syncDesktop(store));
        }
        sync(phone, {}, {}, kHubEntities);
        sync(
            phone,
            [](ISyncSession& s) {
                s.pushChange(modifyChange("c1", "first name", "Anna"));
                for (int i = 7; i <= 9; ++i) {
                    const QString id = QStringLiteral("c%1").arg(i);
                    QVariantMap c = contact(QStringLiteral("Name%1").arg(i));
                    c.insert("phone numbers", QVariantList{QString("p" + id)});
                    s.pushChangesFromRecord(c, id);
                    s.pushChangesFromRecord(phoneNumber(id, QStringLiteral("+4930%1").arg(i)), "p" + id);
                }
                s.pushChange(SyncChange(SyncChange::Delete, "c6"));
                s.pushChange(SyncChange(SyncChange::Delete, "pc6"));
                s.pushChange(modifyChange("g1", "name", "Singers"));
                s.pushChange(modifyChange("e1", "summary", "Retro"));
            },
            {}, kHubEntities);
        // Meanwhile on the desktop: one card edited, one new.
        QByteArray card = contents(rootOf(run) + "/contacts/c2.vcf");
        card.replace("END:VCARD", "TITLE:Pilot\r\nEND:VCARD");
        writeFile(rootOf(run) + "/contacts/c2.vcf", card);
        writeFile(rootOf(run) + "/contacts/local.vcf",
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:local\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n"
                  "TEL;TYPE=HOME:+4930111\r\nEND:VCARD\r\n");
    }

    // Runs the sync in a child process that kills itself at step stopAt of
    // the pull; answers whether it was stopped (else it finished).
    static bool syncKilledAt(const QString& hubFile, const QString& root, int stopAt)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            platform::Clock::instance().advance(1);
            ISyncManager hub(hubFile);
            DesktopStore store(hub, root);
            int steps = 0;
            store.setPullStepObserver([&] {
                if (++steps == stopAt)
                    ::kill(::getpid(), SIGKILL);
            });
            ::_exit(syncDesktop(store) ? 0 : 3);
        }
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            return true;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        return false;
    }

    // A store that synced while its folder was empty, then files put there
    // and contacts added on the phone: its next sync pushes all it has.
    void prepareFirstFiles(int run)
    {
        ISyncManager hub(hubPath(run));
        auto phone = hub.registerClientWithIdentifier("phone", description("phone", kHubEntities));
        sync(phone, {}, {}, kHubEntities);
        {
            DesktopStore store(hub, rootOf(run));
            ASSERT_TRUE(syncDesktop(store));
        }
        sync(
            phone,
            [](ISyncSession& s) {
                for (int i = 1; i <= 3; ++i)
                    s.pushChangesFromRecord(contact(QStringLiteral("Name%1").arg(i)), QStringLiteral("c%1").arg(i));
            },
            {}, kHubEntities);
        QDir().mkpath(rootOf(run) + "/contacts");
        for (const char* uid : {"a", "b"}) {
            writeFile(rootOf(run) + QStringLiteral("/contacts/%1.vcf").arg(uid),
                      QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nN:Lee;%1;;;\r\nFN:%1 Lee\r\n"
                                     "TEL;TYPE=HOME:+4930111\r\nEND:VCARD\r\n")
                          .arg(uid)
                          .toUtf8());
        }
    }

    void expectFirstFilesOnce(int run)
    {
        SCOPED_TRACE(QStringLiteral("stopped at step %1").arg(run).toStdString());
        platform::Clock::instance().advance(1);
        ISyncManager hub(hubPath(run));
        {
            DesktopStore store(hub, rootOf(run));
            ASSERT_TRUE(syncDesktop(store));
            EXPECT_TRUE(store.pendingChanges().isEmpty());
        }
        EXPECT_EQ(QDir(rootOf(run) + "/contacts").entryList(QDir::Files | QDir::Hidden, QDir::Name),
                  QStringList({"a.vcf", "b.vcf", "c1.vcf", "c2.vcf", "c3.vcf"}));
        const Pulled pulled = sync(hub.clientWithIdentifier("phone"), {}, {}, kHubEntities);
        QStringList names;
        for (const SyncChange& c : pulled.changes) {
            EXPECT_EQ(c.type(), SyncChange::Add) << c.recordIdentifier().toStdString();
            if (c.record().value(platform::ISyncRecordEntityNameKey) == entity::Contact)
                names.append(c.record().value("first name").toString());
        }
        names.sort();
        EXPECT_EQ(names, QStringList({"a", "b"}));
        EXPECT_EQ(pulled.changes.size(), 4); // and their numbers
    }

    // A new store and hub over what the stopped process left.
    void expectNothingLostOrDuplicated(int run)
    {
        SCOPED_TRACE(QStringLiteral("stopped at step %1").arg(run).toStdString());
        platform::Clock::instance().advance(1);
        ISyncManager hub(hubPath(run));
        {
            DesktopStore store(hub, rootOf(run));
            ASSERT_TRUE(syncDesktop(store));
            EXPECT_TRUE(store.pendingChanges().isEmpty());
        }
        const QString contacts = rootOf(run) + "/contacts/";
        QStringList names = QDir(contacts).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        EXPECT_EQ(
            names,
            QStringList({"c1.vcf", "c2.vcf", "c3.vcf", "c4.vcf", "c5.vcf", "c7.vcf", "c8.vcf", "c9.vcf", "local.vcf"}));
        EXPECT_TRUE(contents(contacts + "c1.vcf").contains("N:;Anna;;;"));
        EXPECT_TRUE(contents(contacts + "c1.vcf").contains("CATEGORIES:Singers\r\n"));
        EXPECT_TRUE(contents(contacts + "c2.vcf").contains("TITLE:Pilot\r\n"));
        EXPECT_TRUE(contents(contacts + "c2.vcf").contains("CATEGORIES:Singers\r\n"));
        EXPECT_EQ(QDir(rootOf(run) + "/cal1").entryList({"*.ics"}, QDir::Files), QStringList{"e1.ics"});
        EXPECT_TRUE(contents(rootOf(run) + "/cal1/e1.ics").contains("SUMMARY:Retro"));

        // The phone gets the desktop's two changes once, and nothing else new.
        auto phone = hub.clientWithIdentifier("phone");
        const Pulled pulled = sync(phone, {}, {}, kHubEntities);
        QStringList adds;
        for (const SyncChange& c : pulled.changes) {
            EXPECT_NE(c.type(), SyncChange::Delete) << c.recordIdentifier().toStdString();
            if (c.type() == SyncChange::Add)
                adds.append(c.record().value(platform::ISyncRecordEntityNameKey).toString());
        }
        adds.sort();
        EXPECT_EQ(adds, QStringList({entity::Contact, entity::PhoneNumber}));
        ASSERT_TRUE(pulled.find("c2"));
        EXPECT_EQ(pulled.find("c2")->record().value("job title"), "Pilot");

        // The hub holds each record once.
        auto reader = hub.registerClientWithIdentifier("reader", description("reader", kHubEntities));
        const Pulled all = sync(reader, {}, {}, kHubEntities);
        QMap<QString, int> perEntity;
        QStringList groupNames;
        for (const SyncChange& c : all.changes) {
            ++perEntity[c.record().value(platform::ISyncRecordEntityNameKey).toString()];
            if (c.record().value(platform::ISyncRecordEntityNameKey) == entity::Group)
                groupNames.append(c.record().value("name").toString());
        }
        EXPECT_EQ(perEntity.value(entity::Contact), 9);
        EXPECT_EQ(perEntity.value(entity::PhoneNumber), 9);
        EXPECT_EQ(perEntity.value(entity::Calendar), 1);
        EXPECT_EQ(perEntity.value(entity::Event), 1);
        EXPECT_EQ(groupNames, QStringList{"Singers"});
    }
};

TEST_F(DesktopStoreKillTest, SyncStoppedAtAnyStepOfThePullLosesAndDuplicatesNothing)
{
    // Every step, from the first staged file to the hub's commit, then a run
    // that is not stopped.
    bool stopped = true;
    for (int stopAt = 1; stopped && stopAt < 100; ++stopAt) {
        ASSERT_NO_FATAL_FAILURE(prepare(stopAt));
        stopped = syncKilledAt(hubPath(stopAt), rootOf(stopAt), stopAt);
        ASSERT_NO_FATAL_FAILURE(expectNothingLostOrDuplicated(stopAt));
    }
    EXPECT_FALSE(stopped);
}

TEST_F(DesktopStoreKillTest, FirstPushOfAFolderStoppedAtAnyStepIsPushedOnce)
{
    bool stopped = true;
    for (int stopAt = 1; stopped && stopAt < 100; ++stopAt) {
        ASSERT_NO_FATAL_FAILURE(prepareFirstFiles(stopAt));
        stopped = syncKilledAt(hubPath(stopAt), rootOf(stopAt), stopAt);
        ASSERT_NO_FATAL_FAILURE(expectFirstFilesOnce(stopAt));
    }
    EXPECT_FALSE(stopped);
}

} // namespace
