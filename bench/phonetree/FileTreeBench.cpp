// The phone's file tree: a listing of 10,000 files merged into the folder
// that holds them, unchanged and with one change (items per second are
// files), and the Finder state of a tree of 10,000 entries saved and loaded.
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/MFDevice.h"

#include "InMemoryFileTransfer.h"
#include "TemporaryHome.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kFiles = 10000;

FTPFileList treeListing(int changed = -1)
{
    FTPFileList files;
    for (int n = 0; n < kFiles; ++n)
        files.append(FTPFile::ftpFileWithAttributes({{FTPFile::kName, QStringLiteral("IMG_%1.jpg").arg(n)},
                                                     {FTPFile::kSize, n == changed ? 1 : 1000 + n},
                                                     {FTPFile::kModified, QStringLiteral("20240101T120000")},
                                                     {FTPFile::kFileTypeKey, 0}},
                                                    QStringLiteral("/P"), nullptr));
    return files;
}

// A mass-storage phone on the in-memory connection and its tree.
struct TreePhone {
    TreePhone()
    {
        MFDevice::Makers makers;
        makers.massStorageFTP = [](MFDevice& owner, const QVariantMap&) {
            auto made = std::make_unique<InMemoryFileTransfer>(
                owner, QVariantMap{{"type", "USB-MassStorage"}, {"channel", 0}});
            made->addFolder(QStringLiteral("/P"));
            return made;
        };
        const QVariantMap row{{"Dorvanti.Model", "K700"}, {"Dorvanti.Manufacturer", "Sony Ericsson"}};
        device = std::make_unique<MFDevice>(QLatin1String(MFDevice::kUSBMassStorage),
                                            std::make_shared<QVariantMap>(QVariantMap{{"Common.SerialNo", "1234"}}),
                                            row, nullptr, makers);
        manager = std::make_unique<DZDataManager>(*device, DZFileJobMakers());
        manager->updateDirectory(QStringLiteral("/"), {FTPFile::ftpFileWithAttributes(
                                                          {{FTPFile::kName, "P"}, {FTPFile::kFileTypeKey, 1}},
                                                          QStringLiteral("/"), nullptr)});
    }
    std::unique_ptr<MFDevice> device;
    std::unique_ptr<DZDataManager> manager;
};

void BM_MergeUnchangedListing(benchmark::State& state)
{
    TreePhone phone;
    const FTPFileList files = treeListing();
    phone.manager->updateDirectory(QStringLiteral("/P"), files);
    for (auto _ : state)
        phone.manager->updateDirectory(QStringLiteral("/P"), files);
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_MergeUnchangedListing)->Unit(benchmark::kMillisecond);

void BM_MergeListingWithOneChange(benchmark::State& state)
{
    TreePhone phone;
    const FTPFileList files[2] = {treeListing(), treeListing(kFiles / 2)};
    phone.manager->updateDirectory(QStringLiteral("/P"), files[0]);
    int next = 1;
    for (auto _ : state) {
        phone.manager->updateDirectory(QStringLiteral("/P"), files[next]);
        next ^= 1;
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_MergeListingWithOneChange)->Unit(benchmark::kMillisecond);

void BM_FinderStateSave(benchmark::State& state)
{
    TreePhone phone;
    phone.manager->updateDirectory(QStringLiteral("/P"), treeListing());
    if (phone.manager->finderStatePath().isEmpty())
        state.SkipWithError("no Finder state path");
    for (auto _ : state)
        phone.manager->saveFinderState();
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_FinderStateSave)->Unit(benchmark::kMillisecond);

void BM_FinderStateLoad(benchmark::State& state)
{
    TreePhone phone;
    phone.manager->updateDirectory(QStringLiteral("/P"), treeListing());
    phone.manager->saveFinderState();
    for (auto _ : state) {
        phone.manager->loadFinderState();
        state.PauseTiming();
        if (!phone.manager->getEntry(QStringLiteral("/P/IMG_9999.jpg")))
            state.SkipWithError("the state did not read back");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_FinderStateLoad)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The Finder state goes under the phone's data folder: a temporary home.
    BenchTemporaryHome home;
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
