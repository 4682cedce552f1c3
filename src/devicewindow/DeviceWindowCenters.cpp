#include "devicewindow/DeviceWindowCenters.h"

#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DeviceWindowMakers.h"
#include "devicewindow/HistoryView.h"
#include "devicewindow/MobileFinderView.h"
#include "devicewindow/TimeController.h"
#include "devicewindow/media/MediaCenterMain.h"
#include "devicewindow/queue/ActionMasterHdlr.h"

#include "device/DeviceList.h"
#include "device/MainThreadSchedulerAdditions.h"
#include "device/MFDeviceInfo.h"
#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QStandardItemModel>
#include <QEvent>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

DeviceWindowCenters::DeviceWindowCenters(DeviceWindowController& controller, QWidget* contentArea)
    : QObject(contentArea), controller_(controller), contentArea_(contentArea)
{
    menuTimer_.setCallback([this] {
        const QString identifier = std::exchange(pendingMenuSwitch_, QString());
        if (identifier == DeviceToolbar::kTimeTunnel)
            timeTunnel();
        else
            switchToNamedCenter(identifier);
    });
    if (contentArea)
        contentArea->installEventFilter(this);
    if (QWidget* window = contentArea ? contentArea->window() : nullptr) {
        const std::pair<Qt::Key, void (DeviceWindowCenters::*)()> keys[] = {
            {Qt::Key_1, &DeviceWindowCenters::switchTo_ConnectionCenter},
            {Qt::Key_2, &DeviceWindowCenters::switchTo_MobileFinder},
            {Qt::Key_3, &DeviceWindowCenters::switchTo_Organizer},
            {Qt::Key_4, &DeviceWindowCenters::switchTo_MediaCenter},
        };
        for (const auto& [key, action] : keys) {
            auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), window);
            connect(shortcut, &QShortcut::activated, this, action);
        }
    }
}

DeviceWindowCenters::~DeviceWindowCenters()
{
    removeAllScheduleds(this);
}

ToolView* DeviceWindowCenters::placeCenter(ToolView* center)
{
    if (!contentArea_)
        return center;
    // Centers cover the whole content area, above what it showed before.
    center->setParent(contentArea_);
    center->setAutoFillBackground(true);
    center->adaptToSuperView(contentArea_);
    return center;
}

bool DeviceWindowCenters::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == contentArea_ && event->type() == QEvent::Resize)
        for (ToolView* center : contentArea_->findChildren<ToolView*>(Qt::FindDirectChildrenOnly))
            center->setGeometry(contentArea_->rect());
    return QObject::eventFilter(watched, event);
}

ToolView* DeviceWindowCenters::makePlaceholder(const QString& name)
{
    auto* center = new ToolView;
    center->setObjectName(name);
    auto* layout = new QVBoxLayout(center);
    auto* label = new QLabel(platform::localizedString(kNotAvailableYet), center);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    placeCenter(center);
    center->setup(&controller_, controller_.getMFDevice());
    return center;
}

void DeviceWindowCenters::switchToCenter(const QString& identifier)
{
    if (identifier == curToolViewName_)
        return;
    // On the main-thread queue; the queue drops it when the window goes.
    scheduleSelectorOnMainThread(this, [this, identifier] { switchToNamedCenter(identifier); });
}

void DeviceWindowCenters::switchToNamedCenter(const QString& identifier)
{
    if (inCenterSwitch_)
        return;
    inCenterSwitch_ = true;
    doSwitchToNamedCenter(identifier);
    MFDevice* device = controller_.getMFDevice();
    if (device && !device->isHistory() && device->devInfo())
        device->devInfo()->setObject(identifier, kLastCenterKey);
    inCenterSwitch_ = false;
    revalidateToolbar();
}

void DeviceWindowCenters::revalidateToolbar()
{
    if (!toolbar_)
        return;
    toolbar_->validateItems();
    // Items are off while a queued call runs: ask again once it is over.
    if (::isScheduledThreadRunning())
        platform::runloop::performOnMainThread([toolbar = QPointer<DeviceToolbar>(toolbar_)] {
            if (toolbar)
                toolbar->validateItems();
        }, toolbar_);
}

bool DeviceWindowCenters::isMainThreadCallRunning() const
{
    return inCenterSwitch_ || ::isScheduledThreadRunning();
}

