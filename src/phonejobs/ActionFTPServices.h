#pragma once

#include "phone/DZJobTraits.h"
#include "phonejobs/ActionRequestService.h"

class DZDataManager;
class FileTransferConnection;

// A job on the phone's file-transfer connection (service "FTP"). On a
// mass-storage or history phone it runs in the mass-storage pipes. It tells
// the tree entry that asked for it that it was posted, logs its start and end
// and lets the device pause after it.
class ActionFTPServices : public ActionRequestService, public DZProgressJob {
public:
    ActionFTPServices(std::shared_ptr<QVActionNotify> notify, QVariant userInfo);

    void didPostToActionPipe() override;
    int startAction() override;
    bool canSuspend() const override;
    bool doSuspendAction() override;
    QString description() const override;
    QString actionType() const override;
    bool doesActionWantProgress() const override { return true; }
    void endAction(int code) override;

protected:
    DZDataManager* dataManager() const;
    FileTransferConnection* connection() const;
    // A history phone, or a file-transfer connection over USB.
    bool usesMassStoragePipes() const;
};
