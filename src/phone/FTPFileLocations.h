#pragma once

#include <QSet>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

class FTPFile;
class FilesMirror;
class MirrorOwner;
struct SharedLocations;

// The mirror's location list ("MirrorLocations"): which phone file each file
// id stands for, its state and where its mirror copy lies. The list object
// is shared by every mirror on the same anchor (LocationsListServer).
class FTPFileLocations {
public:
    static constexpr const char* kFileName = "MirrorLocations";
    static constexpr const char* kTrashFolder = "Trash";
    static constexpr const char* kDeviceEntry = "DeviceEntry";
    static constexpr const char* kState = "State";
    static constexpr const char* kPath = "Path";
    static constexpr const char* kFinderInfo = "FinderInfo";
    static constexpr const char* kPromised = "Promised";
    static constexpr const char* kReal = "Real";
    static constexpr const char* kIgnore = "Ignore";
    static constexpr const char* kTrash = "Trash";
    static constexpr const char* kCopiedFromMac = "CopiedFromMac";
    static constexpr const char* kDisappeared = "Disappeared";
    static constexpr short kNoEntry = -43;
    // Trash names: "<base>_NNN.<ext>" for NNN up to this.
    static constexpr int kTrashNameCount = 9999;

    // Status of a listed phone file against the list.
    enum Status { kUnknown = 0, kChanged = 1, kCurrent = 2 };

    FTPFileLocations(const QString& anchorPath, FilesMirror* mirror, MirrorOwner& device);
    ~FTPFileLocations();
    FTPFileLocations(const FTPFileLocations&) = delete;
    FTPFileLocations& operator=(const FTPFileLocations&) = delete;

    struct Match {
        std::optional<QVariantMap> entry;
        long number = 0;
        int label = 0;
    };
    Match fileEntryForDeviceFile(const QString& internalPath) const;
    long getIDForMirrorFile(const QString& localPath) const;
    long getIDForFile(const QString& internalPath) const;
    int checkFileStatusOnMirror(const FTPFile& file, long* number, int* label, bool wantsBackup);
    QVariantMap registerNewDirectory(const QString& phonePath);
    QVariantMap registerNewFile(const FTPFile& file, bool* isNew);
    long announceFileToBeCopied(const QString& localPath, const QString& devicePath, const QString& macFile);
    short deliverFile(const QString& localPath, const QString& devicePath, long fileID);
    short moveToTrash(long fileID);
    // Moves every "Real" entry whose id is not among the given ones.
    void moveMissingFilesToTrash(const QSet<long>& presentIDs);
    // A free "<base>_NNN.<ext>" beside path; none when all are taken.
    static std::optional<QString> unusedFileNameAtDestination(const QString& path);
    QString currentLocation(long fileID) const;
    QString currentPreviewLocation(long fileID) const;
    QString fileName(long fileID) const;
    std::optional<QVariantMap> editableEntryForID(long fileID) const;
    std::optional<QVariantMap> staticEntryForID(long fileID) const { return editableEntryForID(fileID); }
    void setEntry(const QVariantMap* entry, long fileID);
    long nextFileID() const;
    // Writes the list when it changed; false when the write failed (the
    // list stays dirty).
    bool save();
    bool isDirty() const { return _isDirty; }
    const QString& anchorPath() const { return _archiveAnchorPath; }

private:
    QString relativeToAnchor(const QString& localPath) const;
    // anchor + a stored relative path; empty when it would leave the anchor.
    QString anchored(const QString& relativePath) const;
    long addEntry(const QVariantMap& entry);

    FilesMirror* _mirror = nullptr;
    MirrorOwner& _device;
    QString _fileName;
    QString _trashPath;
    QString _archiveAnchorPath;
    std::shared_ptr<SharedLocations> _list;
    bool _isDirty = false;
};
