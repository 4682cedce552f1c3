#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantList>

// Small texts for windows and converters: byte amounts and speeds, durations,
// alarm offsets, file counts and file names. Every phrase is looked up in the
// "Localizable" string table with its English text (format included) as key.
class FormattingUtil {
public:
    // Below 1023 "<n> Bytes"; else divided by 1024 until below 1023, with one
    // decimal: "1.0 KB", "MB", otherwise "GB".
    static QString displayableDataAmount(qint64 bytes);
    // The same with 1000: "<n> Bytes", "KB", "MB", "GB".
    static QString displayableFileSystemDataAmount(qint64 bytes);
    // As displayableDataAmount with "bits", "kbit", "Mbit", "Gbit".
    static QString displayableDataAmountInBits(qint64 bits);
    static QString displayableSpeed(long bytesPerSecond);          // "<amount>/s"
    static QString displayableSpeedInBitsPerSec(long bitsPerSecond);

    // "m:ss", "hh.mm:ss" ("1h.00:00"), "dd hh.mm:ss" ("1d 0h.00:00").
    static QString displayableDuration(long seconds);
    static QString makeTimeString(int seconds);
    // Coarse remaining-time text ("nearly done" ... "more than 2 days").
    static QString makeLooselyTimeString(int seconds);
    static QString makeRemainTimeString(int seconds);             // "Remaining: ..."
    // Alarm offset: "At exact time", "90 minutes before", "3 hours after",
    // "3 days and 2 hours before", ... (negative = before).
    static QString displayableTimeDifference(long seconds);

    static QString fileCount(long count);        // "1 file", "2 files"
    static QString newFilesCount(long count);    // "1 new file", "2 new files"

    // The file-system path of a URL text (null for null).
    static QString PosixPathToFilePath(const QString& url);
    // The file URL text of a path (null for null).
    static QString SystemPathToPosixPath(const QString& path);
    static QString localPathToPreviewFileName(const QString& path);   // "p_<last component>"
    static QString makeMirrorFileName(const QString& name, const QString& serNo);   // "<name>-<serNo>.dzmir"
    static QString makeTempDataFileName(const QString& name, const QString& serNo); // "<name>-<serNo>"

    // printf-style formatting of a (possibly localized) format with values:
    // %d %i %u %ld %lld %lu (with flags '-' and '0' and a width) take an
    // integer, %@ and %s any value (objectDescription()), %% is "%". A
    // specifier without a matching value gives nothing; unknown ones are kept
    // as written, so a faulty translation cannot read beyond the values.
    static QString stringWithFormat(const QString& format, const QVariantList& arguments);
};

// The same calendar day (in the date's own zone) at 12:00:00 UTC; invalid for
// an invalid date.
QDateTime highNoonGMTDate(const QDateTime& date);

// Texts of vCard / vCalendar values: null for an invalid value, a string as
// it is, a date-time in its own zone as "YYYYMMDDTHHMMSS" (no-time form
// "YYYYMMDDT", birthday form "YYYY-MM-DD 12:00:00 +0000"), a URL as its full
// text, anything else as its description.
QString makeStringFromObject(const QVariant& object);
QString makeNoTimeStringFromObject(const QVariant& object);
QString makeBirthdayStringFromObject(const QVariant& object);

// Whether two vCard / vCalendar texts hold the same CRLF-separated lines in any
// order, each line as often in one as in the other. False when either is null.
bool equalVXDataItems(const QString& a, const QString& b);

// "\r", "\t", "\n" become CR, tab, LF; a backslash before any other character
// keeps that character; a backslash at the very end is dropped.
QString expandBackSlashCodes(const QString& text);
