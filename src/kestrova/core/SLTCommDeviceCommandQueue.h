#pragma once

#include "kestrova/core/SLTStateMachine.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QVariantMap>

// The engine side of the queue: where results go.
class SLTCommDeviceCommandQueueDelegate {
public:
    virtual ~SLTCommDeviceCommandQueueDelegate() = default;
    // A result as a notification named by the command's signal, the queue as
    // sender, the result dictionary as user info.
    virtual void commandResult(const platform::Notification& notification) = 0;
    // A result for the engine method the command names
    // (SLTCommandQueueCommDeviceCallbackSelString), given the dictionary itself.
    virtual void performCommandCallback(const QString& selector, const QVariantMap& result) = 0;
};

// Runs the engine's command dictionaries one at a time through the state
// machine: connects the link when a command needs it, turns the state the
// machine ends in into a result dictionary, delivers it to the engine on a
// later pass of the event loop, and moves on. A link failure, a busy LG port
// or a time-out ends the whole queued operation with one result; a refused or
// failed command ends only itself. Main thread only.
class SLTCommDeviceCommandQueue : public SLTStateMachineDelegate {
public:
    static constexpr double kCloseDelaySeconds = 5.0;

    SLTCommDeviceCommandQueue();
    ~SLTCommDeviceCommandQueue() override;
    SLTCommDeviceCommandQueue(const SLTCommDeviceCommandQueue&) = delete;
    SLTCommDeviceCommandQueue& operator=(const SLTCommDeviceCommandQueue&) = delete;

    void setFilename(const QString& path) { _machine->setFilename(path); }
    void setDeviceAddress(const QString& address) { _machine->setDeviceAddress(address); }
    void setFamily(const QString& family) { _machine->setFamily(family); }
    void setWillCloseCallback(SLTWillCloseCallback* callback) { _machine->setWillCloseCallback(callback); }
    void setDeviceType(int type);
    void setQuorvalisID(int identifier);
    void setDelegate(SLTCommDeviceCommandQueueDelegate* delegate) { _delegate = delegate; }

    bool isConnected() const { return _machine->isConnected(); }
    // The machine is opening, nothing is queued, or the close timer runs.
    bool isEmpty() const;
    bool isIdle() const { return _idle; }
    const QList<QVariantMap>& commands() const { return _queue; }
    SLTStateMachine& machine() { return *_machine; }

    void addCommand(const QVariantMap& command);
    void addCommands(const QList<QVariantMap>& commands);
    // Replaces a placeholder at the head; ignored when the head is none.
    void insertCommand(const QVariantMap& command);
    void removeFirstCommand();
    void removeAllCommands();
    // Removes head entries up to and including the first sequence end (a
    // placeholder on the way included). With reportError, the removed
    // sequence end delivers one command error to its stage. The next command
    // then starts.
    void removeRestOfCommandSequence(bool reportError = false);
    // Drops every command and every result not yet delivered, closes the link.
    void fullStop();
    // Cancels the close timer; with arm, starts it: after 5 s the link closes.
    void setCloseDelayTimer(bool arm);

    void machineStateChanged(SLTStateMachine* machine) override;

protected:
    // The machine to run commands on (tests give one with a transport of
    // their own).
    explicit SLTCommDeviceCommandQueue(std::unique_ptr<SLTStateMachine> machine);

private:
    void startNextCommand();
    void returnResultForState(int state);
    void requestCloseFromTimer();

    std::unique_ptr<SLTStateMachine> _machine;
    QList<QVariantMap> _queue;
    bool _idle = true;
    int _deviceType = -1;
    platform::Timer _closeDelayTimer;
    SLTCommDeviceCommandQueueDelegate* _delegate = nullptr;
    bool _fullStop = false;
    int _quorvalisID = 0;
};
