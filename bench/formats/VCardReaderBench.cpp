// Reads one corpus of a few thousand cards (the writer's test contacts as 2.1
// with quoted-printable names and photos, and as 3.0) with the import reader
// and, as the peer, with libical's vCard/vCalendar 1.0 parser; items per
// second are cards per second. The corpus is read as texts of 100 cards:
// the peer gives up on a few hundred cards in one text.
#include "ContactForms.h"

#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "foundation/ImageFileTypeCategory.h"
#include "formats/VCardReader.h"

#include <QImage>

#include <benchmark/benchmark.h>

extern "C" {
#include <libical/vcc.h>
#include <libical/vobject.h>
}

namespace {

constexpr int kCorpusCards = 3000;
constexpr int kCardsPerText = 100;

struct Corpus {
    QStringList texts;
    QList<QByteArray> bytes;
    qint64 size = 0;
    int cards = 0;
};

const Corpus& corpus()
{
    static const Corpus built = [] {
        Corpus c;
        auto db = std::make_shared<qvDeviceDB>();
        if (!db->openDB(qvDeviceDB::defaultDatabasePath()))
            return c;
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(qRgb(200, 120, 40));
        auto contacts = contactforms::contactCorpus(JPEGRepresentation(image, 0.9));
        QStringList written;
        for (const char* protocol : {"Export-2.1", "Export-3.0"}) {
            QVSyncDeviceDescription description(db);
            if (description.setupFromProtocol(QString::fromLatin1(protocol)) != 0)
                continue;
            for (auto& [name, vx] : contacts)
                written.append(createVCardForVXDict(&vx, description, true, false, QString()));
        }
        if (written.isEmpty())
            return c;
        QStringList cards;
        while (cards.size() < kCorpusCards)
            cards.append(written.at(cards.size() % written.size()));
        for (qsizetype at = 0; at < cards.size(); at += kCardsPerText) {
            c.texts.append(cards.mid(at, kCardsPerText).join(QStringLiteral("\r\n")));
            c.bytes.append(c.texts.last().toUtf8());
            c.size += c.bytes.last().size();
        }
        c.cards = int(cards.size());
        return c;
    }();
    return built;
}

void BM_ReadVCards_ImportReader(benchmark::State& state)
{
    const Corpus& c = corpus();
    if (c.cards == 0) {
        state.SkipWithError("no corpus");
        return;
    }
    qsizetype read = 0;
    for (auto _ : state) {
        read = 0;
        for (const QString& text : c.texts) {
            const auto cards = elemsForVCard(text);
            read += cards ? cards->size() : 0;
            benchmark::DoNotOptimize(cards);
        }
    }
    state.counters["cards_read"] = double(read);
    state.SetItemsProcessed(state.iterations() * c.cards);
    state.SetBytesProcessed(state.iterations() * c.size);
}
BENCHMARK(BM_ReadVCards_ImportReader)->Unit(benchmark::kMillisecond);

void BM_ReadVCards_LibicalVcc(benchmark::State& state)
{
    const Corpus& c = corpus();
    if (c.cards == 0) {
        state.SkipWithError("no corpus");
        return;
    }
    int read = 0;
    for (auto _ : state) {
        read = 0;
        for (const QByteArray& bytes : c.bytes) {
            VObject* list = Parse_MIME(bytes.constData(), static_cast<unsigned long>(bytes.size()));
            for (VObject* o = list; o; o = nextVObjectInList(o))
                ++read;
            cleanVObjects(list);
        }
    }
    state.counters["cards_read"] = read;
    state.SetItemsProcessed(state.iterations() * c.cards);
    state.SetBytesProcessed(state.iterations() * c.size);
}
BENCHMARK(BM_ReadVCards_LibicalVcc)->Unit(benchmark::kMillisecond);

} // namespace
