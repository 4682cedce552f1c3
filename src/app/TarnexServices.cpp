// The main window's services: wizard host callbacks, busy overlay and modal
// busy sessions, the job list's place, sync outcomes, the alert sheet, the
// device list and the debugging report.
#include "app/TarnexController.h"

#include "app/AppController.h"
#include "app/AppLog.h"
#include "app/DeviceWindowShell.h"
#include "app/MirrovanceDevice.h"
#include "app/TarnexControllerParts.h"
#include "app/TarnexImages.h"
#include "app/TarnexKeys.h"
#include "app/TarnexPanes.h"
#include "app/TarnexRollOverButton.h"
#include "app/TarnexWindow.h"
#include "widgets/TarnexAlertSheet.h"

#include "devicewindow/DeviceWindowController.h"

#include "device/DeviceList.h"
#include "device/qvDeviceDB.h"
#include "foundation/LogReport.h"
#include "foundation/NamedLog.h"
#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "platform/Values.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/gui/Interface.h"
#include "usbdevice/DZDeviceProperties.h"
#include "widgets/BasisOverlayView.h"
#include "widgets/OverlayProgressBar.h"
#include "widgets/OverlayView.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using namespace tarnexkeys;
using tarnexparts::key;

constexpr int kAcceptedWithoutRow[] = {0, 15275, 15320, 15332, 15363, 15399, 15410, 15450, 15451};
constexpr int kStatusIconEmpty = 0;
constexpr int kStatusIconOk = 2;
constexpr int kActionPanelRowHeight = 52;
constexpr int kActionPanelMargin = 18;
constexpr int kActionPanelMaxRows = 14;

} // namespace

// Wizard host callbacks.

void TarnexController::setDevice(std::shared_ptr<void> device)
{
    // Every device handed here is a phone object made by this controller.
    setPhoneObject(std::static_pointer_cast<MirrovanceDevice>(device));
}

void TarnexController::setPhoneObject(std::shared_ptr<MirrovanceDevice> phone)
{
    if (phone != device_)
        device_ = std::move(phone);
}

std::shared_ptr<void> TarnexController::device() const
{
    return device_;
}

void TarnexController::setDeviceExpert(std::shared_ptr<DeviceExpert> expert)
{
    device_ = expert ? MirrovanceDevice::withDeviceExpert(*expert) : nullptr;
}

std::shared_ptr<DeviceExpert> TarnexController::deviceExpert() const
{
    return device_;
}

bool TarnexController::isValid(const QVariantMap& properties)
{
    const QVariant id = properties.value(QLatin1String(DZDeviceProperties::kDeviceNumberKey));
    if (!id.isValid())
        return false;
    const int deviceID = id.toInt();
    if (std::find(std::begin(kAcceptedWithoutRow), std::end(kAcceptedWithoutRow), deviceID)
        != std::end(kAcceptedWithoutRow))
        return true;
    const std::shared_ptr<qvDeviceDB> database = qvDeviceDB::sharedDeviceDB();
    return database && !database->getSettingsForDeviceByID(QString::number(deviceID)).isEmpty();
}

QString TarnexController::statusIconName(int state)
{
    if (state == kStatusIconEmpty)
        return key(kWizTranspButton);
    if (state == kStatusIconOk)
        return key(kWizGreenButton);
    return key(kWizRedButton);
}

QImage TarnexController::getStatusIcon(int state)
{
    return tarnex::image(statusIconName(state));
}

// Busy overlay.

BusyOverlayController& TarnexController::overlay() const
{
    if (!overlay_)
        overlay_ = std::make_unique<BusyOverlayController>(window_, [this] { return paneView_.data(); });
    return *overlay_;
}

// The job list's place.

