#include "device/DeviceList.h"

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
    if (!_deviceList || index < 0 || index >= _deviceList->size())
        return nullptr;
    return _deviceList->at(index);
}

DeviceList::Entry DeviceList::historyDeviceEntry(int index) const
{
    if (!_historyDeviceList || index < 0 || index >= _historyDeviceList->size())
        return nullptr;
    return _historyDeviceList->at(index);
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
    if (!_historyDeviceList)
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

int DeviceList::addDevice(Entry device)
{
    if (!_deviceList || !device)
        return -1;
    _deviceList->prepend(std::move(device));
    storeList(kDevicesKey, _deviceList);
    return count();
}

int DeviceList::addHistoryDevice(Entry device)
{
    if (!_historyDeviceList || !device)
        return -1;
    _historyDeviceList->prepend(std::move(device));
    storeList(kHistoryDevicesKey, _historyDeviceList);
    return count();
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
    if (index < 0 || !_deviceList || index >= _deviceList->size()) {
        addDevice(std::move(device));
        return;
    }
    (*_deviceList)[index] = std::move(device);
    storeList(kDevicesKey, _deviceList);
}

void DeviceList::writeHistoryDeviceAtIndex(Entry device, int index)
{
    if (index < 0 || !_historyDeviceList || index >= _historyDeviceList->size()) {
        addHistoryDevice(std::move(device));
        return;
    }
    (*_historyDeviceList)[index] = std::move(device);
    storeList(kHistoryDevicesKey, _historyDeviceList);
}

void DeviceList::deleteDevice(int index)
{
    if (!_deviceList || index < 0 || index >= _deviceList->size())
        return;
    _deviceList->removeAt(index);
    storeList(kDevicesKey, _deviceList);
}

void DeviceList::deleteHistoryDevice(int index)
{
    if (!_historyDeviceList || index < 0 || index >= _historyDeviceList->size())
        return;
    _historyDeviceList->removeAt(index);
    storeList(kHistoryDevicesKey, _historyDeviceList);
}

void DeviceList::syncDevices()
{
    if (_deviceList)
        m_defaults.setObject(QString::fromLatin1(kDevicesKey), toVariantList(*_deviceList));
    if (_historyDeviceList)
        m_defaults.setObject(QString::fromLatin1(kHistoryDevicesKey), toVariantList(*_historyDeviceList));
    m_defaults.synchronize();
}
