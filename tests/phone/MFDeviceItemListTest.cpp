#include "FolderPhoneFixture.h"

#include "phone/BackupRules.h"
#include "phone/MFDeviceItemList.h"
#include "phone/SyncEnvironment.h"
#include "platform/NotificationCenter.h"
#include "syncmodel/QVSyncElemList.h"

namespace {
using MFDeviceItemListTest = FolderPhoneFixture;
}

TEST_F(MFDeviceItemListTest, AnswersWithThePhonesOwnDecisions)
{
    const auto device = make({}, {{"Common.SyncMaxContacts", "200"}});
    MFDeviceItemList phone(*device);
    EXPECT_EQ(phone.maxContacts(), device->backupRules().maxContacts());
    EXPECT_EQ(QVSyncElemList(0, &phone).maxItemsOnDevice(), phone.maxContacts());
    for (int property : {0, 1, 2, 3}) {
        EXPECT_EQ(phone.wantsSyncChangesFromDevice(property), device->wantsSyncChangesFromDevice(property));
        EXPECT_EQ(phone.wantsSyncChangesFromEngine(property),
                  device->syncEnvironment().wantsSyncChangesFromEngine(property));
        EXPECT_EQ(phone.isMobileMaster(property), device->syncEnvironment().isMobileMaster(property));
    }
    const QString first = phone.newFreeTID();
    EXPECT_TRUE(first.startsWith(QStringLiteral("T-")));
}

TEST_F(MFDeviceItemListTest, ListNotificationsReachObserversOfTheDevice)
{
    const auto device = make({});
    MFDeviceItemList phone(*device);
    int received = 0;
    int observer = 0;
    auto& center = platform::NotificationCenter::defaultCenter();
    center.addObserver(&observer, QStringLiteral("DZ-ContactInvalidated"), device.get(),
                       [&](const platform::Notification&) { ++received; });
    QVSyncElemList(0, &phone).postChangedNotification();
    center.removeObserver(&observer);
    EXPECT_EQ(received, 1);
}
