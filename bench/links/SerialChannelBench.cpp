// The serial channel's work per received piece: collecting the bytes and
// judging whether an AT answer is complete (as the waits do after every
// piece), and framing OBEX packets. Bytes per second are received bytes.
#include "links/SerialATChannel.h"
#include "links/SerialDelegateProtocol.h"
#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

constexpr int kPiece = 128;

// A phone book listing of n entries, as a phone answers AT+CPBR.
QByteArray phoneBookAnswer(int entries)
{
    QByteArray answer;
    for (int i = 1; i <= entries; ++i)
        answer += "\r\n+CPBR: " + QByteArray::number(i) + ",\"+4915112345" + QByteArray::number(i % 1000)
            + "\",145,\"Contact number " + QByteArray::number(i) + "\"";
    return answer + "\r\n\r\nOK\r\n";
}

void BM_ATAnswerInPieces(benchmark::State& state)
{
    const QByteArray answer = phoneBookAnswer(int(state.range(0)));
    SerialATChannel channel(nullptr, nullptr);
    for (auto _ : state) {
        channel.resetBuffer();
        bool complete = false;
        for (qsizetype at = 0; at < answer.size(); at += kPiece) {
            channel.deliverData(answer.constData() + at, int(std::min<qsizetype>(kPiece, answer.size() - at)));
            complete = channel.isBufferFilledWithAnswer();
        }
        if (!complete)
            state.SkipWithError("answer not recognised");
    }
    state.SetBytesProcessed(state.iterations() * answer.size());
}
BENCHMARK(BM_ATAnswerInPieces)->Arg(10)->Arg(100)->Arg(1000);

class CountingDelegate : public SerialDelegateProtocol {
public:
    void processObexData() override { ++packets; }
    int64_t packets = 0;
};

void BM_ObexPacketsInPieces(benchmark::State& state)
{
    const int length = int(state.range(0));
    QByteArray packet(length, 'o');
    packet[0] = char(0xA0);
    packet[1] = char((length >> 8) & 0xFF);
    packet[2] = char(length & 0xFF);
    CountingDelegate delegate;
    SerialATChannel channel(nullptr, &delegate);
    channel.setObexMode(true);
    for (auto _ : state) {
        for (qsizetype at = 0; at < packet.size(); at += kPiece)
            channel.deliverData(packet.constData() + at, int(std::min<qsizetype>(kPiece, packet.size() - at)));
        // The packet is handed over on the next pass of the loop.
        platform::runloop::processPendingEvents();
    }
    if (delegate.packets != int64_t(state.iterations()))
        state.SkipWithError("packets lost");
    state.SetBytesProcessed(state.iterations() * length);
}
BENCHMARK(BM_ObexPacketsInPieces)->Arg(512)->Arg(32767);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
