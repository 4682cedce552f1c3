// Change detection of 2,000 phone versions (one changed number each) against
// their stored contacts, beside the import reader reading the same 2,000
// cards (change detection reads each phone version once more), and the
// rendering of the stored contacts for the phone. A last pair compares one
// contact with 5 and with 50 numbers. Items per second are contacts per second.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/VCardReader.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/QVVCardElem.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kContacts = 2000;
const QString kPhoneProtocol = QStringLiteral("Export-2.1");

std::shared_ptr<SyncDeviceLimits> phoneDescription()
{
    static const std::shared_ptr<SyncDeviceLimits> limits = [] {
        auto db = std::make_shared<qvDeviceDB>();
        std::shared_ptr<SyncDeviceLimits> made;
        if (db->openDB(qvDeviceDB::defaultDatabasePath())) {
            auto description = std::make_shared<QVSyncDeviceDescription>(db);
            if (description->setupFromProtocol(kPhoneProtocol) == 0)
                made = std::make_shared<DeviceDescriptionLimits>(description);
        }
        SyncDeviceLimits::setResolver(
            [made](const QString& protocol) { return protocol == kPhoneProtocol ? made : nullptr; });
        return made;
    }();
    return limits;
}

QString number(int contact, int index)
{
    return QStringLiteral("+49 30 %1%2").arg(100000 + contact).arg(index, 2, 10, QLatin1Char('0'));
}

// A phone's card of contact i with the given numbers.
QString cardText(int i, int numbers)
{
    static const char* const types[] = {"HOME", "WORK", "CELL", "FAX", "PAGER"};
    QString text = QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Last%1;First%1\r\nORG:Company %1\r\n"
                                  "TITLE:Engineer\r\n")
                       .arg(i);
    for (int n = 0; n < numbers; ++n) {
        text += QStringLiteral("TEL;%1:").arg(QLatin1String(types[n % 5])) + number(i, n) + QStringLiteral("\r\n");
    }
    text += QStringLiteral("EMAIL;INTERNET:first%1@example.org\r\n"
                           "ADR;HOME:;;Main Street %1;Springfield;;%2;Freedonia\r\n"
                           "NOTE:met at the fair\r\nEND:VCARD\r\n")
                .arg(i)
                .arg(10000 + i);
    return text;
}

struct Pair {
    std::shared_ptr<QVVCardElem> stored;
    std::shared_ptr<QVVCardElem> phoneVersion;
    QString phoneText;
};

std::vector<Pair> makePairs(int count, int numbers)
{
    std::vector<Pair> pairs;
    pairs.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        Pair pair;
        pair.stored = QVVCardElem::elemWithData(cardText(i, numbers), QString::number(i + 1), kPhoneProtocol,
                                                QStringLiteral("Phone"), QString());
        // The phone sends back what it got, one number changed.
        pair.phoneText = pair.stored->vxDataForDevice(phoneDescription()).toString();
        const int changed = i % numbers;
        pair.phoneText.replace(number(i, changed), number(i, 99));
        pair.phoneVersion = QVVCardElem::elemWithData(pair.phoneText, QString::number(i + 1), kPhoneProtocol,
                                                      QStringLiteral("Phone"), QString());
        pairs.push_back(std::move(pair));
    }
    return pairs;
}

const std::vector<Pair>& corpus()
{
    static const std::vector<Pair> pairs = makePairs(kContacts, 5);
    return pairs;
}

void BM_ImportReaderReads(benchmark::State& state)
{
    const auto& pairs = corpus();
    for (auto _ : state) {
        for (const Pair& pair : pairs)
            benchmark::DoNotOptimize(elemsForVCard(pair.phoneText));
    }
    state.SetItemsProcessed(state.iterations() * qint64(pairs.size()));
}
BENCHMARK(BM_ImportReaderReads)->Unit(benchmark::kMillisecond);

void BM_ChangeDetection(benchmark::State& state)
{
    const auto& pairs = corpus();
    for (auto _ : state) {
        for (const Pair& pair : pairs) {
            const auto changes = pair.stored->acceptChangesForElem(*pair.phoneVersion);
            if (changes.size() != 1) {
                state.SkipWithError("one changed number should give one change");
                return;
            }
            benchmark::DoNotOptimize(changes);
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(pairs.size()));
}
BENCHMARK(BM_ChangeDetection)->Unit(benchmark::kMillisecond);

void BM_RenderForThePhone(benchmark::State& state)
{
    const auto& pairs = corpus();
    const auto description = phoneDescription();
    for (auto _ : state) {
        for (const Pair& pair : pairs) {
            pair.stored->invalidateVCardString();
            benchmark::DoNotOptimize(pair.stored->vxDataForDevice(description));
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(pairs.size()));
}
BENCHMARK(BM_RenderForThePhone)->Unit(benchmark::kMillisecond);

// One contact with as many numbers as the argument, one of them changed.
void BM_ChangeDetectionNumbers(benchmark::State& state)
{
    const auto pairs = makePairs(1, int(state.range(0)));
    const Pair& pair = pairs.front();
    for (auto _ : state)
        benchmark::DoNotOptimize(pair.stored->acceptChangesForElem(*pair.phoneVersion));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChangeDetectionNumbers)->Arg(5)->Arg(50)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
