// An independent SyncML client against the server-role session: SyncEvolution's
// D-Bus server, asked by our server-alerted notification to sync its
// contacts (a folder of vCard 2.1 files) with us. A small bridge plays the
// phone's OBEX side: each of SyncEvolution's messages becomes the phone's
// PUT followed by its GET, and each answer goes back to SyncEvolution.
// Runs only on the private bus of run-under-syncevolution-bus.sh.
#include "QVSyncSessionTestSupport.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

using namespace syncsessiontest;

namespace {

constexpr const char kEvoService[] = "org.syncevolution";

// Receives SyncEvolution's Reply signals.
class SyncEvolutionReplies : public QObject {
    Q_OBJECT
public:
    QList<QByteArray> messages;
    bool final = false;
public Q_SLOTS:
    void reply(const QDBusMessage& message)
    {
        const QList<QVariant> args = message.arguments();
        if (args.size() >= 4) {
            const QByteArray data = args[0].toByteArray();
            if (!data.isEmpty())
                messages.append(data);
            final = final || args[3].toBool();
        }
    }
};

struct SyncEvolutionRun {
    QString result;     // our session's result
    QVariantList items; // what SyncEvolution sent us
    int messages = 0;
    bool finalSeen = false;
};

class SyncEvolutionInterop : public SyncSessionTest {
protected:
    void SetUp() override
    {
        SyncSessionTest::SetUp();
        home = qEnvironmentVariable("MARVESTO_SYNCEVOLUTION_HOME");
        if (home.isEmpty())
            GTEST_SKIP() << "runs on a private bus (ctest -L syncevolution)";
        if (QStandardPaths::findExecutable(QStringLiteral("syncevolution")).isEmpty())
            GTEST_SKIP() << "syncevolution not installed (packages syncevolution, syncevolution-dbus)";
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus (package dbus)";
        qDBusRegisterMetaType<QMap<QString, QString>>();
        cards = home + QStringLiteral("/cards");
        QDir().mkpath(cards);
    }

    // A fresh client "iSync" over an empty folder of cards.
    bool configure(const QString& version)
    {
        QDir(cards).removeRecursively();
        QDir().mkpath(cards);
        QProcess remove;
        remove.setProcessEnvironment(syncEvolutionEnvironment());
        remove.start(QStringLiteral("syncevolution"), {QStringLiteral("--remove"), QStringLiteral("iSync")});
        remove.waitForFinished(30000);
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setProcessEnvironment(syncEvolutionEnvironment());
        process.start(QStringLiteral("syncevolution"),
                      {QStringLiteral("--configure"), QStringLiteral("--template"), QStringLiteral("SyncEvolution"),
                       QStringLiteral("keyring=no"), QStringLiteral("syncURL=iSync"), QStringLiteral("username="),
                       QStringLiteral("password="), QStringLiteral("preventSlowSync=0"),
                       QStringLiteral("SyncMLVersion=") + version, QStringLiteral("backend=file"),
                       QStringLiteral("database=file://") + cards, QStringLiteral("databaseFormat=text/x-vcard"),
                       QStringLiteral("sync=two-way"), QStringLiteral("uri=Contacts"), QStringLiteral("iSync"),
                       QStringLiteral("addressbook")});
        if (!process.waitForFinished(30000) || process.exitCode() != 0) {
            ADD_FAILURE() << process.readAll().toStdString();
            return false;
        }
        return true;
    }

    // The test program runs in a home of its own; SyncEvolution's server
    // keeps its configuration in the bus's.
    QProcessEnvironment syncEvolutionEnvironment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
        return environment;
    }

    // One sync run: our server-role session against SyncEvolution's client.
    SyncEvolutionRun run(Row row, const std::shared_ptr<QVCommandArray>& toSend)
    {
        SyncEvolutionRun result;
        link = ScriptedSyncMLLink();
        job = ScriptedSessionJob();
        job.commands = toSend;
        link.deviceID = row;
        server = QVServerSyncSession::serverSyncSessionWithConnection(link, &job);
        if (!server) {
            ADD_FAILURE() << "no session";
            return result;
        }
        QDBusConnection bus = QDBusConnection::sessionBus();
        QDBusInterface evo(QLatin1String(kEvoService), QStringLiteral("/org/syncevolution/Server"),
                           QStringLiteral("org.syncevolution.Server"), bus);
        QMap<QString, QString> peer{{QStringLiteral("description"), QStringLiteral("scripted phone")},
                                    {QStringLiteral("transport"), QStringLiteral("OBEX")}};
        QDBusReply<QDBusObjectPath> connected = evo.call(QStringLiteral("Connect"), QVariant::fromValue(peer), false,
                                                         QString());
        if (!connected.isValid()) {
            ADD_FAILURE() << connected.error().message().toStdString();
            return result;
        }
        const QString path = connected.value().path();
        SyncEvolutionReplies replies;
        bus.connect(QLatin1String(kEvoService), path, QStringLiteral("org.syncevolution.Connection"),
                    QStringLiteral("Reply"), &replies, SLOT(reply(QDBusMessage)));
        QDBusInterface connection(QLatin1String(kEvoService), path, QStringLiteral("org.syncevolution.Connection"),
                                  bus);
        // Our answers go back as SyncEvolution's next input.
        link.onCommand = [&](const std::shared_ptr<ObjectPushCommand>& command) {
            if (command->command() != ObjectPushCommand::kServerGetResponse)
                return;
            connection.asyncCall(QStringLiteral("Process"), command->dataToSend(),
                                 QStringLiteral("application/vnd.syncml+wbxml"));
            command->finishCommand(0);
        };

        server->performReadContacts(true);
        testing_support::runFor(0.5);
        const QByteArray notification = server->syncMLCreator().createSanMessage(0);
        connection.asyncCall(QStringLiteral("Process"), notification,
                             QStringLiteral("application/vnd.syncml.ds.notification"));

        testing_support::OutsideInputScope outside(0.01);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 40000 && job.finished.isEmpty() && !(replies.final && replies.messages.isEmpty())) {
            testing_support::runFor(0.05);
            while (!replies.messages.isEmpty()) {
                const QByteArray message = replies.messages.takeFirst();
                ++result.messages;
                auto put = ObjectPushCommand::pushCommandWithData(ObjectPushCommand::kServerGetResponse, QByteArray(),
                                                                  nullptr, nullptr);
                put->collectDataReceived(message.constData(), message.size());
                server->receivedCommandFromClientFinished(*put);
                server->clientSentGetCommand();
            }
        }
        testing_support::runFor(1.5);
        connection.call(QStringLiteral("Close"), true, QString());
        bus.disconnect(QLatin1String(kEvoService), path, QStringLiteral("org.syncevolution.Connection"),
                       QStringLiteral("Reply"), &replies, SLOT(reply(QDBusMessage)));
        result.result = job.finished.value(0);
        result.items = job.delivered;
        result.finalSeen = replies.final;
        return result;
    }

    QStringList folderCards() const
    {
        QStringList texts;
        for (const QString& name : QDir(cards).entryList(QDir::Files, QDir::Name)) {
            QFile file(cards + QLatin1Char('/') + name);
            if (file.open(QIODevice::ReadOnly))
                texts << QString::fromUtf8(file.readAll());
        }
        return texts;
    }

    QString home;
    QString cards;
};

