// The LG application port's codec: escaping and unescaping, the wire form of
// a frame per family, and decoding a read of 500 phonebook entries as the
// read loop does (unescape each reply, decode its record). Bytes per second
// are frame or reply bytes.
#include "kestrova/core/SLTStateMachine.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgPhonebookRecord.h"

#include "LgPhonebookSample.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

namespace {

using namespace kestrova::lg;
using kestrova::lg::bench::decodePhonebook;
using kestrova::lg::bench::phonebookReplies;
using kestrova::lg::bench::sampleContact;

QByteArray randomBytes(qsizetype n)
{
    QRandomGenerator random(42);
    QByteArray bytes(n, '\0');
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

void BM_Escape(benchmark::State& state)
{
    const QByteArray input = randomBytes(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(quoteFFValuesInData(input));
    state.SetBytesProcessed(state.iterations() * input.size());
}
BENCHMARK(BM_Escape)->Arg(64)->Arg(4096);

void BM_Unescape(benchmark::State& state)
{
    const QByteArray input = quoteFFValuesInData(randomBytes(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(removeQuotedFFValuesFromData(input));
    state.SetBytesProcessed(state.iterations() * input.size());
}
BENCHMARK(BM_Unescape)->Arg(64)->Arg(4096);

// A read frame and a write frame with a contact, built, escaped and wrapped.
void BM_FramePerFamily(benchmark::State& state)
{
    static const char* const families[] = {"lg", "lg2", "lg3"};
    const QString family = QLatin1String(families[state.range(0)]);
    const QVariantMap contact = sampleContact(7);
    state.SetLabel(family.toStdString());
    qint64 bytes = 0;
    quint8 sequence = 0;
    for (auto _ : state) {
        const QByteArray read = SLTStateMachine::wrapLgFrame(
            quoteFFValuesInData(frame(kPhonebookService, kPhonebookReadNext, sequence++)), family, false);
        const QByteArray write = SLTStateMachine::wrapLgFrame(
            quoteFFValuesInData(frame(kPhonebookService, kPhonebookWrite, sequence++,
                                      lgViewtyPhonebookCreateRawDataForDict(contact, sequence))),
            family, true);
        bytes += read.size() + write.size();
        benchmark::DoNotOptimize(write);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_FramePerFamily)->DenseRange(0, 2);

void BM_DecodeRead500(benchmark::State& state)
{
    const QList<QByteArray> replies = phonebookReplies(500);
    qint64 size = 0;
    for (const QByteArray& r : replies)
        size += r.size();
    for (auto _ : state) {
        const std::optional<QVariantMap> phonebook = decodePhonebook(replies);
        if (!phonebook) {
            state.SkipWithError("entry not decoded");
            return;
        }
        benchmark::DoNotOptimize(phonebook);
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.SetItemsProcessed(state.iterations() * replies.size());
}
BENCHMARK(BM_DecodeRead500);

} // namespace

BENCHMARK_MAIN();
