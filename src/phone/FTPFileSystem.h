#pragma once

#include <QSet>
#include <QString>
#include <QVariantMap>
#include <memory>

class FTPFile;
class FTPFileLocations;
class MirrorOwner;

// One snapshot of the phone's file system: phone path (internal form) to its
// Finder information {"UniqueID", "FndrLocation", "FndrEtikete"}. Stored as
// dated files in the anchor's "History"; "MirrorFileSystem" names the
// current one.
class FTPFileSystem {
public:
    static constexpr const char* kFileName = "MirrorFileSystem";
    static constexpr const char* kHistoryFolder = "History";
    static constexpr const char* kCurFileSystem = "CurFileSystem";
    static constexpr const char* kUniqueID = "UniqueID";
    static constexpr const char* kFndrLocation = "FndrLocation";
    static constexpr const char* kFndrEtikete = "FndrEtikete";

    enum class Layout { Invalid, Current, Older };

    FTPFileSystem(const QString& anchorPath, std::shared_ptr<FTPFileLocations> locations, MirrorOwner& device);

    bool isValid() const { return _isValid; }
    bool isDirty() const { return _isDirty; }
    static Layout validateFileSystem(const QVariant& stored);
    void loadFromFileSwitchToLast();
    void loadFromHist(const QString& path);
    void load();
    void registerDirectory(const QString& phonePath);
    bool registerFile(const FTPFile& file);
    QString getPathForFileID(long fileID) const;
    bool containsFileID(long fileID) const;
    void deliveredFile(const QString& phonePath, const QString& localPath);
    void filesDeleted(const QString& phonePath);
    long announceFileToBeCopied(const QString& localPath, const QString& devicePath, const QString& macFile);
    QVariantMap getFinderInfoDictForPath(const QString& path) const;
    bool setFinderInfoDictForPath(const QVariantMap& dict, const QString& path);
    long idForPath(const QString& path) const;
    void setFileSystemValid() { _isValid = true; }
    const QVariantMap& fileSystem() const { return _fileSystem; }
    void setClean() { _isDirty = false; }
    bool isEqualToFileSystem(const FTPFileSystem* other) const;
    // Copies the other snapshot's entries whose path begins with prefix
    // (without marking this one dirty).
    void addFilesFromFileSystem(const FTPFileSystem& other, const QString& prefix);
    QSet<long> fileIDs() const;
    // Writes a dated snapshot and points "MirrorFileSystem" at it.
    void save();
    const QString& originalPath() const { return _originalPath; }

private:
    // Reads a snapshot file into the dictionary; false leaves it as it was.
    bool takeStored(const QVariant& stored, const QString& from);
    QString historyPath() const;

    QString _fileName;
    QString _originalPath;
    QString _anchorPath;
    QVariantMap _fileSystem;
    QMap<QString, QString> _lowerKeys; // lower-cased path -> stored key
    std::shared_ptr<FTPFileLocations> _locations;
    bool _isValid = false;
    bool _isDirty = false;
    MirrorOwner& _mfDevice;
};
