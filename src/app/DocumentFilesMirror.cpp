#include "app/DocumentFilesMirror.h"

#include "links/FTPFile.h"
#include "phone/DZDataManager.h"
#include "phone/DZDirectoryEntry.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"

namespace {
// FilesMirror's error for a refused path; also used for a path the phone's
// tree does not know.
constexpr int kUnknownMirroredPath = -1;
} // namespace

DocumentFilesMirror::DocumentFilesMirror(MFDevice& device, std::unique_ptr<FilesMirror> mirror)
    : _device(device)
    , _mirror(std::move(mirror))
{
}

DocumentFilesMirror::~DocumentFilesMirror()
{
    // The data manager keeps only a pointer to the mirror.
    if (_device.mirror() == _mirror.get())
        _device.setMirror(nullptr);
}

std::unique_ptr<DocumentMirror> DocumentFilesMirror::make(MFDevice& device, DeviceWindowController* /*window*/)
{
    QString anchor;
    if (device.isHistory()) {
        if (const std::optional<QVariantMap> dict = device.deviceDict())
            anchor = dict->value(QLatin1String(kHistoryAnchorKey)).toString();
    }
    std::unique_ptr<FilesMirror> mirror = FilesMirror::mirrorWithDevice(device, anchor);
    if (!mirror)
        return nullptr;
    return std::make_unique<DocumentFilesMirror>(device, std::move(mirror));
}

std::optional<QString> DocumentFilesMirror::getMirroredFile(const QString& path, int* error)
{
    int ignored = 0;
    int* status = error ? error : &ignored;
    auto* data = dynamic_cast<DZDataManager*>(_device.dataManager());
    const DZDataManager::EntryPtr entry = data ? data->getEntry(path) : nullptr;
    const std::shared_ptr<FTPFile> file = entry ? entry->ftpFile() : nullptr;
    if (!file) {
        *status = kUnknownMirroredPath;
        return std::nullopt;
    }
    *status = 0;
    const QString mirrored = _mirror->getMirroredFile(*file, status);
    if (mirrored.isEmpty())
        return std::nullopt;
    return mirrored;
}

std::optional<QString> DocumentFilesMirror::getMirrorPath(const QString& path)
{
    const QString mirrored = _mirror->getMirrorPath(path);
    if (mirrored.isEmpty())
        return std::nullopt;
    return mirrored;
}

std::optional<QVariantMap> DocumentFilesMirror::getFinderInfoDictForPath(const QString& fullPath)
{
    const QVariantMap info = _mirror->getFinderInfoDictForPath(fullPath);
    if (info.isEmpty())
        return std::nullopt;
    return info;
}

void DocumentFilesMirror::registerDirectoryOnDevice(const QString& fullPath)
{
    _mirror->registerDirectoryOnDevice(fullPath);
}

bool DocumentFilesMirror::setFinderInfoDictForPath(const QVariantMap& info, const QString& fullPath)
{
    return _mirror->setFinderInfoDictForPath(info, fullPath);
}
