#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class DZDataManager;
class QVAction;
class QVActionContainer;
class QVActionNotify;
class QVPreprocessAction;

// The jobs the phone's file tree and its data manager build. The tree lives
// below the jobs, so the job folder fills these in; an empty maker builds no
// job (the tree then answers none, as for a phone without that service).
struct DZFileJobMakers {
    using Notify = std::shared_ptr<QVActionNotify>;
    using Job = std::shared_ptr<QVAction>;

    // One phone folder listed into the tree.
    std::function<Job(const QString& path, Notify)> listFolder;
    std::function<Job(const QString& path, Notify)> makeFolder;
    std::function<Job(const QString& path, Notify)> deleteEntry;
    // One file from the phone into a desktop folder, through the mirror.
    std::function<Job(const QString& phoneFile, const QString& macFolder, qint64 size, bool overwrite, Notify)>
        copyToMac;
    // One desktop file into a phone folder, through the mirror.
    std::function<Job(const QString& macFile, const QString& phoneFolder, qint64 size, bool overwrite, Notify)>
        copyToMobile;
    // The groups.
    std::function<Job(const QString& path, bool force, Notify)> updateTree;
    std::function<Job(const QString& phoneFolder, const QString& macFolder, bool overwrite, Notify)> copyFolderToMac;
    std::function<Job(const QString& macFolder, const QString& phoneFolder, Notify)> copyFolderToMobile;
    std::function<Job(const QString& path, Notify)> deleteFolder;
    std::function<Job(const QStringList& paths, Notify)> makeFolders;
    // A group that runs the jobs in order and ends on the first failing one.
    std::function<Job(const QList<Job>& jobs)> sequence;

    // The organizer job of a type for this device (nil when none fits), and
    // the text its class shows by default.
    std::function<Job(DZDataManager&, int type, int priority, bool slowSync, Notify)> organizerJob;
    std::function<QString(DZDataManager&, int type)> organizerDescription;
    // The backup's file group at a priority (not posted), and the sync
    // container with its folder waits at a priority (not started).
    std::function<Job(DZDataManager&, int priority)> backupFiles;
    std::function<std::shared_ptr<QVActionContainer>(DZDataManager&, int priority)> syncContainer;
    // The backup and sync containers, started; nil when they did not start.
    std::function<std::shared_ptr<QVActionContainer>(DZDataManager&)> startBackup;
    std::function<std::shared_ptr<QVActionContainer>(DZDataManager&)> startSync;
    std::function<std::shared_ptr<QVActionContainer>(DZDataManager&)> startSyncRemote;
};
