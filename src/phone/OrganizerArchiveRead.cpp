#include "phone/OrganizerArchive.h"

#include "foundation/NamedLog.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "phone/MFDevice.h"
#include "phone/PhoneLog.h"
#include "phone/SynchronizationFeedbackConsumer.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "platform/RunLoop.h"
#include "syncmodel/QVSyncElemList.h"

#include <QFile>
#include <QFileInfo>

namespace {

// A stored dictionary, or none (logged) when the file is there but cannot be
// read as one.
std::optional<QVariantMap> archiveReadDictionary(const QString& path, const char* what)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return std::nullopt;
    QString why;
    const QVariant value = platform::plist::readFile(path, &why);
    if (value.typeId() != QMetaType::QVariantMap) {
        if (why.isEmpty())
            why = QStringLiteral("not a dictionary");
        qCWarning(lcPhone) << "organizer archive: unreadable" << what << path << why;
        QVLOG(qvlog::kXT, QStringLiteral("OrganizerArchive: unreadable %1 %2: %3").arg(QLatin1String(what), path, why));
        return std::nullopt;
    }
    return value.toMap();
}

bool archiveIsDiffFormat(const QVariantMap& data)
{
    const QStringList parts = data.value(QLatin1String(OrganizerArchive::kFileFormatKey)).toString().split(QLatin1Char('/'));
    return parts.size() > 1 && parts.at(1) == QLatin1String("Diff");
}

std::optional<QVariantMap> archiveMapEntry(const std::optional<QVariantMap>& data, const QString& key)
{
    if (!data)
        return std::nullopt;
    const QVariant entry = data->value(key);
    if (entry.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return entry.toMap();
}

} // namespace

void OrganizerArchive::readOtherData()
{
    readOtherDataFromFile(_fileName);
    platform::NotificationCenter::defaultCenter().post(QLatin1String(kNotifyMarkReadChanged), &_mfDevice);
}

void OrganizerArchive::readOtherDataFromFile(const QString& path)
{
    const bool live = !_mfDevice.isHistory();
    std::optional<QVariantMap> data = archiveReadDictionary(path, "organizer data");
    if (data) {
        if (live) {
            std::optional<QVariantMap> anchors = archiveMapEntry(data, QLatin1String(kSyncAnchorsKey));
            const QString anchorsFile = pathNameForSyncAnchors();
            if (anchors) {
                if (!anchorsFile.isEmpty())
                    QFile::remove(anchorsFile);
            } else {
                anchors = archiveReadDictionary(anchorsFile, "sync anchors");
            }
            if (anchors)
                _mfDevice.setSyncAnchors(anchors);
        }
        if (archiveIsDiffFormat(*data)) {
            if (data->contains(QLatin1String(kChangesToFullKey)))
                _accumulatedChanges = data->value(QLatin1String(kChangesToFullKey)).toLongLong();
            if (data->contains(QLatin1String(kDiffIterationKey)))
                _diffFileIteration = data->value(QLatin1String(kDiffIterationKey)).toLongLong();
            data = mergeDiffDict(*data, data->value(QLatin1String(kDiffFileKey)).toString());
        }
        _hasBaseFile = true;
    }
    _deviceData = data;

    std::array<bool, kHeldTypes> loaded{};
    QList<int> initialRead;
    for (int type = 0; type < kHeldTypes && live; ++type) {
        setList(type, nullptr);
        DeviceSyncEngineHandler* handler = _mfDevice.syncEngineHandler();
        if (handler)
            handler->setSlowModeForProperty(type, false);
        if (!_mfDevice.wantsToUseSyncEngineForProperty(type))
            continue;
        std::unique_ptr<QVSyncElemList> list = loadCurrentSyncState(type);
        if (!list || list->needsInitialRead()) {
            if (handler)
                handler->setSlowModeForProperty(type, true);
            initialRead.append(type);
        }
        if (list) {
            loaded[type] = true;
            setList(type, std::move(list));
        }
    }
    if (!initialRead.isEmpty())
        readFromSyncEngine(initialRead);
    if (live) {
        if (DeviceSyncEngineHandler* handler = _mfDevice.syncEngineHandler())
            handler->enableSyncEngineNotifier();
    }

    for (int type = 0; type < kHeldTypes; ++type) {
        const std::optional<QVariantMap> dict = archiveMapEntry(data, dbName(type));
        // A list the first read from the engine made and filled keeps what
        // it read; the stored items join it.
        const bool filledByRead = initialRead.contains(type) && _storage[type];
        if (!loaded[type] && !filledByRead) {
            setList(type, QVSyncElemList::fromFileDictionary(dict, dbName(type), type, &_mfDevice));
            _storage[type]->processOldFashionedItems();
        } else if (initialRead.contains(type)) {
            _storage[type]->mergeItems(dict.value_or(QVariantMap()));
        }
        _lastStorage[type] = _storage[type]->copy();
    }
}

void OrganizerArchive::readFromSyncEngine(const QList<int>& types)
{
    // The busy overlay runs the event loop, which could open or reload an
    // archive again; one first read at a time.
    if (_readingFromEngine)
        return;
    _readingFromEngine = true;
    BusyModalSession* session = nullptr;
    if (_feedback) {
        session = _feedback->startBusyModalSession(nullptr, 0);
        _feedback->doProgressBusyMessage(platform::localizedString(QLatin1String(kRetrievingMessage)));
    }
    if (!_mfDevice.syncEngineHandler())
        _mfDevice.makeSyncEngineHandler();
    DeviceSyncEngineHandler* handler = _mfDevice.syncEngineHandler();
    if (handler) {
        for (int type : types)
            handler->setSlowModeForProperty(type, true);
        const int maxRetries = int(kInitialReadLimit / kInitialReadSlice);
        int retries = 0;
        int answer = handler->initialReadFromSyncEngine(0, _feedback);
        while (answer == -2 && retries < maxRetries) {
            platform::runloop::waitUntil([] { return false; }, kInitialReadSlice, 1);
            if (_feedback)
                _feedback->doProgressBusyIncrement(1);
            ++retries;
            handler = _mfDevice.syncEngineHandler();
            if (!handler)
                break;
            answer = handler->initialReadFromSyncEngine(0, _feedback);
        }
        if (answer == -2) {
            qCWarning(lcPhone) << "organizer archive: the sync engine stayed busy; the first read waits for the next sync";
            QVLOG(qvlog::kXT, QStringLiteral("OrganizerArchive: the sync engine was still busy after %1 s, "
                                             "the types stay in slow mode")
                                  .arg(kInitialReadLimit));
        }
    }
    if (_feedback)
        _feedback->endBusyModalSession(session);
    _readingFromEngine = false;
}
