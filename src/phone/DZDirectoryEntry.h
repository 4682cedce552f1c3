#pragma once

#include "jobs/QVActionNotify.h"
#include "phone/DZTreeNames.h"
#include "platform/NotificationCenter.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <limits>
#include <memory>

class DZDataManager;
class DZDirectory;
class FTPFile;
class MFDevice;
class QVAction;
class QVPreprocessAction;

// One file or folder of the phone's file tree. It knows whether its content
// is up to date, being listed, copied or deleted (dztree::kOutOfDate ..
// kRemoved), builds the file jobs that act on it and is their requester: it
// counts its running jobs, shows progress and falls back to a safe state
// when one fails. An entry without a phone record (or one being removed) is
// speculative: it vanishes again once no job needs it. Main thread only.
class DZDirectoryEntry : public QVActionNotify, public std::enable_shared_from_this<DZDirectoryEntry> {
public:
    using Ptr = std::shared_ptr<DZDirectoryEntry>;
    using Job = std::shared_ptr<QVAction>;
    static constexpr unsigned kLabelUnread = std::numeric_limits<unsigned>::max();

    DZDirectoryEntry(const QString& name, DZDataManager* manager);
    ~DZDirectoryEntry() override;
    DZDirectoryEntry(const DZDirectoryEntry&) = delete;
    DZDirectoryEntry& operator=(const DZDirectoryEntry&) = delete;

    // A file or folder (by the record) named by the record, added to parent.
    static Ptr entryWithFTPFile(const std::shared_ptr<FTPFile>& file, const std::shared_ptr<DZDirectory>& parent,
                                DZDataManager* manager);
    static Ptr speculativeEntryWithName(const QString& name, DZDataManager* manager, bool isDirectory);
    // One node of the stored tree, without its children (the manager reads
    // the nesting); none for a node of the wrong kind or an unsafe name.
    static Ptr entryFromTreeNode(const QVariantMap& node, const std::shared_ptr<DZDirectory>& parent,
                                 DZDataManager* manager);

    // Queries.
    virtual bool isFile() const { return false; }
    virtual bool isDirectory() const { return false; }
    bool isSpeculative() const;
    bool hasActionsInProgress() const { return _countOfJobs != 0; }
    unsigned countOfJobs() const { return _countOfJobs; }
    unsigned countOfJobsWithProgress() const { return _countOfJobsWithProgress; }
    bool isChildOf(const DZDirectoryEntry& entry) const;
    bool hasMirrorFile() const;
    bool isReadable() const;
    bool isWriteable() const;
    QString fsType() const;
    QDateTime calendarDate() const;
    bool isGhostFile() const;
    const QString& name() const { return _name; }
    std::shared_ptr<DZDirectory> parent() const { return _parent; }
    int status() const { return _status; }
    double lastUpdateTime() const { return _lastUpdateTime; }
    QVariantMap& attributes() { return _customAttributes; }
    MFDevice* getMFDevice() const;
    DZDataManager* manager() const { return _manager; }
    QString fullExternalPath() const;
    QString getMirrorPath() const;
    // The record, or a substitute made from the name and kind.
    std::shared_ptr<FTPFile> ftpFile() const;
    bool hasRecord() const { return bool(_ftpFile); }

    virtual QList<Ptr> entries() { return {}; }
    virtual QList<Ptr> entriesNoUpdate() const { return {}; }
    virtual int numberOfEntries() const { return 0; }
    virtual Ptr entryWithName(const QString& name) const { Q_UNUSED(name); return nullptr; }
    virtual Ptr entryAtIndex(int index) const { Q_UNUSED(index); return nullptr; }
    virtual Ptr resolveRelativePath(const QString& path);
    virtual bool isCopyingToMobile() const { return false; }

    QString displayableSize() const;
    QString formattedModificationDate() const;
    QString getImageExtension() const;
    QImage iconImageOfSize(int size) const;
    unsigned getFinderEtikette();
    void setFinderEtikette(unsigned label);
    static QColor getEtiketColor(unsigned label);
    // The stored node (a folder with its children).
    virtual QVariantMap toDictionary() const;
    // Name, type, size and date as rich text for the inspector.
    QString attributedInspectorStringForDirectoryEntry() const;
    // Drag and drop: {"DirectoryEntryRefPtr": number}; the number is looked
    // up among the live entries, anything else gives none.
    QVariantMap getRefPtr() const;
    static Ptr getFromRef(const QVariant& reference);

