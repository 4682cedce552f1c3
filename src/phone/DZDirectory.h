#pragma once

#include "phone/DZDirectoryEntry.h"

#include <QHash>

// A folder of the phone's file tree. Its children are kept unsorted with an
// index by case-folded name (names are unique regardless of case); readers
// get them sorted by name.
class DZDirectory : public DZDirectoryEntry {
public:
    using DZDirectoryEntry::DZDirectoryEntry;

    bool isDirectory() const override { return true; }

    // Refuses (and logs) a name already present in any case.
    bool addEntry(const Ptr& entry);
    QList<Ptr> entries() override;
    QList<Ptr> entriesWithUpdatePriority(int priority);
    QList<Ptr> entriesNoUpdate() const override;
    int numberOfEntries() const override { return int(_directoryEntries.size()); }
    int numberOfExistingEntries() const;
    // "/" in the name stands for ":".
    Ptr entryWithName(const QString& name) const override;
    Ptr entryAtIndex(int index) const override;
    Ptr resolveRelativePath(const QString& path) override;
    Ptr addSpeculativeEntryWithName(const QString& name, bool isDirectory);
    void noUpdateDoDeleteEntry(const Ptr& entry);

    Job actionToUpdateWithPriority(int priority) override;
    Job actionToUpdateWholeSubtreeWithPriority(int priority, bool forceUpdateOfUpToDateDirectories) override;
    Job actionCopyToMacDirectory(const QString& macFolder, int priority) override;
    Job actionCopyToMobileFromMacPath(const QString& macPath, std::shared_ptr<QVPreprocessAction> pre,
                                      int priority) override;
    Job actionToMakeFolderWithName(const QString& name, int priority) override;
    Job actionToDeleteWithPriority(int priority) override;

    void setStatus(int status) override;
    void deleteFailed() override;
    void setDirectoryIsUnreadable() override;
    void makeAllFilesSpeculative() override;
    void registerOnMirror() override;
    void registerTreeOnMirror() override;
    void setFTPFile(const std::shared_ptr<FTPFile>& file) override;
    bool canRemoveSpeculative() const override;
    QVariantMap toDictionary() const override;
    void detachTree() override;

private:
    // The child whose name is the longest prefix of path; *length its size.
    Ptr greedyMatchEntry(const QString& path, qsizetype* length) const;
    static QString indexKey(const QString& name);

    QList<Ptr> _directoryEntries;
    QHash<QString, Ptr> _index;
};
