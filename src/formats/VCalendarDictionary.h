#pragma once

#include "formats/VCardReader.h"

// A calendar item (event, task or the VCALENDAR around them) while and after
// the vCalendar reader fills it, under the field names of the desktop's
// calendar entities; values only the phone knows go under "DeviceSpecific".
class VCalendarDictionary : public VCardDictionary {
public:
    // After the item's END: an event that covers whole local days becomes an
    // all-day item ("all day" YES, "start date" 12:00 UTC of its first day,
    // "end date" that plus the days), and the alarm and recurrence entries'
    // parameter lists become relations.
    void finishVXItem();
    // An item without a due date takes the trigger date of its first display
    // alarm, or, without display alarms, of its first audio alarm.
    void complementDueDate();
};
