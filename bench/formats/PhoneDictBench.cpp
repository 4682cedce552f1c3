// The phone-dictionary contact converter on the LG benchmark phonebook of 500
// entries: every entry to a contact form and back to a phone entry with the
// shipped LG description, beside the kit's decoding of the same entries from
// the phone's replies. The conversion should cost less than the decoding.
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "formats/MotorolaContactGenerator.h"
#include "formats/MotorolaContactReader.h"
#include "formats/VCardReader.h"
#include "formats/VXDictionary.h"

#include "LgPhonebookSample.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QLoggingCategory>

namespace {

using kestrova::lg::bench::decodePhonebook;
using kestrova::lg::bench::phonebookReplies;

constexpr int kEntries = 500;

void BM_KitDecodeLg500(benchmark::State& state)
{
    const QList<QByteArray> replies = phonebookReplies(kEntries);
    for (auto _ : state) {
        const auto phonebook = decodePhonebook(replies);
        if (!phonebook) {
            state.SkipWithError("entry not decoded");
            return;
        }
        benchmark::DoNotOptimize(phonebook);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_KitDecodeLg500)->Unit(benchmark::kMillisecond);

void BM_ConvertLg500ToFormsAndBack(benchmark::State& state)
{
    const auto phonebook = decodePhonebook(phonebookReplies(kEntries));
    auto db = std::make_shared<qvDeviceDB>();
    QVSyncDeviceDescription description(db);
    if (!phonebook || !db->openDB(qvDeviceDB::defaultDatabasePath())
        || description.setupFromProtocol(QStringLiteral("Protocol LG")) != 0) {
        state.SkipWithError("no phonebook or no LG description");
        return;
    }
    for (auto _ : state) {
        QVariantMap written;
        for (auto it = phonebook->cbegin(); it != phonebook->cend(); ++it) {
            const auto card = vCardDictionaryForMotorolaContact(it.value());
            if (!card) {
                state.SkipWithError("entry not read");
                return;
            }
            VXDictionary form = vCardDictionary2VXDictionary(*card, it.key());
            written.insert(it.key(), createMotoDictForVXDict(&form, description));
        }
        benchmark::DoNotOptimize(written);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_ConvertLg500ToFormsAndBack)->Unit(benchmark::kMillisecond);

// The two directions alone: entries to contact forms (the converter's reader
// and the making of the item form), and the forms back to entries.
void BM_ReadLg500ToForms(benchmark::State& state)
{
    const auto phonebook = decodePhonebook(phonebookReplies(kEntries));
    if (!phonebook) {
        state.SkipWithError("no phonebook");
        return;
    }
    for (auto _ : state) {
        QList<VXDictionary> forms;
        forms.reserve(kEntries);
        for (auto it = phonebook->cbegin(); it != phonebook->cend(); ++it)
            forms.append(vCardDictionary2VXDictionary(*vCardDictionaryForMotorolaContact(it.value()), it.key()));
        benchmark::DoNotOptimize(forms);
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_ReadLg500ToForms)->Unit(benchmark::kMillisecond);

void BM_WriteLg500FromForms(benchmark::State& state)
{
    const auto phonebook = decodePhonebook(phonebookReplies(kEntries));
    auto db = std::make_shared<qvDeviceDB>();
    QVSyncDeviceDescription description(db);
    if (!phonebook || !db->openDB(qvDeviceDB::defaultDatabasePath())
        || description.setupFromProtocol(QStringLiteral("Protocol LG")) != 0) {
        state.SkipWithError("no phonebook or no LG description");
        return;
    }
    QList<VXDictionary> forms;
    for (auto it = phonebook->cbegin(); it != phonebook->cend(); ++it)
        forms.append(vCardDictionary2VXDictionary(*vCardDictionaryForMotorolaContact(it.value()), it.key()));
    for (auto _ : state) {
        for (VXDictionary& form : forms)
            benchmark::DoNotOptimize(createMotoDictForVXDict(&form, description));
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_WriteLg500FromForms)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("marvesto.*=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
