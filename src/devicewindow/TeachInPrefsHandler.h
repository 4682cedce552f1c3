#pragma once

#include "lumwick/QVWizardCallbacks.h"
#include "platform/Clock.h"
#include "devicewindow/NSDefaultButton.h"
#include "devicewindow/TeachInTabView.h"
#include "widgets/CollapsibleBox.h"
#include "widgets/CollapsibleBoxDelegate.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QTableWidget>

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>

class BluetoothPairingController;
class DeviceExpert;
class DeviceSelectionController;
class DeviceWindowController;
class MFDevice;
class QAbstractButton;

// The two sheets of a phone window that the interface "TeachInPrefs" holds:
// the teach-in, which finds a new phone with the setup wizard's own
// selection and pairing panes (this handler is their host), has the window
// add it and takes its first backup settings; and the preferences of a known
// phone (auto-connect, backup, user folders, SMS polling, language).
class TeachInPrefsHandler : public QObject,
                            public QVWizardCallbacks,
                            public QVWizardNextPaneSwitch,
                            public CollapsibleBoxDelegate {
    Q_OBJECT

public:
    // Delays and timers, in seconds.
    static constexpr double kAddDelay = 1.2;
    static constexpr double kCancelAddDelay = 0.12;
    static constexpr double kAgentQueryWait = 0.5;
    static constexpr double kAgentPollInterval = 0.34;
    static constexpr double kAgentDoneDelay = 0.1;
    static constexpr int kModeTeachIn = 3;
    // Backup check boxes: organizer types 0-4, then audio, pictures, videos,
    // map files and every other file.
    static constexpr int kFirstOrganizerTag = 10;
    static constexpr int kOrganizerTagCount = 5;
    static constexpr int kAudioTag = 20;
    static constexpr int kPictureTag = 21;
    static constexpr int kVideoTag = 22;
    static constexpr int kMapTag = 23;
    static constexpr int kOtherFilesTag = 24;
    // SMS polling interval, in minutes.
    static constexpr int kMinPollMinutes = 1;
    static constexpr int kMaxPollMinutes = 1440;
    // The error shown when the window could make no entry of the result.
    static constexpr int kAddFailedError = 56;
    // getDeviceLanguageError: 0 the phone names its language, 1 a generic
    // one, 3 unknown.
    static constexpr int kLanguageKnown = 0;
    static constexpr int kLanguageGeneric = 1;
    static constexpr int kLanguageUnknown = 3;

    // Loads the interface with the window as owner; the window keeps the
    // handler (DeviceWindowController::getTeachInPrefs).
    static TeachInPrefsHandler* getTeachInPrefsHandler(DeviceWindowController* owner);
    explicit TeachInPrefsHandler(DeviceWindowController* owner, QObject* parent = nullptr);
    ~TeachInPrefsHandler() override;

    void awakeFromNib();
    void loadPaneControllersAndViews();
    // The user folder keys, in the table's order.
    static const QStringList& userFolderKeys();
    // Where the Shift key is read at the start (tests replace it).
    static void setShiftKeySource(std::function<bool()> source);
    // The folder the phones' agent files are looked for in (none shipped:
    // empty by default).
    static void setAgentFolder(const QString& folder);
    static QString agentFolder();

    // The teach-in.
    QDialog* startWizardTeachIn(DeviceWindowController* window, int* modeTeachIn);
    QDialog* showTeachIn(MFDevice* device, int* modeTeachIn, int* languageError);
    bool windowsMobileAgentTransfer(MFDevice* device, int* modeTeachIn);
    void goToNextPane() override;
    // Alt+Left: from the pairing page back to the selection (the pairing
    // running stops); nothing elsewhere.
    void goToPreviousPane();
    QWidget* deviceError(int error);
    void teachIn_Add(const QVariantMap& properties);
    void teachIn_BackUp();
    void teachIn_Continue();
    void teachIn_Finish();
    void teachIn_Skip();
    void teachIn_Cancel();
    void endTeachIn();
    void teachIn_WaitForAgent();
    void waitForAgentIdle();
    void teachIn_InstallAgent() { }
    // The window could make no entry of the wizard's result: the teach-in
    // ends on the error page (Cancel closes it).
    void addFailed();
    // The phone went away while the teach-in ran.
    void deviceWentAway();
    void updateBackUpExceptions(QWidget* box);
    // The window lets its phone go: the sheets no longer reach it.
    void forgetDevice() { mfDevice_ = nullptr; }
    void setModeTeachIn(int mode);
    int getDeviceLanguageError() const;
    // The language check of a phone: its file-transfer connection type (empty
    // without one) and its stored "Lang.NativeLanguage" (invalid: absent).
    static int languageErrorFor(bool hasDevice, const QString& fileTransferType, const QVariant& nativeLanguage);
    // The text shown for a language check.
    QString languageText(int languageError, const QVariant& nativeLanguage) const;
    // The suffixes of a media-format entry ("mp3/aac/…").
    static QStringList mediaSuffixes(const QString& formatKey);

    // Wizard callbacks.
    void enableChangeToNextPane(bool enable) override;
    bool isValid(const QVariantMap& properties) override;
    std::shared_ptr<DeviceExpert> deviceExpert() const override { return wizardDevice_; }
    void setDeviceExpert(std::shared_ptr<DeviceExpert> expert) override;
    std::shared_ptr<void> device() const override;
    void setDevice(std::shared_ptr<void> device) override;
    QImage getStatusIcon(int) override { return {}; }
    bool validTeachInAction(const QString&) const { return false; }

    // Helpers.
    static QAbstractButton* findTagButton(QWidget* view, int tag);
    static void setTagButton_Enable(QWidget* view, int tag, bool enabled);
    static void setTagButton_State(QWidget* view, int tag, bool state);
    static bool getTagButton_State(QWidget* view, int tag);
    void expandBox(CollapsibleBox* box);
    void teachIn_expandBox(QAbstractButton* button);
    static void animateViewAndSiblings(QWidget* view, const QRect& targetFrame);
    bool collapsibleBox(CollapsibleBox& box, const QRect& frame, bool expanding) override;

    // The preferences sheet.
    QDialog* showDevicePrefs(MFDevice* device);
    void devicePrefs_OK();
    void devicePrefs_Cancel();
    void devicePrefs_Language();
    void devicePrefs_ChangePath() { }
    // Whether a user folder path may be stored: empty, or an existing folder.
    static bool isAcceptableUserPath(const QString& path);
    int numberOfRowsInTableView() const { return int(userPathes_.size()); }
    QVariant tableObjectValue(const QString& column, int row) const;
    void tableSetObjectValue(const QVariant& value, const QString& column, int row);

    // State and outlets, for the window and for tests.
    DeviceWindowController* deviceWindowController() const { return deviceWindowController_; }
    MFDevice* mfDevice() const { return mfDevice_; }
    int* modeTeachInPointer() const { return modeTeachIn_; }
    bool waitForAgent() const { return waitForAgent_; }
    QString finishActionName() const { return finishActionName_; }
    QString selectedTab() const;
    QDialog* teachInPanelSheet() const { return teachInPanelSheet_; }
    TeachInTabView* teachInTabView() const { return teachInTabView_; }
    NSDefaultButton* finishButton() const { return finishButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QLabel* deviceNameField() const { return deviceName_; }
    QLabel* deviceModelField() const { return deviceModel_; }
    QLabel* deviceManufacturerField() const { return deviceManufacturer_; }
    QLabel* pairErrID() const { return pairErrID_; }
    QProgressBar* addDeviceIndicator() const { return addDeviceIndicator_; }
    QCheckBox* noBackupDevice() const { return noBackupDevice_; }
    QCheckBox* backupManually() const { return backupManually_; }
    CollapsibleBox* settingBox() const { return settingBox_; }
    DeviceSelectionController* deviceSelectionController() const { return deviceSelectionController_.get(); }
    BluetoothPairingController* bluetoothPairingController() const { return bluetoothPairingController_.get(); }
    QDialog* devicePrefsPanelSheet() const { return devicePrefsPanelSheet_; }
    QCheckBox* devicePrefsAutomaticConnectionButton() const { return devicePrefsAutomaticConnectionButton_; }
    QCheckBox* devicePrefsNoBackupDevice() const { return devicePrefsNoBackupDevice_; }
    QCheckBox* devicePrefsBackupManually() const { return devicePrefsBackupManually_; }
    QLabel* devicePrefsTeachInLanguage() const { return devicePrefsTeachInLanguage_; }
    QTableWidget* devicePrefsUserPathList() const { return devicePrefsUserPathList_; }
    CollapsibleBox* backupBox() const { return backupBox_; }
    CollapsibleBox* smsBox() const { return smsBox_; }
    QCheckBox* devicePrefsDoCheckSMS() const { return devicePrefsDoCheckSMS_; }
    QLineEdit* devicePrefsDoCheckEveryMinutes() const { return devicePrefsDoCheckEveryMinutes_; }
    QCheckBox* devicePrefsDisplaySMSAlert() const { return devicePrefsDisplaySMSAlert_; }
    QCheckBox* devicePrefsAnimateDock() const { return devicePrefsAnimateDock_; }
    QLabel* devicePrefsDoesNotSMS() const { return devicePrefsDoesNotSMS_; }
    QButtonGroup* deviceSMSSendWarn() const { return deviceSMSSendWarn_; }
    const QStringList& userPathes() const { return userPathes_; }
    const QList<bool>& userPatheEnabled() const { return userPatheEnabled_; }

private:
    void buildTeachInSheet();
    void buildDevicePrefsSheet();
    QWidget* buildBackupChoices(QWidget* parent, const QString& name);
    QWidget* page(const QString& identifier) const;
    void selectTab(const QString& identifier);
    void setFinishAction(const QString& name, std::function<void()> action);
    void finishPressed();
    void stopPanes();
    void endSheet();
    void fillUserPathTable();
    void showPollRange(bool refused);
    bool offersSyncMLIrMC() const;
    QString localized(const char* key) const;

    DeviceWindowController* deviceWindowController_ = nullptr;
    QPointer<QDialog> teachInPanelSheet_;
    QPointer<TeachInTabView> teachInTabView_;
    QPointer<QLabel> deviceName_;
    QPointer<QLabel> deviceManufacturer_;
    QPointer<QLabel> deviceModel_;
    QPointer<QWidget> selectDevicePlace_;
    QPointer<QWidget> pairingDevicePlace_;
    QPointer<CollapsibleBox> phoneBox_;
    QPointer<CollapsibleBox> settingBox_;
    QPointer<QProgressBar> addDeviceIndicator_;
    QPointer<NSDefaultButton> finishButton_;
    QPointer<QPushButton> cancelButton_;
    QPointer<QCheckBox> noBackupDevice_;
    QPointer<QCheckBox> backupManually_;
    QPointer<QPushButton> installAgent_;
    QPointer<QProgressBar> installAgentIndicator_;
    QPointer<QProgressBar> waitForAgentIndicator_;
    QPointer<QLabel> pairErrID_;

    QPointer<QDialog> devicePrefsPanelSheet_;
    QPointer<QCheckBox> devicePrefsAutomaticConnectionButton_;
    QPointer<QCheckBox> devicePrefsNoBackupDevice_;
    QPointer<QCheckBox> devicePrefsBackupManually_;
    QPointer<QCheckBox> devicePrefsScanOnConnect_;
    QPointer<QLabel> devicePrefsTeachInLanguage_;
    QPointer<QPushButton> devicePrefsChangePath_;
    QPointer<QTableWidget> devicePrefsUserPathList_;
    QPointer<QProgressBar> devicePrefsBusyIndicator_;
    QPointer<CollapsibleBox> backupBox_;
    QPointer<CollapsibleBox> smsBox_;
    QPointer<QCheckBox> devicePrefsDoCheckSMS_;
    QPointer<QLineEdit> devicePrefsDoCheckEveryMinutes_;
    QPointer<QLabel> devicePrefsPollRange_;
    QPointer<QCheckBox> devicePrefsDisplaySMSAlert_;
    QPointer<QCheckBox> devicePrefsAnimateDock_;
    QPointer<QLabel> devicePrefsDoesNotSMS_;
    QPointer<QButtonGroup> deviceSMSSendWarn_;

    std::shared_ptr<DeviceExpert> wizardDevice_;
    std::unique_ptr<DeviceSelectionController> deviceSelectionController_;
    std::unique_ptr<BluetoothPairingController> bluetoothPairingController_;

    MFDevice* mfDevice_ = nullptr;
    int* modeTeachIn_ = nullptr;
    QStringList userPathes_;
    QList<bool> userPatheEnabled_;
    QString phoneLanguage_;
    bool waitForAgent_ = false;
    bool updatingTable_ = false;
    QString currentTab_;
    QString finishActionName_;
    std::function<void()> finishAction_;
    QVariantMap addProperties_;
    QVariant oldPollInterval_;
    platform::Timer addTimer_;
    platform::Timer cancelAddTimer_;
    platform::Timer agentTimer_;
    platform::Timer agentDoneTimer_;
};
