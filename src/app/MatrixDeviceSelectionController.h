#pragma once

#include "app/TarnexDeviceMatrix.h"
#include "app/TarnexPanes.h"

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

class CommonAsyncDeviceIdentifier;
class DeviceExpert;
class DeviceList;

// The helpers of the phone matrix that work on a device-list entry by index.
namespace devicematrix {

constexpr const char* kSyncEngineEnabled = "SyncEngineEnabled";
constexpr const char* kSyncEnvironment = "Common.SyncEnvironment";
constexpr const char* kSyncWorkEnvironment = "Common.SyncWorkEnvironment";
constexpr const char* kSyncEngineSwitchedOnOff = "DZ-SyncEngineSwitchedOnOff";
constexpr const char* kStateFilePrefix = "SyncEngine-State-";
constexpr const char* kOtherDataFolder = "Other Data";

// The folder of a phone's own temporary data: "<model>-<serial>" in the
// program's temp-data folder.
QString tempDataPath(const QVariantMap& entry);
// Whether the phone's work (else stored) sync environment has the sync
// engine on; NO without entry or environment.
bool isSyncEngineSwitchedOn(const DeviceList& list, int index);
// Turns the phone's sync engine off in both environments, deletes the four
// state files of the engine and posts "DZ-SyncEngineSwitchedOnOff" with the
// serial number. Nothing without an environment.
void switchOffSyncEngine(DeviceList& list, int index);
// Whether a Bluetooth phone is paired with this computer.
bool deviceIsPaired(const QVariantMap& entry);

}   // namespace devicematrix

// The pane "Your Phones": the matrix of known phones, and the hand-over of a
// chosen phone to the connecting pane. A phone is shown when it has a USB
// port or is paired over Bluetooth; each cell's tag is its device-list index.
class MatrixDeviceSelectionController : public TarnexPaneController {
public:
    static constexpr double kRebuildDelay = 0.12;
    static constexpr double kStopScanWait = 1.0;
    static constexpr double kNextCandidateDelay = 0.25;
    static constexpr double kChooseTextDelay = 0.5;
    // What a candidate is asked, in this order.
    static QStringList identificationCommands();
    // The search's progress: N candidates at the start, R still waiting, the
    // running one at percent.
    static double searchProgress(int candidates, int waiting, double percent);

    // The phones the platform's Bluetooth setup has seen: one "Info.plist"
    // record per phone in a folder of its own under the "Phones" folder.
    static constexpr const char* kSeenPhoneIdentification = "Device.Identification";
    static constexpr const char* kSeenPhoneRecord = "Device.iSync";
    static constexpr const char* kSeenPhoneSupported = "Device.Supported";
    static QString seenPhonesFolder();
    // One entry per readable record with maker and model, in folder-name
    // order: "Device.Identification" is "<maker>+<model>", "Device.iSync"
    // the record, "Device.Supported" whether the identification is among
    // supportedIdentifications. Unreadable or incomplete records are skipped.
    static QVariantList getSeenPhones(const QString& folder, const QStringList& supportedIdentifications);
    // The same for seenPhonesFolder() and the models of this edition.
    static QVariantList getSeenPhones();
    // Moves a history phone's mirror archive into folder under a name that
    // is free there (an existing file is never replaced); an empty folder
    // means the user's trash. Answers whether the archive was moved.
    static bool saveArchiveTo(const QString& archive, const QString& folder);

    // The program that sets Bluetooth phones up, and how often it is checked
    // for while it runs.
    static constexpr const char* kBluetoothAssistant = "Bluetooth Setup Assistant";
    static constexpr double kAssistantCheckInterval = 1.0;
    // Starts a program by name; whether a program of that name runs.
    struct ApplicationLauncher {
        std::function<bool(const QString&)> launch;
        std::function<bool(const QString&)> isRunning;
    };
    // The platform's launcher: the name stands for the desktop's Bluetooth
    // setup programs.
    static ApplicationLauncher platformLauncher();

