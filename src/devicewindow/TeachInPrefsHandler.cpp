// The teach-in sheet of a phone window: the wizard's selection and pairing
// panes, the adding of the chosen phone, its first backup settings and the
// agent step of phones that need one.
#include "devicewindow/TeachInPrefsHandler.h"

#include "devicewindow/DeviceWindowController.h"
#include "devicewindow/DeviceWindowLog.h"
#include "devicewindow/NSDefaultButton.h"
#include "devicewindow/TeachInPrefsKeys.h"
#include "devicewindow/TeachInTabView.h"

#include "device/DeviceList.h"
#include "device/MFDeviceInfo.h"
#include "device/qvDeviceDB.h"
#include "foundation/NamedLog.h"
#include "lumwick/BluetoothPairingController.h"
#include "lumwick/DeviceExpert.h"
#include "lumwick/DeviceSelectionController.h"
#include "lumwick/QVUIKit.h"
#include "phone/BackupRules.h"
#include "phone/MFDevice.h"
#include "platform/Localization.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStack.h"
#include "platform/gui/Animation.h"
#include "usbdevice/DZDeviceProperties.h"
#include "widgets/CollapsibleBox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>

using namespace teachinkeys;

namespace {

std::function<bool()>& teachInShiftSource()
{
    static std::function<bool()> source = [] {
        return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    };
    return source;
}

void teachInLogXT(const QString& line)
{
    QVLOG(qvlog::kXT, line);
}

// The page order the sheet walks with Next.
const QStringList& teachInTabOrder()
{
    static const QStringList order = {QLatin1String(kTabSelect), QLatin1String(kTabPairing), QLatin1String(kTabAdd),
                                      QLatin1String(kTabBackup), QLatin1String(kTabWM1),     QLatin1String(kTabWM3),
                                      QLatin1String(kTabError),  QLatin1String(kTabNotSupport)};
    return order;
}

QString& teachInAgentFolderPath()
{
    static QString folder;
    return folder;
}

} // namespace

// Loading.

TeachInPrefsHandler* TeachInPrefsHandler::getTeachInPrefsHandler(DeviceWindowController* owner)
{
    auto* handler = new TeachInPrefsHandler(owner, owner);
    handler->awakeFromNib();
    return handler;
}

TeachInPrefsHandler::TeachInPrefsHandler(DeviceWindowController* owner, QObject* parent)
    : QObject(parent)
    , deviceWindowController_(owner)
{
    addTimer_.setCallback([this] {
        if (deviceWindowController_)
            deviceWindowController_->addChosenDevice(addProperties_);
    });
    agentTimer_.setCallback([this] { waitForAgentIdle(); });
}

TeachInPrefsHandler::~TeachInPrefsHandler()
{
    stopPanes();
    delete teachInPanelSheet_.data();
    delete devicePrefsPanelSheet_.data();
}

void TeachInPrefsHandler::setShiftKeySource(std::function<bool()> source)
{
    teachInShiftSource() = std::move(source);
}

void TeachInPrefsHandler::setAgentFolder(const QString& folder)
{
    teachInAgentFolderPath() = folder;
}

QString TeachInPrefsHandler::agentFolder()
{
    return teachInAgentFolderPath();
}

void TeachInPrefsHandler::awakeFromNib()
{
    buildTeachInSheet();
    buildDevicePrefsSheet();
    userPathes_.clear();
    userPatheEnabled_.clear();
    waitForAgent_ = false;
    loadPaneControllersAndViews();
    userFolderKeys();
}

const QStringList& TeachInPrefsHandler::userFolderKeys()
{
    static const QStringList keys = {QStringLiteral("User.SoundsFolder"), QStringLiteral("User.SoundPlaylistsFolder"),
                                     QStringLiteral("User.CameraPhotos"), QStringLiteral("User.VideosFolder"),
                                     QStringLiteral("User.RingtonesFolder"), QStringLiteral("User.ThemesFolder")};
    return keys;
}

