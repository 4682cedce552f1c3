// The file import on arbitrary bytes: the bytes become a file (its encoding
// guessed from them) split into vCard and vCalendar item texts; every item
// must end with its marker, and both splittings read the file alike.
#include "formats/VCardFileImport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = QDir::tempPath() + QStringLiteral("/fuzz_fileimport_%1.vcf").arg(getpid());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data), qsizetype(size));
    file.close();

    // A file whose bytes are no text in its encoding (broken UTF-16) reads
    // as nothing.
    const auto cards = importVCardsFromFile(path);
    for (const QString& item : cards.value_or(QStringList())) {
        if (!item.endsWith(QLatin1String("END:VCARD")) && !item.endsWith(QLatin1String("END:VCALENDAR")))
            std::abort();
    }
    const auto calendars = importVCalendarFromFile(path);
    if (calendars.has_value() != cards.has_value())
        std::abort();
    for (const QString& item : calendars.value_or(QStringList())) {
        if (!item.startsWith(QLatin1String("BEGIN:VCALENDAR\r\nVERSION:1.0\r\n")))
            std::abort();
    }
    QFile::remove(path);
    return 0;
}