    MatrixDeviceSelectionController();
    ~MatrixDeviceSelectionController() override;

    QString defaultNibName() const override;
    QString localizationKey() const override;
    void startProcessing() override;
    void stopProcessing() override;

    void activate();
    void deactivate();
    void updateDeviceList();

    // Connects the phone at the device-list index (negative: nothing).
    void connectToDevice(int index);
    bool connectDeviceNr(int index);
    bool connectViaUSB(const QVariantMap& entry);
    // Whether the phone of a device-list entry is attached by USB now: a
    // modem of its ids whose serial number matches, or, when the phone or
    // the modem gives none, the modem of its ids at the entry's port.
    static bool isAttachedOverUSB(const QVariantMap& entry);
    bool connectViaBluetooth(const QVariantMap& entry);
    // Asks whether to remove the phone at the index, and removes it.
    void deleteDevice(int index);
    void switchOffSync(int index);
    bool canSwitchOffSync(int index) const;
    // Forgets what the program keeps of the phone at the index (its temporary
    // data, its sync engine and sync client) but keeps its entry.
    void forgetPhone(int index);
    // Adding the phone object's phone was given up: its entry, temporary
    // data and sync client go.
    void cancelDeviceAdding();
    // The device-list entry for a wizard result, made by the shared entry
    // makers; NO when none could be made.
    bool makeDeviceDictionary(QVariantMap* newDictionary, bool* isNew, const QVariantMap& wizard);
    // Starts the Bluetooth setup assistant and waits, running the event loop,
    // until it has ended. NO when it could not be started.
    bool openAssistant();
    void setApplicationLauncher(ApplicationLauncher launcher) { launcher_ = std::move(launcher); }

    // The search for new phones: the USB modem phones attached now are
    // identified one after the other and the supported ones added.
    void newHandset(const QString& how) override;
    // Adding a phone shows the main window's wizard sheet first (nothing in
    // the program sets it; "add" clears it).
    void setUseAssistant(bool use);
    bool useAssistant() const { return useAssistant_; }
    static constexpr double kAssistantFinishedDelay = 0.5;
    void stopScanning();
    int candidatesLeft() const { return int(checkDevices_.size()); }

    TarnexDeviceMatrix* matrix() const { return matrix_; }
    QLabel* statusLine() const { return displayString_; }
    int lastItem() const { return lastItem_; }
    bool isScanning() const { return isScanning_; }

protected:
    DeviceList* deviceList() const;
    void setStatus(const QString& text);

private:
    // The wizard sheet's step of newHandset; its end hands a chosen phone to
    // the connecting pane, else searches USB.
    void runAssistant();
    void assistantEnded(std::shared_ptr<DeviceExpert> chosen);
    void addNewDevicesNew();
    void processNextDevice();
    void deviceIdentificationCallback(CommonAsyncDeviceIdentifier& identifier);
    void processDisplay(double percent);
    void deviceIdentificationFinished(CommonAsyncDeviceIdentifier* identifier);
    void allDevicesProcessed(bool stopped);

    void buildView();
    void removeDevice(int index);

    QPointer<TarnexDeviceMatrix> matrix_;
    QPointer<QLabel> displayString_;
    bool isConnected_ = false;
    bool useSelectionImmediatly_ = false;
    int lastItem_ = -1;
    bool connecting_ = false;
    bool isScanning_ = false;
    QList<QVariantMap> checkDevices_;
    int numPhonesBefore_ = 0;
    int phonesToCheck_ = 0;
    CommonAsyncDeviceIdentifier* curIdentifier_ = nullptr;
    std::weak_ptr<const void> curIdentifierAlive_;
    QVariantMap curCandidate_;
    quint64 stopObserver_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    ApplicationLauncher launcher_ = platformLauncher();
    bool useAssistant_ = false;
};
