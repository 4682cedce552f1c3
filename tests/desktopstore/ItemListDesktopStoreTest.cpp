// The item list's queued changes against the real sync hub and desktop store:
// what a phone brought in lands in the store's files as khard and khal read
// them, and a file edited on the desktop comes back as one change the list
// applies to its item.
#include "ListTestDevice.h"
#include "SyncEngineFixture.h"
#include "desktopstore/DesktopStore.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVVCalendarElem.h"
#include "syncmodel/QVVCardElem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

using namespace syncengine_test;
using desktopstore::DesktopStore;

namespace {

const QStringList kItemListEntities{entity::Contact, entity::PhoneNumber, entity::EmailAddress, entity::Calendar,
                                    entity::Event,   entity::Task,        entity::DisplayAlarm, entity::AudioAlarm,
                                    entity::Recurrence};

class ItemListDesktopStoreTest : public SyncEngineFixture {
protected:
    void SetUp() override
    {
        SyncEngineFixture::SetUp();
        phone = registerClient(QStringLiteral("phone"), kItemListEntities);
        sync(phone, {}, {}, kItemListEntities);   // the first, slow run
        device.useSyncEngine = true;
        device.calendar = QStringLiteral("Tarnex:CAL1");
    }

    QString root() const { return folder() + QStringLiteral("/vdir"); }

    void syncDesktop()
    {
        bool ok = false;
        bool ended = false;
        store->synchronize([&](bool finished) {
            ok = finished;
            ended = true;
        });
        ASSERT_TRUE(testing_support::runUntil([&] { return ended; }));
        ASSERT_TRUE(ok);
    }

    // The one file under the folder whose name ends so.
    QString onlyFile(const QString& under, const QString& suffix) const
    {
        QStringList found;
        QDirIterator it(under, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(suffix))
                found.append(path);
        }
        EXPECT_EQ(found.size(), 1) << found.join(u' ').toStdString();
        return found.value(0);
    }
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A desktop program run with HOME and the XDG folders in the test's
    // temporary folder; its exit code, output into out.
    int runTool(const QString& program, const QStringList& arguments, QByteArray* out)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString home = folder() + QStringLiteral("/home");
        QDir().mkpath(home);
        environment.insert(QStringLiteral("HOME"), home);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            environment.insert(QLatin1String(name), home + u'/' + QLatin1String(name));
        environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished(5000);
            return -1;
        }
        *out = process.readAll();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString writeConfig(const QString& name, const QString& text)
    {
        const QString path = folder() + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        return path;
    }

    ListTestDevice device;
    std::shared_ptr<ISyncClient> phone;
    std::unique_ptr<DesktopStore> store;
};

} // namespace

