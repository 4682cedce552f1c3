#pragma once

#include "app/MobileDeviceDocument.h"

#include <memory>

class MFDevice;
class OrganizerArchive;

// A phone document's organizer archive: the archive of src/phone as the
// document asks for it.
class OrganizerDocumentArchive : public DocumentArchive {
public:
    explicit OrganizerDocumentArchive(std::unique_ptr<OrganizerArchive> archive);
    ~OrganizerDocumentArchive() override;

    // The document's archive maker: the organizer archive of the device, or
    // null (the document refuses the phone) when it cannot be made, as for a
    // phone without its files mirror.
    static std::unique_ptr<DocumentArchive> make(MFDevice& device);

    OrganizerArchive* organizerArchive() override { return _archive.get(); }
    bool isSomethingDirty(bool* canDiscard) const override;
    QString whatIsDirty() const override;
    bool isStorageDirty(int property) const override;
    void checkForArchiveChanges() override;
    QString pathNameForSyncAnchors() const override;
    unsigned unreadSMSCount() const override;

private:
    std::unique_ptr<OrganizerArchive> _archive;
};
