#include "device/DeviceList.h"
#include "device/MFDeviceInfo.h"
#include "device/MFDeviceInfoOwner.h"
#include "device/sqlcryptQuickLiteDatabase.h"

#include <gtest/gtest.h>

namespace {

class FakeOwner : public MFDeviceInfoOwner {
public:
    QString dbName(int type) const override { return type == 0 ? QStringLiteral("Contacts") : QString(); }
};

QVariantMap modelRow()
{
    return {{QStringLiteral("Dorvanti.Model"), QStringLiteral("KU990 Viewty")},
            {QStringLiteral("Dorvanti.Manufacturer"), QStringLiteral("LG")},
            {QStringLiteral("Dorvanti.SMSProtocol"), QStringLiteral("lg/lg2/lg3")},
            {QStringLiteral("Dorvanti.GraphicFormats"), QStringLiteral("JPEG, gif,tiff")},
            {QStringLiteral("Dorvanti.SoundUsesM3U"), QStringLiteral("1")},
            {QStringLiteral("Dorvanti.ParallConsBT"), QStringLiteral("0")},
            {QStringLiteral("Dorvanti.sendSMS"), QStringLiteral("NoSMS")}};
}

class MFDeviceInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dict = std::make_shared<QVariantMap>(QVariantMap{{QStringLiteral("Common.SerialNo"), QStringLiteral("3512/34")}});
        // history settings are never written back, so the tests leave the
        // shared device list alone
        info = std::make_unique<MFDeviceInfo>(dict, modelRow(), &owner, true);
    }

    FakeOwner owner;
    std::shared_ptr<QVariantMap> dict;
    std::unique_ptr<MFDeviceInfo> info;
};

TEST_F(MFDeviceInfoTest, BooleanReadsOfStringsAndNumbers)
{
    struct Case {
        QVariant value;
        bool expected;
    };
    const Case cases[] = {{QStringLiteral("yes"), true}, {QStringLiteral("No"), false}, {QStringLiteral("2"), true},
                          {QStringLiteral("0"), false},  {QStringLiteral("-1"), false}, {-1, false},
                          {1, true},                     {true, true},                 {QStringLiteral("Yessir"), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toString().toStdString());
        info->setObject(c.value, QStringLiteral("User.Flag"));
        EXPECT_EQ(info->nonNilBOOLFromDeviceSpec(QStringLiteral("User.Flag")), c.expected);
    }
    EXPECT_FALSE(info->nonNilBOOLFromDeviceSpec(QStringLiteral("User.Absent")));
}

TEST_F(MFDeviceInfoTest, KeysAreReadFromTheirSource)
{
    dict->insert(QStringLiteral("Common.Null"), sqlcryptQuickLiteDatabase::nullMarker());
    dict->insert(QStringLiteral("Dorvanti.Model"), QStringLiteral("from the dictionary"));
    EXPECT_FALSE(info->objectForKey(QStringLiteral("Common.Null")).isValid());
    EXPECT_EQ(info->deviceModel(), QStringLiteral("KU990 Viewty"));
    EXPECT_EQ(info->nonNilStringFromDeviceSpec(QStringLiteral("Common.Nothing")), QString(QLatin1String("")));
    EXPECT_EQ(info->getUniqueDeviceName(), QStringLiteral("KU990 Viewty-3512/34"));
    EXPECT_EQ(info->getUniqueMirrorName(), QStringLiteral("KU990 Viewty-351234.dzmir"));
}

TEST_F(MFDeviceInfoTest, DatabaseKeysCannotBeWritten)
{
    int alerts = 0;
    MFDeviceInfo::setAlertSoundHandler([&alerts] { ++alerts; });
    info->setObject(QStringLiteral("changed"), QStringLiteral("Dorvanti.Model"));
    MFDeviceInfo::setAlertSoundHandler(nullptr);
    EXPECT_EQ(alerts, 1);
    EXPECT_EQ(info->deviceModel(), QStringLiteral("KU990 Viewty"));
    EXPECT_FALSE(dict->contains(QStringLiteral("Dorvanti.Model")));
    EXPECT_FALSE(info->isDirty());
}

TEST_F(MFDeviceInfoTest, WritesMarkTheSettingsDirty)
{
    info->setObject(QStringLiteral("A"), QStringLiteral("User.Same"));
    info->clearDirtyFlag();
    info->setObject(QStringLiteral("A"), QStringLiteral("User.Same"));
    EXPECT_TRUE(info->isDirty());

    info->clearDirtyFlag();
    info->setVolumeInArchive(true);
    EXPECT_FALSE(info->isDirty());
    EXPECT_TRUE(info->volumeInArchive(true));
    EXPECT_FALSE(info->volumeInArchive(false));

    info->removeObjectForKey(QStringLiteral("User.Same"));
    EXPECT_FALSE(dict->contains(QStringLiteral("User.Same")));
    EXPECT_TRUE(info->isDirty());
}

