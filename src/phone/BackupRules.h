#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class FTPFile;
class MFDevice;
class TrashedItem;

// A file or folder of the phone as the backup sees it.
struct PhoneFileEntry {
    QString fileName;
    QString fullPath;
    bool isFolder = false;

    // The backup's view of a phone file record.
    static PhoneFileEntry of(const FTPFile& file);
};

// What a backup of the phone takes in (files, folders, organizer types),
// which restore steps it offers and how deleted items come back from the
// trash. Settings: "Common.BackupDevice", "Common.BackupOrganizerMask",
// "Common.BackupExceptSuffixList", "Common.SyncMaxContacts".
class BackupRules {
public:
    static constexpr int kAllOrganizerTypes = 255;
    static constexpr int kDefaultMaxContacts = 63999;
    static constexpr const char* kMediaOnly = "***";

    // The media formats of the device window by name ("AllowedAudioInputFormats"
    // and the like: suffixes separated by "/").
    using MediaFormats = std::function<QString(const QString& name)>;

    BackupRules(MFDevice& device, MediaFormats mediaFormats);

    bool backupEnabled() const;
    void setBackupOrganizerMask(int mask);
    int getBackupOrganizerMask() const { return _backupOrganizerMask; }
    void setBackupExceptSuffixList(const QStringList& list);
    const QStringList& getBackupExceptSuffixList() const { return _backupExceptSuffixList; }
    // From the settings, else the defaults (every type; the media suffixes,
    // "map" and the media-only mark), which are then stored.
    void loadBackupOrganizerMask();
    void loadBackupExceptSuffixList();

    bool isSuffixInExceptionLst(const QString& suffix) const;
    static bool dataCheck(const QString& suffix, const QString& list);
    static bool dirNameException(const QString& folderName);
    static bool canBackupFTPDirectory(const PhoneFileEntry& entry);
    static bool canBackupDZDirectory(const QString& name) { return dirNameException(name); }
    bool isMusicWeSyncedOurselves(const PhoneFileEntry& file) const;
    bool wantsToBackup(const PhoneFileEntry* entry) const;
    // Bit T of the mask (for -1: any bit); engine-synced types are decided
    // by the device.
    bool maskIncludes(int organizerType) const;
    int maxContacts() const;
    QStringList getRestoreActions() const;
    void restoreTrashElems(const QList<TrashedItem*>& items) const;
    void useLastOrganizerState() const;

private:
    QString mediaFormat(const char* name) const;

    MFDevice& _device;
    MediaFormats _mediaFormats;
    int _backupOrganizerMask = 0;
    QStringList _backupExceptSuffixList;
};
