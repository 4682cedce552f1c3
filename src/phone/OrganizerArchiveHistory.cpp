#include "phone/OrganizerArchive.h"

#include "device/MFDeviceInfo.h"
#include "foundation/NamedLog.h"
#include "phone/BackupRules.h"
#include "phone/HistoryName.h"
#include "phone/MFDevice.h"
#include "phone/PhoneLog.h"
#include "platform/Clock.h"
#include "platform/PropertyList.h"
#include "syncmodel/QVSyncElemList.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

bool historyIsFileName(const QString& name)
{
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\0')) && name != QLatin1String("..")
           && historyname::timeOfName(name, QLatin1String(OrganizerArchive::kHistoryPrefix)).isValid();
}

QStringList historyFileNames(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    QStringList names;
    const QStringList listed = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : listed) {
        if (historyIsFileName(name))
            names.append(name);
    }
    return names;
}

void historyLogChain(const QString& why, const QString& name)
{
    qCWarning(lcPhone) << "organizer archive: difference chain refused:" << why << name;
    QVLOG(qvlog::kXT, QStringLiteral("OrganizerArchive: difference chain refused (%1): %2").arg(why, name));
}

// The storage entry with a mutable copy of its items; entries of the wrong
// kind count as empty.
QVariantMap historyStorageOf(const QVariantMap& data, const QString& name)
{
    QVariantMap storage = data.value(name).toMap();
    storage.insert(QLatin1String(OrganizerArchive::kItemsKey),
                   storage.value(QLatin1String(OrganizerArchive::kItemsKey)).toList());
    return storage;
}

void historyApply(QVariantMap& merged, const QVariantMap& diff)
{
    for (int type = 0; type < OrganizerArchive::kHeldTypes; ++type) {
        const QString name = OrganizerArchive::dbName(type);
        const QVariant commands = diff.value(name);
        if (commands.typeId() != QMetaType::QVariantList)
            continue;
        QVariantMap storage = merged.value(name).toMap();
        for (const QVariant& entry : commands.toList()) {
            if (entry.typeId() != QMetaType::QVariantMap)
                continue;
            const QVariantMap command = entry.toMap();
            const QString uri = command.value(QLatin1String(OrganizerArchive::kSourceURIKey)).toString();
            const QString kind = command.value(QLatin1String(OrganizerArchive::kCommandKey)).toString();
            if (kind == QLatin1String("Delete"))
                OrganizerArchive::deleteItemInDictionary(storage, uri);
            else if (kind == QLatin1String("Replace"))
                OrganizerArchive::replaceItemInDictionary(storage, uri,
                                                          command.value(QLatin1String(OrganizerArchive::kVxDataKey)));
        }
        merged.insert(name, storage);
    }
}

} // namespace

std::optional<QVariantMap> OrganizerArchive::mergeDiffDict(const QVariantMap& diff, const QString& baseName) const
{
    // Walk back to the full file without recursion, then apply the
    // differences from the oldest on.
    const QStringList present = historyFileNames(_otherDataHistoryPath);
    QList<QVariantMap> diffs{diff};
    QSet<QString> seen;
    QString name = baseName;
    QVariantMap base;
    for (;;) {
        if (!historyIsFileName(name)) {
            historyLogChain(QStringLiteral("not a history file name"), name);
            return std::nullopt;
        }
        if (seen.contains(name) || seen.size() >= present.size()) {
            historyLogChain(QStringLiteral("the chain loops or outruns the files present"), name);
            return std::nullopt;
        }
        seen.insert(name);
        const QString path = QDir(_otherDataHistoryPath).filePath(name);
        QString why;
        const QVariant read = QFileInfo(path).isFile() ? platform::plist::readFile(path, &why) : QVariant();
        if (read.typeId() != QMetaType::QVariantMap) {
            historyLogChain(QStringLiteral("unreadable file %1").arg(why), name);
            return std::nullopt;
        }
        const QVariantMap file = read.toMap();
        if (file.value(QLatin1String(kDiffIterationKey)).toLongLong() > 0) {
            diffs.prepend(file);
            name = file.value(QLatin1String(kDiffFileKey)).toString();
            continue;
        }
        base = file;
        break;
    }
    QVariantMap merged;
    for (int type = 0; type < kHeldTypes; ++type)
        merged.insert(dbName(type), historyStorageOf(base, dbName(type)));
    for (const QVariantMap& step : std::as_const(diffs))
        historyApply(merged, step);
    return merged;
}

