#include "device/DeviceList.h"

#include "device/DeviceLog.h"

#include "platform/UserDefaults.h"
#include "platform/Values.h"

#include <QVariantList>

namespace {

constexpr const char kKeySerialNo[] = "Common.SerialNo";
constexpr const char kKeyBackupDevice[] = "Common.BackupDevice";

QVariantList toVariantList(const QList<DeviceList::Entry>& list)
{
    QVariantList stored;
    stored.reserve(list.size());
    for (const auto& entry : list)
        stored.append(entry ? *entry : QVariantMap());
    return stored;
}

bool isIndexIn(const std::optional<QList<DeviceList::Entry>>& list, int index)
{
    return list && index >= 0 && index < list->size();
}

DeviceList::Entry entryAt(const std::optional<QList<DeviceList::Entry>>& list, int index)
{
    return isIndexIn(list, index) ? list->at(index) : nullptr;
}

} // namespace

DeviceList& DeviceList::sharedDeviceList()
{
    static DeviceList shared(platform::UserDefaults::standard());
    return shared;
}

DeviceList::DeviceList(platform::UserDefaults& defaults)
    : m_defaults(defaults)
{
    _deviceList = createMutableDevicesList();
    _historyDeviceList = createMutableHistoryDevicesList();
    if (!_historyDeviceList) {
        QList<Entry> copies;
        if (_deviceList) {
            for (const auto& entry : *_deviceList)
                copies.append(std::make_shared<QVariantMap>(*entry));
        }
        _historyDeviceList = copies;
        storeList(kHistoryDevicesKey, _historyDeviceList);
    }

    if (_deviceList) {
        const int major = m_defaults.integer(QString::fromLatin1(kVersionMajorKey));
        const int minor = m_defaults.integer(QString::fromLatin1(kVersionMinorKey));
        if (major < 0) {
            _deviceList.reset();
        } else if (minor < kVersionMinor) {
            m_defaults.setObject(QString::fromLatin1(kVersionMinorKey), kVersionMinor);
            _isDirty = true;
        }
    }
    if (!_deviceList) {
        _deviceList = QList<Entry>();
        m_defaults.setObject(QString::fromLatin1(kDevicesKey), QVariantList());
        m_defaults.setObject(QString::fromLatin1(kVersionMajorKey), kVersionMajor);
        m_defaults.setObject(QString::fromLatin1(kVersionMinorKey), kVersionMinor);
        _isDirty = true;
    }
    m_defaults.synchronize();
}

DeviceList::~DeviceList()
{
    if (_isDirty)
        syncDevices();
}

