#include "SyncEngineFixture.h"
#include "TestFiles.h"
#include "platform/Paths.h"
#include "syncengine/SyncStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <sqlite3.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace syncengine_test;
using platform::Exception;

namespace {

const QString kFirstNameField = QStringLiteral("first name");
const char kChildMode[] = "MARVESTO_SYNCENGINE_CHILD";
const char kChildStore[] = "MARVESTO_SYNCENGINE_STORE";

// Runs this test program again as a second process doing mode on the store;
// answers its exit code, or -1 when it did not exit normally.
int runChild(const QString& mode, const QString& store)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildMode), mode);
    env.insert(QString::fromLatin1(kChildStore), store);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=SyncStoreChild.DISABLED_Run"),
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    if (!child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished();
        return -2;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

// The second process's side of the tests below.
TEST(SyncStoreChild, DISABLED_Run)
{
    const QString mode = qEnvironmentVariable(kChildMode);
    ISyncManager manager(qEnvironmentVariable(kChildStore));
    if (mode == QLatin1String("open")) {
        EXPECT_FALSE(manager.isEnabled());
        try {
            manager.clientWithIdentifier(QStringLiteral("phone"));
            ADD_FAILURE() << "the store opened";
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), platform::ISyncSessionUnavailableException);
        }
    } else if (mode == QLatin1String("kill")) {
        auto session = ISyncSession::beginSessionWithClient(manager.clientWithIdentifier("phone"), kContactEntities, {});
        session->pushChange(modifyChange("c1", kFirstNameField, "Killed"));
        session->pushChangesFromRecord(contact("Nine"), "c9");
        platform::syncengine::SyncStore::setBeforeCommitHook([] { ::kill(::getpid(), SIGKILL); });
        session->finishSyncing();
        ADD_FAILURE() << "not killed";
    } else {
        ADD_FAILURE() << "unknown mode " << mode.toStdString();
    }
}

class SyncStoreTest : public SyncEngineFixture {
protected:
    // A desktop and a phone in step, the phone having added contact c1.
    std::pair<std::shared_ptr<ISyncClient>, std::shared_ptr<ISyncClient>> clientsSharingAnn()
    {
        auto desktop = registerClient("desktop");
        auto phone = registerClient("phone");
        sync(desktop);
        sync(phone);
        push(phone, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann"), "c1"); });
        return {desktop, phone};
    }
};

TEST_F(SyncStoreTest, StoreSurvivesARestart)
{
    auto desktop = registerClient("desktop");
    auto phone = registerClient("phone");
    sync(desktop);
    sync(phone);
    phone->setDisplayName("Ann's phone (Marvesto)");
    push(desktop, [](ISyncSession& s) {
        s.pushChangesFromRecord(contact("Ann"), "c1");
        s.pushChangesFromRecord(contact("Bob"), "c2");
        s.pushChangesFromRecord(phoneNumber("c1", "1"), "p1");
    });
    sync(phone, {}, [](const SyncChange& c) { return c.recordIdentifier() != "c2"; });
    push(desktop, [](ISyncSession& s) { s.pushChange(modifyChange("c1", kFirstNameField, "Annie")); });
    phone->setShouldReplaceClientRecords(true, {entity::PhoneNumber});
    const QString lastSync = platform::syncDateText(phone->lastSyncDateForEntityName(entity::Contact));
    ASSERT_FALSE(lastSync.isEmpty());

    desktop.reset();
    phone.reset();
    restart();
    phone = manager().clientWithIdentifier("phone");
    ASSERT_TRUE(phone);
    EXPECT_EQ(phone->displayName(), "Ann's phone (Marvesto)");
    EXPECT_EQ(phone->supportedEntityNames(), kContactEntities);
    EXPECT_EQ(platform::syncDateText(phone->lastSyncDateForEntityName(entity::Contact)), lastSync);

    const Pulled pulled = sync(phone);
    EXPECT_EQ(pulled.summary(), QStringList({"add:c2", "modify:c1", "add:p1"}));
    EXPECT_EQ(pulled.find("c1")->record().value(kFirstNameField), "Annie");
    EXPECT_TRUE(sync(phone).changes.isEmpty());
}

TEST_F(SyncStoreTest, ProcessKilledDuringAFinishLeavesTheLastFinishedState)
{
    auto [desktop, phone] = clientsSharingAnn();
    desktop.reset();
    phone.reset();
    closeStore();

    EXPECT_EQ(runChild("kill", storePath()), -1);

    openStore();
    desktop = manager().clientWithIdentifier("desktop");
    const Pulled pulled = sync(desktop);
    EXPECT_EQ(pulled.summary(), QStringList({"add:c1"}));
    EXPECT_EQ(pulled.find("c1")->record().value(kFirstNameField), "Ann");
    EXPECT_NO_THROW(sync(manager().clientWithIdentifier("phone")));
}

TEST_F(SyncStoreTest, SecondProcessFindsTheStoreUnavailable)
{
    registerClient("phone");
    EXPECT_EQ(runChild("open", storePath()), 0);
}

// Files may not grow while it lives, as on a full disk.
class FullDisk {
public:
    FullDisk()
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit full = m_saved;
        full.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &full);
    }
    ~FullDisk()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

