#include "phone/DZDirectoryEntry.h"

#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringPathExtensions.h"
#include "jobs/JobCodes.h"
#include "jobs/QVAction.h"
#include "links/FTPFile.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/DZEntryTexts.h"
#include "phone/DZFile.h"
#include "phone/DZJobTraits.h"
#include "phone/FTPFileSystem.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "platform/Exception.h"
#include "platform/Localization.h"

#include <QFileInfo>
#include <QHash>

namespace {

// The live entries by identity, for drag references.
QHash<quintptr, std::weak_ptr<DZDirectoryEntry>>& liveEntries()
{
    static QHash<quintptr, std::weak_ptr<DZDirectoryEntry>> live;
    return live;
}

bool jobWantsProgress(QVAction& action)
{
    if (auto* job = dynamic_cast<DZProgressJob*>(&action))
        return job->doesActionWantProgress();
    QVLOG(qvlog::kXT, dztree::kNoProgressAnswer);
    return false;
}

} // namespace

DZDirectoryEntry::DZDirectoryEntry(const QString& name, DZDataManager* manager) : _manager(manager), _name(name) {}

DZDirectoryEntry::~DZDirectoryEntry()
{
    liveEntries().remove(reinterpret_cast<quintptr>(this));
}

void DZDirectoryEntry::registerLive(const Ptr& entry)
{
    liveEntries().insert(reinterpret_cast<quintptr>(entry.get()), entry);
}

DZDirectoryEntry::Ptr DZDirectoryEntry::entryWithFTPFile(const std::shared_ptr<FTPFile>& file,
                                                         const std::shared_ptr<DZDirectory>& parent,
                                                         DZDataManager* manager)
{
    if (!file)
        return nullptr;
    Ptr entry = speculativeEntryWithName(file->fileName(), manager, file->isDirectory());
    if (parent && !parent->addEntry(entry))
        return nullptr;
    entry->setFTPFile(file);
    return entry;
}

DZDirectoryEntry::Ptr DZDirectoryEntry::speculativeEntryWithName(const QString& name, DZDataManager* manager,
                                                                 bool isDirectory)
{
    Ptr entry = isDirectory ? Ptr(std::make_shared<DZDirectory>(name, manager))
                            : Ptr(std::make_shared<DZFile>(name, manager));
    registerLive(entry);
    return entry;
}

DZDirectoryEntry::Ptr DZDirectoryEntry::entryFromTreeNode(const QVariantMap& node,
                                                          const std::shared_ptr<DZDirectory>& parent,
                                                          DZDataManager* manager)
{
    const QVariant name = node.value(dztree::kName);
    const QVariant isDirectory = node.value(dztree::kIsDirectory);
    if (name.typeId() != QMetaType::QString || !dztree::isSafePhoneName(name.toString())
        || isDirectory.typeId() != QMetaType::Bool)
        return nullptr;
    Ptr entry = speculativeEntryWithName(name.toString(), manager, isDirectory.toBool());
    const QVariant label = node.value(dztree::kEtikette);
    if (label.canConvert<qulonglong>() && label.isValid())
        entry->_etikette = unsigned(label.toULongLong());
    const QVariant attributes = node.value(dztree::kCustomAttributes);
    if (attributes.typeId() == QMetaType::QVariantMap)
        entry->_customAttributes = attributes.toMap();
    if (parent && !parent->addEntry(entry))
        return nullptr;
    entry->_ftpFile = entry->ftpFile();
    return entry;
}

bool DZDirectoryEntry::isSpeculative() const
{
    return !_ftpFile || _status == dztree::kRemoved;
}

bool DZDirectoryEntry::isChildOf(const DZDirectoryEntry& entry) const
{
    const QString path = entry.fullExternalPath();
    for (auto up = _parent; up; up = up->parent()) {
        if (up->fullExternalPath() == path)
            return true;
    }
    return false;
}

bool DZDirectoryEntry::hasMirrorFile() const
{
    return ftpFile()->hasMirrorFile();
}

bool DZDirectoryEntry::isReadable() const
{
    return ftpFile()->isReadable();
}

bool DZDirectoryEntry::isWriteable() const
{
    return ftpFile()->isWriteable();
}

