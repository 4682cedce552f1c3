// A Samsung phone's contacts read end to end: a MOBEX session reading 500
// contacts from the simulated phone on a pseudo-terminal, reached as a USB
// modem, at an emulated line rate; its payload rate is given as a share of
// the line's byte rate (10 bits a byte). In the same run gammu (when
// installed) reads the same store with "getallmemory ME" over its own
// pseudo-terminal at the same rate; "gammu_ratio" is gammu's time divided by
// the session's. The session waits 0.5 s before each further load block, so
// with the phone's 8-record blocks the pause sets its time.
//   bench_sync_mobex [--rate=BITS_PER_S] [benchmark options]
#include "device/QVSyncDeviceDescription.h"
#include "links/QVDeviceCallback.h"
#include "links/SamsungATConnection.h"
#include "links/USBSerialATChannel.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"
#include "sync/QVSessionUser.h"
#include "sync/SamsungObexSession.h"

#include "LineRate.h"
#include "MobexStore.h"
#include "PhoneSimulator.h"
#include "links/SimulatedSwitchModem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <optional>

namespace {

constexpr int kSamsungBenchContacts = 500;
const int kSamsungBenchSender = 0;

class SamsungBenchUser : public QVSessionUser {
public:
    bool notifySyncMLAction(const QString&, float) override { return true; }
    int deliverIncomingData(QVBaseSession& base) override
    {
        auto& session = static_cast<SamsungObexSession&>(base);
        delivered = int(session.items().size());
        payload = 0;
        for (const QVariant& item : session.items())
            payload += item.toMap().value(QStringLiteral("vx-Data")).toString().toUtf8().size();
        session.setDownloadObjects(nullptr, nullptr, -1);
        return 0;
    }
    void notifySyncFinished(const QString& text) override { result = text; }
    void displayPercent(int) override { }
    void processAction(const QVariant&) override { }
    int delivered = 0;
    qint64 payload = 0;
    QString result;
};

bool samsungBenchWait(const std::function<bool()>& done, double seconds = 120)
{
    return platform::runloop::waitUntil(done, 0.01, int(seconds * 100));
}

std::optional<double> gammuSeconds(int rate)
{
    const QString gammu = QStandardPaths::findExecutable(QStringLiteral("gammu"));
    if (gammu.isEmpty())
        return std::nullopt;
    phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("samsung")));
    if (!sim.start())
        return std::nullopt;
    sim.setLineRate(rate);
    sim.modifyObexServer([](phonesim::ObexServer& obex) {
        phonesim::MobexStore::fillContacts(*obex.mobexStore(), kSamsungBenchContacts);
    });
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("gammurc")));
    if (!config.open(QIODevice::WriteOnly))
        return std::nullopt;
    config.write("[gammu]\ndevice = " + sim.slavePath().toLocal8Bit() + "\nconnection = at\nmodel = atobex\n");
    config.close();
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(gammu,
                  {QStringLiteral("-c"), config.fileName(), QStringLiteral("getallmemory"), QStringLiteral("ME")});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return std::nullopt;
    const double seconds = clock.nsecsElapsed() / 1e9;
    const QByteArray out = process.readAllStandardOutput();
    if (out.count("Memory ME, Location") != kSamsungBenchContacts)
        return std::nullopt;
    return seconds;
}

// range 0: line rate in bit/s.
void BM_SamsungSync500Contacts(benchmark::State& state)
{
    const int rate = int(state.range(0));
    auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("Samsung AT"));
    if (!description)
        description = QVSyncDeviceDescription::syncDeviceFromProtocol(QStringLiteral("UNKNOWN"));
    if (!description) {
        state.SkipWithError("no sync description");
        return;
    }
    double seconds = 0;
    qint64 payload = 0;
    for (auto _ : state) {
        phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("samsung")));
        if (!sim.start()) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        sim.setLineRate(rate);
        sim.modifyObexServer([](phonesim::ObexServer& obex) {
            phonesim::MobexStore::fillContacts(*obex.mobexStore(), kSamsungBenchContacts);
        });
        auto registry = bench_support::registerSimulatedModem(sim.slavePath());
        ObexSwitchSettings settings;
        settings.usesSamsungATConnections = true;
        SamsungATConnection connection(
            nullptr,
            [settings] {
                auto transport = std::make_unique<CommonObexATSwitchIrMCTransportLayer>(
                    nullptr, settings, QVariantMap(), QStringLiteral("USB-Serial"), false);
                transport->setChannelFactory([](const QString&, const QVariantMap&, MFDevice* device,
                                                SerialDelegateProtocol* delegate, SerialATChannel::PhoneTraits traits) {
                    const QVariantMap wiz{{"vendorId", 0x1004}, {"productId", 0x6000}, {"serialNumber", "35201234"}};
                    return std::unique_ptr<SerialATChannel>(
                        USBSerialATChannel::withWizDict(device, wiz, delegate, traits));
                });
                return transport;
            },
            {});
        std::optional<int> opened;
        const int started = connection.openConnection(QVDeviceCallback::commandObject(
            &kSamsungBenchSender, [&](QVDeviceCallback& c) { opened = c.returnStatus(); }, {}));
        if (started != 0)
            opened = started;
        if (!samsungBenchWait([&] { return opened.has_value(); }) || opened != 0) {
            state.SkipWithError("no MOBEX session");
            return;
        }
        SamsungBenchUser user;
        auto session = SamsungObexSession::initWithConnection(connection, &user, description, {});
        QElapsedTimer clock;
        clock.start();
        session->performReadContacts(true);
        const bool done = samsungBenchWait([&] { return user.delivered > 0 || !user.result.isNull(); });
        seconds += clock.nsecsElapsed() / 1e9;
        if (!done || user.delivered != kSamsungBenchContacts) {
            std::fprintf(stderr, "read: %d records, result %s\n", user.delivered, qPrintable(user.result));
            state.SkipWithError("read failed");
            return;
        }
        payload += user.payload;
        samsungBenchWait([&] { return !user.result.isNull(); }, 10);
        session.reset();
        platform::UsbRegistry::setShared(nullptr);
    }
    benchsupport::reportLineShare(state, double(payload) / seconds, rate);
    state.counters["session_s"] = seconds / state.iterations();
    if (const auto gammu = gammuSeconds(rate)) {
        state.counters["gammu_s"] = *gammu;
        state.counters["gammu_ratio"] = *gammu / (seconds / state.iterations());
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    platform::Clock::instance().setVirtual(false);
    const std::vector<int64_t> rates = benchsupport::takeLineRates(argc, argv, {460800});
    for (const int64_t rate : rates)
        benchmark::RegisterBenchmark("BM_SamsungSync500Contacts", BM_SamsungSync500Contacts)
            ->Args({rate})
            ->Iterations(1)
            ->Unit(benchmark::kSecond)
            ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
