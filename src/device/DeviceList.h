#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

namespace platform {
class UserDefaults;
}

// The phones the user has set up ("Devices") and the phones whose data is
// archived ("History Devices"), newest first, kept in the user defaults. The
// entries are shared: a phone's settings hold the same dictionary object, so
// their changes show in the list at once and become permanent when the list
// is written. A phone is recognised by its serial number "Common.SerialNo".
class DeviceList {
public:
    using Entry = std::shared_ptr<QVariantMap>;

    static constexpr const char* kDevicesKey = "Devices";
    static constexpr const char* kHistoryDevicesKey = "History Devices";
    static constexpr const char* kVersionMajorKey = "Preferences Version Major";
    static constexpr const char* kVersionMinorKey = "Preferences Version Minor";
    static constexpr int kVersionMajor = 0;
    static constexpr int kVersionMinor = 28;
    // Serials shorter than this match nothing in the known list.
    static constexpr int kMinimumSerialLength = 8;

    static DeviceList& sharedDeviceList();

    // Reads (and on first launch sets up) the lists in the given defaults.
    explicit DeviceList(platform::UserDefaults& defaults);
    ~DeviceList();   // writes the lists once more when dirty
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    int count() const;
    int historyCount() const;
    Entry deviceEntry(int index) const;          // null past the end
    Entry historyDeviceEntry(int index) const;   // null past the end

    int getIndexFor(const QString& serial) const;
    int getHistoryIndexFor(const QString& serial) const;
    Entry getEntryFor(const QString& serial) const;          // a copy, or null
    Entry getHistoryEntryFor(const QString& serial) const;   // a copy, or null
    bool doesExist(const QVariantMap& device) const;

    // Insert in front, store and synchronize; the number of known phones, or
    // -1 without a list.
    int addDevice(Entry device);
    int addHistoryDevice(Entry device);
    void writeDevice(Entry device);
    void writeDeviceAtIndex(Entry device, int index);
    void writeHistoryDeviceAtIndex(Entry device, int index);
    void deleteDevice(int index);
    void deleteHistoryDevice(int index);
    void syncDevices();
    void setDirty() { _isDirty = true; }
    bool isDirty() const { return _isDirty; }

    std::optional<QList<Entry>> createMutableDevicesList() const;
    std::optional<QList<Entry>> createMutableHistoryDevicesList() const;

private:
    std::optional<QList<Entry>> readList(const char* key) const;
    void storeList(const char* key, const std::optional<QList<Entry>>& list);
    // The shared steps of the known and the history list, stored under key.
    int prependTo(std::optional<QList<Entry>>& list, const char* key, Entry device);
    void writeInto(std::optional<QList<Entry>>& list, const char* key, Entry device, int index);
    void removeFrom(std::optional<QList<Entry>>& list, const char* key, int index);
    static QString serialOf(const QVariantMap& device);

    platform::UserDefaults& m_defaults;
    std::optional<QList<Entry>> _deviceList;
    std::optional<QList<Entry>> _historyDeviceList;
    bool _isDirty = false;
};
