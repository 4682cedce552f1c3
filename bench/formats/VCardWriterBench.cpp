// Writes the vCard writer's test corpus (every list type, quoted-printable
// names, multi-line streets, a photo) with the shipped export descriptions;
// items per second are cards per second.
#include "ContactForms.h"

#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "foundation/ImageFileTypeCategory.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

QByteArray photo()
{
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 6, y * 8, (x * y) % 256));
    return JPEGRepresentation(image, 0.9);
}

void writeCorpus(benchmark::State& state, const char* protocol)
{
    auto db = std::make_shared<qvDeviceDB>();
    if (!db->openDB(qvDeviceDB::defaultDatabasePath())) {
        state.SkipWithError("no device database");
        return;
    }
    QVSyncDeviceDescription description(db);
    if (description.setupFromProtocol(QString::fromLatin1(protocol)) != 0) {
        state.SkipWithError("no export description");
        return;
    }
    auto corpus = contactforms::contactCorpus(photo());
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (auto& [name, vx] : corpus) {
            const QString vCard = createVCardForVXDict(&vx, description, true, false, QString());
            bytes += std::size_t(vCard.size());
            benchmark::DoNotOptimize(vCard);
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(corpus.size()));
    state.SetBytesProcessed(qint64(bytes));
}

void BM_WriteVCard21(benchmark::State& state)
{
    writeCorpus(state, "Export-2.1");
}
BENCHMARK(BM_WriteVCard21);

void BM_WriteVCard30(benchmark::State& state)
{
    writeCorpus(state, "Export-3.0");
}
BENCHMARK(BM_WriteVCard30);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
