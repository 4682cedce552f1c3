#include "sync/SyncPush.h"

#include "sync/SyncLog.h"
#include "syncengine/ISyncSession.h"

#include <QDebug>

namespace syncpush {

int propertyForEntityName(const QString& entityName)
{
    static const struct {
        const char* prefix;
        int property;
    } kPrefixes[] = {
        {"com.apple.contacts.", 0}, {"com.apple.bookmarks.", 3}, {"com.apple.calendars.", 1}, {"com.apple.notes.", 2}};
    for (const auto& entry : kPrefixes) {
        if (entityName.startsWith(QLatin1String(entry.prefix)))
            return entry.property;
    }
    return -1;
}

void collect(platform::ISyncSession& session, const QStringList& entityNames, const AllRecords& allRecords,
             const MoveChanges& moveChanges, QList<PushItem>& outgoing)
{
    for (const QString& name : entityNames) {
        if (!session.shouldPushChangesForEntityName(name))
            continue;
        if (session.shouldPushAllRecordsForEntityName(name)) {
            outgoing.append(allRecords(name));
            moveChanges(name, nullptr);
        } else {
            moveChanges(name, &outgoing);
        }
    }
}

bool send(platform::ISyncSession& session, const QList<PushItem>& outgoing, const PushLogTexts& texts)
{
    if (outgoing.isEmpty())
        return false;
    for (const PushItem& item : outgoing) {
        if (item.change) {
            synclog::xt(texts.change.arg(item.change->recordIdentifier(), fullDescription(*item.change)));
            session.pushChange(*item.change);
        } else if (item.recordId.startsWith(QLatin1String("T-"))) {
            synclog::xt(texts.temporary);
        } else {
            QString recordText;
            QDebug(&recordText) << item.record;
            synclog::xt(texts.record.arg(item.recordId, recordText));
            session.pushChangesFromRecord(item.record, item.recordId);
        }
    }
    return true;
}

QString fullDescription(const platform::SyncChange& change)
{
    QString text;
    text.reserve(1024);
    switch (change.type()) {
    case platform::SyncChange::Add:
        text += QStringLiteral("add record id ");
        break;
    case platform::SyncChange::Modify:
        text += QStringLiteral("modify record id ");
        break;
    case platform::SyncChange::Delete:
        text += QStringLiteral("delete record id ");
        break;
    }
    text += QLatin1Char('\'') + change.recordIdentifier() + QStringLiteral("'\n");
    for (const QVariant& entry : change.changes()) {
        const QVariantMap property = entry.toMap();
        const QString action = property.value(platform::ISyncChangePropertyActionKey).toString();
        const QString name = property.value(platform::ISyncChangePropertyNameKey).toString();
        const auto value = property.constFind(platform::ISyncChangePropertyValueKey);
        if (value == property.cend()) {
            text += QStringLiteral("    %1 %2\n").arg(action, name);
        } else {
            QString valueText = value->toString();
            if (valueText.isEmpty() && value->typeId() != QMetaType::QString)
                QDebug(&valueText).noquote() << *value;
            text += QStringLiteral("    %1 %2 = %3\n").arg(action, name, valueText);
        }
    }
    return text;
}

} // namespace syncpush
