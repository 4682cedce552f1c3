#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

class FilesMirror;
class OrganizerArchive;
class OrganizerStorage;
class QVSyncElemList;

// What the device object asks of its data manager: the phone's file tree with
// the files mirror and the organizer archive the phone document hands it. The
// device makes it through MFDevice::Makers right after its settings and sync
// description and lets it go at teardown.
class DeviceDataManager {
public:
    virtual ~DeviceDataManager() = default;
    // The file tree's state in the phone's working folder.
    virtual void saveFinderState() = 0;
    virtual void loadFinderState() = 0;
    // Null until the document has made them.
    virtual FilesMirror* mirror() const = 0;
    virtual OrganizerArchive* archive() const = 0;
    // Whether the archive's storage of an organizer type (0-4) holds changes
    // not yet handed to the sync engine; false without archive or storage.
    virtual bool hasChangesForSyncEngine(int organizerType) const = 0;
    // The archive's storage of an organizer type (0-4); null without one.
    virtual OrganizerStorage* organizerStorage(int organizerType) const
    {
        (void)organizerType;
        return nullptr;
    }
    // The archive's sync-state file of an organizer type (0-3); empty
    // without an archive.
    virtual QString pathNameForSyncState(int organizerType) const
    {
        (void)organizerType;
        return QString();
    }
    // The organizer data file's stored raw data of an organizer type (0-4);
    // none without an archive or without data of the type.
    virtual std::optional<QVariantMap> deviceDataFileStorage(int organizerType) const
    {
        (void)organizerType;
        return std::nullopt;
    }
    // The item list of an organizer type (0-3) that the phone's sync-engine
    // client pushes from and pulls into; null without one. The second makes
    // the archive's new empty list of the type (null when it cannot).
    virtual QVSyncElemList* syncEngineList(int organizerType) const
    {
        (void)organizerType;
        return nullptr;
    }
    virtual QVSyncElemList* createEmptySyncEngineList(int organizerType)
    {
        (void)organizerType;
        return nullptr;
    }
    // A sub-folder of the phone's temporary working data; empty without one.
    virtual QString subTempPath(const QString& name) const
    {
        (void)name;
        return QString();
    }
    // The document's files mirror, which hands itself over when it opens.
    virtual void setMirror(FilesMirror* mirror) { (void)mirror; }
    // A new archive from the document (null: none).
    virtual void setArchive(OrganizerArchive* archive) { (void)archive; }
    // A history device's chosen file-system snapshot (phone path, internal
    // form, to its Finder information) changed.
    virtual void rebuildFromSnapshot(const QVariantMap& fileSystem) { (void)fileSystem; }
};
