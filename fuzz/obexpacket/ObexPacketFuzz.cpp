// Fuzz target for OBEX packets from a peer. The first byte picks the request
// the bytes answer; the rest is the received packet. Besides "no crash, no
// hang", it checks:
//  - an answer's headers lie within the length field and the bytes received;
//  - parsed headers, written again by their form, give back the same bytes;
//  - the simulated phone's server answers every whole request with a packet
//    whose length field is its size.
#include "links/ObexHeaders.h"
#include "links/ObexPacket.h"

#include "ObexServer.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void failCheck(const char* what, const QByteArray& detail)
{
    std::fprintf(stderr, "OBEX packet fuzzer: %s\n%s\n", what, detail.toHex().constData());
    std::abort();
}

QByteArray written(const QList<obex::Header>& headers)
{
    QByteArray out;
    for (const obex::Header& h : headers) {
        switch (h.identifier & 0xC0) {
        case 0x80:
            out.append(char(h.identifier));
            out.append(char(h.number));
            break;
        case 0xC0:
            out.append(char(h.identifier));
            for (int shift = 24; shift >= 0; shift -= 8)
                out.append(char((h.number >> shift) & 0xFF));
            break;
        default:
            obex::addByteSequenceHeader(out, h.identifier, h.value);
            break;
        }
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t sent = data[0];
    const QByteArray packet(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const int count = int(packet.size());

    const obex::Answer answer = obex::readAnswer(packet.constData(), count, sent);
    if (answer.eventType != obex::kEventError) {
        const int length = obex::packetLength(packet.constData(), count);
        if (answer.headerLength < 0 || answer.headerOffset < 0 || answer.headerOffset + answer.headerLength > length
            || length > count)
            failCheck("answer headers outside the packet", packet);
        obex::parseHeaders(packet.constData() + answer.headerOffset, answer.headerLength);
    }

    if (const auto headers = obex::parseHeaders(packet)) {
        if (written(*headers) != packet)
            failCheck("headers do not write back to their bytes", packet);
        for (const obex::Header& h : *headers)
            obex::headerText(h);
    }

    phonesim::ObexServer server;
    server.atLine("AT+CPROT=0");
    const phonesim::ObexServer::Output out = server.input(packet);
    for (const QByteArray& reply : out.answers) {
        if (reply.size() < 3 || obex::packetLength(reply.constData(), int(reply.size())) != reply.size())
            failCheck("server answer with a wrong length field", packet);
    }
    return 0;
}
