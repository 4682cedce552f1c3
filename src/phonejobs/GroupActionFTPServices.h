#pragma once

#include "jobs/QVActionGroup.h"
#include "phone/DZJobTraits.h"

class DZDataManager;

// A group of file jobs in one pipe, run one at a time. It reports its own
// percentage of finished sub-jobs, not theirs.
class GroupActionFTPServices : public QVActionGroup, public DZProgressJob {
public:
    GroupActionFTPServices(std::shared_ptr<QVActionNotify> notify, QVariant userInfo);

    float percentDone() const;
    void reportPercent();
    bool startAction(QVAction& action) override;
    bool processAction(QVAction& action, float percent) override;
    void endAction(QVAction& action, int err) override;
    using QVActionGroup::processAction;
    QString actionType() const override;
    bool acceptPostForSubPipe(const QString& actionType) const override;
    bool doesActionWantProgress() const override { return true; }
    QString displaySubString() const override;
    void didPostToActionPipe() override;
    int startAction() override;
    void endAction(int code) override;
    QString description() const override;

protected:
    DZDataManager* dataManager() const;
    unsigned _numberOfActions = 0;
};
