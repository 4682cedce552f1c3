#include "app/OrganizerHostImpl.h"

#include "app/AppController.h"
#include "app/DocumentServices.h"
#include "app/MirrovanceDevice.h"
#include "app/TarnexController.h"
#include "app/TarnexProgramServices.h"
#include "organizer/trash/TrashManager.h"
#include "organizer/trash/TrashManagerHdlr.h"
#include "phone/BackupRules.h"

namespace {

std::shared_ptr<MirrovanceDevice> mainWindowPhone()
{
    TarnexController* controller = TarnexController::sTarnexController();
    return controller ? controller->phoneObject() : nullptr;
}

} // namespace

int ProgramOrganizerHost::emptyTrashPeriod()
{
    AppController* controller = AppController::sharedAppController();
    return controller ? controller->getEmptyTrashPeriod() : 61;
}

std::optional<QVariantMap> ProgramOrganizerHost::currentPhoneEntry()
{
    const auto phone = mainWindowPhone();
    if (!phone || phone->dorvantiDict().isEmpty())
        return std::nullopt;
    return phone->dorvantiDict();
}

bool ProgramOrganizerHost::restoreToCurrentPhone(const QList<TrashedItem*>& items)
{
    const auto phone = mainWindowPhone();
    const std::shared_ptr<MFDevice> device = phone ? phone->mfDevice() : nullptr;
    if (!device)
        return false;
    device->backupRules().restoreTrashElems(items);
    return true;
}

namespace organizerhost {

void install()
{
    static ProgramOrganizerHost host;
    OrganizerHost::setShared(&host);
}

void fillMakers(MFDevice::Makers& makers)
{
    makers.deleteAllTrashURIs = [] { TrashManager::sharedTrashManager().deleteAllURIs(); };
}

void openOrganizerTrash()
{
    TrashManagerHdlr::openTrashManagerHdlr();
}

} // namespace organizerhost

void DocumentServices::saveTrashChangesIfAny()
{
    ::saveTrashChangesIfAny();
}

void TarnexProgramServices::openOrganizerTrash()
{
    organizerhost::openOrganizerTrash();
}
