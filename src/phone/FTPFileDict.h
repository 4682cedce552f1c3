#pragma once

#include <QString>
#include <QVariantMap>

class FTPFile;
class MirrorOwner;

// Builds the description of one phone file that the mirror's location list
// keeps ("Name", "DeviceFullPath", "Modified", "Size"): from a listing entry,
// or from a phone path and an optional Mac file.
class FTPFileDict {
public:
    static constexpr const char* kName = "Name";
    static constexpr const char* kDeviceFullPath = "DeviceFullPath";
    static constexpr const char* kModified = "Modified";
    static constexpr const char* kSize = "Size";

    FTPFileDict(const FTPFile& file, const MirrorOwner& device);
    FTPFileDict(const QString& devicePath, const MirrorOwner& device, const QString& macPath);

    QVariantMap getDictionary() const { return _dictionary; }

private:
    QVariantMap _dictionary;
};
