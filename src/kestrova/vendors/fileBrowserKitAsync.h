#pragma once

#include "kestrova/core/MultiCommDevice.h"

#include <QVariantList>
#include <QVariantMap>
#include <optional>

class QVFileBrowserKitAsync;

// What the file-browser kit tells its caller; every method has the kit that
// calls as its first argument. Error codes: 0 success, -6 the operation
// failed, -7 the phone's application port is in use (connect), -21855 the
// link dropped while connected. Progress data are the transfer's records
// ({"size", "remaining"} down, {"size", "progress"} up).
class fileBrowserKitAsync : public SLTWillCloseCallback {
public:
    ~fileBrowserKitAsync() override = default;
    virtual void fileBrowserKitConnected(QVFileBrowserKitAsync*, int) {}
    // data: the listing entries, nullopt when none was read.
    virtual void fileBrowserKitDirectoryRead(QVFileBrowserKitAsync*, const std::optional<QVariantList>&, int) {}
    virtual void fileBrowserKitDisconnected(QVFileBrowserKitAsync*, int) {}
    virtual void fileBrowserKitCopyToMacFinished(QVFileBrowserKitAsync*, int) {}
    virtual void fileBrowserKitCopyToMacProgress(QVFileBrowserKitAsync*, const QVariantMap&) {}
    virtual void fileBrowserKitCopyFromMacFinished(QVFileBrowserKitAsync*, int) {}
    virtual void fileBrowserKitCopyFromMacProgress(QVFileBrowserKitAsync*, const QVariantMap&) {}
    virtual void fileBrowserKitDeleteItemFinished(QVFileBrowserKitAsync*, int) {}
    virtual void fileBrowserKitCreateFolderFinished(QVFileBrowserKitAsync*, int) {}
    virtual void fileBrowserKitAbortComplete(QVFileBrowserKitAsync*, int) {}
    void smsKitWillCloseChannel(const void*) override {}
};
