#pragma once

#include <QByteArray>

// Rewrites iCalendar 2.0 text into vCalendar 1.0 for phones that read only
// 1.0: BEGIN and END lines, "VERSION:1.0", and the values of CATEGORIES,
// STATUS, DTSTART, DTEND, SUMMARY, DESCRIPTION, CLASS, DUE, DURATION, DTSTAMP,
// LOCATION, PRIORITY and SEQUENCE unescaped, as plain ASCII or quoted-
// printable; everything else is dropped. A text the tokenizer refuses gives
// what was written before the refused byte.
class VCalendar2To1 {
public:
    static QByteArray dictionary1ForVCalendar(const QByteArray& text);

    void rewrite(const QByteArray& text);
    const QByteArray& data() const { return _data; }
    // Whether the VERSION value was "2.0" (true before any VERSION).
    bool isVersion20() const { return _isVersion20; }

private:
    void addLine(const QString& name, const QByteArray& value, const QStringList& params);

    QByteArray _data;
    bool _isVersion20 = true;
};
