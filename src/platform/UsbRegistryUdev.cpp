#include "platform/UsbRegistryUdev.h"

#include <QFile>
#include <QSocketNotifier>
#include <QHash>

#include <libudev.h>
#include <sys/sysmacros.h>

namespace platform {

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

QString attribute(udev_device* dev, const char* name)
{
    const char* value = udev_device_get_sysattr_value(dev, name);
    return value ? QString::fromUtf8(value).trimmed() : QString();
}

QString property(udev_device* dev, const char* name)
{
    const char* value = udev_device_get_property_value(dev, name);
    return value ? QString::fromUtf8(value) : QString();
}

int hexAttribute(udev_device* dev, const char* name, bool* ok)
{
    return attribute(dev, name).toInt(ok, 16);
}

// Calls fn for every device of subsystem (and devtype, when given) below parent.
template <typename Fn>
void forEachDevice(udev* context, udev_device* parent, const char* subsystem, const char* devtype, Fn fn)
{
    UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context));
    if (!enumerate)
        return;
    udev_enumerate_add_match_subsystem(enumerate.get(), subsystem);
    if (parent)
        udev_enumerate_add_match_parent(enumerate.get(), parent);
    if (udev_enumerate_scan_devices(enumerate.get()) < 0)
        return;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
    {
        UdevPtr<udev_device> dev(udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        if (!dev)
            continue;
        if (devtype) {
            const char* type = udev_device_get_devtype(dev.get());
            if (!type || qstrcmp(type, devtype) != 0)
                continue;
        }
        fn(dev.get());
    }
}

QString decodeMountField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QString::fromUtf8(out);
}

} // namespace

QHash<QString, QString> UsbRegistryUdev::parseMountInfo(const QByteArray& mountInfo)
{
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw"
    QHash<QString, QString> mounts;
    for (const QByteArray& line : mountInfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        const QString devNum = QString::fromLatin1(fields[2]);
        if (!mounts.contains(devNum))
            mounts.insert(devNum, decodeMountField(fields[4]));
    }
    return mounts;
}

std::optional<QList<UsbInterface>> UsbRegistryUdev::interfaces()
{
    UdevPtr<udev> context(udev_new());
    if (!context)
        return std::nullopt;

    QHash<QString, QString> mounts;
    QFile mountInfo(QStringLiteral("/proc/self/mountinfo"));
    if (mountInfo.open(QIODevice::ReadOnly))
        mounts = parseMountInfo(mountInfo.readAll());

    QList<UsbInterface> result;
    forEachDevice(context.get(), nullptr, "usb", "usb_device", [&](udev_device* usbDevice) {
        auto device = std::make_shared<UsbDevice>();
        device->location = QString::fromUtf8(udev_device_get_sysname(usbDevice));
        device->locationID = packLocation(device->location);
        bool vendorOk = false;
        bool productOk = false;
        device->vendorId = hexAttribute(usbDevice, "idVendor", &vendorOk);
        device->productId = hexAttribute(usbDevice, "idProduct", &productOk);
        device->hasIds = vendorOk && productOk;
        device->vendorName = attribute(usbDevice, "manufacturer");
        if (device->vendorName.isEmpty())
            device->vendorName = property(usbDevice, "ID_VENDOR_FROM_DATABASE");
        device->productName = attribute(usbDevice, "product");
        if (device->productName.isEmpty())
            device->productName = property(usbDevice, "ID_MODEL_FROM_DATABASE");
        device->serialNumber = attribute(usbDevice, "serial");

        forEachDevice(context.get(), usbDevice, "tty", nullptr, [&](udev_device* tty) {
            if (const char* node = udev_device_get_devnode(tty))
                device->ttyPaths.append(QString::fromUtf8(node));
        });
        forEachDevice(context.get(), usbDevice, "block", nullptr, [&](udev_device* block) {
            const dev_t num = udev_device_get_devnum(block);
            const QString key = QStringLiteral("%1:%2").arg(major(num)).arg(minor(num));
            device->volumes.append({QString::fromUtf8(udev_device_get_sysname(block)), mounts.value(key)});
        });

        std::shared_ptr<const UsbDevice> shared = device;
        forEachDevice(context.get(), usbDevice, "usb", "usb_interface", [&](udev_device* intfDevice) {
            UsbInterface intf;
            intf.device = shared;
            bool ok = false;
            intf.number = hexAttribute(intfDevice, "bInterfaceNumber", &ok);
            intf.interfaceClass = hexAttribute(intfDevice, "bInterfaceClass", &ok);
            if (!ok)
                return;
            intf.interfaceSubClass = hexAttribute(intfDevice, "bInterfaceSubClass", &ok);
            result.append(intf);
        });
    });
    return result;
}

} // namespace platform

namespace platform {

struct UsbRegistryUdev::Monitor {
    UdevPtr<udev> context;
    UdevPtr<udev_monitor> monitor;
    std::unique_ptr<QSocketNotifier> notifier;
};

UsbRegistryUdev::UsbRegistryUdev() = default;
UsbRegistryUdev::~UsbRegistryUdev() = default;

void UsbRegistryUdev::startWatching()
{
    if (_monitor)
        return;
    auto watch = std::make_unique<Monitor>();
    watch->context.reset(udev_new());
    if (!watch->context)
        return;
    watch->monitor.reset(udev_monitor_new_from_netlink(watch->context.get(), "udev"));
    if (!watch->monitor
        || udev_monitor_filter_add_match_subsystem_devtype(watch->monitor.get(), "usb", "usb_device") < 0
        || udev_monitor_enable_receiving(watch->monitor.get()) < 0)
        return;
    udev_monitor* monitor = watch->monitor.get();
    watch->notifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor), QSocketNotifier::Read);
    QObject::connect(watch->notifier.get(), &QSocketNotifier::activated, [monitor] {
        const UdevPtr<udev_device> device(udev_monitor_receive_device(monitor));
        if (!device)
            return;
        const char* action = udev_device_get_action(device.get());
        const char* name = udev_device_get_sysname(device.get());
        const QString location = name ? QString::fromUtf8(name) : QString();
        if (action && qstrcmp(action, "add") == 0)
            postChange(Change::Added, location);
        else if (action && qstrcmp(action, "remove") == 0)
            postChange(Change::Removed, location);
    });
    _monitor = std::move(watch);
}

} // namespace platform
