#include "foundation/NoCaseAdOns2.h"

#include "foundation/QuorNSStringCompareAdds.h"

void setNoCaseObject(QVariantMap& self, const QVariant& object, const QString& key)
{
    for (auto it = self.begin(); it != self.end(); ++it) {
        if (isNoCaseEqualToString(it.key(), key)) {
            it.value() = object;
            return;
        }
    }
    self.insert(key, object);
}
