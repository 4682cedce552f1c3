#include "phonejobs/ActionCopyFileFolder.h"

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "foundation/QuorNSStringPathExtensions.h"
#include "jobs/JobCodes.h"
#include "links/FileTransferConnection.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectoryEntry.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "phonejobs/FileJobNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <filesystem>

namespace {

constexpr qint64 kCopyChunk = 1 << 20;

} // namespace

ActionCopyFileFolder::ActionCopyFileFolder(bool toMac, const QString& source, const QString& destination,
                                           qint64 fileSize, bool overwritingAllowed,
                                           std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : ActionFTPServices(std::move(notify), std::move(userInfo))
    , _inSourceFile(source)
    , _destination(destination)
    , _destinationWithFilename(stringByConcatenatingPathComponents(destination, lastPathComponent(source)))
    , _fileSize(fileSize > 0 ? fileSize : 0)
    , _overwritingAllowed(overwritingAllowed)
    , _mobileToMac(toMac)
{
}

void ActionCopyFileFolder::setDestinationFileName(const QString& name)
{
    if (_mobileToMac && !name.isEmpty())
        _destinationWithFilename = stringByConcatenatingPathComponents(_destination, name);
}

std::shared_ptr<ActionCopyFileFolder> ActionCopyFileFolder::actionFromMobileToMac(
    const QString& phoneFile, const QString& macFolder, qint64 fileSize, bool overwritingAllowed,
    std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    return std::make_shared<ActionCopyFileFolder>(true, phoneFile, macFolder, fileSize, overwritingAllowed,
                                                  std::move(notify), std::move(userInfo));
}

std::shared_ptr<ActionCopyFileFolder> ActionCopyFileFolder::actionFromMacToMobile(
    const QString& macFile, const QString& phoneFolder, qint64 fileSize, bool overwritingAllowed,
    std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
{
    return std::make_shared<ActionCopyFileFolder>(false, macFile, phoneFolder, fileSize, overwritingAllowed,
                                                  std::move(notify), std::move(userInfo));
}

const QHash<int, QString>& ActionCopyFileFolder::fileErrors()
{
    static const QHash<int, QString> errors{
        {filejobnames::kSourceFileNotFound, filejobnames::kCopyErrorSourceFileNotFound}};
    return errors;
}

QString ActionCopyFileFolder::errorStringForCode(int code) const
{
    const QString key = fileErrors().value(code);
    if (!key.isEmpty())
        return filejobnames::formatLocalized(key, _inSourceFile);
    // A refused replace names the file that stayed.
    const QString named = code == filejobnames::kDuplicateFile && _refusedExisting ? _destinationWithFilename
                                                                                   : _inSourceFile;
    return QStringLiteral("%1  %2").arg(QVAction::generateErrorString(code), named);
}

QString ActionCopyFileFolder::generateErrorString(int code) const
{
    return errorStringForCode(code);
}

QString ActionCopyFileFolder::description() const
{
    return filejobnames::kCopyFileFolderFormat.arg(
        _mobileToMac ? filejobnames::kMobileToMac : filejobnames::kMacToMobile,
        _overwritingAllowed ? QStringLiteral("YES") : QStringLiteral("NO"), _inSourceFile, _destination);
}

QString ActionCopyFileFolder::displayString() const
{
    return filejobnames::formatLocalized(filejobnames::kActionCopyFileFolder, _destination);
}

QString ActionCopyFileFolder::displaySubString() const
{
    return lastPathComponent(_inSourceFile);
}

bool ActionCopyFileFolder::doSuspendAction()
{
    MFDevice* device = getActionDevice();
    const QString family = device && device->devInfo() ? device->devInfo()->getSMSFamily(0) : QString();
    if (family.startsWith(QLatin1String("lg")) || _suspend)
        return false;
    _suspend = true;
    return true;
}

void ActionCopyFileFolder::resetActionForStartAfterSuspend()
{
    ActionFTPServices::resetActionForStartAfterSuspend();
    _suspend = false;
}

QString ActionCopyFileFolder::mirrorPathForMobilePath(const QString& phonePath) const
{
    DZDataManager* manager = dataManager();
    FilesMirror* mirror = manager ? manager->mirror() : nullptr;
    return mirror ? mirror->getMirrorPath(phonePath) : QString();
}

bool ActionCopyFileFolder::isSourceInMirror() const
{
    DZDataManager* manager = dataManager();
    FilesMirror* mirror = manager ? manager->mirror() : nullptr;
    return mirror && mirror->isFileLocationOnMirror(_inSourceFile);
}

bool ActionCopyFileFolder::hasUpToDateMirrorFile() const
{
    if (!_mobileToMac)
        return false;
    DZDataManager* manager = dataManager();
    auto entry = manager ? manager->getEntry(_inSourceFile) : nullptr;
    return entry && entry->hasRecord() && entry->hasMirrorFile();
}

bool ActionCopyFileFolder::needsNoPhone() const
{
    return _mobileToMac && (isSourceInMirror() || hasUpToDateMirrorFile());
}

QString ActionCopyFileFolder::sourceMirrorFile() const
{
    if (_staging)
        return QDir(_staging->path()).filePath(lastPathComponent(_inSourceFile));
    if (isSourceInMirror())
        return _inSourceFile;
    DZDataManager* manager = dataManager();
    auto entry = manager ? manager->getEntry(_inSourceFile) : nullptr;
    const QString path = entry ? entry->getMirrorPath() : QString();
    return path.isEmpty() ? mirrorPathForMobilePath(_inSourceFile) : path;
}

QString ActionCopyFileFolder::copyToMirror()
{
    DZDataManager* manager = dataManager();
    FilesMirror* mirror = manager ? manager->mirror() : nullptr;
    const QString phonePath = _destinationWithFilename;
    const QString mirrorFile = mirror ? mirror->getMirrorPath(phonePath) : QString();
    if (mirrorFile.isEmpty() || mirrorFile == _inSourceFile)
        return _inSourceFile;
    mirror->filesDeleted(phonePath);
    QFile::remove(mirrorFile);
    if (!QFile::copy(_inSourceFile, mirrorFile))
        return _inSourceFile;
    return mirrorFile;
}

bool ActionCopyFileFolder::destinationTaken() const
{
    // A link counts even when what it leads to is gone: writing through it
    // would put the file somewhere else.
    const QFileInfo destination(_destinationWithFilename);
    return destination.exists() || destination.isSymLink();
}

int ActionCopyFileFolder::moveFetchedFile()
{
    const QString fetched = sourceMirrorFile();
    if (!QFileInfo::exists(fetched))
        return filejobnames::kSourceFileNotFound;
    if (destinationTaken() && !_overwritingAllowed) {
        _refusedExisting = true;
        return filejobnames::kDuplicateFile;
    }
    // Fetched beside the destination, on its file system: renamed into
    // place in one step (a link there is replaced, never followed).
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(fetched).toStdString(),
                            QFile::encodeName(_destinationWithFilename).toStdString(), error);
    return error ? links::kIOReturnIOError : 0;
}

int ActionCopyFileFolder::copyFromMirror()
{
    _refusedExisting = false;
    const QString from = sourceMirrorFile();
    QFile source(from);
    if (from.isEmpty() || !source.open(QIODevice::ReadOnly))
        return filejobnames::kSourceFileNotFound;
    if (QFileInfo(from).canonicalFilePath() == QFileInfo(_destinationWithFilename).canonicalFilePath())
        return 0;   // the mirror itself was the destination
    if (destinationTaken() && !_overwritingAllowed) {
        _refusedExisting = true;
        return filejobnames::kDuplicateFile;
    }
    // Written beside the destination and renamed over it once complete.
    QSaveFile target(_destinationWithFilename);
    if (!target.open(QIODevice::WriteOnly))
        return links::kIOReturnIOError;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kCopyChunk);
        if (chunk.isEmpty() && source.error() != QFile::NoError) {
            target.cancelWriting();
            return links::kIOReturnIOError;
        }
        if (target.write(chunk) != chunk.size()) {
            target.cancelWriting();
            return links::kIOReturnIOError;
        }
    }
    return target.commit() ? 0 : links::kIOReturnIOError;
}

