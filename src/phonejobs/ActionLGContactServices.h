#pragma once

#include "phonejobs/ActionOrganizerKitServices.h"

// Syncs the phonebook of an LG phone through the organizer kit's LG family:
// the Motorola flow on the phone's kit connection. A cancel aborts the kit,
// which releases the LG port.
class ActionLGContactServices : public ActionOrganizerKitServices {
public:
    ActionLGContactServices(std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo,
                            bool switchSyncEngine);
    ~ActionLGContactServices() override;
    static std::shared_ptr<ActionLGContactServices> initActionLGContactServices(
        std::shared_ptr<QVActionNotify> notify, bool slow, QVariant userInfo, bool switchSyncEngine);
    static QString defaultDescription() { return ActionOrganizerKitServices::defaultDescription(kClassName); }
    QString className() const override { return kClassName; }

    int syncProperty() const override { return 0; }
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

private:
    static inline const QString kClassName = QStringLiteral("ActionLGContactServices");
    bool _shouldFilterContactImages = false;
};