    // Jobs built for this entry (none when refused).
    virtual Job actionToUpdateWithPriority(int priority);
    virtual Job actionToUpdateWholeSubtreeWithPriority(int priority, bool forceUpdateOfUpToDateDirectories);
    virtual Job actionCopyToMacDirectory(const QString& macFolder, int priority);
    virtual Job actionCopyToMobileFromMacPath(const QString& macPath, std::shared_ptr<QVPreprocessAction> pre,
                                              int priority);
    virtual Job actionToMakeFolderWithName(const QString& name, int priority);
    virtual Job actionToDeleteWithPriority(int priority);

    // The same, posted through the manager (merged with an equal queued job).
    Job update() { return updateWithPriority(1); }
    Job updateWithPriority(int priority);
    Job copyToMacDirectory(const QString& macFolder);
    Job copyToMirror();
    Job copyToMobile(const QString& macPath, std::shared_ptr<QVPreprocessAction> pre = nullptr);
    Job makeFolder(const QString& name);
    Job deleteEntry();
    Job copyToDirectory(const Ptr& target);
    Job moveToDirectory(const Ptr& target);

    // Requester of its jobs.
    void didPostAction(QVAction& action) override;
    bool startAction(QVAction& action) override;
    bool processAction(QVAction& action, float percent) override;
    void endAction(QVAction& action, int err) override;

    // What the file jobs tell it.
    void copyJobWillFinish();
    void copyToMobileFailed();
    void copyToMacFinished();
    void copyToMobileFinishedWithPriority(int priority);
    virtual void deleteFailed();
    // A delete that never reached the phone: the entry is as before it.
    void deleteNotStarted();
    void noUpdateDoDelete();
    virtual void setDirectoryIsUnreadable() {}
    virtual void makeAllFilesSpeculative();
    virtual void registerOnMirror();
    virtual void registerTreeOnMirror() { registerOnMirror(); }
    virtual void setFTPFile(const std::shared_ptr<FTPFile>& file);
    void wasUpdated();
    void setOutOfDate() { setStatus(dztree::kOutOfDate); }
    virtual void resetStatus();
    virtual void setStatus(int status);
    bool shouldResetStatusOnError(int code) const;
    virtual bool canRemoveSpeculative() const;
    void removeIfSpeculativeBecameUnneccessary();

    void listenForPercentUpdateNotifications(const void* observer, platform::NotificationCenter::Handler handler);
    void stopListeningForPercentUpdateNotifications(const void* observer);

    void setParent(const std::shared_ptr<DZDirectory>& parent) { _parent = parent; }
    void setGhost(bool ghost) { _isGhostFile = ghost; }
    void setEtiketteField(unsigned label) { _etikette = label; }
    // Clears the parent links of the subtree so that it can go.
    virtual void detachTree() { _parent.reset(); }

protected:
    bool dontChangeToNewStatus(int status) const;
    // Logs a refused operation: "(name) operation on status != kUpToDate".
    void logRefusedStatus(const char* operation) const;
    void postChangeForParent() const;

    DZDataManager* _manager = nullptr;
    int _status = dztree::kOutOfDate;
    QString _name;
    std::shared_ptr<DZDirectory> _parent;
    std::shared_ptr<FTPFile> _ftpFile;
    unsigned _etikette = kLabelUnread;
    QVariantMap _customAttributes;
    unsigned _countOfJobs = 0;
    unsigned _countOfJobsWithProgress = 0;
    double _lastUpdateTime = -std::numeric_limits<double>::infinity();
    bool _isGhostFile = false;
    int _statusBeforeDelete = dztree::kOutOfDate;

private:
    friend class DZDataManager;
    // Registers a new entry among the live ones (for drag references).
    static void registerLive(const Ptr& entry);
    QSet<const QVAction*> _jobsWithProgress;
};

Q_DECLARE_METATYPE(std::shared_ptr<DZDirectoryEntry>)
