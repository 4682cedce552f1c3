#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

// Splitting of vCard and vCalendar files (or a phonebook received as one
// text) into the texts of their single items, by string search.
//
// A file's encoding is its byte-order mark (UTF-16 or UTF-8), else UTF-8 when
// its bytes are valid UTF-8, else Mac OS Roman. Files larger than
// kMaxImportFileSize, missing or unreadable ones, and UTF-16 files that are
// no UTF-16 read as nothing.

inline constexpr qint64 kMaxImportFileSize = 256 * 1024 * 1024;

// True when the file yields at least one item text.
bool hasValidVCardFromFile(const QString& path);
// The item texts, each up to and with its "END:VCALENDAR" (searched first) or
// "END:VCARD"; line breaks between items are dropped. Nullopt when the file
// cannot be read.
std::optional<QStringList> importVCardsFromFile(const QString& path);
// One vCalendar 1.0 text per event or task ("BEGIN:VCALENDAR\r\nVERSION:1.0
// \r\n" + the item + "\r\nEND:VCALENDAR\r\n"); lines between two items belong
// to the second. Nullopt when the file cannot be read.
std::optional<QStringList> importVCalendarFromFile(const QString& path);
// The same splitting as importVCardsFromFile on a text; nullopt for a null one.
std::optional<QStringList> importVCardsFromString(const QString& text);
// One {"SourceURI": "-1", "vx-Data": text} per vCard of the file (items end
// at "END:VCARD"), a 2.1 card written again as 3.0. Nullopt when the file
// cannot be read.
std::optional<QVariantList> importVCardsFromFileToDict(const QString& path);
