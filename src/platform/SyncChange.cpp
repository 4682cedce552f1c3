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

namespace platform {

QVariantMap SyncChange::storedDictionary() const
{
    return {{QStringLiteral("type"), int(m_type)},
            {QStringLiteral("recordIdentifier"), m_recordIdentifier},
            {QStringLiteral("changes"), m_changes}};
}

bool SyncChange::fromStoredDictionary(const QVariant& stored, SyncChange& change)
{
    if (stored.typeId() != QMetaType::QVariantMap)
        return false;
    const QVariantMap dict = stored.toMap();
    bool ok = false;
    const int type = dict.value(QStringLiteral("type")).toInt(&ok);
    const QVariant id = dict.value(QStringLiteral("recordIdentifier"));
    const QVariant changes = dict.value(QStringLiteral("changes"));
    if (!ok || type < Add || type > Delete || id.typeId() != QMetaType::QString
        || (changes.isValid() && changes.typeId() != QMetaType::QVariantList))
        return false;
    change = SyncChange(Type(type), id.toString(), changes.toList());
    return true;
}

} // namespace platform