void DeviceWindowCenters::updateRestorePopUp()
{
    MFDevice* device = controller_.getMFDevice();
    if (!restorePopUp_ || !device || !device->isHistory())
        return;
    while (restorePopUp_->count() > 1)
        restorePopUp_->removeItem(1);
    auto* model = qobject_cast<QStandardItemModel*>(restorePopUp_->model());
    DeviceList& list = DeviceList::sharedDeviceList();
    for (int index = 0; index < list.count(); ++index) {
        const DeviceList::Entry entry = list.deviceEntry(index);
        const QString name = entry ? entry->value(QStringLiteral("Common.DeviceName")).toString() : QString();
        if (name.isEmpty())
            continue;
        restorePopUp_->addItem(name, index);
        if (model)
            model->item(restorePopUp_->count() - 1)->setEnabled(device->canMigrateRestoreTo(*entry));
    }
}

QString DeviceWindowCenters::doRestoreAction(int tag)
{
    MFDevice* history = controller_.getMFDevice();
    syncBothTimeControllers();
    if (!history || !controller_.connectDeviceNr(tag + 1))
        return QString();
    const QString serial = history->devInfo()
                               ? history->devInfo()->objectForKey(QStringLiteral("Common.SerialNo")).toString()
                               : QString();
    const QString state = QStringLiteral("%1\tRestore\t%2").arg(DeviceToolbar::kBackup, serial);
    const DeviceList::Entry entry = DeviceList::sharedDeviceList().deviceEntry(tag);
    const QString liveSerial = entry ? entry->value(QStringLiteral("Common.SerialNo")).toString() : QString();
    if (DeviceWindowController* live = controller_.host().checkDeviceAlreadyConnected(liveSerial, true, false)) {
        live->disableBackgroundActions();
        queueStateInfo(live, state);
    }
    return state;
}

void DeviceWindowCenters::queueStateInfo(DeviceWindowController* window, const QString& state)
{
    QPointer<DeviceWindowController> target(window);
    scheduleSelectorOnMainThread(window, [target, state] {
        if (target)
            target->callExecuteStateInfo(state);
    });
}

void DeviceWindowCenters::syncBothTimeControllers()
{
    if (!timeController_)
        return;
    const QString previous = curToolViewName_;
    const bool showsOrganizer = timeController_->currentController() && timeController_->currentController() == organizerView_;
    switchToNamedCenter(showsOrganizer ? DeviceToolbar::kMobileFinder : DeviceToolbar::kOrganizer);
    switchToNamedCenter(previous);
}

void DeviceWindowCenters::doSwitchToNamedCenter(const QString& identifier)
{
    static const QStringList known{DeviceToolbar::kHome,      DeviceToolbar::kBackup,      DeviceToolbar::kMobileFinder,
                                   DeviceToolbar::kOrganizer, DeviceToolbar::kMediaCenter, DeviceToolbar::kTimeTunnel};
    if (!known.contains(identifier))
        return;   // an unknown center: nothing changes
    if (curToolView_) {
        if (!curToolView_->canDeactivate()) {
            QApplication::beep();
            return;
        }
        curToolView_->deactivate();
        curToolView_->removeActionMaster();
        curToolView_->hide();
        curToolView_ = nullptr;
    }
    MFDevice* device = controller_.getMFDevice();
    if (identifier == DeviceToolbar::kBackup || identifier == DeviceToolbar::kHome) {
        if (!historyView_) {
            historyView_ = new HistoryView;
            placeCenter(historyView_);
            historyView_->setup(&controller_, device);
        }
        curToolViewName_ = identifier;
        curToolView_ = historyView_;
        activateToolView();
        return;
    }
    if (!toolbar_)
        setupToolbar();
    if (!device) {
        QApplication::beep();
        activateToolView();
        return;
    }
    if (identifier == DeviceToolbar::kMobileFinder)
        curToolView_ = mobileFinderView();
    else if (identifier == DeviceToolbar::kOrganizer && loadOrganizer())
        curToolView_ = organizerView_;
    else if (identifier == DeviceToolbar::kMediaCenter && loadMediaCenter())
        curToolView_ = mediaCenterMain_;
    else
        return;
    curToolViewName_ = identifier;
    activateToolView();
    if (device->isHistory() && curToolView_)
        curToolView_->establishConnectionToTimeTunnel();
}

