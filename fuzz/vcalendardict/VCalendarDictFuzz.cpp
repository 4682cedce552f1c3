// The flat vCalendar dictionary on arbitrary bytes, read with both default
// character sets, and every display accessor on the result.
#include "formats/VCalendar2Dictionary.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const char* charset : {"UTF-8", "LATIN1"}) {
        const QVariantMap dict = VCalendar2Dictionary::dictionaryForVCalendar(text, QString::fromLatin1(charset));
        (void)getSummary(dict);
        (void)isEvent(dict);
        (void)isToDo(dict);
        (void)isMemo(dict);
        (void)getAttendeesString(dict);
        (void)getStartDate(dict);
        (void)getEndDate(dict);
        (void)getShortStartDate(dict);
        (void)getShortEndDate(dict);
        (void)getStartDateDay(dict);
        (void)getDueDate(dict);
        (void)getShortDueDate(dict);
        (void)getDueDateDay(dict);
        (void)getStartYear(dict);
        (void)getAlarmInfo(dict);
        (void)getRepeatingInfo(dict);
    }
    return 0;
}
