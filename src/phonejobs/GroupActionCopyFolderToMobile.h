#pragma once

#include "phonejobs/GroupActionFTPServices.h"

class DZDirectoryEntry;

// Copies a desktop folder onto the phone: every folder first (in walk
// order), then the files. Hidden items are left out; links are not followed.
class GroupActionCopyFolderToMobile : public GroupActionFTPServices {
public:
    GroupActionCopyFolderToMobile(const QString& macFolder, const QString& phoneFolder,
                                  std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    static std::shared_ptr<GroupActionCopyFolderToMobile> actionWithSource(const QString& macFolder,
                                                                          const QString& phoneFolder,
                                                                          std::shared_ptr<QVActionNotify> notify,
                                                                          QVariant userInfo = {});
    QString description() const override;
    QString displayString() const override;
    std::shared_ptr<DZDirectoryEntry> getEntry(const QString& phonePath) const;
    std::shared_ptr<QVAction> actionToCreateDirectoryAtPath(const QString& phonePath);
    std::shared_ptr<QVAction> actionToCopyFileFrom(const QString& macFile, const QString& phonePath);
    QString mobileForMacPath(const QString& macPath) const;
    void addCopyActions();
    int startAction() override;
    void endAction(int code) override;
    using GroupActionFTPServices::endAction;

private:
    QString _sourceMacPath;
    QString _destinationMobilePath;
};