void DeviceWindowCenters::activateToolView()
{
    if (!curToolView_)
        return;
    curToolView_->show();
    curToolView_->raise();
    if (ActionMasterHdlr* master = controller_.actionMasterHdlr())
        curToolView_->addActionMaster(master);
    curToolView_->activate();
}

bool DeviceWindowCenters::canDeactivate() const
{
    return !curToolView_ || curToolView_->canDeactivate();
}

MobileFinderView* DeviceWindowCenters::mobileFinderView()
{
    if (!mfView_) {
        mfView_ = new MobileFinderView;
        placeCenter(mfView_);
        mfView_->setMFDevice(controller_.getMFDevice());
        mfView_->setup(&controller_);
    }
    return mfView_;
}

void DeviceWindowCenters::deviceChanged(MFDevice* device)
{
    if (mfView_)
        mfView_->setMFDevice(device);
    if (historyView_)
        historyView_->setMFDevice(device);
    // Once the phone is known (its kind decides the toolbar), the window
    // offers its centers, also while it shows the connection center.
    if (device && !toolbar_)
        setupToolbar();
    else
        revalidateToolbar();
}

void DeviceWindowCenters::showFileBrowserThenConnectionCenter()
{
    setCurrentWithoutActivation(mobileFinderView());
    scheduleSelectorOnMainThread(this, [this] { switchToNamedCenter(DeviceToolbar::kBackup); });
}

bool DeviceWindowCenters::loadOrganizer()
{
    if (organizerView_)
        return true;
    if (!controller_.getMFDevice()) {
        QApplication::beep();
        return false;
    }
    if (const auto& make = devicewindowmakers::makers().organizerCenter) {
        if (ToolView* center = make(controller_, *controller_.getMFDevice())) {
            center->setObjectName(QStringLiteral("OrganizerView"));
            placeCenter(center);
            center->setup(&controller_, controller_.getMFDevice());
            organizerView_ = center;
            return true;
        }
    }
    organizerView_ = makePlaceholder(QStringLiteral("OrganizerView"));
    return organizerView_ != nullptr;
}

bool DeviceWindowCenters::loadMediaCenter()
{
    if (mediaCenterMain_)
        return true;
    if (!controller_.getMFDevice()) {
        QApplication::beep();
        return false;
    }
    auto* center = new MediaCenterMain;
    placeCenter(center);
    center->setup(&controller_, controller_.getMFDevice());
    mediaCenterMain_ = center;
    return true;
}

void DeviceWindowCenters::menuSwitch(const QString& identifier)
{
    pendingMenuSwitch_ = identifier;
    menuTimer_.start(kMenuSwitchDelay);
}

void DeviceWindowCenters::switchTo_ConnectionCenter()
{
    menuSwitch(DeviceToolbar::kBackup);
}

void DeviceWindowCenters::switchTo_MobileFinder()
{
    if (validateToolbarItem(DeviceToolbar::kMobileFinder))
        menuSwitch(DeviceToolbar::kMobileFinder);
}

void DeviceWindowCenters::switchTo_Organizer()
{
    if (validateToolbarItem(DeviceToolbar::kOrganizer))
        menuSwitch(DeviceToolbar::kOrganizer);
}

void DeviceWindowCenters::switchTo_MediaCenter()
{
    if (validateToolbarItem(DeviceToolbar::kMediaCenter))
        menuSwitch(DeviceToolbar::kMediaCenter);
}

void DeviceWindowCenters::switchTo_TimeTunnel()
{
    if (validateToolbarItem(DeviceToolbar::kTimeTunnel))
        menuSwitch(DeviceToolbar::kTimeTunnel);
}

void DeviceWindowCenters::connectionCenter()
{
    if (!controller_.getMFDevice() || !historyView_) {
        QApplication::beep();
        return;
    }
    curToolViewName_.clear();
    historyView_->setConnect(false);
    menuSwitch(DeviceToolbar::kBackup);
}

