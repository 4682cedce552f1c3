// Feeds arbitrary bytes to the organizer kit's reply checks. The first byte
// chooses the piece size: the rest arrives in pieces as a text reply (judged
// after every piece, as the state machine does, and once whole) and as an LG
// reply (packet length, header, frame end, busy and disconnect answers). The
// input is also wrapped as an LG frame for every family and must unwrap again.
#include "kestrova/core/SLTStateMachine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isResult(int result)
{
    return result >= SLTStateMachine::kReplyError && result <= SLTStateMachine::kReplyPrompt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = qsizetype(data[0] % 64) + 1;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    QString text;
    qsizetype checked = 0;
    QByteArray raw;
    for (qsizetype at = 0; at < input.size(); at += piece) {
        const QByteArray bytes = input.mid(at, piece);
        text += QString::fromLatin1(bytes);
        const int result = SLTStateMachine::validateStringReply(text, at == 0, &checked);
        check(isResult(result));
        check(checked >= 0 && checked <= text.size());
        raw += bytes;
        if (SLTStateMachine::isLgPacketComplete(raw)) {
            const QByteArray frame = SLTStateMachine::trimToEndSign(SLTStateMachine::stripLgHeader(raw));
            check(frame.size() <= raw.size());
            SLTStateMachine::isLgDisconnectFrame(frame);
        }
        SLTStateMachine::isLgPortBusy(raw);
    }
    QString whole = QString::fromLatin1(input);
    check(isResult(SLTStateMachine::validateStringReply(whole, false)));

    for (const char* family : {"lg", "lg2", "lg3", "se"}) {
        for (const bool put : {false, true}) {
            const QString name = QString::fromLatin1(family);
            const QByteArray wrapped = SLTStateMachine::wrapLgFrame(input, name, put);
            if (!SLTStateMachine::isLgFamily(name)) {
                check(wrapped == input);
                continue;
            }
            const QByteArray body = char(0xFF) + input + char(0x7E);
            if (!SLTStateMachine::isPacketFamily(name)) {
                check(wrapped == body);
                continue;
            }
            if (wrapped.size() <= SLTStateMachine::kMaxFrameBytes) {
                check(SLTStateMachine::isLgPacketComplete(wrapped));
                check(SLTStateMachine::stripLgHeader(wrapped) == body);
            }
        }
    }
    return 0;
}
