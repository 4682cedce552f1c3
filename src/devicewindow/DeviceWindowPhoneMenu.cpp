// The phone window's controller: the Phone menu in the window's menu bar, its
// actions (inspector, backup, phone settings, background scan, auto-connect,
// debugging report) and their validation.
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/queue/ActionMasterHdlr.h"

#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowLog.h"
#include "devicewindow/DeviceWindowMakers.h"
#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/TeachInPrefsHandler.h"

#include "device/DeviceList.h"
#include "device/MFDeviceInfo.h"
#include "device/qvDeviceDB.h"
#include "foundation/LogReport.h"
#include "foundation/NamedLog.h"
#include "jobs/QVActionMachine.h"
#include "phone/DZDataManager.h"
#include "phone/DeviceEntryMakers.h"
#include "phone/MFDevice.h"
#include "phone/PhoneFolders.h"
#include "phonejobs/ActionBreakServices.h"
#include "platform/Localization.h"
#include "platform/Values.h"

#include <QAction>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>

using namespace devicewindowkeys;

namespace {

struct PhoneMenuItem {
    const char* action;   // null: a separator
    const char* titleKey;
    QKeySequence shortcut;
    bool checkable;
};

// The device-list index of a phone, -1 when it is not listed.
int phoneMenuListIndex(const MFDevice* device)
{
    if (!device || !device->devInfo())
        return -1;
    const QString serial = device->devInfo()->objectForKey(deviceentry::kSerialNo).toString();
    if (serial.isEmpty())
        return -1;
    DeviceList& list = DeviceList::sharedDeviceList();
    for (int index = 0; index < list.count(); ++index) {
        const DeviceList::Entry entry = list.deviceEntry(index);
        if (entry && entry->value(deviceentry::kSerialNo).toString() == serial)
            return index;
    }
    return -1;
}

} // namespace

