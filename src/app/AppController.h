#pragma once

#include "app/AppControllerServices.h"
#include "app/DevicePreprocessor.h"
#include "app/DockBadges.h"

#include "devicewindow/DeviceWindowHost.h"

#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "widgets/QVLargeSpinProgress.h"

#include <QDialog>
#include <QImage>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

class MFDevice;
class MobileDeviceDocument;
class QMessageBox;

// The one application controller: registers the defaults, switches the debug
// flags, opens the named logs, keeps the icon's badges, answers the
// application menu and runs the quit protocol. Other windows reach it through
// sharedAppController() for the sync-entity names, the debug flags, the
// wizard entry object, the trash period and the dead-alias question.
class AppController : public QObject, public DeviceWindowHost {
    Q_OBJECT

public:
    static constexpr int kDefaultEmptyTrashPeriod = 61;
    static constexpr double kAskToWaitSlice = 0.12;
    static constexpr double kSafeQuitSlice = 0.99;
    // A safe close that has not ended after this many slices (about ten
    // minutes) gives up waiting and quits.
    static constexpr int kSafeQuitMaxPasses = 600;
    static constexpr double kFadeStep = 0.2;
    static constexpr double kFadeInterval = 0.04;

    explicit AppController(QObject* parent = nullptr);
    ~AppController() override;

    // The instance from awakeFromNib() until it is destroyed; null otherwise.
    static AppController* sharedAppController();

    // Start steps: registers the defaults, sets the flags, opens the logs,
    // writes the start line and listens for the badge notifications.
    void awakeFromNib();

    // Replaces what the controller asks of documents, copies, trash and wizard.
    void setServices(std::unique_ptr<AppControllerServices> services);
    AppControllerServices& services() { return *services_; }

    QString dbName(int index) const;
    QString dbName(int index) override { return static_cast<const AppController*>(this)->dbName(index); }
    bool debugEnabled() override { return debugEnabled_; }
    bool debugEnabled() const { return debugEnabled_; }
    bool syncProtocolEnabled() const { return syncProtocolEnabled_; }
    // The setup wizard's entry object, made on the first call.
    QObject* theQVUIKit();
    // false on the first call in the process, true on every later one.
    bool registerWindow(const void* window = nullptr);
    bool registerWindow(DeviceWindowController* window) override
    {
        return registerWindow(static_cast<const void*>(window));
    }
    bool registerWindow(std::nullptr_t) { return registerWindow(static_cast<const void*>(nullptr)); }
    // Days after which the organizer trash is emptied; an absent, zero or
    // non-numeric value is stored and answered as 61.
    int getEmptyTrashPeriod();

    // A phone alias whose target is gone (a symbolic link that points nowhere).
    static bool isDeadAlias(const QString& path);
    // The question about a dead alias, ready to run on the window.
    QMessageBox* makeDeadAliasQuestion(const QString& path, QWidget* window) const;
    // Asks it: false when the user keeps the alias and quits the attempt
    // ("AliasQuit", the default), true when the alias is to be deleted.
    bool askKillDeadAlias(const QString& path, QWidget* window);

    // "2.1.10" -> "21a": each number in lower-case hexadecimal, joined.
    static QString updateVersionCode(const QString& version);
    // Whether the string table gives the web address of the key.
    static bool hasWebAddress(const char* key);
    void openWebAddress(const char* key);
    void check4Updates();
    // Opens the manual; with shift and an open phone, sends that phone's
    // debugging information instead. fromHelpKey: the request came from the
    // "?" key, which always opens the manual; bookmark: where to open it.
    // With no manual anywhere, a message names where it was looked for.
    void openManual(bool fromHelpKey, bool shift, std::optional<unsigned> bookmark = std::nullopt);
    QMessageBox* manualMissingMessage() const { return manualMessage_; }
    // Switches the SyncML protocol (and its log) on or off and stores it.
    void enableDebugging();

    // Badges.
    dockbadges::Counts badgeCounts() const;
    void updateDockIcon();
    QImage dockIcon() const { return dockIcon_; }
    void animateDockIcon(const platform::Notification& notification);

    // Quit protocol.
    // The user asked to quit (menu, close button, window manager): waits for
    // running backups when asked to, then terminates.
    void requestQuit();
    void askToWait();
    void quitNow();
    void quitCancel();
    void doSafeQuit();
    // Stops the USB copies, saves the trash, posts "AppWillQuit" once, fades
    // the main window out and ends the program with status 0.
    void terminate();
    bool isTerminating() const { return terminating_; }
    QDialog* quitDialog() const { return quitDialog_; }

