#pragma once

#include <QString>
#include <QVariantList>

// The indented tree text of a list for logs:
//
//   <NSArray>
//       [0] = x
//       [1] = <NSDictionary>:
//           <key> = <NSNumber> 1
//
// Entries stand four blanks deeper per level (4 * indent + 4 blanks); nested
// lists and dictionaries follow the "=" with their own tree, byte buffers show
// their short dump, numbers "<NSNumber> " and their value.
QString formattedDescription(const QVariantList& list, int indent = 0);
