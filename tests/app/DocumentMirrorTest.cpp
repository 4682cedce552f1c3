// A phone document made with the program's makers: the phone's files mirror,
// then its organizer archive over it, both known to the phone's data manager.
#include "app/DocumentFilesMirror.h"
#include "app/MobileDeviceDocument.h"
#include "app/ProgramDeviceMakers.h"

#include "phone/DZDataManager.h"
#include "phone/DeviceDataManager.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A KU990 as the program makes its phone object (without its link).
std::shared_ptr<MFDevice> programPhone(const QString& connType = QLatin1String(MFDevice::kUSBMassStorage),
                                       QVariantMap dict = {})
{
    const QVariantMap row{{"Dorvanti.Model", "KU990"}, {"Dorvanti.Manufacturer", "LG"}};
    dict.insert("Common.SerialNo", "35412301");
    return std::make_shared<MFDevice>(connType, std::make_shared<QVariantMap>(dict), row, nullptr,
                                      programmakers::makers());
}

class DocumentMirrorTest : public ::testing::Test {
protected:
    DocumentMirrorTest() { MobileDeviceDocument::setMakers(programmakers::documentMakers()); }
    ~DocumentMirrorTest() override { MobileDeviceDocument::setMakers({}); }
};

TEST_F(DocumentMirrorTest, APhoneGetsItsMirrorThenItsArchiveAndLosesBothWithItsDocument)
{
    const std::shared_ptr<MFDevice> device = programPhone();
    ASSERT_TRUE(device->dataManager());
    {
        MobileDeviceDocument document;
        ASSERT_TRUE(document.setMFDevice(device, nullptr));
        ASSERT_TRUE(document.mirror());
        FilesMirror* mirror = document.mirror()->filesMirror();
        ASSERT_TRUE(mirror);
        EXPECT_EQ(device->mirror(), mirror);
        const QString anchor = QDir(FilesMirror::mirrorBasePath()).filePath(device->uniqueMirrorName());
        EXPECT_EQ(QFileInfo(mirror->getMirrorAnchorPath()).canonicalFilePath(), QFileInfo(anchor).canonicalFilePath());
        EXPECT_TRUE(QFileInfo(anchor).isDir());
        EXPECT_TRUE(QFileInfo(QDir(anchor).filePath(FilesMirror::kOtherDataFolder)).isDir());

        ASSERT_TRUE(document.archive());
        ASSERT_TRUE(document.archive()->organizerArchive());
        EXPECT_EQ(device->dataManager()->archive(), document.archive()->organizerArchive());
        EXPECT_EQ(device->archive(), document.archive()->organizerArchive());
    }
    // The phone may outlive its document: its data manager keeps neither.
    EXPECT_EQ(device->mirror(), nullptr);
    EXPECT_EQ(device->dataManager()->archive(), nullptr);
}

TEST_F(DocumentMirrorTest, MirroredFilesAreThoseThePhonesTreeKnows)
{
    const std::shared_ptr<MFDevice> device = programPhone();
    MobileDeviceDocument document;
    ASSERT_TRUE(document.setMFDevice(device, nullptr));
    auto* data = dynamic_cast<DZDataManager*>(device->dataManager());
    ASSERT_TRUE(data);
    ASSERT_TRUE(data->addFile(QStringLiteral("/Pictures/beach.jpg")));

    int error = 99;
    const std::optional<QString> known = document.getMirroredFile(QStringLiteral("/Pictures/beach.jpg"), &error);
    ASSERT_TRUE(known);
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(known->endsWith(QStringLiteral("/Files/Pictures/beach.jpg"))) << known->toStdString();
    EXPECT_TRUE(known->startsWith(document.mirror()->filesMirror()->getMirrorAnchorPath()));
    EXPECT_TRUE(QFileInfo(QFileInfo(*known).path()).isDir()) << "its folder is made";

    error = 0;
    EXPECT_FALSE(document.getMirroredFile(QStringLiteral("/Pictures/unknown.jpg"), &error));
    EXPECT_NE(error, 0);
    EXPECT_FALSE(document.getMirrorPath(QStringLiteral("/Pictures/../../escape.jpg")));

    // A folder gets its finder entry once registered; a set value is read back.
    const std::optional<QVariantMap> folder = document.getFinderInfoDictForPath(QStringLiteral("/Pictures"), true);
    ASSERT_TRUE(folder);
    EXPECT_FALSE(document.getFinderInfoDictForPath(QStringLiteral("/Nothing.txt"), false));
}

TEST_F(DocumentMirrorTest, APhoneWhoseMirrorCannotBeMadeIsRefused)
{
    const QString root = platform::paths::applicationSupportDirectory();
    ASSERT_TRUE(QDir().mkpath(root));
    const QString mirrors = QDir(root).filePath(FilesMirror::kMirrorsFolder);
    QDir(mirrors).removeRecursively();
    QFile blocker(mirrors);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto restore = qScopeGuard([&] { QFile::remove(mirrors); });

    const std::shared_ptr<MFDevice> device = programPhone();
    MobileDeviceDocument document;
    EXPECT_FALSE(document.setMFDevice(device, nullptr));
    EXPECT_FALSE(document.hasDevice());
    EXPECT_FALSE(document.mirror());
    EXPECT_FALSE(document.archive());
    EXPECT_EQ(device->mirror(), nullptr);
    EXPECT_EQ(device->dataManager()->archive(), nullptr);
}

TEST_F(DocumentMirrorTest, AHistoryPhonesMirrorIsTheFolderItWasOpenedFrom)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString anchor = folder.filePath(QStringLiteral("KU990-35412301.dzmir"));
    ASSERT_TRUE(QDir().mkpath(anchor));
    const std::shared_ptr<MFDevice> device = programPhone(QLatin1String(MFDevice::kHistory),
                                                          {{DocumentFilesMirror::kHistoryAnchorKey, anchor}});
    MobileDeviceDocument document;
    ASSERT_TRUE(document.setMFDevice(device, nullptr));
    ASSERT_TRUE(document.mirror());
    EXPECT_EQ(QFileInfo(document.mirror()->filesMirror()->getMirrorAnchorPath()).canonicalFilePath(),
              QFileInfo(anchor).canonicalFilePath());
    EXPECT_FALSE(QFileInfo::exists(QDir(FilesMirror::mirrorBasePath()).filePath(device->uniqueMirrorName())))
        << "nothing made in the program's own mirrors";
    ASSERT_TRUE(document.archive());
    EXPECT_EQ(device->dataManager()->archive(), document.archive()->organizerArchive());
}

} // namespace
