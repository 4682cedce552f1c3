#include "phone/OrganizerArchive.h"

#include "foundation/NamedLog.h"
#include "phone/MFDevice.h"
#include "phone/PhoneLog.h"
#include "platform/PropertyList.h"
#include "platform/gui/Animation.h"
#include "syncmodel/QVSyncElemList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

std::unique_ptr<QVSyncElemList> OrganizerArchive::loadCurrentSyncState(int type) const
{
    const QString path = pathNameForSyncState(type);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return nullptr;
    QString why;
    const QVariant stored = platform::plist::readFile(path, &why);
    if (stored.typeId() != QMetaType::QVariantMap) {
        qCWarning(lcPhone) << "organizer archive: unreadable sync state" << path << why;
        QVLOG(qvlog::kXT, QStringLiteral("OrganizerArchive: unreadable sync state %1 %2").arg(path, why));
        return nullptr;
    }
    std::unique_ptr<QVSyncElemList> list =
        QVSyncElemList::fromFileDictionary(stored.toMap(), dbName(type), type, &_mfDevice);
    if (list)
        list->dumpRecords();
    return list;
}

void OrganizerArchive::saveCurrentSyncState(int type)
{
    if (refuseWrite("sync state"))
        return;
    const QString path = pathNameForSyncState(type);
    if (path.isEmpty())
        return;
    QDir().mkpath(_subTempPath);
    if (!_mfDevice.wantsToUseSyncEngineForProperty(type)) {
        QFile::remove(path);
        return;
    }
    QVSyncElemList* list = storage(type);
    const std::optional<QVariantMap> state = list ? list->syncDictionaryForFile() : std::nullopt;
    QString why;
    if (!state || !platform::plist::writeFile(path, *state, &why)) {
        qCWarning(lcPhone) << "organizer archive: sync state not saved" << path << why;
        QVLOG(qvlog::kXT, QStringLiteral("Could not save the archive to %1").arg(path));
        platform::gui::beep();
    }
}

void OrganizerArchive::saveAllSyncStates()
{
    // Notes are saved too: every system this runs on is newer than the one
    // that could not store them.
    for (int type : {0, 3, 1, 2})
        saveCurrentSyncState(type);
}
