#pragma once

#include "formats/MotorolaContactGenerator.h"
#include "formats/VCardReader.h"

#include <QDateTime>
#include <QVariant>

#include <optional>

// Calendar entries of Motorola and LG phones as the organizer kit hands them
// over and takes them back: "event" (dates, "all day", texts), "task" (due
// date, texts, priority), "recurrence" (one rule) and "DisplayAlarm" (one
// alarm as {"triggerdate"}); any other key holding a text is a phone-side
// value. The kit spells the rule's month list "byMonth"; the item form and the
// vCalendar code "bymonth": this converter is the one place that translates.

// One calendar entry as a parsed calendar item (the dictionary the vCalendar
// reader makes, turned into an item form by vCalendarDictionary2VXDictionary):
// a task when the entry has a "task" part, else an event. The entry's alarm
// becomes an audio alarm with audio set, else a display alarm; an alarm of an
// event with a start date is kept as its lead time ("triggerduration").
// The entry is untrusted: a part or value of the wrong kind is dropped with a
// log line. Nullopt when the entry is no dictionary.
std::optional<VCardDictionary> vCalendarDictionaryForMotorolaEventOrTask(const QVariant& entry, bool audio);

// The calendar entry of an event or task item form for one phone model. The
// item's sent list is emptied first and then names the alarm and rule written.
QVariantMap createMotoEventDictForVXDict(VXDictionary* vxDict, const QVSyncDeviceDescription& description);
QVariantMap createMotoTaskDictForVXDict(VXDictionary* vxDict, const QVSyncDeviceDescription& description);

// Writes one event entry. Dates are fitted to the phone: an all-day item
// starts at 0:00 of its day, a year outside the phone's range is moved into
// it (month, day and time kept).
class MotorolaEventGenerator : public MotorolaContactGenerator {
public:
    using MotorolaContactGenerator::MotorolaContactGenerator;

    QVariantMap produceMotoEventDict();
    void addEvent();
    // The first alarm of the list with a trigger at least a minute before the
    // start and a text (its own or the summary), as "DisplayAlarm"; false
    // when none qualifies.
    bool addOneAlarm(const QString& listKey);
    // The first rule; a counted rule without end gets its last occurrence as
    // "until".
    void addRecurrence();
    QDateTime fixedStartDate() const;
    QDateTime fixedEndDate() const;
};

// Writes one task entry. A task without due date is due now on an LG phone
// (which needs one) and has none on a Motorola phone.
class MotorolaTaskGenerator : public MotorolaContactGenerator {
public:
    using MotorolaContactGenerator::MotorolaContactGenerator;

    QVariantMap produceMotoTaskDict();
    void addTask();
    QDateTime fixedDueDate() const;
};

// The item's date fitted to the phone (see MotorolaEventGenerator); invalid
// for an invalid date.
QDateTime fixedCalendarDate(const QDateTime& date, bool allDay, const QVSyncDeviceDescription& description);
