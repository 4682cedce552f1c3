#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace platform::syncengine {

// A property-list value in the one form the store keeps and compares: string
// lists and hashes become lists and maps, integers qlonglong (qulonglong above
// its range), floating values double, dates UTC in whole seconds. Nothing for
// a value that is no property-list value, nests deeper than 512 or holds text
// XML cannot carry.
std::optional<QVariant> normalizedValue(const QVariant& value);

// A short text of a value for log lines.
QString describeValue(const QVariant& value);

} // namespace platform::syncengine
