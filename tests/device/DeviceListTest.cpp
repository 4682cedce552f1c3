#include "device/DeviceList.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

namespace {

DeviceList::Entry phone(const QString& serial, const QString& name = QString())
{
    return std::make_shared<QVariantMap>(
        QVariantMap{{QStringLiteral("Common.SerialNo"), serial}, {QStringLiteral("Common.DeviceName"), name}});
}

QVariantMap storedPhone(const QString& serial)
{
    return QVariantMap{{QStringLiteral("Common.SerialNo"), serial}};
}

class DeviceListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        defaults = std::make_unique<platform::UserDefaults>(QStringLiteral("devicelist-test-%1").arg(++counter));
    }

    QVariant stored(const char* key) const { return defaults->object(QString::fromLatin1(key)); }

    std::unique_ptr<platform::UserDefaults> defaults;
};

TEST_F(DeviceListTest, FirstLaunchSetsUpEmptyListsAndVersion)
{
    DeviceList list(*defaults);
    EXPECT_EQ(stored("Devices"), QVariant(QVariantList()));
    EXPECT_EQ(stored("History Devices"), QVariant(QVariantList()));
    EXPECT_EQ(defaults->integer(QStringLiteral("Preferences Version Major")), 0);
    EXPECT_EQ(defaults->integer(QStringLiteral("Preferences Version Minor")), 28);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.historyCount(), 0);
    EXPECT_TRUE(list.isDirty());
}

TEST_F(DeviceListTest, OldMinorVersionIsRaisedAndHistoryMadeFromDevices)
{
    defaults->setObject(QStringLiteral("Devices"), QVariantList{storedPhone(QStringLiteral("123456789012345"))});
    defaults->setObject(QStringLiteral("Preferences Version Minor"), 27);
    DeviceList list(*defaults);
    EXPECT_EQ(defaults->integer(QStringLiteral("Preferences Version Minor")), 28);
    EXPECT_TRUE(list.isDirty());
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.historyCount(), 1);
    EXPECT_EQ(stored("History Devices").toList().size(), 1);
    // copies, not the same dictionaries
    EXPECT_NE(list.deviceEntry(0), list.historyDeviceEntry(0));
}

TEST_F(DeviceListTest, NegativeMajorVersionDiscardsTheKnownList)
{
    defaults->setObject(QStringLiteral("Devices"), QVariantList{storedPhone(QStringLiteral("123456789012345"))});
    defaults->setObject(QStringLiteral("Preferences Version Major"), -1);
    DeviceList list(*defaults);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(stored("Devices"), QVariant(QVariantList()));
}