std::optional<QList<DeviceList::Entry>> DeviceList::readList(const char* key) const
{
    const QVariant stored = m_defaults.object(QString::fromLatin1(key));
    if (!stored.isValid() || stored.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QList<Entry> list;
    const QVariantList items = stored.toList();
    for (const QVariant& item : items) {
        if (item.typeId() == QMetaType::QVariantMap)
            list.append(std::make_shared<QVariantMap>(item.toMap()));
        else
            qCWarning(lcDevice).noquote() << "an entry of" << key << "that is not a dictionary is skipped:"
                                          << item.typeName();
    }
    return list;
}

std::optional<QList<DeviceList::Entry>> DeviceList::createMutableDevicesList() const
{
    return readList(kDevicesKey);
}

std::optional<QList<DeviceList::Entry>> DeviceList::createMutableHistoryDevicesList() const
{
    return readList(kHistoryDevicesKey);
}

void DeviceList::storeList(const char* key, const std::optional<QList<Entry>>& list)
{
    if (!list)
        return;
    m_defaults.setObject(QString::fromLatin1(key), toVariantList(*list));
    m_defaults.synchronize();
}

QString DeviceList::serialOf(const QVariantMap& device)
{
    const QVariant serial = device.value(QString::fromLatin1(kKeySerialNo));
    return serial.isValid() ? serial.toString() : QString();
}

int DeviceList::count() const
{
    return _deviceList ? static_cast<int>(_deviceList->size()) : 0;
}

int DeviceList::historyCount() const
{
    return _historyDeviceList ? static_cast<int>(_historyDeviceList->size()) : 0;
}

DeviceList::Entry DeviceList::deviceEntry(int index) const
{
    return entryAt(_deviceList, index);
}

DeviceList::Entry DeviceList::historyDeviceEntry(int index) const
{
    return entryAt(_historyDeviceList, index);
}

int DeviceList::getIndexFor(const QString& serial) const
{
    if (!_deviceList || serial.size() < kMinimumSerialLength)
        return -1;
    for (int i = 0; i < _deviceList->size(); ++i) {
        const QString stored = serialOf(*_deviceList->at(i));
        if (stored.isEmpty())
            continue;
        // Compare over the shorter of the two, for this entry only: a short
        // stored serial must not shorten the comparison with later entries
        // (phones of one model share the first digits of their serial).
        const qsizetype length = std::min(stored.size(), serial.size());
        if (QStringView(stored).left(length) == QStringView(serial).left(length))
            return i;
    }
    return -1;
}

int DeviceList::getHistoryIndexFor(const QString& serial) const
{
    // A phone without a serial is no archived phone: cut to nothing, every
    // stored serial would match it.
    if (!_historyDeviceList || serial.isEmpty())
        return -1;
    for (int i = 0; i < _historyDeviceList->size(); ++i) {
        const QString stored = serialOf(*_historyDeviceList->at(i));
        if (stored.isNull())
            continue;
        if (QStringView(stored).left(serial.size()) == serial)
            return i;
    }
    return -1;
}

DeviceList::Entry DeviceList::getEntryFor(const QString& serial) const
{
    const Entry entry = deviceEntry(getIndexFor(serial));
    return entry ? std::make_shared<QVariantMap>(*entry) : nullptr;
}

DeviceList::Entry DeviceList::getHistoryEntryFor(const QString& serial) const
{
    const Entry entry = historyDeviceEntry(getHistoryIndexFor(serial));
    return entry ? std::make_shared<QVariantMap>(*entry) : nullptr;
}

bool DeviceList::doesExist(const QVariantMap& device) const
{
    const QString serial = serialOf(device);
    return getIndexFor(serial) >= 0 || getHistoryIndexFor(serial) >= 0;
}

int DeviceList::prependTo(std::optional<QList<Entry>>& list, const char* key, Entry device)
{
    if (!list || !device)
        return -1;
    list->prepend(std::move(device));
    storeList(key, list);
    return count();
}

void DeviceList::writeInto(std::optional<QList<Entry>>& list, const char* key, Entry device, int index)
{
    if (!isIndexIn(list, index)) {
        prependTo(list, key, std::move(device));
        return;
    }
    (*list)[index] = std::move(device);
    storeList(key, list);
}

void DeviceList::removeFrom(std::optional<QList<Entry>>& list, const char* key, int index)
{
    if (!isIndexIn(list, index))
        return;
    list->removeAt(index);
    storeList(key, list);
}

int DeviceList::addDevice(Entry device)
{
    return prependTo(_deviceList, kDevicesKey, std::move(device));
}

int DeviceList::addHistoryDevice(Entry device)
{
    return prependTo(_historyDeviceList, kHistoryDevicesKey, std::move(device));
}

void DeviceList::writeDevice(Entry device)
{
    if (!_deviceList || !device)
        return;
    const QString serial = serialOf(*device);
    writeDeviceAtIndex(device, getIndexFor(serial));
    if (platform::values::toBool(device->value(QString::fromLatin1(kKeyBackupDevice))))
        writeHistoryDeviceAtIndex(device, getHistoryIndexFor(serial));
}

void DeviceList::writeDeviceAtIndex(Entry device, int index)
{
    writeInto(_deviceList, kDevicesKey, std::move(device), index);
}

void DeviceList::writeHistoryDeviceAtIndex(Entry device, int index)
{
    writeInto(_historyDeviceList, kHistoryDevicesKey, std::move(device), index);
}

void DeviceList::deleteDevice(int index)
{
    removeFrom(_deviceList, kDevicesKey, index);
}

void DeviceList::deleteHistoryDevice(int index)
{
    removeFrom(_historyDeviceList, kHistoryDevicesKey, index);
}

void DeviceList::syncDevices()
{
    if (_deviceList)
        m_defaults.setObject(QString::fromLatin1(kDevicesKey), toVariantList(*_deviceList));
    if (_historyDeviceList)
        m_defaults.setObject(QString::fromLatin1(kHistoryDevicesKey), toVariantList(*_historyDeviceList));
    m_defaults.synchronize();
}
