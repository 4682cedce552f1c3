// The OBEX file-transfer connection over a USB modem's AT switch: the
// simulated phone on a pseudo-terminal, reached through the simulated USB
// registry, paced as an emulated serial line.
//  - BM_SwitchCopy256KB: 256 KB each way through the connection, as shares
//    of the line's byte rate (10 bits a byte); the copy alone is timed.
//  - BM_ObexftpRatio256KB: the same file got from the phone at packet size
//    500 (the most obexftp's tty transport takes) once by `obexftp -t <tty>`
//    and once by the connection, each timed from its start (switch, connect,
//    get) to its end; "ratio" is ours over obexftp's. obexftp_list_s is a
//    listing-only run of obexftp, its fixed cost. Skipped without obexftp.
//   bench_links_obexftp [--rate=BITS_PER_S] [benchmark options]
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/ObexFileTransferConnection.h"
#include "links/QVDeviceCallback.h"
#include "links/USBSerialATChannel.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"
#include "platform/UsbRegistrySimulated.h"

#include "LineRate.h"
#include "PhoneSimulator.h"
#include "SimulatedSwitchModem.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <optional>
#include <vector>

namespace {

const int kFtpSender = 0;
constexpr int kFtpBytes = 256 * 1024;

QByteArray ftpSampleBytes(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 31 + i / 509) & 0xFF);
    return data;
}

bool ftpWait(const std::function<bool()>& done, double seconds = 120)
{
    return platform::runloop::waitUntil(done, 0.01, int(seconds * 100));
}

