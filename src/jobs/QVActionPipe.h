#pragma once

#include "jobs/QVPrivateActionPipeHandler.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class MFDevice;
class QVAction;
class QVActionMachine;

// One queue of the machine: serves a fixed list of action types, keeps their
// jobs in priority order (then posting order) and runs at most one at a time.
// Driven only by its own delayed idle calls, the ends and suspensions its jobs
// report, and the shared 34 s tick. Only the head of the list is ever
// considered for a start.
class QVActionPipe : public QVPrivateActionPipeHandler, public std::enable_shared_from_this<QVActionPipe> {
public:
    QVActionPipe(const QStringList& actionTypes, const std::shared_ptr<QVActionMachine>& actionMachine);
    // Null for no machine, a machine without a device, or no types.
    static std::shared_ptr<QVActionPipe> allocActionPipe(const QStringList& actionTypes,
                                                         const std::shared_ptr<QVActionMachine>& actionMachine);
    // Kills every job first (0xAC004, requesters unheard).
    ~QVActionPipe() override;

    std::shared_ptr<QVActionMachine> actionMachine() const;
    QList<std::shared_ptr<QVAction>> actions() const;
    QStringList actionTypes() const;
    // The types whose open connections a connection job must close first.
    virtual QStringList actionTypesToClose() const;
    bool actionTypeFetches(const QString& actionType) const;

    // Inserts (or re-sorts) the job with the next job index.
    void doAddAction(const std::shared_ptr<QVAction>& action);
    // Re-sorts a queued job a moment later (after a priority change); dropped
    // when the job has left the pipe meanwhile.
    void resortActionLater(const std::shared_ptr<QVAction>& action);
    bool addAction(const std::shared_ptr<QVAction>& action);
    bool removeAction(const std::shared_ptr<QVAction>& action);

    // Reports from a job's end.
    virtual void actionDidEnd(const std::shared_ptr<QVAction>& action);
    virtual void actionSuspended(const std::shared_ptr<QVAction>& action);
    virtual void sessionDied(const std::shared_ptr<QVAction>& action);

    virtual bool isPipeBlocked() const;
    // The scheduler: the only place where a job starts.
    void actionPipeIdle() override;

    unsigned actionCount() const;
    unsigned previewCount() const;
    std::shared_ptr<QVAction> actionEqualTo(const QVAction& action) const;
    bool searchActionEqualToDescripton(const QString& description) const;
    std::shared_ptr<QVAction> currentAction() const;

    bool killAllActions(bool tell);
    bool isPipeCanceld() const;
    void cancelActionPipe();

protected:
    MFDevice* device() const;
    void performActionPipeIdle(double delay);
    void schedulePoll();

    QStringList _actionTypes;
    QList<std::shared_ptr<QVAction>> _transJobList;
    std::shared_ptr<QVAction> _currentAction;
    std::weak_ptr<QVActionMachine> _actionMachine;
    MFDevice* _actionDevice = nullptr;
    unsigned _jobIndex = 0;
    bool _pipeCanceld = false;
};
