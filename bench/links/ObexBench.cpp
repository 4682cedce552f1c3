// The OBEX codec's work per packet (building a Put, reading a Get answer and
// its headers) and OBEX throughput end to end: a Put and a Get of 256 KB
// through the simulated phone on a pseudo-terminal, reached as a USB modem,
// at emulated line rates. The throughput counters compare the payload rate
// with the line's byte rate (10 bits a byte). The aim for every row, Put and
// Get, 8 KB and 32 KB packets, also at 12 Mbit/s: line_share >= 0.95 (in a
// release build; the turn-around of each request is what costs). In the same
// run, a 100 KB WBXML message Put and a 100 KB answer Get through the SyncML
// connection (the phone as SyncML server), for comparison with the codec alone.
//   bench_links_obex [--rate=BITS_PER_S] [benchmark options]
#include "links/CommonObexATSwitchTransportLayer.h"
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"
#include "links/ObexSyncMLConnection.h"
#include "links/ObjectPushCommand.h"
#include "links/QVDeviceCallback.h"
#include "links/USBSerialATChannel.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"
#include "platform/UsbRegistrySimulated.h"

#include "LineRate.h"
#include "PhoneSimulator.h"
#include "SimulatedSwitchModem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>
#include <optional>
#include <vector>

namespace {

const int kSender = 0;
constexpr int kTransferBytes = 256 * 1024;
constexpr int kSyncMLBytes = 100 * 1024;

QByteArray sampleBytes(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 31 + i / 97) & 0xFF);
    return data;
}