QString DZDirectoryEntry::fsType() const
{
    return ftpFile()->fsType();
}

QDateTime DZDirectoryEntry::calendarDate() const
{
    QString text = ftpFile()->modificationDate();
    if (text.endsWith(QLatin1Char('Z')))
        text.chop(1);
    return QDateTime::fromString(text, QStringLiteral("yyyyMMdd'T'HHmmss"));
}

bool DZDirectoryEntry::isGhostFile() const
{
    return _isGhostFile || (_ftpFile && _ftpFile->isGhostFile());
}

MFDevice* DZDirectoryEntry::getMFDevice() const
{
    return _manager ? _manager->getMFDevice() : nullptr;
}

QString DZDirectoryEntry::fullExternalPath() const
{
    if (!_parent)
        return _name;
    return stringByConcatenatingPathComponents(_parent->fullExternalPath(), _name);
}

QString DZDirectoryEntry::getMirrorPath() const
{
    MFDevice* device = getMFDevice();
    if (!device)
        return QString();
    if (device->isHistoryDevice())
        return ftpFile()->localPath();
    FilesMirror* mirror = _manager->mirror();
    return mirror ? mirror->getMirrorPath(fullExternalPath()) : QString();
}

std::shared_ptr<FTPFile> DZDirectoryEntry::ftpFile() const
{
    if (_ftpFile)
        return _ftpFile;
    if (_name.isEmpty())
        throw platform::Exception(dztree::kInternalInconsistency, dztree::kFakeBeforeName);
    const QVariantMap attributes{{QString::fromLatin1(FTPFile::kName), _name},
                                 {QString::fromLatin1(FTPFile::kFileTypeKey), isDirectory()},
                                 {QString::fromLatin1(FTPFile::kUserPerm), dztree::kUserPermRW}};
    const QString folder = _parent ? _parent->fullExternalPath() : _name;
    return FTPFile::ftpFileWithAttributes(attributes, folder, getMFDevice());
}

DZDirectoryEntry::Ptr DZDirectoryEntry::resolveRelativePath(const QString& path)
{
    return path.isEmpty() ? shared_from_this() : nullptr;
}

QString DZDirectoryEntry::displayableSize() const
{
    return dztree::displayableSize(ftpFile()->fileSize());
}

QString DZDirectoryEntry::formattedModificationDate() const
{
    return dztree::formattedModificationDate(ftpFile()->modificationDate());
}

QString DZDirectoryEntry::getImageExtension() const
{
    return dztree::imageExtension(ftpFile()->fileType(), _name);
}

QImage DZDirectoryEntry::iconImageOfSize(int size) const
{
    return dztree::iconImage(getImageExtension(), size, _status == dztree::kUpToDate);
}

unsigned DZDirectoryEntry::getFinderEtikette()
{
    if (_etikette == kLabelUnread) {
        FilesMirror* mirror = _manager ? _manager->mirror() : nullptr;
        const QVariant stored = mirror ? mirror->getFinderInfoDictForPath(fullExternalPath())
                                             .value(QLatin1String(FTPFileSystem::kFndrEtikete))
                                       : QVariant();
        _etikette = stored.isValid() ? unsigned(stored.toUInt()) & 7u : 0;
    }
    return _etikette;
}

void DZDirectoryEntry::setFinderEtikette(unsigned label)
{
    _etikette = label & 7u;
    FilesMirror* mirror = _manager ? _manager->mirror() : nullptr;
    if (!mirror)
        return;
    const QString path = fullExternalPath();
    QVariantMap info = mirror->getFinderInfoDictForPath(path);
    info.insert(QLatin1String(FTPFileSystem::kFndrEtikete), _etikette);
    mirror->setFinderInfoDictForPath(info, path);
}

QColor DZDirectoryEntry::getEtiketColor(unsigned label)
{
    return dztree::etiketColor(label);
}

QVariantMap DZDirectoryEntry::toDictionary() const
{
    return {{dztree::kName, _name},
            {dztree::kIsDirectory, isDirectory()},
            {dztree::kEtikette, qulonglong(_etikette)},
            {dztree::kCustomAttributes, _customAttributes}};
}

