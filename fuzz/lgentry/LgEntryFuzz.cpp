// The LG phonebook's entry decoder on arbitrary (unescaped) replies. What it
// decodes must encode and decode again to the same contact (groups above 255
// and the picture, which the writer does not carry, left aside).
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgPhonebookRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}

QByteArray reply(const QByteArray& body)
{
    return QByteArray::fromHex("FFFF21920000000000" "00" "0100" "0000") + body + char(0x7E);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kestrova::lg;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    // As a whole reply, and as the body of a well-formed one.
    lgExtractAddressData(input);
    std::optional<QVariantMap> contact = lgExtractAddressData(reply(input));
    if (!contact)
        return 0;
    check(contact->value(QStringLiteral("slot")).toString() == QStringLiteral("1"));
    contact->remove(QStringLiteral("slot"));
    contact->remove(QStringLiteral("picture"));
    bool smallGroups = true;
    for (const QVariant& group : contact->value(QStringLiteral("categories")).toList())
        smallGroups = smallGroups && group.toInt() < 256;
    const QByteArray record = lgViewtyPhonebookCreateRawDataForDict(*contact, 0);
    std::optional<QVariantMap> again = lgExtractAddressData(reply(record.mid(4)));
    check(again.has_value());
    again->remove(QStringLiteral("slot"));
    if (smallGroups)
        check(*again == *contact);
    return 0;
}
