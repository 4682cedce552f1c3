// The LG port's byte escaping: unescaping arbitrary bytes never grows them,
// escaping anything unescapes back to it, and an escaped frame holds no FF
// or 7E of its own.
#include "kestrova/vendors/LgFrames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kestrova::lg;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray plain = removeQuotedFFValuesFromData(input);
    check(plain.size() <= input.size());
    const QByteArray escaped = quoteFFValuesInData(input);
    check(!escaped.contains(char(0xFF)) && !escaped.contains(char(0x7E)));
    check(removeQuotedFFValuesFromData(escaped) == input);
    check(quoteFFValuesInData(plain).size() >= plain.size());
    replyDeclaredLength(plain);
    return 0;
}
