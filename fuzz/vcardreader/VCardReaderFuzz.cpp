// The vCard readers on arbitrary text: the import reader (every card turned
// into its item form), the item reader over a multi-item text and from an
// inner position, and the readers' string helpers.
#include "formats/VCardItemReader.h"
#include "formats/VCardReader.h"
#include "formats/VXDictionary.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto cards = elemsForVCard(text);
    if (cards) {
        for (const VCardDictionary& card : *cards)
            (void)vCardDictionary2VXDictionary(card, QStringLiteral("1")).count();
    }
    (void)elemsForVXXXString(text).size();
    // An item read from a position inside the text.
    const long long start = size > 0 ? data[0] % (size + 1) : 0;
    VXXX2ElemsParser reader(text, start);
    (void)reader.getItem().has_value();
    (void)reader.nextPosition();
    (void)semicolonComponents(text);
    (void)cleanedFromBackSlash(text);
    return 0;
}
