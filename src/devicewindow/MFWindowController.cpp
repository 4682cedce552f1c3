#include "devicewindow/MFWindowController.h"

#include "devicewindow/files/FileDragAndDrop.h"

#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"

MFWindowController::MFWindowController(QObject* parent) : QObject(parent)
{
}

MFWindowController::~MFWindowController() = default;

FileDragAndDrop* MFWindowController::getFileDragAndDrop() const
{
    if (!mfDevice_)
        return nullptr;
    if (!fileDragAndDrop_ || dragDevice_ != mfDevice_) {
        fileDragAndDrop_ =
            std::make_unique<FileDragAndDrop>(dynamic_cast<DZDataManager*>(mfDevice_->dataManager()));
        dragDevice_ = mfDevice_;
    }
    return fileDragAndDrop_.get();
}
