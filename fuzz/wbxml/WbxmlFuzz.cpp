// A WBXML message from a phone, converted to XML and, when it decodes, back.
#include "formats/WbxmlConverter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<QByteArray> xml = WbxmlConverter::toXml(bytes))
        (void)WbxmlConverter::toWbxml(*xml);
    return 0;
}
