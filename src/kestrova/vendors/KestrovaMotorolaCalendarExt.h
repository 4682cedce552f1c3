#pragma once

#include "kestrova/core/KestrovaVendorChain.h"
#include "kestrova/core/SLTInvocation.h"

#include <functional>

#include <QStringList>
#include <QVariantMap>

class SLTCommDeviceMotorolaCalendarExt;

// The Motorola calendar chain of the organizer kit ("motorola": extended
// records, "motorola2": older ones). A read opens the calendar, asks its slot
// count, reads it in ranges of 50 slots (25 for "motorola2") and closes it,
// keeping a copy and the free slots for a later write on the same kit. A
// write sends each event on its own in key order: an empty event deletes its
// slot ("deleted", the slot goes to the end of the free list), a "T-" key
// takes the first free slot (the outcome is that slot), any other key is
// overwritten whole ("changed"). An event whose command fails is left out
// without outcome (a new one keeps its slot free); a new event with no free
// slot is skipped with a log line; a lost link ends the write with the
// outcomes so far.
class KestrovaMotorolaCalendarExt : public KestrovaVendorChain {
public:
    explicit KestrovaMotorolaCalendarExt(Kestrova& kit);
    ~KestrovaMotorolaCalendarExt() override;

    bool getCalendarEntries() override;
    bool writeCalendarEntries(const QVariantMap& entries) override;

    // Rebuilds the free slots from the copy read last: every slot from the
    // first up to, not including, the last that the copy does not hold.
    void getEmptySlots();
    const QStringList& emptySlots() const { return _emptyCalendarSlots; }
    const QVariantMap& currentCalendar() const { return _currentCalendar; }
    int batchSize();

private:
    SLTCommDeviceMotorolaCalendarExt& commands();
    SLTInvocationPtr stage(std::function<void(const QVariantMap&)> onResult);
    void failRead(const QVariantMap& result);
    void getMotorolaCalendarStage2(const QVariantMap& result);
    void getMotorolaCalendarStage3(const QVariantMap& result);
    void getMotorolaCalendarStage4(const QVariantMap& result);
    void writeMotorolaCalendarEntriesStage2(const QVariantMap& result);
    void finishEntry(const QVariant& outcome = QVariant());

    QVariantMap _tempDict;
    QVariantMap _tempMutableDict;
    QVariantMap _tempMutableDict2;
    QStringList _tempMutableDictEnum;
    QString _currentEntryString;
    // The answer the event in progress waits for (its signal).
    QString _expected;
    int _startCalendarEntry = 0;
    int _currentCalendarEntry = 0;
    int _endCalendarEntry = 0;
    int _givenCount = 0;
    QStringList _emptyCalendarSlots;
    QVariantMap _currentCalendar;
};
