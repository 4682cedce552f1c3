#include "organizer/tables/OrganizerSyncTableView.h"

#include "organizer/tables/OrganizerViewProtocol.h"

#include "foundation/QuickLog.h"
#include "jobs/QVActionMachine.h"
#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "syncmodel/QVSyncElemList.h"
#include "widgets/NSScaledImageButton.h"

OrganizerSyncTableView::OrganizerSyncTableView(QWidget* parent)
    : OrganizerTableView(parent)
    , updateButton_(new NSScaledImageButton(this))
    , refreshButton_(new NSScaledImageButton(this))
{
    updateButton_->setObjectName(QStringLiteral("updateButton"));
    updateButton_->setActionName(kUpdateAction);
    updateButton_->setTarget(this);
    updateButton_->setImageName(kUpdateImage);
    updateButton_->setAccessibleName(QStringLiteral("Update"));
    refreshButton_->setObjectName(QStringLiteral("refreshButton"));
    refreshButton_->setActionName(kReloadAction);
    refreshButton_->setTarget(this);
    refreshButton_->setAccessibleName(QStringLiteral("Refresh"));
}

OrganizerSyncTableView::~OrganizerSyncTableView() = default;

void OrganizerSyncTableView::setup(DeviceWindowController* controller, MFDevice* device,
                                   OrganizerViewProtocol* organizer)
{
    setMaxDeviceItems(kUnknownCapacity);
    OrganizerTableView::setup(controller, device, organizer);
    OrganizerArchive* archive = device ? device->archive() : nullptr;
    if (QVSyncElemList* list = archive ? archive->storage(syncProperty()) : nullptr)
        setMaxDeviceItems(list->maxItemsOnDevice());
    oldSyncState_ = false;
    // A history phone is never read again: neither button is offered.
    const bool history = isHistoryDevice();
    updateButton_->setVisible(!history);
    refreshButton_->setVisible(!history);
    ValidateScaledImageButtons(this);
}

void OrganizerSyncTableView::activate()
{
    OrganizerTableView::activate();
    updateButtons();
}

void OrganizerSyncTableView::updateButtons()
{
    const bool syncEnabled = organizerView() && organizerView()->isSyncEnabledForProperty(syncProperty());
    if (syncEnabled == oldSyncState_)
        return;
    QuickLogToNamedLog(qvlog::kXT, QStringLiteral("[OrganizerTableView updateButtons] does switch #####\n"));
    oldSyncState_ = syncEnabled;
    if (!isHistoryDevice())
        refreshButton_->setVisible(!syncEnabled);
    updateButton_->setImageName(syncEnabled ? kSyncImage : kUpdateImage);
}

bool OrganizerSyncTableView::validateScaledImageButton(NSScaledImageButton& button)
{
    MFDevice* device = getMFDevice();
    if (!device)
        return true;
    const QString action = button.actionName();
    if (action != kReloadAction && action != kUpdateAction)
        return true;
    if (isHistoryDevice())
        return false;
    // Off while the update of the property waits in the phone's queue.
    auto* manager = dynamic_cast<DZDataManager*>(dataManager());
    const QString description = manager ? manager->getUpdateOrganizerDefaultDescription(syncProperty()) : QString();
    QVActionMachine* machine = device->actionMachine();
    return !(machine && !description.isEmpty() && machine->searchActionEqualToDescripton(description));
}
