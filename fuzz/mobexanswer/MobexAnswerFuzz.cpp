// The MOBEX session's readers of a phone's answers on arbitrary bytes. The
// first byte picks the sub-database; the rest is read as a load block, a
// count answer and an info answer. Besides "no crash", it checks that
// nothing is read past the bytes given.
#include "sync/SamsungObexSession.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > 256 * 1024)
        return 0;
    const int subType = data[0];
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    if (const auto records = SamsungObexSession::parseLoadBlock(bytes, subType)) {
        // Each record costs four bytes besides its text.
        qsizetype text = 0;
        for (const QVariant& record : *records)
            text += record.toMap().value(QStringLiteral("vx-Data")).toString().size();
        if (text + 4 * records->size() > bytes.size())
            std::abort();
    }
    const auto count = SamsungObexSession::parseCount(bytes);
    if (bool(count) != (bytes.size() >= 4))
        std::abort();
    const QVariantMap limits = SamsungObexSession::parseContactInfo(bytes);
    if (limits.size() > 24 || limits.size() > bytes.size() / 2)
        std::abort();
    return 0;
}
