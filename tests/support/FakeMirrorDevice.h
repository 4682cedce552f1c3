#pragma once

#include "phone/BackupRules.h"
#include "phone/MirrorOwner.h"

#include <QStringList>

// A device as the files mirror sees it, for tests, benchmarks and fuzz
// targets: every answer from a field; phone paths are already internal.
struct FakeMirrorDevice : MirrorOwner {
    bool history = false;
    bool backup = true;
    bool internalMemory = true;
    bool memoryCard = true;
    bool internalInArchive = false;
    FilesMirror* handedMirror = nullptr;
    QStringList states;
    QStringList organizerFiles;

    bool isHistory() const override { return history; }
    bool wantsBackupNow() const override { return backup; }
    bool wantsToBackup(const PhoneFileEntry&) const override { return backup; }
    bool hasInternalMemory() const override { return internalMemory; }
    bool hasMemoryCard() const override { return memoryCard; }
    bool volumeInArchive(bool external) const override { return !external && internalInArchive; }
    QString uniqueMirrorName() const override { return QStringLiteral("KG800-123.dzmir"); }
    QString settingText(const QString& key) const override
    {
        return key == QLatin1String("Dorvanti.Model") ? QStringLiteral("KG800") : QStringLiteral("123");
    }
    QString internalPath(const QString& phonePath) const override { return phonePath; }
    std::optional<QVariantMap> deviceDict() const override { return QVariantMap{{"Common.SerialNo", "123"}}; }
    void setHistoryFiles(const QStringList& s, const QStringList& o) override
    {
        states = s;
        organizerFiles = o;
    }
    void setMirror(FilesMirror* mirror) override { handedMirror = mirror; }
};
