#pragma once

#include "phonejobs/ActionOrganizerKitServices.h"

// Syncs the phonebook of a Motorola phone read and written over AT commands
// through the organizer kit.
class ActionMotoContactServices : public ActionOrganizerKitServices {
public:
    ActionMotoContactServices(std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo,
                              bool switchSyncEngine);
    ~ActionMotoContactServices() override;
    static std::shared_ptr<ActionMotoContactServices> initActionMotoContactServices(
        std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine);
    static QString defaultDescription() { return ActionOrganizerKitServices::defaultDescription(kClassName); }
    QString className() const override { return kClassName; }

    int syncProperty() const override { return 0; }
    QString dbName() const override { return QStringLiteral("Contacts"); }
    int startAction() override;
    // Kept for the requester; the phonebook is synced as the phone has it.
    void setFilterContactImages(bool filter) { _shouldFilterContactImages = filter; }
    bool filtersContactImages() const { return _shouldFilterContactImages; }

    void displayPercent(int percent) override { flowPercent(percent); }
    void phoneBookReceived(OrganizerAsyncBridge* bridge, int status) override;
    void phoneBookWritten(OrganizerAsyncBridge* bridge, int status,
                          const std::optional<QVariantMap>& mappingTable) override;

protected:
    DZDeviceConnection* kitConnection() const override;
    QString flowLogName() const override;

private:
    static inline const QString kClassName = QStringLiteral("ActionMotoContactServices");
    bool _shouldFilterContactImages = false;
};
