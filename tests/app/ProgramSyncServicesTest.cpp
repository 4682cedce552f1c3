#include "app/ProgramDeviceMakers.h"
#include "app/TarnexProgramServices.h"

#include "VirtualTime.h"
#include "desktopstore/DesktopStore.h"
#include "device/DeviceList.h"
#include "device/QVSyncDeviceDescription.h"
#include "phone/MFDevice.h"
#include "platform/UserDefaults.h"
#include "sync/GeneralSyncInfo.h"
#include "syncengine/ISyncManager.h"

#include <QScopeGuard>
#include <gtest/gtest.h>

namespace {

TEST(ProgramSyncServices, RequiredMakesTheSharedClientActiveAndStartsTheDesktopStoreOnce)
{
    const auto release = qScopeGuard([] { GeneralSyncInfo::releaseSharedGeneralSyncInfo(); });
    platform::ISyncManager& hub = platform::ISyncManager::sharedManager();
    DeviceList list(platform::UserDefaults::standard());
    {
        TarnexProgramServices services(list);
        EXPECT_FALSE(services.desktopStore());
        services.syncFunctionalityRequired();
        desktopstore::DesktopStore* store = services.desktopStore();
        ASSERT_TRUE(store);
        EXPECT_TRUE(GeneralSyncInfo::isGeneralSyncInfoAlloced());
        EXPECT_TRUE(GeneralSyncInfo::sharedGeneralSyncInfo().isActive());
        services.syncFunctionalityRequired();
        EXPECT_EQ(services.desktopStore(), store);
        EXPECT_TRUE(hub.clientWithIdentifier(desktopstore::DesktopStore::kClientIdentifier));
        ASSERT_TRUE(testing_support::runUntil([] { return !GeneralSyncInfo::sharedGeneralSyncInfo().isBusy(); }));

        ASSERT_TRUE(hub.clientWithIdentifier(GeneralSyncInfo::clientIdentifier()));
        services.removeSyncClients({});
        EXPECT_FALSE(hub.clientWithIdentifier(GeneralSyncInfo::clientIdentifier()));
        EXPECT_TRUE(hub.clientWithIdentifier(desktopstore::DesktopStore::kClientIdentifier));
    }
}

TEST(ProgramSyncServices, PhonesReachTheSharedCalendarsThroughTheProgramsMakers)
{
    const auto release = qScopeGuard([] { GeneralSyncInfo::releaseSharedGeneralSyncInfo(); });
    const MFDevice::Makers makers = programmakers::makers();
    ASSERT_TRUE(makers.generalSyncInfo);
    EXPECT_EQ(makers.generalSyncInfo(), nullptr); // not made yet

    GeneralSyncInfo& shared = GeneralSyncInfo::sharedGeneralSyncInfo();
    shared.functionalityRequired();
    ASSERT_TRUE(testing_support::runUntil([&] { return !shared.isBusy(); }));
    const QString work = shared.addCalendar(QStringLiteral("Work"));
    EXPECT_EQ(makers.generalSyncInfo(), &shared);
    EXPECT_EQ(makers.generalSyncInfo()->calendarID(0), work);

    auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("UNKNOWN"));
    ASSERT_TRUE(description);
    description->setDeviceFieldLengths({{"SyncML.syncContacts", 1}, {"SyncML.syncCalendar", 1}});
    const QVariantMap row{{"Dorvanti.Model", "V3"},
                          {"Dorvanti.Manufacturer", "Motorola"},
                          {"Dorvanti.SyncMLProtocol", description->protocol()}};
    auto dict = std::make_shared<QVariantMap>(
        QVariantMap{{"Common.SyncEnvironment", QVariantMap{{"SyncEngineEnabled", false}}}});
    const auto device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage), dict, row, description,
                                                   makers);
    ASSERT_TRUE(device->syncEnvironments()->main);
    const QVariantMap calendar = device->syncEnvironments()->main->value(device->dbName(1)).toMap();
    EXPECT_EQ(calendar.value("Groups").toMap(),
              (QVariantMap{{"T-0", QVariantMap{{"name", "Work"}, {"read only", false}, {"enabled", true}}}}));
    EXPECT_EQ(calendar.value("TargetGroupName"), QVariant("Work"));
}

} // namespace