QString OrganizerArchive::getLastHistoryFile() const
{
    const QStringList names = historyFileNames(_otherDataHistoryPath);
    return names.isEmpty() ? QString() : names.constLast();
}

void OrganizerArchive::takeCountersFromNewestHistoryFile()
{
    const QString newest = getLastHistoryFile();
    if (newest.isEmpty())
        return;
    const QVariantMap file = platform::plist::readFile(QDir(_otherDataHistoryPath).filePath(newest)).toMap();
    const long iteration = long(file.value(QLatin1String(kDiffIterationKey)).toLongLong());
    if (iteration <= 0)
        return;
    _diffFileIteration = iteration;
    _accumulatedChanges = long(file.value(QLatin1String(kChangesToFullKey)).toLongLong());
}

QString OrganizerArchive::newHistoryPath() const
{
    return historyname::freeDatedPath(_otherDataHistoryPath, QLatin1String(kHistoryPrefix),
                                      platform::Clock::instance().currentDateTime());
}

bool OrganizerArchive::writeOtherDataToDiffFile()
{
    if (refuseWrite("difference file"))
        return true;
    QVariantMap diff;
    long count = 0;
    for (int type = 0; type < kHeldTypes; ++type) {
        QVSyncElemList* list = storage(type);
        if (!list)
            continue;
        if (!_lastStorage[type])
            _lastStorage[type] = QVSyncElemList::fromFileDictionary(std::nullopt, dbName(type), type, &_mfDevice);
        const std::optional<QVariantList> commands = list->createDiffCommands(*_lastStorage[type]);
        if (!commands || commands->isEmpty())
            continue;
        diff.insert(dbName(type), *commands);
        count += long(commands->size());
        _lastStorage[type] = list->copy();
    }
    if (count == 0)
        return true;
    _accumulatedChanges += count;
    if (_accumulatedChanges > kMaxChangesToFullFile)
        return false;
    diff.insert(QLatin1String(kFileFormatKey), QLatin1String(kDiffFormat));
    const QString last = getLastHistoryFile();
    if (!last.isEmpty())
        diff.insert(QLatin1String(kDiffFileKey), last);
    diff.insert(QLatin1String(kDiffIterationKey), qlonglong(_diffFileIteration + 1));
    diff.insert(QLatin1String(kChangesToFullKey), qlonglong(_accumulatedChanges));
    const QString path = newHistoryPath();
    QString why;
    if (path.isEmpty() || !platform::plist::writeFile(path, diff, &why)) {
        // Not written: the caller writes a full file, so the history keeps
        // these changes.
        qCWarning(lcPhone) << "organizer archive: difference file not written" << path << why;
        return false;
    }
    ++_diffFileIteration;
    if (MFDeviceInfo* info = _mfDevice.devInfo())
        info->writeDeviceDictNow();
    return true;
}

void OrganizerArchive::writeOtherDataToFile(int type)
{
    _archivedChanged = false;
    if (refuseWrite("organizer data"))
        return;
    bool backup = false;
    bool diffWritten = false;
    if (type <= 4) {
        backup = _mfDevice.backupRules().backupEnabled() && _mfDevice.wantsToBackupOrganizerType(type);
        if (backup && _hasBaseFile && _diffFileIteration < kMaxDiffFiles)
            diffWritten = writeOtherDataToDiffFile();
    }
    QVariantMap full{{QLatin1String(kFileFormatKey), QLatin1String(kFullFormat)},
                     {QLatin1String(kSyncAnchorsKey), _mfDevice.syncAnchors()}};
    for (int held = 0; held < kHeldTypes; ++held) {
        QVSyncElemList* list = storage(held);
        if (list)
            full.insert(dbName(held), list->dictionaryForFile());
        _lastStorage[held] = list ? list->copy() : nullptr;
    }
    if (backup && !diffWritten) {
        _diffFileIteration = 0;
        _accumulatedChanges = 0;
        const QString path = newHistoryPath();
        QString why;
        if (!path.isEmpty() && platform::plist::writeFile(path, full, &why))
            _hasBaseFile = true;   // the chain's next difference applies to it
        else
            qCWarning(lcPhone) << "organizer archive: full history file not written" << path << why;
    }
    const QString working = pathNameForDeviceSyncData();
    QString why;
    if (working.isEmpty() || !QDir().mkpath(QFileInfo(working).path())
        || !platform::plist::writeFile(working, full, &why))
        qCWarning(lcPhone) << "organizer archive: working file not written" << working << why;
    _deviceData = full;
}