void TeachInPrefsHandler::loadPaneControllersAndViews()
{
    deviceSelectionController_ = std::make_unique<DeviceSelectionController>();
    deviceSelectionController_->initWithDefaultNib();
    bluetoothPairingController_ = std::make_unique<BluetoothPairingController>();
    bluetoothPairingController_->initWithDefaultNib();
    wizardDevice_ = std::make_shared<DeviceExpert>(deviceSelectionController_.get());
    deviceSelectionController_->setMainController(this);
    bluetoothPairingController_->setMainController(this);
    wizardDevice_->setMainController(this);
    deviceSelectionController_->setEnableWindowsMobile(deviceWindowController_
                                                           ? deviceWindowController_->hasWinMobSwitchON()
                                                           : false);
    auto place = [](QWidget* view, QWidget* into) {
        if (!view || !into)
            return;
        view->setParent(into);
        into->layout()->addWidget(view);
        view->show();
    };
    place(deviceSelectionController_->wizardPaneView(), selectDevicePlace_);
    place(bluetoothPairingController_->wizardPaneView(), pairingDevicePlace_);
}

QString TeachInPrefsHandler::localized(const char* key) const
{
    return platform::localizedString(QLatin1String(key));
}

// The teach-in.

QWidget* TeachInPrefsHandler::page(const QString& identifier) const
{
    if (!teachInTabView_)
        return nullptr;
    const int index = teachInTabView_->indexOfTabViewItemWithIdentifier(identifier);
    return index >= 0 ? teachInTabView_->widget(index) : nullptr;
}

QString TeachInPrefsHandler::selectedTab() const
{
    return currentTab_;
}

void TeachInPrefsHandler::selectTab(const QString& identifier)
{
    currentTab_ = identifier;
    if (teachInTabView_)
        teachInTabView_->selectTabViewItemWithIdentifier(identifier);
}

void TeachInPrefsHandler::setFinishAction(const QString& name, std::function<void()> action)
{
    finishActionName_ = name;
    finishAction_ = std::move(action);
    if (!finishButton_)
        return;
    if (name == QLatin1String("teachIn_Finish:"))
        finishButton_->setText(localized(kFinish));
    else if (name == QLatin1String("teachIn_InstallAgent:"))
        finishButton_->setText(localized(kInstall));
    else
        finishButton_->setText(localized(kContinue));
}

void TeachInPrefsHandler::finishPressed()
{
    if (!finishButton_ || !finishButton_->isEnabled())
        return;
    if (std::function<void()> action = finishAction_)
        action();
}

QDialog* TeachInPrefsHandler::startWizardTeachIn(DeviceWindowController* window, int* modeTeachIn)
{
    deviceWindowController_ = window;
    if (teachInShiftSource() && teachInShiftSource()()) {
        QVUIKitTools::clearQuorvalisBluetoothCache();
        teachInLogXT(QLatin1String(kLogClearCache));
    }
    modeTeachIn_ = modeTeachIn;
    setModeTeachIn(kModeTeachIn);
    currentTab_.clear();
    if (teachInTabView_)
        teachInTabView_->setCurrentIndex(0);
    setFinishAction(QStringLiteral("teachIn_Continue:"), [this] { teachIn_Continue(); });
    finishButton_->setVisible(true);
    finishButton_->setEnabled(false);
    cancelButton_->setVisible(true);
    cancelButton_->setEnabled(true);
    goToNextPane();
    return teachInPanelSheet_;
}