void DeviceWindowController::buildPhoneMenu()
{
    if (!window_ || phoneMenu_)
        return;
    auto* bar = new QMenuBar(window_);
    bar->setObjectName(QStringLiteral("phoneMenuBar"));
    phoneMenu_ = bar->addMenu(localized(kPhoneMenu));
    phoneMenu_->setObjectName(QStringLiteral("phoneMenu"));
    const PhoneMenuItem items[] = {
        {kActDeviceInspector, kMenuInspector, {}, false},
        {kActBackupNow, kMenuBackupNow, QKeySequence(Qt::CTRL | Qt::Key_B), false},
        {kActPhoneSettings, kMenuPhoneSettings, QKeySequence(Qt::CTRL | Qt::Key_Comma), false},
        {nullptr, nullptr, {}, false},
        {kActBreakScanning, kMenuStopScan, {}, false},
        {kActAutoConnectOff, kMenuAutoConnect, {}, true},
        {kActSendDebugging, kMenuDebugging, {}, false},
        {kActScanForBTDevices, kMenuAddPhone, {}, false},
        {nullptr, nullptr, {}, false},
        // The centers keep their own Ctrl+1 … Ctrl+4 shortcuts.
        {kActConnectionCenter, kMenuConnectionCenter, {}, true},
        {kActMobileFinder, kMenuFiles, {}, true},
        {kActOrganizer, kMenuOrganizer, {}, true},
        {kActMediaCenter, kMenuMedia, {}, true},
        {kActTimeTunnel, kMenuTimeTunnel, {}, true},
    };
    for (const PhoneMenuItem& item : items) {
        if (!item.action) {
            phoneMenu_->addSeparator();
            continue;
        }
        QAction* action = phoneMenu_->addAction(localized(item.titleKey));
        action->setObjectName(QLatin1String(item.action));
        action->setData(-1);
        action->setCheckable(item.checkable);
        if (!item.shortcut.isEmpty()) {
            action->setShortcut(item.shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
            window_->addAction(action);
        }
        const QString name = QLatin1String(item.action);
        connect(action, &QAction::triggered, this, [this, name, action] {
            // A shortcut does not go through the menu's validation.
            validateMenus();
            if (!action->isEnabled())
                return;
            const int tag = action->data().toInt();
            if (name == QLatin1String(kActDeviceInspector))
                deviceInspector(tag);
            else if (name == QLatin1String(kActBackupNow))
                backupDeviceNow();
            else if (name == QLatin1String(kActPhoneSettings))
                phoneSettings();
            else if (name == QLatin1String(kActBreakScanning))
                breakBackgroundScanning();
            else if (name == QLatin1String(kActAutoConnectOff))
                autoConnectOff(tag);
            else if (name == QLatin1String(kActSendDebugging))
                sendDebuggingInfo();
            else if (name == QLatin1String(kActScanForBTDevices))
                scanForBTDevices();
            else if (centers_ && name == QLatin1String(kActConnectionCenter))
                centers_->switchTo_ConnectionCenter();
            else if (centers_ && name == QLatin1String(kActMobileFinder))
                centers_->switchTo_MobileFinder();
            else if (centers_ && name == QLatin1String(kActOrganizer))
                centers_->switchTo_Organizer();
            else if (centers_ && name == QLatin1String(kActMediaCenter))
                centers_->switchTo_MediaCenter();
            else if (centers_ && name == QLatin1String(kActTimeTunnel))
                centers_->switchTo_TimeTunnel();
        });
    }
    connect(phoneMenu_, &QMenu::aboutToShow, this, [this] { validateMenus(); });
    if (QLayout* layout = window_->layout())
        layout->setMenuBar(bar);
    else
        bar->setGeometry(0, 0, window_->width(), bar->sizeHint().height());
    validateMenus();
}

QAction* DeviceWindowController::menuAction(const QString& action) const
{
    return phoneMenu_ ? phoneMenu_->findChild<QAction*>(action) : nullptr;
}

void DeviceWindowController::validateMenus()
{
    // The auto-connect item stands for this phone's entry in the list.
    if (QAction* autoConnect = menuAction(QLatin1String(kActAutoConnectOff)))
        autoConnect->setData(phoneMenuListIndex(mfDevice_));
    if (phoneMenu_) {
        for (QAction* action : phoneMenu_->actions()) {
            if (action->isSeparator())
                continue;
            const MenuState state = validateMenuItem(action->objectName(), action->data().toInt());
            action->setEnabled(state.enabled);
            if (action->isCheckable())
                action->setChecked(state.checked);
        }
    }
    // The connection center's button does what the menu item does.
    if (centers_ && centers_->historyView()) {
        if (QPushButton* button = centers_->historyView()->backUpNowButton()) {
            if (!button->property("phoneMenuHooked").toBool()) {
                button->setProperty("phoneMenuHooked", true);
                connect(button, &QPushButton::clicked, this, [this] {
                    if (validateMenuItem(QLatin1String(kActBackupNow)).enabled)
                        backupDeviceNow();
                });
            }
            button->setEnabled(validateMenuItem(QLatin1String(kActBackupNow)).enabled);
        }
    }
}

DeviceWindowController::MenuState DeviceWindowController::validateMenuItem(const QString& action, int tag) const
{
    const bool withDevice = host_->hasDevice(this);
    const bool live = withDevice && mfDevice_ && !mfDevice_->isHistory();
    const bool overlayShown = overlay_ && overlay_->isShown();
    const bool switching = centers_ && centers_->isMainThreadCallRunning();
    ToolView* current = centers_ ? centers_->currentToolView() : nullptr;
    HistoryView* history = centers_ ? centers_->historyView() : nullptr;
    auto is = [&action](const char* name) { return action == QLatin1String(name); };

    if (is(kActDeviceInspector) || is(kActDeleteDevice) || is(kActDeviceOptions) || is(kActSwitchToCenter)
        || is(kActDeviceHistory))
        return {true, false};
    if (is(kActSwitchRequireDevice))
        return {withDevice, false};
    if (is(kActConnectionCenter)) {
        const bool on = current && current == history && !(mfDevice_ && mfDevice_->isHistory());
        return {!overlayShown && !switching, on};
    }
    const bool centerEnabled = withDevice && !overlayShown && !switching;
    if (is(kActMobileFinder))
        return {centerEnabled, current && qobject_cast<MobileFinderView*>(current) != nullptr};
    if (is(kActOrganizer))
        return {centerEnabled, current && current == centers_->organizerView()};
    if (is(kActMediaCenter))
        return {centerEnabled, current && current == centers_->mediaCenterMain()};
    if (is(kActTimeTunnel))
        return {centerEnabled, current && current == history && mfDevice_ && mfDevice_->isHistory()};
    if (is(kActBreakScanning))
        return {live, false};
    if (is(kActBackupNow))
        return {live && mfDevice_->devInfo() && mfDevice_->devInfo()->wantsBackup() && !mfDevice_->isInBackupMode(),
                false};
    if (is(kActPhoneSettings))
        return {live && !overlayShown, false};
    if (is(kActSendDebugging))
        return {host_->debugEnabled(), false};
    if (is(kActScanForBTDevices))
        return {!overlayShown && !(sheets_ && sheets_->isSheetShowing()), false};
    if (is(kActAutoConnectOff)) {
        // The item writes the list entry: a phone that is not in the list
        // has nothing to switch off.
        const bool on = tag >= 0 && isAutoConnectOn(tag);
        return {on, on};
    }
    return {false, false};
}

QVariantMap DeviceWindowController::entryForTag(int tag) const
{
    if (tag >= 0) {
        const DeviceList::Entry entry = DeviceList::sharedDeviceList().deviceEntry(tag);
        return entry ? *entry : QVariantMap();
    }
    if (!mfDevice_)
        return {};
    const std::shared_ptr<QVariantMap> dict = mfDevice_->mDeviceDict();
    return dict ? *dict : QVariantMap();
}

void DeviceWindowController::deviceInspector(int tag)
{
    const QVariantMap entry = entryForTag(tag);
    if (entry.isEmpty())
        return;
    QVariantMap row;
    if (const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB())
        row = db->getDictForDeviceByID(entry.value(deviceentry::kDeviceID));
    if (row.isEmpty()) {
        displayErrorText(2, QLatin1String(kAppDamaged), QLatin1String(kNoEntryForPhone));
        return;
    }
    std::optional<QVariantMap> general;
    if (mfDevice_ && mfDevice_->devInfo()
        && mfDevice_->devInfo()->objectForKey(deviceentry::kSerialNo) == entry.value(deviceentry::kSerialNo)) {
        mfDevice_->updateCapabilities();
        general = mfDevice_->phoneFolders().generalDeviceDict();
    }
    const auto& make = devicewindowmakers::makers().deviceInspector;
    if (!make)
        return;
    if (QWidget* inspector = make(entry, row, general, window_)) {
        inspector->show();
        inspector->raise();
    }
}

bool DeviceWindowController::isAutoConnectOn(int tag) const
{
    const QVariantMap entry = entryForTag(tag);
    return !entry.isEmpty() && platform::values::toBool(entry.value(deviceentry::kAutoConnect));
}

void DeviceWindowController::autoConnectOff(int tag)
{
    if (tag < 0)
        return;
    DeviceList& list = DeviceList::sharedDeviceList();
    const DeviceList::Entry entry = list.deviceEntry(tag);
    if (!entry)
        return;
    auto changed = std::make_shared<QVariantMap>(*entry);
    changed->insert(deviceentry::kAutoConnect, false);
    list.writeDeviceAtIndex(changed, tag);
}

void DeviceWindowController::breakBackgroundScanning()
{
    overlay_->doCloseBusyOverlayImmediatly();
    if (!mfDevice_ || !mfDevice_->actionMachine())
        return;
    const std::shared_ptr<ActionBreakServices> job =
        ActionBreakServices::allocActionBreakServices(mfDevice_->actionMachine()->shared_from_this(), -1.0);
    if (!job || !job->doStartContainer())
        return;
    addFeedBackToMaster(job);
    beginInformationalSheet(localized(kBackScannTtl), localized(kBackScannMsg), localized(kContinue),
                            [job](int) { job->cancelAction(); });
}

void DeviceWindowController::backupDeviceNow()
{
    auto* data = mfDevice_ ? dynamic_cast<DZDataManager*>(mfDevice_->dataManager()) : nullptr;
    if (!data)
        return;
    if (const std::shared_ptr<QVActionContainer> job = data->startBackup())
        addFeedBackToMaster(job);
}

void DeviceWindowController::phoneSettings()
{
    std::function<QDialog*(MFDevice&, QWidget*)> make = devicewindowmakers::makers().devicePrefsSheet;
    const bool ownSheet = !make;
    if (ownSheet)
        make = [this](MFDevice& device, QWidget*) {
            TeachInPrefsHandler* handler = getTeachInPrefs();
            return handler ? handler->showDevicePrefs(&device) : nullptr;
        };
    if (!mfDevice_ || !window_)
        return;
    sheets_->begin([this, make, ownSheet](SheetQueue::Ended ended) {
        QDialog* sheet = mfDevice_ && window_ ? make(*mfDevice_, window_) : nullptr;
        if (!sheet) {
            ended();
            return;
        }
        prefsSheet_ = sheet;
        sheet->setWindowModality(Qt::WindowModal);
        connect(
            sheet, &QDialog::finished, this,
            [this, sheet, ended, ownSheet](int code) {
                sheet->hide();
                if (!ownSheet)
                    sheet->deleteLater();
                ToolView* media = centers_ ? centers_->mediaCenterMain() : nullptr;
                if (code == 1 && media && centers_->currentToolView() == media) {
                    media->deactivate();
                    media->activate();
                }
                ended();
            },
            Qt::SingleShotConnection);
        sheet->open();
    });
}

// The debugging report.

QString DeviceWindowController::createLogFiles(bool includeSyncML)
{
    QVLogNamedSetPrivate(QLatin1String(kSyncMLLog), !includeSyncML);
    return QVCreateLogFileReport();
}

void DeviceWindowController::toggleSyncMLAllowed(bool checked)
{
    createLogFiles(!checked);
}

void DeviceWindowController::sendDebuggingInfo()
{
    createLogFiles(true);
    const auto& make = devicewindowmakers::makers().debuggingPanel;
    if (!window_ || !make)
        return;
    if (!sendMailSheet_)
        sendMailSheet_ = make(window_);
    if (!sendMailSheet_)
        return;
    sendMailSheet_->setWindowModality(Qt::WindowModal);
    sendMailSheet_->open();
}

bool DeviceWindowController::sendWithMail()
{
    return QVSendLogFileReport(1);
}

bool DeviceWindowController::sendWithEntourage()
{
    return QVSendLogFileReport(2);
}

bool DeviceWindowController::tellFinderToShow()
{
    return QVSendLogFileReport(0);
}

void DeviceWindowController::sendMailOK()
{
    if (sendMailSheet_)
        sendMailSheet_->done(1);
}
