#pragma once

#include "app/TarnexPanes.h"
#include "app/TarnexRollOverButton.h"
#include "app/TarnexWindow.h"
#include "widgets/TarnexAlertSheet.h"

#include "lumwick/QVWizardCallbacks.h"
#include "phone/SynchronizationFeedbackConsumer.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/Animation.h"
#include "widgets/BasisOverlayView.h"
#include "widgets/BusyOverlayController.h"
#include "widgets/OverlayProgressBar.h"
#include "widgets/SheetQueue.h"

#include <QDialog>
#include <QLabel>
#include <QObject>
#include <QProgressBar>
#include <QPointer>
#include <QPushButton>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ActionMasterHdlr;
class DeviceList;
class DeviceWindowController;
class MirrovanceDevice;
class TarnexWizardSheet;

namespace platform {
class BluetoothDevice;
}

// What the main window asks of the parts that are not its own: the
// device-entry maker, the queue handler and the windows it opens. Each
// answers here as if the part were missing until the program hands over its
// own (TarnexController::setServices).
class TarnexControllerServices {
public:
    virtual ~TarnexControllerServices() = default;
    // The device-list entry for a wizard result and its Bluetooth device;
    // nothing when none can be made.
    virtual std::optional<QVariantMap> makeQVDeviceDictionary(const QVariantMap& /*properties*/,
                                                              const std::shared_ptr<platform::BluetoothDevice>&)
    {
        return std::nullopt;
    }
    // The main window's queue handler: cancel its jobs; bind it to the phone.
    virtual void cancelQueueJobs() {}
    virtual void bindJobList(MirrovanceDevice& /*phone*/) {}
    virtual void openOrganizerTrash() {}
    virtual bool openManualDocument() { return false; }
    // The desktop sync: the window is up and wants it; the program ends and
    // the phone's client (when the phone has a device-list entry) and the
    // general client go.
    virtual void syncFunctionalityRequired() {}
    virtual void removeSyncClients(const QVariantMap& /*phoneEntry*/) {}
};

