#include "phone/DorvantiUSBCopyHdlr.h"

#include "foundation/NamedLog.h"
#include "phone/DorvantiUSBCopJob.h"
#include "phone/FTPReceiver.h"
#include "platform/RunLoop.h"

#include <chrono>
#include <thread>

namespace {
std::unique_ptr<DorvantiUSBCopyHdlr>& sharedHandler()
{
    static std::unique_ptr<DorvantiUSBCopyHdlr> handler;
    return handler;
}

// Marks a main-thread delivery under way; a delivery that comes while one
// runs (from a receiver that waits) is posted again.
class CallGuard {
public:
    explicit CallGuard(bool& flag) : _flag(flag) { _flag = true; }
    ~CallGuard() { _flag = false; }
    CallGuard(const CallGuard&) = delete;
    CallGuard& operator=(const CallGuard&) = delete;

private:
    bool& _flag;
};

constexpr auto kKillSleep = std::chrono::milliseconds(10);
constexpr double kKillSlice = 0.1;
constexpr auto kKillAllSleep = std::chrono::milliseconds(16);
constexpr double kKillAllSlice = 0.16;
} // namespace

DorvantiUSBCopyHdlr::~DorvantiUSBCopyHdlr()
{
    for (const auto& job : std::as_const(_copyJobs))
        job->setIsKilled();
}

DorvantiUSBCopyHdlr& DorvantiUSBCopyHdlr::sharedDorvantiUSBCopyHdlr()
{
    auto& handler = sharedHandler();
    if (!handler)
        handler = std::make_unique<DorvantiUSBCopyHdlr>();
    return *handler;
}

DorvantiUSBCopyHdlr* DorvantiUSBCopyHdlr::existingHandler()
{
    return sharedHandler().get();
}

bool DorvantiUSBCopyHdlr::terminateDorvantiUSBCopyHdlr()
{
    auto& handler = sharedHandler();
    if (handler) {
        handler->killAllJobs();
        if (handler->count() == 0)
            handler.reset();
    }
    return !handler;
}

std::shared_ptr<DorvantiUSBCopJob> DorvantiUSBCopyHdlr::copyPathAsync(const QString& source, const QString& destination,
                                                                      bool overwritingAllowed, FTPReceiver* notifier)
{
    auto job = std::make_shared<DorvantiUSBCopJob>(this);
    job->copyPathAsync(source, destination, overwritingAllowed, notifier);
    _copyJobs.append(job);
    return job;
}

void DorvantiUSBCopyHdlr::killAllJobs()
{
    for (const auto& job : std::as_const(_copyJobs))
        job->setIsKilled();
    for (int pass = 0; pass < kKillAllPasses && !_copyJobs.isEmpty(); ++pass) {
        std::this_thread::sleep_for(kKillAllSleep);
        platform::runloop::runFor(kKillAllSlice);
    }
}

bool DorvantiUSBCopyHdlr::killJobs(const std::shared_ptr<DorvantiUSBCopJob>& job)
{
    if (!isRunning(job))
        return false;
    job->setIsKilled();
    if (_inCall)
        return !isRunning(job);
    for (int pass = 0; pass < kKillPasses && isRunning(job); ++pass) {
        std::this_thread::sleep_for(kKillSleep);
        platform::runloop::runFor(kKillSlice);
    }
    if (isRunning(job)) {
        QVLOG(qvlog::kXT,
              QStringLiteral("USB copy of %1 did not stop within %2 passes").arg(job->sourcePath()).arg(kKillPasses));
        return false;
    }
    return true;
}

void DorvantiUSBCopyHdlr::notifyServerProgress(const std::shared_ptr<DorvantiUSBCopJob>& job, double bytes, int percent)
{
    if (_inCall) {
        platform::runloop::performOnMainThread([job, bytes, percent] {
            if (DorvantiUSBCopyHdlr* handler = existingHandler())
                handler->notifyServerProgress(job, bytes, percent);
        });
        return;
    }
    const CallGuard guard(_inCall);
    if (isRunning(job)) {
        if (FTPReceiver* receiver = job->notifier())
            receiver->showProgress(bytes, float(percent));
    }
}

void DorvantiUSBCopyHdlr::notifyThreaderFinishedJob(const std::shared_ptr<DorvantiUSBCopJob>& job)
{
    if (_inCall) {
        platform::runloop::performOnMainThread([job] {
            if (DorvantiUSBCopyHdlr* handler = existingHandler())
                handler->notifyThreaderFinishedJob(job);
        });
        return;
    }
    const CallGuard guard(_inCall);
    if (isRunning(job)) {
        job->doFinalize();
        _copyJobs.removeOne(job);
    }
}
