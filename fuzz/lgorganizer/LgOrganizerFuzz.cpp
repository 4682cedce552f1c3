// The LG event and task decoders on arbitrary (unescaped) replies, whole and
// as the body of a well-formed reply. What they decode carries the slot of
// the reply, and an event decoded encodes to a record that decodes again.
#include "kestrova/vendors/LgCalendarRecord.h"
#include "kestrova/vendors/LgTaskRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}

QByteArray reply(quint8 service, const QByteArray& body)
{
    return QByteArray::fromHex("FFFF") + char(service) + QByteArray::fromHex("930000000000FF1301") + char(service)
        + QByteArray::fromHex("0700") + body + char(0x7E);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kestrova::lg;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    lgExtractCalendarData(input);
    lgExtractTaskData(input, false);
    lgExtractTaskData(input, true);
    for (const bool gd900 : {false, true})
        if (const std::optional<QVariantMap> task = lgExtractTaskData(reply(0x13, input), gd900))
            check(task->value(QStringLiteral("slot")).toString() == QStringLiteral("7"));
    const std::optional<QVariantMap> event = lgExtractCalendarData(reply(0x12, input));
    if (!event)
        return 0;
    check(event->value(QStringLiteral("event")).toMap().value(QStringLiteral("slot")).toString()
          == QStringLiteral("7"));
    const QByteArray record = lgViewtyCalendarCreateRawDataForDict(*event, 1);
    // The written record read back: 6 bytes more before the dates.
    const QByteArray back = reply(0x12, record.mid(4, 4) + QByteArray(6, '\0') + record.mid(8));
    check(lgExtractCalendarData(back).has_value());
    return 0;
}
