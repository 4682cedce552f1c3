#include "phone/DZDataManager.h"

#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringPathExtensions.h"
#include "jobs/QVAction.h"
#include "jobs/QVActionMachine.h"
#include "links/LinkCodes.h"
#include "phone/DZDirectory.h"
#include "phone/DZFile.h"
#include "phone/OrganizerArchive.h"
#include "syncmodel/QVSyncElemList.h"
#include "phone/DZOrganizerUpdateNotificationReciever.h"
#include "phone/FTPFileLocations.h"
#include "phone/FTPFileSystem.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phone/PhoneFolders.h"
#include "platform/Exception.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

DZDataManager::DZDataManager(MFDevice& device, DZFileJobMakers makers)
    : _mfDevice(device)
    , _makers(std::move(makers))
{
    _organizerDataStatus.fill(dztree::kOutOfDate);
    _directoryTreeRoot = std::static_pointer_cast<DZDirectory>(
        DZDirectoryEntry::speculativeEntryWithName(QStringLiteral("/"), this, true));
    _directoryTreeRoot->setFTPFile(_directoryTreeRoot->ftpFile());
    _idleTimer.setCallback([this] { flushNotifications(); });
}

DZDataManager::~DZDataManager()
{
    _idleTimer.stop();
    if (_directoryTreeRoot)
        _directoryTreeRoot->detachTree();
}

bool DZDataManager::hasChangesForSyncEngine(int organizerType) const
{
    QVSyncElemList* list = _archive ? _archive->storage(organizerType) : nullptr;
    // Asking must not confirm changes a phone session still holds.
    return list && organizerType < OrganizerArchive::kHeldTypes && !list->storedChangesForSyncEngine().isEmpty();
}

OrganizerStorage* DZDataManager::organizerStorage(int organizerType) const
{
    return _archive ? _archive->organizerStorage(organizerType) : nullptr;
}

QString DZDataManager::pathNameForSyncState(int organizerType) const
{
    return _archive ? _archive->pathNameForSyncState(organizerType) : QString();
}

QVSyncElemList* DZDataManager::syncEngineList(int organizerType) const
{
    return _archive && organizerType >= 0 && organizerType < 4 ? _archive->storage(organizerType) : nullptr;
}

QVSyncElemList* DZDataManager::createEmptySyncEngineList(int organizerType)
{
    if (!_archive || organizerType < 0 || organizerType >= 4)
        return nullptr;
    _archive->createEmptyStorage(organizerType);
    return _archive->storage(organizerType);
}

std::optional<QVariantMap> DZDataManager::deviceDataFileStorage(int organizerType) const
{
    return _archive ? _archive->deviceDataFileStorage(organizerType) : std::nullopt;
}

void DZDataManager::setMirror(FilesMirror* mirror)
{
    _mirror = mirror;
    if (_mirror && _directoryTreeRoot)
        _directoryTreeRoot->registerTreeOnMirror();
}

// The tree.

DZDataManager::EntryPtr DZDataManager::getEntry(const QString& path) const
{
    if (!path.startsWith(QLatin1Char('/'))) {
        QVLOG(qvlog::kXT, dztree::kNotAbsoluteFormat.arg(path));
        return nullptr;
    }
    return _directoryTreeRoot->resolveRelativePath(path);
}

DZDataManager::DirPtr DZDataManager::getDirectory(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    EntryPtr entry = getEntry(path);
    if (!entry)
        entry = spekulativeEntryForPath(path, true);
    return entry && entry->isDirectory() ? std::static_pointer_cast<DZDirectory>(entry) : nullptr;
}

DZDataManager::EntryPtr DZDataManager::getFile(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    EntryPtr entry = getEntry(path);
    if (!entry)
        entry = spekulativeEntryForPath(path, false);
    return entry && entry->isFile() ? entry : nullptr;
}

void DZDataManager::invalidateEntry(const QString& path)
{
    if (EntryPtr entry = getEntry(path))
        entry->setStatus(dztree::kOutOfDate);
}

void DZDataManager::makeAllFilesSpeculative()
{
    _directoryTreeRoot->makeAllFilesSpeculative();
    _directoryTreeRoot->setStatus(dztree::kOutOfDate);
}

