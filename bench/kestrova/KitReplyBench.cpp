// The state machine's work per received piece of a reply: judging a text
// reply (unsolicited lines removed, final result looked for) and an LG packet
// (length, header, frame end, busy and disconnect answers), as it does after
// every piece. Bytes per second are received bytes.
#include "kestrova/core/SLTStateMachine.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kPiece = 128;

// A message listing of n entries, as a phone answers AT+CMGL, with an
// unsolicited line every 50 entries.
QByteArray listingAnswer(int entries)
{
    QByteArray answer;
    for (int i = 1; i <= entries; ++i) {
        answer += "\r\n+CMGL: " + QByteArray::number(i) + ",1,,24\r\n07919471101000F0040C9194713254769800001120"
            "3041258040054C";
        if (i % 50 == 0)
            answer += "\r\n^RSSI:" + QByteArray::number(i % 31) + "\r\n";
    }
    return answer + "\r\n\r\nOK\r\n";
}

void BM_TextReplyInPieces(benchmark::State& state)
{
    const QByteArray answer = listingAnswer(int(state.range(0)));
    for (auto _ : state) {
        QString buffer;
        qsizetype checked = 0;
        int result = SLTStateMachine::kReplyIncomplete;
        for (qsizetype at = 0; at < answer.size(); at += kPiece) {
            buffer += QString::fromLatin1(answer.mid(at, kPiece));
            result = SLTStateMachine::validateStringReply(buffer, false, &checked);
        }
        if (result != SLTStateMachine::kReplyComplete)
            state.SkipWithError("reply not recognised");
    }
    state.SetBytesProcessed(state.iterations() * answer.size());
}
BENCHMARK(BM_TextReplyInPieces)->Arg(10)->Arg(100)->Arg(1000);

// An "lg3" packet of n bytes in all: header, frame, trailing bytes.
QByteArray lgPacket(int length)
{
    QByteArray packet(length, 'x');
    packet[0] = char(0xA0);
    packet[1] = char((length >> 8) & 0xFF);
    packet[2] = char(length & 0xFF);
    packet[3] = char(0x48);
    packet[6] = char(0xFF);
    packet[length - 3] = char(0x7E);
    return packet;
}

void BM_LgPacketInPieces(benchmark::State& state)
{
    const QByteArray packet = lgPacket(int(state.range(0)));
    for (auto _ : state) {
        QByteArray raw;
        QByteArray frame;
        for (qsizetype at = 0; at < packet.size(); at += kPiece) {
            raw += packet.mid(at, kPiece);
            if (SLTStateMachine::isLgPacketComplete(raw))
                frame = SLTStateMachine::trimToEndSign(SLTStateMachine::stripLgHeader(raw));
            benchmark::DoNotOptimize(SLTStateMachine::isLgPortBusy(raw) || SLTStateMachine::isLgDisconnectFrame(frame));
        }
        if (frame.size() != packet.size() - 8)
            state.SkipWithError("packet not unframed");
    }
    state.SetBytesProcessed(state.iterations() * packet.size());
}
BENCHMARK(BM_LgPacketInPieces)->Arg(1024)->Arg(12288)->Arg(65535);

} // namespace

BENCHMARK_MAIN();
