#pragma once

#include "app/MobileDeviceDocument.h"

#include <memory>

class DeviceWindowController;
class FilesMirror;
class MFDevice;

// A phone document's files mirror: the mirror of src/phone as the document
// asks for it. While it lives, the phone's data manager knows the mirror.
class DocumentFilesMirror : public DocumentMirror {
public:
    // The device settings key of a history phone's mirror folder.
    static constexpr const char* kHistoryAnchorKey = "Anchor";

    DocumentFilesMirror(MFDevice& device, std::unique_ptr<FilesMirror> mirror);
    ~DocumentFilesMirror() override;

    // The document's mirror maker: opens the device's mirror (a history
    // phone's under the folder it was opened from) and hands it to the
    // device; null (the document refuses the phone) when it cannot be opened.
    static std::unique_ptr<DocumentMirror> make(MFDevice& device, DeviceWindowController* window);

    FilesMirror* filesMirror() override { return _mirror.get(); }
    // The mirror copy's path of a phone file the phone's tree knows; none
    // (error set) for a path the tree does not know or the mirror refuses.
    std::optional<QString> getMirroredFile(const QString& path, int* error) override;
    std::optional<QString> getMirrorPath(const QString& path) override;
    std::optional<QVariantMap> getFinderInfoDictForPath(const QString& fullPath) override;
    void registerDirectoryOnDevice(const QString& fullPath) override;
    bool setFinderInfoDictForPath(const QVariantMap& info, const QString& fullPath) override;

private:
    MFDevice& _device;
    std::unique_ptr<FilesMirror> _mirror;
};