DZDataManager::Job DZDataManager::createFolders(const QStringList& paths)
{
    if (!_makers.makeFolders)
        return nullptr;
    Job job = _makers.makeFolders(paths, nullptr);
    if (job)
        job->setPriority(1);
    return postActionIfNeccessary(job);
}

DZDataManager::DirPtr DZDataManager::addDirectoryFromDevice(const QString& path)
{
    DirPtr folder = _directoryTreeRoot;
    for (const QString& component : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!dztree::isSafePhoneName(component))
            return nullptr;
        EntryPtr child = folder->entryWithName(component);
        if (!child) {
            child = DZDirectoryEntry::speculativeEntryWithName(component, this, true);
            if (!folder->addEntry(child))
                return nullptr;
        }
        if (!child->isDirectory())
            return nullptr;   // no folder inside a file
        folder = std::static_pointer_cast<DZDirectory>(child);
    }
    return folder;
}

DZDataManager::EntryPtr DZDataManager::addFile(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    if (!dztree::isSafePhoneName(name))
        return nullptr;
    DirPtr folder = addDirectoryFromDevice(slash <= 0 ? QStringLiteral("/") : path.left(slash));
    if (!folder)
        return nullptr;
    if (EntryPtr existing = folder->entryWithName(name))
        return existing->isFile() ? existing : nullptr;
    EntryPtr file = DZDirectoryEntry::speculativeEntryWithName(name, this, false);
    return folder->addEntry(file) ? file : nullptr;
}

void DZDataManager::removeEntryFromDevice(const QString& path)
{
    if (EntryPtr entry = getEntry(path))
        entry->noUpdateDoDelete();
}

void DZDataManager::updateDirectory(const QString& path, const FTPFileList& content)
{
    DirPtr folder = addDirectoryFromDevice(path);
    if (!folder)
        return;
    QSet<const DZDirectoryEntry*> seen;
    QSet<QString> names;
    for (std::shared_ptr<FTPFile> record : content) {
        // A record is answered for by this device (its mirror paths).
        if (record && !record->getMFDevice())
            record = FTPFile::ftpFileWithAttributesAndID(record->fileAttributes(), path, &_mfDevice,
                                                         record->fileID());
        if (!record || record->fileName().isEmpty()) {
            QVLOG(qvlog::kXT, dztree::kNamelessEntryFormat.arg(path));
            continue;
        }
        const QString name = record->fileName();
        if (!dztree::isSafePhoneName(name)) {
            QVLOG(qvlog::kXT, dztree::kUnsafeNameFormat.arg(name, path));
            continue;
        }
        QString key = name;
        key.replace(QLatin1Char('/'), QLatin1Char(':'));
        key = key.toCaseFolded();
        if (names.contains(key)) {
            QVLOG(qvlog::kXT, dztree::kCaseDuplicateFormat.arg(name, path));
            continue;
        }
        names.insert(key);
        EntryPtr child = folder->entryWithName(name);
        if (child && child->status() == dztree::kRemoved)
            continue;
        if (child && child->isDirectory() == record->isDirectory()) {
            if (!child->isCopyingToMobile())
                child->setFTPFile(record);
            seen.insert(child.get());
            continue;
        }
        if (child) {
            folder->noUpdateDoDeleteEntry(child);
            child->setStatus(dztree::kRemoved);
        }
        if (EntryPtr made = DZDirectoryEntry::entryWithFTPFile(record, folder, this))
            seen.insert(made.get());
    }
    for (const EntryPtr& child : folder->entriesNoUpdate()) {
        if (!seen.contains(child.get()))
            child->noUpdateDoDelete();
    }
    folder->setStatus(dztree::kUpToDate);
}