void TarnexController::setActionMasterPlaceHidden(bool hidden)
{
    actionMasterPlaceHidden_ = hidden;
    if (actionMasterPlace_)
        actionMasterPlace_->move(actionMasterPlace_->x(), hidden ? kHiddenY : kActionPlaceShownY);
    if (messageTextField_) {
        messageTextField_->move(messageTextField_->x(), hidden ? kMessageShownY : kHiddenY);
        if (successImageView_)
            successImageView_->move(messageTextField_->x() - successImageView_->width() - 4,
                                    messageTextField_->y() + (messageTextField_->height() - successImageView_->height()) / 2);
    }
    if (showPhonesButton_)
        showPhonesButton_->setEnabled(hidden);
    if (syncSettingsButton_)
        syncSettingsButton_->setEnabled(hidden);
    if (TarnexPaneController* contacts = paneForKey(key(kContacts)))
        contacts->setButtonsEnabled(hidden);
}

int TarnexController::actionPanelHeight(int rows)
{
    return kActionPanelRowHeight * std::clamp(rows, 1, kActionPanelMaxRows) + kActionPanelMargin;
}

void TarnexController::adaptActionPanel(int rows)
{
    if (!actionMasterPlace_)
        return;
    // The top edge stays where it is.
    actionMasterPlace_->resize(actionMasterPlace_->width(), actionPanelHeight(rows));
}

ActionMasterHdlr* TarnexController::actionMasterHdlr() const
{
    DeviceWindowController* window = getDeviceWindowController();
    return window ? window->actionMasterHdlr() : nullptr;
}

// Sync outcome.

void TarnexController::setSyncing(bool syncing)
{
    syncing_ = syncing ? syncing_ + 1 : std::max(0, syncing_ - 1);
    QVLOG(qvlog::kXT, QString::asprintf(kLogSyncsInProgress, syncing_));
}

QString TarnexController::deviceName() const
{
    return deviceName_ ? deviceName_->text() : QString();
}

QString TarnexController::phoneNameForMessages() const
{
    const QString name = deviceName();
    if (!name.isEmpty() && name.size() < kShortNameLimit)
        return name;
    return platform::localizedString(key(kYourPhone));
}

void TarnexController::syncSuccessful()
{
    if (sTarnexController() != this || !syncing())
        return;
    setSuccessText(fillFormat(localized(kSyncFinished), {phoneNameForMessages()}));
    setSyncing(false);
}

void TarnexController::syncFailed()
{
    if (sTarnexController() != this || !syncing())
        return;
    setMessageText(fillFormat(localized(kSyncOrSettings), {phoneNameForMessages()}));
    setSyncing(false);
    setActionMasterPlaceHidden(true);
    platform::runloop::performAfterDelay(this, QStringLiteral("syncFailedDelayed"), kSyncFailedDelay,
                                         [this] { syncFailedDelayed(); }, this);
}

void TarnexController::syncFailedDelayed()
{
    services_->cancelQueueJobs();
    const QString connType = device_ ? device_->connType() : QString();
    if (connType.isEmpty())
        QVLOG(qvlog::kXT, key(kLogNoConnectionType));
    const bool usb = connType == QLatin1String(MFDevice::kUSBSerial);
    beginAlertSheet(localized(kSyncFailedTitle), localized(kOK), QString(), QString(), nullptr,
                    localized(usb ? kLongSyncFailedTextUSB : kLongSyncFailedText));
}

void TarnexController::syncTooManyItems(const QVariantMap& userInfo)
{
    platform::runloop::performAfterDelay(this, QStringLiteral("displayTooManyItems"), kTooManyItemsDelay,
                                         [this, userInfo] { displayTooManyItems(userInfo); }, this);
}

void TarnexController::displayTooManyItems(const QVariantMap& userInfo)
{
    // A count of another type (text included) counts 0.
    const QVariant count = userInfo.value(key(kMissingItems));
    const int missing = platform::values::isNumber(count) ? platform::values::toInt(count) : 0;
    const QString message = localized(kMissingItemsFormat).replace(QLatin1String("%d"), QString::number(missing));
    beginAlertSheet(localized(kUnfinishedSync), localized(kOK), QString(), QString(), nullptr, message);
}

// The alert sheet.

