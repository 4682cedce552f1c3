// Change detection of 2,000 phone versions of events and tasks (one alarm and
// one rule each, the summary changed) against their stored items, beside the
// vCalendar reader reading the same 2,000 texts (change detection reads each
// phone version once more), and the identities of the stored items with their
// caches dropped. Items per second are events and tasks per second.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/VCalendar2ElemsParser.h"
#include "syncmodel/DeviceDescriptionLimits.h"
#include "syncmodel/QVVCalendarElem.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kItems = 2000;
const QString kPhoneProtocol = QStringLiteral("Protocol LG");

std::shared_ptr<SyncDeviceLimits> calendarPhone()
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

QString calendarText(int i)
{
    const int day = 1 + i % 28;
    const int month = 1 + (i / 28) % 12;
    if (i % 2 == 0)
        return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\nSUMMARY:Meeting %1\r\n"
                              "DESCRIPTION:agenda for meeting %1\r\nDTSTART:2024%2%3T090000\r\n"
                              "DTEND:2024%2%3T100000\r\nDALARM:2024%2%3T084500\r\nRRULE:W1 MO #10\r\n"
                              "END:VEVENT\r\nEND:VCALENDAR\r\n")
            .arg(i)
            .arg(month, 2, 10, QLatin1Char('0'))
            .arg(day, 2, 10, QLatin1Char('0'));
    return QStringLiteral("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VTODO\r\nSUMMARY:Task %1\r\n"
                          "DUE:2024%2%3T170000\r\nDTSTART:2024%2%3T090000\r\nAALARM:2024%2%3T160000\r\n"
                          "RRULE:MD1 %3 #6\r\nPRIORITY:2\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
        .arg(i)
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

struct CalendarPair {
    std::shared_ptr<QVVCalendarElem> stored;
    std::shared_ptr<QVVCalendarElem> phoneVersion;
    QString phoneText;
};

const std::vector<CalendarPair>& calendarCorpus()
{
    static const std::vector<CalendarPair> pairs = [] {
        std::vector<CalendarPair> made;
        made.reserve(kItems);
        for (int i = 0; i < kItems; ++i) {
            CalendarPair pair;
            pair.stored = QVVCalendarElem::elemWithData(calendarText(i), QString::number(i + 1), kPhoneProtocol,
                                                        QStringLiteral("Phone"), QString());
            pair.phoneText = pair.stored->vxDataForDevice(calendarPhone()).toString();
            pair.phoneText.replace(QStringLiteral("SUMMARY:"), QStringLiteral("SUMMARY:New "));
            pair.phoneVersion = QVVCalendarElem::elemWithData(pair.phoneText, QString::number(i + 1), kPhoneProtocol,
                                                              QStringLiteral("Phone"), QString());
            made.push_back(std::move(pair));
        }
        return made;
    }();
    return pairs;
}

void BM_CalendarReaderReads(benchmark::State& state)
{
    const auto& pairs = calendarCorpus();
    const QVSyncDeviceDescription* description = fullDescriptionOf(calendarPhone());
    for (auto _ : state) {
        for (const CalendarPair& pair : pairs)
            benchmark::DoNotOptimize(elemsForVCalendarString(pair.phoneText, description));
    }
    state.SetItemsProcessed(state.iterations() * qint64(pairs.size()));
}
BENCHMARK(BM_CalendarReaderReads)->Unit(benchmark::kMillisecond);

void BM_CalendarChangeDetection(benchmark::State& state)
{
    const auto& pairs = calendarCorpus();
    for (auto _ : state) {
        for (const CalendarPair& pair : pairs) {
            const auto changes = pair.stored->acceptChangesForElem(*pair.phoneVersion);
            // The summary, and for items read from phone text (alarms kept as
            // dates) the display alarm as a lead time.
            if (changes.isEmpty()) {
                state.SkipWithError("a changed summary should give a change");
                return;
            }
            benchmark::DoNotOptimize(changes);
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(pairs.size()));
}
BENCHMARK(BM_CalendarChangeDetection)->Unit(benchmark::kMillisecond);

void BM_CalendarIdentities(benchmark::State& state)
{
    const auto& pairs = calendarCorpus();
    for (auto _ : state) {
        for (const CalendarPair& pair : pairs) {
            pair.stored->setChanged();
            benchmark::DoNotOptimize(pair.stored->getIdentityString());
            benchmark::DoNotOptimize(pair.stored->getIdentityStringWithHours());
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(pairs.size()));
}
BENCHMARK(BM_CalendarIdentities)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
