// A phone session of an item list from arbitrary bytes: the first byte picks
// the property (contacts or calendar), the kind of phone and the session's
// flags; the rest is a property list {"Stored", "SyncInfo", "Statuses",
// "AT", "Answers", "Environment", "GroupChanges"} whose parts are handed to
// the merge, the status report, the commands, the AT merge and its answers,
// the environment's evaluation and the pulled group and calendar changes.
// The phone's description is the shipped LG one.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "platform/PropertyList.h"
#include "platform/SyncChange.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElemList.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class SessionFuzzDevice : public ItemListDevice {
public:
    bool useSyncEngine = false;
    bool fromDevice = true;
    bool fromEngine = true;
    bool motorola = false;
    std::shared_ptr<QVSyncDeviceDescription> description;
    SyncEnvironmentSet environments;
    int nextTID = 1;

    bool wantsSyncChangesFromEngine(int) override { return fromEngine; }
    bool wantsSyncChangesFromDevice(int) override { return fromDevice; }
    bool isMobileMaster(int) override { return false; }
    int maxContacts() override { return 0; }
    QString newFreeTID() override { return QStringLiteral("T-%1").arg(nextTID++); }
    const void* notificationSender() override { return this; }
    bool wantsToUseSyncEngineForProperty(int) override { return useSyncEngine; }
    std::shared_ptr<QVSyncDeviceDescription> syncDescription() override { return description; }
    SyncEnvironmentSet* syncEnvironments() override { return &environments; }
    bool usesMotorolaATConnections() override { return motorola; }
    QString dbName(int property) override
    {
        return property == 0 ? QStringLiteral("Contacts") : QStringLiteral("Calendar");
    }
};

std::shared_ptr<QVSyncDeviceDescription> sessionDescription()
{
    auto db = std::make_shared<qvDeviceDB>();
    if (!db->openDB(qvDeviceDB::defaultDatabasePath()))
        std::abort();
    auto description = std::make_shared<QVSyncDeviceDescription>(db);
    if (description->setupFromProtocol(QStringLiteral("Protocol LG")) != 0)
        std::abort();
    auto limits = std::make_shared<DeviceDescriptionLimits>(description);
    SyncDeviceLimits::setResolver([limits](const QString& protocol) -> std::shared_ptr<SyncDeviceLimits> {
        return protocol.isEmpty() ? nullptr : limits;
    });
    return description;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_itemsession";
    static char* argv[] = {name, nullptr};
    static const std::shared_ptr<QVSyncDeviceDescription> description = [] {
        new QCoreApplication(argc, argv);
        QLoggingCategory::setFilterRules(QStringLiteral("marvesto.*=false"));
        return sessionDescription();
    }();
    if (size < 1 || size > 128 * 1024)
        return 0;
    const uint8_t selector = data[0];
    const QVariant read = platform::plist::read(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
    if (read.typeId() != QMetaType::QVariantMap)
        return 0;
    const QVariantMap input = read.toMap();

    SessionFuzzDevice device;
    device.description = description;
    device.useSyncEngine = (selector & 1) != 0;
    device.fromDevice = (selector & 2) == 0;
    device.motorola = (selector & 4) != 0;
    const int property = (selector & 8) ? 1 : 0;
    const QVariant environment = input.value(QStringLiteral("Environment"));
    if (environment.typeId() == QMetaType::QVariantMap) {
        device.environments.main = environment.toMap();
        device.environments.work = environment.toMap();
        device.environments.user = environment.toMap();
    }
    const QVariant stored = input.value(QStringLiteral("Stored"));
    auto list = QVSyncElemList::fromFileDictionary(
        stored.typeId() == QMetaType::QVariantMap ? std::optional<QVariantMap>(stored.toMap()) : std::nullopt,
        QStringLiteral("Fuzz"), property, &device);

    list->prepareSynchronization();
    list->processSyncInfo(input.value(QStringLiteral("SyncInfo")).toMap(), (selector & 16) != 0);
    (void)list->processStatusMessages(input.value(QStringLiteral("Statuses")).toList());
    for (const QVariant& stored : input.value(QStringLiteral("GroupChanges")).toList()) {
        platform::SyncChange change;
        if (!platform::SyncChange::fromStoredDictionary(stored, change))
            continue;
        bool numberChanged = false;
        if (property == 0)
            list->processOneSyncEngineGroupChange(change, &numberChanged);
        else
            list->processOneSyncEngineCalendarChange(change, &numberChanged);
    }
    list->evaluateSyncEnvironment((selector & 32) != 0, 0);
    QVCommandArray commands;
    list->addSyncCommands(commands, true, (selector & 64) ? 5 + (selector >> 7) : 0);
    for (int i = 0; i < commands.count(); ++i)
        if (!commands.elemAtIndex(i) || commands.commandAtIndex(i).isEmpty())
            std::abort();
    (void)commands.description();
    list->finalizeSynchronization((selector & 128) ? 1 : 0);

    QVariantMap raw = input.value(QStringLiteral("Raw")).toMap();
    const auto write = list->processMotorolaData(input.value(QStringLiteral("AT")).toMap(), (selector & 64) != 0, raw);
    if (write && !write->isEmpty()) {
        // Every id written is answered with what the input says for it.
        const QVariantMap answers = input.value(QStringLiteral("Answers")).toMap();
        QVariantMap given;
        for (auto it = write->cbegin(); it != write->cend(); ++it)
            given.insert(it.key(), answers.value(it.key(), answers.value(QStringLiteral("*"))));
        list->finishMotorolaSession(given, 0, raw);
    }
    list->finishMotorolaSession(input.value(QStringLiteral("Answers")).toMap(), 0, raw);
    for (const auto& elem : list->allElems())
        if (!elem)
            std::abort();
    (void)list->description();
    return 0;
}
