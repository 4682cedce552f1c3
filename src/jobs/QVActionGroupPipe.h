#pragma once

#include "jobs/QVActionPipe.h"

#include <memory>

class QVActionGroup;

// The private pipe of a group. It is held (blocked) while the group is
// suspended, and ends the group once it was cancelled and ran empty.
class QVActionGroupPipe : public QVActionPipe {
public:
    QVActionGroupPipe(const QStringList& actionTypes, const std::shared_ptr<QVActionMachine>& actionMachine,
                      const std::shared_ptr<QVActionGroup>& groupAction);
    // Null for no machine or no types.
    static std::shared_ptr<QVActionGroupPipe> allocGroupActionPipe(const QStringList& actionTypes,
                                                                   const std::shared_ptr<QVActionMachine>& actionMachine,
                                                                   const std::shared_ptr<QVActionGroup>& groupAction);

    // The parent pipe's types: sub-jobs close what jobs of that pipe close.
    QStringList actionTypesToClose() const override;
    void actionSuspended(const std::shared_ptr<QVAction>& action) override;
    bool isPipeBlocked() const override;
    void restartActionPipeIdle();
    void actionDidEnd(const std::shared_ptr<QVAction>& action) override;

private:
    std::weak_ptr<QVActionGroup> _groupAction;
    bool _blockPipe = false;
};
