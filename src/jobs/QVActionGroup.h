#pragma once

#include "jobs/QVAction.h"
#include "jobs/QVActionNotify.h"

#include <QList>

#include <memory>

class QVActionGroupPipe;

// A job that, while it runs, runs its sub-jobs one at a time through a private
// sub-pipe. It keeps the running slot of its own pipe until its last sub-job
// ended, unless it is suspended (between two sub-jobs, or with a sub-job that
// suspends itself). It is the additional requester of each sub-job and ends
// with the code of its last one.
class QVActionGroup : public QVAction, public QVActionNotify {
public:
    QVActionGroup();
    QVActionGroup(std::shared_ptr<QVActionNotify> notify, QVariant userInfo);
    ~QVActionGroup() override;

    std::shared_ptr<QVActionGroup> selfGroup();

    virtual bool acceptPostForSubPipe(const QString& actionType) const;
    virtual bool addGroupAction(const std::shared_ptr<QVAction>& action);

    bool cancelAction() override;
    int startAction() override;
    void endAction(int code) override;

    // Requester of the sub-jobs.
    bool startAction(QVAction& action) override;
    bool processAction(QVAction& action, float percent) override;
    void endAction(QVAction& action, int err) override;
    using QVAction::processAction;

    unsigned actionCount() const override;
    unsigned previewCount() const override;
    std::shared_ptr<QVAction> currentAction() const;
    bool killAction(bool tell) override;
    bool doSuspendAction() override;

    void setEndOnSubActionError(bool flag);
    bool endOnSubActionError() const;
    std::shared_ptr<QVActionGroupPipe> groupPipe() const { return _groupPipe; }

protected:
    // The requester object the group registers with its sub-jobs. It reaches
    // the group through a weak reference, so that sub-jobs do not keep their
    // group alive (the group owns them).
    std::shared_ptr<QVActionNotify> subJobNotify();

    std::shared_ptr<QVActionGroupPipe> _groupPipe;
    // Sub-jobs added before the first start; gone once moved to the sub-pipe.
    QList<std::shared_ptr<QVAction>> _groupBufferList;
    bool _endOnSubActionError = false;

private:
    class SubJobNotify;
    std::shared_ptr<QVActionNotify> _subJobNotify;
};