    // The window to fade out at the end.
    void setMainWindow(QWidget* window);
    // How the program ends (tests record it instead).
    void setExitHandler(std::function<void(int)> handler);

    // Deletes the defaults of the known phones and the application support
    // folder: a fresh start.
    static void createPristineEnvironment();
    // Appends "nix" to the file; false when nothing could be written.
    static bool createDummyFile(const QString& path);
    static QString ourApplicationSupportFolder();

    // Phone connections (the device windows' host).
    static constexpr const char* kLiveStateFormat = "%1\tConnected";
    static constexpr const char* kBackupCenter = "Backup ToolbarIdentifier";
    static constexpr const char* kConnectionChanged = "NotifyMobileDeviceConnectionChanged";
    static constexpr const char* kHistoryDateFormat = "%d. %b %y, %H:%M";
    static constexpr int kNewEntryCapacity = 48;
    static QString liveStateInfo();
    void createConnection(const QVariantMap& entry, const QString& connType, DeviceWindowController* window,
                          bool isNew, const QString& stateInfo) override;
    int tryToFindBluetoothDevice(const QVariantMap& entry, DeviceWindowController* window) override;
    int tryToFindUSBSerialDevice(const QVariantMap& entry, DeviceWindowController* window) override;
    int tryToFindUSBStoragDevice(const QVariantMap& entry, DeviceWindowController* window) override;
    void scanReturnedUSBDevice(const QVariantMap& scan, DeviceWindowController* window) override;
    void connectWithHistoryDevice(const QVariantMap& entry, DeviceWindowController* window) override
    {
        connectWithHistoryDevice(entry, window, liveStateInfo(), QString());
    }
    void connectWithHistoryDevice(const QVariantMap& entry, DeviceWindowController* window, const QString& stateInfo,
                                  const QString& mirrorPath) override;
    void newDocument() override;
    DeviceWindowController* newDocumentWindow() override;
    bool hasDevice(const DeviceWindowController* window) override;
    void cancelClose(DeviceWindowController* window) override;
    void setForceQuitAndIgnore(DeviceWindowController* window) override;
    // Field lengths and the Samsung preprocessing.
    void preprocessDevice(MFDevice& device) { preprocessor_.preprocessDevice(device); }
    void endAction(const QVariantMap& prepDict, int32_t error) { preprocessor_.endAction(prepDict, error); }
    void preprocessingDone(int32_t returnStatus) { preprocessor_.preprocessingDone(returnStatus); }
    QString devFieldLenFilePath(MFDevice& device) const { return DevicePreprocessor::devFieldLenFilePath(device); }
    DevicePreprocessor& preprocessor() { return preprocessor_; }

    // Look-ups over the open phone documents.
    DeviceWindowController* checkDeviceAlreadyConnected(const QString& serial, bool activate, bool isHistory) override;
    bool checkIfIsAlreadyConnected(const QString& serial, bool activate) override;
    bool checkIfIsHistoryConnected(const QString& serial, bool activate) override;
    MobileDeviceDocument* documentForSerialNumber(const QString& serial) const;
    MobileDeviceDocument* documentForWindow(const DeviceWindowController* window) const;
    void doToAllDeviceWindowControllers();
    // The front phone window, or null.
    DeviceWindowController* getAWindowController() const;
    // The 32 x 32 phone picture of an entry with its connection mark.
    QImage getDeviceImage(const QVariantMap& entry) const;
    // Records each busy step a connection shows (tests).
    void setBusyStepObserver(std::function<void(int)> observer) { busySteps_ = std::move(observer); }

private:
    void busy(DeviceWindowController* window, int percent);
    void continueQuit();
    void openLogs();
    void endWait(bool stopped);
    void fadeStep();

    std::unique_ptr<AppControllerServices> services_;
    QStringList dbNames_;
    bool debugEnabled_ = false;
    bool syncProtocolEnabled_ = false;
    bool anyWindowRegistered_ = false;
    std::unique_ptr<QObject> wizardEntry_;
    QImage dockIcon_;
    QPointer<QDialog> quitDialog_;
    QPointer<QMessageBox> manualMessage_;
    QPointer<QVLargeSpinProgress> quitSpinner_;
    platform::Timer waitTimer_;
    platform::Timer fadeTimer_;
    qreal fadeAlpha_ = 1.0;
    bool terminating_ = false;
    QPointer<QWidget> mainWindow_;
    std::function<void(int)> exit_;
    DevicePreprocessor preprocessor_;
    std::function<void(int)> busySteps_;
    bool quittingDocuments_ = false;
};
