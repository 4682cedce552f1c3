#include "phone/DZDirectory.h"

#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringPathExtensions.h"
#include "jobs/QVAction.h"
#include "links/FTPFile.h"
#include "phone/DZDataManager.h"
#include "phone/FilesMirror.h"

#include <QFileInfo>

#include <algorithm>

QString DZDirectory::indexKey(const QString& name)
{
    QString key = name;
    key.replace(QLatin1Char('/'), QLatin1Char(':'));
    return key.toCaseFolded();
}

bool DZDirectory::addEntry(const Ptr& entry)
{
    if (!entry)
        return false;
    const QString key = indexKey(entry->name());
    if (_index.contains(key)) {
        QVLOG(qvlog::kXT, dztree::kDuplicateNameFormat.arg(entry->name()));
        return false;
    }
    _directoryEntries.append(entry);
    _index.insert(key, entry);
    entry->setParent(std::static_pointer_cast<DZDirectory>(shared_from_this()));
    return true;
}

QList<DZDirectoryEntry::Ptr> DZDirectory::entries()
{
    return entriesWithUpdatePriority(1);
}

QList<DZDirectoryEntry::Ptr> DZDirectory::entriesWithUpdatePriority(int priority)
{
    if (_status != dztree::kUpToDate)
        updateWithPriority(priority);
    return entriesNoUpdate();
}

QList<DZDirectoryEntry::Ptr> DZDirectory::entriesNoUpdate() const
{
    QList<Ptr> sorted = _directoryEntries;
    std::sort(sorted.begin(), sorted.end(), [](const Ptr& a, const Ptr& b) {
        return a->name().compare(b->name(), Qt::CaseInsensitive) < 0;
    });
    return sorted;
}

int DZDirectory::numberOfExistingEntries() const
{
    return int(std::count_if(_directoryEntries.cbegin(), _directoryEntries.cend(),
                             [](const Ptr& entry) { return entry->status() != dztree::kRemoved; }));
}

DZDirectoryEntry::Ptr DZDirectory::entryWithName(const QString& name) const
{
    return _index.value(indexKey(name));
}

DZDirectoryEntry::Ptr DZDirectory::entryAtIndex(int index) const
{
    const QList<Ptr> sorted = entriesNoUpdate();
    return index >= 0 && index < sorted.size() ? sorted.at(index) : nullptr;
}

DZDirectoryEntry::Ptr DZDirectory::greedyMatchEntry(const QString& path, qsizetype* length) const
{
    for (qsizetype size = path.size(); size > 0; --size) {
        if (Ptr child = entryWithName(path.left(size))) {
            *length = size;
            return child;
        }
    }
    return nullptr;
}

DZDirectoryEntry::Ptr DZDirectory::resolveRelativePath(const QString& path)
{
    // Walked without recursion: a path from a phone may be deep.
    Ptr here = shared_from_this();
    QString rest = path;
    while (here) {
        if (rest.isEmpty())
            return here;
        if (!here->isDirectory())
            return nullptr;
        if (rest.startsWith(QLatin1Char('/'))) {
            rest.remove(0, 1);
            continue;
        }
        qsizetype length = 0;
        Ptr child = static_cast<DZDirectory&>(*here).greedyMatchEntry(rest, &length);
        if (!child)
            return nullptr;
        rest.remove(0, length);
        here = child;
    }
    return nullptr;
}

DZDirectoryEntry::Ptr DZDirectory::addSpeculativeEntryWithName(const QString& name, bool isDirectory)
{
    if (Ptr existing = entryWithName(name)) {
        if (existing->status() == dztree::kRemoved)
            existing->deleteFailed();
        return existing;
    }
    Ptr entry = speculativeEntryWithName(name, _manager, isDirectory);
    if (!addEntry(entry))
        return nullptr;
    if (_manager)
        _manager->postChangeNotificationForDirectoryEntry(shared_from_this());
    return entry;
}

void DZDirectory::noUpdateDoDeleteEntry(const Ptr& entry)
{
    const QString key = indexKey(entry->name());
    if (_index.value(key) == entry)
        _index.remove(key);
    _directoryEntries.removeOne(entry);
    if (_manager)
        _manager->postChangeNotificationForDirectoryEntry(shared_from_this());
}

DZDirectoryEntry::Job DZDirectory::actionToUpdateWithPriority(int priority)
{
    const auto& make = _manager->fileJobs().listFolder;
    if (!make)
        return nullptr;
    setStatus(dztree::kUpdating);
    Job job = make(fullExternalPath(), shared_from_this());
    if (job)
        job->setPriority(priority);
    return job;
}

DZDirectoryEntry::Job DZDirectory::actionToUpdateWholeSubtreeWithPriority(int priority, bool force)
{
    const auto& make = _manager->fileJobs().updateTree;
    Job job = make ? make(fullExternalPath(), force, nullptr) : nullptr;
    if (job)
        job->setPriority(priority);
    return job;
}

