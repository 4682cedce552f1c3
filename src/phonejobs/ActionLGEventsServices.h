#pragma once

#include "phonejobs/ActionOrganizerKitServices.h"

// Syncs the calendar of an LG phone, and its tasks when the model has them,
// through the organizer kit's LG family: the Motorola flow on the phone's
// kit connection. A cancel aborts the kit, which releases the LG port.
class ActionLGEventsServices : public ActionOrganizerKitServices {
public:
    ActionLGEventsServices(std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo,
                           bool switchSyncEngine);
    ~ActionLGEventsServices() override;
    static std::shared_ptr<ActionLGEventsServices> initActionLGEventsServices(std::shared_ptr<QVActionNotify> notify,
                                                                             bool slow, QVariant userInfo,
                                                                             bool switchSyncEngine);
    static QString defaultDescription() { return ActionOrganizerKitServices::defaultDescription(kClassName); }
    QString className() const override { return kClassName; }

    int syncProperty() const override { return 1; }
    int startAction() override;

    void displayProgress(int value) override { flowProgress(value); }
    void displayPercent(int percent) override { flowPercent(percent); }
    void calendarReceived(OrganizerAsyncBridge* bridge, int status) override;
    void tasksReceived(OrganizerAsyncBridge* bridge, int status) override;
    void calendarWritten(OrganizerAsyncBridge* bridge, int status,
                         const std::optional<QVariantMap>& mappingTable) override;
    void tasksWritten(OrganizerAsyncBridge* bridge, int status, const std::optional<QVariantMap>& mappingTable) override;

protected:
    DZDeviceConnection* kitConnection() const override;
    bool syncsTasks() const override { return _withTasks; }
    bool logsEnd() const override { return true; }

private:
    static inline const QString kClassName = QStringLiteral("ActionLGEventsServices");
    bool _withTasks = false;
};
