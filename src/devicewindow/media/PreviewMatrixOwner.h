#pragma once

#include <QStringList>

#include <memory>

class FileDragAndDrop;
class ImageFile;
class MFDevice;

// What the media grid asks of the view that owns it (the media center's
// tab): it stops its own sound or video preview when told NO, answers the
// phone and the volume, deletes the selection, takes dropped files and tells
// whether the phone is a snapshot of the time tunnel.
class PreviewMatrixOwner {
public:
    virtual ~PreviewMatrixOwner() = default;
    virtual void handlePrehearOrPreview(bool running) = 0;
    virtual MFDevice* getMFDevice() const = 0;
    virtual float getCurrentVolumen() const = 0;
    virtual void removeSelectedItemsInMatrix() = 0;
    virtual bool isHistoryDevice() const = 0;
    virtual FileDragAndDrop* getFileDragAndDrop() const = 0;
    virtual void importMediaFiles(const QStringList& files) = 0;
    // The suffixes a drop may bring (lower case, no dot); none: pictures and
    // videos.
    virtual QStringList dropSuffixFilter() const { return {}; }
    // Return on a file: open it with the desktop's viewer.
    virtual void openMediaFile(const std::shared_ptr<ImageFile>& file) { (void)file; }
};
