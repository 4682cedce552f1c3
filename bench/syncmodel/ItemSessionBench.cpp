// A phone session's merge beside the item list's load: a stored list of N
// contacts (on the phone, raw form) is read from its property-list bytes;
// then a slow sync of the phone's N contacts (every tenth changed, one in a
// hundred gone, as many new) is merged into the loaded list, in which one
// contact in twenty was changed on the desktop, and the commands for the
// phone are asked for. N is 2,000 and 20,000; items per second are
// contacts per second.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "platform/PropertyList.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVCommandArray.h"
#include "syncmodel/QVSyncElemList.h"

#include <QCoreApplication>
#include <QHash>

#include <benchmark/benchmark.h>

namespace {

class SessionBenchDevice : public ItemListDevice {
public:
    std::shared_ptr<QVSyncDeviceDescription> description;
    std::shared_ptr<QVSyncDeviceDescription> syncDescription() override { return description; }
    bool wantsSyncChangesFromEngine(int) override { return true; }
    bool wantsSyncChangesFromDevice(int) override { return true; }
    bool isMobileMaster(int) override { return false; }
    int maxContacts() override { return 0; }
    QString newFreeTID() override { return QStringLiteral("T-%1").arg(++m_tid); }
    const void* notificationSender() override { return this; }

private:
    int m_tid = 0;
};

SessionBenchDevice& sessionDevice()
{
    static SessionBenchDevice device;
    return device;
}

// The phone is the shipped database's LG phone; its limits and those of the
// export protocols come from the same database.
void installLimits()
{
    auto db = std::make_shared<qvDeviceDB>();
    if (!db->openDB(qvDeviceDB::defaultDatabasePath()))
        return;
    sessionDevice().description = std::make_shared<QVSyncDeviceDescription>(db);
    sessionDevice().description->setupFromProtocol(QStringLiteral("Protocol LG"));
    auto known = std::make_shared<QHash<QString, std::shared_ptr<SyncDeviceLimits>>>();
    SyncDeviceLimits::setResolver([db, known](const QString& protocol) -> std::shared_ptr<SyncDeviceLimits> {
        auto& limits = (*known)[protocol];
        if (!limits) {
            auto description = std::make_shared<QVSyncDeviceDescription>(db);
            if (description->setupFromProtocol(protocol) != 0)
                return nullptr;
            limits = std::make_shared<DeviceDescriptionLimits>(description);
        }
        return limits;
    });
}

QString card(int i, const char* variant = "")
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Last%1;First%1%2\r\nTEL;CELL:+49151%3\r\n"
                          "EMAIL;INTERNET:first%1@example.org\r\nEND:VCARD\r\n")
        .arg(i)
        .arg(QLatin1String(variant))
        .arg(i, 7, 10, QLatin1Char('0'));
}

// The stored raw form of a list of n contacts on the phone.
QByteArray storedList(int n)
{
    auto list = QVSyncElemList::fromFileDictionary(std::nullopt, QStringLiteral("Contacts"), 0, &sessionDevice());
    for (int i = 0; i < n; ++i) {
        auto elem = list->createNewElem(card(i), QString::number(i + 1), QStringLiteral("Protocol LG"), QString(),
                                        QString());
        elem->setProperty(0);
        list->addObject(elem);
    }
    return platform::plist::toXml(list->dictionaryForFile());
}

QVariantMap slowSync(int n)
{
    QVariantList items;
    items.reserve(n + n / 100);
    for (int i = 0; i < n; ++i) {
        if (i % 100 == 99)
            continue; // gone from the phone
        items.append(QVariantMap{{QStringLiteral("SourceURI"), QString::number(i + 1)},
                                 {QStringLiteral("vx-Data"), card(i, i % 10 == 0 ? "x" : "")}});
    }
    for (int i = n; i < n + n / 100; ++i)
        items.append(
            QVariantMap{{QStringLiteral("SourceURI"), QString::number(i + 1)}, {QStringLiteral("vx-Data"), card(i)}});
    return {{QStringLiteral("Items"), items}};
}

struct SessionInput {
    QByteArray stored;
    QVariantMap sync;
};

const SessionInput& inputFor(int n)
{
    static QHash<int, SessionInput> inputs;
    auto it = inputs.find(n);
    if (it == inputs.end())
        it = inputs.insert(n, SessionInput{storedList(n), slowSync(n)});
    return *it;
}

std::unique_ptr<QVSyncElemList> load(const QByteArray& bytes)
{
    return QVSyncElemList::fromFileDictionary(platform::plist::read(bytes).toMap(), QStringLiteral("Contacts"), 0,
                                              &sessionDevice());
}

void BM_LoadStoredList(benchmark::State& state)
{
    const int n = int(state.range(0));
    const SessionInput& input = inputFor(n);
    for (auto _ : state) {
        auto list = load(input.stored);
        if (list->allCount() != n) {
            state.SkipWithError("the stored list did not read back whole");
            break;
        }
        benchmark::DoNotOptimize(list);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_LoadStoredList)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_SlowMergeAndCommands(benchmark::State& state)
{
    const int n = int(state.range(0));
    const SessionInput& input = inputFor(n);
    for (auto _ : state) {
        state.PauseTiming();
        auto list = load(input.stored);
        // One contact in twenty was changed on the desktop: a "Replace" each.
        for (int i = 5; i < n; i += 20)
            list->objectForURI(QString::number(i + 1))->setChanged();
        state.ResumeTiming();
        list->prepareSynchronization();
        if (!list->processSyncInfo(input.sync, false)) {
            state.SkipWithError("the merge did not run");
            break;
        }
        QVCommandArray commands;
        list->addSyncCommands(commands, false, 0);
        benchmark::DoNotOptimize(commands.count());
        list->finalizeSynchronization(0);
        if (list->allCount() != n || commands.count() != n / 20) {
            state.SkipWithError(QStringLiteral("%1 items and %2 commands after the merge")
                                    .arg(list->allCount())
                                    .arg(commands.count())
                                    .toStdString()
                                    .c_str());
            break;
        }
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SlowMergeAndCommands)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    installLimits();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