void TeachInPrefsHandler::goToNextPane()
{
    // Leaving the current page.
    if (currentTab_ == QLatin1String(kTabSelect)) {
        deviceSelectionController_->stopProcessing();
    } else if (currentTab_ == QLatin1String(kTabPairing)) {
        // Only a phone that has paired goes on; the pane itself moves on
        // when its pairing has ended well.
        if (!bluetoothPairingController_->pairingSuccessful() && !bluetoothPairingController_->doSkipProcessing())
            return;
        bluetoothPairingController_->stopProcessing();
    }
    const QStringList& order = teachInTabOrder();
    int index = currentTab_.isEmpty() ? 0 : int(order.indexOf(currentTab_)) + 1;
    for (; index >= 0 && index < order.size(); ++index) {
        const QString next = order.at(index);
        if (next == QLatin1String(kTabSelect) || next == QLatin1String(kTabPairing)) {
            AKPaneController* pane = next == QLatin1String(kTabSelect)
                ? static_cast<AKPaneController*>(deviceSelectionController_.get())
                : static_cast<AKPaneController*>(bluetoothPairingController_.get());
            if (pane->doSkipProcessing())
                continue;
            finishButton_->setEnabled(false);
            selectTab(next);
            pane->prepareForDisplay();
            pane->startProcessing();
            return;
        }
        if (next == QLatin1String(kTabAdd)) {
            currentTab_ = next;
            const std::shared_ptr<DeviceExpert> expert = wizardDevice_;
            if (expert && expert->hadError()) {
                QWidget* shown = deviceError(expert->error());
                selectTab(shown ? shown->objectName() : QLatin1String(kTabError));
            } else if (expert && expert->properties() && expert->isSupportedDevice()) {
                teachIn_Add(expert->deviceProperties());
                selectTab(next);
            } else {
                QWidget* shown = deviceError(0);
                selectTab(shown ? shown->objectName() : QLatin1String(kTabNotSupport));
            }
            return;
        }
        if (next == QLatin1String(kTabBackup))
            teachIn_BackUp();
        selectTab(next);
        return;
    }
    currentTab_.clear();
}

void TeachInPrefsHandler::goToPreviousPane()
{
    if (currentTab_ != QLatin1String(kTabPairing) || bluetoothPairingController_->pairingSuccessful())
        return;
    if (bluetoothPairingController_->pairingInProgress())
        bluetoothPairingController_->cancelPairing();
    bluetoothPairingController_->stopProcessing();
    finishButton_->setEnabled(false);
    selectTab(QLatin1String(kTabSelect));
    deviceSelectionController_->prepareForDisplay();
    deviceSelectionController_->startProcessing();
}

void TeachInPrefsHandler::teachIn_Add(const QVariantMap& properties)
{
    const QString user = properties.value(QLatin1String(DZDeviceProperties::kBTUserNameKey)).toString();
    const QString model = properties.value(QLatin1String(DZDeviceProperties::kBTModelNameKey)).toString();
    deviceName_->setText(user.isEmpty() ? model : user);
    deviceModel_->setText(model);
    deviceManufacturer_->clear();
    if (properties.contains(QLatin1String(DZDeviceProperties::kDeviceNumberKey))) {
        if (const std::shared_ptr<qvDeviceDB> db = qvDeviceDB::sharedDeviceDB()) {
            const QString id =
                QString::number(properties.value(QLatin1String(DZDeviceProperties::kDeviceNumberKey)).toInt());
            const QVariantMap row = db->getSettingsForDeviceByID(id);
            if (!row.isEmpty())
                deviceManufacturer_->setText(row.value(QLatin1String(kManufacturer)).toString());
        }
    }
    addDeviceIndicator_->setRange(0, 0);
    addDeviceIndicator_->setVisible(true);
    finishButton_->setEnabled(false);
    cancelButton_->setVisible(false);
    cancelButton_->setEnabled(false);
    addProperties_ = properties;
    addTimer_.start(kAddDelay);
}

QWidget* TeachInPrefsHandler::deviceError(int error)
{
    addTimer_.stop();
    cancelButton_->setVisible(true);
    cancelButton_->setEnabled(true);
    finishButton_->setEnabled(false);
    if (addDeviceIndicator_)
        addDeviceIndicator_->setVisible(false);
    teachInLogXT(QString::fromLatin1(kLogDeviceError).arg(error));
    platform::gui::beep();
    if (error != 0) {
        const QString key = QString::number(error);
        QString text = platform::localizedString(key);
        if (text == key)
            text = localized(kNoExplanation);
        pairErrID_->setText(text);
        return page(QLatin1String(kTabError));
    }
    return page(QLatin1String(kTabNotSupport));
}

