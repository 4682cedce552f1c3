// The change records an item list queues during a phone session and applies
// after it ('adVC' add data, 'chit' a desktop change), and the raw stored
// entries that become such records.
#include "syncmodel/QVSyncElemList.h"

#include "device/QVSyncDeviceDescription.h"
#include "formats/VCalendar2ElemsParser.h"
#include "formats/VCalendarConversion.h"
#include "formats/VCardReader.h"
#include "foundation/NamedLog.h"
#include "syncmodel/ItemListDevice.h"
#include "syncmodel/QVSyncMLChange.h"
#include "syncmodel/SyncModelLog.h"

namespace {

const QString kChangesSourceURI = QStringLiteral("SourceURI");
const QString kChangesSourceParent = QStringLiteral("SourceParent");
const QString kChangesVXData = QStringLiteral("vx-Data");
const QString kChangesItems = QStringLiteral("Items");
const QString kChangesSubitems = QStringLiteral("Subitems");
const QString kChangesEngineChange = QStringLiteral("ISyncChange");

QString changesTextOf(const QVariant& data)
{
    if (data.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(data.toByteArray());
    return data.typeId() == QMetaType::QString ? data.toString() : QString();
}

} // namespace

void QVSyncElemList::addSyncMLChange(const std::shared_ptr<QVSyncMLChange>& change)
{
    if (!change)
        return;
    if (_changesFromDevice.empty())
        _changesFromDevice.reserve(64);
    _changesFromDevice.push_back(change);
}

std::optional<VXDictionary> QVSyncElemList::makeVXDictionaryForVXData(const QVariant& vxData)
{
    const QString text = changesTextOf(vxData);
    if (text.isEmpty())
        return std::nullopt;
    if (_property == 0) {
        const auto cards = elemsForVCard(text);
        if (!cards || cards->isEmpty())
            return std::nullopt;
        return vCardDictionary2VXDictionary(cards->first());
    }
    if (_property == 1 || _property == 5 || _property == 6) {
        const auto description = _device ? _device->syncDescription() : nullptr;
        const auto parsed = elemsForVCalendarString(text, description.get());
        if (!parsed)
            return std::nullopt;
        QVariant item = parsed->map().value(kChangesSubitems).toList().value(0);
        if (!item.isValid() && parsed->map().contains(platform::ISyncRecordEntityNameKey))
            item = parsed->map();
        if (item.typeId() != QMetaType::QVariantMap)
            return std::nullopt;
        return vCalendarDictionary2VXDictionary(item.toMap());
    }
    return std::nullopt;
}

bool QVSyncElemList::processSyncMLChanges()
{
    bool metAddData = false;
    // Applying a record may queue new ones; they wait for the next call.
    std::vector<std::shared_ptr<QVSyncMLChange>> queued;
    queued.swap(_changesFromDevice);
    for (const auto& record : queued) {
        const QVariantMap params = record->params().toMap();
        if (record->command() == QVSyncMLChange::kAddData) {
            metAddData = true;
            const std::optional<VXDictionary> dict = makeVXDictionaryForVXData(params.value(kChangesVXData));
            if (!dict) {
                qCWarning(lcSyncModel) << "QVSyncElemList: an add-data record without readable text is skipped";
                continue;
            }
            addVXDictItem(params.value(kChangesSourceURI).toString(), *dict, true,
                          params.value(kChangesSourceParent).toString());
        } else if (record->command() == QVSyncMLChange::kEngineChange) {
            const QVariant value = params.value(kChangesEngineChange);
            if (value.metaType() != QMetaType::fromType<platform::SyncChange>()) {
                qCWarning(lcSyncModel) << "QVSyncElemList: a change record without a change is skipped";
                continue;
            }
            const auto change = value.value<platform::SyncChange>();
            processOneISyncChange(change);
            addChangeForSyncEngineFromSyncML(change);
        } else {
            qCWarning(lcSyncModel) << "QVSyncElemList: unknown change record" << Qt::hex << record->command();
        }
    }
    recalcUsableItems();
    return metAddData;
}

void QVSyncElemList::mergeItem(const Elem& elem)
{
    if (!elem)
        return;
    QVariant text = elem->vxData();
    if (!text.isValid() && _device)
        text = elem->vxDataForDevice(SyncDeviceLimits::fromProtocol(listProtocol()));
    QVariantMap params{{kChangesSourceURI, elem->sourceURI()}, {kChangesVXData, text}};
    if (!elem->sourceParentURI().isEmpty())
        params.insert(kChangesSourceParent, elem->sourceParentURI());
    addSyncMLChange(QVSyncMLChange::changeWithParams(QVSyncMLChange::kAddData, params));
}

void QVSyncElemList::processOldFashionedItems()
{
    for (const QVariant& entry : std::as_const(_oldFashionedItems)) {
        const QVariantMap map = entry.toMap();
        if (!map.contains(kChangesVXData))
            continue;
        addSyncMLChange(QVSyncMLChange::changeWithParams(
            QVSyncMLChange::kAddData,
            QVariantMap{{kChangesSourceURI, map.value(kChangesSourceURI)}, {kChangesVXData, map.value(kChangesVXData)}}));
    }
    processSyncMLChanges();
    _oldFashionedItems.clear();
}

void QVSyncElemList::addData(const QVariantMap& dict)
{
    const QString protocol = listProtocol();
    const QString device = _listinfo.value(QStringLiteral("SyncML-Device")).toString();
    for (const QVariant& entry : dict.value(kChangesItems).toList()) {
        const Elem elem = elemFromRawEntry(entry, protocol, device);
        if (!elem)
            continue;
        elem->setProperty(_property);
        makeElemMemberOfDefaultGroup(elem);
        addObject(elem);
    }
}
