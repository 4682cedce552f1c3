#pragma once

#include "devicewindow/queue/ActionMasterHdlr.h"

#include "devicewindow/BackActioTextField.h"
#include "devicewindow/DeviceWindowHost.h"
#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/MFWindowController.h"

#include "lumwick/LumwickProtocol.h"
#include "phone/DeviceWindowServices.h"
#include "phone/SynchronizationFeedbackConsumer.h"
#include "platform/Clock.h"
#include "widgets/BusyOverlayController.h"
#include "widgets/SheetQueue.h"
#include "widgets/TarnexAlertSheet.h"

#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class ActionMasterHdlr;
class CommonAsyncDeviceIdentifier;
class DeviceWindowCenters;
class QVFeedBack;
class TeachInPrefsHandler;

// The controller of one phone's window ("BrowserWindow", a DorvantiWindow):
// opens the phone from a stored entry or a wizard result, attaches it, shows
// its busy overlay and sessions, its sheets one at a time and its error
// dialogs, starts its background work, and closes the window once the phone's
// jobs have ended (or after a bounded wait). The centers come later: until
// then the content area shows a summary of the phone and a center switch only
// records the center's name.
class DeviceWindowController : public MFWindowController,
                               public LumwickProtocol,
                               public SynchronizationFeedbackConsumer,
                               public DeviceWindowServices {
    Q_OBJECT

public:
    static constexpr double kFadeInterval = 0.04;
    static constexpr double kFadeInStep = 0.1;
    static constexpr double kFadeOutStep = 0.2;
    static constexpr double kStartBackgroundDelay = 1.0;
    static constexpr double kCloseWaitInterval = 0.5;
    static constexpr double kCloseWaitSlice = 0.1;
    static constexpr int kSafeCloseMaxPolls = 101;
    static constexpr int kSafeCloseIdlePolls = 36;
    static constexpr int kCloseNowCode = -1000;
    static constexpr int kCloseCancelCode = -1001;
    static constexpr double kBasebandWait = 0.1;
    static constexpr double kBasebandRetryWait = 1.0;
    static constexpr int kBasebandRetryStatus = 4;
    static constexpr int kSerialBusyStep = 10;
    static constexpr double kSyncEngineSlice = 0.23;
    static constexpr int kSyncEngineStep = 10;
    static constexpr int kMaxStorageSerial = 15;
    static constexpr int kNoSerialError = 55;
    static constexpr int kBluetoothError = 54;
    static constexpr int kPairingStaleStatus = -444;

    // host may be null (every question answers no); the window is made from
    // the interface file "BrowserWindow".
    explicit DeviceWindowController(DeviceWindowHost* host = nullptr, QObject* parent = nullptr);
    ~DeviceWindowController() override;

    DorvantiWindow* window() const { return window_; }
    QWidget* contentAreaView() const { return contentAreaView_; }
    DeviceWindowHost& host() const;

    // Loading, fading and auto-connect.
    void windowDidLoad();
    void showWindow();
    void fadeIn();
    void fadeOut();
    void checkForAutoconnect();
    void connectAutoDevices();
    // Connects the device list's entry n (1-based) through the host: over a
    // USB serial port, as USB storage, then over Bluetooth. True when it was
    // connected (or its window is open already); a failure shows "56".
    bool connectDeviceNr(int number);

    // The phone.
    void setMFDevice(MFDevice* device, const QString& stateInfo = QString());
    std::shared_ptr<MFDevice> openFromDeviceDictionary(const QVariantMap& wizard,
                                                       const std::optional<QVariantMap>& stored,
                                                       const QString& connType);
    bool makeDeviceDictionary(QVariantMap* dict, bool* isNew, const QVariantMap& wizard, const QString& connType);
    std::optional<QString> makeSerialNumberFromDeviceIdentifier(CommonAsyncDeviceIdentifier& identifier);
    bool makeBTDeviceDictionary(const QVariantMap& wizard);
    bool makeUSBSerialDeviceDictionary(const QVariantMap& wizard);
    bool makeUSBStorageDeviceDictionary(const QVariantMap& wizard);
    void addChosenDevice(const QVariantMap& wizard);
    void doAddChosenDevice(const QVariantMap& wizard);
    void cancelDeviceAdd(MFDevice* device);
    bool hasDevice() const;
    bool sessionDidDied() const { return sessionDidDied_; }

    // LumwickProtocol
    QString getAssistantTitle() override;
    QImage getAssistantLogo() override;
    void assistantDidEndWithoutPairing() override;
    void assistantDidEndWithPairing(const QVariantMap& properties) override;
    bool isValid(const QVariantMap& properties) override;
    void userSelectedDevice() { }
    bool hasWinMobSwitchON() const { return false; }
    bool deviceChooserOpen() const { return deviceChooserOpen_; }

    // State strings: "center\tcenter's own state".
    QString stateInfo() const;
    void executeStateInfo();
    void callExecuteStateInfo(const QString& stateInfo);
    QString pendingStateInfo() const { return stateInfo_; }
    QString initSwitchCenter() const { return initSwitchCenter_; }
    void switchToNamedCenter(const QString& name);
    QString curToolViewName() const { return curToolViewName_; }
    bool canDeactivate() const;
    // The centers and the toolbar (made with the window).
    DeviceWindowCenters* centers() const { return centers_; }
    // Refreshes a history window's restore pop-up.
    void updateBTDevice();

    // Background work and the sync engine.
    void startBackgroundActionsSoon();
    void startBackgroundActionsNow();
    void disableBackgroundActions() { disableBackgroundActions_ = true; }
    bool wantsBackupNow() const;
    bool isSyncEngineReady();
    bool allowToSync(const QString& property);
    void doSetSyncWorkingDirection(int mode);
    // The organizer's answer to a sync conflict (1 switch off, 2 use the last
    // organizer state, else ignore); none until the organizer center comes.
    void setSyncConflictDecision(std::function<std::optional<int>()> decision);
    void didDetectSyncGAU();
    // DeviceWindowServices: the question is the same for every property.
    void didDetectSyncGAU(int property) override;
    // The window's job queue view: made once for the window's phone (none
    // before a phone is set), or adopted when none exists yet.
    ActionMasterHdlr* actionMaster();
    void useExternActionMaster(ActionMasterHdlr* master);
    ActionMasterHdlr* actionMasterHdlr() const { return actionMasterHdlr_; }
    // Puts a job into the queue view; false without queue view or job.
    bool addFeedBackToMaster(const std::shared_ptr<QVFeedBack>& feedback);
    std::shared_ptr<QVFeedBack> equalFeedBackInMaster(const std::shared_ptr<QVFeedBack>& feedback) const;

    // Busy overlay and sessions (see BusyOverlayController).
    BusyOverlayController& overlay() const { return *overlay_; }
    void doShowBusyOverlay(bool show, int percent, QWidget* parentView);
    void doShowBusyOverlayCancel(bool show, int percent, QWidget* parentView, std::function<void()> cancel);
    void doStayedShowBusyOverlay(bool show, int percent, QWidget* parentView);
    void doProgressBusyOverlay(int percent);
    void doProgressBusyOverlayAndDisplay(int percent);
    void doProgressBusyIncrement(double step) override;
    void doProgressBusyMessage(const QString& text) override;
    void doCloseBusyOverlayImmediatly();
    BusyModalSession* startBusyModalSession(QWidget* view, int percent) override;
    int pollBusyModalSession(BusyModalSession* session) override;
    int runBusyModalSession(BusyModalSession* session, double timeOut = -1.0);
    void endBusyModalSession(BusyModalSession* session) override;
    void busyIdleTime();

    // Sheets one at a time, and the dialogs.
    SheetQueue& sheets() const { return *sheets_; }
    TarnexAlertSheet* alertSheet() const { return alertSheet_; }
    void beginAlertSheet(const QString& title, const QString& message, const QString& defaultButton,
                         const QString& alternateButton, std::function<void(int)> didEnd);
    void displayErrorText(int kind, const QString& titleKey, const QString& textKey) override;
    void displayError(int number);
    void displayBTError(int number);
    void errorBT_OK();
    void errorDoThatBT_Now();
    int lastError() const { return lastError_; }
    QDialog* errorPanel() const { return errorBTSheet_; }
    QLabel* errorPanelText() const { return errorBTText_; }
    QPushButton* errorPanelSecondButton() const { return errorBTDoThatNow_; }
    static QString explanation(int number);

    // Warnings and questions (window-modal, one sheet at a time).
    static constexpr double kReopenWizardDelay = 0.12;
    static constexpr double kSyncResultDelay = 1.0;
    static constexpr double kUpdateBackgroundDelay = 0.12;
    // The pairing of entry {"name", "address"} is stale: the wizard opens
    // again after the sheet.
    void displayPairingStale(const QVariantMap& entry);
    void displayTooManyItems(const QVariantMap& userInfo);
    void displayFailedItems(const QVariantMap& userInfo);
    // Questions run modally; true for the default button.
    bool askSendManyFiles(int count);
    bool askDelete();
    bool askOverwrite();
    // The question box of the running ask (for its checks), else null.
    QMessageBox* runningQuestion() const { return question_; }

    // Notifications.
    void batteryStateLevel(MFDevice* device);
    void notifyDeviceDirtyChanged(MFDevice* device);
    void syncEngineActive(const QVariantMap& userInfo);
    void sessionDiedError(MFDevice* device);
    void didEndSessionDiedErrorSheet();
    void showSMSStatus(MFDevice* device, const QVariantMap& userInfo);
    void showNewSMSFromStatus(const QVariant& message);
    void syncTooManyItems(const QVariantMap& userInfo);
    void syncFailedItems(const QVariantMap& userInfo);
    // Redraws the current center and the window background.
    void doUpdateBackGround();

    // The Phone menu: its actions by name ("deviceInspector:", …) and their
    // validation. An item's tag is a device-list index, or -1 for this
    // window's phone.
    struct MenuState {
        bool enabled = false;
        bool checked = false;
    };
    MenuState validateMenuItem(const QString& action, int tag = -1) const;
    QMenu* phoneMenu() const { return phoneMenu_; }
    QAction* menuAction(const QString& action) const;
    void validateMenus();
    void deviceInspector(int tag);
    bool isAutoConnectOn(int tag) const;
    void autoConnectOff(int tag);
    void breakBackgroundScanning();
    void backupDeviceNow();
    void phoneSettings();
    void sendDebuggingInfo();
    QString createLogFiles(bool includeSyncML);
    void toggleSyncMLAllowed(bool checked);
    bool sendWithMail();
    bool sendWithEntourage();
    bool tellFinderToShow();
    void sendMailOK();
    QDialog* sendMailSheet() const { return sendMailSheet_; }
    QDialog* prefsSheet() const { return prefsSheet_; }

    // Helpers.
    static bool deviceHasHistory(const QVariantMap& entry);
    static bool isAllowedFileForMobile(const QString& path);
    static QString removeBadChars(const QString& text);

    // The phone's RFCOMM channels from its last SDP query, as the Bluetooth
    // layer reads them (platform::kNoRfcommChannel: none).
    int getDialupChannel() const;
    int getObexPushChannel() const;
    int getSyncMLChannel() const;
    int getFileTransferChannel() const;
    int getPCSuiteChannel() const;

    // The teach-in sheet and the phone preferences (made on first use).
    TeachInPrefsHandler* getTeachInPrefs();
    int modeTeachIn() const { return modeTeachIn_; }
    // Adds a phone: in a new window when this one shows a phone, else with
    // the teach-in sheet on this window.
    void openWizzard();
    // Phone > Add Phone…
    void scanForBTDevices();
    void progressSheetDidEnd(int returnCode);
    // The connection center's state "Wizard" opens the teach-in.
    void processWizardState(const QString& state);
    // The scan-on-connect sheet ("BrowserWindow"): Skip ends it.
    void beginScanOnConnectSheet();
    void scanOnConnect_Skip();
    void scanOnConnectSheetDidEnd();
    QDialog* scanOnConnectSheet() const { return scanOnConnectSheet_; }
    static constexpr double kReloadFilesDelay = 0.34;

    // The teach-in hand-over.
    void showTeachIn();
    void showRealTeachIn();
    void showConnected();

    // Closing.
    void windowShouldClose();
    void close();
    bool hasNotFinishedBackup() const;
    void waitBGMachineFinished();
    void waitBGMachineFinishedTimer();
    void closeNow();
    void closeCancel();
    void doProceedSafeClose();
    QDialog* closeDialog() const { return closeDialog_; }
    bool forceCloseWithoutWaitForBackup() const { return forceCloseWithoutWaitForBackup_; }
    // Safe-close polls of the last close (for the checks of its bounds).
    int lastSafeClosePolls() const { return lastSafeClosePolls_; }
    // Whether jobs run: a queue row that is not red, or a job in the
    // device's action machine.
    bool actionJobsScheduled() const;

    // Titles.
    void setPathOrNameOfWindow(const QString& path);
    void synchronizeWindowTitleWithDocumentName() { }

    static QString getMediaInputFormat(const QString& key);
    // The window whose phone is being opened now (its start percentages go
    // to that window's overlay), or null.
    static DeviceWindowController* openingWindow();

Q_SIGNALS:
    void windowClosed();

private:
    void loadWindow();
    void showErrorPanel(int number, const QString& message, bool bluetoothSetup);
    void observe();
    void showSummary();
    QString localized(const char* key) const;
    void finishClose();
    void showQueueInCurrentCenter();
    void buildPhoneMenu();
    bool ask(const char* textKey, const QString& text, const char* defaultKey, const char* windowTitleKey);
    void beginInformationalSheet(const QString& title, const QString& text, const QString& button,
                                 std::function<void(int)> didEnd);
    QVariantMap entryForTag(int tag) const;
    int rfcommChannel(int service) const;

    DeviceWindowHost* host_ = nullptr;
    std::unique_ptr<DeviceWindowHost> noHost_;
    QPointer<DorvantiWindow> window_;
    QPointer<QWidget> contentAreaView_;
    QPointer<QProgressBar> deviceBusyIndicator_;
    QPointer<QWidget> backgroundBusyIndicator_;
    QPointer<BackActioTextField> backgroundBackUp_;
    QPointer<QLabel> summaryPicture_;
    QPointer<QLabel> summaryName_;
    QPointer<QLabel> summaryConnection_;
    QPointer<QDialog> errorBTSheet_;
    QPointer<QLabel> errorBTText_;
    QPointer<QPushButton> errorBTDoThatNow_;
    QPointer<QDialog> closeDialog_;
    QPointer<QProgressBar> idleClose_;
    QPointer<TarnexAlertSheet> alertSheet_;
    QPointer<QMessageBox> question_;
    QPointer<QMenu> phoneMenu_;
    QPointer<QDialog> sendMailSheet_;
    QPointer<QDialog> prefsSheet_;
    QPointer<QDialog> scanOnConnectSheet_;
    QPointer<TeachInPrefsHandler> teachInPrefs_;
    std::unique_ptr<BusyOverlayController> overlay_;
    QPointer<SheetQueue> sheets_;
    QPointer<ActionMasterHdlr> actionMasterHdlr_;
    DeviceWindowCenters* centers_ = nullptr;   // a child of the content area
    platform::Timer fadeTimer_;
    platform::Timer closeWaitTimer_;
    platform::Timer busyTimer_;
    std::function<std::optional<int>()> syncConflictDecision_;
    QString curToolViewName_;
    QString stateInfo_;
    QString initSwitchCenter_;
    int lastError_ = 0;
    int modeTeachIn_ = 0;
    int lastSafeClosePolls_ = 0;
    bool deviceChooserOpen_ = false;
    bool forceCloseWithoutWaitForBackup_ = false;
    bool disableBackgroundActions_ = false;
    bool sessionDidDied_ = false;
    // A died session's window tells the main window when it has closed.
    bool reportLostOnClose_ = false;
    QString lostPhoneName_;
    bool closing_ = false;
};
