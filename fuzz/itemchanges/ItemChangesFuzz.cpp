// Pulled desktop changes from arbitrary property lists: a dictionary with
// "property" (0 contacts, else the calendar) and "changes", each
// {"type", "recordIdentifier", "changes", "record"}, applied one by one to a
// list holding a few items, directly and as change records of a session.
// Besides "no crash, no hang, no leak" it checks that an answered record is a
// dictionary with an entity name and that the list's queue reads back from
// its stored form.
#include "ListTestDevice.h"
#include "platform/PropertyList.h"
#include "syncmodel/QVSyncElemList.h"
#include "syncmodel/QVSyncMLChange.h"
#include "syncmodel/QVVCardElem.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using platform::SyncChange;

namespace {

[[noreturn]] void itemChangesFailed(const char* what)
{
    std::fprintf(stderr, "itemchanges fuzzer: %s\n", what);
    std::abort();
}

SyncChange seedAdd(const QString& id, const QVariantMap& record)
{
    QVariantList changes;
    for (auto it = record.cbegin(); it != record.cend(); ++it)
        changes.append(SyncChange::setChange(it.key(), it.value()));
    return SyncChange(SyncChange::Add, id, changes, record);
}

void fillList(QVSyncElemList& list, int property)
{
    namespace entity = platform::entity;
    const QString name = platform::ISyncRecordEntityNameKey;
    if (property == 0) {
        list.processOneSyncEngineChange(seedAdd("Tarnex:C1", {{name, entity::Contact}, {"first name", "Ann"}}), nullptr,
                                        false);
        list.processOneSyncEngineChange(
            seedAdd("Tarnex:P1", {{name, entity::PhoneNumber}, {"contact", QVariantList{"Tarnex:C1"}}, {"value", "1"}}),
            nullptr, false);
        list.processOneSyncEngineChange(seedAdd("Tarnex:C2", {{name, entity::Contact}, {"last name", "Berg"}}), nullptr,
                                        false);
        list.addGroupRelation("G1", "Tarnex:C1");
        list.setTargetGroup("G1");
        list.setEnabledGroups(QStringList{"G1"});
    } else {
        list.processOneSyncEngineChange(seedAdd("Tarnex:E1", {{name, entity::Event}, {"summary", "Meet"}}), nullptr,
                                        false);
        list.processOneSyncEngineChange(
            seedAdd("Tarnex:A1", {{name, entity::DisplayAlarm}, {"owner", QVariantList{"Tarnex:E1"}}}), nullptr,
            false);
        list.processOneSyncEngineChange(seedAdd("Tarnex:T1", {{name, entity::Task}, {"summary", "Do"}}), nullptr,
                                        false);
    }
    if (auto first = list.objectAtIndex_cs(0))
        first->setSourceURI(QStringLiteral("1"));   // one item is on the phone
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    const QVariant root = platform::plist::read(QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                                        qsizetype(size)));
    const QVariantMap top = root.toMap();
    const int property = top.value("property").toInt() == 0 ? 0 : 1;

    ListTestDevice device;
    device.useSyncEngine = true;
    device.fromDevice = !top.value("refuse").toBool();
    device.calendar = QStringLiteral("CAL-1");
    QVSyncElemList list(property, &device);
    fillList(list, property);

    for (const QVariant& entry : top.value("changes").toList()) {
        const QVariantMap map = entry.toMap();
        const int type = map.value("type").toInt();
        if (type < SyncChange::Add || type > SyncChange::Delete)
            continue;
        const SyncChange change(SyncChange::Type(type), map.value("recordIdentifier").toString(),
                                map.value("changes").toList(), map.value("record").toMap());
        (void)list.affectedElemUUID(change);
        (void)list.getCommandType(change);
        (void)list.makeItemFromSyncEngineChange(change);
        bool numberChanged = false;
        const QVariant record = list.processOneSyncEngineChange(change, &numberChanged, map.value("fromSyncML").toBool());
        if (record.isValid()
            && (record.typeId() != QMetaType::QVariantMap
                || record.toMap().value(platform::ISyncRecordEntityNameKey).toString().isEmpty()))
            itemChangesFailed("an answered record has no entity name");
        list.addSyncMLChange(QVSyncMLChange::changeWithParams(
            QVSyncMLChange::kEngineChange, QVariantMap{{"ISyncChange", QVariant::fromValue(change)}}));
    }
    list.processSyncMLChanges();
    (void)list.getAllRecords();
    if (top.value("removeEntity").typeId() == QMetaType::QString)
        list.removeItemsForEntity(top.value("removeEntity").toString());
    if (list.count() > 0)
        list.deleteItemByUser(0);

    const QVariantList stored = list.storedChangesForSyncEngine();
    QVSyncElemList back(property, &device);
    back.fillChangesForSyncEngineFromDict(stored);
    if (back.storedChangesForSyncEngine() != stored)
        itemChangesFailed("the queue does not read back from its stored form");
    (void)list.changesForSyncEngine();
    return 0;
}
