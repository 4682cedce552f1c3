// Stored item lists from arbitrary bytes: the property-list reader, the list
// made from what it read (contacts or calendar items, raw or desktop sync
// list, fresh or stale stored state), lookups, the views, both stored forms
// written, and the written forms read back into a list again. The phone's
// description is the shipped LG one.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "platform/PropertyList.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVSyncElemList.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMap>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

const QString kProtocol = QStringLiteral("Protocol LG");

class FuzzDevice : public ItemListDevice {
public:
    bool useSyncEngine = false;
    QVariant syncTime;
    std::shared_ptr<QVSyncDeviceDescription> description;
    int nextTID = 1;

    bool wantsSyncChangesFromEngine(int) override { return true; }
    bool wantsSyncChangesFromDevice(int) override { return true; }
    bool isMobileMaster(int) override { return false; }
    int maxContacts() override { return 0; }
    QString newFreeTID() override { return QStringLiteral("T-%1").arg(nextTID++); }
    const void* notificationSender() override { return this; }
    bool wantsToUseSyncEngineForProperty(int) override { return useSyncEngine; }
    int syncDirectionsModus(int) override { return 3; }
    std::shared_ptr<QVSyncDeviceDescription> syncDescription() override { return description; }
    QVariant lastSyncTime(int) override { return syncTime; }
};

std::shared_ptr<QVSyncDeviceDescription> installDescription()
{
    auto db = std::make_shared<qvDeviceDB>();
    if (!db->openDB(qvDeviceDB::defaultDatabasePath()))
        std::abort();
    auto description = std::make_shared<QVSyncDeviceDescription>(db);
    if (description->setupFromProtocol(kProtocol) != 0)
        std::abort();
    auto limits = std::make_shared<DeviceDescriptionLimits>(description);
    SyncDeviceLimits::setResolver([limits](const QString& protocol) -> std::shared_ptr<SyncDeviceLimits> {
        return protocol.isEmpty() ? nullptr : limits;
    });
    return description;
}

void exercise(QVSyncElemList& list)
{
    for (int i = 0; i < list.allCount() && i < 64; ++i) {
        const auto elem = list.allElems()[size_t(i)];
        (void)list.objectForURI(elem->sourceURI());
        (void)list.UUIDForURI(elem->sourceURI());
        (void)list.getItemForIdentity(elem->getIdentityString());
    }
    (void)list.objectAtIndex(list.count());
    list.constrainToSearchString(QStringLiteral("a"));
    list.sortBy(0x6C617374, false);   // 'last'
    list.constrainToSearchString(QString());
    (void)list.description();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_itemlist";
    static char* argv[] = {name, nullptr};
    static const std::shared_ptr<QVSyncDeviceDescription> description = [] {
        new QCoreApplication(argc, argv);
        QLoggingCategory::setFilterRules(QStringLiteral("marvesto.*=false"));
        return installDescription();
    }();
    if (size < 1 || size > 128 * 1024)
        return 0;

    const uint8_t selector = data[0];
    const QVariant read = platform::plist::read(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
    if (read.typeId() != QMetaType::QVariantMap)
        return 0;
    const QVariantMap stored = read.toMap();

    FuzzDevice device;
    device.description = description;
    device.useSyncEngine = (selector & 1) != 0;
    if (selector & 2)
        device.syncTime = stored.value(QStringLiteral("LastSyncTime")).toString();
    const int property = (selector & 4) ? 1 : 0;

    auto list = QVSyncElemList::fromFileDictionary(stored, QStringLiteral("Fuzz"), property, &device);
    exercise(*list);
    const QVariantMap raw = list->dictionaryForFile();
    const auto sync = list->syncDictionaryForFile();
    if (device.useSyncEngine != sync.has_value())
        std::abort();

    // What was written reads back as a list of as many items.
    const QVariant rawAgain = platform::plist::read(platform::plist::toXml(raw));
    if (!rawAgain.isValid() && platform::plist::toXml(raw).size() > 0)
        std::abort();
    if (sync) {
        const QByteArray xml = platform::plist::toXml(*sync);
        if (!xml.isEmpty()) {
            device.syncTime = sync->value(QStringLiteral("LastSyncTime"));
            auto again = QVSyncElemList::fromFileDictionary(platform::plist::read(xml).toMap(), QStringLiteral("Fuzz"),
                                                            property, &device);
            if (!device.syncTime.isValid() && again->allCount() != 0)
                std::abort();
            exercise(*again);
        }
    }
    if (selector & 8) {
        auto other = list->copy();
        (void)list->createDiffCommands(*other);
        list->moveAllToZombies();
        list->removeZombies(false);
    }
    return 0;
}
