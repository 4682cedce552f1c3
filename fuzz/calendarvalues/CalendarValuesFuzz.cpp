// The recurrence rule (1.0 and iCalendar), alarm and duration grammars on
// arbitrary text; each reader must answer without a crash or a hang.
#include "formats/RecurrenceAlarmValues.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QVariantMap item;
    enterRule(item, text);
    enterAlarm(item, QString::fromLatin1(calendarkey::kAudioAlarms), text);
    (void)durationInSeconds(text);
    (void)dateAddingDuration(QDateTime::currentDateTimeUtc(), text);
    return 0;
}
