#include "organizer/OrganizerHost.h"

#include "platform/UserDefaults.h"

namespace {

OrganizerHost* gOrganizerHost = nullptr;
constexpr int kDefaultTrashPeriodDays = 61;
constexpr const char* kEmptyTrashAfterKey = "Empty trash after";

} // namespace

OrganizerHost* OrganizerHost::shared()
{
    return gOrganizerHost;
}

void OrganizerHost::setShared(OrganizerHost* host)
{
    gOrganizerHost = host;
}

int OrganizerHost::trashPeriodDays()
{
    if (gOrganizerHost)
        return gOrganizerHost->emptyTrashPeriod();
    const QVariant stored = platform::UserDefaults::standard().object(QLatin1String(kEmptyTrashAfterKey));
    bool ok = false;
    const qlonglong days = stored.toLongLong(&ok);
    return ok && days > 0 && days <= 100000 ? int(days) : kDefaultTrashPeriodDays;
}
