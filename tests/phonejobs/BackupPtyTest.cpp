// The backup end to end: the data manager's container, its folder waits, the
// Motorola organizer jobs through the kit and the file copies over OBEX behind
// the AT switch, all against phonesim on a pseudo-terminal.
#include "ArchivedPtyPhoneFixture.h"

#include "phonejobs/BackUpContainer.h"
#include "phonejobs/GroupActionBackupPhone.h"
#include "syncmodel/QVSyncElemList.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

using namespace phonejobs_test;

namespace {

class BackupPtyTest : public ArchivedPtyPhoneFixture {
protected:
    // A Motorola phone whose model row also offers OBEX files.
    void openBackupPhone()
    {
        attachPhone("motorola");
        auto dict = std::make_shared<QVariantMap>(QVariantMap{{"USB.VendorID", kVendor},
                                                              {"USB.ProductID", kProduct},
                                                              {"Common.SerialNo", kSerial},
                                                              {"Common.BackupDevice", true},
                                                              {"Common.BackupExceptSuffixList", QStringList{"map"}},
                                                              {"USB.PortName", sim->slavePath()}});
        const QVariantMap row{{"Dorvanti.DeviceProtocol", "motorola"},
                              {"Dorvanti.Identification", "motorola"},
                              {"Dorvanti.Manufacturer", "Phone Maker"},
                              {"Dorvanti.SMSProtocol", "motorola"},
                              {"Dorvanti.SyncMLProtocol", "Protocol Motorola V3 Series"},
                              {"Dorvanti.OBEXFileSupport", "1"}};
        MFDevice::Makers makers;
        makers.dataManager = [](MFDevice& d) { return std::make_unique<DZDataManager>(d, filejobs::makers()); };
        device = std::make_unique<MFDevice>(QString::fromLatin1(MFDevice::kUSBSerial), dict, row, nullptr, makers);
        ASSERT_TRUE(device->ftpConnection()) << "the model offers OBEX files";
        mirror = FilesMirror::mirrorWithDevice(*device, dir.path() + QStringLiteral("/phone.dzmir"));
        ASSERT_TRUE(mirror);
        archive = OrganizerArchive::archiveWithDevice(*device);
        ASSERT_TRUE(archive);
    }
};

// Every file below folder except those below the mirror's copies of the
// phone's files (the phone's own bytes).
QStringList backupPtyStoredFiles(const QString& folder, const QString& phoneFiles)
{
    QStringList found;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        if (!path.startsWith(phoneFiles + QLatin1Char('/')))
            found.append(path);
    }
    return found;
}

} // namespace

// The file connection and the kit share the phone's one serial port: the
// listings go first over OBEX (behind AT+CPROT), the kit jobs then take the
// port back in AT mode, and the copies switch to OBEX again.
TEST_F(BackupPtyTest, StartBackupRefreshesTheArchiveAndCopiesTheWantedFiles)
{
    openBackupPhone();
    sim->modifySession([](phonesim::PhoneSession& s) {
        s.characterSet.offered = {"GSM", "UCS2"};
        s.motorola.lastSlot = 10;
        phonesim::MotorolaContact anna;
        anna.slot = 3;
        anna.name = QStringLiteral("AnnaBerg");
        anna.position = 4;
        anna.fields = {{1, QStringLiteral("0301234"), 3, 1}};
        s.motorola.contacts.append(anna);
    });
    sim->modifyObexServer([](phonesim::ObexServer& s) {
        s.addFolder(QStringLiteral("/Notes"));
        s.putFile(QStringLiteral("/Notes/todo.txt"), "buy milk");
        s.putFile(QStringLiteral("/readme.txt"), "hello phone");
    });
    auto* data = dynamic_cast<DZDataManager*>(device->dataManager());
    ASSERT_TRUE(data);
    ASSERT_TRUE(archive->getLastHistoryFile().isEmpty());

    auto container = data->startBackup();
    ASSERT_TRUE(container);
    auto backup = std::dynamic_pointer_cast<BackUpContainer>(container);
    ASSERT_TRUE(backup);
    // The file group goes through the file connection's pipe like the listings.
    const auto members = container->actionContainer();
    EXPECT_TRUE(std::any_of(members.begin(), members.end(), [](const std::shared_ptr<QVAction>& member) {
        return bool(std::dynamic_pointer_cast<GroupActionBackupPhone>(member));
    }));
    std::optional<int> end;
    follow(container, [&end](const platform::Notification& note) {
        const QVariant code = note.userInfo.value(QStringLiteral("QVFeedEndActionKey"));
        if (code.isValid())
            end = code.toInt();
    });
    ASSERT_TRUE(runUntil([&] { return end.has_value(); }, 400.0));
    EXPECT_EQ(*end, 0);
    EXPECT_TRUE(backup->errorFileDescriptions().isEmpty()) << backup->errorFileDescriptions().join(' ').toStdString();

    // The organizer archive was read anew and went into its history.
    ASSERT_TRUE(archive->storage(0));
    EXPECT_TRUE(archive->storage(0)->objectForURI(QStringLiteral("3")));
    EXPECT_FALSE(archive->getLastHistoryFile().isEmpty());

    // The phone's files are in the mirror.
    const auto copyOf = [&](const char* phonePath) {
        QFile file(mirror->getMirrorPath(QString::fromLatin1(phonePath)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    EXPECT_EQ(copyOf("/Notes/todo.txt"), QByteArray("buy milk"));
    EXPECT_EQ(copyOf("/readme.txt"), QByteArray("hello phone"));
    EXPECT_TRUE(device->isBackupComplete());

    // Every stored file reads back with an independent property-list reader.
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 is not installed";
    const QString phoneFiles = QFileInfo(mirror->getMirrorPath(QStringLiteral("/readme.txt"))).absolutePath();
    const QStringList stored = backupPtyStoredFiles(dir.path(), phoneFiles)
                               + backupPtyStoredFiles(FilesMirror::tempDataBasePath(), phoneFiles);
    ASSERT_FALSE(stored.isEmpty());
    QProcess python;
    QStringList arguments{QStringLiteral("-c"),
                          QStringLiteral("import plistlib, sys\n"
                                 "bad = []\n"
                                 "for path in sys.argv[1:]:\n"
                                 "    try:\n"
                                 "        with open(path, 'rb') as f: plistlib.load(f)\n"
                                 "    except Exception as e: bad.append('%s: %s' % (path, e))\n"
                                 "print('\\n'.join(bad))\n"
                                 "sys.exit(1 if bad else 0)\n")};
    arguments += stored;
    python.start(QStringLiteral("python3"), arguments);
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardOutput().toStdString();
}
