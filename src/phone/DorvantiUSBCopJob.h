#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <thread>

class DorvantiUSBCopyHdlr;
class FTPReceiver;
class ObexCommand;
struct MFMoreUNIXCopyProgress;

// One file copy to or from a phone mounted as a USB volume, on a thread of
// its own. The copy goes to a temporary file beside the destination that
// replaces it only on success; an existing destination is kept (-48) unless
// overwriting is allowed. Progress and the end reach the receiver on the
// main thread through the handler; a killed job reports nothing.
class DorvantiUSBCopJob : public std::enable_shared_from_this<DorvantiUSBCopJob> {
public:
    static constexpr int kDuplicateName = -48;
    static constexpr int kMissingSource = -43;
    static constexpr int kNotAFile = -50;
    static constexpr int kDiskFull = -34;
    static constexpr int kLocked = -44;

    explicit DorvantiUSBCopJob(DorvantiUSBCopyHdlr* handler);
    ~DorvantiUSBCopJob();
    DorvantiUSBCopJob(const DorvantiUSBCopJob&) = delete;
    DorvantiUSBCopJob& operator=(const DorvantiUSBCopJob&) = delete;

    FTPReceiver* notifier() const { return _notifier.load(); }
    double transfered() const { return double(_transfered.load()); }
    int prozDone() const { return _prozDone.load(); }
    int status() const { return _status; }
    const std::shared_ptr<ObexCommand>& command() const { return _obexCommand; }
    const QString& sourcePath() const { return _srcFilePath; }

    void copyPathAsync(const QString& source, const QString& destination, bool overwritingAllowed,
                       FTPReceiver* notifier);
    // Clears the receiver and stops the copy after its current chunk.
    void setIsKilled();
    // The status a receiver gets for a copy result: no space -34, a
    // read-only file system -44, others as they are.
    static int receiverStatus(int status);
    // Hands the end to the receiver (main thread).
    void doFinalize();
    // From the copying thread after every chunk.
    void notifyServerProgress(MFMoreUNIXCopyProgress& record);
    // The copy itself; answers its result (0, an errno value, -43, -48,
    // -50 or -1702).
    int copyAction();

private:
    void doCopyPathAsync();

    QString _srcFilePath;
    QString _destFilePath;
    std::shared_ptr<ObexCommand> _obexCommand;
    int _status = 0;
    DorvantiUSBCopyHdlr* _dorvantiUSBCopyHdlr = nullptr;
    std::atomic<FTPReceiver*> _notifier{nullptr};
    std::atomic<qint64> _transfered{0};
    std::atomic<int> _prozDone{0};
    std::atomic<bool> _isKilled{false};
    bool _overwritingAllowed = false;
    std::thread _thread;
};