std::shared_ptr<FTPFile> DZDataManager::ftpFileForUniqueID(long uniqueID, const QString& phonePath) const
{
    if (!_mirror || uniqueID == 0)
        return nullptr;
    const std::optional<QVariantMap> entry = _mirror->fileLocations().staticEntryForID(uniqueID);
    if (!entry)
        return nullptr;
    const QVariantMap device = entry->value(QLatin1String(FTPFileLocations::kDeviceEntry)).toMap();
    const qsizetype slash = phonePath.lastIndexOf(QLatin1Char('/'));
    QVariantMap attributes{{QString::fromLatin1(FTPFile::kName), phonePath.mid(slash + 1)},
                           {QString::fromLatin1(FTPFile::kFileTypeKey), 0}};
    for (const char* key : {FTPFile::kSize, FTPFile::kModified}) {
        const QVariant value = device.value(QLatin1String(key));
        if (value.isValid())
            attributes.insert(QLatin1String(key), value);
    }
    const QString folder = slash <= 0 ? QStringLiteral("/") : phonePath.left(slash);
    return FTPFile::ftpFileWithAttributesAndID(attributes, folder, &_mfDevice, uniqueID);
}

void DZDataManager::parseFileSystemDescription(const QVariantMap& description)
{
    for (auto it = description.cbegin(); it != description.cend(); ++it) {
        const QVariant value = it.value();
        const QVariant id = value.typeId() == QMetaType::QVariantMap
                                ? value.toMap().value(QLatin1String(FTPFileSystem::kUniqueID))
                                : value;
        bool ok = false;
        const long uniqueID = long(id.toLongLong(&ok));
        if (!ok)
            continue;
        const QString path = _mfDevice.phoneFolders().externalRepresentation(it.key());
        if (!path.startsWith(QLatin1Char('/')))
            continue;
        if (uniqueID == 0) {
            addDirectoryFromDevice(path);
            continue;
        }
        EntryPtr file = addFile(path);
        if (file && !file->hasRecord())
            file->setFTPFile(ftpFileForUniqueID(uniqueID, path));
    }
}

void DZDataManager::rebuildFromSnapshot(const QVariantMap& fileSystem)
{
    DirPtr old = _directoryTreeRoot;
    _directoryTreeRoot = std::static_pointer_cast<DZDirectory>(
        DZDirectoryEntry::speculativeEntryWithName(QStringLiteral("/"), this, true));
    _directoryTreeRoot->setFTPFile(_directoryTreeRoot->ftpFile());
    if (old)
        old->detachTree();
    parseFileSystemDescription(fileSystem);
    // Every folder of a snapshot is complete: nothing is listed.
    QList<EntryPtr> folders{_directoryTreeRoot};
    while (!folders.isEmpty()) {
        EntryPtr folder = folders.takeLast();
        if (!folder->hasRecord())
            folder->setFTPFile(folder->ftpFile());
        folder->setStatus(dztree::kUpToDate);
        for (const EntryPtr& child : folder->entriesNoUpdate()) {
            if (child->isDirectory())
                folders.append(child);
        }
    }
    postChangeNotificationForDirectoryEntry(_directoryTreeRoot);
}

QString DZDataManager::mirrorFolderForEntry(const DZDirectoryEntry& entry) const
{
    if (!_mirror)
        return QString();
    const QString path = _mirror->getMirrorPath(entry.fullExternalPath());
    return path.isEmpty() ? QString() : QFileInfo(path).path();
}

DZDataManager::EntryPtr DZDataManager::deepestKnownEntryForPath(const QString& path) const
{
    QString cut = path;
    while (!cut.isEmpty()) {
        if (EntryPtr entry = getEntry(cut))
            return entry;
        const qsizetype slash = cut.lastIndexOf(QLatin1Char('/'));
        cut = slash <= 0 ? QStringLiteral("/") : cut.left(slash);
        if (cut == QLatin1String("/"))
            return _directoryTreeRoot;
    }
    return _directoryTreeRoot;
}

