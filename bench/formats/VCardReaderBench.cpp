// Reads corpora of a few thousand cards with the import reader and, as the
// peer, with libical's vCard/vCalendar 1.0 parser; items per second are cards
// per second, and each reader has its row on the same texts in one run:
// - Writer: the writer's test contacts as 2.1 with quoted-printable names and
//   a small photo, and as 3.0;
// - PhoneCards: phonebook exports as phones write them (PhoneCards.h), no
//   photos;
// - PhotoCards: the same with a contact photo of about 8 KB on each card.
// The corpora are read as texts of 100 cards: the peer gives up on a few
// hundred cards in one text.
#include "ContactForms.h"
#include "NoiseImage.h"
#include "PhoneCards.h"

#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "foundation/ImageFileTypeCategory.h"
#include "formats/VCardReader.h"

#include <QImage>
#include <QPainter>

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

Corpus corpusOf(const QStringList& cards)
{
    Corpus c;
    for (qsizetype at = 0; at < cards.size(); at += kCardsPerText) {
        c.texts.append(cards.mid(at, kCardsPerText).join(QStringLiteral("\r\n")));
        c.bytes.append(c.texts.last().toUtf8());
        c.size += c.bytes.last().size();
    }
    c.cards = int(cards.size());
    return c;
}

const Corpus& writerCorpus()
{
    static const Corpus built = [] {
        auto db = std::make_shared<qvDeviceDB>();
        if (!db->openDB(qvDeviceDB::defaultDatabasePath()))
            return Corpus();
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
            return Corpus();
        QStringList cards;
        while (cards.size() < kCorpusCards)
            cards.append(written.at(cards.size() % written.size()));
        return corpusOf(cards);
    }();
    return built;
}

// A contact photo as phones keep them: 176 x 176 pixels, a smooth picture
// with some grain, about 8 KB of JPEG.
QByteArray contactPhoto()
{
    QImage image = noiseImage(176, 176);
    QPainter painter(&image);
    painter.setOpacity(0.8);
    QLinearGradient gradient(0, 0, 176, 176);
    gradient.setColorAt(0, QColor(230, 190, 160));
    gradient.setColorAt(1, QColor(60, 80, 120));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    return JPEGRepresentation(image, 0.8);
}

const Corpus& phoneCorpus(bool withPhotos)
{
    static const auto make = [](bool photos) {
        const QByteArray photo = photos ? contactPhoto() : QByteArray();
        phonecards::CardMaker maker;
        QStringList cards;
        for (int i = 0; i < kCorpusCards; ++i)
            cards.append(QString::fromUtf8(maker.card(i, photo)));
        return corpusOf(cards);
    };
    static const Corpus plain = make(false);
    static const Corpus photos = make(true);
    return withPhotos ? photos : plain;
}

void readWithImportReader(benchmark::State& state, const Corpus& c)
{
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

void readWithLibical(benchmark::State& state, const Corpus& c)
{
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

void BM_ReadVCards_ImportReader(benchmark::State& state)
{
    readWithImportReader(state, writerCorpus());
}
BENCHMARK(BM_ReadVCards_ImportReader)->Unit(benchmark::kMillisecond);

void BM_ReadVCards_LibicalVcc(benchmark::State& state)
{
    readWithLibical(state, writerCorpus());
}
BENCHMARK(BM_ReadVCards_LibicalVcc)->Unit(benchmark::kMillisecond);

void BM_ReadPhoneCards_ImportReader(benchmark::State& state)
{
    readWithImportReader(state, phoneCorpus(false));
}
BENCHMARK(BM_ReadPhoneCards_ImportReader)->Unit(benchmark::kMillisecond);

void BM_ReadPhoneCards_LibicalVcc(benchmark::State& state)
{
    readWithLibical(state, phoneCorpus(false));
}
BENCHMARK(BM_ReadPhoneCards_LibicalVcc)->Unit(benchmark::kMillisecond);

void BM_ReadPhotoCards_ImportReader(benchmark::State& state)
{
    state.counters["photo_bytes"] = double(contactPhoto().size());
    readWithImportReader(state, phoneCorpus(true));
}
BENCHMARK(BM_ReadPhotoCards_ImportReader)->Unit(benchmark::kMillisecond);

void BM_ReadPhotoCards_LibicalVcc(benchmark::State& state)
{
    readWithLibical(state, phoneCorpus(true));
}
BENCHMARK(BM_ReadPhotoCards_LibicalVcc)->Unit(benchmark::kMillisecond);

} // namespace
