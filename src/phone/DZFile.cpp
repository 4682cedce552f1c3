#include "phone/DZFile.h"

#include "foundation/NamedLog.h"
#include "jobs/QVAction.h"
#include "links/FTPFile.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"

bool DZFile::isCopyingToMobile() const
{
    return _status == dztree::kUpdating && isSpeculative();
}

DZDirectoryEntry::Job DZFile::actionToUpdateWithPriority(int priority)
{
    return _parent ? _parent->actionToUpdateWithPriority(priority) : nullptr;
}

DZDirectoryEntry::Job DZFile::actionCopyToMacDirectory(const QString& macFolder, int priority)
{
    const auto& make = _manager->fileJobs().copyToMac;
    if (!make)
        return nullptr;
    Job job = make(fullExternalPath(), macFolder, ftpFile()->fileSize(), false, shared_from_this());
    if (job)
        job->setPriority(priority);
    return job;
}

DZDirectoryEntry::Job DZFile::actionCopyToMobileFromMacPath(const QString& macPath,
                                                            std::shared_ptr<QVPreprocessAction> pre, int priority)
{
    Q_UNUSED(pre);
    Q_UNUSED(priority);
    QVLOG(qvlog::kXT, dztree::kCopyIntoFileFormat.arg(macPath));
    return nullptr;
}

DZDirectoryEntry::Job DZFile::actionToMakeFolderWithName(const QString& name, int priority)
{
    Q_UNUSED(priority);
    QVLOG(qvlog::kXT, dztree::kFolderInFileFormat.arg(name));
    return nullptr;
}

DZDirectoryEntry::Job DZFile::actionToDeleteWithPriority(int priority)
{
    DZDirectoryEntry::actionToDeleteWithPriority(priority);
    const auto& make = _manager->fileJobs().deleteEntry;
    Job job = make ? make(fullExternalPath(), shared_from_this()) : nullptr;
    if (job)
        job->setPriority(priority);
    return job;
}

int DZFile::statusFromMirror() const
{
    return hasMirrorFile() ? dztree::kUpToDate : dztree::kOutOfDate;
}

void DZFile::setFTPFile(const std::shared_ptr<FTPFile>& file)
{
    DZDirectoryEntry::setFTPFile(file);
    setStatus(statusFromMirror());
    if (file)
        _lastUpdateTime = platform::Clock::instance().now();
}

void DZFile::resetStatus()
{
    setStatus(statusFromMirror());
}

void DZFile::deleteFailed()
{
    DZDirectoryEntry::deleteFailed();
    setStatus(statusFromMirror());
}