DZDataManager::EntryPtr DZDataManager::spekulativeEntryForPath(const QString& path, bool isDirectory)
{
    if (!path.startsWith(QLatin1Char('/')))
        return nullptr;
    QStringList missing;
    QString cut = path;
    EntryPtr known;
    while (!(known = getEntry(cut))) {
        const qsizetype slash = cut.lastIndexOf(QLatin1Char('/'));
        missing.prepend(cut.mid(slash + 1));
        cut = slash <= 0 ? QStringLiteral("/") : cut.left(slash);
    }
    if (!known->isDirectory())
        return nullptr;
    missing.removeAll(QString());
    if (missing.isEmpty())
        return known;
    for (const QString& name : std::as_const(missing)) {
        if (!dztree::isSafePhoneName(name))
            return nullptr;
    }
    auto folder = std::static_pointer_cast<DZDirectory>(known);
    for (qsizetype i = 0; i < missing.size(); ++i) {
        const bool last = i + 1 == missing.size();
        EntryPtr made = DZDirectoryEntry::speculativeEntryWithName(missing.at(i), this, last ? isDirectory : true);
        if (!folder->addEntry(made))
            return nullptr;
        made->update();
        if (last)
            return made;
        folder = std::static_pointer_cast<DZDirectory>(made);
    }
    return nullptr;
}

// Jobs.

DZDataManager::Job DZDataManager::postAction(const Job& job)
{
    if (!job)
        return nullptr;
    if (_mfDevice.addAction(job))
        return job;
    // No pipe takes it (a history device, a phone without file transfer):
    // it ends at once, so that its requester does not wait for it.
    QVLOG(qvlog::kXT, dztree::kNoPipeFormat.arg(job->description()));
    if (auto requester = job->notify())
        requester->didPostAction(*job);
    job->endAction(links::kErrNotConnected);
    return job;
}

DZDataManager::Job DZDataManager::postedActionEqualTo(const Job& job) const
{
    QVActionMachine* machine = _mfDevice.actionMachine();
    return machine && job ? machine->actionEqualTo(job) : nullptr;
}

DZDataManager::Job DZDataManager::postActionIfNeccessary(const Job& job)
{
    if (!job)
        return nullptr;
    if (Job queued = postedActionEqualTo(job)) {
        if (queued->didUpdateActionWithPriorityAndListenerFromAction(*job))
            return queued;
        QVLOG(qvlog::kXT, dztree::kCouldNotUpdateFormat.arg(queued->description(), job->description()));
    }
    return postAction(job);
}

std::shared_ptr<QVActionContainer> DZDataManager::startBackup()
{
    return _makers.startBackup ? _makers.startBackup(*this) : nullptr;
}

std::shared_ptr<QVActionContainer> DZDataManager::startSync()
{
    return _makers.startSync ? _makers.startSync(*this) : nullptr;
}

std::shared_ptr<QVActionContainer> DZDataManager::startSyncRemote()
{
    return _makers.startSyncRemote ? _makers.startSyncRemote(*this) : nullptr;
}

DZDataManager::Job DZDataManager::actionToBackupMobileWithPriority(int priority)
{
    return _makers.backupFiles ? _makers.backupFiles(*this, priority) : nullptr;
}

std::shared_ptr<QVActionContainer> DZDataManager::containerToSyncMobileWithPriority(int priority)
{
    return _makers.syncContainer ? _makers.syncContainer(*this, priority) : nullptr;
}

DZDataManager::Job DZDataManager::updateOrganizerDataOfType(int type, int priority, bool forceSlowSync)
{
    return postAction(actionToUpdateOrganizerDataOfType(type, priority, forceSlowSync));
}

DZDataManager::Job DZDataManager::actionToUpdateOrganizerDataOfType(int type, int priority, bool forceSlowSync)
{
    const int kind = type == 5 || type == 6 ? 1 : type;
    if (!doUseSyncMLForProperty(type) && kind != 0 && kind != 1 && kind != 4)
        throw platform::Exception(dztree::kDatabaseProblem, dztree::kCantAcquireFormat.arg(type));
    if (!_makers.organizerJob)
        return nullptr;
    return _makers.organizerJob(*this, type, priority, forceSlowSync,
                                std::make_shared<DZOrganizerUpdateNotificationReciever>(this));
}

QString DZDataManager::getUpdateOrganizerDefaultDescription(int type)
{
    return _makers.organizerDescription ? _makers.organizerDescription(*this, type) : QString();
}