std::shared_ptr<QVSyncElem> syncEvolutionTestCard(const QString& last, const QString& uri)
{
    return QVSyncElem::elemWithData(
        QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:%1;Desk\r\nTEL;CELL:+4930999\r\nEND:VCARD\r\n").arg(last), uri,
        QStringLiteral("Session Evo 1.2"), QString(), QString());
}

} // namespace

TEST_F(SyncEvolutionInterop, ContactsGoBothWaysAndASecondRunIsSlow)
{
    const struct {
        const char* version;
        Row row;
    } rows[] = {{"1.2", Evo12}, {"1.1", Evo11}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.version);
        ASSERT_TRUE(configure(QLatin1String(r.version)));
        QFile card(cards + QStringLiteral("/1"));
        ASSERT_TRUE(card.open(QIODevice::WriteOnly));
        card.write("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Evo;Ann\r\nTEL;CELL:+4930111\r\nEND:VCARD\r\n");
        card.close();

        auto toSend = std::make_shared<QVCommandArray>();
        const auto ours = syncEvolutionTestCard(QStringLiteral("Desktop"), QStringLiteral("T-1"));
        toSend->addObject(ours, QVCommandArray::kAdd);
        const SyncEvolutionRun first = run(r.row, toSend);
        EXPECT_EQ(first.result, QStringLiteral("0")) << first.messages << " messages";
        ASSERT_EQ(first.items.size(), 1);
        EXPECT_TRUE(
            first.items[0].toMap().value(QStringLiteral("vx-Data")).toString().contains(QLatin1String("N:Evo;Ann")));
        const QStringList inFolder = folderCards();
        ASSERT_EQ(inFolder.size(), 2);
        EXPECT_EQ(inFolder.filter(QStringLiteral("N:Desktop;Desk")).size(), 1);
        EXPECT_EQ(inFolder.filter(QStringLiteral("TEL;CELL:+4930999")).size(), 1);
        // SyncEvolution's Map gave our contact its id there.
        EXPECT_FALSE(ours->sourceURI().startsWith(QLatin1String("T-"))) << ours->sourceURI().toStdString();

        // SyncEvolution now asks for a two-way sync; answered 508, it syncs slow.
        const SyncEvolutionRun second = run(r.row, std::make_shared<QVCommandArray>());
        EXPECT_EQ(second.result, QStringLiteral("0"));
        EXPECT_EQ(second.items.size(), 2);
        EXPECT_EQ(folderCards().size(), 2);
    }
}

#include "SyncEvolutionInteropTest.moc"

// A measurement, not a check: a slow sync of 500 of SyncEvolution's cards
// into the server-role session (run with --gtest_also_run_disabled_tests on
// the private bus).
TEST_F(SyncEvolutionInterop, DISABLED_SlowSyncOf500Contacts)
{
    ASSERT_TRUE(configure(QStringLiteral("1.2")));
    for (int i = 0; i < 500; ++i) {
        QFile card(cards + QStringLiteral("/%1").arg(i + 1));
        ASSERT_TRUE(card.open(QIODevice::WriteOnly));
        card.write(QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Person%1;Ann\r\nTEL;CELL:+49301%2\r\nEMAIL:p%1@"
                                  "example.org\r\nEND:VCARD\r\n")
                       .arg(i)
                       .arg(i, 5, 10, QLatin1Char('0'))
                       .toUtf8());
    }
    QElapsedTimer timer;
    timer.start();
    const SyncEvolutionRun first = run(Evo12, std::make_shared<QVCommandArray>());
    std::printf("500 contacts: %lld ms, result %s, %d items in %d messages\n", timer.elapsed(),
                qPrintable(first.result), int(first.items.size()), first.messages);
    EXPECT_EQ(first.items.size(), 500);
}
