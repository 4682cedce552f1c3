// The LG file browser: escaping a 12 KB upload packet and assembling a 12 KB
// download packet from its transport pieces as the engine does (unescape
// each piece, count it against the packet, keep its data); and whole 1 MB
// files down and up through the file-browser kit and the simulated phone
// over a pseudo-terminal at a serial line rate, in real time. The transfer
// counters give the payload rate and its share of the line's 10-bit-a-byte
// rate, the share the turn-taking exchanges allow at most (payload over the
// bytes both ways), and the idle line time per exchange. Rates: 115,200 and
// 921,600 bit/s, or --rate=N.
#include "kestrova/vendors/LgFileBrowserFrames.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/QVFileBrowserKitAsync.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"

#include "LineRate.h"
#include "PhoneSimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace kestrova::lg;

constexpr qsizetype kPacketData = 0x3000 - 64;
constexpr qsizetype kPieceBytes = 600;
constexpr qsizetype kFileBytes = 1024 * 1024;

QByteArray randomBytes(qsizetype n, quint32 seed = 42)
{
    QRandomGenerator random(seed);
    QByteArray bytes(n, '\0');
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

QByteArray filePacket(quint8 code)
{
    return frame(kFileService, code, 7,
                 *dirAndNameBlocks(QStringLiteral("/Pictures/holiday.jpg"))
                     + transferBlock(quint32(kFileBytes), 0x3000, 2) + randomBytes(kPacketData));
}

void BM_EscapeUploadPacket(benchmark::State& state)
{
    const QByteArray packet = filePacket(kFilePut);
    for (auto _ : state)
        benchmark::DoNotOptimize(quoteFFValuesInData(packet));
    state.SetBytesProcessed(state.iterations() * packet.size());
}
BENCHMARK(BM_EscapeUploadPacket);

void BM_AssembleDownloadPacket(benchmark::State& state)
{
    // The reply as the phone sends it: FF, status, packet cut into pieces,
    // each escaped between FF and 7E.
    QByteArray inner = filePacket(kFileGetNext);
    inner.insert(kHeaderLength, '\0');
    inner[6] = char((inner.size()) & 0xFF);
    inner[7] = char((inner.size() >> 8) & 0xFF);
    std::vector<QByteArray> pieces;
    for (qsizetype at = 0; at < inner.size(); at += kPieceBytes)
        pieces.push_back(char(0xFF) + quoteFFValuesInData(inner.mid(at, kPieceBytes)) + char(0x7E));
    for (auto _ : state) {
        LgPacketPieces assembler;
        const QByteArray first = removeQuotedFFValuesFromData(pieces.front());
        assembler.first(first);
        QByteArray data = getFileDataPartFrom(first);
        for (size_t i = 1; i < pieces.size(); ++i) {
            const QByteArray piece = removeQuotedFFValuesFromData(pieces[i]);
            if (assembler.next(piece) == LgPacketPieces::Result::Bad)
                state.SkipWithError("piece refused");
            data += piece.mid(1, piece.size() - 2);
        }
        if (data.size() != kPacketData)
            state.SkipWithError("packet not assembled");
        benchmark::DoNotOptimize(data);
    }
    state.SetBytesProcessed(state.iterations() * inner.size());
}
BENCHMARK(BM_AssembleDownloadPacket);

struct Finished : fileBrowserKitAsync {
    int connected = 1, down = 1, up = 1;
    void fileBrowserKitConnected(QVFileBrowserKitAsync*, int c) override { connected = c; }
    void fileBrowserKitCopyToMacFinished(QVFileBrowserKitAsync*, int c) override { down = c; }
    void fileBrowserKitCopyFromMacFinished(QVFileBrowserKitAsync*, int c) override { up = c; }
};

bool waitFor(const std::function<bool()>& done)
{
    return platform::runloop::waitUntil(done, 0.01, 60 * 60 * 100);
}

// One 1 MB file down (range 1: 0) or up (1) at the line rate in range 0.
void BM_Transfer1MB(benchmark::State& state)
{
    const int rate = int(state.range(0));
    const bool upload = state.range(1) != 0;
    const QByteArray contents = randomBytes(kFileBytes, 7);
    QTemporaryDir scratch;
    const QString localPath = scratch.filePath(QStringLiteral("file.bin"));
    double seconds = 0;
    double waited = 0; // time the line carried nothing in either direction
    qint64 lineBytes = 0;
    qint64 exchanges = 0;
    for (auto _ : state) {
        phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
        if (!sim.start()) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        sim.setLineRate(rate);
        QString phoneRoot;
        sim.modifyLgFiles([&](phonesim::LgFileSystem& fs) { phoneRoot = fs.rootPath(); });
        QFile source(upload ? localPath : phoneRoot + QStringLiteral("/Pictures/file.bin"));
        source.open(QIODevice::WriteOnly);
        source.write(contents);
        source.close();

        Finished finished;
        QVFileBrowserKitAsync kit;
        kit.setCallback(&finished);
        kit.setFamily(QStringLiteral("lg"));
        kit.setFilename(sim.slavePath());
        kit.fileBrowserConnect();
        if (!waitFor([&] { return finished.connected != 1; }) || finished.connected != 0) {
            state.SkipWithError("not connected");
            return;
        }
        // The exchanges the engine waits for one by one: each upload piece
        // and its acknowledgement, each download request and its packet.
        const auto exchangesSoFar = [&] {
            qsizetype n = 0;
            sim.modifyLgFiles(
                [&](phonesim::LgFileSystem& fs) { n = upload ? fs.uploadPieceSizes.size() : fs.commands.size(); });
            return n;
        };
        const qsizetype exchangesBefore = exchangesSoFar();
        const qint64 lineBytesBefore = sim.lineBytesIn() + sim.lineBytesOut();
        QElapsedTimer clock;
        clock.start();
        if (upload)
            kit.fileBrowserCopyFile(localPath, QStringLiteral("/Pictures/file.bin"));
        else
            kit.fileBrowserCopyRemoteFile(QStringLiteral("/Pictures/file.bin"), localPath);
        const int& outcome = upload ? finished.up : finished.down;
        if (!waitFor([&] { return outcome != 1; }) || outcome != 0) {
            state.SkipWithError("transfer failed");
            return;
        }
        const double took = clock.nsecsElapsed() / 1e9;
        seconds += took;
        lineBytes += sim.lineBytesIn() + sim.lineBytesOut() - lineBytesBefore;
        exchanges += exchangesSoFar() - exchangesBefore;
        waited += took - double(sim.lineBytesIn() + sim.lineBytesOut() - lineBytesBefore) * 10.0 / rate;
        kit.fullStop();
        kit.setCallback(nullptr);
    }
    const double bytesPerSecond = double(kFileBytes) * state.iterations() / seconds;
    benchsupport::reportLineShare(state, bytesPerSecond, rate);
    // The share the transfer would reach if each side answered at once: the
    // engine sends the next piece or request only when the last exchange is
    // complete, so the two directions take turns and never overlap.
    state.counters["turns_cap"] = double(kFileBytes) * state.iterations() / double(lineBytes);
    state.counters["exchanges"] = double(exchanges) / double(state.iterations());
    state.counters["idle_ms_per_exchange"] = exchanges > 0 ? waited * 1000.0 / double(exchanges) : 0.0;
    state.SetLabel(upload ? "upload" : "download");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The transfers run against a phone in real time.
    platform::Clock::instance().setVirtual(false);
    for (const int64_t rate : benchsupport::takeLineRates(argc, argv, {115200, 921600}))
        for (const int64_t upload : {0, 1})
            benchmark::RegisterBenchmark("BM_Transfer1MB", BM_Transfer1MB)
                ->Args({rate, upload})
                ->Iterations(1)
                ->Unit(benchmark::kSecond)
                ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