bool DZDataManager::doUseSyncMLForProperty(int type) const
{
    const auto& description = _mfDevice.syncDescription();
    return description && description->usesSyncMLForProperty(type);
}

// Organizer statuses.

int DZDataManager::statusOfOrganizerType(int type) const
{
    return type >= 0 && type < kOrganizerTypes ? _organizerDataStatus.at(type) : 0;
}

void DZDataManager::setStatusForOrganizerType(int status, int type)
{
    if (type < 0 || type >= kOrganizerTypes)
        return;
    _organizerDataStatus[type] = status;
    postChangeNotificationForOrganizerDataType(type);
}

void DZDataManager::ifNeccessaryResetStatusForOrganizerType(int type)
{
    if (type >= 0 && type < kOrganizerTypes && _organizerDataStatus[type] == dztree::kUpdating)
        _organizerDataStatus[type] = dztree::kOutOfDate;
}

void DZDataManager::didUpdateOrganizerDataOfType(int type)
{
    if (type == 4)
        _mfDevice.smsSynced();
    setStatusForOrganizerType(dztree::kUpToDate, type);
}

void DZDataManager::updateOrganizerDataOfTypeFailed(int type, int error)
{
    Q_UNUSED(type);
    Q_UNUSED(error);
    // The archive's storages learn of failed reads through the sync layer.
}

// Notifications.

void DZDataManager::postNotification(const platform::Notification& notification)
{
    _pending.push_back(notification);
    if (!_idleTimer.isActive())
        _idleTimer.start(0);
}

void DZDataManager::flushNotifications()
{
    const std::vector<platform::Notification> batch = std::exchange(_pending, {});
    for (const platform::Notification& notification : batch)
        platform::NotificationCenter::defaultCenter().post(notification);
}

void DZDataManager::postChangeNotificationForDirectoryEntry(const EntryPtr& entry)
{
    postNotification({dztree::kEntryUpdateNotification, this,
                      {{dztree::kEntryUpdateNotification, QVariant::fromValue(entry)}}});
}

void DZDataManager::postPercentUpdateNotificationForEntry(const EntryPtr& entry, float percent)
{
    postNotification({dztree::kPercentUpdateNotification, entry.get(),
                      {{dztree::kPercentUpdateNotification, QVariant::fromValue(entry)},
                       {dztree::kPercentKey, percent}}});
}

void DZDataManager::postChangeNotificationForOrganizerDataType(int type)
{
    postNotification({dztree::kOrganizerUpdateNotification, this, {{dztree::kOrganizerPropertyKey, type}}});
}

void DZDataManager::listenForDirectoryEntryUpdateNotifications(const void* observer,
                                                               platform::NotificationCenter::Handler handler)
{
    platform::NotificationCenter::defaultCenter().addObserver(observer, dztree::kEntryUpdateNotification, this,
                                                              std::move(handler));
}

void DZDataManager::stopListenForDirectoryEntryUpdateNotifications(const void* observer)
{
    platform::NotificationCenter::defaultCenter().removeObserver(observer, dztree::kEntryUpdateNotification, this);
}

void DZDataManager::listenForPercentUpdateNotifications(const void* observer,
                                                        platform::NotificationCenter::Handler handler,
                                                        const DZDirectoryEntry* entry)
{
    platform::NotificationCenter::defaultCenter().addObserver(observer, dztree::kPercentUpdateNotification, entry,
                                                              std::move(handler));
}

void DZDataManager::stopListeningForPercentUpdateNotifications(const void* observer, const DZDirectoryEntry* entry)
{
    platform::NotificationCenter::defaultCenter().removeObserver(observer, dztree::kPercentUpdateNotification, entry);
}

void DZDataManager::listenForOrganizerDataUpdateNotifications(const void* observer,
                                                              platform::NotificationCenter::Handler handler)
{
    platform::NotificationCenter::defaultCenter().addObserver(observer, dztree::kOrganizerUpdateNotification, this,
                                                              std::move(handler));
}

void DZDataManager::stopListenForOrganizerDataUpdateNotifications(const void* observer)
{
    platform::NotificationCenter::defaultCenter().removeObserver(observer, dztree::kOrganizerUpdateNotification, this);
}
