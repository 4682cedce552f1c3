#pragma once

#include "phonejobs/ActionSamsungCommonServices.h"

// The calendar sync of a Samsung phone.
class ActionSamsungEventsServices : public ActionSamsungCommonServices {
public:
    ActionSamsungEventsServices(std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo,
                                bool switchSyncEngine);
    ~ActionSamsungEventsServices() override;

    static std::shared_ptr<ActionSamsungEventsServices> initActionSamsungEventsServices(
        std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine);
    static QString defaultDescription() { return ActionSamsungCommonServices::defaultDescription(className()); }
    static QString className() { return QStringLiteral("ActionSamsungEventsServices"); }

    bool connectionIsValid() const override;
    int startAction() override;

protected:
    QString jobClassName() const override { return className(); }
};
