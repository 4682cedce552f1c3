#include "kestrova/vendors/MotorolaSlotLimits.h"

#include "kestrova/core/KitLog.h"

#include <algorithm>

namespace kestrova::vendors {

std::optional<std::pair<int, int>> usableMotorolaSlotRange(const QVariantMap& limits, const QString& what)
{
    bool startOk = false;
    bool endOk = false;
    const int start = limits.value(QStringLiteral("start")).toInt(&startOk);
    const int end = limits.value(QStringLiteral("end")).toInt(&endOk);
    if (!startOk || !endOk || start >= end || start < 0) {
        kestrova::kitLogWith([&] {
            return QStringLiteral("%1: unusable slot limits %2 to %3; not read")
                .arg(what, limits.value(QStringLiteral("start")).toString(),
                     limits.value(QStringLiteral("end")).toString());
        });
        return std::nullopt;
    }
    if (qint64(end) - start + 1 > kMotorolaMaxSlots) {
        kestrova::kitLogWith([&] {
            return QStringLiteral("%1: the phone states slots %2 to %3, more than %4; not read")
                .arg(what)
                .arg(start)
                .arg(end)
                .arg(kMotorolaMaxSlots);
        });
        return std::nullopt;
    }
    return std::pair{start, end};
}

int firstMotorolaRangeEnd(int start, int end, int batchSize)
{
    return int(std::min<qint64>(qint64(start) + batchSize - 1, end));
}

} // namespace kestrova::vendors
