#pragma once

#include "phonejobs/GroupActionFTPServices.h"

#include <QStringList>

#include <functional>

class DZDirectoryEntry;

// The file part of a phone's backup: after its folder wait (at least 20 s
// from its posting and 2 s after the listing of "/" settled) it copies every
// phone file the device wants backed up and the mirror does not hold yet into
// the files mirror. Failed copies do not stop it; their descriptions go to a
// list it shares with its backup container. A backup that ends with 0, or
// that found nothing left to copy, marks the device's backup complete.
class GroupActionBackupPhone : public GroupActionFTPServices {
public:
    using ErrorList = std::shared_ptr<QStringList>;

    GroupActionBackupPhone(std::shared_ptr<QVActionNotify> notify = nullptr, QVariant userInfo = {});
    ~GroupActionBackupPhone() override;

    const ErrorList& errorDescriptions() const { return _errorDescriptions; }
    void setErrorDescriptions(ErrorList list) { _errorDescriptions = std::move(list); }

    void fileSystemBecameValid();
    void backupBecameComplete();
    void addCopyActionForFile(const std::shared_ptr<DZDirectoryEntry>& entry);
    bool shouldBackupFile(DZDirectoryEntry& entry) const;
    unsigned countPreviewOfFiles(const std::shared_ptr<DZDirectoryEntry>& entry) const;
    unsigned previewCount() const override;
    void addCopyActionsForEntry(const std::shared_ptr<DZDirectoryEntry>& entry);

    QString displayString() const override;
    QString description() const override;
    void willPostToActionPipe() override;
    // A member ended.
    void endAction(QVAction& action, int err) override;
    bool wasSuspended() const { return bool(groupPipe()); }
    int startAction() override;
    void endAction(int code) override;
    using GroupActionFTPServices::startAction;

    // Copy jobs this group built (a resumed group builds none again).
    int copiesAdded() const { return _copiesAdded; }

private:
    // Calls visit for each file below entry (entry itself when a file),
    // without listing anything again.
    void forEachFileBelow(const std::shared_ptr<DZDirectoryEntry>& entry,
                          const std::function<void(const std::shared_ptr<DZDirectoryEntry>&)>& visit) const;

    ErrorList _errorDescriptions;
    int _copiesAdded = 0;
};
