// The desktop store's scan over a folder of 5,000 contact files: with nothing
// changed (the etags match, no file is read) and with 50 files rewritten by
// another program (those 50 are read, hashed, parsed and diffed); items per
// second are files per second. And a first sync that pulls 3,000 contacts of
// the phone into an empty folder (staged, planned, moved into place).
#include "desktopstore/DesktopStore.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"
#include "platform/SyncChange.h"
#include "syncengine/ISyncClient.h"
#include "syncengine/ISyncManager.h"
#include "syncengine/ISyncSession.h"
#include "syncengine/SyncEngineNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kFiles = 5000;

QByteArray card(int i, const char* title)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:c%1\r\nN:Last%1;First%1;;;\r\nFN:First%1 Last%1\r\n"
                          "ORG:Company %2\r\nTITLE:%3\r\nTEL;TYPE=CELL:+49170%1\r\nTEL;TYPE=HOME:+4930%1\r\n"
                          "EMAIL;TYPE=WORK:first%1@example.org\r\nNOTE:A note about contact %1\r\nEND:VCARD\r\n")
        .arg(i)
        .arg(i % 97)
        .arg(QString::fromLatin1(title))
        .toUtf8();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(data);
}

// A synced store of kFiles contacts, changed of them rewritten afterwards.
struct Folder {
    QTemporaryDir dir;
    std::unique_ptr<platform::ISyncManager> manager;
    std::unique_ptr<desktopstore::DesktopStore> store;

    explicit Folder(int changed)
    {
        const QString contacts = dir.filePath(QStringLiteral("vdir/contacts"));
        QDir().mkpath(contacts);
        for (int i = 0; i < kFiles; ++i)
            writeFile(contacts + QStringLiteral("/c%1.vcf").arg(i), card(i, "Engineer"));
        manager = std::make_unique<platform::ISyncManager>(dir.filePath(QStringLiteral("SyncEngine.db")));
        store = std::make_unique<desktopstore::DesktopStore>(*manager, dir.filePath(QStringLiteral("vdir")));
        bool ended = false;
        store->synchronize([&](bool) { ended = true; });
        platform::runloop::waitUntil([&] { return ended; }, 0.1, 10000);
        for (int i = 0; i < changed; ++i) {
            const int index = i * (kFiles / changed);
            writeFile(contacts + QStringLiteral("/c%1.vcf").arg(index), card(index, "Pilot"));
        }
    }
};

void BM_Scan(benchmark::State& state)
{
    const int changed = int(state.range(0));
    Folder folder(changed);
    for (auto _ : state) {
        const qsizetype found = folder.store->pendingChanges().size();
        if (found != changed)
            state.SkipWithError("wrong number of changes");
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_Scan)->Arg(0)->Arg(50)->Unit(benchmark::kMillisecond);

constexpr int kPulled = 3000;

void BM_PullIntoEmptyFolder(benchmark::State& state)
{
    namespace entity = platform::entity;
    const QStringList entities{entity::Contact, entity::PhoneNumber};
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        platform::ISyncManager manager(dir.filePath(QStringLiteral("SyncEngine.db")));
        const QString description = dir.filePath(QStringLiteral("phone.plist"));
        platform::plist::writeFile(
            description,
            QVariantMap{{platform::ISyncClientDescriptionEntitiesKey, QVariantList{entities[0], entities[1]}}});
        const auto phone = manager.registerClientWithIdentifier(QStringLiteral("phone"), description);
        {
            const auto session = platform::ISyncSession::beginSessionWithClient(phone, entities, {});
            for (int i = 0; i < kPulled; ++i) {
                const QString id = QStringLiteral("c%1").arg(i);
                session->pushChangesFromRecord(
                    {{platform::ISyncRecordEntityNameKey, entity::Contact},
                     {QStringLiteral("first name"), QStringLiteral("First%1").arg(i)},
                     {QStringLiteral("last name"), QStringLiteral("Last%1").arg(i)},
                     {QStringLiteral("phone numbers"), QVariantList{QString(QLatin1Char('p') + id)}}},
                    id);
                session->pushChangesFromRecord({{platform::ISyncRecordEntityNameKey, entity::PhoneNumber},
                                                {QStringLiteral("contact"), QVariantList{id}},
                                                {QStringLiteral("value"), QStringLiteral("+49170%1").arg(i)}},
                                               QLatin1Char('p') + id);
            }
            session->finishSyncing();
        }
        desktopstore::DesktopStore store(manager, dir.filePath(QStringLiteral("vdir")));
        state.ResumeTiming();
        bool ended = false;
        bool finished = false;
        store.synchronize([&](bool ok) {
            ended = true;
            finished = ok;
        });
        platform::runloop::waitUntil([&] { return ended; }, 0.1, 10000);
        state.PauseTiming();
        if (!finished || QDir(dir.filePath(QStringLiteral("vdir/contacts"))).count() != kPulled + 2)
            state.SkipWithError("the pull did not write every contact");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kPulled);
}
BENCHMARK(BM_PullIntoEmptyFolder)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
