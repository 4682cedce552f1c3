#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>
#include <utility>

namespace kestrova::vendors {

// The most slots a Motorola read covers.
inline constexpr qint64 kMotorolaMaxSlots = 10000;

// The first and last slot a Motorola read covers, from the limits ("start",
// "end") the phone stated; nullopt, with a log line naming what, when they are
// missing, start below 0, start not below end, or span more than
// kMotorolaMaxSlots slots (a phone stating more would keep a read going for
// hours).
std::optional<std::pair<int, int>> usableMotorolaSlotRange(const QVariantMap& limits, const QString& what);

// The end of the first range of a read from start: one batch, the last slot at
// most (no wrap near the top of the int range).
int firstMotorolaRangeEnd(int start, int end, int batchSize);

} // namespace kestrova::vendors
