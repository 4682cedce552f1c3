// The MOBEX session's per-record work: reading a load answer of 2,000
// records, and comparing 2,000 read records with the snapshot of the last
// sync (a tenth changed, half of those with a new name). Items per second
// are records per second.
#include "sync/SamsungObexSession.h"

#include <benchmark/benchmark.h>

namespace {

QString samsungBenchCard(int i, bool renamed, bool changed)
{
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Name%1%2;Given%1\r\nTEL;CELL:+49170%3\r\nEMAIL:p%1@example."
                          "org\r\nEND:VCARD\r\n")
        .arg(i)
        .arg(renamed ? QStringLiteral("x") : QString())
        .arg(1000000 + i + (changed ? 7 : 0));
}

QByteArray samsungBenchBlock(int records)
{
    QByteArray block;
    for (int i = 0; i < records; ++i) {
        const QByteArray text = samsungBenchCard(i, false, false).toUtf8();
        block.append(char(i >> 8)).append(char(i & 0xFF));
        block.append(char(text.size() >> 8)).append(char(text.size() & 0xFF));
        block += text;
    }
    return block;
}

void BM_SamsungLoadBlock(benchmark::State& state)
{
    const QByteArray block = samsungBenchBlock(int(state.range(0)));
    for (auto _ : state) {
        auto records = SamsungObexSession::parseLoadBlock(block, 1);
        benchmark::DoNotOptimize(records);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * block.size());
}
BENCHMARK(BM_SamsungLoadBlock)->Arg(2000);

void BM_SamsungSnapshotComparison(benchmark::State& state)
{
    const int count = int(state.range(0));
    QVariantMap snapshot;
    QVariantList read;
    for (int i = 0; i < count; ++i) {
        const QString uri = SamsungObexSession::sourceURI(1, i);
        snapshot.insert(uri, samsungBenchCard(i, false, false));
        const bool changed = i % 10 == 0;
        read.append(QVariantMap{
            {"SourceURI", uri}, {"vx-Data", samsungBenchCard(i, changed && i % 20 == 0, changed)}, {"Action", "Add"}});
    }
    const auto identity = [](const QString& text) { return SamsungObexSession::getIdentity(text, 0, QString()); };
    for (auto _ : state) {
        QVariantMap copy = snapshot;
        auto actions = SamsungObexSession::compareWithSnapshot(read, copy, identity);
        benchmark::DoNotOptimize(actions);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SamsungSnapshotComparison)->Arg(2000);

} // namespace