DZDirectoryEntry::Job DZDirectory::actionCopyToMacDirectory(const QString& macFolder, int priority)
{
    const auto& make = _manager->fileJobs().copyFolderToMac;
    Job job = make ? make(fullExternalPath(), macFolder, false, shared_from_this()) : nullptr;
    if (job)
        job->setPriority(priority);
    return job;
}

DZDirectoryEntry::Job DZDirectory::actionCopyToMobileFromMacPath(const QString& macPath,
                                                                 std::shared_ptr<QVPreprocessAction> pre,
                                                                 int priority)
{
    const QFileInfo source(macPath);
    if (macPath.isEmpty() || !source.exists())
        return nullptr;
    const bool folder = source.isDir();
    const auto& make = _manager->fileJobs();
    if (folder ? !make.copyFolderToMobile : !make.copyToMobile)
        return nullptr;
    Ptr child = addSpeculativeEntryWithName(source.fileName(), folder);
    if (!child)
        return nullptr;
    const QString childPath = child->fullExternalPath();
    if (FilesMirror* mirror = _manager->mirror())
        mirror->announceFileToBeCopied(mirror->getMirrorPath(childPath), childPath, macPath);
    Job job = folder ? make.copyFolderToMobile(macPath, fullExternalPath(), child)
                     : make.copyToMobile(macPath, fullExternalPath(), source.size(), true, child);
    if (!job)
        return nullptr;
    job->setPriority(priority);
    if (pre)
        job->setPreprocessAction(std::move(pre));
    return job;
}

DZDirectoryEntry::Job DZDirectory::actionToMakeFolderWithName(const QString& name, int priority)
{
    QString safe = name;
    safe.replace(QLatin1Char('/'), QLatin1Char(':'));
    const auto& make = _manager->fileJobs().makeFolder;
    if (!make)
        return nullptr;
    Ptr folder = addSpeculativeEntryWithName(safe, true);
    if (!folder)
        return nullptr;
    Job job = make(stringByConcatenatingPathComponents(fullExternalPath(), safe), folder);
    if (job)
        job->setPriority(priority);
    return job;
}

DZDirectoryEntry::Job DZDirectory::actionToDeleteWithPriority(int priority)
{
    DZDirectoryEntry::actionToDeleteWithPriority(priority);
    const auto& make = _manager->fileJobs();
    const bool single = numberOfExistingEntries() == 0;
    Job job = single ? (make.deleteEntry ? make.deleteEntry(fullExternalPath(), shared_from_this()) : nullptr)
                     : (make.deleteFolder ? make.deleteFolder(fullExternalPath(), shared_from_this()) : nullptr);
    if (job)
        job->setPriority(priority);
    return job;
}

void DZDirectory::setStatus(int status)
{
    const int before = _status;
    DZDirectoryEntry::setStatus(status);
    if (_status != status && before != status)
        return;   // not taken
    if (_status == dztree::kUpToDate)
        _lastUpdateTime = platform::Clock::instance().now();
    const double now = platform::Clock::instance().now();
    if (_parent && now - _parent->lastUpdateTime() < dztree::kGhostWindow && _status == dztree::kUpToDate
        && isSpeculative()) {
        _isGhostFile = true;
    } else if (status == dztree::kUpToDate && _parent && _manager) {
        _manager->postChangeNotificationForDirectoryEntry(_parent);
    }
}

void DZDirectory::deleteFailed()
{
    DZDirectoryEntry::deleteFailed();
    setStatus(dztree::kOutOfDate);
}

void DZDirectory::setDirectoryIsUnreadable()
{
    setStatus(dztree::kUpToDate);
    _isGhostFile = true;
}

void DZDirectory::makeAllFilesSpeculative()
{
    for (const Ptr& child : std::as_const(_directoryEntries))
        child->makeAllFilesSpeculative();
    DZDirectoryEntry::makeAllFilesSpeculative();
}

void DZDirectory::registerOnMirror()
{
    if (FilesMirror* mirror = _manager ? _manager->mirror() : nullptr)
        mirror->registerDirectoryOnDevice(fullExternalPath());
}

void DZDirectory::registerTreeOnMirror()
{
    registerOnMirror();
    for (const Ptr& child : std::as_const(_directoryEntries))
        child->registerOnMirror();
}

void DZDirectory::setFTPFile(const std::shared_ptr<FTPFile>& file)
{
    DZDirectoryEntry::setFTPFile(file);
}

bool DZDirectory::canRemoveSpeculative() const
{
    if (!DZDirectoryEntry::canRemoveSpeculative())
        return false;
    return std::all_of(_directoryEntries.cbegin(), _directoryEntries.cend(),
                       [](const Ptr& child) { return child->canRemoveSpeculative(); });
}

QVariantMap DZDirectory::toDictionary() const
{
    QVariantMap node = DZDirectoryEntry::toDictionary();
    QVariantList children;
    for (const Ptr& child : entriesNoUpdate())
        children.append(child->toDictionary());
    node.insert(dztree::kChildren, children);
    return node;
}

void DZDirectory::detachTree()
{
    const QList<Ptr> children = std::exchange(_directoryEntries, {});
    _index.clear();
    for (const Ptr& child : children)
        child->detachTree();
    DZDirectoryEntry::detachTree();
}
