#pragma once

#include "phone/DZDirectoryEntry.h"

// A file of the phone's file tree.
class DZFile : public DZDirectoryEntry {
public:
    using DZDirectoryEntry::DZDirectoryEntry;

    bool isFile() const override { return true; }
    bool isCopyingToMobile() const override;

    Job actionToUpdateWithPriority(int priority) override;
    Job actionCopyToMacDirectory(const QString& macFolder, int priority) override;
    Job actionCopyToMobileFromMacPath(const QString& macPath, std::shared_ptr<QVPreprocessAction> pre,
                                      int priority) override;
    Job actionToMakeFolderWithName(const QString& name, int priority) override;
    Job actionToDeleteWithPriority(int priority) override;

    void setFTPFile(const std::shared_ptr<FTPFile>& file) override;
    void resetStatus() override;
    void deleteFailed() override;

private:
    // 3 when the mirror's copy is current, else 1.
    int statusFromMirror() const;
};
