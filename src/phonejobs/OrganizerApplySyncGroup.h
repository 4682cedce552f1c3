#pragma once

#include "jobs/QVActionContainer.h"

// The update jobs of the organizer types the user has just switched on for
// syncing: a type on in the work environment and off in the main one is read
// at once (priority 1), unless it was already synced in this connection.
class OrganizerApplySyncGroup : public QVActionContainer {
public:
    explicit OrganizerApplySyncGroup(std::shared_ptr<QVActionMachine> actionMachine);

    bool doStartContainer() override;
    bool cancelAction() override;
    float calcCurrentProzent() const override;
    QString displayString() const override;
    QString displaySubString() const override;
};
