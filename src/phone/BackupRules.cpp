#include "phone/BackupRules.h"

#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDescription.h"
#include "links/FTPFile.h"
#include "phone/DeviceDataManager.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerStorage.h"
#include "phone/PhoneFolders.h"

#include <QFileInfo>
#include <algorithm>
#include <climits>

namespace {

const QString kMaskKey = QStringLiteral("Common.BackupOrganizerMask");
const QString kExceptKey = QStringLiteral("Common.BackupExceptSuffixList");

QStringList suffixesOf(const QString& list)
{
    return list.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

} // namespace

BackupRules::BackupRules(MFDevice& device, MediaFormats mediaFormats)
    : _device(device)
    , _mediaFormats(std::move(mediaFormats))
{
}

QString BackupRules::mediaFormat(const char* name) const
{
    return _mediaFormats ? _mediaFormats(QLatin1String(name)) : QString();
}

bool BackupRules::backupEnabled() const
{
    return _device.devInfo()->nonNilBOOLFromDeviceSpec(QStringLiteral("Common.BackupDevice"));
}

void BackupRules::setBackupOrganizerMask(int mask)
{
    _backupOrganizerMask = mask;
    _device.devInfo()->setObject(mask, kMaskKey);
}

void BackupRules::setBackupExceptSuffixList(const QStringList& list)
{
    _backupExceptSuffixList = list;
    _device.devInfo()->setObject(list, kExceptKey);
}

void BackupRules::loadBackupOrganizerMask()
{
    const QVariant stored = _device.devInfo()->objectForKey(kMaskKey);
    bool ok = false;
    const int mask = stored.isValid() ? stored.toInt(&ok) : 0;
    if (ok)
        _backupOrganizerMask = mask;
    else
        setBackupOrganizerMask(kAllOrganizerTypes);
}

void BackupRules::loadBackupExceptSuffixList()
{
    const QVariant stored = _device.devInfo()->objectForKey(kExceptKey);
    if (stored.typeId() == QMetaType::QStringList || stored.typeId() == QMetaType::QVariantList) {
        _backupExceptSuffixList = stored.toStringList();
        return;
    }
    QStringList list = suffixesOf(mediaFormat("AllowedAudioInputFormats"));
    list += suffixesOf(mediaFormat("AllowedVideoFormats"));
    list << QStringLiteral("map") << QLatin1String(kMediaOnly);
    setBackupExceptSuffixList(list);
}

bool BackupRules::isSuffixInExceptionLst(const QString& suffix) const
{
    return !suffix.isEmpty() && _backupExceptSuffixList.contains(suffix, Qt::CaseInsensitive);
}

bool BackupRules::dataCheck(const QString& suffix, const QString& list)
{
    return !suffix.isEmpty() && !list.isEmpty() && suffixesOf(list).contains(suffix, Qt::CaseInsensitive);
}

bool BackupRules::dirNameException(const QString& folderName)
{
    return !folderName.isEmpty() && folderName != QLatin1String("diskcache");
}

bool BackupRules::canBackupFTPDirectory(const PhoneFileEntry& entry)
{
    return entry.isFolder && dirNameException(entry.fileName);
}

bool BackupRules::isMusicWeSyncedOurselves(const PhoneFileEntry& file) const
{
    const QString synced = _device.phoneFolders().getITunesFolderSyncPath();
    return !synced.isEmpty() && file.fullPath.startsWith(synced);
}

bool BackupRules::wantsToBackup(const PhoneFileEntry* entry) const
{
    if (!entry)
        return false;
    if (entry->isFolder)
        return canBackupFTPDirectory(*entry);
    if (isMusicWeSyncedOurselves(*entry))
        return false;
    const QString suffix = QFileInfo(entry->fileName).suffix();
    if (isSuffixInExceptionLst(suffix))
        return false;
    if (!_backupExceptSuffixList.contains(QLatin1String(kMediaOnly)))
        return true;
    for (const char* formats : {"AllowedAudioInputFormats", "AllowedPictureInputFormats", "AllowedVideoFormats"}) {
        if (dataCheck(suffix, mediaFormat(formats)))
            return true;
    }
    return suffix.compare(QLatin1String("map"), Qt::CaseInsensitive) == 0;
}

bool BackupRules::maskIncludes(int organizerType) const
{
    if (organizerType == -1)
        return _backupOrganizerMask != 0;
    return organizerType >= 0 && organizerType < 32 && (_backupOrganizerMask & (1 << organizerType)) != 0;
}

int BackupRules::maxContacts() const
{
    const MFDeviceInfo& info = *_device.devInfo();
    const QString own = info.nonNilStringFromDeviceSpec(QStringLiteral("Common.SyncMaxContacts"));
    const long count = own.isEmpty() ? info.nonNilValueFromDeviceSpec(QStringLiteral("Dorvanti.SyncMaxContacts"))
                                     : own.trimmed().toLong();
    return count <= 0 ? kDefaultMaxContacts : int(std::min<long>(count, INT_MAX));
}

QStringList BackupRules::getRestoreActions() const
{
    QStringList actions;
    actions.reserve(12);
    if (_device.canDoFileSystemServices()) {
        actions << QStringLiteral("RestCopyMusic") << QStringLiteral("RestCopyPictures")
                << QStringLiteral("RestCopyRingtones") << QStringLiteral("RestCopyVideos");
        if (!_device.phoneFolders().getCameraPhotosFolderPath(false).isEmpty())
            actions << QStringLiteral("RestCopyCameraPhotos") << QStringLiteral("RestCopyCameraVideos");
        actions << QStringLiteral("RestCopyThemes") << QStringLiteral("RestCopyUserFiles");
    }
    const auto& description = _device.syncDescription();
    if (_device.canDoSerialSyncServices() && description) {
        if (description->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncContacts")))
            actions << QStringLiteral("RestSyncContacts");
        if (description->hasCalendar())
            actions << QStringLiteral("RestSyncCalendar");
        if (description->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncBookmarks")))
            actions << QStringLiteral("RestSyncBookmarks");
        if (description->nonNilBOOLFromDescription(QStringLiteral("SyncML.syncNotes")))
            actions << QStringLiteral("RestSyncNotes");
    }
    return actions;
}

void BackupRules::restoreTrashElems(const QList<TrashedItem*>& items) const
{
    DeviceDataManager* manager = _device.dataManager();
    if (!manager)
        return;
    bool took[2] = {false, false};
    for (TrashedItem* item : items) {
        const int type = item ? item->organizerType() : -1;
        if (type != 0 && type != 1)
            continue;
        OrganizerStorage* storage = manager->organizerStorage(type);
        if (!storage)
            continue;
        item->setSourceURI(QString());
        if (storage->replaceItem(*item))
            took[type] = true;
    }
    for (int type = 0; type < 2; ++type) {
        if (took[type])
            manager->organizerStorage(type)->recalcUsableItems();
    }
}

void BackupRules::useLastOrganizerState() const
{
    DeviceDataManager* manager = _device.dataManager();
    for (int type = 0; manager && type < 5; ++type) {
        if (OrganizerStorage* storage = manager->organizerStorage(type))
            storage->useLastState();
    }
}

PhoneFileEntry PhoneFileEntry::of(const FTPFile& file)
{
    return {file.fileName(), file.fullPath(), file.isDirectory()};
}
