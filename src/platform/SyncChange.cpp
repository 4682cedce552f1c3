#include "platform/SyncChange.h"

#include <utility>

namespace platform {

SyncChange::SyncChange(Type type, QString recordIdentifier, QVariantList changes, QVariantMap record)
    : m_type(type)
    , m_recordIdentifier(std::move(recordIdentifier))
    , m_changes(std::move(changes))
    , m_record(std::move(record))
{
}

QVariantMap SyncChange::propertyChange(const QString& action, const QString& name, const QVariant& value)
{
    QVariantMap change;
    change.insert(ISyncChangePropertyActionKey, action);
    change.insert(ISyncChangePropertyNameKey, name);
    if (value.isValid())
        change.insert(ISyncChangePropertyValueKey, value);
    return change;
}

} // namespace platform
