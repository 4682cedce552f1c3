// Fuzz target for the IrMC change-log and information-log readers: the bytes
// are a log from the phone. Besides "no crash, no hang", a LUID is never
// both changed and deleted, and none is listed twice.
#include "sync/QVIRMCReaders.h"

#include <QSet>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList log;
    irmcInfoLog(text, &log);
    for (const bool known : {false, true}) {
        const QVIRMCChangeLog changes = irmcChangeLog(text, known, &log);
        const QSet<QString> changed(changes.changed.cbegin(), changes.changed.cend());
        const QSet<QString> deleted(changes.deleted.cbegin(), changes.deleted.cend());
        if (changed.size() != changes.changed.size() || deleted.size() != changes.deleted.size()
            || changed.intersects(deleted)) {
            std::fprintf(stderr, "IrMC change log fuzzer: inconsistent LUID lists\n");
            std::abort();
        }
    }
    return 0;
}
