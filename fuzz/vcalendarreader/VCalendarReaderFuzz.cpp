// The vCalendar reader on arbitrary text: it must answer without a crash or a
// hang; each event or task it finds goes through the conversion to the item
// form and is written again for a phone with time zones and period alarms
// left at their defaults.
#include "device/QVSyncDeviceDescription.h"
#include "formats/VCalendar2ElemsParser.h"
#include "formats/VCalendarConversion.h"
#include "formats/VCalendarGenerator.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QVSyncDeviceDescription description(nullptr);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto calendar = elemsForVCalendarString(text, nullptr);
    if (!calendar)
        return 0;
    QVariantList items = calendar->map().value(QStringLiteral("Subitems")).toList();
    items.prepend(calendar->map());
    for (const QVariant& item : items) {
        VXDictionary vx = vCalendarDictionary2VXDictionary(item.toMap(), QStringLiteral("1"));
        (void)createVCalendarForVXDict(&vx, description, true);
    }
    return 0;
}