void TeachInPrefsHandler::addFailed()
{
    QWidget* shown = deviceError(kAddFailedError);
    selectTab(shown ? shown->objectName() : QLatin1String(kTabError));
    if (modeTeachIn_)
        setModeTeachIn(0);
    if (mfDevice_)
        mfDevice_->setModeTeachIn(0);
    modeTeachIn_ = nullptr;
    mfDevice_ = nullptr;
}

void TeachInPrefsHandler::deviceWentAway()
{
    if (!teachInPanelSheet_ || !teachInPanelSheet_->isVisible())
        return;
    stopPanes();
    waitForAgent_ = false;
    agentTimer_.stop();
    QWidget* shown = deviceError(DeviceWindowController::kBluetoothError);
    selectTab(shown ? shown->objectName() : QLatin1String(kTabError));
}

QDialog* TeachInPrefsHandler::showTeachIn(MFDevice* device, int* modeTeachIn, int* languageError)
{
    if (addDeviceIndicator_)
        addDeviceIndicator_->setVisible(false);
    mfDevice_ = device;
    if (!device)
        return nullptr;
    modeTeachIn_ = modeTeachIn;
    if (!modeTeachIn)
        return nullptr;
    setModeTeachIn(kModeTeachIn);
    if (languageError)
        *languageError = getDeviceLanguageError();
    finishButton_->setEnabled(true);
    cancelButton_->setVisible(true);
    cancelButton_->setEnabled(true);
    for (int type = 0; type < kOrganizerTagCount; ++type) {
        setTagButton_Enable(settingBox_, kFirstOrganizerTag + type, device->canProcessDB(type));
        setTagButton_State(settingBox_, kFirstOrganizerTag + type, true);
    }
    setTagButton_State(settingBox_, kAudioTag, false);
    setTagButton_State(settingBox_, kPictureTag, true);
    setTagButton_State(settingBox_, kVideoTag, false);
    setTagButton_State(settingBox_, kMapTag, false);
    setTagButton_State(settingBox_, kOtherFilesTag, false);
    selectTab(QLatin1String(kTabBackup));
    setFinishAction(QStringLiteral("teachIn_Finish:"), [this] { teachIn_Finish(); });
    return teachInPanelSheet_;
}

void TeachInPrefsHandler::teachIn_BackUp()
{
    finishButton_->setEnabled(true);
    setFinishAction(QStringLiteral("teachIn_Finish:"), [this] { teachIn_Finish(); });
}

void TeachInPrefsHandler::teachIn_Continue()
{
    goToNextPane();
}

void TeachInPrefsHandler::teachIn_Finish()
{
    if (mfDevice_ && mfDevice_->devInfo()) {
        MFDeviceInfo* info = mfDevice_->devInfo();
        info->setObject(DeviceList::sharedDeviceList().count() == 1, QLatin1String(kAutoConnect));
        info->setObject(noBackupDevice_->isChecked(), QLatin1String(kBackupDevice));
        info->setObject(!backupManually_->isChecked(), QLatin1String(kBackupAutomatic));
        // Every choice is in the entry before it is written, in one write.
        updateBackUpExceptions(settingBox_);
        info->writeDeviceDictNow();
    }
    teachIn_Skip();
}

void TeachInPrefsHandler::updateBackUpExceptions(QWidget* box)
{
    if (!mfDevice_)
        return;
    int mask = 0;
    for (int type = 0; type < kOrganizerTagCount; ++type) {
        if (getTagButton_State(box, kFirstOrganizerTag + type))
            mask |= 1 << type;
    }
    mfDevice_->backupRules().setBackupOrganizerMask(mask);
    QStringList except;
    auto isOff = [box](int tag) {
        QAbstractButton* button = findTagButton(box, tag);
        return button && !button->isChecked();
    };
    if (isOff(kAudioTag))
        except += mediaSuffixes(QLatin1String(kAudioFormats));
    if (isOff(kPictureTag))
        except += mediaSuffixes(QLatin1String(kPictureFormats));
    if (isOff(kVideoTag))
        except += mediaSuffixes(QLatin1String(kVideoFormats));
    if (isOff(kMapTag))
        except << QLatin1String(kMapSuffix);
    if (isOff(kOtherFilesTag))
        except << QLatin1String(kOtherSuffix);
    mfDevice_->backupRules().setBackupExceptSuffixList(except);
}