QString DZDirectoryEntry::attributedInspectorStringForDirectoryEntry() const
{
    const auto line = [](const char* key, const QString& value) {
        return QStringLiteral("<b>%1</b>%2<br>")
            .arg(platform::localizedString(QLatin1String(key)).toHtmlEscaped(), value.toHtmlEscaped());
    };
    return line("Name: ", _name) + line("Type: ", fsType()) + line("Size: ", displayableSize())
           + line("Modified: ", formattedModificationDate());
}

QVariantMap DZDirectoryEntry::getRefPtr() const
{
    return {{dztree::kRefPtrKey, qulonglong(reinterpret_cast<quintptr>(this))}};
}

DZDirectoryEntry::Ptr DZDirectoryEntry::getFromRef(const QVariant& reference)
{
    if (reference.typeId() != QMetaType::QVariantMap)
        return nullptr;
    const QVariant number = reference.toMap().value(dztree::kRefPtrKey);
    if (!number.isValid())
        return nullptr;
    bool ok = false;
    const qulonglong identity = number.toULongLong(&ok);
    if (!ok)
        return nullptr;
    return liveEntries().value(quintptr(identity)).lock();
}

// Jobs: the base refuses what only folders or files do.

DZDirectoryEntry::Job DZDirectoryEntry::actionToUpdateWithPriority(int priority)
{
    Q_UNUSED(priority);
    return nullptr;
}

DZDirectoryEntry::Job DZDirectoryEntry::actionToUpdateWholeSubtreeWithPriority(int priority, bool force)
{
    Q_UNUSED(priority);
    Q_UNUSED(force);
    return nullptr;
}

DZDirectoryEntry::Job DZDirectoryEntry::actionCopyToMacDirectory(const QString& macFolder, int priority)
{
    Q_UNUSED(macFolder);
    Q_UNUSED(priority);
    return nullptr;
}

DZDirectoryEntry::Job DZDirectoryEntry::actionCopyToMobileFromMacPath(const QString& macPath,
                                                                      std::shared_ptr<QVPreprocessAction> pre,
                                                                      int priority)
{
    Q_UNUSED(macPath);
    Q_UNUSED(pre);
    Q_UNUSED(priority);
    return nullptr;
}

DZDirectoryEntry::Job DZDirectoryEntry::actionToMakeFolderWithName(const QString& name, int priority)
{
    Q_UNUSED(name);
    Q_UNUSED(priority);
    return nullptr;
}

DZDirectoryEntry::Job DZDirectoryEntry::actionToDeleteWithPriority(int priority)
{
    Q_UNUSED(priority);
    if (_status != dztree::kRemoved)
        _statusBeforeDelete = _status;
    setStatus(dztree::kRemoved);
    postChangeForParent();
    return nullptr;
}

void DZDirectoryEntry::logRefusedStatus(const char* operation) const
{
    QVLOG(qvlog::kXT, dztree::kRefusedStatusFormat.arg(_name, QLatin1String(operation)));
}

void DZDirectoryEntry::postChangeForParent() const
{
    if (_parent && _manager)
        _manager->postChangeNotificationForDirectoryEntry(_parent);
}

DZDirectoryEntry::Job DZDirectoryEntry::updateWithPriority(int priority)
{
    if (_status == dztree::kRemoved)
        return nullptr;
    return _manager->postActionIfNeccessary(actionToUpdateWithPriority(priority));
}

DZDirectoryEntry::Job DZDirectoryEntry::copyToMacDirectory(const QString& macFolder)
{
    if (_status == dztree::kRemoved)
        return nullptr;
    return _manager->postActionIfNeccessary(actionCopyToMacDirectory(macFolder, 1));
}

DZDirectoryEntry::Job DZDirectoryEntry::copyToMirror()
{
    if (isFile() && hasMirrorFile())
        return nullptr;
    return copyToMacDirectory(_manager->mirrorFolderForEntry(*this));
}

