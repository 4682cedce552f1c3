#pragma once

#include <QString>
#include <QStringList>

// Compares the versions of the update feed with the running program's: runs
// of digits compare as numbers, other runs as text (case-sensitive), each "."
// is a part of its own. There is no updater on this platform; the comparison
// stands ready for one.
namespace appcast {

enum class PartKind { Number = 0, Text = 1, Separator = 2 };

// The kind of a part, by its first character ("." alone is a separator).
PartKind typeOfCharacter(const QString& part);
// "1.10b3" -> 1 . 10 b 3; "1..2" -> 1 . . 2; "" -> nothing.
QStringList splitVersionString(const QString& version);
// -1 when a is older than b, 0 when they are the same, 1 when a is newer.
int compareVersion(const QString& a, const QString& b);

} // namespace appcast
