#pragma once

#include "jobs/JobCodes.h"
#include "jobs/QVActionContainer.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class QVAction;

// A backup of a phone: the organizer jobs that refresh the organizer archive
// (the types the device backs up and the sync engine does not sync; the one
// the user saw last first, then in the order 1, 0, 3, 2, 4), then the file
// group that copies the wanted phone files into the files mirror. Every job
// waits first, at least 20 s, for the phone's listing. The container keeps
// one list of the files that failed, shared with its file group.
class BackUpContainer : public QVActionContainer {
public:
    using ErrorList = std::shared_ptr<QStringList>;
    // Organizer backup jobs by type name, in the order they were made.
    using OrganizerJobs = QList<std::pair<QString, std::shared_ptr<QVAction>>>;

    // No error list.
    BackUpContainer();
    explicit BackUpContainer(std::shared_ptr<QVActionMachine> actionMachine);
    ~BackUpContainer() override;

    QString displayString() const override;
    QString displaySubString() const override;
    QStringList errorFileDescriptions() const;
    const ErrorList& errorList() const { return _errorDescriptions; }
    bool addActionToContainer(const std::shared_ptr<QVAction>& action) override;
    bool wantsToBackupOrganizerType(int type) const;
    // Gives the job its folder wait and adds it.
    bool addSyncAction(const std::shared_ptr<QVAction>& action);
    void addOrganizerBackupActionIfNeccessaryOfType(int type, OrganizerJobs& jobs) const;
    OrganizerJobs organizerBackupActionsDict() const;
    void addOrganizerBackupActionsWithPriority(int priority);
    bool cancelAction() override;

private:
    bool isPreparing() const { return feedBackStatus() == feedbackstatus::kParked; }

    ErrorList _errorDescriptions;
};
