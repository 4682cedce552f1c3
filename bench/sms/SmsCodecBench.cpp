// Encodes and decodes the SMS corpus (single, multipart, UCS2 and shift-table
// messages); items per second are messages per second.
#include "SmsCorpus.h"

#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/sms.h"

#include <benchmark/benchmark.h>

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

} // namespace

BENCHMARK_MAIN();
