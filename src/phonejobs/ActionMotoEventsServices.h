#pragma once

#include "phonejobs/ActionOrganizerKitServices.h"

// Syncs the calendar (and, when asked, the tasks with it) of a Motorola
// phone read and written over AT commands through the organizer kit.
class ActionMotoEventsServices : public ActionOrganizerKitServices {
public:
    ActionMotoEventsServices(std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo,
                             bool switchSyncEngine, bool withTasks);
    ~ActionMotoEventsServices() override;
    static std::shared_ptr<ActionMotoEventsServices> initActionMotoEventsServices(
        std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine, bool withTasks);
    static QString defaultDescription() { return ActionOrganizerKitServices::defaultDescription(kClassName); }
    QString className() const override { return kClassName; }

    int syncProperty() const override { return 1; }
    QString dbName() const override { return QStringLiteral("Calendar"); }
    int startAction() override;
    bool processesTasks() const { return _processTasks; }

    void displayProgress(int value) override { flowProgress(value); }
    void displayPercent(int percent) override { flowPercent(percent); }
    void calendarReceived(OrganizerAsyncBridge* bridge, int status) override;
    void tasksReceived(OrganizerAsyncBridge* bridge, int status) override;
    void calendarWritten(OrganizerAsyncBridge* bridge, int status,
                         const std::optional<QVariantMap>& mappingTable) override;
    void tasksWritten(OrganizerAsyncBridge* bridge, int status, const std::optional<QVariantMap>& mappingTable) override;

protected:
    DZDeviceConnection* kitConnection() const override;
    bool syncsTasks() const override { return _processTasks; }
    bool logsEnd() const override { return true; }

private:
    static inline const QString kClassName = QStringLiteral("ActionMotoEventsServices");
    bool _processTasks = false;
};
