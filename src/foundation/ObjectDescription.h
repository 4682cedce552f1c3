#pragma once

#include <QString>
#include <QVariant>

// The text the program shows for a value in a log line or a message ("%@"):
//   invalid            -> "(null)"
//   string             -> the string
//   bool / number      -> "1" / "0" / the number ("2.5", "42")
//   date-time          -> "2009-03-14 17:05:09 +0100"
//   bytes              -> "<01020304 0506>"
//   list / dictionary  -> the indented tree of formattedDescription()
//   URL                -> its full text
//   anything else      -> QVariant::toString()
QString objectDescription(const QVariant& value);