TEST_F(ItemListDesktopStoreTest, PhoneItemsReachTheStoreAndAnEditedContactComesBack)
{
    // What one phone session brought: a new contact with two numbers and a
    // new event, merged into the lists and confirmed.
    QVSyncElemList contacts(0, &device);
    QVSyncElemList calendar(1, &device);
    const auto ann = QVVCardElem::elemWithData(QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ann\r\n"
                                                              "TEL;CELL:+4930111\r\nTEL;WORK:+4930222\r\nEND:VCARD\r\n"),
                                               QStringLiteral("5"), QStringLiteral("Phone"), QString(), QString());
    const auto review = QVVCalendarElem::elemWithData(
        QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:Review\r\n"
                       "DTSTART:20260504T090000Z\r\nDTEND:20260504T100000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"),
        QStringLiteral("6"), QStringLiteral("Phone"), QString(), QString());
    ASSERT_TRUE(ann && review);
    ASSERT_TRUE(contacts.replaceItem(ann));
    ASSERT_TRUE(calendar.replaceItem(review));
    QList<SyncChange> queued = contacts.changesForSyncEngine();
    queued.append(calendar.changesForSyncEngine());
    ASSERT_EQ(queued.size(), 4);   // two numbers, the contact, the event

    push(
        phone,
        [&](ISyncSession& s) {
            // The shared default calendar, as the shared sync information keeps it.
            s.pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::Calendar}, {"title", "Phone"}},
                                    device.calendar);
            for (const SyncChange& change : queued)
                s.pushChange(change);
        },
        kItemListEntities);
    contacts.clearChangesForSyncEngine();
    calendar.clearChangesForSyncEngine();

    store = std::make_unique<DesktopStore>(manager(), root());
    syncDesktop();
    const QString card = onlyFile(root() + QStringLiteral("/contacts"), QStringLiteral(".vcf"));
    const QByteArray cardText = contents(card);
    EXPECT_TRUE(cardText.contains("N:Lee;Ann;")) << cardText.constData();
    EXPECT_TRUE(cardText.contains("+4930111")) << cardText.constData();
    EXPECT_TRUE(cardText.contains("+4930222")) << cardText.constData();
    const QByteArray eventText = contents(onlyFile(root(), QStringLiteral(".ics")));
    EXPECT_TRUE(eventText.contains("SUMMARY:Review")) << eventText.constData();
    EXPECT_TRUE(eventText.contains("20260504T090000")) << eventText.constData();
    EXPECT_TRUE(eventText.contains("20260504T100000")) << eventText.constData();

    // khard and khal read the store's folders as a user's setup would.
    const QString khard = QStandardPaths::findExecutable(QStringLiteral("khard"));
    const QString khal = QStandardPaths::findExecutable(QStringLiteral("khal"));
    if (!khard.isEmpty()) {
        const QString config = writeConfig(
            QStringLiteral("khard.conf"),
            QStringLiteral("[addressbooks]\n[[phone]]\npath = %1/contacts\n[general]\ndefault_action = list\n").arg(root()));
        QByteArray out;
        ASSERT_EQ(runTool(khard, {QStringLiteral("-c"), config, QStringLiteral("phone")}, &out), 0) << out.constData();
        EXPECT_TRUE(out.contains("Ann Lee")) << out.constData();
        EXPECT_TRUE(out.contains("+4930111") && out.contains("+4930222")) << out.constData();
    }
    if (!khal.isEmpty()) {
        const QString config = writeConfig(
            QStringLiteral("khal.conf"),
            QStringLiteral("[calendars]\n[[store]]\npath = %1/*\ntype = discover\n[sqlite]\npath = %2/khal.db\n"
                           "[locale]\ntimeformat = %H:%M\ndateformat = %Y-%m-%d\nlongdateformat = %Y-%m-%d\n"
                           "datetimeformat = %Y-%m-%d %H:%M\nlongdatetimeformat = %Y-%m-%d %H:%M\n"
                           "default_timezone = UTC\nlocal_timezone = UTC\n")
                .arg(root(), folder()));
        QByteArray out;
        ASSERT_EQ(runTool(khal, {QStringLiteral("-c"), config, QStringLiteral("list"), QStringLiteral("2026-05-04"),
                                 QStringLiteral("2d")},
                          &out),
                  0)
            << out.constData();
        EXPECT_TRUE(out.contains("Review")) << out.constData();
        EXPECT_TRUE(out.contains("09:00")) << out.constData();
    }

    // The contact edited in its file comes back through a plain pull as one
    // modify, which the list applies to the right item.
    QByteArray edited = cardText;
    edited.replace("N:Lee;Ann;", "N:Lee;Anna;");
    edited.replace("FN:Ann Lee", "FN:Anna Lee");
    {
        QFile file(card + QStringLiteral(".tmp"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(edited);
    }
    ASSERT_TRUE(QFile::remove(card));
    ASSERT_TRUE(QFile::rename(card + QStringLiteral(".tmp"), card));
    syncDesktop();
    const Pulled pulled = sync(phone, {}, {}, kItemListEntities);
    ASSERT_EQ(pulled.summary().join(u' ').toStdString(), QString("modify:" + ann->elemUUID()).toStdString());
    bool numberChanged = false;
    ann->clearChanged();
    contacts.processOneSyncEngineChange(pulled.changes[0], &numberChanged, false);
    EXPECT_FALSE(numberChanged);
    EXPECT_EQ(ann->vxDict()->mainObjectForKey(QStringLiteral("first name")), QStringLiteral("Anna"));
    EXPECT_TRUE(ann->isChanged());                 // to be sent to the phone
    EXPECT_EQ(contacts.allCount(), 1);

    if (khard.isEmpty() || khal.isEmpty())
        GTEST_SKIP() << (khard.isEmpty() ? "khard" : "khal")
                     << " is not installed (scripts/install-deps.sh installs it): its listing was not checked";
}
