// A phone's sync-hub client on its two heavy paths, each beside the hub's own
// cost of the same work: a trickle whose pull brings 2,000 changed contacts
// into the phone's contacts list (against a plain client that enumerates and
// accepts the same changes), and a write of 2,000 pending contacts (against
// a session that pushes the same changes). Items per second are contacts per
// second.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "phone/DeviceDataManager.h"
#include "phone/MFDevice.h"
#include "phone/SharedSyncInfo.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"
#include "platform/SyncChange.h"
#include "sync/SyncEngineHandler.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/ISyncManager.h"
#include "syncengine/ISyncSession.h"
#include "syncengine/SyncEngineNames.h"
#include "syncmodel/QVSyncElemList.h"
#include "TemporaryHome.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace platform;

namespace {

constexpr int kContacts = 2000;
const QStringList kBenchEntities{entity::Contact,      entity::PhoneNumber, entity::StreetAddress,
                                 entity::EmailAddress, entity::URL,         entity::Group};

QVariantMap benchContact(int i, int round)
{
    return {{ISyncRecordEntityNameKey, entity::Contact},
            {QStringLiteral("first name"), QStringLiteral("First%1").arg(i)},
            {QStringLiteral("last name"), QStringLiteral("Last%1").arg(i)},
            {QStringLiteral("notes"), QStringLiteral("Round %1").arg(round)}};
}

QString benchId(int i)
{
    return QStringLiteral("Tarnex:contact-%1").arg(i);
}

SyncChange benchAdd(int i, int round)
{
    QVariantList changes;
    const QVariantMap record = benchContact(i, round);
    for (auto it = record.cbegin(); it != record.cend(); ++it)
        changes.append(SyncChange::setChange(it.key(), it.value()));
    return SyncChange(SyncChange::Add, benchId(i), changes, record);
}

class BenchInfo : public SharedSyncInfo {
public:
    bool isBusy() const override { return false; }
    void announceQuit() override { }
};

class BenchLists : public DeviceDataManager {
public:
    // The list is made once the phone object stands (a list asks its phone).
    explicit BenchLists(MFDevice& device) : m_device(device) { }
    void make() { contacts = std::make_unique<QVSyncElemList>(0, &m_device); }
    void saveFinderState() override { }
    void loadFinderState() override { }
    FilesMirror* mirror() const override { return nullptr; }
    OrganizerArchive* archive() const override { return nullptr; }
    bool hasChangesForSyncEngine(int) const override { return false; }
    QVSyncElemList* syncEngineList(int type) const override { return type == 0 ? contacts.get() : nullptr; }
    std::unique_ptr<QVSyncElemList> contacts;

private:
    MFDevice& m_device;
};

// A hub in a temporary folder, a desktop client and one phone with its handler.
struct Phone {
    QTemporaryDir dir;
    std::unique_ptr<ISyncManager> manager;
    std::shared_ptr<ISyncClient> desktop;
    BenchInfo info;
    BenchLists* lists = nullptr;
    std::unique_ptr<MFDevice> device;

    Phone()
    {
        manager = std::make_unique<ISyncManager>(dir.filePath(QStringLiteral("SyncEngine.db")));
        QVariantList entities;
        for (const QString& e : kBenchEntities)
            entities.append(e);
        const QString description = dir.filePath(QStringLiteral("client.plist"));
        plist::writeFile(description, QVariantMap{{ISyncClientDescriptionEntitiesKey, entities}});
        desktop = manager->registerClientWithIdentifier(QStringLiteral("desktop"), description);
        auto db = std::make_shared<qvDeviceDB>();
        if (!db->openDB())
            return;
        auto syncDescription = std::make_shared<QVSyncDeviceDescription>(db);
        if (syncDescription->setupFromProtocol(QStringLiteral("Protocol LG")) != 0)
            return;
        MFDevice::Makers makers;
        makers.generalSyncInfo = [this] { return &info; };
        makers.syncEngineHandler = [this](MFDevice& d) -> std::unique_ptr<DeviceSyncEngineHandler> {
            return SyncEngineHandler::initWithMFDevice(d, *manager);
        };
        makers.dataManager = [this](MFDevice& d) {
            auto made = std::make_unique<BenchLists>(d);
            lists = made.get();
            return made;
        };
        const QVariantMap environment{{"SyncEngineEnabled", true},
                                      {"Contacts", QVariantMap{{"SyncMode", 3}}},
                                      {"Calendar", QVariantMap{{"SyncMode", 0}}}};
        auto dict = std::make_shared<QVariantMap>(
            QVariantMap{{"Common.SerialNo", "4711"}, {"Common.SyncEnvironment", environment}});
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage), dict,
                                            QVariantMap{{"Dorvanti.Model", "KU990"}}, syncDescription,
                                            std::move(makers));
        lists->make();
    }
    ~Phone() { device.reset(); }

    SyncEngineHandler* handler() const
    {
        return device ? static_cast<SyncEngineHandler*>(device->syncEngineHandler()) : nullptr;
    }
    bool waitIdle() const
    {
        return runloop::waitUntil([this] { return !handler()->isBusy(); }, 0.01, 100000);
    }
    // The desktop changes every contact once more.
    void desktopRound(int round)
    {
        auto session = ISyncSession::beginSessionWithClient(desktop, kBenchEntities, {});
        for (int i = 0; i < kContacts; ++i)
            session->pushChangesFromRecord(benchContact(i, round), benchId(i));
        session->finishSyncing();
    }
};

