#pragma once

#include "jobs/QVFeedBack.h"

#include "platform/Clock.h"

#include <QString>
#include <QVariant>

#include <memory>

class MFDevice;
class QVActionNotify;
class QVActionPipe;
class QVPreprocessAction;

// A job: posted to the device's action machine, queued in the pipe of its
// type, started when its turn comes, reporting progress, ending exactly once
// with an integer code (0 = success; see jobs/JobCodes.h). A job ended with
// 0xAC003 (suspended) is not ended: it goes back to the queue and starts again.
// Subclasses implement actionType() and startAction().
class QVAction : public QVFeedBack {
public:
    // No requester, no user info, priority 0, error handling 0.
    QVAction();
    // The usual start: priority 4, error handling 2 (keep the row on error).
    QVAction(std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~QVAction() override;

    std::shared_ptr<QVAction> selfAction();

    // false once the job is in a pipe, or for no step.
    bool setPreprocessAction(std::shared_ptr<QVPreprocessAction> step);
    std::shared_ptr<QVPreprocessAction> preprocessAction() const;

    QString statusNibIdent() const override;
    void setStatusNibIdent(const QString& ident);
    bool executeOnlyIfNeeded() const;
    void setExecuteOnlyIfNeeded(bool flag);
    int feedBackErrorHandling() const override;
    QString feedBackErrorString() const override;
    void setFeedBackErrorString(const QString& text);
    // The localized text of the decimal code, else "<UnspecifiedErr> (0x<code>)".
    virtual QString generateErrorString(int code) const;

    // Merging of equal requests: the job's requester becomes a fan-out that
    // tells every requester with its own user info.
    virtual bool addNotify(std::shared_ptr<QVActionNotify> notify, const QVariant& userInfo);
    virtual bool didUpdateActionWithPriorityAndListenerFromAction(QVAction& other);

    virtual void setActionDevice(MFDevice* device, const std::shared_ptr<QVActionPipe>& pipe, unsigned jobIndex);
    // Hooks around the pipe's insertion.
    virtual void willPostToActionPipe();
    virtual void didPostToActionPipe();

    unsigned jobIndex() const;
    void setNotify(std::shared_ptr<QVActionNotify> notify);
    std::shared_ptr<QVActionNotify> notify() const;
    MFDevice* getActionDevice() const;
    MFDevice* getMFDevice() const { return getActionDevice(); }
    void doPostNotifications(bool on) override;
    bool doPostNotify() const override;

    // true while the job prepares its connection; cancelAction then only flags it.
    virtual bool isInOpenProgress() const;

    double waitTimeout() const;
    void setWaitTimeout(double seconds);
    double runTimeout() const;
    void setRunTimeout(double seconds);

    void stopTimer();
    virtual void timeoutAction();
    void setupTimerWithTimeout(double seconds);
    void startTimerWithTimeout(double seconds);
    bool hasPendingTimer() const;

    bool cancelAction() override;
    // Ends the job with 0xAC004; with tell false its requester hears nothing.
    virtual bool killAction(bool tell);

    QVariant getUserInfo() const override;
    void setUserInfo(const QVariant& userInfo);

    virtual unsigned actionCount() const;
    virtual unsigned previewCount() const;

    int feedBackStatus() const override;
    QString description() const override;
    virtual bool isEqualToAction(const QVAction& other) const;
    // Identity unless a subclass compares more.
    virtual bool isEqual(const QVAction& other) const;
    int priorityCompare(const QVAction& other) const;
    int feedBackStatusCompare(const QVAction& other) const;

    // A queued job whose priority changes is re-sorted by its pipe shortly
    // after; a running job keeps its priority (false).
    virtual bool setPriority(int priority);
    virtual int priority() const;

    bool isRunning() const;
    // The pipe's entry point for starting; non-zero is the code to end with.
    int doStartAction();
    // false once cancelled, else the requester's answer (true without one).
    virtual bool processAction(float percent);
    // false holds the whole pipe while a precondition is missing.
    virtual bool readyToExecute();
    // The job's own start: 0 = started, anything else = the code to end with.
    virtual int startAction();
    // The pipe key (a service name).
    virtual QString actionType() const;
    virtual void actionRemovedFromPipe();

    // The one way a job ends.
    virtual void endAction(int code);

    virtual bool canSuspend() const;
    virtual bool doSuspendAction();
    virtual void resetActionForStartAfterSuspend();

    // The pipe that holds the job, or null.
    std::shared_ptr<QVActionPipe> privateActionData() const;
    bool isCancelled() const;
    // true once the job ended for good (a suspension does not count).
    bool hasEnded() const;

protected:
    MFDevice* _actionDevice = nullptr;
    int _qvaPriority = 0;
    std::shared_ptr<QVActionNotify> _notify;
    std::shared_ptr<QVPreprocessAction> _preprocessAction;
    QString _statusNibIdent;
    QVariant _userInfo;
    std::weak_ptr<QVActionPipe> _privateActionData;
    unsigned _jobIndex = 0;
    int _feedBackErrorHandling = 0;
    QString _feedBackErrorString;
    bool _postNotifications = false;
    bool _doCancel = false;
    bool _executeOnlyIfNeeded = false;
    platform::Timer _timer;
    double _waitTimeout = -1.0;
    double _runTimeout = -1.0;

private:
    // Bumped by every stopTimer(), so that a timer set-up still on its way
    // to the main thread is dropped when the timer was stopped meanwhile.
    quint64 _timerGeneration = 0;
    bool _ended = false;
};
