#pragma once

#include "organizer/tables/OrganizerTableView.h"
#include "widgets/NSScaledImageButton.h"
#include "widgets/ScaledImageButtonValidation.h"

#include <QPointer>


// The pane of items that an update job reads from the phone (contacts,
// events): the update and refresh buttons, their images while the desktop
// sync is on, their validation, and the phone's capacity for the property.
// Subclasses implement update and reloadFromDevice and place the buttons.
class OrganizerSyncTableView : public OrganizerTableView, public NSValidatedScaledImageButton {
    Q_OBJECT

public:
    static inline const QString kUpdateAction = QStringLiteral("update");
    static inline const QString kReloadAction = QStringLiteral("reloadFromDevice");
    static inline const QString kSyncImage = QStringLiteral("SyncManager");
    static inline const QString kUpdateImage = QStringLiteral("UpdateWithPhone");

    explicit OrganizerSyncTableView(QWidget* parent = nullptr);
    ~OrganizerSyncTableView() override;

    // The buttons are made here (action "update" and "reloadFromDevice",
    // aimed at the pane); the subclass lays them out.
    NSScaledImageButton* updateButton() const { return updateButton_; }
    NSScaledImageButton* refreshButton() const { return refreshButton_; }

    using OrganizerTableView::setup;
    void setup(DeviceWindowController* controller, MFDevice* device, OrganizerViewProtocol* organizer) override;
    void activate() override;
    // Refresh hidden and the update button's image switched while the
    // container's desktop sync is on for the property.
    void updateButtons();
    bool oldSyncState() const { return oldSyncState_; }
    bool validateScaledImageButton(NSScaledImageButton& button) override;

    using QWidget::update;
    // The buttons' actions; nothing here.
    Q_INVOKABLE virtual void reloadFromDevice(NSScaledImageButton* sender) { (void)sender; }
    Q_INVOKABLE virtual void update(NSScaledImageButton* sender) { (void)sender; }

private:
    QPointer<NSScaledImageButton> updateButton_;
    QPointer<NSScaledImageButton> refreshButton_;
    bool oldSyncState_ = false;
};
