#include "links/FTPFile.h"

#include "foundation/QuorNSStringPathExtensions.h"
#include "links/FTPFileOwner.h"
#include "links/QVDeviceCallback.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"

#include <QFileInfo>
#include <cmath>

namespace {
constexpr const char* kFiletypesTable = "Filetypes";
// The existence test of a history device's file: 0.1 s passes, 30 s at most.
constexpr double kExistSlice = 0.1;
constexpr int kExistPasses = 300;

QString fileTypeText(const char* key)
{
    return platform::localizedString(QLatin1String(key), QLatin1String(kFiletypesTable));
}

bool isExistingFile(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}
} // namespace

FTPFile::FTPFile(const QVariantMap& attributes, const QString& folder, FTPFileOwner* owner, long fileID)
    : _owner(owner)
    , _fileAttributes(attributes)
    , _fileID(fileID)
{
    _fileName = attributes.value(QLatin1String(kName)).toString();
    _fullPath = stringByConcatenatingPathComponents(folder, _fileName);
    const auto type = attributes.constFind(QLatin1String(kFileTypeKey));
    const auto perm = attributes.constFind(QLatin1String(kUserPerm));
    if (type != attributes.cend()) {
        if (type->toInt() != 1) {
            _fileType = kFile;
            if (perm != attributes.cend()) {
                const QString text = perm->toString();
                _isReadable = text.contains(QLatin1Char('R'));
                _isWriteable = text.contains(QLatin1Char('W'));
            }
        } else if (perm == attributes.cend() && owner && owner->isNokiaPCSuite()) {
            _fileType = kPrivateDirectory;
            _isReadable = false;
            _isWriteable = false;
        } else {
            _fileType = kDirectory;
        }
    }
    const auto size = attributes.constFind(QLatin1String(kSize));
    if (_fileType == kFile && size != attributes.cend())
        _fileSize = size->toLongLong();
}

std::shared_ptr<FTPFile> FTPFile::ftpFileWithAttributes(const QVariantMap& attributes, const QString& folder,
                                                        FTPFileOwner* owner)
{
    return std::make_shared<FTPFile>(attributes, folder, owner, 0);
}

std::shared_ptr<FTPFile> FTPFile::ftpFileWithAttributesAndID(const QVariantMap& attributes, const QString& folder,
                                                             FTPFileOwner* owner, long fileID)
{
    return std::make_shared<FTPFile>(attributes, folder, owner, fileID);
}

QString FTPFile::parentDir() const
{
    const qsizetype slash = _fullPath.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : _fullPath.left(slash);
}

QString FTPFile::modificationDate() const
{
    return _fileAttributes.value(QLatin1String(kModified)).toString();
}

void FTPFile::expandFilePath(const QString& prefix)
{
    _fullPath = prefix + _fullPath;
}

QString FTPFile::fsType() const
{
    if (_fileType == kDirectory)
        return fileTypeText("Directory");
    if (_fileType == kPrivateDirectory)
        return fileTypeText("Private directory");
    const QString extension = QFileInfo(_fileName).suffix().toLower();
    if (!extension.isEmpty()) {
        const QString text = platform::localizedString(extension, QLatin1String(kFiletypesTable));
        if (!text.isEmpty() && text.compare(extension, Qt::CaseInsensitive) != 0)
            return text;
    }
    return fileTypeText("Document");
}

bool FTPFile::isInArchive() const
{
    const QString state = _fileAttributes.value(QLatin1String(kState)).toString();
    if (state != QLatin1String("Real") && state != QLatin1String("Trash"))
        return false;
    if (!_owner || !_owner->isHistoryDevice())
        return true;
    const auto callback = QVDeviceCallback::pollingObject();
    if (_owner->doesExist(_fullPath, callback) != 0)
        return false;
    if (!platform::runloop::waitUntil([&] { return !callback->isBusy(); }, kExistSlice, kExistPasses))
        return false;
    if (callback->returnStatus() != 0 || !callback->resultObject().isValid())
        return false;
    return callback->resultObject().toBool();
}

QString FTPFile::localPath()
{
    if (!_localPath.isEmpty() && _owner && _owner->isHistoryDevice() && _owner->idForMirrorFile(_localPath) < 1)
        _localPath.clear();
    if (_localPath.isEmpty() && _owner) {
        if (_owner->isHistoryDevice())
            _localPath = _fileID == 0 ? QString() : _owner->currentLocation(_fileID);
        else
            _localPath = _owner->mirrorPath(_fullPath);
    }
    return _localPath;
}

QString FTPFile::localPreviewPath()
{
    if (_localPreviewPath.isEmpty() && _owner) {
        if (_owner->isHistoryDevice())
            _localPreviewPath = _fileID == 0 ? QString() : _owner->currentPreviewLocation(_fileID);
        else
            _localPreviewPath = _owner->previewPath(_fullPath);
    }
    return _localPreviewPath;
}

bool FTPFile::hasPreviewFile()
{
    return isExistingFile(localPreviewPath());
}

bool FTPFile::hasMirrorFile()
{
    return isExistingFile(localPath());
}

QVariantMap FTPFile::getFinderInfoDictForPath() const
{
    return _owner ? _owner->finderInfoDictForPath(_fullPath) : QVariantMap();
}

QString FTPFile::description() const
{
    if (_fileType == kDirectory)
        return QStringLiteral("<FTPFile: Directory> %1").arg(_fullPath);
    const qint64 kilobytes = std::max<qint64>(1, qint64(std::llround(double(_fileSize) / 1024.0)));
    return QStringLiteral("<FTPFile: File (%1 KB)> %2 (%3)").arg(kilobytes, 4).arg(_fileName, parentDir());
}

int FTPFile::compareName(const FTPFile& other) const
{
    return _fileName.compare(other._fileName, Qt::CaseInsensitive);
}
