#include "phone/FTPFileLocations.h"

#include "foundation/FileManagerAdds.h"
#include "foundation/FormattingUtil.h"
#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringCompareAdds.h"
#include "links/FTPFile.h"
#include "phone/BackupRules.h"
#include "phone/FTPFileDict.h"
#include "phone/FilesMirror.h"
#include "phone/HistoryName.h"
#include "phone/LocationsListServer.h"
#include "phone/MirrorOwner.h"
#include "phone/MirrorPaths.h"
#include "platform/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr const char* kFiles = "Files";
constexpr const char* kNextFileID = "NextFileID";
constexpr int kLatestYear = 2034;
constexpr int kMaxNameLength = 27;
constexpr int kBaseRoom = 26;

bool isState(const QVariantMap& entry, const char* state)
{
    return entry.value(QLatin1String(FTPFileLocations::kState))
               .toString()
               .compare(QLatin1String(state), Qt::CaseInsensitive)
        == 0;
}

QVariantMap finderInfo(long id, int label)
{
    return {{"UniqueID", qlonglong(id)}, {"FndrLocation", 0}, {"FndrEtikete", label}};
}

int yearOf(const QString& modified)
{
    return modified.left(4).toInt();
}
} // namespace

FTPFileLocations::FTPFileLocations(const QString& anchorPath, FilesMirror* mirror, MirrorOwner& device)
    : _mirror(mirror)
    , _device(device)
    , _fileName(anchorPath + QLatin1Char('/') + QLatin1String(kFileName))
    , _trashPath(anchorPath + QLatin1Char('/') + QLatin1String(kTrashFolder))
    , _archiveAnchorPath(anchorPath)
{
    FilesMirror::createDirectoryfNecessary(_trashPath);
    auto& server = LocationsListServer::sharedLocationsListServer();
    _list = server.cachedList(_fileName);
    if (!_list && QFileInfo::exists(_fileName)) {
        _list = server.getLocationsList(_fileName);
        if (!_list) {
            const QString aside = historyname::freeDatedPath(anchorPath, QLatin1String(kFileName),
                                                             QDateTime::currentDateTime());
            const bool moved = !aside.isEmpty() && QFile::rename(_fileName, aside);
            QVLOG(qvlog::kXT,
                  QStringLiteral("Unreadable location list %1 kept aside as %2 (%3)")
                      .arg(_fileName, aside, moved ? QStringLiteral("moved") : QStringLiteral("failed")));
        }
    }
    if (!_list) {
        _list = server.newLocationsList(_fileName);
        _isDirty = true;
    }
}

FTPFileLocations::~FTPFileLocations()
{
    save();
}

long FTPFileLocations::nextFileID() const
{
    return _list->nextFileID;
}

FTPFileLocations::Match FTPFileLocations::fileEntryForDeviceFile(const QString& internalPath) const
{
    Match match;
    const auto ids = _list->idsByPath.constFind(internalPath.toLower());
    if (ids == _list->idsByPath.cend())
        return match;
    std::optional<QVariantMap> lastIgnore;
    for (const long id : *ids) {
        const QVariantMap entry = _list->files.value(QString::number(id)).toMap();
        if (!isState(entry, kTrash) && !isState(entry, kIgnore) && !isState(entry, kDisappeared)) {
            match.entry = entry;
            match.number = id;
            match.label = entry.value(QLatin1String(kFinderInfo)).toInt();
            return match;
        }
        if (isState(entry, kIgnore))
            lastIgnore = entry;
    }
    if (lastIgnore) {
        match.entry = lastIgnore;
        match.label = lastIgnore->value(QLatin1String(kFinderInfo)).toInt();
    }
    return match;
}

long FTPFileLocations::getIDForMirrorFile(const QString& localPath) const
{
    const QString relative = relativeToAnchor(localPath);
    for (auto it = _list->files.cbegin(); it != _list->files.cend(); ++it) {
        if (it->toMap().value(QLatin1String(kPath)).toString() == relative)
            return it.key().toLong();
    }
    return 0;
}

long FTPFileLocations::getIDForFile(const QString& internalPath) const
{
    long found = 0;
    const auto ids = _list->idsByPath.constFind(internalPath.toLower());
    if (ids == _list->idsByPath.cend())
        return 0;
    for (const long id : *ids) {
        const QVariantMap entry = _list->files.value(QString::number(id)).toMap();
        if (isState(entry, kReal) || isState(entry, kPromised))
            found = std::max(found, id);
    }
    return found;
}

