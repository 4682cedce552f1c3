// The shared client with the real desktop store on the other side of the hub.

#include "GeneralSyncTestSupport.h"

#include "desktopstore/DesktopStore.h"
#include "device/QVSyncDeviceDescription.h"
#include "phone/MFDevice.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

using namespace general_sync_test;

namespace {

class GeneralSyncDesktopTest : public GeneralSyncFixture {
protected:
    void SetUp() override
    {
        GeneralSyncFixture::SetUp();
        store = std::make_unique<desktopstore::DesktopStore>(manager(), vdir());
    }
    void TearDown() override
    {
        info.reset();
        store.reset();
        GeneralSyncFixture::TearDown();
    }
    QString vdir() const { return folder() + QStringLiteral("/vdir"); }
    void syncStore()
    {
        bool ended = false;
        bool finished = false;
        store->synchronize([&](bool ok) {
            finished = ok;
            ended = true;
        });
        ASSERT_TRUE(testing_support::runUntil([&] { return ended; }));
        ASSERT_TRUE(finished);
    }
    void writeText(const QString& path, const QByteArray& text)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    // A phone object over the shared instance, its environment made now.
    std::optional<QVariantMap> newPhoneEnvironment(GeneralSyncInfo& shared)
    {
        MFDevice::Makers makers;
        makers.generalSyncInfo = [&shared] { return &shared; };
        auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("UNKNOWN"));
        EXPECT_TRUE(description);
        if (!description)
            return std::nullopt;
        description->setDeviceFieldLengths({{"SyncML.syncContacts", 1}, {"SyncML.syncCalendar", 1}});
        const QVariantMap row{{"Dorvanti.Model", "V3"},
                              {"Dorvanti.Manufacturer", "Motorola"},
                              {"Dorvanti.SyncMLProtocol", description->protocol()}};
        auto dict = std::make_shared<QVariantMap>(
            QVariantMap{{"Common.SyncEnvironment", QVariantMap{{"SyncEngineEnabled", false}}}});
        MFDevice device(QLatin1String(MFDevice::kUSBMassStorage), dict, row, description, makers);
        if (!device.syncEnvironments()->main)
            return std::nullopt;
        return device.syncEnvironments()->main->value(device.dbName(1)).toMap();
    }
    // The calendar names khal finds in the store's folder (empty without khal).
    QStringList khalCalendars()
    {
        const QString khal = QStandardPaths::findExecutable(QStringLiteral("khal"));
        if (khal.isEmpty())
            return {};
        const QString config = folder() + QStringLiteral("/khal.conf");
        writeText(config,
                  QStringLiteral("[calendars]\n[[store]]\npath = %1/*\ntype = discover\n"
                                 "[sqlite]\npath = %2/khal.db\n"
                                 "[locale]\ntimeformat = %H:%M\ndateformat = %Y-%m-%d\n"
                                 "longdateformat = %Y-%m-%d\ndatetimeformat = %Y-%m-%d %H:%M\n"
                                 "longdatetimeformat = %Y-%m-%d %H:%M\n")
                      .arg(vdir(), folder())
                      .toUtf8());
        QProcess process;
        process.start(khal, {QStringLiteral("-c"), config, QStringLiteral("printcalendars")});
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
        return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    std::unique_ptr<desktopstore::DesktopStore> store;
};

TEST_F(GeneralSyncDesktopTest, CalendarsAndGroupsTravelBetweenTheStoreAndThePhones)
{
    syncStore();
    GeneralSyncInfo& shared = makeActive();
    ASSERT_TRUE(shared.isClientInitialized());

    // A calendar folder made on the desktop reaches the shared list.
    writeText(vdir() + "/personal/displayname", "Personal\n");
    syncStore();
    ASSERT_TRUE(testing_support::runUntil([&] { return shared.calendarName(0) == QStringLiteral("Personal"); }));
    ASSERT_TRUE(runEnds());

    // A contact in the group "Friends" brings the group.
    writeText(vdir() + "/contacts/ann.vcf",
              "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ann\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n"
              "CATEGORIES:Friends\r\nEND:VCARD\r\n");
    syncStore();
    ASSERT_TRUE(testing_support::runUntil([&] { return shared.groupName(0) == QStringLiteral("Friends"); }));
    ASSERT_TRUE(runEnds());

    // A calendar made for a phone becomes a folder of the store.
    shared.addCalendar("Work");
    EXPECT_EQ(shared.trickleSyncEngine(), 0);
    ASSERT_TRUE(runEnds());
    syncStore();
    QStringList titles;
    for (const QString& entry : QDir(vdir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(vdir() + "/" + entry + "/displayname");
        if (name.open(QIODevice::ReadOnly))
            titles.append(QString::fromUtf8(name.readAll()).trimmed());
    }
    EXPECT_TRUE(titles.contains("Work")) << titles.join(", ").toStdString();

    // The mirror file as written.
    const QVariantMap file = platform::plist::readFile(filePath()).toMap();
    EXPECT_EQ(file.value("calendars").toMap().size(), 2);
    EXPECT_EQ(file.value("groups").toMap().size(), 1);

    // A phone's new environment offers the desktop's calendars (a phone
    // object that goes tells the shared client to quit: last).
    const std::optional<QVariantMap> calendar = newPhoneEnvironment(shared);
    ASSERT_TRUE(calendar);
    QStringList offered;
    for (const QVariant& group : calendar->value("Groups").toMap())
        offered.append(group.toMap().value("name").toString());
    offered.sort();
    EXPECT_EQ(offered, (QStringList{"Personal", "Work"}));

    if (QStandardPaths::findExecutable(QStringLiteral("khal")).isEmpty())
        GTEST_SKIP() << "khal is not installed (scripts/install-deps.sh installs it): its listing is not checked";
    const QStringList listed = khalCalendars();
    EXPECT_TRUE(listed.contains("Work")) << listed.join(", ").toStdString();
}

} // namespace
