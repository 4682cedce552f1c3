// Fuzz target for the folder-listing reader of the IrMC file operations: the
// bytes are a listing from the phone. Besides "no crash, no hang", every
// entry has its element name, and every name kept stays in its folder.
#include "sync/QVIRMCReaders.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray xml(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList log;
    const auto entries = irmcFolderListing(xml, &log);
    if (!entries)
        return 0;
    for (const QVariant& entry : *entries) {
        const QVariantMap map = entry.toMap();
        const QString name = map.value(QStringLiteral("name")).toString();
        const bool unsafe = map.contains(QStringLiteral("name"))
            && (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
                || name.contains(QLatin1Char('/')) || name.contains(QChar(0)));
        if (map.value(QStringLiteral("objectType")).toString().isEmpty() || unsafe) {
            std::fprintf(stderr, "IrMC listing fuzzer: unsound entry %s\n", qPrintable(name));
            std::abort();
        }
    }
    return 0;
}