DZDirectoryEntry::Job DZDirectoryEntry::copyToMobile(const QString& macPath, std::shared_ptr<QVPreprocessAction> pre)
{
    if (_status != dztree::kUpToDate) {
        logRefusedStatus("copyToMobile");
        return nullptr;
    }
    return _manager->postActionIfNeccessary(actionCopyToMobileFromMacPath(macPath, std::move(pre), 1));
}

DZDirectoryEntry::Job DZDirectoryEntry::makeFolder(const QString& name)
{
    if (_status != dztree::kUpToDate) {
        logRefusedStatus("makeFolder");
        return nullptr;
    }
    if (entryWithName(name))
        return nullptr;
    return _manager->postActionIfNeccessary(actionToMakeFolderWithName(name, 1));
}

DZDirectoryEntry::Job DZDirectoryEntry::deleteEntry()
{
    if (isDirectory() && _status != dztree::kUpToDate) {
        logRefusedStatus("delete");
        return nullptr;
    }
    return _manager->postActionIfNeccessary(actionToDeleteWithPriority(1));
}

DZDirectoryEntry::Job DZDirectoryEntry::copyToDirectory(const Ptr& target)
{
    if (!target || !target->isDirectory() || target->status() != dztree::kUpToDate) {
        logRefusedStatus("copyToDirectory");
        return nullptr;
    }
    if (isDirectory() && _status != dztree::kUpToDate) {
        logRefusedStatus("copyToDirectory");
        return nullptr;
    }
    if (!_manager->fileJobs().sequence)
        return nullptr;
    QList<Job> jobs;
    if (Job toMirror = actionCopyToMacDirectory(_manager->mirrorFolderForEntry(*this), 1))
        jobs.append(toMirror);
    if (Job intoTarget = target->actionCopyToMobileFromMacPath(getMirrorPath(), nullptr, 1))
        jobs.append(intoTarget);
    Job group = _manager->fileJobs().sequence(jobs);
    if (group)
        group->setPriority(1);
    return _manager->postActionIfNeccessary(group);
}

DZDirectoryEntry::Job DZDirectoryEntry::moveToDirectory(const Ptr& target)
{
    if (!target || target.get() == this || target == _parent || target->isChildOf(*this)) {
        logRefusedStatus("moveToDirectory");
        return nullptr;
    }
    Job copy = copyToDirectory(target);
    if (!copy)
        return nullptr;
    deleteEntry();
    return copy;
}

// Requester.

void DZDirectoryEntry::didPostAction(QVAction& action)
{
    ++_countOfJobs;
    if (jobWantsProgress(action)) {
        ++_countOfJobsWithProgress;
        _jobsWithProgress.insert(&action);
        setStatus(dztree::kUpdating);
    }
}

bool DZDirectoryEntry::startAction(QVAction& action)
{
    Q_UNUSED(action);
    return true;
}

bool DZDirectoryEntry::processAction(QVAction& action, float percent)
{
    Q_UNUSED(action);
    if (_manager)
        _manager->postPercentUpdateNotificationForEntry(shared_from_this(), percent);
    return true;
}

void DZDirectoryEntry::endAction(QVAction& action, int err)
{
    if (err == jobcodes::kSuspended)
        return;
    auto keepAlive = shared_from_this();
    if (_countOfJobs == 0) {
        QVLOG(qvlog::kXT, dztree::kNoJobInProgress);
        return;
    }
    --_countOfJobs;
    if (_jobsWithProgress.remove(&action) && _countOfJobsWithProgress > 0)
        --_countOfJobsWithProgress;
    removeIfSpeculativeBecameUnneccessary();
    if (shouldResetStatusOnError(err))
        resetStatus();
}

// Callbacks of the file jobs.

void DZDirectoryEntry::copyJobWillFinish()
{
    if (!_ftpFile)
        setFTPFile(ftpFile());
}

void DZDirectoryEntry::copyToMobileFailed()
{
    _ftpFile.reset();
}

void DZDirectoryEntry::copyToMacFinished()
{
    copyJobWillFinish();
    if (FilesMirror* mirror = _manager ? _manager->mirror() : nullptr)
        mirror->deliveredFile(fullExternalPath(), getMirrorPath());
    setStatus(dztree::kUpToDate);
}

