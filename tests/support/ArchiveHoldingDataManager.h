#pragma once

#include "phone/DeviceDataManager.h"
#include "phone/OrganizerArchive.h"

// The least data manager a phone needs to open its organizer archive: it
// holds the files mirror and the archive handed to it and answers the
// archive's storages.
class ArchiveHoldingDataManager : public DeviceDataManager {
public:
    void saveFinderState() override {}
    void loadFinderState() override {}
    FilesMirror* mirror() const override { return _mirror; }
    OrganizerArchive* archive() const override { return _archive; }
    bool hasChangesForSyncEngine(int) const override { return false; }
    OrganizerStorage* organizerStorage(int type) const override
    {
        return _archive ? _archive->organizerStorage(type) : nullptr;
    }
    void setMirror(FilesMirror* mirror) override { _mirror = mirror; }
    void setArchive(OrganizerArchive* archive) override { _archive = archive; }
    FilesMirror* _mirror = nullptr;
    OrganizerArchive* _archive = nullptr;
};
