#pragma once

#include "jobs/QVActionContainer.h"

#include <QList>

class QVAction;

// All organizer sync jobs of one sync of a phone, types in the order 1, 0,
// 3, 2, 4, each one the sync engine syncs. With folder waits every job waits
// 30 s for the phone's listing from "/" and the queue view counts down
// meanwhile; without (a sync asked for from elsewhere) they start at once.
class GroupContainerSyncPhone : public QVActionContainer {
public:
    explicit GroupContainerSyncPhone(std::shared_ptr<QVActionMachine> actionMachine);

    // The container filled with its jobs at the priority; none without a
    // machine.
    static std::shared_ptr<GroupContainerSyncPhone> initQVActionContainer(std::shared_ptr<QVActionMachine> machine,
                                                                          int priority);
    static std::shared_ptr<GroupContainerSyncPhone>
    initQVActionContainerWithoutPreprocessing(std::shared_ptr<QVActionMachine> machine, int priority);

    bool wantsToSyncOrganizerType(int type) const;
    void addOrganizerSyncActionIfNeccessaryOfType(int type, QList<std::shared_ptr<QVAction>>& jobs) const;
    QList<std::shared_ptr<QVAction>> organizerSyncActions() const;
    bool hasPreprocessor() const { return _hasPreprocessor; }
    double stopTime() const { return _stopTime; }

    bool doStartContainer() override;
    bool cancelAction() override;
    QString description() const override;
    QString displayString() const override;
    QString displaySubString() const override;
    QString statusMenueString() const override;

private:
    void fill(int priority, bool withPreprocessor);
    bool isPreparing() const;

    double _stopTime = 0;
    bool _hasPreprocessor = false;
};