QByteArray ftpRead(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The phone on its pty with "/D/big.bin", and the file-transfer connection
// that reaches it as a USB modem.
struct SwitchPhone {
    SwitchPhone(int rate, int maxPacket)
        : sim(*phonesim::PhoneProfile::named(QStringLiteral("lg")))
        , data(ftpSampleBytes(kFtpBytes))
    {
        started = sim.start();
        if (!started)
            return;
        sim.setLineRate(rate);
        sim.modifyObexServer([&](phonesim::ObexServer& server) {
            if (maxPacket > 0)
                server.setMaxPacket(maxPacket);
            server.addFolder(QStringLiteral("/D"));
            server.putFile(QStringLiteral("/D/big.bin"), data);
        });
    }
    ~SwitchPhone()
    {
        ftp.reset();
        platform::UsbRegistry::setShared(nullptr);
    }
    void makeConnection()
    {
        registry = bench_support::registerSimulatedModem(sim.slavePath());
        ftp = std::make_unique<ObexFileTransferConnection>(
            nullptr, nullptr, QStringLiteral("USB-Serial"),
            []() -> std::unique_ptr<ObexATSwitchTransportLayer> { return bench_support::makeSwitchTransport(); });
    }
    // Runs one request of the connection to its end: its status, or the
    // start's error.
    int run(const std::function<int(const std::shared_ptr<QVDeviceCallback>&)>& request)
    {
        std::optional<int> status;
        const int answer = request(
            QVDeviceCallback::commandObject(&kFtpSender, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {}));
        if (answer != 0)
            return answer;
        return ftpWait([&] { return status.has_value(); }) ? *status : 1;
    }
    int open()
    {
        return run([&](const auto& callback) { return ftp->openConnection(callback); });
    }
    int getInto(const QString& folder)
    {
        return run([&](const auto& callback) {
            return ftp->copyFromMobileToMac(QStringLiteral("/D/big.bin"), folder, true, callback);
        });
    }

    phonesim::PhoneSimulator sim;
    QByteArray data;
    bool started = false;
    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    std::unique_ptr<ObexFileTransferConnection> ftp;
    QTemporaryDir out;
};

// range 0: line rate in bit/s; range 1: 0 to the computer, 1 to the phone.
void BM_SwitchCopy256KB(benchmark::State& state)
{
    const int rate = int(state.range(0));
    const bool toPhone = state.range(1) != 0;
    double seconds = 0;
    for (auto _ : state) {
        SwitchPhone phone(rate, 0);
        if (!phone.started) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        phone.makeConnection();
        if (phone.open() != 0 || !phone.ftp->hasConnection()) {
            state.SkipWithError("no OBEX session over the switch");
            return;
        }
        const QString local = phone.out.filePath(QStringLiteral("up.bin"));
        if (toPhone) {
            QFile file(local);
            if (!file.open(QIODevice::WriteOnly) || file.write(phone.data) != kFtpBytes) {
                state.SkipWithError("no local file");
                return;
            }
        }
        QElapsedTimer clock;
        clock.start();
        const int status = toPhone ? phone.run([&](const auto& callback) {
            return phone.ftp->copyFromMacToMobile(local, QStringLiteral("/D"), true, callback);
        })
                                   : phone.getInto(phone.out.path());
        seconds += clock.nsecsElapsed() / 1e9;
        const bool ok = toPhone ? phone.sim.obexServer().files().value(QStringLiteral("/D/up.bin")) == phone.data
                                : ftpRead(phone.out.filePath(QStringLiteral("big.bin"))) == phone.data;
        if (status != 0 || !ok) {
            state.SkipWithError("copy failed");
            return;
        }
    }
    benchsupport::reportLineShare(state, double(kFtpBytes) * double(state.iterations()) / seconds, rate);
    state.SetLabel(toPhone ? "to phone, AT switch" : "to computer, AT switch");
}

// range 0: line rate in bit/s.
void BM_ObexftpRatio256KB(benchmark::State& state)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("obexftp"));
    if (program.isEmpty()) {
        state.SkipWithError("obexftp (Debian obexftp) is not installed");
        return;
    }
    const int rate = int(state.range(0));
    double ours = 0;
    double theirs = 0;
    double theirsListing = 0;
    for (auto _ : state) {
        {
            SwitchPhone phone(rate, 500);
            if (!phone.started) {
                state.SkipWithError("no pseudo-terminal");
                return;
            }
            // obexftp's tty transport waits for answers only briefly: on a
            // busy machine its first try may give up, so it has two.
            QByteArray output;
            for (int attempt = 0; attempt < 2; ++attempt) {
                QDir(phone.out.path()).removeRecursively();
                QDir().mkpath(phone.out.path());
                QProcess client;
                client.setWorkingDirectory(phone.out.path());
                client.setProcessChannelMode(QProcess::MergedChannels);
                QElapsedTimer clock;
                clock.start();
                client.start(program,
                             {QStringLiteral("-t"), phone.sim.slavePath(), QStringLiteral("-c"), QStringLiteral("D"),
                              QStringLiteral("-g"), QStringLiteral("big.bin")});
                const bool finished = ftpWait([&] { return client.state() == QProcess::NotRunning; }, 120);
                const double elapsed = clock.nsecsElapsed() / 1e9;
                output += client.readAll();
                if (finished && ftpRead(phone.out.filePath(QStringLiteral("big.bin"))) == phone.data) {
                    theirs += elapsed;
                    output.clear();
                    break;
                }
                if (!finished)
                    client.kill();
            }
            if (!output.isEmpty()) {
                std::fprintf(stderr, "obexftp: %s\n", output.constData());
                state.SkipWithError("obexftp did not get the file");
                return;
            }
            // Its fixed cost: the same start, switch and connect, listing only.
            QProcess lister;
            lister.setProcessChannelMode(QProcess::MergedChannels);
            QElapsedTimer clock;
            clock.start();
            lister.start(program,
                         {QStringLiteral("-t"), phone.sim.slavePath(), QStringLiteral("-l"), QStringLiteral("D")});
            const bool listed = ftpWait([&] { return lister.state() == QProcess::NotRunning; }, 120);
            const double listSeconds = clock.nsecsElapsed() / 1e9;
            const QByteArray listing = lister.readAll();
            if (listed && listing.contains("folder-listing"))
                theirsListing += listSeconds;
            else if (!listed)
                lister.kill();
            else
                std::fprintf(stderr, "obexftp listing: %s\n", listing.constData());
        }
        SwitchPhone phone(rate, 500);
        if (!phone.started) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        phone.makeConnection();
        const bool ok = phone.open() == 0 && phone.getInto(phone.out.path()) == 0
            && ftpRead(phone.out.filePath(QStringLiteral("big.bin"))) == phone.data;
        ours += clock.nsecsElapsed() / 1e9;
        if (!ok) {
            state.SkipWithError("the connection did not get the file");
            return;
        }
    }
    const double n = double(state.iterations());
    state.counters["obexftp_s"] = theirs / n;
    state.counters["ours_s"] = ours / n;
    state.counters["obexftp_list_s"] = theirsListing / n;
    state.counters["ratio"] = ours / theirs;
    state.counters["ours_line_share"] = double(kFtpBytes) * n / ours / (rate / 10.0);
    state.counters["obexftp_line_share"] = double(kFtpBytes) * n / theirs / (rate / 10.0);
    state.SetLabel("get, packet 500");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The transfers run against a phone in real time.
    platform::Clock::instance().setVirtual(false);
    const std::vector<int64_t> rates = benchsupport::takeLineRates(argc, argv, {460800, 12000000});
    for (const int64_t rate : rates)
        for (const int64_t toPhone : {0, 1})
            benchmark::RegisterBenchmark("BM_SwitchCopy256KB", BM_SwitchCopy256KB)
                ->Args({rate, toPhone})
                ->Iterations(1)
                ->Unit(benchmark::kSecond)
                ->UseRealTime();
    for (const int64_t rate : rates)
        benchmark::RegisterBenchmark("BM_ObexftpRatio256KB", BM_ObexftpRatio256KB)
            ->Args({rate})
            ->Iterations(1)
            ->Unit(benchmark::kSecond)
            ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