TEST_F(SyncStoreTest, FinishOnAFullDiskIsUnavailableAndWritesNothing)
{
    auto [desktop, phone] = clientsSharingAnn();

    auto session = ISyncSession::beginSessionWithClient(phone, kContactEntities, {});
    session->pushChange(modifyChange("c1", kFirstNameField, "Annie"));
    for (int i = 0; i < 500; ++i)
        session->pushChangesFromRecord(contact(QStringLiteral("Name %1").arg(i)), QStringLiteral("n%1").arg(i));
    {
        FullDisk full;
        try {
            session->finishSyncing();
            ADD_FAILURE() << "finished on a full disk";
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), platform::ISyncSessionUnavailableException);
        }
    }
    const Pulled pulled = sync(desktop);
    EXPECT_EQ(pulled.summary(), QStringList({"add:c1"}));
    EXPECT_EQ(pulled.find("c1")->record().value(kFirstNameField), "Ann");
    // The client may start again at once.
    EXPECT_NO_THROW(push(phone, [](ISyncSession& s) { s.pushChange(modifyChange("c1", kFirstNameField, "Annie")); }));
}

TEST_F(SyncStoreTest, DamagedFileIsMovedAsideNeverEmptied)
{
    struct Case {
        const char* name;
        std::function<void(const QString& path)> damage;
    };
    const std::vector<Case> cases{
        {"not a database", [](const QString& path) { testing_support::writeFile(path, QByteArray(4096, 'x')); }},
        {"a header and nothing else",
         [](const QString& path) { testing_support::writeFile(path, testing_support::readFile(path).left(100)); }},
        {"pages overwritten",
         [](const QString& path) {
             QByteArray bytes = testing_support::readFile(path);
             for (qsizetype i = 4096; i < bytes.size(); i += 7)
                 bytes[i] = char(0xA5);
             testing_support::writeFile(path, bytes);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openStore();
        auto desktop = registerClient("desktop");
        push(desktop, [](ISyncSession& s) {
            for (int i = 0; i < 200; ++i)
                s.pushChangesFromRecord(contact(QStringLiteral("Name %1").arg(i)), QStringLiteral("c%1").arg(i));
        });
        desktop.reset();
        closeStore();
        c.damage(storePath());
        const QByteArray damaged = testing_support::readFile(storePath());

        openStore();
        try {
            manager().clientWithIdentifier("desktop");
            ADD_FAILURE() << "a damaged store opened";
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), platform::ISyncSessionUnavailableException);
        }
        const QStringList aside = QDir(QFileInfo(storePath()).path())
                                      .entryList({QStringLiteral("SyncEngine.db.damaged-*")}, QDir::Files, QDir::Time);
        ASSERT_FALSE(aside.isEmpty());
        EXPECT_EQ(testing_support::readFile(QFileInfo(storePath()).dir().filePath(aside.first())), damaged);
        // The next use starts a new, empty store.
        EXPECT_TRUE(manager().isEnabled());
        EXPECT_EQ(manager().clientWithIdentifier("desktop"), nullptr);
        closeStore();
        for (const QString& name : aside)
            QFile::remove(QFileInfo(storePath()).dir().filePath(name));
        QFile::remove(storePath());
    }
}

TEST_F(SyncStoreTest, StoreOfANewerVersionIsLeftAlone)
{
    registerClient("desktop");
    closeStore();
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(storePath()).constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const QByteArray before = testing_support::readFile(storePath());
    openStore();
    EXPECT_FALSE(manager().isEnabled());
    EXPECT_EQ(testing_support::readFile(storePath()), before);
}

