#pragma once

#include <QDateTime>
#include <QString>

class QVSyncDeviceDescription;
class VXDictionary;

// The vCalendar 1.0 text of one event or task item form for one phone, or a
// null string when there is no item form. The item's sent list is emptied
// first; the all-day rules of the phone may set its top-level "CATEGORIES".
// Phone-only values are written only with withDeviceSpecifics and never for
// an export description.
QString createVCalendarForVXDict(VXDictionary* vxDict, const QVSyncDeviceDescription& description,
                                 bool withDeviceSpecifics);

// Writes one vCalendar; lives for one createVCalendarForVXDict call. Lines
// end with CR LF.
class VCalendarGenerator {
public:
    VCalendarGenerator(const QVSyncDeviceDescription& description, VXDictionary* vxDict, bool withDeviceSpecifics);

    QString produceVCalendar();

    // DTSTART and DTEND texts of an all-day item in the phone's all-day form.
    QString allDayStartDate(const QDateTime& start);
    QString allDayEndDate(const QDateTime& end, const QDateTime& start);
    void appendVCalendarLine(const QString& line);
    // UTC "yyyyMMddTHHmmssZ" for a phone with time zones, else local time
    // without a zone letter.
    QString zuluOrLocalTimeStringFor(const QDateTime& date) const;
    QString getCRLF() const;
    // The main record's text value; empty when missing or not a text.
    QString nonNilMainObject(const QString& key) const;

    void addCategories();
    // The first alarm of "audio alarms" or "display alarms".
    void addAlarms(const QString& listKey);
    // The first recurrence.
    void addRecurrences();
    void addDeviceSpecifics();
    // "CATEGORIES:APPOINTMENT" when the first recurrence is weekly (not
    // written by produceVCalendar).
    void addSamsungCategories();

    // "P", "P1D", "-PT15M", "PT1H30M" ... of a signed number of seconds.
    static QString durationString(qint64 seconds);

private:
    enum class AllDayForm { NoAllDay, MidnightTo235959, AllDayCategories, ZeroToZero };
    AllDayForm allDayForm();
    void applyAllDayCategories();
    QString ruleEnd(const QVariantMap& rule) const;

    const QVSyncDeviceDescription& _syncDescription;
    VXDictionary* _vxDict;
    QString _curVCalendar;
    QString _charSet;
    bool _addDeviceSpecifics;
    bool _forceAllDayFormatMidnightTo2359 = false;
    bool _isSony;
    bool _loggedAllDayForm = false;
};
