#include "app/ProgramDeviceMakers.h"

#include "sync/GeneralSyncInfo.h"

namespace programmakers {

MFDevice::Makers makers()
{
    MFDevice::Makers made;
    made.generalSyncInfo = []() -> SharedSyncInfo* {
        return GeneralSyncInfo::isGeneralSyncInfoAlloced() ? &GeneralSyncInfo::sharedGeneralSyncInfo() : nullptr;
    };
    return made;
}

void install()
{
    MFDevice::setDefaultMakers(makers());
}

} // namespace programmakers
