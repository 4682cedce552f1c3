// Fuzz target for the split of an IrMC phonebook into its cards: the bytes
// are the phone's "telecom/pb.vcf". Besides "no crash, no hang", every card
// text holds "BEGIN:VCARD" and none is longer than the input.
#include "sync/QVIRMCReaders.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto cards = irmcSplitPhonebook(text);
    if (!cards)
        return 0;
    for (const QString& card : *cards) {
        if (!card.contains(QLatin1String("BEGIN:VCARD"), Qt::CaseInsensitive) || card.size() > text.size()) {
            std::fprintf(stderr, "IrMC phonebook fuzzer: unsound card\n");
            std::abort();
        }
        if (cards->size() <= 4)
            uriForVXData(card);
    }
    return 0;
}
