// Both line rewriters on arbitrary bytes; what they write is ASCII.
#include "formats/VCalendar2To1.h"
#include "formats/VCard3To21.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void requireASCII(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 128)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    requireASCII(VCalendar2To1::dictionary1ForVCalendar(text));
    requireASCII(VCard3To21::dictionary21ForVCard(text));
    return 0;
}
