#pragma once

#include <QList>
#include <QString>
#include <memory>

class DorvantiUSBCopJob;
class FTPReceiver;

// The process-wide owner of the running USB copy jobs: starts them, hands
// their progress and ends to the receivers on the main thread, and kills
// them (one, all, or all at the application's end).
class DorvantiUSBCopyHdlr {
public:
    // Passes of a wait for a killed job.
    static constexpr int kKillPasses = 100;
    static constexpr int kKillAllPasses = 16;

    DorvantiUSBCopyHdlr() = default;
    ~DorvantiUSBCopyHdlr();
    DorvantiUSBCopyHdlr(const DorvantiUSBCopyHdlr&) = delete;
    DorvantiUSBCopyHdlr& operator=(const DorvantiUSBCopyHdlr&) = delete;

    static DorvantiUSBCopyHdlr& sharedDorvantiUSBCopyHdlr();
    // The shared handler when one exists.
    static DorvantiUSBCopyHdlr* existingHandler();
    // Kills every job; true when no shared handler remains.
    static bool terminateDorvantiUSBCopyHdlr();

    int count() const { return int(_copyJobs.size()); }
    std::shared_ptr<DorvantiUSBCopJob> copyPathAsync(const QString& source, const QString& destination,
                                                     bool overwritingAllowed, FTPReceiver* notifier);
    void killAllJobs();
    // false when the job is not running or did not end within the passes.
    bool killJobs(const std::shared_ptr<DorvantiUSBCopJob>& job);
    // The job's progress as it was when the copying thread reported it.
    void notifyServerProgress(const std::shared_ptr<DorvantiUSBCopJob>& job, double bytes, int percent);
    void notifyThreaderFinishedJob(const std::shared_ptr<DorvantiUSBCopJob>& job);

private:
    bool isRunning(const std::shared_ptr<DorvantiUSBCopJob>& job) const { return _copyJobs.contains(job); }

    QList<std::shared_ptr<DorvantiUSBCopJob>> _copyJobs;
    // A progress or end delivery is under way (main thread).
    bool _inCall = false;
};