int FTPFileLocations::checkFileStatusOnMirror(const FTPFile& file, long* number, int* label, bool wantsBackup)
{
    *number = 0;
    *label = 0;
    const QVariantMap listed = FTPFileDict(file, _device).getDictionary();
    const QString path = listed.value(QLatin1String(FTPFileDict::kDeviceFullPath)).toString();
    const Match match = fileEntryForDeviceFile(path);
    if (!match.entry)
        return kUnknown;
    *number = match.number;
    *label = match.label;
    const QVariantMap& entry = *match.entry;
    if (isState(entry, kCopiedFromMac)) {
        for (const long id : _list->idsByPath.value(path.toLower())) {
            const QVariantMap candidate = _list->files.value(QString::number(id)).toMap();
            if (candidate.value(QLatin1String(kState)).toString() != QLatin1String(kCopiedFromMac))
                continue;
            const QVariantMap real{
                {kDeviceEntry, listed}, {kState, QLatin1String(kReal)}, {kPath, entry.value(QLatin1String(kPath))}};
            setEntry(&real, id);
            *number = id;
            break;
        }
        return kCurrent;
    }
    if (isState(entry, kIgnore))
        return wantsBackup ? kChanged : kCurrent;
    const QVariantMap stored = entry.value(QLatin1String(kDeviceEntry)).toMap();
    if (stored.value(QLatin1String(FTPFileDict::kSize)).toLongLong()
        != listed.value(QLatin1String(FTPFileDict::kSize)).toLongLong())
        return kChanged;
    const QString storedTime = stored.value(QLatin1String(FTPFileDict::kModified)).toString();
    const QString listedTime = listed.value(QLatin1String(FTPFileDict::kModified)).toString();
    if (storedTime == QLatin1String("0") || listedTime == QLatin1String("0"))
        return kCurrent;
    if (yearOf(storedTime) > kLatestYear || yearOf(listedTime) > kLatestYear)
        return kCurrent;
    return isSameTimeWithoutTimeZone(storedTime, listedTime) ? kCurrent : kChanged;
}

QVariantMap FTPFileLocations::registerNewDirectory(const QString& phonePath)
{
    const QVariantMap last = _mirror ? _mirror->getLastFolderFinderInfoDictForPath(_device.internalPath(phonePath))
                                     : QVariantMap();
    return last.isEmpty() ? finderInfo(0, 0) : last;
}

QVariantMap FTPFileLocations::registerNewFile(const FTPFile& file, bool* isNew)
{
    const bool wantsBackup = _device.wantsBackupNow() && _device.wantsToBackup(PhoneFileEntry::of(file));
    long number = 0;
    int label = 0;
    const int status = checkFileStatusOnMirror(file, &number, &label, wantsBackup);
    if (status != kCurrent) {
        *isNew = wantsBackup;
        _isDirty = true;
        const QVariantMap description = FTPFileDict(file, _device).getDictionary();
        if (status == kChanged) {
            const long old = getIDForFile(description.value(QLatin1String(FTPFileDict::kDeviceFullPath)).toString());
            if (old != 0)
                moveToTrash(old);
        }
        const long id = addEntry({{kDeviceEntry, description},
                                  {kState, QLatin1String(wantsBackup ? kPromised : kIgnore)},
                                  {kPath, QString()}});
        return finderInfo(id, label);
    }
    QVariantMap answer = _mirror ? _mirror->getLastFileFinderInfoDictForPath(file.fullPath()) : QVariantMap();
    if (answer.isEmpty()) {
        answer = finderInfo(number, label);
        _isDirty = true;
    }
    if (wantsBackup) {
        const auto entry = editableEntryForID(number);
        *isNew = !entry || entry->value(QLatin1String(kState)).toString() != QLatin1String(kReal);
    }
    return answer;
}

long FTPFileLocations::addEntry(const QVariantMap& entry)
{
    const long id = _list->nextFileID;
    setEntry(&entry, id);
    return id;
}

long FTPFileLocations::announceFileToBeCopied(const QString& localPath, const QString& devicePath,
                                              const QString& macFile)
{
    const int label = macFile.isEmpty() ? 0 : getFinderLabelColorOfPath(macFile);
    return addEntry({{kDeviceEntry, FTPFileDict(devicePath, _device, macFile).getDictionary()},
                     {kState, QLatin1String(kCopiedFromMac)},
                     {kPath, relativeToAnchor(localPath)},
                     {kFinderInfo, std::max(0, label)}});
}

short FTPFileLocations::deliverFile(const QString& localPath, const QString& devicePath, long fileID)
{
    auto entry = editableEntryForID(fileID);
    if (!entry) {
        announceFileToBeCopied(localPath, devicePath, QString());
        return kNoEntry;
    }
    entry->insert(kState, QLatin1String(kReal));
    entry->insert(kPath, relativeToAnchor(localPath));
    setEntry(&*entry, fileID);
    return 0;
}

