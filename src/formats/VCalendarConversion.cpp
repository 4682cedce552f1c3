#include "formats/VCalendarConversion.h"

#include "formats/RecurrenceAlarmValues.h"
#include "formats/VCardReader.h"
#include "foundation/QuorNSStringCompareAdds.h"
#include "platform/SyncChange.h"

#include <QDateTime>

const QStringList& calendarMainSyncItems()
{
    static const QStringList items = {
        platform::ISyncRecordEntityNameKey, QStringLiteral("classification"), QStringLiteral("description"),
        QStringLiteral("original date"),    QStringLiteral("priority"),       QStringLiteral("start date"),
        QStringLiteral("status"),           QStringLiteral("summary"),        QStringLiteral("url"),
        QStringLiteral("all day"),          QStringLiteral("end date"),       QStringLiteral("location"),
        QStringLiteral("floatingGMTDate"),  QStringLiteral("floatingOffset"), QStringLiteral("completion date"),
        QStringLiteral("due date"),         QStringLiteral("detached tasks"), QStringLiteral("due date is date only"),
    };
    return items;
}

VXDictionary vCalendarDictionary2VXDictionary(const QVariantMap& item, const QString& sourceURI)
{
    VXDictionary vx;
    const QString uuid = createQuorvalisPrimaryKey();
    vx.setObject(uuid, VXDictionary::kUUID);
    if (!sourceURI.isNull())
        vx.setObject(sourceURI, VXDictionary::kSourceURI);
    const QVariantList owner{uuid};

    for (const QString& key : calendarMainSyncItems()) {
        const auto found = item.constFind(key);
        if (found == item.cend() || !found->isValid())
            continue;
        QVariant value = *found;
        if (value.typeId() == QMetaType::QString && isTimeString(value.toString())) {
            const QDateTime date = getNSCalendarDateFromT_Time(value.toString());
            if (!date.isValid())
                continue;
            value = date;
        }
        vx.setMainObject(value, key);
    }

    const struct {
        const char* list;
        const QString& entity;
    } lists[] = {{calendarkey::kAudioAlarms, platform::entity::AudioAlarm},
                 {calendarkey::kDisplayAlarms, platform::entity::DisplayAlarm},
                 {calendarkey::kRecurrences, platform::entity::Recurrence}};
    for (const auto& list : lists) {
        const QString listKey = QString::fromLatin1(list.list);
        const QVariantList entries = item.value(listKey).toList();
        if (entries.isEmpty())
            continue;
        QVariantList ids;
        for (const QVariant& entry : entries) {
            const QString id = createQuorvalisPrimaryKey();
            ids.append(id);
            QVariantMap record = entry.toMap();
            const QVariantList params = record.take(VCardDictionary::kParams).toList();
            vx.setRelation(params, listKey, id);
            record.insert(platform::ISyncRecordEntityNameKey, list.entity);
            record.insert(QStringLiteral("owner"), owner);
            vx.setOtherObject(record, id);
        }
        vx.setMainObject(ids, listKey);
    }

    const auto device = item.constFind(VCardDictionary::kDeviceSpecific);
    if (device != item.cend() && device->isValid())
        vx.setObject(*device, VXDictionary::kDeviceItems);
    return vx;
}