TEST_F(SyncStoreTest, ClientDescriptionIsCheckedAtRegistration)
{
    struct Case {
        const char* name;
        QByteArray file;
    };
    const std::vector<Case> cases{
        {"not a property list", "garbage"},
        {"no dictionary", platform::plist::toXml(QVariantList{"x"})},
        {"no entities", platform::plist::toXml(QVariantMap{{"DisplayName", "x"}})},
        {"an entity that is no string",
         platform::plist::toXml(QVariantMap{{"Entities", QVariantList{entity::Contact, 5}}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QDir(folder()).filePath("bad.plist");
        testing_support::writeFile(path, c.file);
        EXPECT_THROW(manager().registerClientWithIdentifier("bad", path), Exception);
        EXPECT_EQ(manager().clientWithIdentifier("bad"), nullptr);
    }
    EXPECT_THROW(manager().registerClientWithIdentifier("bad", QDir(folder()).filePath("missing.plist")), Exception);

    // Entities as a dictionary of entity -> properties, with a name and an icon.
    const QString path = QDir(folder()).filePath("good.plist");
    ASSERT_TRUE(platform::plist::writeFile(
        path, QVariantMap{{"Entities", QVariantMap{{entity::Contact, QVariantList{"first name"}}, {entity::Group, QVariantList{}}}},
                          {"DisplayName", "quorvalis device client"},
                          {"ImagePath", "phone.png"}}));
    auto client = manager().registerClientWithIdentifier("good", path);
    EXPECT_EQ(client->supportedEntityNames(), QStringList({entity::Contact, entity::Group}));
    EXPECT_EQ(client->displayName(), "quorvalis device client");
    EXPECT_EQ(client->imagePath(), QDir(folder()).filePath("phone.png"));
    EXPECT_TRUE(manager().registerSchemaWithBundlePath("/nowhere"));
}

TEST_F(SyncStoreTest, UnregisteredClientIsForgotten)
{
    auto desktop = registerClient("desktop");
    auto phone = registerClient("phone");
    sync(phone);
    auto running = ISyncSession::beginSessionWithClient(phone, kContactEntities, {});
    manager().unregisterClient(phone);
    EXPECT_EQ(manager().clientWithIdentifier("phone"), nullptr);
    EXPECT_THROW(phone->supportedEntityNames(), Exception);
    EXPECT_THROW(running->finishSyncing(), Exception);

    push(desktop, [](ISyncSession& s) { s.pushChangesFromRecord(contact("Ann"), "c1"); });
    phone = registerClient("phone");
    auto session = ISyncSession::beginSessionWithClient(phone, kContactEntities, {});
    EXPECT_TRUE(session->shouldPushAllRecordsForEntityName(entity::Contact));
    session->cancelSyncing();
    EXPECT_EQ(sync(phone).summary(), QStringList({"add:c1"}));

    // The old session ending does not free the new client's slot.
    auto current = ISyncSession::beginSessionWithClient(phone, kContactEntities, {});
    running.reset();
    EXPECT_THROW(ISyncSession::beginSessionWithClient(phone, kContactEntities, {}), Exception);
    current->cancelSyncing();
}

TEST_F(SyncStoreTest, ClientsOutliveNoManager)
{
    auto phone = registerClient("phone");
    auto session = ISyncSession::beginSessionWithClient(phone, kContactEntities, {});
    closeStore();
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { phone->supportedEntityNames(); }, [&] { session->finishSyncing(); }}) {
        try {
            call();
            ADD_FAILURE() << "answered without a hub";
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), platform::ISyncSessionUnavailableException);
        }
    }
}

TEST(SyncManager, SharedHubKeepsItsStoreInTheApplicationSupportFolder)
{
    const QString path = QDir(platform::paths::applicationSupportDirectory()).filePath(platform::kSyncStoreFileName);
    EXPECT_TRUE(ISyncManager::sharedManager().isEnabled());
    EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_EQ(&ISyncManager::sharedManager(), &ISyncManager::sharedManager());
}

TEST(SyncDateText, OneStableForm)
{
    const struct {
        QDateTime date;
        QString text;
    } cases[] = {
        {QDateTime(QDate(2026, 12, 10), QTime(6, 48, 47, 123), Qt::UTC), "2026-12-10T06:48:47.123Z"},
        {QDateTime(QDate(2026, 12, 10), QTime(8, 48, 47), Qt::OffsetFromUTC, 7200), "2026-12-10T06:48:47.000Z"},
        {QDateTime(), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::syncDateText(c.date), c.text) << c.text.toStdString();
}

} // namespace
