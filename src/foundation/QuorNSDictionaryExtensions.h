#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

// The stored value, or the empty string "" when the key is absent.
QVariant nonNilString(const QVariantMap& dict, const QString& key);

// The value of the first key, in the dictionary's order, that equals the given
// one ignoring case (an exact match gets no preference); invalid when none.
QVariant noCaseObjectForKey(const QVariantMap& dict, const QString& key);

// The indented tree text of a dictionary for logs; the program formats every
// dictionary it writes to a log with this:
//
//   <NSDictionary>:
//       <A> = <NSArray>
//           [0] = x
//       <b> = <NSNumber> 1
//
// Keys are sorted ignoring case; values are shown as in the list tree.
QString formattedDescription(const QVariantMap& dict, int indent = 0);
