// The LG application port's codec: escaping and unescaping, the wire form of
// a frame per family, and decoding a read of 500 phonebook entries as the
// read loop does (unescape each reply, decode its record). Bytes per second
// are frame or reply bytes. Also 500 calendar events and 500 tasks decoded
// from their escaped read replies.
#include "kestrova/core/SLTStateMachine.h"
#include "kestrova/vendors/LgCalendarRecord.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgPhonebookRecord.h"
#include "kestrova/vendors/LgTaskRecord.h"

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

// Escaped read replies of count entries of the calendar (0x12) or the
// to-do list (0x13), each built from a record as the phone sends it back.
QList<QByteArray> organizerReplies(quint8 service, int count)
{
    QList<QByteArray> replies;
    for (int i = 1; i <= count; ++i) {
        QByteArray record;
        QByteArray body;
        if (service == kCalendarService) {
            const QDateTime start(QDate(2024, 1 + i % 12, 1 + i % 28), QTime(9, 30));
            const QVariantMap entry{
                {QStringLiteral("event"),
                 QVariantMap{{QStringLiteral("summary"), QStringLiteral("Project meeting %1").arg(i)},
                             {QStringLiteral("location"), QStringLiteral("Room 4")},
                             {QStringLiteral("start date"), start},
                             {QStringLiteral("end date"), start.addSecs(3600)}}},
                {QStringLiteral("recurrence"), QVariantMap{{QStringLiteral("frequency"), QStringLiteral("weekly")}}},
                {QStringLiteral("DisplayAlarm"), QVariantMap{{QStringLiteral("triggerdate"), start.addSecs(-900)}}}};
            record = lgViewtyCalendarCreateRawDataForDict(entry, 1);
            body = record.mid(4, 4) + QByteArray(6, '\0') + record.mid(8);
        } else {
            const QVariantMap entry{{QStringLiteral("task"),
                                     QVariantMap{{QStringLiteral("summary"), QStringLiteral("Task number %1").arg(i)},
                                                 {QStringLiteral("priority"), 5}}}};
            record = lgViewtyTaskCreateRawDataForDict(entry, 1);
            const int v = 17 + int(record.size() - 23);
            body = record.mid(4, 4) + char(v >> 8) + char(v & 0xFF) + QByteArray(4, '\0') + record.mid(8);
        }
        QByteArray payload;
        payload.append(char(0xFF)).append(char(0x13)).append(char(1)).append(char(service));
        payload.append(char(i & 0xFF)).append(char(i >> 8)).append(body);
        replies.append(char(0xFF) + quoteFFValuesInData(frame(service, 0x93, quint8(i), payload)) + char(0x7E));
    }
    return replies;
}

void decodeOrganizer(benchmark::State& state, quint8 service)
{
    const QList<QByteArray> replies = organizerReplies(service, 500);
    for (auto _ : state) {
        QVariantMap entries;
        for (const QByteArray& reply : replies) {
            const QByteArray data = removeQuotedFFValuesFromData(reply);
            std::optional<QVariantMap> entry = service == kCalendarService ? lgExtractCalendarData(data)
                                                                           : lgExtractTaskData(data, false);
            if (!entry) {
                state.SkipWithError("entry not decoded");
                return;
            }
            entries.insert(QString::number(entries.size()), *entry);
        }
        benchmark::DoNotOptimize(entries);
    }
    state.SetItemsProcessed(state.iterations() * replies.size());
}

void BM_DecodeEvents500(benchmark::State& state)
{
    decodeOrganizer(state, kCalendarService);
}
BENCHMARK(BM_DecodeEvents500)->Unit(benchmark::kMillisecond);

void BM_DecodeTasks500(benchmark::State& state)
{
    decodeOrganizer(state, kTasksService);
}
BENCHMARK(BM_DecodeTasks500)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