QStringList TeachInPrefsHandler::mediaSuffixes(const QString& formatKey)
{
    const QString formats = DeviceWindowController::getMediaInputFormat(formatKey);
    QStringList suffixes;
    for (const QString& part : formats.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QString suffix = part.trimmed();
        if (!suffix.isEmpty())
            suffixes << suffix;
    }
    return suffixes;
}

void TeachInPrefsHandler::stopPanes()
{
    // The panes' views go with the window: panes without a view have
    // nothing running.
    if (deviceSelectionController_ && deviceSelectionController_->wizardPaneView())
        deviceSelectionController_->stopProcessing();
    if (bluetoothPairingController_ && bluetoothPairingController_->wizardPaneView()) {
        if (bluetoothPairingController_->pairingInProgress())
            bluetoothPairingController_->cancelPairing();
        bluetoothPairingController_->stopProcessing();
    }
}

void TeachInPrefsHandler::endSheet()
{
    if (teachInPanelSheet_ && teachInPanelSheet_->isVisible())
        teachInPanelSheet_->done(1);
    else if (teachInPanelSheet_)
        teachInPanelSheet_->hide();
}

void TeachInPrefsHandler::teachIn_Skip()
{
    stopPanes();
    endSheet();
    setModeTeachIn(0);
    // The teach-in is over: the phone belongs to its window alone.
    mfDevice_ = nullptr;
}

void TeachInPrefsHandler::endTeachIn()
{
    if (!modeTeachIn_)
        return;
    stopPanes();
    addTimer_.stop();
    if (addDeviceIndicator_)
        addDeviceIndicator_->setVisible(false);
    endSheet();
    setModeTeachIn(0);
    modeTeachIn_ = nullptr;
    mfDevice_ = nullptr;
}

void TeachInPrefsHandler::teachIn_Cancel()
{
    if (waitForAgent_) {
        waitForAgent_ = false;
        return;
    }
    addTimer_.stop();
    if (mfDevice_) {
        MFDevice* device = mfDevice_;
        QPointer<DeviceWindowController> window = deviceWindowController_;
        platform::runloop::performAfterDelay(
            this, QStringLiteral("cancelDeviceAdd:"), kCancelAddDelay,
            [window, device] {
                if (window && window->getMFDevice() == device)
                    window->cancelDeviceAdd(device);
            },
            this);
        mfDevice_->setModeTeachIn(0);
        mfDevice_ = nullptr;
    }
    if (modeTeachIn_) {
        endTeachIn();
    } else {
        // Ended already (the adding failed): only the sheet is left.
        stopPanes();
        endSheet();
    }
}

void TeachInPrefsHandler::setModeTeachIn(int mode)
{
    if (modeTeachIn_)
        *modeTeachIn_ = mode;
    if (mfDevice_)
        mfDevice_->setModeTeachIn(mode);
}

int TeachInPrefsHandler::languageErrorFor(bool hasDevice, const QString& fileTransferType,
                                          const QVariant& nativeLanguage)
{
    if (!hasDevice || fileTransferType.isEmpty())
        return kLanguageUnknown;
    if (fileTransferType.startsWith(QLatin1String("USB")) || !nativeLanguage.isValid())
        return kLanguageGeneric;
    if (nativeLanguage.typeId() != QMetaType::QString)
        return kLanguageUnknown;
    return nativeLanguage.toString().isEmpty() ? kLanguageGeneric : kLanguageKnown;
}

int TeachInPrefsHandler::getDeviceLanguageError() const
{
    if (!mfDevice_)
        return kLanguageUnknown;
    const QVariant language =
        mfDevice_->devInfo() ? mfDevice_->devInfo()->objectForKey(QLatin1String(kNativeLanguage)) : QVariant();
    return languageErrorFor(true, mfDevice_->getConnectionType(), language);
}

