#include "phonejobs/KitJobState.h"

#include "phone/DZDataManager.h"
#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "syncmodel/QVSyncElemList.h"

namespace kitjobstate {

void saveNewState(MFDevice* device, int property)
{
    OrganizerArchive* archive = device ? device->archive() : nullptr;
    if (!archive)
        return;
    if (QVSyncElemList* list = archive->storage(property))
        list->setClean();
    archive->writeOtherDataToFile(property);
    archive->saveCurrentSyncState(property);
}

void notifyArchiveChanged(MFDevice* device, int property)
{
    if (auto* manager = device ? dynamic_cast<DZDataManager*>(device->dataManager()) : nullptr)
        manager->didUpdateOrganizerDataOfType(property);
}

} // namespace kitjobstate
