#include "foundation/NoCaseAdOns.h"

namespace {

const QString kGroupsKey = QStringLiteral("Groups");

} // namespace

bool isEqualToSyncEnvironment(const QVariantMap& self, const QVariantMap& other)
{
    for (auto it = self.constBegin(); it != self.constEnd(); ++it) {
        if (it.key() == kGroupsKey)
            continue;
        // Values compare whole: a nested dictionary must equal the other's,
        // its own "Groups" included.
        const auto theirs = other.constFind(it.key());
        if (theirs == other.constEnd() || !theirs->isValid() || *it != *theirs)
            return false;
    }
    return true;
}