void TarnexController::beginAlertSheet(const QString& title, const QString& defaultButton,
                                       const QString& alternateButton, const QString& otherButton,
                                       std::function<void(int)> didEnd, const QString& message, int height)
{
    if (!window_)
        return;
    if (!sheets_)
        sheets_ = new SheetQueue(this);
    // A sheet asked for while another shows opens when that one has ended
    // and its handler ran.
    sheets_->begin([this, title, defaultButton, alternateButton, otherButton, message, height,
                    didEnd = std::move(didEnd)](SheetQueue::Ended ended) mutable {
        if (!window_) {
            ended();
            return;
        }
        if (!alertSheet_)
            alertSheet_ = new TarnexAlertSheet(window_);
        alertSheet_->begin(title, defaultButton, alternateButton, otherButton, message, height,
                           [didEnd = std::move(didEnd), ended = std::move(ended)](int code) {
                               if (didEnd)
                                   didEnd(code);
                               ended();
                           });
    });
}

void TarnexController::beginAlertSheet(const QString& title, const QString& defaultButton,
                                       const QString& alternateButton, const QString& otherButton,
                                       std::function<void(int)> didEnd, const QString& message)
{
    beginAlertSheet(title, defaultButton, alternateButton, otherButton, std::move(didEnd), message,
                    TarnexAlertSheet::kDefaultHeight);
}

void TarnexController::warnNoNewPhones()
{
    beginAlertSheet(localized(kNoNewPhonesTitle), localized(kOK), QString(), localized(kRescan),
                    [this](int code) { noNewPhoneSheetDidEnd(code); }, localized(kNoNewPhonesSheetMsg));
}

void TarnexController::noNewPhoneSheetDidEnd(int returnCode)
{
    if (returnCode == TarnexAlertSheet::kOtherReturn)
        newHandset(QStringLiteral("add"));
    else if (returnCode != TarnexAlertSheet::kDefaultReturn)
        QVLOG(qvlog::kXT, key(kLogWhyThisOne));
}

void TarnexController::tellUserToRestartMirrovanceAndQuit()
{
    beginAlertSheet(localized(kCriticalError), localized(kQuit), QString(), QString(), [](int) {
        if (AppController* app = AppController::sharedAppController())
            app->terminate();
    }, localized(kRestartExplanation));
}

// The device list.

void TarnexController::updateDeviceList()
{
    if (!device_)
        return;
    const QVariantMap properties = device_->getPropertiesDictionary();
    std::shared_ptr<platform::BluetoothDevice> bluetooth = device_->device();
    if (!bluetooth) {
        const QVariant address = properties.value(QLatin1String(DZDeviceProperties::kBTAddressKey));
        if (address.typeId() != QMetaType::QString || address.toString().isEmpty())
            return;
        bluetooth = platform::BluetoothStack::shared().deviceWithAddressString(address.toString());
        if (!bluetooth)
            return;
    }
    const std::optional<QVariantMap> entry = services_->makeQVDeviceDictionary(properties, bluetooth);
    if (!entry)
        return;
    list_.writeDevice(std::make_shared<QVariantMap>(*entry));
    device_->setDorvantiDict(*entry, device_->connType());
}

// Debugging report and help.

void TarnexController::displayHelp(bool fromHelpKey, bool shift)
{
    if (!fromHelpKey && shift) {
        sendDebuggingInfo();
        return;
    }
    services_->openManualDocument();
}

QString TarnexController::createLogFiles(bool includeSyncML)
{
    QVLogNamedSetPrivate(key(qvlog::kSyncML), !includeSyncML);
    return QVCreateLogFileReportSince(-3600);
}

void TarnexController::toggleSyncMLAllowed(bool currentlyOn)
{
    createLogFiles(!currentlyOn);
}

void TarnexController::sendDebuggingInfo()
{
    QVLogNamedSetRecipient(key(qvreport::kDefaultRecipient));
    createLogFiles(true);
    if (!window_)
        return;
    if (!sendMailSheet_)
        sendMailSheet_ = devicewindowshell::makeDebuggingPanel(window_);
    sendMailSheet_->open();
}

void TarnexController::openOrganizerTrash()
{
    services_->openOrganizerTrash();
}
