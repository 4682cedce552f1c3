#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Property lists as QVariant:
//   dict -> QVariantMap, array -> QVariantList, string -> QString,
//   integer -> qlonglong (quint64 above the signed range), real -> double,
//   true/false -> bool, date -> QDateTime (UTC), data -> QByteArray.
// Reading accepts the XML form and the binary form ("bplist00"). A malformed
// or truncated document is an error: the result is an invalid QVariant and
// *error says why; a partial value is never returned.
// Limits: nesting deeper than 512 containers is an error. The XML form may
// not declare entities of its own, and a reference to an unknown entity is
// an error. The binary form is read by libplist 2.2 behind a structure check
// that refuses what that version cannot read safely or right (cycles,
// objects, strings or data shared so often that the tree would dwarf the
// file, strings holding NUL or lone surrogates, 16-byte integers outside 64
// bits); a keyed-archiver UID reads as {"CF$UID": n}; binary dates outside
// 1932-12-13 .. 2069-01-19 are an error.
namespace platform::plist {

QVariant read(const QByteArray& bytes, QString* error = nullptr);

// Where a file lies. Either way only a regular file is read (a folder, FIFO
// or device is an error, never a wait), and only up to a size. On a phone's
// removable volume a symbolic link is refused, not followed, and the size
// limit is small: the files kept there are markers of a few hundred bytes.
enum class FileOrigin { Local, RemovableVolume };
QVariant readFile(const QString& path, QString* error = nullptr, FileOrigin origin = FileOrigin::Local);

// The XML form the desktop platform writes (with its DOCTYPE, tab-indented).
// Also accepted: QVariantHash (keys sorted), QStringList, any integer or
// floating type, QDateTime (written in UTC, whole seconds, years 1-9999).
// Values of other QVariant types, an invalid QVariant, and strings or keys
// holding characters XML 1.0 cannot carry (NUL, most control characters, lone
// surrogates) are an error (empty result).
QByteArray toXml(const QVariant& value, QString* error = nullptr);

// Whether XML 1.0 can carry the text: no NUL, no control characters but tab,
// line feed and carriage return, no lone surrogates, no U+FFFE or U+FFFF.
bool isXmlText(const QString& text);

// toXml() written with writeFileAtomically().
bool writeFile(const QString& path, const QVariant& value, QString* error = nullptr);

} // namespace platform::plist
