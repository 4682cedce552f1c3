// Fuzz target for the App-Parameters reader of IrMC write answers: the bytes
// are the header's value. Besides "no crash, no hang", every field kept lies
// within the data: no value is longer than 255 characters and there are no
// more fields than the data has heads for.
#include "sync/QVIRMCReaders.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList log;
    const QVariantMap fields = irmcAppParameters(bytes, &log);
    if (qsizetype(fields.size()) * 2 > bytes.size()) {
        std::fprintf(stderr, "App-Parameters fuzzer: more fields than the data holds\n");
        std::abort();
    }
    for (const QVariant& value : fields) {
        if (value.toString().size() > 255) {
            std::fprintf(stderr, "App-Parameters fuzzer: a value longer than its length byte\n");
            std::abort();
        }
    }
    return 0;
}
