#pragma once

#include "platform/SyncChange.h"

#include <QVariantMap>

// A sub-record of the hub: its fields and the entity it belongs to.
inline QVariantMap sub(const QString& entityName, QVariantMap fields)
{
    fields.insert(platform::ISyncRecordEntityNameKey, entityName);
    return fields;
}