// A whole background pull of a plain client: every change accepted.
int benchPullAll(const std::shared_ptr<ISyncClient>& client)
{
    std::shared_ptr<ISyncSession> session;
    ISyncSession::beginSessionInBackgroundWithClient(
        client, kBenchEntities,
        [&](const std::shared_ptr<ISyncClient>&, const std::shared_ptr<ISyncSession>& s) { session = s; });
    runloop::processPendingEvents();
    bool ready = false;
    session->prepareToPullChangesInBackgroundForEntityNames(
        kBenchEntities,
        [&](const std::shared_ptr<ISyncClient>&, const std::shared_ptr<ISyncSession>&) { ready = true; });
    runloop::processPendingEvents();
    if (!ready)
        return -1;
    const QList<SyncChange> changes = session->changeEnumeratorForEntityNames(kBenchEntities);
    for (const SyncChange& change : changes)
        session->clientAcceptedChangesForRecordWithIdentifier(change.recordIdentifier(), {}, {});
    session->clientCommittedAcceptedChanges();
    session->finishSyncing();
    return int(changes.size());
}

void BM_HandlerTricklePullOf2000Contacts(benchmark::State& state)
{
    Phone phone;
    if (!phone.handler()) {
        state.SkipWithError("no phone client (device database or description missing)");
        return;
    }
    phone.desktopRound(0);
    phone.handler()->writeToSyncEngine(0);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        phone.desktopRound(++round);
        // One pending change, so that the contacts trickle pulls.
        phone.lists->contacts->fillChangesForSyncEngineFromDict({benchAdd(kContacts, round).storedDictionary()});
        state.ResumeTiming();
        if (phone.handler()->trickleSyncEngine(0) != 0 || !phone.waitIdle())
            state.SkipWithError("the trickle did not run");
    }
    if (phone.lists->contacts->allCount() < kContacts)
        state.SkipWithError("the contacts did not arrive");
    state.SetItemsProcessed(state.iterations() * kContacts);
}
BENCHMARK(BM_HandlerTricklePullOf2000Contacts)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_HubPullOf2000Contacts(benchmark::State& state)
{
    Phone phone;
    auto reader = phone.manager->registerClientWithIdentifier(QStringLiteral("reader"),
                                                              phone.dir.filePath(QStringLiteral("client.plist")));
    phone.desktopRound(0);
    benchPullAll(reader);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        phone.desktopRound(++round);
        state.ResumeTiming();
        if (benchPullAll(reader) != kContacts)
            state.SkipWithError("wrong number of changes pulled");
    }
    state.SetItemsProcessed(state.iterations() * kContacts);
}
BENCHMARK(BM_HubPullOf2000Contacts)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_HandlerWriteOf2000PendingContacts(benchmark::State& state)
{
    Phone phone;
    if (!phone.handler()) {
        state.SkipWithError("no phone client (device database or description missing)");
        return;
    }
    phone.handler()->writeToSyncEngine(0); // the first, slow session
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QVariantList pending;
        ++round;
        for (int i = 0; i < kContacts; ++i)
            pending.append(benchAdd(i, round).storedDictionary());
        phone.lists->contacts->fillChangesForSyncEngineFromDict(pending);
        state.ResumeTiming();
        if (phone.handler()->writeToSyncEngine(0) != 0)
            state.SkipWithError("the write failed");
    }
    state.SetItemsProcessed(state.iterations() * kContacts);
}
BENCHMARK(BM_HandlerWriteOf2000PendingContacts)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_HubPushOf2000Changes(benchmark::State& state)
{
    Phone phone;
    auto writer = phone.manager->registerClientWithIdentifier(QStringLiteral("writer"),
                                                              phone.dir.filePath(QStringLiteral("client.plist")));
    ISyncSession::beginSessionWithClient(writer, kBenchEntities, {})->finishSyncing();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QList<SyncChange> changes;
        ++round;
        for (int i = 0; i < kContacts; ++i)
            changes.append(benchAdd(i, round));
        state.ResumeTiming();
        auto session = ISyncSession::beginSessionWithClient(writer, kBenchEntities, {});
        for (const SyncChange& change : std::as_const(changes))
            session->pushChange(change);
        session->finishSyncing();
    }
    state.SetItemsProcessed(state.iterations() * kContacts);
}
BENCHMARK(BM_HubPushOf2000Changes)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    // The handler copies its client description and writes its logs under
    // the data and state folders: a temporary home.
    BenchTemporaryHome home;
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
