// The Motorola calendar: parsing 500 extended records as one range read's
// answer, and a read of 500 events through the calendar kit and the
// simulated phone over a pseudo-terminal at a serial line rate, in real time
// (115,200 bit/s, or --rate=N). The read's counters compare the bytes the
// phone answered from the slot count to the close with the time they took
// (the 3 s opening wait of the session is not part of it).
#include "kestrova/core/Kestrova.h"
#include "kestrova/core/SLTCommDevice.h"
#include "kestrova/vendors/SLTCommDeviceMotorolaCalendarExt.h"
#include "kestrova/vendors/VendorChains.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"

#include "LineRate.h"
#include "PhoneSimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>

namespace {

constexpr int kEvents = 500;

// Events on different days and times, as a calendar holds them.
QStringList eventFields(int slot)
{
    const QString day = QDate(2026, 1, 1).addDays(slot).toString(QStringLiteral("MM-dd-yyyy"));
    const QString hour = QStringLiteral("%1").arg(8 + slot % 10, 2, 10, QLatin1Char('0'));
    return {QString::number(slot),
            QStringLiteral("Meeting %1, room 4").arg(slot),
            QStringLiteral("1"),
            QStringLiteral("1"),
            hour + QStringLiteral(":30"),
            day,
            QString(),
            hour + QStringLiteral(":15"),
            day,
            QStringLiteral("2"),
            hour + QStringLiteral(":59"),
            day,
            QString(),
            QStringLiteral("3"),
            QStringLiteral("Head office"),
            QStringLiteral("Quarterly figures"),
            QStringLiteral("501"),
            QStringLiteral("1"),
            QStringLiteral("80"),
            QString(),
            QStringLiteral("12-31-2026")};
}

QString rangeAnswer()
{
    QString answer;
    for (int slot = 0; slot < kEvents; ++slot) {
        QStringList fields = eventFields(slot);
        for (int i : {1, 4, 5, 7, 8, 10, 11, 12, 14, 15, 20})
            fields[i] = QLatin1Char('"') + fields[i] + QLatin1Char('"');
        answer += QStringLiteral("\r\n+MDBR: ") + fields.join(QLatin1Char(','));
    }
    return answer + QStringLiteral("\r\n\r\nOK\r\n");
}

void BM_Parse500ExtendedRecords(benchmark::State& state)
{
    SLTCommDevice engine;
    engine.setFamily(QStringLiteral("motorola"));
    engine.setCurrentEncoding(QStringLiteral("GSM"));
    auto& commands = engine.extension<SLTCommDeviceMotorolaCalendarExt>();
    const QString answer = rangeAnswer();
    for (auto _ : state) {
        const QVariantMap events = commands.parseMotorolaCalendarEntries(answer);
        if (events.size() != kEvents)
            state.SkipWithError("records lost");
        benchmark::DoNotOptimize(events);
    }
    state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_Parse500ExtendedRecords)->Unit(benchmark::kMillisecond);

struct ReadFinished : organizerKitAsync {
    int code = 1;
    qsizetype events = 0;
    void organizerKitCalendarRead(Kestrova*, const std::optional<QVariantMap>& data, int c) override
    {
        events = data ? data->size() : 0;
        code = c;
    }
};

void BM_Read500Events(benchmark::State& state)
{
    const int rate = int(state.range(0));
    double seconds = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("motorola")));
        sim.modifySession([](phonesim::PhoneSession& s) {
            s.characterSet.offered = {"GSM"};
            s.motorolaCalendar.slotCount = kEvents + 1;
            for (int slot = 0; slot < kEvents; ++slot)
                s.motorolaCalendar.events.insert(slot, phonesim::MotorolaCalendarEvent{slot, eventFields(slot)});
        });
        if (!sim.start()) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        sim.setLineRate(rate);
        ReadFinished finished;
        Kestrova kit;
        kit.setCallback(&finished);
        kit.setFilename(sim.slavePath());
        kit.setFamily(QStringLiteral("motorola"));
        kit.getCalendarEntries();
        const auto asked = [&] { return sim.receivedLines().contains(QByteArray("at+mdbr=?")); };
        if (!platform::runloop::waitUntil(asked, 0.001, 60 * 1000)) {
            state.SkipWithError("no slot count asked");
            return;
        }
        const qint64 before = sim.lineBytesOut() + sim.lineBytesIn();
        QElapsedTimer clock;
        clock.start();
        if (!platform::runloop::waitUntil([&] { return finished.code != 1; }, 0.001, 60 * 60 * 1000)
            || finished.code != 0 || finished.events != kEvents) {
            state.SkipWithError("read failed");
            return;
        }
        seconds += clock.nsecsElapsed() / 1e9;
        bytes += sim.lineBytesOut() + sim.lineBytesIn() - before;
        kit.fullStop();
        kit.setCallback(nullptr);
    }
    benchsupport::reportLineShare(state, double(bytes) / seconds, rate);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    kestrova::vendors::registerVendorChains();
    // The read runs against a phone in real time.
    platform::Clock::instance().setVirtual(false);
    for (const int64_t rate : benchsupport::takeLineRates(argc, argv, {115200}))
        benchmark::RegisterBenchmark("BM_Read500Events", BM_Read500Events)
            ->Arg(rate)
            ->Iterations(1)
            ->Unit(benchmark::kSecond)
            ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
