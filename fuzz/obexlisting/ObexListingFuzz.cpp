// Fuzz target for the OBEX folder-listing reader: the bytes are a listing
// from the phone. Besides "no crash, no hang", every entry it keeps has a
// sound name, lies directly in the listed folder and has a size of -1 or
// more.
#include "links/ObexFolderListing.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray xml(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString folder = QStringLiteral("/Phone");
    const auto entries = obexlisting::read(xml, folder, nullptr);
    if (!entries)
        return 0;
    for (const auto& entry : *entries) {
        if (!obexlisting::isSoundEntryName(entry->fileName()) || entry->parentDir() != folder
            || entry->fileSize() < -1) {
            std::fprintf(stderr, "OBEX listing fuzzer: unsound entry %s\n", qPrintable(entry->fullPath()));
            std::abort();
        }
    }
    return 0;
}
