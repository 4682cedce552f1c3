#include "phone/OrganizerArchive.h"

#include "foundation/NamedLog.h"
#include "phone/DeviceDataManager.h"
#include "phone/DeviceDocument.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerStorageAdapter.h"
#include "phone/PhoneLog.h"
#include "phone/SyncEnvironment.h"
#include "platform/Localization.h"
#include "platform/PropertyList.h"
#include "syncmodel/QVSyncElem.h"
#include "syncmodel/QVSmsElem.h"
#include "syncmodel/QVSyncElemList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char* const kArchiveStorageNames[OrganizerArchive::kTypes] = {"Contacts", "Calendar", "Notes", "Bookmarks",
                                                                    "SMS",      "Events",   "Tasks"};

QVariantList archiveItemsOf(const QVariantMap& storage)
{
    return storage.value(QLatin1String(OrganizerArchive::kItemsKey)).toList();
}

int archiveIndexOfURI(const QVariantList& items, const QString& sourceURI)
{
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i).toMap().value(QLatin1String(OrganizerArchive::kSourceURIKey)).toString() == sourceURI)
            return i;
    }
    return -1;
}

} // namespace

OrganizerArchive::OrganizerArchive(MFDevice& device, SynchronizationFeedbackConsumer* feedback)
    : _mfDevice(device)
    , _feedback(feedback)
{
    if (!_feedback && device.document())
        _feedback = device.document()->synchronizationFeedbackConsumer();
    _mirror = device.mirror();
    if (_mirror)
        _anchorPath = _mirror->getMirrorAnchorPath();
    if (DeviceDataManager* manager = device.dataManager())
        manager->setArchive(this);

    _fileName = pathNameForDeviceSyncData();
    if (!_fileName.isEmpty() && !QFileInfo(_fileName).isFile())
        _fileName.clear();
    _otherDataPath = _anchorPath.isEmpty() ? QString() : QDir(_anchorPath).filePath(QLatin1String(kOtherDataFolder));
    bool withoutWorkingFile = false;
    if (!_otherDataPath.isEmpty()) {
        QDir().mkpath(_otherDataPath);
        if (_fileName.isEmpty() && !device.isHistory()) {
            _fileName = MFDevice::pathToOrganizerArchive(_otherDataPath);
            withoutWorkingFile = true;
        }
        _otherDataHistoryPath = QDir(_otherDataPath).filePath(QLatin1String(kHistoryFolder));
        QDir().mkpath(_otherDataHistoryPath);
    }
    if (_mirror)
        _subTempPath = _mirror->getSubTempPath(QLatin1String(kOtherDataFolder));
    if (!device.isHistory())
        takeCountersFromNewestHistoryFile();
    readOtherData();
    if (withoutWorkingFile) {
        _fileName = pathNameForDeviceSyncData();
        writeOtherDataToFile(kNoBackup);
    }
}

std::unique_ptr<OrganizerArchive> OrganizerArchive::archiveWithDevice(MFDevice& device,
                                                                      SynchronizationFeedbackConsumer* feedback)
{
    if (!device.mirror())
        return nullptr;
    return std::make_unique<OrganizerArchive>(device, feedback);
}

OrganizerArchive::~OrganizerArchive()
{
    saveAllSyncStates();
    if (DeviceDataManager* manager = _mfDevice.dataManager(); manager && manager->archive() == this)
        manager->setArchive(nullptr);
}

void OrganizerArchive::reloadData()
{
    clearLists();
    readOtherData();
}

void OrganizerArchive::checkForArchiveChanges()
{
    if (_archivedChanged)
        writeOtherDataToFile(kAllTypes);
}

void OrganizerArchive::deleteItemInDictionary(QVariantMap& storage, const QString& sourceURI)
{
    QVariantList items = archiveItemsOf(storage);
    const int index = archiveIndexOfURI(items, sourceURI);
    if (index < 0)
        return;
    items.removeAt(index);
    storage.insert(QLatin1String(kItemsKey), items);
}

void OrganizerArchive::replaceItemInDictionary(QVariantMap& storage, const QString& sourceURI, const QVariant& vxData)
{
    QVariantList items = archiveItemsOf(storage);
    const QVariantMap entry{{QLatin1String(kSourceURIKey), sourceURI}, {QLatin1String(kVxDataKey), vxData}};
    const int index = archiveIndexOfURI(items, sourceURI);
    if (index < 0)
        items.append(entry);
    else
        items[index] = entry;
    storage.insert(QLatin1String(kItemsKey), items);
}

QString OrganizerArchive::pathNameForSyncState(int type) const
{
    if (_subTempPath.isEmpty())
        return QString();
    return QDir(_subTempPath).filePath(QStringLiteral("%1%2").arg(QLatin1String(kSyncStatePrefix), dbName(type)));
}

QString OrganizerArchive::pathNameForSyncAnchors() const
{
    return _subTempPath.isEmpty() ? QString() : QDir(_subTempPath).filePath(QLatin1String(kSyncAnchorsFile));
}

QString OrganizerArchive::pathNameForDeviceSyncData() const
{
    if (_mfDevice.isHistory()) {
        const QString current = QFileInfo(_mfDevice.curOrganizerFile()).fileName();
        if (current.isEmpty() || _anchorPath.isEmpty())
            return QString();
        return QStringLiteral("%1/%2/%3/%4")
            .arg(_anchorPath, QLatin1String(kOtherDataFolder), QLatin1String(kHistoryFolder), current);
    }
    const QString working =
        _mirror ? _mirror->getSubTempPath(QLatin1String(kOtherDataFolder)) : QString();
    return working.isEmpty() ? QString() : QDir(working).filePath(QLatin1String(kDeviceDataFile));
}