QString TeachInPrefsHandler::languageText(int languageError, const QVariant& nativeLanguage) const
{
    if (languageError == kLanguageKnown)
        return nativeLanguage.toString();
    if (languageError == kLanguageGeneric)
        return localized(kGenericLanguage);
    return localized(kUnknowLanguage);
}

// The agent step.

bool TeachInPrefsHandler::offersSyncMLIrMC() const
{
    if (!mfDevice_ || !mfDevice_->devInfo())
        return false;
    const QString address = mfDevice_->devInfo()->objectForKey(QLatin1String(kBTAddress)).toString();
    const std::shared_ptr<platform::BluetoothDevice> device =
        address.isEmpty() ? nullptr : platform::BluetoothStack::shared().deviceWithAddressString(address);
    if (!device)
        return false;
    for (const platform::SdpServiceRecord& record : device->services()) {
        if (record.serviceName() == QLatin1String(kSyncMLIrMC))
            return true;
    }
    return false;
}

bool TeachInPrefsHandler::windowsMobileAgentTransfer(MFDevice* device, int* modeTeachIn)
{
    setFinishAction(QStringLiteral("teachIn_Continue:"), [this] { teachIn_Continue(); });
    if (addDeviceIndicator_)
        addDeviceIndicator_->setVisible(false);
    waitForAgent_ = false;
    mfDevice_ = device;
    modeTeachIn_ = modeTeachIn;
    if (!device || !modeTeachIn)
        return false;
    setModeTeachIn(kModeTeachIn);
    const QString agent =
        device->devInfo() ? device->devInfo()->objectForKey(QLatin1String(kDownloadAgent)).toString() : QString();
    if (agent.isEmpty())
        return false;
    if (device->devInfo()) {
        const QString address = device->devInfo()->objectForKey(QLatin1String(kBTAddress)).toString();
        if (auto phone = address.isEmpty() ? nullptr
                                           : platform::BluetoothStack::shared().deviceWithAddressString(address))
            phone->performSdpQuery();
    }
    // The loop may close the window, and this handler and the phone with it.
    const QPointer<TeachInPrefsHandler> self(this);
    platform::runloop::runFor(kAgentQueryWait);
    if (!self || mfDevice_ != device || offersSyncMLIrMC())
        return false;
    // A name from the device database never reaches outside the agent folder.
    const QString folder = agentFolder();
    if (folder.isEmpty() || QFileInfo(agent).fileName() != agent || agent == QLatin1String("..")
        || !QFileInfo::exists(QDir(folder).filePath(agent)))
        return false;
    cancelButton_->setVisible(true);
    cancelButton_->setEnabled(true);
    finishButton_->setVisible(true);
    finishButton_->setEnabled(true);
    setFinishAction(QStringLiteral("teachIn_InstallAgent:"), [this] { teachIn_InstallAgent(); });
    selectTab(QLatin1String(kTabWM1));
    return true;
}

void TeachInPrefsHandler::teachIn_WaitForAgent()
{
    finishButton_->setEnabled(false);
    cancelButton_->setVisible(true);
    cancelButton_->setEnabled(true);
    if (waitForAgentIndicator_) {
        waitForAgentIndicator_->setRange(0, 0);
        waitForAgentIndicator_->setVisible(true);
    }
    selectTab(QLatin1String(kTabWM3));
    waitForAgent_ = true;
    agentTimer_.start(kAgentPollInterval, true);
}

void TeachInPrefsHandler::waitForAgentIdle()
{
    if (waitForAgent_ && !offersSyncMLIrMC()) {
        if (mfDevice_ && mfDevice_->devInfo()) {
            const QString address = mfDevice_->devInfo()->objectForKey(QLatin1String(kBTAddress)).toString();
            if (auto phone = address.isEmpty() ? nullptr
                                               : platform::BluetoothStack::shared().deviceWithAddressString(address))
                phone->performSdpQuery();
        }
        return;
    }
    agentTimer_.stop();
    if (waitForAgentIndicator_)
        waitForAgentIndicator_->setVisible(false);
    QPointer<DeviceWindowController> window = deviceWindowController_;
    if (waitForAgent_) {
        platform::runloop::performAfterDelay(
            this, QStringLiteral("showRealTeachIn"), kAgentDoneDelay,
            [window] {
                if (window)
                    window->showRealTeachIn();
            },
            this);
    } else {
        platform::runloop::performAfterDelay(this, QStringLiteral("teachIn_Cancel:"), kAgentDoneDelay,
                                             [this] { teachIn_Cancel(); }, this);
    }
}

