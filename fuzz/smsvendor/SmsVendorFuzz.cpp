// The LG service-centre answer and the Samsung storage and read answers on
// arbitrary input: bounded, never a crash.
#include "kestrova/vendors/SLTCommDeviceLgMessages.h"
#include "kestrova/vendors/SLTCommDeviceSamsungExt.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString address = SLTCommDeviceLgMessages::extractScAddress(input);
    if (address.size() > 3 * input.size() + 1)
        std::abort();
    const QString text = QString::fromLatin1(input);
    SLTCommDeviceSamsungExt::parseStorageCounts(text);
    if (const auto read = SLTCommDeviceSamsungExt::parseReadAnswer(text); read && read->second.isEmpty())
        std::abort();
    return 0;
}