bool ActionCopyFileFolder::readyToExecute()
{
    if (needsNoPhone())
        return ActionDeviceCallback::readyToExecute();
    return ActionFTPServices::readyToExecute();
}

int ActionCopyFileFolder::startAction()
{
    _fetched = false;
    if (_mobileToMac) {
        QVLOG(qvlog::kXT, filejobnames::kToMacStartFormat.arg(_inSourceFile, _destination));
        if (needsNoPhone()) {
            // The mirror holds the file: no phone request at all.
            const int answer = ActionDeviceCallback::startAction();
            if (answer != 0)
                return answer;
            endAction(0);
            return 0;
        }
        const int answer = ActionFTPServices::startAction();
        if (answer != 0)
            return answer;
        const QString mirrorFile = mirrorPathForMobilePath(_inSourceFile);
        QString fetchFolder = QFileInfo(mirrorFile).path();
        if (mirrorFile.isEmpty()) {
            // No files mirror: fetched beside the destination, so a failed
            // fetch touches nothing there and the finished file is renamed
            // into place.
            if (!QFileInfo(_destination).isDir())
                return FileTransferConnection::kMissingFolder;
            // Nothing would keep the fetched file: refused before the phone is asked.
            _refusedExisting = !_overwritingAllowed && destinationTaken();
            if (_refusedExisting)
                return filejobnames::kDuplicateFile;
            _staging = std::make_unique<QTemporaryDir>(QDir(_destination).filePath(QStringLiteral(".copy-XXXXXX")));
            if (!_staging->isValid()) {
                _staging.reset();
                return links::kIOReturnIOError;
            }
            fetchFolder = _staging->path();
        }
        _fetched = true;
        // The mirror is the program's own store: a stale copy there is replaced.
        const int started = connection()->copyFromMobileToMac(_inSourceFile, fetchFolder, true, deviceCallback());
        if (started != 0)
            _staging.reset();
        return started;
    }
    QVLOG(qvlog::kXT, filejobnames::kToMobileStartFormat.arg(_inSourceFile, _destination));
    const int answer = ActionFTPServices::startAction();
    if (answer != 0)
        return answer;
    return connection()->copyFromMacToMobile(copyToMirror(), _destination, _overwritingAllowed, deviceCallback());
}