TEST_F(DeviceListTest, SerialMatching)
{
    defaults->setObject(QStringLiteral("Devices"), QVariantList{storedPhone(QStringLiteral("351234567890123"))});
    defaults->setObject(QStringLiteral("Preferences Version Minor"), 28);
    DeviceList list(*defaults);
    struct Case {
        const char* serial;
        int index;
    };
    const Case cases[] = {{"351234567890123", 0}, {"35123456", 0}, {"3512345", -1},
                          {"351234567890124", -1}, {"3512345678901234567", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        EXPECT_EQ(list.getIndexFor(QString::fromLatin1(c.serial)), c.index);
    }
}

TEST_F(DeviceListTest, AShortStoredSerialDoesNotShortenLaterComparisons)
{
    // Two phones of one model share the first digits of their IMEI.
    defaults->setObject(QStringLiteral("Devices"),
                        QVariantList{storedPhone(QStringLiteral("35999999")),
                                     storedPhone(QStringLiteral("351234560000001"))});
    DeviceList list(*defaults);
    EXPECT_EQ(list.getIndexFor(QStringLiteral("351234560000002")), -1);
    EXPECT_EQ(list.getIndexFor(QStringLiteral("351234560000001")), 1);
    EXPECT_EQ(list.getIndexFor(QStringLiteral("3599999912")), 0);
}

TEST_F(DeviceListTest, HistoryMatchingNeverCutsTheSearchedSerial)
{
    DeviceList list(*defaults);
    list.addHistoryDevice(phone(QStringLiteral("1234567890")));
    EXPECT_EQ(list.getHistoryIndexFor(QStringLiteral("1234")), 0);
    EXPECT_EQ(list.getHistoryIndexFor(QStringLiteral("12345678901")), -1);
    // No serial matches nothing.
    EXPECT_EQ(list.getHistoryIndexFor(QString()), -1);
    EXPECT_EQ(list.getHistoryIndexFor(QStringLiteral("")), -1);
}

TEST_F(DeviceListTest, BackupOfAPhoneWithoutSerialKeepsTheArchivedPhones)
{
    DeviceList list(*defaults);
    list.addHistoryDevice(phone(QStringLiteral("111111111111111"), QStringLiteral("archived")));
    for (const QString& serial : {QString(), QStringLiteral("")}) {
        auto unnamed = std::make_shared<QVariantMap>(
            QVariantMap{{"Common.DeviceName", "no serial"}, {"Common.BackupDevice", true}});
        if (!serial.isNull())
            unnamed->insert(QStringLiteral("Common.SerialNo"), serial);
        list.writeDevice(unnamed);
    }
    const QVariantList history = stored("History Devices").toList();
    ASSERT_EQ(history.size(), 3);
    EXPECT_EQ(history.at(2).toMap().value(QStringLiteral("Common.DeviceName")).toString(), QStringLiteral("archived"));
}

TEST_F(DeviceListTest, WriteDeviceStoresUnderItsSerial)
{
    DeviceList list(*defaults);
    list.addDevice(phone(QStringLiteral("111111111111111"), QStringLiteral("old")));
    list.writeDevice(phone(QStringLiteral("222222222222222"), QStringLiteral("new")));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.deviceEntry(0)->value(QStringLiteral("Common.SerialNo")).toString(), QStringLiteral("222222222222222"));

    auto changed = phone(QStringLiteral("111111111111111"), QStringLiteral("renamed"));
    changed->insert(QStringLiteral("Common.BackupDevice"), true);
    list.writeDevice(changed);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.deviceEntry(1), changed);
    EXPECT_EQ(list.historyCount(), 1);
    const QVariantList devices = stored("Devices").toList();
    ASSERT_EQ(devices.size(), 2);
    EXPECT_EQ(devices.at(1).toMap().value(QStringLiteral("Common.DeviceName")).toString(), QStringLiteral("renamed"));

    // getEntryFor answers a copy
    auto copy = list.getEntryFor(QStringLiteral("111111111111111"));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, changed);
    EXPECT_EQ(*copy, *changed);
    EXPECT_TRUE(list.doesExist(*changed));
    EXPECT_FALSE(list.doesExist(storedPhone(QStringLiteral("333333333333333"))));
}

TEST_F(DeviceListTest, ReplacingAHistoryEntryWritesOnlyTheHistoryList)
{
    DeviceList list(*defaults);
    list.addDevice(phone(QStringLiteral("111111111111111")));
    list.addHistoryDevice(phone(QStringLiteral("111111111111111")));
    // mark what is stored under "Devices" so a rewrite would show
    defaults->setObject(QStringLiteral("Devices"), QVariantList{QStringLiteral("untouched")});
    list.writeHistoryDeviceAtIndex(phone(QStringLiteral("111111111111111"), QStringLiteral("archived")), 0);
    EXPECT_EQ(stored("Devices"), QVariant(QVariantList{QStringLiteral("untouched")}));
    EXPECT_EQ(stored("History Devices").toList().at(0).toMap().value(QStringLiteral("Common.DeviceName")).toString(),
              QStringLiteral("archived"));
    list.deleteHistoryDevice(0);
    EXPECT_EQ(list.historyCount(), 0);
    EXPECT_EQ(stored("History Devices"), QVariant(QVariantList()));
}

TEST_F(DeviceListTest, ADirtyListIsWrittenWhenItGoesAway)
{
    {
        DeviceList list(*defaults);
        list.addDevice(phone(QStringLiteral("111111111111111")));
        list.deviceEntry(0)->insert(QStringLiteral("Common.DeviceName"), QStringLiteral("changed in place"));
        list.setDirty();
    }
    EXPECT_EQ(stored("Devices").toList().at(0).toMap().value(QStringLiteral("Common.DeviceName")).toString(),
              QStringLiteral("changed in place"));
}

} // namespace