void DeviceWindowCenters::timeTunnel()
{
    MFDevice* device = controller_.getMFDevice();
    if (!device) {
        QApplication::beep();
        return;
    }
    if (!hasHistory_ || !hasHistory_()) {
        controller_.displayErrorText(0, QStringLiteral("History"), QStringLiteral("NoHistoryYet"));
        return;
    }
    const QString state = controller_.stateInfo();
    const QString serial =
        device->devInfo() ? device->devInfo()->objectForKey(QStringLiteral("Common.SerialNo")).toString() : QString();
    DeviceWindowHost& host = controller_.host();
    if (host.checkIfIsHistoryConnected(serial, true)) {
        // The open history window shows this window's state.
        if (DeviceWindowController* history = host.checkDeviceAlreadyConnected(serial, true, true))
            queueStateInfo(history, state);
        return;
    }
    QVariantMap entry;
    if (device->devInfo() && device->devInfo()->mDeviceDict())
        entry = *device->devInfo()->mDeviceDict();
    controller_.doShowBusyOverlay(true, kHistoryOverlayPercent, curToolView_);
    controller_.doProgressBusyMessage(platform::localizedString(QStringLiteral("ConnectHistory")));
    host.connectWithHistoryDevice(entry, &controller_, state, QString());
    controller_.doProgressBusyOverlayAndDisplay(100);
    controller_.doShowBusyOverlay(false, 100, curToolView_);
}

bool DeviceWindowCenters::validateToolbarItem(const QString& identifier)
{
    return DeviceToolbar::validateItemFor(identifier, controller_.getMFDevice(), isMainThreadCallRunning());
}

void DeviceWindowCenters::storeMediaTab(const QString& tab)
{
    MFDevice* device = controller_.getMFDevice();
    if (device && device->devInfo())
        device->devInfo()->setObject(tab, kMediaTabKey);
    scheduleSelectorOnMainThread(this, [this] { switchToNamedCenter(DeviceToolbar::kMediaCenter); });
}

// The drop selects its tab, shows the media center and is uploaded there.
void DeviceWindowCenters::transferMusicFiles(const QStringList& files)
{
    storeMediaTab(QStringLiteral("Music"));
    if (loadMediaCenter())
        static_cast<MediaCenterMain*>(mediaCenterMain_.data())->simpleDropMusic(files);
}

void DeviceWindowCenters::transferPhotoFiles(const QStringList& files)
{
    storeMediaTab(QStringLiteral("PhotoVideo"));
    if (loadMediaCenter())
        static_cast<MediaCenterMain*>(mediaCenterMain_.data())->simpleDropVideoPhoto(files);
}

void DeviceWindowCenters::transferVideoFiles(const QStringList& files)
{
    storeMediaTab(QStringLiteral("PhotoVideo"));
    if (loadMediaCenter())
        static_cast<MediaCenterMain*>(mediaCenterMain_.data())->simpleDropVideoPhoto(files);
}

void DeviceWindowCenters::transferRingtoneFiles(const QStringList& files)
{
    storeMediaTab(QStringLiteral("Ringtone"));
    if (loadMediaCenter())
        static_cast<MediaCenterMain*>(mediaCenterMain_.data())->simpleDropRingTone(files);
}

void DeviceWindowCenters::keyWindowChanged(QWidget* keyWindow)
{
    MFDevice* device = controller_.getMFDevice();
    if (!device || !device->isHistory())
        return;
    if (keyWindow != controller_.window()) {
        if (timeController_)
            timeController_->disengage(curToolView_);
    } else if (curToolView_) {
        curToolView_->establishConnectionToTimeTunnel();
    }
}

void DeviceWindowCenters::setupToolbar()
{
    MFDevice* device = controller_.getMFDevice();
    const bool history = device && device->isHistory();
    DorvantiWindow* window = controller_.window();
    toolbar_ = new DeviceToolbar(history, this, window);
    if (window) {
        window->setToolbar(toolbar_);
        window->setHistoryMod(history);
    }
    if (history) {
        restorePopUp_ = new QComboBox;
        restorePopUp_->setObjectName(QStringLiteral("restoreToolbarPopUp"));
        restorePopUp_->setAccessibleName(platform::localizedString(QStringLiteral("RestoreDevice_Lbl")));
        restorePopUp_->addItem(platform::localizedString(QStringLiteral("RestoreDevice_Lbl")));
        restorePopUp_->resize(170, 26);
        connect(restorePopUp_, &QComboBox::activated, this, [this](int row) {
            if (row > 0)
                doRestoreAction(restorePopUp_->itemData(row).toInt());
            restorePopUp_->setCurrentIndex(0);
        });
        toolbar_->setRestoreView(restorePopUp_);
        updateRestorePopUp();
    }
    toolbar_->validateItems();
}
