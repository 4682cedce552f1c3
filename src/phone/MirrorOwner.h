#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

class FilesMirror;
struct PhoneFileEntry;

// What the files mirror asks of its device. The device object implements it.
class MirrorOwner {
public:
    virtual ~MirrorOwner() = default;
    virtual bool isHistory() const = 0;
    virtual bool wantsBackupNow() const = 0;
    virtual bool wantsToBackup(const PhoneFileEntry& entry) const = 0;
    virtual bool hasInternalMemory() const = 0;
    virtual bool hasMemoryCard() const = 0;
    // Whether the settings keep the volume (false: internal, true: card)
    // in the archive.
    virtual bool volumeInArchive(bool external) const = 0;
    // "%@-%@.dzmir" of model and serial.
    virtual QString uniqueMirrorName() const = 0;
    // A settings value as text ("" when absent).
    virtual QString settingText(const QString& key) const = 0;
    // The phone path in its internal, volume-neutral form.
    virtual QString internalPath(const QString& phonePath) const = 0;
    // The device's own settings dictionary; none when it has none.
    virtual std::optional<QVariantMap> deviceDict() const = 0;
    // A history device's dated file-system states and organizer files
    // (full paths, oldest first), as its opened mirror finds them.
    virtual void setHistoryFiles(const QStringList& states, const QStringList& organizerFiles) = 0;
    // Hands the opened mirror to the data manager.
    virtual void setMirror(FilesMirror* mirror) = 0;
};