void ActionCopyFileFolder::endAction(int code)
{
    if (hasEnded()) {
        ActionFTPServices::endAction(code);
        return;
    }
    auto keepAlive = selfAction();
    DZDataManager* manager = dataManager();
    int err = code;
    if (_mobileToMac) {
        auto entry = manager ? manager->getEntry(_inSourceFile) : nullptr;
        if (err == 0) {
            if (entry)
                entry->copyJobWillFinish();
            err = _staging ? moveFetchedFile() : copyFromMirror();
        } else if (_fetched) {
            // A partial fetch does not stay in the mirror.
            const QString mirrorFile = mirrorPathForMobilePath(_inSourceFile);
            if (!mirrorFile.isEmpty())
                QFile::remove(mirrorFile);
        }
        _fetched = false;
        _staging.reset();
        if (_suspend)
            err = jobcodes::kSuspended;
        ActionFTPServices::endAction(err);
        if (err == 0 && entry)
            entry->copyToMacFinished();
        return;
    }
    const QString phonePath = stringByConcatenatingPathComponents(_destination, lastPathComponent(_inSourceFile));
    auto entry = manager ? manager->getEntry(phonePath) : nullptr;
    if (entry) {
        if (err == 0)
            entry->copyJobWillFinish();
        else
            entry->copyToMobileFailed();
    }
    if (_suspend)
        err = jobcodes::kSuspended;
    ActionFTPServices::endAction(err);
    if (err == 0 && entry)
        entry->copyToMobileFinishedWithPriority(priority());
}

QString ActionCopyFileFolder::actionType() const
{
    if (_mobileToMac && isSourceInMirror())
        return filejobnames::kVirtual;
    MFDevice* device = getActionDevice();
    // A history phone copies only out of its mirror.
    if (device && device->isHistory() && _mobileToMac && hasUpToDateMirrorFile())
        return filejobnames::kVirtual;
    return usesMassStoragePipes() ? filejobnames::kMassStorageSlow : filejobnames::kFTP;
}

bool ActionCopyFileFolder::processAction(float percent)
{
    float shown = percent;
    if (auto callback = deviceCallback(); callback && _fileSize > 0 && percent == 0.0f)
        shown = float(callback->bytesProcessed() * 100.0 / double(_fileSize));
    if (_suspend)
        return false;
    return ActionFTPServices::processAction(shown);
}
