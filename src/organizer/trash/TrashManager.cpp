#include "organizer/trash/TrashManager.h"

#include "organizer/OrganizerHost.h"
#include "organizer/OrganizerLog.h"
#include "organizer/trash/TrashKeys.h"
#include "platform/Clock.h"
#include "platform/FileIO.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "platform/gui/Animation.h"
#include "syncmodel/QVSyncElem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <mutex>

namespace {

TrashManager* gSharedTrashManager = nullptr;

QString trashKey(const char* key)
{
    return QString::fromLatin1(key);
}

// Moves a damaged trash file aside as "TrashFile.bad", replacing an older one.
void moveDamagedTrashFile(const QString& fileName)
{
    const QString bad = fileName + QLatin1String(trashkeys::kDamagedSuffix);
    if (QFileInfo(bad).isFile())
        QFile::remove(bad);
    if (!QFile::rename(fileName, bad))
        qCWarning(lcOrganizer) << "trash file" << fileName << "could not be moved to" << bad;
}

} // namespace

struct TrashManager::PendingLoad {
    std::mutex mutex;
    std::optional<Loaded> loaded;
};

TrashManager& TrashManager::sharedTrashManager()
{
    static TrashManager* manager = [] {
        auto* made = new TrashManager(platform::paths::applicationSupportDirectory() + QLatin1Char('/')
                                      + trashKey(trashkeys::kTrashFile));
        gSharedTrashManager = made;
        made->readFromDiskThread();
        return made;
    }();
    return *manager;
}

bool TrashManager::isSharedTrashManagerAllocated()
{
    return gSharedTrashManager != nullptr;
}

TrashManager::TrashManager(QString fileName) : _fileName(std::move(fileName)), _context(std::make_unique<QObject>())
{
    _trashList.reserve(kInitialCapacity);
}

TrashManager::~TrashManager()
{
    // Changes not yet written go to the file now.
    writeToDisk();
}

void TrashManager::putItemToTrash(const std::shared_ptr<QVSyncElem>& elem, const TrashPhone& phone,
                                  bool reasonWasConflict)
{
    if (!elem)
        return;
    auto copy = elem->similarCopy();
    if (!copy)
        return;
    markDirty();
    _trashList.append(TrashElem::trashElemListFromSyncElemAndDevice(std::move(copy), phone, reasonWasConflict));
    notifyEverybody();
}

void TrashManager::putItemToTrash(const std::shared_ptr<QVSyncElem>& elem, const QString& device,
                                  bool reasonWasConflict)
{
    TrashPhone phone{device, QStringLiteral(""), QStringLiteral("")};
    if (OrganizerHost* host = OrganizerHost::shared()) {
        if (const auto entry = host->currentPhoneEntry()) {
            const TrashPhone current = TrashPhone::fromSettings(*entry);
            const QString serial = entry->value(trashKey(trashkeys::kSettingSerialNo)).toString();
            if (device.isEmpty() || device == current.deviceName || device == current.deviceIdentifier
                || device == serial)
                phone = current;
        }
    }
    putItemToTrash(elem, phone, reasonWasConflict);
}

QVariantList TrashManager::getList()
{
    QVariantList list;
    list.reserve(_trashList.size());
    for (const TrashElemPtr& elem : std::as_const(_trashList))
        list.append(QVariant::fromValue(elem));
    return list;
}

void TrashManager::setList(const QVariantList& list)
{
    QList<TrashElemPtr> elems;
    elems.reserve(std::max<qsizetype>(list.size(), kInitialCapacity));
    for (const QVariant& value : list) {
        if (auto elem = value.value<TrashElemPtr>())
            elems.append(elem);
    }
    setElems(elems);
}

TrashElemPtr TrashManager::objectAtIndex(int index) const
{
    return index >= 0 && index < _trashList.size() ? _trashList.at(index) : nullptr;
}

void TrashManager::setElems(const QList<TrashElemPtr>& elems)
{
    // A load still running would add its entries back afterwards.
    finishLoading();
    _trashList = elems;
    markDirty();
    notifyEverybody();
}

void TrashManager::deleteElem(const TrashElemPtr& elem)
{
    if (_trashList.removeAll(elem) > 0)
        markDirty();
}

void TrashManager::deleteElemsFromList(const QList<TrashElemPtr>& elems)
{
    if (elems.isEmpty())
        return;
    for (const TrashElemPtr& elem : elems)
        deleteElem(elem);
    notifyEverybody();
}

void TrashManager::emptyTrash()
{
    finishLoading();
    markDirty();
    _trashList.clear();
    notifyEverybody();
}

void TrashManager::deleteAllURIs()
{
    for (const TrashElemPtr& elem : std::as_const(_trashList))
        elem->setSourceURI(QString());
    if (!_trashList.isEmpty())
        markDirty();
    notifyEverybody();
}

void TrashManager::sortList(const std::function<bool(const TrashElemPtr&, const TrashElemPtr&)>& lessThan)
{
    std::stable_sort(_trashList.begin(), _trashList.end(), lessThan);
}

bool TrashManager::writeToDisk()
{
    finishLoading();
    if (!_isDirty)
        return false;
    QVariantList entries;
    entries.reserve(_trashList.size());
    for (const TrashElemPtr& elem : std::as_const(_trashList)) {
        if (auto entry = elem->dictionaryForArchive())
            entries.append(*entry);
    }
    const QVariantMap root{{trashKey(trashkeys::kVersion), trashKey(trashkeys::kCurrentVersion)},
                           {trashKey(trashkeys::kTrashList), entries}};
    QString error;
    if (!platform::plist::writeFile(_fileName, root, &error)) {
        qCWarning(lcOrganizer) << "trash file not written:" << error;
        platform::gui::beep();
        return false;
    }
    _isDirty = false;
    return true;
}

