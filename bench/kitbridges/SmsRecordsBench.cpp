// Records from a 255-message read: the read bridge gathers one box of kit
// messages (a third dateless with memory and indexes, a third dateless
// without, a third dated), then the SMS storage adds one item per record.
#include "kitbridges/SMSAsyncBridge.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/SmsRecords.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLoggingCategory>
#include <QTimeZone>
#include <benchmark/benchmark.h>

namespace {

QVariantList kitMessages(int count)
{
    QVariantList list;
    const QDateTime start(QDate(2026, 12, 10), QTime(8, 0), QTimeZone::utc());
    for (int i = 0; i < count; ++i) {
        QVariantMap m{{QStringLiteral("name"), QStringLiteral("noch kein Name")},
                      {QStringLiteral("message"), QStringLiteral("Message %1: see you at the station at eight").arg(i)},
                      {QStringLiteral("number"), QStringLiteral("+4917100%1").arg(i)},
                      {QStringLiteral("memory"), i % 3 == 1 ? QString() : QStringLiteral("ME")},
                      {QStringLiteral("memIndexes"), QString::number(i + 1)},
                      {QStringLiteral("specialChars"), i % 2 == 0}};
        if (i % 3 == 2)
            m.insert(QStringLiteral("date"), start.addSecs(60 * i));
        list.append(m);
    }
    return list;
}

void BM_RecordsFromA255MessageRead(benchmark::State& state)
{
    const QVariantList messages = kitMessages(255);
    for (auto _ : state) {
        smsrecord::ReadCounter::shared().resetForTests();
        auto bridge = SMSAsyncBridge::smsBridgeWithAdress(nullptr, nullptr);
        bridge->startReading();
        bridge->smsKitReadingBoxData(nullptr, messages, QStringLiteral("inbox"));
        QVSyncElemList storage(4, nullptr);
        storage.enterSMS(bridge->msgList());
        benchmark::DoNotOptimize(storage.count());
    }
    state.SetItemsProcessed(state.iterations() * 255);
}
BENCHMARK(BM_RecordsFromA255MessageRead)->Unit(benchmark::kMillisecond);

// The bridge's part alone.
void BM_BridgeGathersA255MessageRead(benchmark::State& state)
{
    const QVariantList messages = kitMessages(255);
    for (auto _ : state) {
        smsrecord::ReadCounter::shared().resetForTests();
        auto bridge = SMSAsyncBridge::smsBridgeWithAdress(nullptr, nullptr);
        bridge->startReading();
        bridge->smsKitReadingBoxData(nullptr, messages, QStringLiteral("inbox"));
        benchmark::DoNotOptimize(bridge->msgList().size());
    }
    state.SetItemsProcessed(state.iterations() * 255);
}
BENCHMARK(BM_BridgeGathersA255MessageRead)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("marvesto.*.info=false\nmarvesto.*.warning=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
