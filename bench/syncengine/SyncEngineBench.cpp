// The sync hub's two heavy paths: a slow push of a whole address book (each
// contact with two phone numbers and an e-mail address), and a fast pull of
// 500 changed contacts by another client over stores of growing size; items
// per second are records per second.
#include "platform/RunLoop.h"
#include "platform/PropertyList.h"
#include "platform/SyncChange.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/ISyncManager.h"
#include "syncengine/ISyncSession.h"
#include "syncengine/SyncEngineNames.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace platform;

namespace {

constexpr int kSubRecordsPerContact = 3;
constexpr int kPulledChanges = 500;
const QStringList kEntities{entity::Contact, entity::PhoneNumber, entity::EmailAddress};

// A hub in a temporary folder with a desktop and a phone client.
struct Hub {
    QTemporaryDir dir;
    std::unique_ptr<ISyncManager> manager;
    std::shared_ptr<ISyncClient> desktop;
    std::shared_ptr<ISyncClient> phone;

    Hub()
    {
        manager = std::make_unique<ISyncManager>(dir.filePath(QStringLiteral("SyncEngine.db")));
        QVariantList entities;
        for (const QString& e : kEntities)
            entities.append(e);
        const QString description = dir.filePath(QStringLiteral("client.plist"));
        plist::writeFile(description, QVariantMap{{ISyncClientDescriptionEntitiesKey, entities}});
        desktop = manager->registerClientWithIdentifier(QStringLiteral("desktop"), description);
        phone = manager->registerClientWithIdentifier(QStringLiteral("phone"), description);
    }
};

void pushAddressBook(const std::shared_ptr<ISyncClient>& owner, int contacts)
{
    auto session = ISyncSession::beginSessionWithClient(owner, kEntities, {});
    for (int i = 0; i < contacts; ++i) {
        const QString id = QStringLiteral("Tarnex:contact-%1").arg(i);
        session->pushChangesFromRecord({{ISyncRecordEntityNameKey, entity::Contact},
                                        {QStringLiteral("first name"), QStringLiteral("First%1").arg(i)},
                                        {QStringLiteral("last name"), QStringLiteral("Last%1").arg(i)},
                                        {QStringLiteral("company name"), QStringLiteral("Company %1").arg(i % 97)},
                                        {QStringLiteral("notes"), QStringLiteral("A note about contact %1").arg(i)}},
                                       id);
        for (int n = 0; n < 2; ++n) {
            session->pushChangesFromRecord({{ISyncRecordEntityNameKey, entity::PhoneNumber},
                                            {QStringLiteral("contact"), QVariantList{id}},
                                            {QStringLiteral("type"), n == 0 ? QStringLiteral("mobile") : QStringLiteral("home")},
                                            {QStringLiteral("value"), QStringLiteral("+49151%1%2").arg(i, 6, 10, QLatin1Char('0')).arg(n)}},
                                           QStringLiteral("Tarnex:phone-%1-%2").arg(i).arg(n));
        }
        session->pushChangesFromRecord({{ISyncRecordEntityNameKey, entity::EmailAddress},
                                        {QStringLiteral("contact"), QVariantList{id}},
                                        {QStringLiteral("type"), QStringLiteral("work")},
                                        {QStringLiteral("value"), QStringLiteral("first%1@example.org").arg(i)}},
                                       QStringLiteral("Tarnex:mail-%1").arg(i));
    }
    session->finishSyncing();
}

// A whole background pull: every change accepted and committed. Answers the
// number of changes.
int pullAll(const std::shared_ptr<ISyncClient>& client)
{
    std::shared_ptr<ISyncSession> session;
    ISyncSession::beginSessionInBackgroundWithClient(
        client, kEntities, [&](const std::shared_ptr<ISyncClient>&, const std::shared_ptr<ISyncSession>& s) { session = s; });
    runloop::processPendingEvents();
    bool ready = false;
    session->prepareToPullChangesInBackgroundForEntityNames(
        kEntities, [&](const std::shared_ptr<ISyncClient>&, const std::shared_ptr<ISyncSession>&) { ready = true; });
    runloop::processPendingEvents();
    if (!ready)
        return -1;
    const QList<SyncChange> changes = session->changeEnumeratorForEntityNames(kEntities);
    for (const SyncChange& change : changes)
        session->clientAcceptedChangesForRecordWithIdentifier(change.recordIdentifier(), {}, {});
    session->clientCommittedAcceptedChanges();
    session->finishSyncing();
    return int(changes.size());
}

void BM_SlowPushOfAnAddressBook(benchmark::State& state)
{
    const int contacts = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Hub hub;
        state.ResumeTiming();
        pushAddressBook(hub.desktop, contacts);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(contacts) * (1 + kSubRecordsPerContact));
}
BENCHMARK(BM_SlowPushOfAnAddressBook)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_FastPullOf500Changes(benchmark::State& state)
{
    const int contacts = int(state.range(0));
    Hub hub;
    pushAddressBook(hub.desktop, contacts);
    pullAll(hub.phone);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto session = ISyncSession::beginSessionWithClient(hub.desktop, kEntities, {});
        ++round;
        for (int i = 0; i < kPulledChanges; ++i) {
            session->pushChange(SyncChange(SyncChange::Modify, QStringLiteral("Tarnex:contact-%1").arg(i * (contacts / kPulledChanges)),
                                           {SyncChange::setChange(QStringLiteral("notes"), QStringLiteral("Round %1").arg(round))}));
        }
        session->finishSyncing();
        state.ResumeTiming();
        if (pullAll(hub.phone) != kPulledChanges)
            state.SkipWithError("wrong number of changes pulled");
    }
    state.SetItemsProcessed(state.iterations() * kPulledChanges);
}
BENCHMARK(BM_FastPullOf500Changes)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