TrashManager::Loaded TrashManager::loadTrashFile(const QString& fileName, qint64 periodSeconds, const QDateTime& now)
{
    const QFileInfo info(fileName);
    if (!info.exists() && !info.isSymLink())
        return {};
    if (!info.isFile()) {
        qCWarning(lcOrganizer) << "trash file" << fileName << "is not a regular file; not read";
        return {};
    }
    QString error;
    const auto bytes = platform::readRegularFile(fileName, kMaxFileSize, platform::Symlinks::Follow, &error);
    if (!bytes) {
        qCWarning(lcOrganizer) << "trash file not read:" << error;
        if (info.size() > kMaxFileSize)
            moveDamagedTrashFile(fileName);
        return {};
    }
    QString damage;
    Loaded result = parseTrashFile(*bytes, periodSeconds, now, &damage);
    if (!result.listRead) {
        qCWarning(lcOrganizer) << "trash file" << fileName << "is damaged:" << damage
                               << "; moved aside, the trash starts empty";
        moveDamagedTrashFile(fileName);
    }
    return result;
}

TrashManager::Loaded TrashManager::parseTrashFile(const QByteArray& bytes, qint64 periodSeconds, const QDateTime& now,
                                                  QString* damage)
{
    Loaded result;
    QString error;
    const QVariant root = platform::plist::read(bytes, &error);
    const QVariant list = root.toMap().value(trashKey(trashkeys::kTrashList));
    if (root.typeId() != QMetaType::QVariantMap || list.typeId() != QMetaType::QVariantList) {
        if (damage)
            *damage = error.isEmpty() ? QStringLiteral("no list of entries") : error;
        return result;
    }
    const QString version = root.toMap().value(trashKey(trashkeys::kVersion)).toString();
    if (version != QLatin1String(trashkeys::kCurrentVersion))
        qCInfo(lcOrganizer) << "trash file of version" << version << "read as far as its entries fit";
    result.listRead = true;
    const QVariantList entries = list.toList();
    result.elems.reserve(std::max<qsizetype>(entries.size(), kInitialCapacity));
    for (qsizetype index = 0; index < entries.size(); ++index) {
        QString why = QStringLiteral("it is not a dictionary");
        const auto& value = entries.at(index);
        auto elem = value.typeId() == QMetaType::QVariantMap ? TrashElem::trashElemFromDictionary(value.toMap(), &why)
                                                             : nullptr;
        if (!elem) {
            qCWarning(lcOrganizer) << "trash entry" << index << "skipped:" << why;
            continue;
        }
        if (elem->trashedDate().secsTo(now) <= periodSeconds)
            result.elems.append(std::move(elem));
        else
            result.droppedExpired = true;
    }
    return result;
}

bool TrashManager::readFromDisk()
{
    finishLoading();
    if (_hasLoaded) {
        // A second read replaces the entries; what changed since the last
        // write is written first, so nothing is lost and nothing doubled.
        writeToDisk();
        _trashList.clear();
    }
    const qint64 period = qint64(OrganizerHost::trashPeriodDays()) * kSecondsPerDay;
    const Loaded loaded = loadTrashFile(_fileName, period, platform::Clock::instance().currentDateTime());
    takeLoaded(loaded);
    return loaded.listRead;
}

void TrashManager::readFromDiskThread()
{
    finishLoading();
    if (_hasLoaded) {
        writeToDisk();
        _trashList.clear();
    }
    // Read here: the user defaults and the clock belong to the main thread.
    const qint64 period = qint64(OrganizerHost::trashPeriodDays()) * kSecondsPerDay;
    const QDateTime now = platform::Clock::instance().currentDateTime();
    auto pending = std::make_shared<PendingLoad>();
    _pending = pending;
    _loader = std::thread([this, pending, fileName = _fileName, period, now] {
        Loaded loaded = loadTrashFile(fileName, period, now);
        {
            std::lock_guard<std::mutex> lock(pending->mutex);
            pending->loaded = std::move(loaded);
        }
        // The context lives as long as the store, which joins this thread
        // before it goes; a call that arrives after finishLoading() finds
        // nothing pending.
        QMetaObject::invokeMethod(
            _context.get(),
            [this, pending] {
                if (_pending == pending)
                    finishLoading();
            },
            Qt::QueuedConnection);
    });
}

void TrashManager::finishLoading()
{
    if (!_loader.joinable())
        return;
    _loader.join();
    const std::shared_ptr<PendingLoad> pending = std::move(_pending);
    std::optional<Loaded> loaded;
    {
        std::lock_guard<std::mutex> lock(pending->mutex);
        loaded = std::move(pending->loaded);
    }
    if (loaded)
        takeLoaded(*loaded);
}

void TrashManager::takeLoaded(const Loaded& loaded)
{
    // Entries trashed while the file was read come after the stored ones.
    QList<TrashElemPtr> merged;
    merged.reserve(std::max<qsizetype>(loaded.elems.size() + _trashList.size(), kInitialCapacity));
    merged.append(loaded.elems);
    merged.append(_trashList);
    _trashList = std::move(merged);
    _hasLoaded = true;
    if (loaded.droppedExpired)
        markDirty();
    notifyEverybody();
}

void TrashManager::notifyEverybody()
{
    platform::NotificationCenter::defaultCenter().post(trashKey(trashkeys::kTrashListHasChanged));
}

void saveTrashChangesIfAny()
{
    if (TrashManager::isSharedTrashManagerAllocated())
        TrashManager::sharedTrashManager().writeToDisk();
}
