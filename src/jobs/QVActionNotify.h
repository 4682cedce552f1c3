#pragma once

class QVAction;

// The requester of a job: told just before the start (and may refuse it), of
// progress (and may stop the job by answering false) and of the end.
class QVActionNotify {
public:
    virtual ~QVActionNotify() = default;

    // false refuses the start (the job ends with 0xAC001).
    virtual bool startAction(QVAction& action) = 0;
    // The answer goes back to whoever reported the progress; false asks the
    // job to stop.
    virtual bool processAction(QVAction& action, float percent) = 0;
    virtual void endAction(QVAction& action, int err) = 0;
    // Sent by some jobs once they entered a pipe; ignored unless overridden.
    virtual void didPostAction(QVAction& action) { (void)action; }
};
