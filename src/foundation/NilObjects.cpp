#include "foundation/NilObjects.h"

void setMaybeNilObject(QVariantMap& self, const QVariant& object, const QString& key)
{
    if (!object.isValid())
        self.remove(key);
    else
        self.insert(key, object);
}
