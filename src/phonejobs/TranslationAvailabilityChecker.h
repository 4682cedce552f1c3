#pragma once

#include "links/FTPFile.h"
#include "phonejobs/ActionGetDirectoryContent.h"

#include <QStringList>

// Lists the phone's root and checks that the phone's media folders (the
// device's special folders) are there.
class TranslationAvailabilityChecker : public ActionGetDirectoryContent {
public:
    TranslationAvailabilityChecker(std::shared_ptr<QVActionNotify> notify, QVariant userInfo);

    // A listing of "/" with the requester and user info.
    static std::shared_ptr<TranslationAvailabilityChecker> checkWithNotifier(std::shared_ptr<QVActionNotify> notify,
                                                                             QVariant userInfo);

    QString description() const override;
    // The first path component of each of the device's special folders.
    QStringList specialFolderNamesInRoot() const;
    static bool isFolderMissingInRoot(const QString& name, const FTPFileList& listing);
    bool isMissingMediaFolders(const FTPFileList& listing) const;
    // What should go when media folders are missing is not settled: it only
    // logs the missing names, once.
    virtual void removeMediaFoldersFromDatabase();
    void endAction(int code) override;

    const QStringList& missingFolderNames() const { return _missing; }

private:
    QStringList _missing;
    bool _logged = false;
};
