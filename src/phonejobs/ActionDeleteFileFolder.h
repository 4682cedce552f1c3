#pragma once

#include "phonejobs/ActionFTPServices.h"

// Deletes one phone file or empty folder. A failed delete gives the entry its
// state back; a success shows in the next listing.
class ActionDeleteFileFolder : public ActionFTPServices {
public:
    ActionDeleteFileFolder(const QString& path, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    static std::shared_ptr<ActionDeleteFileFolder> actionWithPathDeleteFileFolder(
        const QString& path, std::shared_ptr<QVActionNotify> notify, QVariant userInfo = {});
    const QString& path() const { return _inFileFolder; }
    QString displayString() const override;
    QString description() const override;
    bool canSuspend() const override { return false; }
    bool doesActionWantProgress() const override { return false; }
    int startAction() override;
    void endAction(int code) override;

private:
    QString _inFileFolder;
};
