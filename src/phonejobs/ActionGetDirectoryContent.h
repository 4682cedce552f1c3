#pragma once

#include "phonejobs/ActionFTPServices.h"

class QVDeviceCallback;

// Lists one phone folder and merges the listing into the tree. A vanished
// folder leaves the tree; a folder that cannot be read is marked so. Two
// listings of one path are equal and merge.
class ActionGetDirectoryContent : public ActionFTPServices {
public:
    ActionGetDirectoryContent(const QString& path, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    static std::shared_ptr<ActionGetDirectoryContent> actionWithPath(const QString& path,
                                                                     std::shared_ptr<QVActionNotify> notify,
                                                                     QVariant userInfo = {});

    const QString& path() const { return _thePath; }
    // Also ended with the listing (an FTPFileList) as its result.
    void setResultCallback(std::shared_ptr<QVDeviceCallback> callback) { _resultCallback = std::move(callback); }

    QString displaySubString() const override;
    bool doesActionWantProgress() const override { return false; }
    QString description() const override;
    bool canSuspend() const override { return false; }
    int startAction() override;
    static bool isDirectoryMissingError(int code);
    void endAction(int code) override;

private:
    QString _thePath;
    std::shared_ptr<QVDeviceCallback> _resultCallback;
};
