// The files mirror registering a listing of 10,000 phone files against a
// location list of 10,000 entries (items per second are files), and copies of
// 64 MB and 1 GB through the USB copy handler beside the same copies by cp on
// the same disk (bytes per second).
#include "links/FTPFile.h"
#include "links/ObexCommand.h"
#include "phone/DorvantiUSBCopyHdlr.h"
#include "phone/FTPFileLocations.h"
#include "phone/FTPReceiver.h"
#include "phone/FilesMirror.h"
#include "phone/LocationsListServer.h"
#include "platform/RunLoop.h"

#include "FakeMirrorDevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kFiles = 10000;

FTPFileList listing()
{
    FTPFileList files;
    for (int n = 0; n < kFiles; ++n)
        files.append(FTPFile::ftpFileWithAttributes({{FTPFile::kName, QStringLiteral("IMG_%1.jpg").arg(n)},
                                                     {FTPFile::kSize, 1000 + n},
                                                     {FTPFile::kModified, QStringLiteral("20240101T120000")},
                                                     {FTPFile::kFileTypeKey, 0}},
                                                    QStringLiteral("/[0]/Pictures/%1").arg(n % 50), nullptr));
    return files;
}

void BM_RegisterListing(benchmark::State& state)
{
    QTemporaryDir dir;
    FakeMirrorDevice device;
    LocationsListServer::sharedLocationsListServer().clear();
    auto mirror = FilesMirror::mirrorWithDevice(device, dir.path() + QStringLiteral("/anchor.dzmir"));
    const FTPFileList files = listing();
    // The location list knows every file already (a second backup).
    for (const auto& file : files)
        mirror->registerFileOnDevice(*file);
    mirror->setFileSystemValid();
    mirror->save();
    for (auto _ : state) {
        mirror->recreateFilesystem();
        for (const auto& file : files)
            benchmark::DoNotOptimize(mirror->registerFileOnDevice(*file));
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_RegisterListing)->Unit(benchmark::kMillisecond);

struct Receiver : FTPReceiver {
    bool ended = false;
    int status = 0;
    void notifyFinishedJob(ObexCommand& command) override
    {
        ended = true;
        status = command.getStatus();
    }
    void showProgress(double, float) override { }
};

QString bigFile(const QTemporaryDir& dir, qint64 bytes)
{
    const QString path = dir.path() + QStringLiteral("/source.bin");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    const QByteArray chunk(1 << 20, 'm');
    for (qint64 n = 0; n < bytes; n += chunk.size())
        file.write(chunk);
    return path;
}

void BM_UsbCopyHandler(benchmark::State& state)
{
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX"));
    const qint64 bytes = state.range(0) << 20;
    const QString source = bigFile(dir, bytes);
    for (auto _ : state) {
        Receiver receiver;
        DorvantiUSBCopyHdlr::sharedDorvantiUSBCopyHdlr().copyPathAsync(source, dir.path() + QStringLiteral("/copy.bin"),
                                                                       true, &receiver);
        platform::runloop::waitUntil([&] { return receiver.ended; }, 0.001, 600000);
        if (receiver.status != 0)
            state.SkipWithError("copy failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr();
}
// Sizes in MB; the handler starts each copy after 0.05 s.
BENCHMARK(BM_UsbCopyHandler)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CpCopy(benchmark::State& state)
{
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-XXXXXX"));
    const qint64 bytes = state.range(0) << 20;
    const QString source = bigFile(dir, bytes);
    for (auto _ : state) {
        if (QProcess::execute(QStringLiteral("cp"), {source, dir.path() + QStringLiteral("/copy.bin")}) != 0)
            state.SkipWithError("cp failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_CpCopy)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