TEST_F(MFDeviceInfoTest, ModelSettings)
{
    EXPECT_EQ(info->getSMSFamily(1), QStringLiteral("lg2"));
    EXPECT_EQ(info->getSMSFamily(0), QStringLiteral("lg"));
    EXPECT_FALSE(info->canSendSMS());
    EXPECT_TRUE(info->supportsGraphicFormat(QStringLiteral("JPEG")));
    EXPECT_TRUE(info->supportsJPEG());
    EXPECT_TRUE(info->supportsGraphicFormat(QStringLiteral("TIFF")));
    EXPECT_FALSE(info->supportsGraphicFormat(QStringLiteral("png")));
    EXPECT_EQ(info->parallelConnectionsBluetooth(), 1);
    EXPECT_EQ(info->getBatteryMax(), 75);
    EXPECT_TRUE(info->usesM3U());
    info->setUsesM3U(0);
    EXPECT_FALSE(info->usesM3U());
    EXPECT_TRUE(info->usesM3U(false));
    EXPECT_TRUE(info->canUseM3U());
    EXPECT_EQ(info->eraseKey(0), QStringLiteral("Common.EraseDevice-Contacts"));
    EXPECT_TRUE(info->eraseKey(1).isNull());
    EXPECT_TRUE(info->wantsBackupAutomatic());
    EXPECT_FALSE(info->wantsBackup());
    EXPECT_TRUE(info->overwriteMFiles());
}

TEST_F(MFDeviceInfoTest, SmsFamilyAndBatteryRules)
{
    const auto settingsWith = [](const QVariantMap& row) {
        return std::make_unique<MFDeviceInfo>(std::make_shared<QVariantMap>(), row, nullptr, true);
    };
    EXPECT_EQ(settingsWith({{QStringLiteral("Dorvanti.SMSProtocol"), QStringLiteral("a/b/c")}})->getSMSFamily(1),
              QStringLiteral("b"));
    EXPECT_EQ(settingsWith({{QStringLiteral("Dorvanti.SMSProtocol"), QStringLiteral("whole")}})->getSMSFamily(1),
              QStringLiteral("whole"));
    EXPECT_TRUE(settingsWith({})->getSMSFamily(0).isNull());

    struct Case {
        const char* maker;
        const char* batteryMax;
        long expected;
    };
    const Case cases[] = {{"MOTOROLA", "0", 90}, {"nokia", nullptr, 90}, {"LG", nullptr, 75},
                          {"", nullptr, 75},     {"Motorola", "60", 60}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maker);
        QVariantMap row{{QStringLiteral("Dorvanti.Manufacturer"), QString::fromLatin1(c.maker)}};
        if (c.batteryMax)
            row.insert(QStringLiteral("Dorvanti.BatteryMax"), QString::fromLatin1(c.batteryMax));
        EXPECT_EQ(settingsWith(row)->getBatteryMax(), c.expected);
    }
}

TEST_F(MFDeviceInfoTest, FreeIdsCountFrom4711)
{
    EXPECT_EQ(info->getFreeID(), 4711);
    EXPECT_EQ(info->getFreeID(), 4712);
    EXPECT_EQ(dict->value(QStringLiteral("User.FreeFileID")).toLongLong(), 4713);
}

TEST(MFDeviceInfoWithoutDictionary, AnswersEmptyValuesAndIgnoresWrites)
{
    MFDeviceInfo info(nullptr, modelRow(), nullptr, false);
    EXPECT_FALSE(info.objectForKey(QStringLiteral("Dorvanti.Model")).isValid());
    EXPECT_EQ(info.deviceModel(), QString(QLatin1String("")));
    info.setObject(QStringLiteral("x"), QStringLiteral("User.X"));
    EXPECT_FALSE(info.isDirty());
    EXPECT_FALSE(info.isAlreadyInDeviceList());
}

TEST(MFDeviceInfoWriteBack, DirtySettingsReachTheKnownDeviceList)
{
    auto dict = std::make_shared<QVariantMap>(
        QVariantMap{{QStringLiteral("Common.SerialNo"), QStringLiteral("490154203237518")}});
    {
        MFDeviceInfo info(dict, modelRow(), nullptr, false);
        EXPECT_FALSE(info.isAlreadyInDeviceList());
        info.setObject(QStringLiteral("Kitchen phone"), QStringLiteral("Common.DeviceName"));
    }
    DeviceList& list = DeviceList::sharedDeviceList();
    const int index = list.getIndexFor(QStringLiteral("490154203237518"));
    ASSERT_GE(index, 0);
    EXPECT_EQ(list.deviceEntry(index), dict);
    list.deleteDevice(index);
}

} // namespace
