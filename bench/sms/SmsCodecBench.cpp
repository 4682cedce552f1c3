// Encodes and decodes the SMS corpus (single, multipart, UCS2 and shift-table
// messages); items per second are messages or PDUs per second. The listing
// decode is measured beside libgammu's frame decoder on the same DELIVER PDUs
// when libgammu is there, and on listings of 1,000 and 10,000 PDUs of
// interleaved concatenated messages to show the joining stays linear.
#include "SmsCorpus.h"

#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/sms.h"

#include <benchmark/benchmark.h>

#ifdef MARVESTO_HAVE_GAMMU
#include <gammu.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

using namespace kestrova;

namespace {

std::unique_ptr<pduList> encodeEntry(const corpus::SmsCorpusEntry& entry)
{
    sms m;
    m.setTP_DCS(entry.dcs);
    m.setMR(0x42);
    m.setUtf8String(entry.text.toUtf8());
    if (entry.dcs == 8)
        m.setUcs2Text(entry.text);
    auto recipients = std::make_unique<addressList>();
    recipients->appendItem(QStringLiteral("+4915112345678"));
    m.setAddressList(std::move(recipients));
    return createPduListFromSms(m);
}

void BM_EncodeCorpus(benchmark::State& state)
{
    const auto entries = corpus::smsCorpus();
    for (auto _ : state) {
        for (const auto& entry : entries)
            benchmark::DoNotOptimize(encodeEntry(entry));
    }
    state.SetItemsProcessed(state.iterations() * int64_t(entries.size()));
}
BENCHMARK(BM_EncodeCorpus);

void BM_DecodeCorpus(benchmark::State& state)
{
    std::vector<std::unique_ptr<pduList>> encoded;
    for (const auto& entry : corpus::smsCorpus())
        encoded.push_back(encodeEntry(entry));
    for (auto _ : state) {
        for (const auto& pdus : encoded) {
            smsList list;
            createSmsListFromPduList(list, *pdus);
            benchmark::DoNotOptimize(list.length());
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(encoded.size()));
}
BENCHMARK(BM_DecodeCorpus);

pduList listingOf(const QList<QByteArray>& texts)
{
    pduList pdus;
    unsigned index = 1;
    for (const QByteArray& text : texts)
        pdus.appendItem(std::make_unique<pdu>(text, index++));
    return pdus;
}

// The DELIVER corpus decoded as one listing, joining included; items are PDUs.
void BM_ListingDecodeDeliverCorpus(benchmark::State& state)
{
    const QList<QByteArray> texts = corpus::deliverCorpus();
    const pduList pdus = listingOf(texts);
    for (auto _ : state) {
        smsList list;
        createSmsListFromPduList(list, pdus);
        benchmark::DoNotOptimize(list.length());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(texts.size()));
}
BENCHMARK(BM_ListingDecodeDeliverCorpus);

#ifdef MARVESTO_HAVE_GAMMU
// The same PDUs through libgammu's GSM_DecodePDUFrame (octets prepared once;
// it decodes each PDU on its own and joins nothing).
void BM_GammuDecodePDUFrameDeliverCorpus(benchmark::State& state)
{
    std::vector<QByteArray> frames;
    for (const QByteArray& text : corpus::deliverCorpus())
        frames.push_back(QByteArray::fromHex(text));
    GSM_Debug_Info* debug = GSM_GetGlobalDebug();
    static GSM_SMSMessage message;
    for (const QByteArray& frame : frames) {
        size_t end = 0;
        if (GSM_DecodePDUFrame(debug, &message, reinterpret_cast<const unsigned char*>(frame.constData()),
                               size_t(frame.size()), &end, TRUE) != ERR_NONE) {
            state.SkipWithError("libgammu does not decode the corpus");
            return;
        }
    }
    for (auto _ : state) {
        for (const QByteArray& frame : frames) {
            size_t end = 0;
            benchmark::DoNotOptimize(GSM_DecodePDUFrame(debug, &message,
                                                        reinterpret_cast<const unsigned char*>(frame.constData()),
                                                        size_t(frame.size()), &end, TRUE));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(frames.size()));
}
BENCHMARK(BM_GammuDecodePDUFrameDeliverCorpus);
#endif

// A listing of state.range(0) PDUs: four-part messages from as many senders,
// listed part-major (every first part, then every second part, ...), the
// order in which a search of the whole list costs most.
void BM_ListingInterleaved(benchmark::State& state)
{
    const int count = int(state.range(0));
    const int messages = count / 4;
    const QByteArray coded = gsmEncodeText(QString(120, QLatin1Char('p')), kSmsCodePageDefault);
    QList<QByteArray> texts;
    for (int nr = 1; nr <= 4; ++nr) {
        for (int i = 0; i < messages; ++i) {
            // +4915100000000 + i: eleven digits as semi-octets, low nibble first.
            const QByteArray digits = QByteArray::number(49151000000LL + i) + 'F';
            QByteArray swapped;
            for (qsizetype k = 0; k + 1 < digits.size(); k += 2)
                swapped += digits.mid(k + 1, 1) + digits.mid(k, 1);
            const QByteArray sender = QByteArray::fromHex("0B91") + QByteArray::fromHex(swapped);
            texts.append(corpus::deliverPdu(corpus::concatHeader(i % 256, 4, nr), 0, coded, sender));
        }
    }
    const pduList pdus = listingOf(texts);
    for (auto _ : state) {
        smsList list;
        createSmsListFromPduList(list, pdus);
        if (list.length() != messages)
            state.SkipWithError("interleaved parts did not join");
    }
    state.SetItemsProcessed(state.iterations() * int64_t(texts.size()));
}
BENCHMARK(BM_ListingInterleaved)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Keeps the console output and remembers each benchmark's rate.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto it = run.counters.find("items_per_second");
            if (!run.error_occurred && it != run.counters.end())
                rates[run.benchmark_name()] = it->second.value;
        }
    }
    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto rate = [&](const char* name) {
        const auto it = reporter.rates.find(name);
        return it == reporter.rates.end() ? 0.0 : it->second;
    };
#ifdef MARVESTO_HAVE_GAMMU
    const double ours = rate("BM_ListingDecodeDeliverCorpus");
    const double gammu = rate("BM_GammuDecodePDUFrameDeliverCorpus");
    // Decoding never asks the clock, so the ratio holds without TZ too (the
    // usual desktop, where every look at the local time reads the zone file).
    const char* zone = std::getenv("TZ");
    if (ours > 0 && gammu > 0)
        std::printf("\nDELIVER corpus (TZ %s): listing decode with joining %.0f PDUs/s, libgammu "
                    "GSM_DecodePDUFrame %.0f PDUs/s, ratio %.2f (goal 2.00)\n",
                    zone ? "set" : "unset", ours, gammu, ours / gammu);
#else
    std::printf("\nlibgammu not found (Debian package libgammu-dev): the comparison with "
                "GSM_DecodePDUFrame is skipped\n");
#endif
    const double small = rate("BM_ListingInterleaved/1000");
    const double large = rate("BM_ListingInterleaved/10000");
    if (small > 0 && large > 0)
        std::printf("Interleaved listings: 1,000 PDUs at %.0f PDUs/s, 10,000 PDUs at %.0f PDUs/s\n", small, large);
    benchmark::Shutdown();
    return 0;
}