void BM_ObexBuildPut(benchmark::State& state)
{
    const QByteArray body = sampleBytes(int(state.range(0)));
    QByteArray headers;
    obex::addNameHeader(headers, QStringLiteral("Picture 0001.jpg"));
    obex::addLengthHeader(headers, kTransferBytes);
    std::vector<char> buffer(obex::kPacketBufferSize);
    for (auto _ : state) {
        const int length = obex::buildPut(buffer.data(), false, headers.constData(), int(headers.size()),
                                          body.constData(), int(body.size()), obex::kMaxPacketLength);
        benchmark::DoNotOptimize(length);
    }
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(BM_ObexBuildPut)->Arg(8192 - 64)->Arg(65535 - 64);

void BM_ObexReadGetAnswer(benchmark::State& state)
{
    QByteArray headers;
    obex::addLengthHeader(headers, kTransferBytes);
    obex::addBodyHeader(headers, sampleBytes(int(state.range(0))), false);
    std::vector<char> buffer(obex::kPacketBufferSize);
    const int length = obex::buildHeadersOnly(buffer.data(), obex::kResponseContinue, headers.constData(),
                                              std::min<int>(int(headers.size()), obex::kMaxOptionalHeaders));
    // The answer with all its headers (the builder bounds what a request may carry).
    QByteArray answer(buffer.data(), 3);
    answer += headers;
    answer[1] = char((answer.size() >> 8) & 0xFF);
    answer[2] = char(answer.size() & 0xFF);
    (void)length;
    for (auto _ : state) {
        const obex::Answer a = obex::readAnswer(answer.constData(), int(answer.size()), obex::kOpGetFinal);
        const auto parsed = obex::parseHeaders(answer.constData() + a.headerOffset, a.headerLength);
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(state.iterations() * answer.size());
}
BENCHMARK(BM_ObexReadGetAnswer)->Arg(8192 - 64)->Arg(65535 - 64);

bool waitFor(const std::function<bool()>& done, double seconds = 120)
{
    return platform::runloop::waitUntil(done, 0.01, int(seconds * 100));
}

struct Event {
    uint32_t type = 0;
    uint8_t code = 0;
    QByteArray body;
};

class Session {
public:
    explicit Session(phonesim::PhoneSimulator& sim)
    {
        registry = bench_support::registerSimulatedModem(sim.slavePath());
        transport = bench_support::makeSwitchTransport();
    }
    ~Session()
    {
        transport.reset();
        platform::UsbRegistry::setShared(nullptr);
    }

    bool open()
    {
        std::optional<int> status;
        const int started = transport->openTransportLayer(QVDeviceCallback::commandObject(
            &kSender, [&](QVDeviceCallback& c) { status = c.returnStatus(); }, {}));
        if (started == 0)
            waitFor([&] { return status.has_value(); });
        if (started != 0 || status != 0)
            std::fprintf(stderr, "open: %d, switch: %d\n", started, status.value_or(1));
        return status == 0;
    }

    std::optional<Event> call(const std::function<int(OBEXSessionEventHandler)>& send)
    {
        std::optional<Event> seen;
        const int status = send([&](const OBEXSessionEvent& e) {
            Event event{e.type, e.response.serverResponseOpCode, {}};
            if (e.response.headerDataPtr) {
                const auto headers = obex::parseHeaders(reinterpret_cast<const char*>(e.response.headerDataPtr),
                                                        qsizetype(e.response.headerDataLength));
                for (const obex::Header& h : headers.value_or(QList<obex::Header>()))
                    if (h.identifier == obex::kHeaderBody || h.identifier == obex::kHeaderEndOfBody)
                        event.body += h.value;
            }
            seen = event;
        });
        if (status != 0 || !waitFor([&] { return seen.has_value(); }))
            return std::nullopt;
        return seen;
    }

    bool connect(uint16_t maxPacket)
    {
        QByteArray target;
        obex::addTargetHeader(target, obex::fileTransferTarget());
        const auto e = call([&](OBEXSessionEventHandler h) {
            return transport->OBEXConnect(0, maxPacket, target.constData(), int(target.size()), std::move(h));
        });
        return e && e->code == obex::kResponseSuccess;
    }

    bool put(const QByteArray& data)
    {
        const int room = transport->getMaxPacketLength() - 64;
        for (qsizetype at = 0; at < data.size(); at += room) {
            const bool last = at + room >= data.size();
            QByteArray headers;
            if (at == 0)
                obex::addNameHeader(headers, QStringLiteral("file.bin"));
            const QByteArray part = data.mid(at, room);
            const auto e = call([&](OBEXSessionEventHandler h) {
                return transport->OBEXPut(last, headers.constData(), int(headers.size()), part.constData(),
                                          int(part.size()), std::move(h));
            });
            if (!e || e->code != (last ? obex::kResponseSuccess : obex::kResponseContinue))
                return false;
        }
        return true;
    }

    std::optional<QByteArray> get()
    {
        QByteArray name;
        obex::addNameHeader(name, QStringLiteral("file.bin"));
        QByteArray data;
        for (bool first = true;; first = false) {
            const auto e = call([&](OBEXSessionEventHandler h) {
                return transport->OBEXGet(true, first ? name.constData() : nullptr, first ? int(name.size()) : 0,
                                          std::move(h));
            });
            if (!e)
                return std::nullopt;
            data += e->body;
            if (e->code == obex::kResponseSuccess)
                return data;
            if (e->code != obex::kResponseContinue)
                return std::nullopt;
        }
    }

    std::shared_ptr<platform::UsbRegistrySimulated> registry;
    std::unique_ptr<CommonObexATSwitchTransportLayer> transport;
};

// range 0: line rate in bit/s; range 1: 0 Put, 1 Get; range 2: the phone's packet size.
void BM_ObexTransfer256KB(benchmark::State& state)
{
    const int rate = int(state.range(0));
    const bool get = state.range(1) != 0;
    const int packet = int(state.range(2));
    const QByteArray data = sampleBytes(kTransferBytes);
    double seconds = 0;
    int requests = 0;
    for (auto _ : state) {
        phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
        if (!sim.start()) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        sim.setLineRate(rate);
        sim.modifyObexServer([&](phonesim::ObexServer& server) {
            server.setMaxPacket(packet);
            if (get)
                server.putFile(QStringLiteral("/file.bin"), data);
        });
        Session session(sim);
        if (!session.open()) {
            state.SkipWithError("no switch to OBEX");
            return;
        }
        if (!session.connect(uint16_t(packet))) {
            state.SkipWithError("no OBEX session");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        bool ok = false;
        if (get) {
            const auto back = session.get();
            ok = back && *back == data;
        } else {
            ok = session.put(data) && sim.obexServer().files().value(QStringLiteral("/file.bin")) == data;
        }
        seconds += clock.nsecsElapsed() / 1e9;
        requests += int(sim.obexServer().requests().size()) - 1;
        if (!ok) {
            state.SkipWithError("transfer failed");
            return;
        }
    }
    const double bytesPerSecond = double(kTransferBytes) * state.iterations() / seconds;
    benchsupport::reportLineShare(state, bytesPerSecond, rate);
    state.counters["requests"] = double(requests) / state.iterations();
    state.counters["ms_per_request"] = seconds * 1000 / std::max(1, requests);
    state.SetLabel(get ? "get" : "put");
}

// range 0: line rate in bit/s; range 1: 0 Put, 1 Get; range 2: the phone's packet size.
void BM_SyncMLTransfer100KB(benchmark::State& state)
{
    const int rate = int(state.range(0));
    const bool get = state.range(1) != 0;
    const int packet = int(state.range(2));
    const QByteArray data = sampleBytes(kSyncMLBytes);
    double seconds = 0;
    for (auto _ : state) {
        phonesim::PhoneSimulator sim(*phonesim::PhoneProfile::named(QStringLiteral("lg")));
        if (!sim.start()) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        sim.setLineRate(rate);
        sim.modifyObexServer([&](phonesim::ObexServer& server) {
            server.setMaxPacket(packet);
            server.setSyncMLAnswer(data);
        });
        Session session(sim);
        ObexSyncMLConnection connection(nullptr, nullptr);
        connection.setTransportFactory([&session] { return std::move(session.transport); });
        std::optional<int> opened;
        const int started = connection.openConnection(
            QVDeviceCallback::commandObject(&kSender, [&](QVDeviceCallback& c) { opened = c.returnStatus(); }, {}));
        if (started != 0 || !waitFor([&] { return opened.has_value(); }) || opened != 0
            || !connection.hasObexConnection()) {
            state.SkipWithError("no SyncML session");
            return;
        }
        std::optional<int> status;
        const auto command = ObjectPushCommand::pushCommandWithData(
            get ? ObjectPushCommand::kGetSyncMLWBXML : ObjectPushCommand::kPutSyncMLWBXML, get ? QByteArray() : data,
            &kSender, [&](QVDeviceCallback& c) { status = c.returnStatus(); });
        QElapsedTimer clock;
        clock.start();
        const bool sent = connection.executeCommandSync(command) == 0 && waitFor([&] { return status.has_value(); });
        seconds += clock.nsecsElapsed() / 1e9;
        const bool ok = sent && status == 0
            && (get ? command->dataReceived() == data
                    : sim.obexServer().files().value(QStringLiteral("/unnamed")) == data);
        if (!ok) {
            state.SkipWithError("transfer failed");
            return;
        }
    }
    benchsupport::reportLineShare(state, double(kSyncMLBytes) * state.iterations() / seconds, rate);
    state.SetLabel(get ? "syncml get" : "syncml put");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The transfers run against a phone in real time.
    platform::Clock::instance().setVirtual(false);
    const std::vector<int64_t> rates = benchsupport::takeLineRates(argc, argv, {460800, 12000000});
    for (const int64_t rate : rates)
        for (const int64_t get : {0, 1})
            for (const int64_t packet : {8192, 32767})
                benchmark::RegisterBenchmark("BM_ObexTransfer256KB", BM_ObexTransfer256KB)
                    ->Args({rate, get, packet})
                    ->Iterations(1)
                    ->Unit(benchmark::kSecond)
                    ->UseRealTime();
    for (const int64_t rate : rates)
        for (const int64_t get : {0, 1})
            for (const int64_t packet : {8192, 32767})
                benchmark::RegisterBenchmark("BM_SyncMLTransfer100KB", BM_SyncMLTransfer100KB)
                    ->Args({rate, get, packet})
                    ->Iterations(1)
                    ->Unit(benchmark::kSecond)
                    ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
