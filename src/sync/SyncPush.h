#pragma once

#include "platform/SyncChange.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace platform {
class ISyncSession;
}

// The push into a hub session that the sync clients share: which organizer
// property an entity belongs to, the choice of what goes out per entity and
// the sending itself.
namespace syncpush {

// By the entity name's prefix, in this order: "com.apple.contacts." 0,
// "com.apple.bookmarks." 3, "com.apple.calendars." 1, "com.apple.notes." 2,
// anything else -1.
int propertyForEntityName(const QString& entityName);

// One pending item: a change, or a whole record under its id.
struct PushItem {
    std::optional<platform::SyncChange> change;
    QString recordId;
    QVariantMap record;

    // The change's record id, else recordId.
    QString identifier() const { return change ? change->recordIdentifier() : recordId; }
};

// The log lines of a client's push: change ("%1" record id, "%2" its
// description), record ("%1" id, "%2" record) and the skipped temporary id.
struct PushLogTexts {
    QString change;
    QString record;
    QString temporary;
};

// What a client hands over for one entity name.
using AllRecords = std::function<QList<PushItem>(const QString& entityName)>;
// Moves the entity's pending items to target (or drops them: no target).
using MoveChanges = std::function<void(const QString& entityName, QList<PushItem>* target)>;

// For each entity the session wants pushed, in order: every record (the
// entity's pending items are then dropped), when the session wants all of
// them; else the entity's pending items. Appended to outgoing.
void collect(platform::ISyncSession& session, const QStringList& entityNames, const AllRecords& allRecords,
             const MoveChanges& moveChanges, QList<PushItem>& outgoing);

// Sends the items in order; a record whose id begins "T-" is not yet known to
// the hub and is skipped. Answers whether there was anything to send.
bool send(platform::ISyncSession& session, const QList<PushItem>& outgoing, const PushLogTexts& texts);

// A change as one debug text: "add record id 'x'\n" and a line per property.
QString fullDescription(const platform::SyncChange& change);

} // namespace syncpush