// The main window's controller: owns the five panes and the phone object,
// switches between the panes wizard fashion, shows the buttons of each pane
// and the phone's picture, fades the window in at start and stops the pane
// on close; and the main window's services: the busy overlay and modal busy
// sessions, the job list's place, the sync outcome messages, the alert
// sheet, the wizard host callbacks and the debugging report.
class TarnexController : public QObject,
                         public QVWizardCallbacks,
                         public QVWizardNextPaneSwitch,
                         public QVWizardPreviousButton,
                         public SynchronizationFeedbackConsumer {
    Q_OBJECT

public:
    enum PaneIndex { kWelcomeIndex = 0, kMatrixIndex = 1, kConnectingIndex = 2, kContactsIndex = 3, kSyncSettingsIndex = 4 };
    static constexpr double kReleaseWait = 0.5;
    static constexpr double kContactsWait = 1.5;
    static constexpr double kPhonePictureFade = 1.5;
    static constexpr double kSyncFailedDelay = 0.1;
    static constexpr double kTooManyItemsDelay = 1.0;
    static constexpr int kShortNameLimit = 12;
    static constexpr int kActionPlaceShownY = -2;
    static constexpr int kHiddenY = -200;
    static constexpr int kMessageShownY = 6;
    static constexpr double kUnitTestOrderOutDelay = 0.1;
    static constexpr int kLogoTop = 14;
    static constexpr int kPictureAboveName = 20;
    static constexpr int kProgressSteps = 1000;
    static constexpr double kStopProgressDelay = 0.2;
    static constexpr int kSyncSheetHeight = 380;

    using PaneFactory = std::function<std::unique_ptr<TarnexPaneController>()>;
    // The five panes in the order of their indexes.
    static std::vector<PaneFactory> standardPanes();

    // window: the main window built by mainwindow::create (its outlets are
    // found by name). list: the known phones.
    TarnexController(TarnexWindow* window, DeviceList& list, QObject* parent = nullptr);
    ~TarnexController() override;

    // The single controller while it lives (from awakeFromNib until
    // "AppWillQuit"); null otherwise.
    static TarnexController* sTarnexController();
    static void unregisterTarnexController();

    void setServices(std::unique_ptr<TarnexControllerServices> services);
    // The panes loadPaneControllersAndViews() makes (standardPanes() unless
    // set before the start).
    void setPaneFactories(std::vector<PaneFactory> factories) { paneFactories_ = std::move(factories); }
    TarnexControllerServices& services() { return *services_; }

    // Start: writes the sync engine's guard settings, loads the panes, shows
    // the first one and fades the window in; under unit tests the window is
    // put away and nothing more happens.
    void awakeFromNib();
    void prepareGUI();
    void loadPaneControllersAndViews();
    void showFirstView();
    void startFadeInOfWindow();
    // The program ends: the sync clients go.
    void applicationWillTerminate();
    // Replaces "@app@" once in every menu item title of the window's menus.
    void fixMenuApplicationName();
    static QString fixMenuTitle(const QString& title, const QString& name);
    // Fills each "%@" of a string-table format with the next argument.
    static QString fillFormat(QString format, const QStringList& arguments);

    // The pane machine.
    int paneCount() const { return int(controllers_.size()); }
    TarnexPaneController* pane(int index) const;
    TarnexPaneController* paneForKey(const QString& key) const;
    int paneIndexForKey(const QString& key) const;
    int currentPaneIndex() const { return currentPaneIndex_; }
    int previousPaneIndex() const { return previousPaneIndex_; }
    QString currentControllerName() const;
    void switchToNamedPane(const QString& key, int direction);
    void switchPanesInDirection(int direction);
    void switchFromPaneAtIndex(int from, int to, int direction);
    void goToNextPane() override;
    void goToPreviousPane();
    void sheetNextPressed();
    void sheetPrevPressed();
    void disconnectDevice();
    // The window's title, also in its painted title bar.
    void setWindowTitle(const QString& title);
    void deviceEjected();
    void handleSyncDirectionChange();
    void addPhonePressed();
    void showAddPhone(bool show);
    void openSettings();
    void settingsButtonPressed();
    void newHandset(const QString& how);
    // The sheet in which the sync-settings pane is shown; ending it (also on
    // Escape, when the pane does not take the key) goes back to the pane
    // before.
    QDialog* syncSheetWindow() const { return syncSheetWindow_; }
    QWidget* syncPanelView() const { return syncPanelView_; }
    void endSyncSheet();

    // Buttons used by the panes.
    void enableChangeToNextPane(bool enable) override;
    void changeToNextPaneTitle(const QString& title);
    void setPreviousButtonEnabled(bool enable) override;
    void enableChangeToPreviousPane(bool enable) { setPreviousButtonEnabled(enable); }
    void changeToPreviousPaneTitle(const QString& title);
    void hidePreviousNextButtons();
    void showNextButton(bool next, bool previous);
    void showPreviousButton();
    void setMissingPhoneButtonEnabled(bool enable);
    void missingPhoneButtonShowsAssistant();
    void setCanUseDevice(bool canUse);
    // The wizard sheet (the wizard's selection and pairing panes over the
    // main window), made on first use; while it shows, Next, Previous and the
    // panes' calls go to it.
    TarnexWizardSheet* wizardSheet();
    bool isWizardSheetShowing() const;
    QDialog* sheetWindow() const;
    // Ends and orders out the sheet (the wizard sheet when none is given).
    void didEndWizardSheet(QDialog* sheet, int returnCode);
    void stopPhoneScanPressed();

    // Scan progress bar and status line.
    void startProgress(double min, double max);
    void setValuePercent(double percent);
    void incrementProgressBy(double step);
    void stopProgress();
    void stopProgressDelayed();
    void setMessageText(const QString& text);
    void setSuccessText(const QString& text);

    // The phone picture.
    void showPhoneIcon(bool show);
    void setDeviceName(const QString& name);
    static QString imageNameForQVID(int deviceID);
    // The picture name of a device-list entry: its identification, else the
    // picture of its model id.
    static QString pictureNameForEntry(const QVariantMap& entry);
    bool isShowingPhone() const { return showingPhone_; }
    // The phone's picture name: its identification, else the picture of its
    // model id; empty without a device-list entry.
    QString phonePictureName() const;
    // The picture shown for the phone ("<name>_big", or the default phone's
    // when the program has no picture of that name).
    QString shownPictureName() const { return shownPictureName_; }

    // Flags read by the panes.
    bool newPhone() const { return newPhone_; }
    void setNewPhone(bool on) { newPhone_ = on; }
    bool afterFirstSync() const { return afterFirstSync_; }
    void setAfterFirstSync(bool on) { afterFirstSync_ = on; }
    bool stopPhoneScan() const { return stopPhoneScan_; }
    void setStopPhoneScan(bool on) { stopPhoneScan_ = on; }
    bool syncDirectionChanged() const { return syncDirectionChanged_; }
    void setSyncDirectionChanged(bool on) { syncDirectionChanged_ = on; }
    bool deviceNeedsToBeStoredInDeviceList() const { return deviceNeedsToBeStoredInDeviceList_; }
    QString draggedFile() const { return draggedFile_; }
    void rememberDraggedFile(const QString& path) { draggedFile_ = path; }
    TarnexWindow* mainWindow() const { return window_; }
    DeviceList& deviceList() const { return list_; }
    TarnexPaneController* settingsController() const;

    // Outlets.
    QWidget* paneView() const { return paneView_; }
    QPushButton* goToNextPaneButton() const { return nextPaneButton_; }
    QPushButton* goToPreviousPaneButton() const { return previousPaneButton_; }
    QPushButton* specialPurposeButton() const { return specialPurposeButton_; }
    QPushButton* disconnectButton() const { return disconnectButton_; }
    TarnexRollOverButton* addPhoneButton() const { return addPhoneButton_; }
    TarnexRollOverButton* missingPhoneButton() const { return missingPhoneButton_; }
    TarnexRollOverButton* syncSettingsButton() const { return syncSettingsButton_; }
    TarnexRollOverButton* showPhonesButton() const { return showPhonesButton_; }
    QLabel* tarnexLabel() const { return tarnexLabel_; }
    QLabel* deviceImage() const { return deviceImage_; }
    QLabel* deviceNameField() const { return deviceName_; }
    QLabel* logoImageView() const { return logoImageView_; }
    QLabel* messageTextField() const { return messageTextField_; }
    QLabel* successImageView() const { return successImageView_; }
    QWidget* actionMasterPlace() const { return actionMasterPlace_; }
    QProgressBar* progressIndicator() const { return progressIndicator_; }
    QPushButton* progressStopButton() const { return progressStopButton_; }

    // Wizard host callbacks. The device is always a phone object made here.
    void setDevice(std::shared_ptr<void> device) override;
    std::shared_ptr<void> device() const override;
    void setDeviceExpert(std::shared_ptr<DeviceExpert> expert) override;
    std::shared_ptr<DeviceExpert> deviceExpert() const override;
    std::shared_ptr<MirrovanceDevice> phoneObject() const { return device_; }
    // The window of the phone object's document; null without one.
    DeviceWindowController* getDeviceWindowController() const;
    DeviceWindowController* deviceWindowController() const { return getDeviceWindowController(); }
    void setPhoneObject(std::shared_ptr<MirrovanceDevice> phone);
    bool isValid(const QVariantMap& properties) override;
    QImage getStatusIcon(int state) override;
    static QString statusIconName(int state);

    // Busy overlay and modal busy sessions (the rules are the widgets' busy
    // overlay controller's). A session's handle is valid from its start until
    // it is ended; the controller owns the session. Null when a session runs
    // already.
    BusyOverlayController& overlay() const;
    void doShowBusyOverlay(bool show, int percent, QWidget* parentView)
    {
        overlay().doShowBusyOverlay(show, percent, parentView);
    }
    void myShowBusyOverlay(bool show, int percent, QWidget* parentView)
    {
        overlay().myShowBusyOverlay(show, percent, parentView);
    }
    void doProgressBusyOverlay(int percent) { overlay().doProgressBusyOverlay(percent); }
    void doProgressBusyOverlayAndDisplay(int percent) { overlay().doProgressBusyOverlayAndDisplay(percent); }
    void doProgressBusyIncrement(double step) override { overlay().doProgressBusyIncrement(step); }
    void doProgressBusyMessage(const QString& text) override { overlay().doProgressBusyMessage(text); }
    void doCloseBusyOverlayImmediatly() { overlay().doCloseBusyOverlayImmediatly(); }
    BusyModalSession* startBusyModalSession(QWidget* view, int percent) override
    {
        return overlay().startBusyModalSession(view, percent);
    }
    int pollBusyModalSession(BusyModalSession* session) override { return overlay().pollBusyModalSession(session); }
    void endBusyModalSession(BusyModalSession* session) override { overlay().endBusyModalSession(session); }
    void setOverlayCancel(std::function<void()> action) { overlay().setOverlayCancel(std::move(action)); }
    void overlayCancel() { overlay().overlayCancel(); }
    void setStayedOverlay(bool stayed) { overlay().setStayedOverlay(stayed); }
    BasisOverlayView* busyOverlay() const { return overlay().busyOverlay(); }
    OverlayProgressBar* overlayProgressBar() const { return overlay().overlayProgressBar(); }
    QLabel* busyMessage() const { return overlay().busyMessage(); }
    QPushButton* overlayCancelButton() const { return overlay().overlayCancelButton(); }
    bool isOverlayModal() const { return overlay().isOverlayModal(); }

    // The job list's place (it shares its spot with the status line).
    void setActionMasterPlaceHidden(bool hidden);
    bool actionMasterPlaceHidden() const { return actionMasterPlaceHidden_; }
    void adaptActionPanel(int rows);
    static int actionPanelHeight(int rows);
    // The open phone window's job queue view, or null.
    ActionMasterHdlr* actionMasterHdlr() const;

    // Sync outcome.
    void setSyncing(bool syncing);
    bool syncing() const { return syncing_ > 0; }
    int syncCount() const { return syncing_; }
    void syncSuccessful();
    void syncFailed();
    void syncFailedDelayed();
    void syncTooManyItems(const QVariantMap& userInfo);
    void displayTooManyItems(const QVariantMap& userInfo);
    QString deviceName() const;
    QString phoneNameForMessages() const;

    // The alert sheet.
    void beginAlertSheet(const QString& title, const QString& defaultButton, const QString& alternateButton,
                         const QString& otherButton, std::function<void(int)> didEnd, const QString& message,
                         int height);
    void beginAlertSheet(const QString& title, const QString& defaultButton, const QString& alternateButton,
                         const QString& otherButton, std::function<void(int)> didEnd, const QString& message);
    TarnexAlertSheet* alertSheet() const { return alertSheet_; }
    void warnNoNewPhones();
    void noNewPhoneSheetDidEnd(int returnCode);
    void tellUserToRestartMirrovanceAndQuit();

    // The device list.
    void updateDeviceList();

    // Debugging report and help.
    void displayHelp(bool fromHelpKey, bool shift);
    void sendDebuggingInfo();
    QString createLogFiles(bool includeSyncML);
    void toggleSyncMLAllowed(bool currentlyOn);
    QDialog* sendMailSheet() const { return sendMailSheet_; }
    void openOrganizerTrash();

    // Whether the program runs under its test main (which marks the
    // application object with kUnitTestMarker).
    static bool isRunningUnitTests();
    static constexpr const char* kUnitTestMarker = "marvestoUnitTests";

private:
    void findOutlets();
    void observe();
    void fadeInEnded();
    // Shows a pane's view in the pane view, which it fills.
    void addToPaneView(QWidget* view);
    void showInSyncSheet(QWidget* view);
    // Switches to target, or (logged) to target - 2 x direction when there is
    // no pane at target.
    void switchOrFallBack(int target, int direction);
    void animationDidEnd();
    void showPaneButtonsFor(const QString& key);
    void whitenTextFields(QWidget* view);
    void showProgressValue();
    void closeOverlayNow() { overlay().closeOverlayNow(); }
    QString localized(const char* key) const;

    TarnexWindow* window_ = nullptr;
    DeviceList& list_;
    std::unique_ptr<TarnexControllerServices> services_;
    std::vector<PaneFactory> paneFactories_;
    std::vector<std::unique_ptr<TarnexPaneController>> controllers_;
    std::shared_ptr<MirrovanceDevice> device_;
    int currentPaneIndex_ = -1;
    int previousPaneIndex_ = -1;
    bool deviceNeedsToBeStoredInDeviceList_ = false;
    QString draggedFile_;
    bool newPhone_ = false;
    bool afterFirstSync_ = false;
    bool stopPhoneScan_ = false;
    bool syncDirectionChanged_ = false;
    bool actionMasterPlaceHidden_ = false;
    bool showingPhone_ = false;
    int syncing_ = 0;
    double progressMin_ = 0;
    double progressMax_ = 1;
    double progressValue_ = 0;
    QString shownPictureName_;
    platform::gui::Animation pictureFade_;

    QPointer<QWidget> paneView_;
    QPointer<QPushButton> nextPaneButton_;
    QPointer<QPushButton> previousPaneButton_;
    QPointer<QPushButton> specialPurposeButton_;
    QPointer<QPushButton> disconnectButton_;
    QPointer<TarnexRollOverButton> addPhoneButton_;
    QPointer<TarnexRollOverButton> missingPhoneButton_;
    QPointer<TarnexRollOverButton> syncSettingsButton_;
    QPointer<TarnexRollOverButton> showPhonesButton_;
    QPointer<QLabel> tarnexLabel_;
    QPointer<QLabel> deviceImage_;
    QPointer<QLabel> deviceName_;
    QPointer<QLabel> logoImageView_;
    QPointer<QLabel> messageTextField_;
    QPointer<QLabel> successImageView_;
    QPointer<QWidget> actionMasterPlace_;
    QPointer<QProgressBar> progressIndicator_;
    QPointer<QPushButton> progressStopButton_;
    QPointer<TarnexAlertSheet> alertSheet_;
    QPointer<SheetQueue> sheets_;
    QPointer<QDialog> sendMailSheet_;
    QPointer<QDialog> syncSheetWindow_;
    QPointer<QWidget> syncPanelView_;
    QPointer<TarnexWizardSheet> wizardSheet_;

    mutable std::unique_ptr<BusyOverlayController> overlay_;
};