short FTPFileLocations::moveToTrash(long fileID)
{
    auto entry = editableEntryForID(fileID);
    if (!entry)
        return kNoEntry;
    if (entry->value(QLatin1String(kState)).toString() == QLatin1String(kPromised)) {
        entry->insert(kState, QLatin1String(kIgnore));
        _list->setEntry(fileID, &*entry);
        return 0;
    }
    const QString relative = entry->value(QLatin1String(kPath)).toString();
    if (relative.isEmpty()) {
        setEntry(nullptr, fileID);
        return 0;
    }
    const QString source = anchored(relative);
    const auto target = source.isEmpty()
        ? std::nullopt
        : unusedFileNameAtDestination(_trashPath + QLatin1Char('/') + QFileInfo(source).fileName());
    if (!target) {
        QVLOG(qvlog::kXT, QStringLiteral("No trash name free for %1: the file stays where it is").arg(relative));
        return 0;
    }
    const QString preview = _mirror ? _mirror->getPreviewPathFromLocal(source) : QString();
    QFile::rename(source, *target);
    if (!preview.isEmpty() && QFileInfo::exists(preview)) {
        const QString previewTarget = QFileInfo(*target).path() + QLatin1Char('/')
            + FormattingUtil::localPathToPreviewFileName(*target);
        if (!QFileInfo::exists(previewTarget))
            QFile::rename(preview, previewTarget);
    }
    entry->insert(kPath, relativeToAnchor(*target));
    entry->insert(kState, QLatin1String(kTrash));
    setEntry(&*entry, fileID);
    return 0;
}

void FTPFileLocations::moveMissingFilesToTrash(const QSet<long>& presentIDs)
{
    QList<long> missing;
    for (auto it = _list->files.cbegin(); it != _list->files.cend(); ++it) {
        const long id = it.key().toLong();
        if (it->toMap().value(QLatin1String(kState)).toString() == QLatin1String(kReal) && !presentIDs.contains(id))
            missing.append(id);
    }
    for (const long id : std::as_const(missing))
        moveToTrash(id);
}

std::optional<QString> FTPFileLocations::unusedFileNameAtDestination(const QString& path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString base = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot + 1) : QString();
    if (name.size() > kMaxNameLength)
        base.truncate(std::max<qsizetype>(0, kBaseRoom - extension.size()));
    const QString folder = info.path();
    for (int counter = 0; counter < kTrashNameCount; ++counter) {
        const QString candidate = extension.isEmpty()
            ? QStringLiteral("%1/%2_%3").arg(folder, base).arg(counter, 3, 10, QLatin1Char('0'))
            : QStringLiteral("%1/%2_%3.%4").arg(folder, base).arg(counter, 3, 10, QLatin1Char('0')).arg(extension);
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
    return std::nullopt;
}

QString FTPFileLocations::currentLocation(long fileID) const
{
    const auto entry = editableEntryForID(fileID);
    if (!entry || entry->value(QLatin1String(kState)).toString() == QLatin1String(kPromised))
        return QString();
    const QString relative = entry->value(QLatin1String(kPath)).toString();
    return relative.isEmpty() ? QString() : anchored(relative);
}

QString FTPFileLocations::currentPreviewLocation(long fileID) const
{
    const auto entry = editableEntryForID(fileID);
    if (!entry)
        return QString();
    const QString location = anchored(entry->value(QLatin1String(kPath)).toString());
    if (location.isEmpty())
        return QString();
    return QFileInfo(location).path() + QLatin1Char('/') + FormattingUtil::localPathToPreviewFileName(location);
}

QString FTPFileLocations::fileName(long fileID) const
{
    const auto entry = editableEntryForID(fileID);
    return entry ? QFileInfo(entry->value(QLatin1String(kPath)).toString()).fileName() : QString();
}

std::optional<QVariantMap> FTPFileLocations::editableEntryForID(long fileID) const
{
    const auto it = _list->files.constFind(QString::number(fileID));
    if (it == _list->files.cend())
        return std::nullopt;
    return it->toMap();
}

void FTPFileLocations::setEntry(const QVariantMap* entry, long fileID)
{
    _list->setEntry(fileID, entry);
    _isDirty = true;
}

bool FTPFileLocations::save()
{
    if (!_isDirty)
        return true;
    const QVariantMap stored{{kFiles, _list->files}, {kNextFileID, qlonglong(_list->nextFileID)}};
    QString error;
    if (!platform::plist::writeFile(_fileName, stored, &error)) {
        QVLOG(qvlog::kXT, QStringLiteral("Location list %1 not written: %2").arg(_fileName, error));
        return false;
    }
    _isDirty = false;
    return true;
}

QString FTPFileLocations::relativeToAnchor(const QString& localPath) const
{
    const qsizetype at = localPath.indexOf(_archiveAnchorPath);
    return at < 0 ? localPath : localPath.mid(at + _archiveAnchorPath.size());
}

QString FTPFileLocations::anchored(const QString& relativePath) const
{
    if (!mirrorpaths::isSafeRelative(relativePath)) {
        QVLOG(qvlog::kXT, QStringLiteral("Location list: path %1 refused").arg(relativePath));
        return QString();
    }
    return _archiveAnchorPath + relativePath;
}
