#include "phone/DorvantiUSBCopJob.h"

#include "foundation/MoreUNIX.h"
#include "foundation/NamedLog.h"
#include "links/ObexCommand.h"
#include "phone/DorvantiUSBCopyHdlr.h"
#include "phone/FTPReceiver.h"
#include "platform/RunLoop.h"

#include <QFileInfo>
#include <cerrno>
#include <chrono>

namespace {
// The copying thread's start delay.
constexpr auto kStartDelay = std::chrono::milliseconds(50);

// The progress function of the copy jobs: keeps the bytes copied and tells
// the job; the kill flag stops the copy.
bool MyMFCallback(MFMoreUNIXCopyProgress& record, qint64 bytesCopied)
{
    record.copied = bytesCopied;
    static_cast<DorvantiUSBCopJob*>(record.owner)->notifyServerProgress(record);
    return true;
}
} // namespace

DorvantiUSBCopJob::DorvantiUSBCopJob(DorvantiUSBCopyHdlr* handler)
    : _obexCommand(ObexCommand::commandWithError(0, nullptr))
    , _dorvantiUSBCopyHdlr(handler)
{
}

DorvantiUSBCopJob::~DorvantiUSBCopJob()
{
    if (!_thread.joinable())
        return;
    if (_thread.get_id() == std::this_thread::get_id())
        _thread.detach();
    else
        _thread.join();
}

void DorvantiUSBCopJob::copyPathAsync(const QString& source, const QString& destination, bool overwritingAllowed,
                                      FTPReceiver* notifier)
{
    _srcFilePath = source;
    _destFilePath = destination;
    _notifier = notifier;
    _overwritingAllowed = overwritingAllowed;
    _obexCommand->setUserInfo(source);
    _thread = std::thread([self = shared_from_this()] { self->doCopyPathAsync(); });
}

void DorvantiUSBCopJob::setIsKilled()
{
    _notifier = nullptr;
    _isKilled = true;
}

void DorvantiUSBCopJob::doCopyPathAsync()
{
    std::this_thread::sleep_for(kStartDelay);
    _status = copyAction();
    platform::runloop::performOnMainThread([self = shared_from_this()] {
        if (DorvantiUSBCopyHdlr* handler = DorvantiUSBCopyHdlr::existingHandler())
            handler->notifyThreaderFinishedJob(self);
    });
}

int DorvantiUSBCopJob::copyAction()
{
    MFMoreUNIXCopyProgress record;
    record.owner = this;
    record.cancel = &_isKilled;
    record.receiver = _notifier.load();
    record.progress = MyMFCallback;
    const QFileInfo source(_srcFilePath);
    if (!source.exists() && !source.isSymLink())
        return kMissingSource;
    if (source.isSymLink() || !source.isFile())
        return kNotAFile;
    record.size = source.size();
    const QFileInfo destination(_destFilePath);
    if ((destination.exists() || destination.isSymLink()) && !_overwritingAllowed)
        return kDuplicateName;
    if (destination.isDir())
        return EISDIR;
    record.result = MFMoreUNIXCopyFile(_srcFilePath, _destFilePath, &record);
    return record.result;
}

void DorvantiUSBCopJob::notifyServerProgress(MFMoreUNIXCopyProgress& record)
{
    const int percent = record.size > 0 ? int(record.copied * 100 / record.size) : 0;
    if (percent == _prozDone.load())
        return;
    _prozDone = percent;
    _transfered = record.copied;
    const double bytes = double(record.copied);
    platform::runloop::performOnMainThread([self = shared_from_this(), bytes, percent] {
        if (DorvantiUSBCopyHdlr* handler = DorvantiUSBCopyHdlr::existingHandler())
            handler->notifyServerProgress(self, bytes, percent);
    });
}

int DorvantiUSBCopJob::receiverStatus(int status)
{
    if (status == ENOSPC)
        return kDiskFull;
    if (status == EROFS)
        return kLocked;
    return status;
}

void DorvantiUSBCopJob::doFinalize()
{
    if (_status == moreunix::kCancelled || !_notifier.load())
        return;
    FTPReceiver* receiver = _notifier.exchange(nullptr);
    const int status = receiverStatus(_status);
    if (status != 0)
        QVLOG(qvlog::kXT, QStringLiteral("USB copy %1 -> %2 failed: %3").arg(_srcFilePath, _destFilePath).arg(status));
    _obexCommand->setStatusAndResultSilent(status, QVariant(), true);
    receiver->notifyFinishedJob(*_obexCommand);
}
