#include "app/DocumentServices.h"

#include "app/DZDocumentController.h"
#include "app/MobileDeviceDocument.h"

#include "phone/MFDevice.h"

void DocumentServices::setQuitRequested(bool on)
{
    documents_.setQuitWasRequested(on);
}

void DocumentServices::setOverwriteBackupWait(bool on)
{
    documents_.setOverWriteBackUpWait(on);
}

bool DocumentServices::closeAllDocuments(std::function<void(bool closed)> done)
{
    if (documents_.documents().empty())
        return false;
    documents_.closeAllDocuments(std::move(done));
    return true;
}

bool DocumentServices::anyBackupPending() const
{
    return documents_.anyBackupPending();
}

void DocumentServices::doCancelDocuments()
{
    documents_.doCancelDocuments();
}

bool DocumentServices::closeSafeFirstDoc()
{
    return documents_.closeSafeFirstDoc();
}

unsigned DocumentServices::checkUnreadSMS() const
{
    unsigned unread = 0;
    for (MobileDeviceDocument* document : documents_.documents())
        if (document->mfDevice() && !document->mfDevice()->isHistory() && document->archive())
            unread += document->archive()->unreadSMSCount();
    return unread;
}

std::optional<QVariantMap> DocumentServices::deviceSettings(const void* sender) const
{
    for (MobileDeviceDocument* document : documents_.documents()) {
        const std::shared_ptr<MFDevice>& device = document->mfDevice();
        if (device && static_cast<const void*>(device.get()) == sender && device->mDeviceDict())
            return *device->mDeviceDict();
    }
    return std::nullopt;
}
