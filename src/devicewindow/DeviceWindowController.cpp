// The phone window's controller: loading, fades, auto-connect, the attached
// phone and its state strings, background work, the sync-engine hooks, the
// busy overlay and titles.
#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/TeachInPrefsHandler.h"
#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/queue/ActionMasterHdlr.h"

#include "devicewindow/BackActioTextField.h"
#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowLog.h"
#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/media/MediaInputFormat.h"

#include "device/DeviceList.h"
#include "device/MFDeviceInfo.h"
#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "phone/BackupRules.h"
#include "phone/DeviceEntryMakers.h"
#include "phone/MFDevice.h"
#include "phone/SyncEnvironment.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "usbdevice/DZDeviceProperties.h"
#include "widgets/TarnexAlertSheet.h"
#include "widgets/WidgetClasses.h"

#include <QApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QShortcut>

#include <cmath>

using namespace devicewindowkeys;

namespace {

void registerDeviceWindowClasses()
{
    registerWidgetClasses();
    platform::gui::registerWidgetClass(QStringLiteral("DorvantiWindow"),
                                       [](QWidget* parent) { return new DorvantiWindow(parent); });
    platform::gui::registerWidgetClass(QStringLiteral("BackActioTextField"),
                                       [](QWidget* parent) { return new BackActioTextField(parent); });
    platform::gui::registerWidgetClass(QStringLiteral("NSDefaultButton"),
                                       [](QWidget* parent) { return new NSDefaultButton(parent); });
    platform::gui::registerWidgetClass(QStringLiteral("TeachInTabView"),
                                       [](QWidget* parent) { return new TeachInTabView(parent); });
}

QString stringSetting(const MFDevice* device, const char* key)
{
    if (!device || !device->devInfo())
        return QString();
    const QVariant value = device->devInfo()->objectForKey(QLatin1String(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

DeviceWindowController::DeviceWindowController(DeviceWindowHost* host, QObject* parent)
    : MFWindowController(parent)
    , host_(host)
{
    if (!host_) {
        noHost_ = std::make_unique<DeviceWindowHost>();
        host_ = noHost_.get();
    }
    fadeTimer_.setCallback([this] { fadeIn(); });
    closeWaitTimer_.setCallback([this] { waitBGMachineFinishedTimer(); });
    busyTimer_.setCallback([this] { busyIdleTime(); });
    loadWindow();
}

DeviceWindowController::~DeviceWindowController()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    platform::runloop::cancelPreviousPerformRequests(this);
    fadeTimer_.stop();
    closeWaitTimer_.stop();
    busyTimer_.stop();
    overlay_.reset();
    delete window_.data();
}

DeviceWindowHost& DeviceWindowController::host() const
{
    return *host_;
}

QString DeviceWindowController::localized(const char* key) const
{
    return platform::localizedString(QLatin1String(key));
}

void DeviceWindowController::loadWindow()
{
    registerDeviceWindowClasses();
    QWidget* loaded = platform::gui::loadInterface(QLatin1String(platform::gui::kProgramBundle),
                                                   QLatin1String(kBrowserWindow));
    window_ = qobject_cast<DorvantiWindow*>(loaded);
    if (!window_) {
        qCWarning(lcDeviceWindow) << "the phone window did not load";
        delete loaded;
        window_ = new DorvantiWindow;
    }
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
    contentAreaView_ = platform::gui::outlet<QWidget>(window_, QStringLiteral("contentAreaView"));
    if (!contentAreaView_)
        contentAreaView_ = window_;
    centers_ = new DeviceWindowCenters(*this, contentAreaView_);
    deviceBusyIndicator_ = platform::gui::outlet<QProgressBar>(window_, QStringLiteral("deviceBusyIndicator"));
    backgroundBusyIndicator_ = platform::gui::outlet<QWidget>(window_, QStringLiteral("backgroundBusyIndicator"));
    backgroundBackUp_ = platform::gui::outlet<BackActioTextField>(window_, QStringLiteral("backgroundBackUp"));
    summaryPicture_ = platform::gui::outlet<QLabel>(window_, QStringLiteral("summaryPicture"));
    summaryName_ = platform::gui::outlet<QLabel>(window_, QStringLiteral("summaryName"));
    summaryConnection_ = platform::gui::outlet<QLabel>(window_, QStringLiteral("summaryConnection"));
    window_->setHistoryIdent(platform::gui::outlet<QLabel>(window_, QStringLiteral("historyIdent")));
    overlay_ = std::make_unique<BusyOverlayController>(
        window_, [this] { return curToolView_ ? curToolView_.data() : contentAreaView_.data(); });
    sheets_ = new SheetQueue(this);
    auto* closeShortcut = new QShortcut(QKeySequence::Close, window_);
    connect(closeShortcut, &QShortcut::activated, this, [this] { windowShouldClose(); });
    buildPhoneMenu();
    windowDidLoad();
}

void DeviceWindowController::windowDidLoad()
{
    if (deviceBusyIndicator_)
        deviceBusyIndicator_->hide();
    if (backgroundBusyIndicator_)
        backgroundBusyIndicator_->hide();
    // The file browser is current (not activated) until the queued switch to
    // the connection center.
    if (centers_)
        centers_->setCurrentWithoutActivation(centers_->mobileFinderView());
    platform::runloop::performOnMainThread([this] { switchToNamedCenter(QLatin1String(kBackupCenter)); }, this);
    isWindowLoaded_ = true;
    if (backgroundBackUp_)
        backgroundBackUp_->setHidden(true);
    window_->setWindowOpacity(0);
    observe();
}

void DeviceWindowController::observe()
{
    platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter();
    center.addObserver(this, QLatin1String(kNotifyBatteryChanged), nullptr, [this](const platform::Notification& n) {
        batteryStateLevel(static_cast<MFDevice*>(const_cast<void*>(n.sender)));
    });
    center.addObserver(this, QLatin1String(kNotifyDeviceDirtyChanged), nullptr,
                       [this](const platform::Notification& n) {
                           notifyDeviceDirtyChanged(static_cast<MFDevice*>(const_cast<void*>(n.sender)));
                       });
    center.addObserver(this, QLatin1String(kNotifySyncEngineActive), nullptr,
                       [this](const platform::Notification& n) { syncEngineActive(n.userInfo); });
    center.addObserver(this, QLatin1String(kNotifySessionDied), nullptr, [this](const platform::Notification& n) {
        sessionDiedError(static_cast<MFDevice*>(const_cast<void*>(n.sender)));
    });
    center.addObserver(this, QLatin1String(kNotifyNewSMS), nullptr, [this](const platform::Notification& n) {
        showSMSStatus(static_cast<MFDevice*>(const_cast<void*>(n.sender)), n.userInfo);
    });
    center.addObserver(this, QLatin1String(kNotifySyncTooManyItems), nullptr,
                       [this](const platform::Notification& n) { syncTooManyItems(n.userInfo); });
    center.addObserver(this, QLatin1String(kNotifySyncFailedDeleteItems), nullptr,
                       [this](const platform::Notification& n) { syncFailedItems(n.userInfo); });
    // A phone came or went: a history window's restore pop-up lists anew.
    center.addObserver(this, QLatin1String(kNotifyConnectionChanged), nullptr, [this](const platform::Notification&) {
        if (centers_)
            centers_->mobileDeviceConnectionChanged();
    });
}

void DeviceWindowController::showWindow()
{
    window_->show();
    window_->raise();
    if (!fadeTimer_.isActive() && window_->windowOpacity() < 1.0) {
        fadeTimer_.setCallback([this] { fadeIn(); });
        fadeTimer_.start(kFadeInterval, true);
    }
}

void DeviceWindowController::fadeIn()
{
    const double alpha = window_->windowOpacity();
    if (alpha < 1.0 && !std::isnan(alpha)) {
        window_->setWindowOpacity(std::min(1.0, alpha + kFadeInStep));
        if (window_->windowOpacity() < 1.0)
            return;
    }
    fadeTimer_.stop();
    window_->setWindowOpacity(1.0);
    checkForAutoconnect();
}

void DeviceWindowController::fadeOut()
{
    const double alpha = window_->windowOpacity();
    if (alpha > 0) {
        window_->setWindowOpacity(std::max(0.0, alpha - kFadeOutStep));
        if (window_->windowOpacity() > 0)
            return;
    }
    fadeTimer_.stop();
    close();
}

void DeviceWindowController::checkForAutoconnect()
{
    if (!host_->registerWindow(this))
        platform::runloop::performOnMainThread([this] { connectAutoDevices(); }, this);
}

void DeviceWindowController::connectAutoDevices()
{
    // Connecting is the connection center's; without it nothing is tried.
}

bool DeviceWindowController::connectDeviceNr(int number)
{
    const DeviceList::Entry entry = number >= 1 ? DeviceList::sharedDeviceList().deviceEntry(number - 1) : nullptr;
    if (!entry)
        return false;
    if (host_->checkIfIsAlreadyConnected(entry->value(deviceentry::kSerialNo).toString(), true))
        return true;
    overlay_->doStayedShowBusyOverlay(true, 0, nullptr);
    overlay_->doProgressBusyMessage(localized(kConnectMobile));
    overlay_->doProgressBusyOverlayAndDisplay(5);
    bool connected = host_->tryToFindUSBSerialDevice(*entry, this) == 0;
    if (!connected) {
        overlay_->doProgressBusyOverlayAndDisplay(10);
        connected = host_->tryToFindUSBStoragDevice(*entry, this) == 0;
    }
    int bluetooth = 0;
    if (!connected) {
        bluetooth = host_->tryToFindBluetoothDevice(*entry, this);
        connected = bluetooth == 0;
    }
    if (!connected) {
        if (bluetooth == kPairingStaleStatus) {
            QVariantMap stale;
            stale.insert(QLatin1String(kPairName), entry->value(deviceentry::kDeviceName));
            if (entry->contains(deviceentry::kBTAddress))
                stale.insert(QLatin1String(kPairAddress), entry->value(deviceentry::kBTAddress));
            displayPairingStale(stale);
        } else {
            displayErrorText(0, QLatin1String(kConnectFailedTitle), QLatin1String(kConnectFailedText));
        }
        overlay_->doStayedShowBusyOverlay(false, 100, nullptr);
        overlay_->closeOverlayNow();
        return false;
    }
    // The media center comes with the centers: nothing to load yet.
    overlay_->doProgressBusyOverlayAndDisplay(98);
    platform::NotificationCenter::defaultCenter().post(QLatin1String(kNotifyMarkReadChanged), mfDevice_);
    overlay_->doStayedShowBusyOverlay(false, 100, nullptr);
    overlay_->closeOverlayNow();
    return true;
}

void DeviceWindowController::setMFDevice(MFDevice* device, const QString& stateInfo)
{
    // The sheets hold the phone without owning it.
    if (teachInPrefs_ && teachInPrefs_->mfDevice() && teachInPrefs_->mfDevice() != device)
        teachInPrefs_->forgetDevice();
    mfDevice_ = device;
    QString state = stateInfo;
    const QString lastCenter = stringSetting(device, kLastCenterKey);
    if (!lastCenter.isEmpty()) {
        initSwitchCenter_ = lastCenter;
        state = QStringLiteral("%1\t%2").arg(stateInfo, lastCenter);
    }
    if (device && device->lastBatteryValue() >= 0)
        platform::NotificationCenter::defaultCenter().post(QLatin1String(kNotifyBatteryChanged), device);
    stateInfo_ = state;
    if (device && window_)
        window_->setHistoryMod(device->isHistory());
    showSummary();
    if (centers_)
        centers_->deviceChanged(device);
    if (device)
        actionMaster();
    validateMenus();
    if (device && device->isHistory())
        platform::runloop::performOnMainThread([this] { executeStateInfo(); }, this);
}

void DeviceWindowController::showSummary()
{
    if (!summaryName_)
        return;
    if (!mfDevice_) {
        summaryName_->clear();
        if (summaryConnection_)
            summaryConnection_->clear();
        return;
    }
    QString name = mfDevice_->getDeviceName();
    if (name.isEmpty() || name == QLatin1String("???")) {
        // A phone that told no name of its own goes by its model.
        const QString model = stringSetting(mfDevice_, "Dorvanti.Model");
        if (!model.isEmpty())
            name = QStringLiteral("%1 %2").arg(stringSetting(mfDevice_, "Dorvanti.Manufacturer"), model).trimmed();
    }
    summaryName_->setText(name);
    summaryName_->setAccessibleName(name);
    if (summaryPicture_) {
        const QImage picture = platform::gui::image(QLatin1String(platform::gui::kProgramBundle),
                                                    QStringLiteral("DefaultHandyLogo_big"));
        if (!picture.isNull())
            summaryPicture_->setPixmap(
                QPixmap::fromImage(picture.scaled(QSize(140, 140), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    QString connection;
    if (mfDevice_->isHistory())
        connection = localized(kArchiveOf).replace(QLatin1String("%1"), name);
    else if (mfDevice_->connType() == QLatin1String(MFDevice::kBluetooth))
        connection = localized(kConnectedBluetooth);
    else
        connection = localized(kConnectedUSB);
    if (summaryConnection_)
        summaryConnection_->setText(connection);
}

bool DeviceWindowController::hasDevice() const
{
    return host_->hasDevice(this);
}

// State strings.

QString DeviceWindowController::stateInfo() const
{
    // The centers keep no state of their own yet.
    return QStringLiteral("%1\t%2").arg(curToolViewName_, QString());
}

void DeviceWindowController::executeStateInfo()
{
    if (stateInfo_.isEmpty())
        return;
    const QString center = stateInfo_.section(QLatin1Char('\t'), 0, 0);
    if (!center.isEmpty())
        switchToNamedCenter(center);
}

void DeviceWindowController::callExecuteStateInfo(const QString& stateInfo)
{
    stateInfo_ = stateInfo;
    executeStateInfo();
}

void DeviceWindowController::switchToNamedCenter(const QString& name)
{
    if (!name.isEmpty())
        curToolViewName_ = name;
    if (centers_)
        centers_->switchToNamedCenter(name);
}

void DeviceWindowController::updateBTDevice()
{
    if (centers_)
        centers_->updateRestorePopUp();
}

bool DeviceWindowController::canDeactivate() const
{
    return !centers_ || centers_->canDeactivate();
}

// Background work.

void DeviceWindowController::startBackgroundActionsSoon()
{
    platform::runloop::performAfterDelay(
        this, QStringLiteral("startBackgroundActionsNow"), kStartBackgroundDelay,
        [this] { startBackgroundActionsNow(); }, this);
}

void DeviceWindowController::startBackgroundActionsNow()
{
    if (disableBackgroundActions_ || !mfDevice_)
        return;
    // The data manager's sync and backup jobs, and the media center, come
    // later; the heart beat starts now.
    mfDevice_->startHeartBeat();
}

bool DeviceWindowController::wantsBackupNow() const
{
    return mfDevice_ && mfDevice_->modeTeachIn() == 0 && mfDevice_->wantsBackupNow();
}

// Sync-engine hooks.

bool DeviceWindowController::isSyncEngineReady()
{
    if (!mfDevice_ || !mfDevice_->isSyncEngineActive())
        return true;
    BusyModalSession* session = startBusyModalSession(nullptr, 0);
    doProgressBusyMessage(QString());
    while (mfDevice_ && mfDevice_->isSyncEngineActive()) {
        const int answer = runBusyModalSession(session, kSyncEngineSlice);
        if (answer != -1 && answer != BusyModalSession::kRunContinues)
            break;
        doProgressBusyIncrement(kSyncEngineStep);
    }
    doProgressBusyOverlayAndDisplay(100);
    endBusyModalSession(session);
    return false;
}

bool DeviceWindowController::allowToSync(const QString& /*property*/)
{
    // The organizer center decides; it is not there yet.
    return false;
}

void DeviceWindowController::doSetSyncWorkingDirection(int mode)
{
    if (!mfDevice_)
        return;
    QVariantMap* work = mfDevice_->syncEnvironment().requestWorkSyncEnvironment();
    if (!work)
        return;
    for (int index = 0; index <= 3; ++index) {
        const QString name = host_->dbName(index);
        if (!work->contains(name) || work->value(name).typeId() != QMetaType::QVariantMap)
            continue;
        QVariantMap entry = work->value(name).toMap();
        const QVariant current = entry.value(QLatin1String(kSyncModeKey));
        if (current.isValid() && current.toInt() < 1)
            continue;
        entry.insert(QLatin1String(kSyncModeKey), mode);
        work->insert(name, entry);
    }
}

void DeviceWindowController::setSyncConflictDecision(std::function<std::optional<int>()> decision)
{
    syncConflictDecision_ = std::move(decision);
}

void DeviceWindowController::didDetectSyncGAU(int property)
{
    QVLOG(qvlog::kXT, QStringLiteral("The phone lost every entry of property %1").arg(property));
    didDetectSyncGAU();
}

void DeviceWindowController::didDetectSyncGAU()
{
    if (!syncConflictDecision_ || !mfDevice_)
        return;
    overlay_->closeOverlayNow();
    const std::optional<int> decision = syncConflictDecision_();
    if (!decision)
        return;
    if (*decision == 1) {
        isSyncEngineReady();
        if (QVariantMap* work = mfDevice_->syncEnvironment().requestWorkSyncEnvironment()) {
            work->insert(QLatin1String(kSyncEngineEnabledKey), false);
            mfDevice_->syncEnvironment().applyWorkSyncEnvironment(true);
        }
        QVLOG(qvlog::kXT, QLatin1String(kLogSyncOff));
    } else if (*decision == 2) {
        mfDevice_->backupRules().useLastOrganizerState();
        QVLOG(qvlog::kXT, QLatin1String(kLogSyncLastState));
    } else {
        QVLOG(qvlog::kXT, QLatin1String(kLogSyncIgnore));
    }
    if (contentAreaView_)
        contentAreaView_->update();
}

// Busy overlay.

void DeviceWindowController::doShowBusyOverlay(bool show, int percent, QWidget* parentView)
{
    overlay_->doShowBusyOverlay(show, percent, parentView);
}

void DeviceWindowController::doShowBusyOverlayCancel(bool show, int percent, QWidget* parentView,
                                                     std::function<void()> cancel)
{
    overlay_->doShowBusyOverlayCancel(show, percent, parentView, std::move(cancel));
}

void DeviceWindowController::doStayedShowBusyOverlay(bool show, int percent, QWidget* parentView)
{
    overlay_->doStayedShowBusyOverlay(show, percent, parentView);
}

void DeviceWindowController::doProgressBusyOverlay(int percent)
{
    overlay_->doProgressBusyOverlay(percent);
}

void DeviceWindowController::doProgressBusyOverlayAndDisplay(int percent)
{
    overlay_->doProgressBusyOverlayAndDisplay(percent);
}

void DeviceWindowController::doProgressBusyIncrement(double step)
{
    overlay_->doProgressBusyIncrement(step);
}

void DeviceWindowController::doProgressBusyMessage(const QString& text)
{
    overlay_->doProgressBusyMessage(text);
}

void DeviceWindowController::doCloseBusyOverlayImmediatly()
{
    overlay_->doCloseBusyOverlayImmediatly();
}

BusyModalSession* DeviceWindowController::startBusyModalSession(QWidget* view, int percent)
{
    return overlay_->startBusyModalSession(view, percent);
}

int DeviceWindowController::pollBusyModalSession(BusyModalSession* session)
{
    return overlay_->pollBusyModalSession(session);
}

int DeviceWindowController::runBusyModalSession(BusyModalSession* session, double timeOut)
{
    return overlay_->runBusyModalSession(session, timeOut);
}

void DeviceWindowController::endBusyModalSession(BusyModalSession* session)
{
    overlay_->endBusyModalSession(session);
}

void DeviceWindowController::busyIdleTime()
{
    overlay_->busyIdleTime(deviceBusyIndicator_);
}

// Titles and media formats.

void DeviceWindowController::setPathOrNameOfWindow(const QString& path)
{
    QString name;
    if (path == QLatin1String("/"))
        name = mfDevice_ ? mfDevice_->getDeviceName() : QString();
    else
        name = QFileInfo(path).fileName();
    if (mfDevice_ && mfDevice_->isHistory()) {
        // The time tunnel comes with the history center: no snapshot yet.
        name = localized(kNoHistoryData);
    }
    window_->setWindowTitle(name);
}

QString DeviceWindowController::getMediaInputFormat(const QString& key)
{
    return mediaformat::getMediaInputFormat(key);
}

// The job queue view.
ActionMasterHdlr* DeviceWindowController::actionMaster()
{
    if (!actionMasterHdlr_ && mfDevice_ && window_) {
        actionMasterHdlr_ = ActionMasterHdlr::loadActionMasterHdlr(contentAreaView_ ? contentAreaView_.data() : window_.data(), mfDevice_);
        showQueueInCurrentCenter();
    }
    return actionMasterHdlr_;
}

void DeviceWindowController::useExternActionMaster(ActionMasterHdlr* master)
{
    if (!actionMasterHdlr_) {
        actionMasterHdlr_ = master;
        showQueueInCurrentCenter();
    }
}

// A queue made after the center was activated goes to that center's pane.
void DeviceWindowController::showQueueInCurrentCenter()
{
    ToolView* current = centers_ ? centers_->currentToolView() : nullptr;
    if (current && actionMasterHdlr_ && !current->isHidden())
        current->addActionMaster(actionMasterHdlr_);
}

bool DeviceWindowController::addFeedBackToMaster(const std::shared_ptr<QVFeedBack>& feedback)
{
    if (!actionMasterHdlr_ || !feedback)
        return false;
    actionMasterHdlr_->addActionToMaster(feedback);
    return true;
}

std::shared_ptr<QVFeedBack> DeviceWindowController::equalFeedBackInMaster(
    const std::shared_ptr<QVFeedBack>& feedback) const
{
    return actionMasterHdlr_ && feedback ? actionMasterHdlr_->equalFeedBackInMaster(feedback) : nullptr;
}
