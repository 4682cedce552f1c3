#include "jobs/QVActionMachine.h"
#include "phone/DZDataManager.h"
#include "phone/DorvantiUSBCopyHdlr.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phonejobs/GroupActionCopyFolderToMac.h"
#include "platform/UsbRegistrySimulated.h"

#include "../jobs/JobsTestSupport.h"
#include "FileTreeTestSupport.h"
#include "SimulatedStoragePhone.h"
#include "TestFiles.h"
#include "VirtualTime.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testing_support::readFile;
using testing_support::writeFile;

QStringList folderCopyTree(const QString& root)
{
    QStringList made;
    QDirIterator walk(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    while (walk.hasNext())
        made.append(QDir(root).relativeFilePath(walk.next()));
    made.sort();
    return made;
}

} // namespace

// Every name of the phone becomes one safe word of the desktop path: no
// name ever leads out of the destination or lands under its raw form.
TEST(FolderCopyNamesTest, PhoneNamesBecomeSafeWordsOfTheDestination)
{
    const auto group = GroupActionCopyFolderToMac::copyMobileDirectory(QStringLiteral("/PHONE/S\\x"),
                                                                       QStringLiteral("/home/u/to"), false, nullptr);
    const struct {
        const char* phone;
        const char* local;
    } cases[] = {
        {"/PHONE/S\\x", "/home/u/to/S_x"},
        {"/PHONE/S\\x/a\\b.txt", "/home/u/to/S_x/a_b.txt"},
        {"/PHONE/S\\x/../../etc/passwd", "/home/u/to/S_x/_/_/etc/passwd"},
        {"/PHONE/S\\x/..", "/home/u/to/S_x/_"},
        {"/PHONE/S\\x/.hidden", "/home/u/to/S_x/hidden"},
        {"/PHONE/S\\x/sub/line\nbreak", "/home/u/to/S_x/sub/line_break"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(group->targetPathForPhonePath(QString::fromUtf8(c.phone)), QString::fromUtf8(c.local)) << c.phone;
}

// A real copy off a storage phone: the folder and the file whose names need
// making safe arrive under their safe names, with and without a files mirror.
TEST(FolderCopyNamesTest, AFolderCopyLandsUnderSafeNames)
{
    for (const bool withMirror : {true, false}) {
        SCOPED_TRACE(withMirror ? "with a files mirror" : "without a files mirror");
        testing_support::OutsideInputScope outside{0.01};
        QTemporaryDir dir;
        QTemporaryDir mac;
        ASSERT_TRUE(dir.isValid() && mac.isValid());
        const QString phone = dir.filePath(QStringLiteral("PHONE"));
        QDir().mkpath(phone + QStringLiteral("/S\\x/in"));
        writeFile(phone + QStringLiteral("/S\\x/a\\b.txt"), "odd");
        writeFile(phone + QStringLiteral("/S\\x/in/ok.txt"), "ok");
        auto registry = testing_support::plugInStoragePhone(phone);
        const QVariantMap row{
            {"Dorvanti.Model", "KU990"}, {"Dorvanti.Manufacturer", "LG"}, {"Dorvanti.TopLevelVolumes", "1"}};
        auto device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage),
                                                 testing_support::storagePhoneDict(), row, nullptr,
                                                 testing_support::storagePhoneMakers());
        auto* manager = dynamic_cast<DZDataManager*>(device->dataManager());
        ASSERT_TRUE(manager);
        std::unique_ptr<FilesMirror> mirror;
        if (withMirror)
            mirror = FilesMirror::mirrorWithDevice(*device, dir.filePath(QStringLiteral("KU990.dzmir")));
        phonejobs_test::listedFolder(*manager, QStringLiteral("/PHONE"));

        auto notify = std::make_shared<jobs_test::RecordingNotify>();
        auto group = GroupActionCopyFolderToMac::copyMobileDirectory(QStringLiteral("/PHONE/S\\x"), mac.path(), false,
                                                                     notify);
        ASSERT_TRUE(device->addAction(group));
        ASSERT_TRUE(phonejobs_test::runUntilTreeSettles([&] { return group->hasEnded(); }, 60.0));
        EXPECT_EQ(folderCopyTree(mac.path()), (QStringList{"S_x", "S_x/a_b.txt", "S_x/in", "S_x/in/ok.txt"}));
        EXPECT_EQ(readFile(mac.filePath(QStringLiteral("S_x/a_b.txt"))), "odd");
        EXPECT_EQ(readFile(mac.filePath(QStringLiteral("S_x/in/ok.txt"))), "ok");

        device->actionMachine()->announceQuitWithLoops(5);
        device.reset();
        mirror.reset();
        DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr();
        platform::UsbRegistry::setShared(nullptr);
    }
}
