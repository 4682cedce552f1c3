#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <typeinfo>

class MFDevice;
class QVAction;
class QVActionPipe;

// The job engine of one device: an ordered list of pipes, each serving a
// fixed set of action types. Jobs of different pipes run side by side, jobs
// of one pipe one after the other. Created active; inactive for good after
// cancelAllActionsForClose() or a dead session, when it accepts no more jobs.
class QVActionMachine : public std::enable_shared_from_this<QVActionMachine> {
public:
    explicit QVActionMachine(MFDevice* device);
    // Null for no device.
    static std::shared_ptr<QVActionMachine> allocActionMachine(MFDevice* device);
    ~QVActionMachine();
    QVActionMachine(const QVActionMachine&) = delete;
    QVActionMachine& operator=(const QVActionMachine&) = delete;

    MFDevice* getActionDevice() const;
    QList<std::shared_ptr<QVActionPipe>> actionPipes() const;
    std::shared_ptr<QVActionPipe> pipeForAction(const QString& actionType) const;
    // Throws platform::Exception "Pipe ActionType already exist error" when a
    // type is served already. false for no types.
    bool addActionPipe(const QStringList& actionTypes);
    // Whether the machine would take the job (active, and a pipe serves its type).
    bool validateActionType(const std::shared_ptr<QVAction>& action);
    bool addAction(const std::shared_ptr<QVAction>& action);

    unsigned actionCount() const;
    unsigned actionCount(const QString& actionType) const;
    void cancelAllActions();
    void cancelAllActionsForClose();
    bool killAllActions(bool tell);
    bool killAllActions(bool tell, const QString& actionType);
    std::shared_ptr<QVAction> actionEqualTo(const std::shared_ptr<QVAction>& action);
    bool searchActionEqualToDescripton(const QString& description) const;
    // A session died: inactive, every job killed with its requester told,
    // "NotifySessionDiedError" posted with the device as sender.
    void sessionPipeDied();
    unsigned announceQuit();
    // Kills every job, then runs the loop in 0.1 s slices (at least once)
    // until the pipes are empty; answers the jobs still there.
    unsigned announceQuitWithLoops(unsigned loops);

    // Queued jobs of exactly this class (subclasses do not count).
    QList<std::shared_ptr<QVAction>> actionsOfClass(const std::type_info& type) const;
    QString pipeOfPostedActionOfClass(const std::type_info& type) const;
    bool hasPostedActionsOfClass(const std::type_info& type) const;
    template <class T>
    QList<std::shared_ptr<QVAction>> actionsOfClass() const { return actionsOfClass(typeid(T)); }

    bool isActive() const;

private:
    MFDevice* _actionDevice = nullptr;
    QList<std::shared_ptr<QVActionPipe>> _actionPipes;
    bool _actIsActive = true;
};
