#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <QtGlobal>
#include <memory>

class FTPFileOwner;

// One entry of a phone folder listing (a file or a folder with the listing's
// attributes: "name", "size", "modified", "user-perm", "file-type" 1 for a
// folder) and where its copy lives in the files mirror.
class FTPFile {
public:
    static constexpr quint32 kFile = 0x46494C45;             // 'FILE'
    static constexpr quint32 kDirectory = 0x4449525F;        // 'DIR_'
    static constexpr quint32 kPrivateDirectory = 0x50524956; // 'PRIV'

    // Attribute keys.
    static constexpr const char* kName = "name";
    static constexpr const char* kSize = "size";
    static constexpr const char* kModified = "modified";
    static constexpr const char* kUserPerm = "user-perm";
    static constexpr const char* kFileTypeKey = "file-type";
    static constexpr const char* kState = "State";

    // owner may be null (no mirror paths, not a PC-suite link).
    FTPFile(const QVariantMap& attributes, const QString& folder, FTPFileOwner* owner, long fileID = 0);

    static std::shared_ptr<FTPFile> ftpFileWithAttributes(const QVariantMap& attributes, const QString& folder,
                                                          FTPFileOwner* owner);
    static std::shared_ptr<FTPFile> ftpFileWithAttributesAndID(const QVariantMap& attributes, const QString& folder,
                                                               FTPFileOwner* owner, long fileID);

    quint32 fileType() const { return _fileType; }
    FTPFileOwner* getMFDevice() const { return _owner; }
    bool isDirectory() const { return _fileType == kDirectory; }
    bool isFile() const { return _fileType == kFile; }
    bool isWriteable() const { return _isWriteable; }
    bool isReadable() const { return _isReadable; }
    bool isGhostFile() const { return _isGhostFile; }
    void setIsGhostFile(bool ghost) { _isGhostFile = ghost; }
    qint64 fileSize() const { return _fileSize; }
    const QString& fileName() const { return _fileName; }
    const QString& pathName() const { return _fullPath; }
    const QString& fullPath() const { return _fullPath; }
    QString parentDir() const;
    QString parentDirPath() const { return parentDir(); }
    QString modificationDate() const;
    const QVariantMap& fileAttributes() const { return _fileAttributes; }
    long fileID() const { return _fileID; }
    void setRefConObject(const QVariant& object) { _refConObject = object; }
    const QVariant& refConObject() const { return _refConObject; }

    // The full path becomes prefix directly followed by the old full path.
    void expandFilePath(const QString& prefix);
    // The kind for display, from the string table "Filetypes".
    QString fsType() const;
    // Whether the mirror holds a copy; on a history device the phone's
    // connection is asked, with a bounded wait (NO when it runs out).
    bool isInArchive() const;

    bool hasPreviewFile();
    QString localPreviewPath();
    QVariantMap getFinderInfoDictForPath() const;
    bool hasMirrorFile();
    QString localPath();

    QString description() const;
    // Case-insensitive order of the names, for sorting listings.
    int compareName(const FTPFile& other) const;

private:
    FTPFileOwner* _owner = nullptr;
    QString _fullPath;
    QString _fileName;
    quint32 _fileType = 0;
    qint64 _fileSize = -1;
    QVariantMap _fileAttributes;
    QVariant _refConObject;
    QString _localPath;
    QString _localPreviewPath;
    long _fileID = 0;
    bool _isWriteable = true;
    bool _isReadable = true;
    bool _isGhostFile = false;
};

using FTPFileList = QList<std::shared_ptr<FTPFile>>;
Q_DECLARE_METATYPE(std::shared_ptr<FTPFile>)
Q_DECLARE_METATYPE(FTPFileList)
