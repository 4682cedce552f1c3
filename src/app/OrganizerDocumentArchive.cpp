#include "app/OrganizerDocumentArchive.h"

#include "phone/MFDevice.h"
#include "phone/OrganizerArchive.h"
#include "syncmodel/QVSyncElemList.h"

OrganizerDocumentArchive::OrganizerDocumentArchive(std::unique_ptr<OrganizerArchive> archive)
    : _archive(std::move(archive))
{
}

OrganizerDocumentArchive::~OrganizerDocumentArchive() = default;

std::unique_ptr<DocumentArchive> OrganizerDocumentArchive::make(MFDevice& device)
{
    std::unique_ptr<OrganizerArchive> archive = OrganizerArchive::archiveWithDevice(device);
    if (!archive)
        return nullptr;
    return std::make_unique<OrganizerDocumentArchive>(std::move(archive));
}

bool OrganizerDocumentArchive::isSomethingDirty(bool* canDiscard) const
{
    return _archive->isSomethingDirty(canDiscard);
}

QString OrganizerDocumentArchive::whatIsDirty() const
{
    return _archive->whatIsDirty();
}

bool OrganizerDocumentArchive::isStorageDirty(int property) const
{
    QVSyncElemList* list = property >= 0 && property < OrganizerArchive::kHeldTypes ? _archive->storage(property) : nullptr;
    return list && list->isDirty();
}

void OrganizerDocumentArchive::checkForArchiveChanges()
{
    _archive->checkForArchiveChanges();
}

QString OrganizerDocumentArchive::pathNameForSyncAnchors() const
{
    return _archive->pathNameForSyncAnchors();
}

unsigned OrganizerDocumentArchive::unreadSMSCount() const
{
    return unsigned(_archive->getUnreadedSMS_Count());
}
