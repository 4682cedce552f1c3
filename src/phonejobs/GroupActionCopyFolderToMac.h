#pragma once

#include "phonejobs/GroupActionFTPServices.h"

class DZDirectoryEntry;

// Copies a phone folder into a desktop folder: re-lists it, makes every
// desktop folder, then copies the files one by one. The first real failure
// ends the group and stops the rest.
class GroupActionCopyFolderToMac : public GroupActionFTPServices {
public:
    GroupActionCopyFolderToMac(const QString& source, const QString& destination, bool overwritingAllowed,
                               std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    static std::shared_ptr<GroupActionCopyFolderToMac> copyMobileDirectory(const QString& source,
                                                                          const QString& destination,
                                                                          bool overwritingAllowed,
                                                                          std::shared_ptr<QVActionNotify> notify,
                                                                          QVariant userInfo = {});
    QString targetPathForPhonePath(const QString& phonePath) const;
    QString destinationDirectoryForFile(const DZDirectoryEntry& entry) const;
    QString destinationDirectoryForDirectory(const DZDirectoryEntry& entry) const;
    void copyFile(const std::shared_ptr<DZDirectoryEntry>& entry);
    void copyDirectory(const std::shared_ptr<DZDirectoryEntry>& entry);
    void addCopyActionsForEntry(const std::shared_ptr<DZDirectoryEntry>& entry);
    static bool isFatalError(int code);
    void endAction(QVAction& action, int err) override;
    using GroupActionFTPServices::endAction;
    QString description() const override;
    QString displayString() const override;
    QString displaySubString() const override;
    void didPostToActionPipe() override;

private:
    QString _sourceDirectory;
    QString _destinationDirectory;
    bool _overwritingAllowed = false;
};
