#pragma once

#include <QString>
#include <QVariantMap>
#include <memory>

class DeadAliasAsker;
class FTPFile;
class FTPFileLocations;
class FTPFileSystem;
class MirrorOwner;

// The desktop-side store of one phone: under the application folder's
// "Mirrors", a folder "<model>-<serial>.dzmir" (the anchor) holding copies
// of phone files ("Files"), their trash ("Trash"), the location list, the
// dated snapshots of the phone's file system ("History"), the organizer
// archive's folder ("Other Data"), a marker ("Info.plist") and a copy of the
// device's settings ("MirrorDeviceDict").
class FilesMirror {
public:
    static constexpr const char* kMirrorsFolder = "Mirrors";
    static constexpr const char* kTempDataFolder = "TempData";
    static constexpr const char* kFilesFolder = "Files";
    static constexpr const char* kOtherDataFolder = "Other Data";
    static constexpr const char* kMarker = "Info.plist";
    static constexpr const char* kMarkerVersionKey = "CFBundleVersion";
    static constexpr const char* kMarkerVersion = "10";
    static constexpr const char* kDeviceDictFile = "MirrorDeviceDict";
    static constexpr const char* kPreviewFolder = "HiddenPreviews";
    static constexpr const char* kOrganizerPrefix = "OrganizerData";

    // Opens the mirror of the device (the document's own path as anchor
    // when given) and hands it to the device. None when a root, "Mirrors"
    // folder or anchor does not resolve and nobody agrees to delete it.
    static std::unique_ptr<FilesMirror> mirrorWithDevice(MirrorOwner& device, const QString& documentPath = {},
                                                         DeadAliasAsker* asker = nullptr);
    ~FilesMirror();
    FilesMirror(const FilesMirror&) = delete;
    FilesMirror& operator=(const FilesMirror&) = delete;

    static QString mirrorBasePath();
    static QString tempDataBasePath();
    static int createDirPathForFile(const QString& path);
    static int createDirectoryfNecessary(const QString& path);
    static QString normalizedPath(const QString& path);
    static QString localFileToPreviewFilePath(const QString& localPath);

    void writeDeviceDictToArchive();
    void recreateFilesystem();
    void fillCurrentFileSystem(const QString& path);
    bool registerDirectoryOnDevice(const QString& phonePath);
    bool registerFileOnDevice(const FTPFile& file);
    void deliveredFile(const QString& phonePath, const QString& localPath);
    const QString& getMirrorAnchorPath() const { return _anchorPath; }
    // Empty when the path is refused or its folders cannot be made.
    QString getMirrorPath(const QString& phonePath);
    QStringList getMirrorPaths() const;
    QString doGetSubTempPath(const QString& name, const QString& mainPath) const;
    QString getSubTempPath(const QString& name) const;
    QString getGlobalSubTempPath(const QString& name) const;
    QString getPreviewPath(const QString& phonePath);
    QString getPreviewPathFromLocal(const QString& localPath) const;
    QString getMirroredFile(const FTPFile& file, int* error);
    long announceFileToBeCopied(const QString& localPath, const QString& devicePath, const QString& macFile);
    void filesDeleted(const QString& phonePath);
    bool isFileLocationOnMirror(const QString& localPath) const;
    void setFileSystemValid();
    void save();
    QString currentLocation(long fileID) const;
    QString currentPreviewLocation(long fileID) const;
    long idForPath(const QString& phonePath) const;
    QVariantMap getLastFolderFinderInfoDictForPath(const QString& internalPath) const;
    QVariantMap getLastFileFinderInfoDictForPath(const QString& phonePath) const;
    QVariantMap getFinderInfoDictForPath(const QString& phonePath) const;
    bool setFinderInfoDictForPath(const QVariantMap& dict, const QString& phonePath);
    long getIDForMirrorFile(const QString& localPath) const;
    MirrorOwner& mfDevice() const { return _mfDevice; }

    FTPFileSystem& currentFileSystem() const { return *_curFileSystem; }
    FTPFileSystem& lastFileSystem() const { return *_lastFileSystem; }
    FTPFileLocations& fileLocations() const { return *_fileLocations; }

private:
    FilesMirror(MirrorOwner& device, QString anchorPath);
    void open();
    void checkMarker();
    void listHistory();
    // The mirror path of a phone path; empty when the path is refused.
    QString mirrorPathFor(const QString& phonePath) const;

    MirrorOwner& _mfDevice;
    QString _anchorPath;
    QString _basePath;
    std::unique_ptr<FTPFileSystem> _curFileSystem;
    std::unique_ptr<FTPFileSystem> _lastFileSystem;
    std::shared_ptr<FTPFileLocations> _fileLocations;
};
