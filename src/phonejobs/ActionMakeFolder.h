#pragma once

#include "phonejobs/ActionFTPServices.h"

// Makes one phone folder; the tree's speculative folder becomes real and its
// parent is listed again.
class ActionMakeFolder : public ActionFTPServices {
public:
    ActionMakeFolder(const QString& path, std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    static std::shared_ptr<ActionMakeFolder> actionWithPathMakeFolder(const QString& path,
                                                                     std::shared_ptr<QVActionNotify> notify,
                                                                     QVariant userInfo = {});
    const QString& path() const { return _inFolder; }
    QString description() const override;
    QString displayString() const override;
    bool canSuspend() const override { return false; }
    int startAction() override;
    void endAction(int code) override;

private:
    QString _inFolder;
};