// Wizard callbacks.

void TeachInPrefsHandler::enableChangeToNextPane(bool enable)
{
    if (!finishButton_)
        return;
    // On the pairing page Next waits for the pairing itself.
    if (currentTab_ == QLatin1String(kTabPairing) && !bluetoothPairingController_->pairingSuccessful())
        enable = false;
    finishButton_->setEnabled(enable);
}

bool TeachInPrefsHandler::isValid(const QVariantMap& properties)
{
    if (!deviceWindowController_)
        return false;
    // A phone found by an inquiry is identified only once it has paired
    // (model 0 until then): the pairing pane may take it, and the "Add"
    // step asks the window again with the model the pairing found.
    const QVariant id = properties.value(QLatin1String(DZDeviceProperties::kDeviceNumberKey));
    if (id.isValid() && id.toInt() == 0 && currentTab_ != QLatin1String(kTabAdd)
        && !properties.value(QLatin1String(DZDeviceProperties::kBTAddressKey)).toString().isEmpty())
        return true;
    return deviceWindowController_->isValid(properties);
}

void TeachInPrefsHandler::setDeviceExpert(std::shared_ptr<DeviceExpert> expert)
{
    if (expert)
        wizardDevice_ = std::move(expert);
}

std::shared_ptr<void> TeachInPrefsHandler::device() const
{
    qCInfo(lcDeviceWindow).noquote() << QLatin1String(kLogDevice);
    return nullptr;
}

void TeachInPrefsHandler::setDevice(std::shared_ptr<void>)
{
    qCInfo(lcDeviceWindow).noquote() << QLatin1String(kLogSetDevice);
}

// Helpers.

QAbstractButton* TeachInPrefsHandler::findTagButton(QWidget* view, int tag)
{
    if (!view)
        return nullptr;
    // Depth first through the subviews, in their order.
    for (QObject* child : view->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget)
            continue;
        if (auto* button = qobject_cast<QAbstractButton*>(widget);
            button && button->property("tag").isValid() && button->property("tag").toInt() == tag)
            return button;
        if (QAbstractButton* found = findTagButton(widget, tag))
            return found;
    }
    return nullptr;
}

void TeachInPrefsHandler::setTagButton_Enable(QWidget* view, int tag, bool enabled)
{
    if (QAbstractButton* button = findTagButton(view, tag))
        button->setEnabled(enabled);
}

void TeachInPrefsHandler::setTagButton_State(QWidget* view, int tag, bool state)
{
    if (QAbstractButton* button = findTagButton(view, tag))
        button->setChecked(state);
}

bool TeachInPrefsHandler::getTagButton_State(QWidget* view, int tag)
{
    QAbstractButton* button = findTagButton(view, tag);
    return button && button->isChecked() && button->isEnabled();
}

void TeachInPrefsHandler::expandBox(CollapsibleBox* box)
{
    if (box)
        box->setExpanded(true);
}

void TeachInPrefsHandler::teachIn_expandBox(QAbstractButton* button)
{
    if (!button)
        return;
    const QString name = button->property("collapsibleBoxName").toString();
    auto* box = name.isEmpty() ? nullptr : teachInPanelSheet_->findChild<CollapsibleBox*>(name);
    if (box)
        box->setExpanded(button->isChecked());
}

void TeachInPrefsHandler::animateViewAndSiblings(QWidget* view, const QRect& targetFrame)
{
    CollapsibleBox::stdAnimateViewAndSiblings(view, targetFrame);
}

bool TeachInPrefsHandler::collapsibleBox(CollapsibleBox& box, const QRect& frame, bool)
{
    animateViewAndSiblings(&box, frame);
    return false;
}
