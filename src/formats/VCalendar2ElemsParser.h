#pragma once

#include "formats/VCalendarDictionary.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

class QVSyncDeviceDescription;

// The vCalendar item reader: one item (a VCALENDAR with its VEVENT and VTODO
// blocks, or one such block) of vCalendar 1.0 or iCalendar 2.0 text, from its
// "BEGIN:" to the matching "END:", into a calendar dictionary. Dates, alarms,
// rules, status and priority become typed values; every other property is
// kept under "DeviceSpecific". Nested blocks are read by a second reader and
// appended to "Subitems"; a nested VCARD is read as the vCard import reader
// reads a card. Positions are offsets into the text's UTF-8 bytes.
class VCalendar2ElemsParser {
public:
    // description gives the default character set and the priority scale;
    // it may be null.
    VCalendar2ElemsParser(const QString& text, long long startingPos, const QVSyncDeviceDescription* description);
    VCalendar2ElemsParser(const QByteArray& bytes, long long startingPos, const QVSyncDeviceDescription* description,
                          bool isVersion21, int depth = 0);
    VCalendar2ElemsParser(const VCalendar2ElemsParser&) = delete;
    VCalendar2ElemsParser& operator=(const VCalendar2ElemsParser&) = delete;

    // The item; nullopt when a byte was refused, an "END:" does not match
    // its "BEGIN:" (logged to "XT"), nesting is too deep or there is no item.
    std::optional<VCalendarDictionary> getItem();
    // After getItem: offset of the item's last byte, 0 when that is the
    // text's last byte.
    long long nextPosition() const { return _endPos; }
    QString itemType() const { return _vXXXType; }
    // Kept for the callers; the reader puts nothing in it.
    QVariantMap getVCalendarInfo() const { return QVariantMap(); }
    // For a reader started on a "BEGIN:VBODY" line: {"Date", "Message"} for a
    // body of two lines or more, else {"Message"}; empty without
    // "END:VBODY". Sets nextPosition to the last byte of "END:VBODY".
    QVariantMap getBodyElem();

    // True when a refused byte (not a mismatched END) ended the last getItem.
    bool wasRefused() const { return _refused; }

private:
    friend struct CalendarRun;

    QByteArray _bytes;
    long long _startingPos;
    long long _endPos = -1;
    QString _vXXXType;
    const QVSyncDeviceDescription* _syncDescription;
    bool _isVersion21;
    int _depth;
    bool _refused = false;
    // Offset from which the text holds no "END:VBODY", shared by the readers
    // of one text so that many open bodies do not search the rest again and
    // again; -1 while unknown.
    long long _ownVBodyEndMissing = -1;
    long long* _vbodyEndMissingFrom = &_ownVBodyEndMissing;
};

// The outermost item of a vCalendar text (the VCALENDAR, its events and tasks
// under "Subitems"); nullopt when it cannot be read. Quoted-printable soft
// line breaks are joined first.
std::optional<VCalendarDictionary> elemsForVCalendarString(const QString& text,
                                                           const QVSyncDeviceDescription* description);
