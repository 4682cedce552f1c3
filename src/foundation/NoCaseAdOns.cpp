#include "foundation/NoCaseAdOns.h"

namespace {

const QString kGroupsKey = QStringLiteral("Groups");

} // namespace

bool isEqualToSyncEnvironment(const QVariantMap& self, const QVariantMap& other)
{
    for (auto it = self.constBegin(); it != self.constEnd(); ++it) {
        if (it.key() == kGroupsKey)
            continue;
        const auto theirs = other.constFind(it.key());
        if (theirs == other.constEnd() || !theirs->isValid())
            return false;
        if (it->metaType().id() == QMetaType::QVariantMap) {
            if (theirs->metaType().id() != QMetaType::QVariantMap
                || !isEqualToSyncEnvironment(it->toMap(), theirs->toMap()))
                return false;
        }
        if (*it != *theirs)
            return false;
    }
    return true;
}
