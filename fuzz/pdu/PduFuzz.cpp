// Feeds arbitrary input to the PDU decoder twice: as text split at newlines
// into the PDUs of one listing (so the joining of concatenated parts runs
// too), and as raw octets written out in hex (so mutations reach past the hex
// check into the field parsing).
#include "kestrova/sms/PduCodec.h"
#include "kestrova/sms/sms.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kestrova;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    pduList pdus;
    unsigned index = 0;
    for (const QByteArray& line : input.split('\n')) {
        pdus.appendItem(std::make_unique<pdu>(line, index, int(index % 5)));
        ++index;
    }
    pdus.appendItem(std::make_unique<pdu>(input.toHex(), index));
    smsList list;
    createSmsListFromPduList(list, pdus);
    list.resetPos();
    while (sms* m = list.nextItem()) {
        QString out;
        m->getAddress(out);
        m->getSmsc(out);
    }
    return 0;
}