void DZDirectoryEntry::copyToMobileFinishedWithPriority(int priority)
{
    copyJobWillFinish();
    setStatus(dztree::kUpToDate);
    if (_parent)
        _parent->updateWithPriority(priority);
}

void DZDirectoryEntry::deleteFailed()
{
    if (_parent)
        _parent->setStatus(dztree::kOutOfDate);
    if (_status == dztree::kRemoved)
        _status = dztree::kOutOfDate;
}

void DZDirectoryEntry::deleteNotStarted()
{
    if (_status != dztree::kRemoved)
        return;
    _status = _statusBeforeDelete;
    if (_manager)
        _manager->postChangeNotificationForDirectoryEntry(shared_from_this());
    postChangeForParent();
}

void DZDirectoryEntry::noUpdateDoDelete()
{
    auto keepAlive = shared_from_this();
    if (isSpeculative() && _status != dztree::kRemoved && !canRemoveSpeculative()) {
        if (_countOfJobs > 0)
            QVLOG(qvlog::kXT, dztree::kRemoveWithJobsFormat.arg(_countOfJobs));
        return;
    }
    if (_countOfJobs > 0) {
        QVLOG(qvlog::kXT, dztree::kRemoveWithJobsFormat.arg(_countOfJobs));
        return;
    }
    if (isDirectory()) {
        for (const Ptr& child : entriesNoUpdate())
            child->noUpdateDoDelete();
    }
    const QString path = fullExternalPath();
    setStatus(dztree::kRemoved);
    if (_parent)
        _parent->noUpdateDoDeleteEntry(keepAlive);
    if (FilesMirror* mirror = _manager ? _manager->mirror() : nullptr)
        mirror->filesDeleted(path);
}

void DZDirectoryEntry::makeAllFilesSpeculative()
{
    _ftpFile.reset();
    setStatus(dztree::kOutOfDate);
}

void DZDirectoryEntry::registerOnMirror()
{
    FilesMirror* mirror = _manager ? _manager->mirror() : nullptr;
    if (mirror && _ftpFile)
        mirror->registerFileOnDevice(*_ftpFile);
}

void DZDirectoryEntry::setFTPFile(const std::shared_ptr<FTPFile>& file)
{
    _ftpFile = file;
    if (file) {
        _isGhostFile = false;
        registerOnMirror();
    }
}

void DZDirectoryEntry::wasUpdated()
{
    setStatus(dztree::kUpToDate);
}

void DZDirectoryEntry::resetStatus()
{
    setStatus(dztree::kOutOfDate);
}

bool DZDirectoryEntry::dontChangeToNewStatus(int status) const
{
    if (_countOfJobsWithProgress > 0 && (status == dztree::kOutOfDate || status == dztree::kUpToDate))
        return true;
    return _countOfJobs > 0 && _status == dztree::kRemoved;
}

void DZDirectoryEntry::setStatus(int status)
{
    const bool silent = status == _status && status != dztree::kUpToDate && status != dztree::kRemoved;
    if (dontChangeToNewStatus(status))
        return;
    _status = status;
    if (!silent && _manager)
        _manager->postChangeNotificationForDirectoryEntry(shared_from_this());
}

bool DZDirectoryEntry::shouldResetStatusOnError(int code) const
{
    return code != 0 && _countOfJobs == 0 && _status == dztree::kUpdating;
}

bool DZDirectoryEntry::canRemoveSpeculative() const
{
    return isSpeculative() && _countOfJobs == 0;
}

void DZDirectoryEntry::removeIfSpeculativeBecameUnneccessary()
{
    if (!canRemoveSpeculative() || !_parent)
        return;
    auto parent = _parent;
    noUpdateDoDelete();
    parent->removeIfSpeculativeBecameUnneccessary();
}

void DZDirectoryEntry::listenForPercentUpdateNotifications(const void* observer,
                                                           platform::NotificationCenter::Handler handler)
{
    if (_manager)
        _manager->listenForPercentUpdateNotifications(observer, std::move(handler), this);
}

void DZDirectoryEntry::stopListeningForPercentUpdateNotifications(const void* observer)
{
    if (_manager)
        _manager->stopListeningForPercentUpdateNotifications(observer, this);
}
