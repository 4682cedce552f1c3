// The application controller's phone connections: from a device-list entry
// to a live or archived phone document with its window, and the look-ups of
// the open phones.
#include "app/AppController.h"

#include "app/AppLog.h"
#include "app/DZDocumentController.h"
#include "app/MobileDeviceDocument.h"

#include "device/DeviceList.h"
#include "device/PhoneIconFromiSyncSearcher.h"
#include "device/qvDeviceDB.h"
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/media/FileConverter.h"
#include "foundation/FormattingUtil.h"
#include "foundation/NamedLog.h"
#include "foundation/QuickLog.h"
#include "links/USBSerialATChannel.h"
#include "phone/FilesMirror.h"
#include "phone/MFDevice.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/gui/Animation.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPainter>

#include <optional>

namespace {

constexpr const char* kSerialNo = "Common.SerialNo";
constexpr const char* kDeviceName = "Common.DeviceName";
constexpr const char* kIdentifier = "Common.Identifier";
constexpr const char* kDeviceID = "Common.qvDeviceID";
constexpr const char* kDeviceProtocol = "Common.DeviceProtocol";
constexpr const char* kAutoConnect = "Common.AutoConnect";
constexpr const char* kBackupDevice = "Common.BackupDevice";
constexpr const char* kLastConnectionType = "Common.LastConnectionType";
constexpr const char* kAnchor = "Anchor";
constexpr const char* kIconPath = "DEVICELIST_IconPath";
constexpr const char* kScanVendor = "USB.Vendor";
constexpr const char* kScanModel = "USB.Model";
constexpr const char* kScanDeviceNumber = "USB.QVDeviceNumber";
constexpr const char* kScanSerial = "USB.SerialNo";
constexpr const char* kRowModel = "Dorvanti.Model";
constexpr const char* kRowManufacturer = "Dorvanti.Manufacturer";
constexpr const char* kRowIdentification = "Dorvanti.Identification";
constexpr const char* kRowProtocol = "Dorvanti.DeviceProtocol";
constexpr const char* kDefaultIdentifier = "SIEMENS+C81";
constexpr const char* kDefaultPicture = "DefaultHandyLogo";
constexpr const char* kUsbMark = "UsbLogo";
constexpr const char* kBluetoothMark = "BluetoothLogo";
constexpr const char* kHistoryMark = "TimeTunnel";
constexpr int kPictureSize = 32;
constexpr int kMarkSize = 20;

QString textOf(const QVariant& value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

// A whole number written as text or stored as a number; nothing otherwise.
std::optional<int> numberOf(const QVariant& value)
{
    bool ok = false;
    const int number = value.typeId() == QMetaType::QString ? value.toString().trimmed().toInt(&ok, 0)
                                                            : value.toInt(&ok);
    if (!value.isValid() || !ok)
        return std::nullopt;
    return number;
}

QImage programImage(const char* name)
{
    return platform::gui::image(QLatin1String(platform::gui::kProgramBundle), QLatin1String(name));
}

// "%d. %b %y, %H:%M" of the calendar format.
QString historyDate(const QDateTime& when)
{
    return QLocale::c().toString(when, QStringLiteral("d. MMM yy, HH:mm"));
}

} // namespace

QString AppController::liveStateInfo()
{
    return QString::fromLatin1(kLiveStateFormat).arg(QLatin1String(kBackupCenter));
}

void AppController::busy(DeviceWindowController* window, int percent)
{
    if (window)
        window->doProgressBusyOverlayAndDisplay(percent);
    if (busySteps_)
        busySteps_(percent);
}

MobileDeviceDocument* AppController::documentForWindow(const DeviceWindowController* window) const
{
    DZDocumentController* documents = DZDocumentController::sharedDocumentController();
    if (!documents || !window)
        return nullptr;
    for (MobileDeviceDocument* document : documents->documents())
        for (const auto& each : document->windowControllers())
            if (each.get() == window)
                return document;
    return nullptr;
}

void AppController::createConnection(const QVariantMap& entry, const QString& connType,
                                     DeviceWindowController* window, bool isNew, const QString& stateInfo)
{
    DZDocumentController* documents = DZDocumentController::sharedDocumentController();
    if (!documents)
        return;
    MobileDeviceDocument* given = documentForWindow(window);
    bool newDevice = isNew;
    if (window && given && !given->hasDevice()) {
        // A: the given window's document takes the phone.
        busy(window, 30);
        auto device = std::make_shared<MFDevice>(connType, std::make_shared<QVariantMap>(entry), &newDevice);
        if (!given->setMFDevice(device, window))
            return;
        window->setMFDevice(device.get(), stateInfo);
        if (!DevicePreprocessor::devFieldLenFilePath(*device).isEmpty()
            && !preprocessor_.loadFieldLengths(*device, newDevice)) {
            window->displayErrorText(0, QStringLiteral("60"), QStringLiteral("56"));
            return;
        }
        QPointer<DeviceWindowController> later = window;
        platform::runloop::performOnMainThread([later] {
            if (later)
                later->executeStateInfo();
        }, this);
        busy(window, 75);
        window->updateBTDevice();
        busy(window, 80);
        if (!device->isHistory()) {
            if (newDevice) {
                window->showTeachIn();
            } else {
                window->showConnected();
                given->startBackgroundActionsSoon();
            }
        }
        window->showWindow();
        busy(window, 90);
        return;
    }
    // B: a new document and window.
    MobileDeviceDocument* document = documents->newDocument();
    DeviceWindowController* made = document->getDeviceWindowController();
    busy(made, 30);
    auto device = std::make_shared<MFDevice>(connType, std::make_shared<QVariantMap>(entry), &newDevice);
    if (!document->setMFDevice(device, made)) {
        document->close();
        return;
    }
    made->setMFDevice(device.get(), stateInfo);
    busy(made, 75);
    busy(made, 80);
    doToAllDeviceWindowControllers();
    busy(made, 85);
    QPointer<DeviceWindowController> later = made;
    platform::runloop::performOnMainThread([later] {
        if (later)
            later->executeStateInfo();
    }, this);
    if (newDevice) {
        platform::runloop::performOnMainThread([later] {
            if (later)
                later->showTeachIn();
        }, this);
    } else {
        made->showConnected();
    }
    made->showWindow();
    busy(made, 90);
    document->startBackgroundActionsSoon();
}

int AppController::tryToFindBluetoothDevice(const QVariantMap& entry, DeviceWindowController* window)
{
    if (!MFDevice::isBTConnectionAvailable(entry))
        return -1;
    createConnection(entry, QLatin1String(MFDevice::kBluetooth), window, false, liveStateInfo());
    return 0;
}

int AppController::tryToFindUSBSerialDevice(const QVariantMap& entry, DeviceWindowController* window)
{
    if (!USBSerialATChannel::isConnectionAvailable(entry))
        return -1;
    createConnection(entry, QLatin1String(MFDevice::kUSBSerial), window, false, liveStateInfo());
    return 0;
}

int AppController::tryToFindUSBStoragDevice(const QVariantMap&, DeviceWindowController*)
{
    // A mass-storage phone enters through its USB scan result.
    return -1;
}

void AppController::scanReturnedUSBDevice(const QVariantMap& scan, DeviceWindowController* window)
{
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    const QString serial = textOf(scan.value(QLatin1String(kScanSerial)));
    const QVariant number = scan.value(QLatin1String(kScanDeviceNumber));
    QVariantMap row;
    if (db && number.isValid() && !textOf(number).isEmpty()) {
        row = db->getSettingsForDeviceByID(number);
    } else if (db) {
        const std::optional<int> vendor = numberOf(scan.value(QLatin1String(kScanVendor)));
        const std::optional<int> model = numberOf(scan.value(QLatin1String(kScanModel)));
        if (vendor && model)
            row = db->getSettingsForVendorModel(*vendor, *model);
    }
    if (row.isEmpty() || serial.isEmpty()) {
        QVLOG(qvlog::kXT, QStringLiteral("USB scan result of no known phone"));
        platform::gui::beep();
        return;
    }
    const QString name = QStringLiteral("%1-%2 (USB)")
                             .arg(textOf(row.value(QLatin1String(kRowManufacturer))),
                                  textOf(row.value(QLatin1String(kRowModel))));
    DeviceList& list = DeviceList::sharedDeviceList();
    DeviceList::Entry stored = list.getEntryFor(serial);
    bool isNew = false;
    if (!stored) {
        auto made = std::make_shared<QVariantMap>();
        made->insert(QLatin1String(kDeviceName), name);
        made->insert(QLatin1String(kSerialNo), serial);
        made->insert(QLatin1String(kIdentifier), row.value(QLatin1String(kRowIdentification)));
        made->insert(QLatin1String(kDeviceID), number.isValid() ? number : row.value(QStringLiteral("Dorvanti.DEVICE_ID")));
        made->insert(QLatin1String(kDeviceProtocol), row.value(QLatin1String(kRowProtocol)));
        made->insert(QLatin1String(kAutoConnect), false);
        made->insert(QLatin1String(kBackupDevice), true);
        stored = made;
        isNew = true;
    }
    stored->insert(QLatin1String(kLastConnectionType), QLatin1String(MFDevice::kUSBMassStorage));
    list.writeDevice(stored);
    createConnection(*stored, QLatin1String(MFDevice::kUSBMassStorage), window, isNew, liveStateInfo());
}

void AppController::connectWithHistoryDevice(const QVariantMap& entry, DeviceWindowController* window,
                                             const QString& stateInfo, const QString& mirrorPath)
{
    const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB();
    const QVariantMap row = db ? db->getSettingsForDeviceByID(entry.value(QLatin1String(kDeviceID))) : QVariantMap();
    const QString fileName = FormattingUtil::makeMirrorFileName(textOf(row.value(QLatin1String(kRowModel))),
                                                                textOf(entry.value(QLatin1String(kSerialNo))));
    const QString folder = mirrorPath.isEmpty() ? QDir(FilesMirror::mirrorBasePath()).filePath(fileName) : mirrorPath;
    const QString resolved = FileConverter::sharedFileConverter().resolveAliasToDirectory(folder);
    QVLOG(qvlog::kXT, QString(80, QLatin1Char('+')) + QLatin1Char('\n'));
    QVLOG(qvlog::kXT,
          QStringLiteral("Connection to history device: %1\n").arg(textOf(entry.value(QLatin1String(kDeviceID)))));
    QVLOG(qvlog::kXT, QStringLiteral("Date: %1\n").arg(historyDate(QDateTime::currentDateTime())));
    QVariantMap history = entry;
    history.insert(QLatin1String(kAnchor), resolved.isNull() ? folder : resolved);
    createConnection(history, QLatin1String(MFDevice::kHistory), window, false, stateInfo);
    platform::NotificationCenter::defaultCenter().post(QLatin1String(kConnectionChanged), nullptr);
}

void AppController::newDocument()
{
    if (DZDocumentController* documents = DZDocumentController::sharedDocumentController())
        documents->newDocument();
}

DeviceWindowController* AppController::newDocumentWindow()
{
    DZDocumentController* documents = DZDocumentController::sharedDocumentController();
    MobileDeviceDocument* document = documents ? documents->newDocument() : nullptr;
    return document ? document->getDeviceWindowController() : nullptr;
}

bool AppController::hasDevice(const DeviceWindowController* window)
{
    MobileDeviceDocument* document = documentForWindow(window);
    return document && document->hasDevice();
}

void AppController::cancelClose(DeviceWindowController* window)
{
    if (MobileDeviceDocument* document = documentForWindow(window))
        document->cancelClose();
}

void AppController::setForceQuitAndIgnore(DeviceWindowController* window)
{
    if (MobileDeviceDocument* document = documentForWindow(window))
        document->setForceQuitAndIgnore();
}

DeviceWindowController* AppController::checkDeviceAlreadyConnected(const QString& serial, bool activate,
                                                                   bool isHistory)
{
    DZDocumentController* documents = DZDocumentController::sharedDocumentController();
    if (serial.isEmpty() || !documents)
        return nullptr;
    for (MobileDeviceDocument* document : documents->documents()) {
        const std::shared_ptr<MFDevice>& device = document->mfDevice();
        if (!device || !device->isIdenticalTo(serial) || device->isHistory() != isHistory)
            continue;
        if (activate)
            document->showWindow(true);
        return document->getDeviceWindowController();
    }
    return nullptr;
}

bool AppController::checkIfIsAlreadyConnected(const QString& serial, bool activate)
{
    return checkDeviceAlreadyConnected(serial, activate, false) != nullptr;
}

bool AppController::checkIfIsHistoryConnected(const QString& serial, bool activate)
{
    return checkDeviceAlreadyConnected(serial, activate, true) != nullptr;
}

MobileDeviceDocument* AppController::documentForSerialNumber(const QString& serial) const
{
    DZDocumentController* documents = DZDocumentController::sharedDocumentController();
    if (serial.isEmpty() || !documents)
        return nullptr;
    for (MobileDeviceDocument* document : documents->documents())
        if (document->mfDevice() && document->mfDevice()->isIdenticalTo(serial))
            return document;
    return nullptr;
}

void AppController::doToAllDeviceWindowControllers()
{
    DZDocumentController* documents = DZDocumentController::sharedDocumentController();
    if (!documents)
        return;
    for (MobileDeviceDocument* document : documents->documents())
        for (const auto& window : document->windowControllers())
            window->updateBTDevice();
}

DeviceWindowController* AppController::getAWindowController() const
{
    DZDocumentController* documents = DZDocumentController::sharedDocumentController();
    if (!documents)
        return nullptr;
    DeviceWindowController* last = nullptr;
    for (MobileDeviceDocument* document : documents->documents()) {
        DeviceWindowController* window = document->getDeviceWindowController();
        if (!window || !window->window() || !window->window()->isVisible())
            continue;
        if (window->window()->isActiveWindow())
            return window;
        last = window;
    }
    return last;
}

QImage AppController::getDeviceImage(const QVariantMap& entry) const
{
    QString identifier = textOf(entry.value(QLatin1String(kIdentifier)));
    if (identifier.isEmpty())
        identifier = QLatin1String(kDefaultIdentifier);
    QImage picture;
    const QString icon = getPhoneIconForModel(identifier);
    if (!icon.isEmpty())
        picture.load(icon);
    if (picture.isNull()) {
        const QString path = textOf(entry.value(QLatin1String(kIconPath)));
        if (!path.isEmpty())
            picture.load(path);
    }
    if (picture.isNull())
        picture = programImage(kDefaultPicture);
    if (picture.isNull())
        return {};
    QImage result(kPictureSize, kPictureSize, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(0, 0, kPictureSize, kPictureSize), picture);
    const QString serial = textOf(entry.value(QLatin1String(kSerialNo)));
    const char* mark = nullptr;
    MobileDeviceDocument* document = nullptr;
    DZDocumentController* documents = DZDocumentController::sharedDocumentController();
    if (documents && !serial.isEmpty()) {
        for (MobileDeviceDocument* each : documents->documents())
            if (each->mfDevice() && !each->mfDevice()->isHistory() && each->mfDevice()->isIdenticalTo(serial))
                document = each;
    }
    if (document)
        mark = document->mfDevice()->connType() == QLatin1String(MFDevice::kBluetooth) ? kBluetoothMark : kUsbMark;
    else if (documents && !serial.isEmpty()
             && const_cast<AppController*>(this)->checkDeviceAlreadyConnected(serial, false, true))
        mark = kHistoryMark;
    if (mark) {
        // Lower right: x = 32 - 20 - 1, y = 0 from the bottom.
        const QImage badge = programImage(mark);
        painter.drawImage(QRect(kPictureSize - kMarkSize - 1, kPictureSize - kMarkSize, kMarkSize, kMarkSize), badge);
    }
    painter.end();
    result.setText(QStringLiteral("mark"), mark ? QLatin1String(mark) : QString());
    return result;
}