void OrganizerArchive::revertStorage(int type)
{
    QVSyncElemList* list = storage(type);
    if (!list || _fileName.isEmpty())
        return;
    const QVariant stored = platform::plist::readFile(_fileName);
    const QVariant entry = stored.toMap().value(dbName(type));
    if (stored.typeId() != QMetaType::QVariantMap || entry.typeId() != QMetaType::QVariantMap)
        return;
    list->replaceData(entry.toMap());
}

std::optional<QVariantMap> OrganizerArchive::deviceDataFileStorage(int type) const
{
    if (type < 0 || type >= kHeldTypes || !_deviceData)
        return std::nullopt;
    const QVariant entry = _deviceData->value(dbName(type));
    if (entry.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return entry.toMap();
}

bool OrganizerArchive::isSomethingDirty(bool* canDiscard) const
{
    if (_mfDevice.isHistory())
        return false;
    for (int type = 0; type < kHeldTypes; ++type) {
        QVSyncElemList* list = storage(type);
        if (!list || !list->isDirty())
            continue;
        const bool engineList = list->isSyncEngineList();
        if (!engineList || _mfDevice.syncEnvironment().wantsSyncChangesFromEngine(type)) {
            if (canDiscard)
                *canDiscard = !engineList;
            return true;
        }
    }
    if (canDiscard)
        *canDiscard = true;
    return false;
}

QString OrganizerArchive::whatIsDirty() const
{
    QStringList names;
    for (int type = 0; type < kHeldTypes; ++type) {
        if (QVSyncElemList* list = storage(type); list && list->isDirty())
            names.append(platform::localizedString(dbName(type)));
    }
    return names.join(QStringLiteral(", "));
}

void OrganizerArchive::prepareSyncing(int type)
{
    if (QVSyncElemList* list = storage(type))
        list->prepareSynchronization();
}

void OrganizerArchive::finalizeSyncing(int type, int error)
{
    if (QVSyncElemList* list = storage(type))
        list->finalizeSynchronization(error);
}

void OrganizerArchive::deleteAllInStorage(int type)
{
    if (QVSyncElemList* list = storage(type))
        list->replaceData(QVariantMap());
}

QString OrganizerArchive::dbName(int type)
{
    return type >= 0 && type < kTypes ? QLatin1String(kArchiveStorageNames[type]) : QString();
}

int OrganizerArchive::dbIndexForName(const QString& name)
{
    if (name.isNull())
        return -1;
    for (int type = 0; type < kHeldTypes; ++type) {
        if (name == QLatin1String(kArchiveStorageNames[type]))
            return type;
    }
    return -1;
}

void OrganizerArchive::createEmptyStorage(int type)
{
    if (type < 0 || type >= kTypes)
        return;
    setList(type, QVSyncElemList::fromFileDictionary(std::nullopt, dbName(type), type, &_mfDevice));
}

QVSyncElemList* OrganizerArchive::storage(int type) const
{
    return type >= 0 && type < kTypes ? _storage[type].get() : nullptr;
}

OrganizerStorage* OrganizerArchive::organizerStorage(int type) const
{
    return type >= 0 && type < kHeldTypes ? _adapters[type].get() : nullptr;
}

int OrganizerArchive::elemCount(int type) const
{
    QVSyncElemList* list = storage(type);
    return list ? list->count() : 0;
}

int OrganizerArchive::elemOnDeviceCount(int type) const
{
    QVSyncElemList* list = storage(type);
    if (!list)
        return 0;
    int count = 0;
    for (const QVSyncElemList::Elem& elem : list->allElems()) {
        if (!elem || !elem->isOnDevice())
            continue;
        if (type == 4) {
            const auto* sms = dynamic_cast<const QVSmsElem*>(elem.get());
            if (sms && sms->intBoxIsLocal() != 0)
                continue;
        }
        ++count;
    }
    return count;
}

void OrganizerArchive::removeAllOldObjects(int type)
{
    if (QVSyncElemList* list = storage(type))
        list->removeAllOldObjects();
}

void OrganizerArchive::addSyncCommands(QVCommandArray& commands, int type, bool isFast, int commandType)
{
    if (QVSyncElemList* list = storage(type))
        list->addSyncCommands(commands, isFast, commandType);
}

void OrganizerArchive::removeItemFromCleanUpList(const QString& uri, int type)
{
    if (QVSyncElemList* list = storage(type))
        list->removeItemFromCleanUpList(uri);
}

void OrganizerArchive::importVCards(const QVariantList& texts, int type)
{
    if (QVSyncElemList* list = storage(type))
        list->importVCards(texts);
}

void OrganizerArchive::setList(int type, std::unique_ptr<QVSyncElemList> list)
{
    _adapters[type] = list ? std::make_unique<OrganizerStorageAdapter>(*list) : nullptr;
    _storage[type] = std::move(list);
}

void OrganizerArchive::clearLists()
{
    for (auto& copy : _lastStorage)
        copy.reset();
    for (int type = 0; type < kTypes; ++type)
        setList(type, nullptr);
}

bool OrganizerArchive::refuseWrite(const char* what)
{
    if (!_mfDevice.isHistory())
        return false;
    if (!_refusalLogged) {
        _refusalLogged = true;
        qCWarning(lcPhone) << "organizer archive of a history device writes nothing:" << what;
        QVLOG(qvlog::kXT, QStringLiteral("OrganizerArchive: a history archive is read-only (%1)").arg(QLatin1String(what)));
    }
    return true;
}
