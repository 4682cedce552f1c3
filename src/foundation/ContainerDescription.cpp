#include "foundation/ContainerDescription.h"

#include "foundation/ObjectDescription.h"
#include "foundation/QuorNSArrayExtensions.h"
#include "foundation/QuorNSDataExtensions.h"
#include "foundation/QuorNSDictionaryExtensions.h"
#include "platform/Values.h"

QString containerEntryDescription(const QVariant& value, int indent)
{
    switch (value.metaType().id()) {
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return formattedDescription(value.toList(), indent);
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash:
        return formattedDescription(value.toMap(), indent);
    case QMetaType::QByteArray:
        return shortDescription(value.toByteArray());
    default:
        break;
    }
    if (platform::values::isNumber(value))
        return QStringLiteral("<NSNumber> ") + objectDescription(value);
    return objectDescription(value);
}
