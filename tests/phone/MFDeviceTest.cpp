#include "../links/BluetoothPhoneFixture.h"
#include "TestFiles.h"
#include "links/FTPFile.h"
#include "phone/FTPFileSystem.h"
#include "phone/FilesMirror.h"
#include "platform/PropertyList.h"
#include <QTemporaryDir>

#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDescription.h"
#include "jobs/QVActionMachine.h"
#include "jobs/QVActionPipe.h"
#include "InMemoryFileTransfer.h"
#include "links/DZDeviceConnection.h"
#include "links/LinkCodes.h"
#include "links/QVDeviceCallback.h"
#include "phone/DeviceDataManager.h"
#include "phone/DeviceGUINotificator.h"
#include "phone/MFDevice.h"
#include "phone/PhoneFolderRules.h"
#include "phone/SharedSyncInfo.h"
#include "phone/DeviceSyncEngineHandler.h"
#include "phone/SyncEnvironmentRules.h"
#include "platform/NotificationCenter.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include <QSet>

namespace {

using platform::BluetoothUuid;
using platform::SdpServiceRecord;

const QString kProtocolLG = QStringLiteral("Protocol LG");
const QString kProtocolMotorola = QStringLiteral("Protocol Motorola V3 Series");
const QString kProtocolSyncML = QStringLiteral("UNKNOWN");   // class "ATObexServer-SyncML"

QVariantMap spec(const char* type, int channel)
{
    return {{QStringLiteral("type"), QString::fromLatin1(type)}, {QStringLiteral("channel"), channel}};
}

// A connection of a slot whose class lands later: it registers the given
// specification and opens with the given result; a silent one never reports
// its close.
class FakeConnection : public DZDeviceConnection {
public:
    FakeConnection(MFDevice& device, const QString& name, const QVariantMap& specification)
        : DZDeviceConnection(&device, nullptr, device.devInfo())
    {
        if (!name.isEmpty())
            device.registerConnection(name, specification);
    }
    int openConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        return openResult != 0 ? openResult : DZDeviceConnection::openConnection(callback);
    }
    int closeConnection(const std::shared_ptr<QVDeviceCallback>& callback) override
    {
        closedAt = platform::Clock::instance().now();
        if (silentClose) {
            heldClose = callback;
            return 0;
        }
        return DZDeviceConnection::closeConnection(callback);
    }

    int openResult = 0;
    bool silentClose = false;
    double closedAt = -1;
    std::shared_ptr<QVDeviceCallback> heldClose;
};

MFDevice::ConnectionMaker fake(const char* name, std::optional<QVariantMap> specification = std::nullopt)
{
    return [name, specification](MFDevice& device, const QVariantMap&) {
        return std::make_unique<FakeConnection>(device, specification ? QString::fromLatin1(name) : QString(),
                                                specification.value_or(QVariantMap()));
    };
}

MFDevice::FileTransferMaker inMemoryFTP(QVariantMap specification)
{
    return [specification](MFDevice& device, const QVariantMap&) {
        return std::make_unique<InMemoryFileTransfer>(device, specification);
    };
}

// An empty maker gets the device's own connection; these make none.
MFDevice::ConnectionMaker noPushConnection()
{
    return [](MFDevice&, const QVariantMap&) { return std::unique_ptr<DZDeviceConnection>(); };
}

MFDevice::FileTransferMaker noFileTransferConnection()
{
    return [](MFDevice&, const QVariantMap&) { return std::unique_ptr<FileTransferConnection>(); };
}

FakeConnection* asFake(DZDeviceConnection* connection)
{
    return dynamic_cast<FakeConnection*>(connection);
}

std::shared_ptr<QVDeviceCallback> polling()
{
    return QVDeviceCallback::pollingObject();
}

bool ended(const std::shared_ptr<QVDeviceCallback>& callback)
{
    return testing_support::runUntil([&] { return !callback->isBusy(); }, 1.0);
}

// The parts the device reaches through its makers. Each writes what it is
// asked into a shared step log, so a test sees the order of the calls.
class RecordingHandler : public DeviceSyncEngineHandler {
public:
    explicit RecordingHandler(QStringList* steps = nullptr)
        : steps(steps)
    {
        log("handler");
    }
    int trickleSyncEngine(int organizerType) override
    {
        trickled.append(organizerType);
        log(QStringLiteral("trickle %1").arg(organizerType));
        return trickleResult;
    }
    bool isBusy() const override { return busy; }
    void updateEnabledEntities() override { log("updateEnabledEntities"); }
    void announceQuit() override { log("handler announceQuit"); }
    void log(const QString& step) const
    {
        if (steps)
            steps->append(step);
    }

    QStringList* steps;
    QList<int> trickled;
    int trickleResult = 0;
    bool busy = false;
};

class RecordingSyncEnvironment : public SyncEnvironmentRules {
public:
    RecordingSyncEnvironment(QStringList& steps, bool engine)
        : steps(steps)
        , engine(engine)
    {
    }
    bool setupSyncEvironment() override
    {
        steps.append("setupSyncEvironment");
        return false;
    }
    bool wantsToUseSyncEngineAtAll() const override { return engine; }
    bool wantsToUseSyncEngineForProperty(int type) const override { return engine && engineTypes.contains(type); }
    bool wantsSyncChangesFromDevice(int type) const override { return fromDevice.contains(type); }
    bool wasDatabaseSynced(int type) const override { return synced.contains(type); }
    bool wantsToBackupOrganizerType(int type) const override { return !notBackedUp.contains(type); }
    void syncEngineDeviceActive(const QVariantMap& userInfo) override { engineNotes.append(userInfo); }

    QStringList& steps;
    bool engine;
    QSet<int> engineTypes, fromDevice, synced, notBackedUp;
    QList<QVariantMap> engineNotes;
};

class RecordingFolders : public PhoneFolderRules {
public:
    explicit RecordingFolders(QStringList& steps)
        : steps(steps)
    {
    }
    bool updateCapabilities() override
    {
        steps.append("updateCapabilities");
        return false;
    }
    void checkIfMirrorMustBeRenamed() override { steps.append("checkIfMirrorMustBeRenamed"); }
    void preProcessDevice() override { steps.append("preProcessDevice"); }
    QStringList& steps;
};

class RecordingDataManager : public DeviceDataManager {
public:
    RecordingDataManager(QStringList& steps, QSet<int> pending)
        : steps(steps)
        , pending(std::move(pending))
    {
        steps.append("dataManager");
    }
    ~RecordingDataManager() override { steps.append("~dataManager"); }
    void saveFinderState() override { steps.append("saveFinderState"); }
    void loadFinderState() override { steps.append("loadFinderState"); }
    FilesMirror* mirror() const override { return heldMirror; }
    void setMirror(FilesMirror* mirror) override { heldMirror = mirror; }
    OrganizerArchive* archive() const override { return nullptr; }
    bool hasChangesForSyncEngine(int type) const override { return pending.contains(type); }
    FilesMirror* heldMirror = nullptr;
    QStringList& steps;
    QSet<int> pending;
};

class RecordingNotificator : public DeviceGUINotificator {
public:
    explicit RecordingNotificator(QStringList& steps)
        : steps(steps)
    {
        steps.append("guiNotificator");
    }
    ~RecordingNotificator() override { steps.append("~guiNotificator"); }
    void announceQuit() override { steps.append("gui announceQuit"); }
    QStringList& steps;
};

class FakeGeneralSyncInfo : public SharedSyncInfo {
public:
    bool isBusy() const override { return busy; }
    void announceQuit() override { ++quits; }
    bool busy = false;
    int quits = 0;
};

// A file-transfer connection over Bluetooth (the in-memory one has no link
// type) that may recognise the phone's serial number.
class BluetoothFileTransfer : public InMemoryFileTransfer {
public:
    BluetoothFileTransfer(MFDevice& device, QStringList* steps, bool knowsSerial)
        : InMemoryFileTransfer(device, spec("Bluetooth", 7))
        , steps(steps)
        , knowsSerial(knowsSerial)
    {
    }
    ~BluetoothFileTransfer() override
    {
        if (steps)
            steps->append("~ftp");
    }
    QString getConnectionType() const override { return QStringLiteral("Bluetooth"); }
    bool preProcessSerialNumber(const QString&) override { return knowsSerial; }
    QStringList* steps;
    bool knowsSerial;
};

class MFDeviceTest : public BluetoothPhoneFixture {
protected:
    void SetUp() override
    {
        BluetoothPhoneFixture::SetUp();
        makers.bluetoothAvailable = MFDevice::isBTConnectionAvailable;
    }

    static QVariantMap row(const QString& protocol, const char* manufacturer = "LG", QVariantMap extra = {})
    {
        extra.insert(QStringLiteral("Dorvanti.Model"), QStringLiteral("KG800"));
        extra.insert(QStringLiteral("Dorvanti.Manufacturer"), QString::fromLatin1(manufacturer));
        extra.insert(QStringLiteral("Dorvanti.SyncMLProtocol"), protocol);
        return extra;
    }

    // A Bluetooth phone with Dial-up Networking on channel 1 and Object Push
    // on channel 9.
    void addBluetoothPhone(bool paired = true)
    {
        stack->addDevice(address(), QStringLiteral("Phone"), paired,
                         {SdpServiceRecord::make({BluetoothUuid::uuid16(0x1103)}, QString(), 1),
                          SdpServiceRecord::make({BluetoothUuid::uuid16(0x1106)}, QString(), 7),
                          SdpServiceRecord::make({BluetoothUuid::uuid16(0x1105)}, QString(), 9)},
                         true);
    }

    std::unique_ptr<MFDevice> make(const char* connType, QVariantMap dict, QVariantMap dbRow,
                                   std::shared_ptr<QVSyncDeviceDescription> description = nullptr)
    {
        deviceDict = std::make_shared<QVariantMap>(std::move(dict));
        return std::make_unique<MFDevice>(QString::fromLatin1(connType), deviceDict, std::move(dbRow),
                                          std::move(description), makers);
    }
    std::unique_ptr<MFDevice> makeBluetooth(QVariantMap dbRow, QVariantMap extraDict = {})
    {
        QVariantMap dict = connectionDict();
        dict.insert(extraDict);
        return make(MFDevice::kBluetooth, dict, std::move(dbRow));
    }

    static QStringList pipeOf(const MFDevice& device, const char* service)
    {
        const auto pipe = device.actionMachine()->pipeForAction(QString::fromLatin1(service));
        return pipe ? pipe->actionTypes() : QStringList();
    }

    // The data manager, its notifier, the rules and the busy overlay, all
    // writing to the step log; the sync engine on or off.
    void recordParts(bool engine, QSet<int> pending = {})
    {
        makers.dataManager = [this, pending](MFDevice&) {
            auto made = std::make_unique<RecordingDataManager>(steps, pending);
            dataManager = made.get();
            return made;
        };
        makers.guiNotificator = [this](DeviceDataManager&) { return std::make_unique<RecordingNotificator>(steps); };
        makers.syncEnvironment = [this, engine](MFDevice&) {
            auto made = std::make_unique<RecordingSyncEnvironment>(steps, engine);
            environment = made.get();
            return made;
        };
        makers.phoneFolders = [this](MFDevice&) { return std::make_unique<RecordingFolders>(steps); };
        makers.busyProgress = [this](int percent) { steps.append(QString::number(percent)); };
        makers.syncEngineHandler = [this](MFDevice&) {
            auto made = std::make_unique<RecordingHandler>(&steps);
            handler = made.get();
            return made;
        };
    }
    void bluetoothFTP(bool knowsSerial = false)
    {
        makers.obexFTP = [this, knowsSerial](MFDevice& device, const QVariantMap&) {
            return std::make_unique<BluetoothFileTransfer>(device, &steps, knowsSerial);
        };
    }

    MFDevice::Makers makers;
    std::shared_ptr<QVariantMap> deviceDict;
    QStringList steps;
    RecordingDataManager* dataManager = nullptr;
    RecordingSyncEnvironment* environment = nullptr;
    RecordingHandler* handler = nullptr;
};

} // namespace

TEST_F(MFDeviceTest, PausesComeFromTheSettingsThenADescriptionValueThenTheDefaults)
{
    struct Case {
        const char* what;
        QVariant stored;
        QVariant described;
        float expected;
    };
    const Case cases[] = {
        {"nothing: default", {}, {}, 0.1f},
        {"empty description value: default", {}, QStringLiteral(""), 0.1f},
        {"description value", {}, QStringLiteral("0.7"), 0.7f},
        {"settings value wins", 3, QStringLiteral("0.7"), 3.0f},
        {"settings text 0 wins", QStringLiteral("0"), QStringLiteral("0.7"), 0.0f},
        {"wrong-typed setting is passed over", QVariantList{1, 2}, QStringLiteral("0.7"), 0.7f},
    };
    for (const Case& c : cases) {
        auto description = QVSyncDeviceDescription::syncDeviceFromProtocol(kProtocolSyncML);
        ASSERT_TRUE(description);
        QVariantMap described;
        QVariantMap dict;
        if (c.described.isValid())
            described.insert(QStringLiteral("SyncML.PauseAnyAction"), c.described);
        for (const char* other : {"PauseAfterFTPAction", "PauseAfterNormalClose", "PauseAfterSyncMLClose"})
            described.insert(QStringLiteral("SyncML.") + QLatin1String(other), QString());
        description->setDeviceFieldLengths(described);
        if (c.stored.isValid())
            dict.insert(QStringLiteral("Common.PauseAnyAction"), c.stored);
        const auto device = make(MFDevice::kHistory, dict, row(kProtocolSyncML), description);
        EXPECT_FLOAT_EQ(device->pauseAfterAnyAction(), c.expected) << c.what;
        EXPECT_FLOAT_EQ(device->pauseAfterAnyFTPAction(), 0.2f) << c.what;
        EXPECT_FLOAT_EQ(device->pauseAfterNormalClose(), 1.0f) << c.what;
        EXPECT_FLOAT_EQ(device->pauseAfterSyncMLClose(), 2.5f) << c.what;
    }
}

TEST_F(MFDeviceTest, SMSDefaultsFillOnlyWhatIsMissingOrOutOfRange)
{
    struct Case {
        QVariant interval;
        int expected;
    };
    for (const Case& c : {Case{0, 5}, Case{-3, 5}, Case{QVariant(), 5}, Case{7, 7}}) {
        QVariantMap dict{{QStringLiteral("Common.SMS_DoPoll"), false}};
        if (c.interval.isValid())
            dict.insert(QStringLiteral("Common.SMS_PollInterval"), c.interval);
        const auto device = make(MFDevice::kHistory, dict, row(kProtocolLG));
        EXPECT_EQ(device->devInfo()->nonNilValueFromDeviceSpec(QStringLiteral("Common.SMS_PollInterval")), c.expected);
        EXPECT_FALSE(device->devInfo()->nonNilBOOLFromDeviceSpec(QStringLiteral("Common.SMS_DoPoll")));
        EXPECT_TRUE(device->devInfo()->nonNilBOOLFromDeviceSpec(QStringLiteral("Common.SMS_ShowInfoPanel")));
        EXPECT_EQ(device->devInfo()->nonNilValueFromDeviceSpec(QStringLiteral("Common.SMS_SEND_WARN")), 1);
    }
}

TEST_F(MFDeviceTest, AHistoryDeviceHasNoLinksHandlerOrTimerAndOnlyTheFixedPipes)
{
    addBluetoothPhone();
    recordParts(true);
    makers.syncML = fake("SyncML/IrMC", spec("Bluetooth", 3));
    bluetoothFTP();
    auto device = make(MFDevice::kHistory, connectionDict(),
                       row(kProtocolLG, "LG", {{"Dorvanti.SMSProtocol", "LG"}, {"Dorvanti.OBEXFileSupport", "1"}}));
    EXPECT_TRUE(device->isHistory());
    EXPECT_EQ(device->syncProtocol(), kProtocolLG);
    // Even with the engine wanted: no environment read, no handler, no timer.
    EXPECT_FALSE(steps.contains("setupSyncEvironment"));
    EXPECT_EQ(handler, nullptr);
    EXPECT_FALSE(device->isSyncEngineTimerRunning());
    EXPECT_TRUE(device->connectionInfo().isEmpty());
    EXPECT_FALSE(device->hasDUNServices() || device->hasSMSKitAsyncConnection() || device->hasSyncMLServices()
                 || device->hasFTPServices());
    QSet<QStringList> pipes;
    for (const auto& pipe : device->actionMachine()->actionPipes())
        pipes.insert(pipe->actionTypes());
    EXPECT_EQ(pipes, (QSet<QStringList>{{"GenericPipe", "System", "Virtual"}, {"QuickTime"}}));
    // The SMS defaults changed the settings, yet nothing is written back.
    EXPECT_TRUE(device->devInfo()->isDirty());
    EXPECT_FALSE(device->devInfo()->isAlreadyInDeviceList());
    const auto dict = deviceDict;
    device.reset();
    MFDeviceInfo check(dict, QVariantMap(), nullptr, false);
    EXPECT_FALSE(check.isAlreadyInDeviceList());
}

TEST_F(MFDeviceTest, BluetoothRegistrationFollowsTheDictionaryAndTheManufacturer)
{
    struct Case {
        const char* what;
        const char* manufacturer;
        QVariant deviceChannel;
        bool paired;
        bool basebandFails;
        bool pcSuite;
        bool ftp;
        bool serial;
    };
    const Case cases[] = {
        {"Nokia in odd case", "nOKIA", 4, true, false, true, true, true},
        {"channel 255", "LG", 255, true, false, false, false, true},
        {"no channel", "LG", QVariant(), true, false, false, false, true},
        {"unpaired phone: nothing", "nOKIA", 4, false, false, false, false, false},
        {"baseband open fails: nothing", "nOKIA", 4, true, true, false, false, false},
    };
    for (const Case& c : cases) {
        stack = std::make_shared<platform::BluetoothStackSimulated>();
        platform::BluetoothStack::setShared(stack);
        addBluetoothPhone(c.paired);
        if (c.basebandFails)
            stack->setHasAdapter(false);
        QVariantMap extra;
        if (c.deviceChannel.isValid())
            extra.insert(QStringLiteral("BT.DeviceChannel"), c.deviceChannel);
        const auto device = makeBluetooth(row(kProtocolLG, c.manufacturer), extra);
        EXPECT_EQ(device->btNokiaPCSuitePushRegistered(), c.pcSuite) << c.what;
        EXPECT_EQ(device->btFTPRegistered(), c.ftp) << c.what;
        EXPECT_EQ(device->btSerialPortRegistered(), c.serial) << c.what;
        EXPECT_EQ(device->hasDUNServices(), c.serial) << c.what;
        if (c.serial)
            EXPECT_EQ(device->connectionInfo().value("Serial").toMap(), spec("Bluetooth", 1)) << c.what;
        else
            EXPECT_TRUE(device->connectionInfo().isEmpty()) << c.what;
    }
    // An unparsable stored address: no Bluetooth registration, yet the device opens.
    const auto unparsable = make(MFDevice::kBluetooth, {{"BT.BT_Address", "not an address"}}, row(kProtocolLG));
    EXPECT_FALSE(unparsable->btSerialPortRegistered());
    EXPECT_TRUE(unparsable->connectionInfo().isEmpty());
    EXPECT_EQ(unparsable->actionMachine()->actionPipes().size(), 2);
}

TEST_F(MFDeviceTest, ServicesAnswerTheirResultCodes)
{
    addBluetoothPhone();
    makers.syncML = fake("SyncML/IrMC", spec("Bluetooth", 3));
    makers.objectPush = fake("Push", spec("Bluetooth", 9));
    makers.obexFTP = inMemoryFTP(spec("Bluetooth", 7));
    auto device = makeBluetooth(row(kProtocolSyncML, "Nokia", {{"Dorvanti.OBEXFileSupport", "1"}}));
    device->setNokiaPCSuitePushConnection(fake("PCSuite")(*device, {}));
    ASSERT_TRUE(device->hasSyncMLServices() && device->hasPushServices() && device->hasFTPServices());

    // The PC-suite push is never opened through the service table, but is
    // answered for.
    EXPECT_EQ(device->requestService("PCSuite", polling()), MFDevice::kServiceUnavailable);
    EXPECT_FALSE(device->hasService("PCSuite"));
    auto direct = polling();
    EXPECT_EQ(device->requestPushServicesPCSuite(direct), MFDevice::kServiceOpening);
    ASSERT_TRUE(ended(direct));
    EXPECT_TRUE(device->isConnectionOpen("PCSuite"));

    // Opening, then already open.
    auto opening = polling();
    EXPECT_EQ(device->requestService("Push", opening), MFDevice::kServiceOpening);
    ASSERT_TRUE(ended(opening));
    EXPECT_EQ(opening->returnStatus(), 0);
    EXPECT_EQ(device->callbackPoolCount(), 0);
    auto again = polling();
    EXPECT_EQ(device->requestService("Push", again), MFDevice::kServiceAlreadyOpen);
    EXPECT_TRUE(ended(again));

    // A SyncML open that fails at once.
    struct Case {
        int openResult;
        int expected;
    };
    for (const Case& c : {Case{links::kIOReturnExclusiveAccess, MFDevice::kServiceExclusive},
                          Case{-203, MFDevice::kServiceNoSerialDevice}, Case{links::kIOReturnError, MFDevice::kServiceUnavailable}}) {
        asFake(device->syncMLConnection())->openResult = c.openResult;
        auto callback = polling();
        EXPECT_EQ(device->requestService("SyncML/IrMC", callback), c.expected) << c.openResult;
        EXPECT_TRUE(callback->isBusy());
        EXPECT_EQ(device->callbackPoolCount(), 0) << "an open that never started leaves the pool";
    }
    // Closing.
    EXPECT_EQ(device->requestConnectionClose("Serial", polling()), links::kIOReturnNotOpen);
    EXPECT_EQ(device->requestConnectionClose("SMSKitAsync", polling()), links::kIOReturnUnsupported);
    EXPECT_EQ(device->requestConnectionClose("Nonsense", polling()), links::kIOReturnUnsupported);
    auto closed = polling();
    EXPECT_EQ(device->requestConnectionClose("Push", closed), 0);
    EXPECT_TRUE(ended(closed));
    EXPECT_FALSE(device->isConnectionOpen("Push"));
    // The SyncML codes are the SyncML slot's: elsewhere the same failure is plain.
    asFake(device->objectPushConnection())->openResult = links::kIOReturnExclusiveAccess;
    EXPECT_EQ(device->requestService("Push", polling()), MFDevice::kServiceUnavailable);

    // Unknown names.
    EXPECT_EQ(device->requestService("Nonsense", polling()), MFDevice::kServiceUnavailable);
    EXPECT_FALSE(device->hasService("Nonsense"));
    EXPECT_FALSE(device->isConnectionOpen("Nonsense"));
}

TEST_F(MFDeviceTest, LGOrganizerServicesUseTheSMSKitConnectionOnLGPhonesOnly)
{
    addBluetoothPhone();
    const auto lg = makeBluetooth(row(kProtocolLG, "LG", {{"Dorvanti.SMSProtocol", "LG"}}));
    EXPECT_TRUE(lg->hasService("LGEvents"));
    auto callback = polling();
    EXPECT_EQ(lg->requestService("LGEvents", callback), MFDevice::kServiceOpening);
    ASSERT_TRUE(ended(callback));
    EXPECT_EQ(callback->returnStatus(), 0);
    EXPECT_TRUE(lg->isConnectionOpen("LGContacts"));
    EXPECT_EQ(lg->requestConnectionClose("LGEvents", polling()), links::kIOReturnUnsupported);

    const auto motorola = makeBluetooth(row(kProtocolMotorola, "Motorola", {{"Dorvanti.SMSProtocol", "Moto"}}));
    EXPECT_FALSE(motorola->hasService("LGEvents"));
    EXPECT_EQ(motorola->requestService("LGEvents", polling()), MFDevice::kServiceUnavailable);
    EXPECT_TRUE(motorola->hasMotoContactsConnection());
}

TEST_F(MFDeviceTest, TheWaitUntilClockOnlyMovesForward)
{
    const auto device = make(MFDevice::kHistory, {}, row(kProtocolLG));
    EXPECT_EQ(device->delayUntilTime(), 0.0);
    device->waitForTime(5.0);
    device->waitForTime(1.0);
    EXPECT_NEAR(device->delayUntilTime(), 5.0, 1e-6);
    testing_support::runFor(7.0);
    EXPECT_EQ(device->delayUntilTime(), 0.0);
}

TEST_F(MFDeviceTest, ASyncMLClaimIsHeldOnlyWhileASessionIsOut)
{
    addBluetoothPhone();
    makers.syncML = fake("SyncML/IrMC", spec("Bluetooth", 3));
    const auto device = makeBluetooth(row(kProtocolSyncML));
    auto open = polling();
    ASSERT_EQ(device->requestService("SyncML/IrMC", open), MFDevice::kServiceOpening);
    ASSERT_TRUE(ended(open));

    // No session layer: nothing handed out and nothing claimed.
    auto* const notifier = reinterpret_cast<QVSessionUser*>(this);
    EXPECT_EQ(device->requestSyncSession(notifier), nullptr);
    EXPECT_FALSE(device->isSyncMLActive());

    QVSessionUser* told = nullptr;
    MFDevice::setServerSyncSessionMaker([&](DZDeviceConnection&, QVSessionUser* to) {
        told = to;
        return std::make_shared<int>(1);
    });
    auto session = device->requestSyncSession(notifier);
    EXPECT_NE(session, nullptr);
    EXPECT_EQ(told, notifier);
    EXPECT_TRUE(device->isSyncMLActive());
    EXPECT_EQ(device->requestSyncSession(notifier), nullptr);
    MFDevice::setServerSyncSessionMaker({});

    // As server with the phone still connected: the close waits 3 s.
    bool phoneConnected = true;
    device->setSyncMLState({[&] { return phoneConnected; }, [] { return true; }});
    const double start = platform::Clock::instance().now();
    auto released = polling();
    device->releaseSyncSession(std::move(session), released);
    ASSERT_TRUE(testing_support::runUntil([&] { return !released->isBusy(); }, 10.0, 0.01));
    const double closedAfter = asFake(device->syncMLConnection())->closedAt - start;
    EXPECT_GE(closedAfter, MFDevice::kServerSyncMLCloseDelay);
    EXPECT_LE(closedAfter, MFDevice::kServerSyncMLCloseDelay + 0.15);
    EXPECT_EQ(released->returnStatus(), 0);
    EXPECT_FALSE(device->isSyncMLActive());
    EXPECT_EQ(device->callbackPoolCount(), 0);
}

TEST_F(MFDeviceTest, PipesFollowTheRegistrations)
{
    addBluetoothPhone();   // Dial-up Networking on channel 1
    struct Case {
        const char* what;
        const char* connType;
        const char* parallel;   // the model's parallel count for the link
        std::optional<QVariantMap> syncML, push, ftp;
        QList<QStringList> pipes;   // besides the two fixed ones
    };
    const auto bt = [](int channel) { return spec("Bluetooth", channel); };
    const QList<QStringList> fixed{{"GenericPipe", "System", "Virtual"}, {"QuickTime"}};
    const Case cases[] = {
        {"one channel shares a pipe whatever PB is",
         "Bluetooth",
         "3",
         bt(1),
         bt(1),
         std::nullopt,
         {{"Push", "SMSKitAsync", "Serial", "SyncML/IrMC"}}},
        {"PB 1: one pipe",
         "Bluetooth",
         "1",
         bt(2),
         bt(3),
         std::nullopt,
         {{"Push", "SMSKitAsync", "Serial", "SyncML/IrMC"}}},
        {"PB 2, channels 1, 2, 1: two pipes",
         "Bluetooth",
         "2",
         bt(2),
         bt(1),
         std::nullopt,
         {{"Push", "SMSKitAsync", "Serial"}, {"SyncML/IrMC"}}},
        {"a count of 0 acts as 1",
         "Bluetooth",
         "0",
         bt(2),
         bt(3),
         std::nullopt,
         {{"Push", "SMSKitAsync", "Serial", "SyncML/IrMC"}}},
        {"mass storage pipes once",
         "Bluetooth",
         "1",
         spec("USB-MassStorage", 0),
         spec("Virtual", 0),
         spec("USB-MassStorage", 0),
         {{"USB-MassStorage_Slow"}, {"USB-MassStorage_Fast"}, {"SMSKitAsync", "Serial"}}},
        {"USB kit connections and the device's own SyncML connection share the tty's pipe",
         "USB-Serial",
         "2",
         std::nullopt,
         std::nullopt,
         std::nullopt,
         {{"SMSKitAsync", "Serial", "SyncML/IrMC"}}},
    };
    for (const Case& c : cases) {
        makers.syncML = c.syncML ? fake("SyncML/IrMC", c.syncML) : MFDevice::ConnectionMaker();
        makers.objectPush = c.push ? fake("Push", c.push) : noPushConnection();
        makers.obexFTP = c.ftp ? inMemoryFTP(*c.ftp) : noFileTransferConnection();
        const QVariantMap dbRow = row(kProtocolSyncML, "Nokia",
                                      {{"Dorvanti.SMSProtocol", "Nokia"}, {"Dorvanti.OBEXFileSupport", "1"},
                                       {"Dorvanti.ParallConsBT", c.parallel}, {"Dorvanti.ParallConsUSB", c.parallel}});
        QVariantMap dict = connectionDict();
        dict.insert({{"USB.VendorID", 1}, {"USB.ProductID", 2}});
        const auto device = make(c.connType, dict, dbRow);
        QList<QStringList> pipes;
        for (const auto& pipe : device->actionMachine()->actionPipes()) {
            QStringList types = pipe->actionTypes();
            pipes.append(types);
        }
        EXPECT_EQ(pipes, c.pipes + fixed) << c.what;
    }
}

TEST_F(MFDeviceTest, LGKitRegistrationsJoinTheSerialPipe)
{
    addBluetoothPhone();
    for (const char* connType : {"Bluetooth", "USB-Serial"}) {
        const auto device = make(connType, connectionDict(),
                                 row(kProtocolLG, "LG", {{"Dorvanti.SMSProtocol", "LG"}, {"Dorvanti.ParallConsUSB", "2"},
                                                         {"Dorvanti.ParallConsBT", "2"}}));
        EXPECT_EQ(pipeOf(*device, "LGContacts"), pipeOf(*device, "Serial")) << connType;
        EXPECT_EQ(pipeOf(*device, "LGEvents"), pipeOf(*device, "Serial")) << connType;
        EXPECT_EQ(pipeOf(*device, "SMSKitAsync"), pipeOf(*device, "Serial")) << connType;
        EXPECT_EQ(pipeOf(*device, "Serial").size(), 4) << connType;
    }
}

TEST_F(MFDeviceTest, BatteryPercentFromTheLevelAndTheModelsMaximum)
{
    struct Case {
        const char* manufacturer;
        const char* batteryMax;
        std::pair<unsigned, unsigned> value;
        int expected;
        bool plugged;
    };
    const Case cases[] = {
        {"LG", "75", {0, 150}, 133, false},
        {"LG", "75", {1, 30}, 40, true},
        {"MOTOROLA", "", {0, 45}, 50, false},
        {"LG", "75", {1, 65536}, -1, true},
        {"LG", "75", {unsigned(-1), unsigned(-1)}, -1, false},
    };
    for (const Case& c : cases) {
        QVariantMap extra;
        if (*c.batteryMax)
            extra.insert(QStringLiteral("Dorvanti.BatteryMax"), c.batteryMax);
        const auto device = make(MFDevice::kHistory, {}, row(kProtocolLG, c.manufacturer, extra));
        EXPECT_EQ(device->lastBatteryValue(), -1);
        int posted = 0;
        auto token = platform::NotificationCenter::defaultCenter().addObserver(
            this, QStringLiteral("NotifyMobileDeviceBatteryChanged"), device.get(),
            [&](const platform::Notification&) { ++posted; });
        device->setLastBatteryValue(c.value);
        platform::NotificationCenter::defaultCenter().removeObserver(token);
        EXPECT_EQ(posted, 1);
        EXPECT_EQ(device->lastBatteryValue(), c.expected) << c.manufacturer << " " << c.value.second;
        EXPECT_EQ(device->batteryIsPowerPluged(), c.plugged);
        device->batteryChecked();
        const double now = platform::Clock::instance().now();
        EXPECT_NEAR(device->lastBatteryCheck(), c.expected == -1 ? now - 267.1 : now, 1e-6);
    }
}

TEST_F(MFDeviceTest, TheSyncEngineTimerTricklesFlaggedTypes)
{
    recordParts(true);
    const auto device = make(MFDevice::kUSBMassStorage, {}, row(kProtocolLG));
    ASSERT_TRUE(handler);
    ASSERT_TRUE(device->isSyncEngineTimerRunning());
    const auto& clock = platform::Clock::instance();
    EXPECT_NEAR(device->syncEngineTimerFireTime() - clock.now(), 60.0, 1e-6);

    // -1 only brings the tick forward; it trickles nothing.
    device->trickleSoon(-1);
    EXPECT_NEAR(device->syncEngineTimerFireTime() - clock.now(), 1.0, 1e-6);
    testing_support::runFor(1.05);
    EXPECT_TRUE(handler->trickled.isEmpty());
    EXPECT_NEAR(device->syncEngineTimerFireTime() - clock.now(), 59.95, 1e-3);

    // A refused trickle keeps its flag and tries again in 4 s.
    handler->trickleResult = 1;
    device->trickleSoon(2);
    testing_support::runFor(1.05);
    EXPECT_EQ(handler->trickled, QList<int>{2});
    EXPECT_TRUE(device->mustTrickle(2));
    EXPECT_NEAR(device->syncEngineTimerFireTime() - clock.now(), 3.95, 1e-3);
    handler->trickleResult = 0;
    testing_support::runFor(4.0);
    EXPECT_EQ(handler->trickled, (QList<int>{2, 2}));
    EXPECT_FALSE(device->mustTrickle(2));
    EXPECT_NEAR(device->syncEngineTimerFireTime() - clock.now(), 59.95, 1e-3);

    // A claimed engine holds every type back.
    device->setSyncEngineActive(true);
    device->trickleSoon(0);
    testing_support::runFor(1.05);
    EXPECT_EQ(handler->trickled.size(), 2);
    EXPECT_TRUE(device->mustTrickle(0));
}

TEST_F(MFDeviceTest, TeardownStoresSyncEnvironmentsUnlessTheDeviceIsBeingRemoved)
{
    for (bool removing : {false, true}) {
        auto device = make(MFDevice::kUSBMassStorage, {}, row(kProtocolLG));
        device->setSyncEnvironments(QVariantMap{{"anchor", 1}}, std::nullopt, QVariantMap{{"user", 2}});
        if (removing)
            device->setInRemoveFromDevList();
        const auto dict = deviceDict;
        device.reset();
        EXPECT_EQ(dict->contains("Common.SyncEnvironment"), !removing);
        EXPECT_FALSE(dict->contains("Common.SyncWorkEnvironment"));
        EXPECT_EQ(dict->contains("Common.SyncUserEnvironment"), !removing);
    }
}

TEST_F(MFDeviceTest, QuitAndTeardownEndWithinTheirPassLimits)
{
    addBluetoothPhone();
    recordParts(true);
    makers.syncML = fake("SyncML/IrMC", spec("Bluetooth", 3));
    auto device = makeBluetooth(row(kProtocolSyncML));
    ASSERT_TRUE(handler);
    handler->busy = true;
    device->startHeartBeat();
    auto open = polling();
    ASSERT_EQ(device->requestService("SyncML/IrMC", open), MFDevice::kServiceOpening);
    ASSERT_TRUE(ended(open));
    asFake(device->syncMLConnection())->silentClose = true;

    int engineActivePosts = 0;
    platform::NotificationCenter::defaultCenter().addObserver(
        this, QStringLiteral("SyncEngineActive"), device.get(), [&](const platform::Notification&) { ++engineActivePosts; });
    const auto& clock = platform::Clock::instance();
    double start = clock.now();
    device->announceQuit();
    EXPECT_LE(clock.now() - start, 99 * 0.1 + 0.05);
    EXPECT_GE(clock.now() - start, 9.0);   // the busy engine was waited for
    EXPECT_EQ(engineActivePosts, 1);
    EXPECT_TRUE(device->isAboutToQuit());
    EXPECT_FALSE(device->isHeartBeatRunning());
    EXPECT_FALSE(device->isSyncEngineTimerRunning());
    EXPECT_EQ(device->openConnectionsForCloseCount(), 1);
    platform::NotificationCenter::defaultCenter().removeObserver(this);

    start = clock.now();
    device.reset();
    EXPECT_LE(clock.now() - start, (100 + 30) * 0.1 + 0.05);
    EXPECT_GE(clock.now() - start, 10.0);
}

TEST_F(MFDeviceTest, VolumesNamedByTheFTPConnectionAreMarkedForTheArchive)
{
    struct Case {
        QString internal, card;
    };
    for (const Case& c : {Case{"Phone", "Card"}, Case{"Phone", ""}, Case{"", ""}}) {
        makers.massStorageFTP = [&](MFDevice& device, const QVariantMap&) {
            auto ftp = std::make_unique<InMemoryFileTransfer>(device, spec("USB-MassStorage", 0));
            ftp->arrangeVolumes(c.internal, c.card, {});
            return ftp;
        };
        const auto device = make(MFDevice::kUSBMassStorage, {}, row(kProtocolLG));
        ASSERT_TRUE(device->hasFTPServices());
        EXPECT_EQ(device->hasInternalMemory(), !c.internal.isEmpty());
        EXPECT_EQ(device->hasMemoryCard(), !c.card.isEmpty());
        EXPECT_EQ(device->devInfo()->volumeInArchive(false), !c.internal.isEmpty());
        EXPECT_EQ(device->devInfo()->volumeInArchive(true), !c.card.isEmpty());
        EXPECT_TRUE(device->usbMassStorageRegistered());
    }
}

TEST_F(MFDeviceTest, SMSGoOverTheSerialLinkUnlessSyncMLCarriesThem)
{
    struct Case {
        const char* what;
        QString protocol;
        const char* deviceProtocol;
        const char* sendSMS;
        bool dun;
        bool channel;
    };
    const Case cases[] = {
        {"LG kit phone syncing SMS", kProtocolLG, "lg", "", true, true},
        {"SyncML phone without SMS", kProtocolSyncML, "sonyericsson", "NoSMS", false, false},
        {"SyncML phone that sends SMS", kProtocolSyncML, "sonyericsson", "AT", true, true},
        {"Nokia protocol always", kProtocolSyncML, "nokia", "NoSMS", false, true},
    };
    for (const Case& c : cases) {
        const auto device = make(MFDevice::kHistory, {},
                                 row(c.protocol, "X", {{"Dorvanti.sendSMS", c.sendSMS},
                                                       {"Dorvanti.DeviceProtocol", c.deviceProtocol}}));
        EXPECT_EQ(device->usesDUNForSMS(), c.dun) << c.what;
        EXPECT_EQ(device->useDUNSMSChannel(), c.channel) << c.what;
    }
}

TEST_F(MFDeviceTest, TheStartRunsItsStepsInOrder)
{
    addBluetoothPhone();
    recordParts(true);
    bluetoothFTP(true);
    bool isNew = true;
    deviceDict = std::make_shared<QVariantMap>(connectionDict());
    deviceDict->insert("Common.SerialNo", "35-1234");
    const auto device = std::make_unique<MFDevice>(
        MFDevice::kBluetooth, deviceDict, row(kProtocolLG, "LG", {{"Dorvanti.OBEXFileSupport", "1"}}), nullptr, makers,
        &isNew);
    EXPECT_EQ(steps, (QStringList{"dataManager", "guiNotificator", "setupSyncEvironment", "handler", "30",
                                  "updateEnabledEntities", "40", "50", "updateCapabilities", "60",
                                  "checkIfMirrorMustBeRenamed", "preProcessDevice", "70", "loadFinderState"}));
    EXPECT_FALSE(isNew) << "a known phone under a new serial number is no new phone";
    EXPECT_TRUE(device->isSyncEngineTimerRunning());
    EXPECT_EQ(device->dataManager(), dataManager);
    EXPECT_EQ(device->mirror(), nullptr);
}

TEST_F(MFDeviceTest, ANewPhoneKeepsItsMirrorOnlyWhenTheFileConnectionKnowsItsSerialNumber)
{
    addBluetoothPhone();
    struct Case {
        const char* what;
        const char* connType;
        bool ftp;
        bool isNew;
        const char* serial;
        bool usbHasSerial;
        bool ftpKnowsSerial;
        bool renamed;
        bool preProcessed;
        bool finderStateLoaded;
    };
    const Case cases[] = {
        {"known phone, new serial", "Bluetooth", true, true, "35-1", false, true, true, true, true},
        {"not a new phone", "Bluetooth", true, false, "35-1", false, true, false, true, true},
        {"no serial number", "Bluetooth", true, true, "", false, true, false, true, true},
        {"the model reports its serial over USB", "Bluetooth", true, true, "35-1", true, true, false, true, true},
        {"the connection does not know it", "Bluetooth", true, true, "35-1", false, false, false, true, true},
        {"no file connection", "Bluetooth", false, true, "35-1", false, true, false, false, false},
        {"no Bluetooth serial link", "USB-MassStorage", true, true, "35-1", false, true, false, true, false},
    };
    for (const Case& c : cases) {
        steps.clear();
        recordParts(false);
        makers.obexFTP = noFileTransferConnection();
        makers.massStorageFTP = {};
        if (c.ftp && QLatin1String(c.connType) == QLatin1String("Bluetooth"))
            bluetoothFTP(c.ftpKnowsSerial);
        else if (c.ftp)
            makers.massStorageFTP = inMemoryFTP(spec("USB-MassStorage", 0));
        bool isNew = c.isNew;
        deviceDict = std::make_shared<QVariantMap>(connectionDict());
        deviceDict->insert("Common.SerialNo", c.serial);
        const auto device = std::make_unique<MFDevice>(
            QString::fromLatin1(c.connType), deviceDict,
            row(kProtocolLG, "LG",
                {{"Dorvanti.OBEXFileSupport", "1"}, {"Dorvanti.USBHasSerialNumber", c.usbHasSerial}}),
            nullptr, makers, &isNew);
        EXPECT_EQ(steps.contains("checkIfMirrorMustBeRenamed"), c.renamed) << c.what;
        EXPECT_EQ(isNew, c.isNew && !c.renamed) << c.what;
        EXPECT_EQ(steps.contains("preProcessDevice"), c.preProcessed) << c.what;
        EXPECT_EQ(steps.contains("loadFinderState"), c.finderStateLoaded) << c.what;
    }
}

TEST_F(MFDeviceTest, TheSyncEngineHandlerAndTimerFollowTheEnvironment)
{
    struct Case {
        const char* what;
        const char* connType;
        bool engine;
        int maker;   // 0 none, 1 makes a handler, 2 answers none
        bool environmentRead, hasHandler, timer;
    };
    const Case cases[] = {
        {"engine off: no handler even with a maker", "USB-MassStorage", false, 1, true, false, false},
        {"engine on", "USB-MassStorage", true, 1, true, true, true},
        {"engine on, no handler to be had: the device still opens", "USB-MassStorage", true, 2, true, false, true},
        {"engine on, no maker", "USB-MassStorage", true, 0, true, false, true},
        {"history device", "History", true, 1, false, false, false},
    };
    for (const Case& c : cases) {
        steps.clear();
        handler = nullptr;
        recordParts(c.engine);
        if (c.maker == 0)
            makers.syncEngineHandler = {};
        if (c.maker == 2)
            makers.syncEngineHandler = [](MFDevice&) { return std::unique_ptr<DeviceSyncEngineHandler>(); };
        const auto device = make(c.connType, {}, row(kProtocolLG));
        EXPECT_EQ(steps.contains("setupSyncEvironment"), c.environmentRead) << c.what;
        EXPECT_EQ(device->syncEngineHandler() != nullptr, c.hasHandler) << c.what;
        EXPECT_EQ(steps.contains("updateEnabledEntities"), c.hasHandler) << c.what;
        EXPECT_EQ(device->isSyncEngineTimerRunning(), c.timer) << c.what;
    }
}

TEST_F(MFDeviceTest, QuitSavesTheFileTreeStopsTheNotifierAndHandsPendingChangesOn)
{
    addBluetoothPhone();
    struct Case {
        const char* what;
        bool bluetoothFiles;
        bool engine;
        QSet<int> pending;
        QStringList expected;
    };
    const Case cases[] = {
        {"nothing pending", true, true, {}, {"saveFinderState", "gui announceQuit"}},
        {"one type pending", true, true, {2}, {"saveFinderState", "gui announceQuit", "trickle 2"}},
        {"several pending: all", true, true, {0, 4}, {"saveFinderState", "gui announceQuit", "trickle -1"}},
        {"no handler", true, false, {2}, {"saveFinderState", "gui announceQuit"}},
        {"files over USB: the tree is not saved", false, true, {1}, {"gui announceQuit", "trickle 1"}},
    };
    for (const Case& c : cases) {
        recordParts(c.engine, c.pending);
        makers.obexFTP = {};
        makers.massStorageFTP = {};
        if (c.bluetoothFiles)
            bluetoothFTP();
        else
            makers.massStorageFTP = inMemoryFTP(spec("USB-MassStorage", 0));
        auto device = c.bluetoothFiles ? makeBluetooth(row(kProtocolLG, "LG", {{"Dorvanti.OBEXFileSupport", "1"}}))
                                       : make(MFDevice::kUSBMassStorage, {}, row(kProtocolLG));
        steps.clear();
        device->announceQuit();
        EXPECT_EQ(steps, c.expected) << c.what;

        // Teardown lets the notifier go before the data manager, both before
        // the connections.
        steps.clear();
        device.reset();
        QStringList released;
        for (const QString& step : std::as_const(steps)) {
            if (step.startsWith(QLatin1Char('~')))
                released.append(step);
        }
        EXPECT_EQ(released, (c.bluetoothFiles ? QStringList{"~guiNotificator", "~dataManager", "~ftp"}
                                              : QStringList{"~guiNotificator", "~dataManager"}))
            << c.what;
    }
}

TEST_F(MFDeviceTest, QuitWaitsForTheHandlerAndTheSharedSyncInformation)
{
    FakeGeneralSyncInfo general;
    struct Case {
        const char* what;
        std::optional<bool> handlerBusy;   // nullopt: no handler
        std::optional<bool> generalBusy;   // nullopt: not made yet
        bool waits;
    };
    const Case cases[] = {
        {"neither", std::nullopt, std::nullopt, false},
        {"no handler, shared information busy", std::nullopt, true, true},
        {"idle handler, shared information busy", false, true, true},
        {"busy handler, idle shared information", true, false, true},
        {"both idle", false, false, false},
    };
    const auto& clock = platform::Clock::instance();
    for (const Case& c : cases) {
        handler = nullptr;
        recordParts(c.handlerBusy.has_value());
        general = FakeGeneralSyncInfo();
        general.busy = c.generalBusy.value_or(false);
        makers.generalSyncInfo = [&, made = c.generalBusy.has_value()]() -> SharedSyncInfo* {
            return made ? &general : nullptr;
        };
        auto device = make(MFDevice::kUSBMassStorage, {}, row(kProtocolLG));
        if (handler)
            handler->busy = *c.handlerBusy;
        int engineActive = 0;
        const auto token = platform::NotificationCenter::defaultCenter().addObserver(
            this, QLatin1String(MFDevice::kNotifySyncEngineActive), device.get(),
            [&](const platform::Notification& note) {
                ++engineActive;
                EXPECT_EQ(note.userInfo.value("Active"), QVariant(true));
            });
        const double start = clock.now();
        device->announceQuit();
        platform::NotificationCenter::defaultCenter().removeObserver(token);
        EXPECT_NEAR(clock.now() - start, c.waits ? 9.9 : 0.0, 0.15) << c.what;
        EXPECT_EQ(engineActive, c.waits ? 1 : 0) << c.what;
        if (handler)   // the handler never reports that it let go
            handler->busy = false;
        device.reset();
        EXPECT_EQ(general.quits, c.generalBusy ? 1 : 0) << c.what;
    }
}

TEST_F(MFDeviceTest, TheApplicationsActivityTricklesWhatTheEnvironmentWants)
{
    recordParts(true, {1, 2, 4});
    auto device = make(MFDevice::kUSBMassStorage, {}, row(kProtocolLG));
    ASSERT_TRUE(environment);
    auto& center = platform::NotificationCenter::defaultCenter();
    const auto flagged = [&] {
        QSet<int> types;
        for (int type = 0; type < 4; ++type) {
            if (device->mustTrickle(type))
                types.insert(type);
        }
        return types;
    };

    // Becoming active: bookmarks and notes synced with the engine.
    environment->engineTypes = {0, 2};
    center.post(QLatin1String(MFDevice::kNotifyAppDidBecomeActive), nullptr);
    EXPECT_EQ(flagged(), QSet<int>{2});

    // Resigning: types synced with the engine, changed on the phone's side,
    // with changes waiting.
    device = make(MFDevice::kUSBMassStorage, {}, row(kProtocolLG));
    environment->engineTypes = {0, 1, 2, 3};
    environment->fromDevice = {0, 1, 3};
    center.post(QLatin1String(MFDevice::kNotifyAppWillResignActive), this);
    EXPECT_EQ(flagged(), QSet<int>{1});

    // The bridge's news reaches the environment.
    center.post(QLatin1String(MFDevice::kNotifySyncEngineActive), nullptr, {{"SetupChanged", true}});
    ASSERT_EQ(environment->engineNotes.size(), 1);
    EXPECT_EQ(environment->engineNotes.first().value("SetupChanged"), QVariant(true));

    // A device gone hears nothing more.
    device.reset();
    center.post(QLatin1String(MFDevice::kNotifyAppWillResignActive), nullptr);
    center.post(QLatin1String(MFDevice::kNotifySyncEngineActive), nullptr);
}

TEST_F(MFDeviceTest, ItemIdsStartAgainOnlyAfterASyncOfEveryWantedType)
{
    recordParts(false);
    auto device = make(MFDevice::kUSBMassStorage, {{"Common.NextFreeT-ID", "41"}}, row(kProtocolSyncML));
    QSet<int> processable;
    for (int type = 0; type < 5; ++type) {
        if (device->canProcessDB(type))
            processable.insert(type);
    }
    ASSERT_GE(processable.size(), 2);
    const int someType = *processable.cbegin();
    struct Case {
        const char* what;
        int status;
        QSet<int> synced;
        QSet<int> notBackedUp;
        bool reset;
    };
    const Case cases[] = {
        {"every wanted type synced", 0, processable, {}, true},
        {"one wanted type left out", 0, processable - QSet<int>{someType}, {}, false},
        {"the type left out is not wanted", 0, processable - QSet<int>{someType}, {someType}, true},
        {"the session failed", 514, processable, {}, false},
    };
    for (const Case& c : cases) {
        device->devInfo()->setObject(QStringLiteral("41"), QStringLiteral("Common.NextFreeT-ID"));
        environment->synced = c.synced;
        environment->notBackedUp = c.notBackedUp;
        int endStatus = -1;
        auto callback = QVDeviceCallback::commandObject(
            this, [&](QVDeviceCallback& done) { endStatus = done.returnStatus(); }, {}, QVariant(c.status));
        device->releaseSyncSession(nullptr, callback);
        ASSERT_TRUE(ended(callback)) << c.what;
        EXPECT_EQ(endStatus, c.status) << c.what;
        EXPECT_EQ(device->devInfo()->objectForKey("Common.NextFreeT-ID"), QVariant(c.reset ? "0" : "41")) << c.what;
        if (c.reset)
            EXPECT_EQ(device->highestUsedContactRefNum(), 0) << c.what;
    }
}

TEST_F(MFDeviceTest, ABackupRunsNowWhenWantedAutomaticallyOrInBackupMode)
{
    struct Case {
        QVariant backup, automatic;
        bool inBackupMode;
        bool expected;
    };
    const Case cases[] = {
        {true, QVariant(), false, true},   // automatic unless said otherwise
        {true, false, false, false},
        {true, false, true, true},
        {false, true, true, false},
    };
    for (const Case& c : cases) {
        QVariantMap dict{{"Common.BackupDevice", c.backup}};
        if (c.automatic.isValid())
            dict.insert("Common.BackupAutomatic", c.automatic);
        const auto device = make(MFDevice::kUSBMassStorage, dict, row(kProtocolLG));
        device->setInBackupMode(c.inBackupMode);
        EXPECT_EQ(device->isInBackupMode(), c.inBackupMode);
        EXPECT_EQ(device->wantsBackupNow(), c.expected) << c.backup.toBool() << c.automatic.toString().toStdString()
                                                        << c.inBackupMode;
    }
}

TEST_F(MFDeviceTest, AnUnknownModelAndWrongTypedSettingsStillOpenAndKeepWhatWasStored)
{
    const QVariantMap stored{{"Common.qvDeviceID", "no such model"},
                             {"Common.PauseAnyAction", QVariantList{1, 2}},
                             {"Common.PauseAfterSyncMLClose", QVariantMap{{"x", 1}}},
                             {"Common.SMS_PollInterval", "often"},
                             {"Common.NextFreeT-ID", QVariantList{}},
                             {"User.Own", "kept"}};
    auto device = make(MFDevice::kUSBMassStorage, stored, {});
    EXPECT_FLOAT_EQ(device->pauseAfterAnyAction(), 0.1f);
    EXPECT_FLOAT_EQ(device->pauseAfterSyncMLClose(), 2.5f);
    EXPECT_EQ(device->highestUsedContactRefNum(), 0);
    EXPECT_EQ(device->actionMachine()->actionPipes().size(), 2);
    const auto dict = deviceDict;
    device.reset();
    // Only the SMS defaults and the sync environment (the engine off) were
    // added; the rest is as it was stored.
    QVariantMap expected = stored;
    EXPECT_EQ(dict->value("Common.SyncEnvironment").toMap().value("SyncEngineEnabled"), QVariant(false));
    expected.insert("Common.SyncEnvironment", dict->value("Common.SyncEnvironment"));
    expected.insert({{"Common.SMS_PollInterval", 5},
                     {"Common.SMS_DoPoll", true},
                     {"Common.SMS_ShowInfoPanel", true},
                     {"Common.SMS_Dock_Notify", true},
                     {"Common.SMS_SEND_WARN", 1}});
    EXPECT_EQ(*dict, expected);
}

TEST_F(MFDeviceTest, AHistoryDeviceShowsTheStatesItsMirrorFinds)
{
    recordParts(false);
    auto device = make(MFDevice::kHistory, connectionDict(), row(kProtocolLG));
    QTemporaryDir dir;
    const QString anchor = dir.path() + "/KG800.dzmir";
    const QStringList states{anchor + "/History/MirrorFileSystem-20230101-120000",
                             anchor + "/History/MirrorFileSystem-20240101-120000",
                             anchor + "/History/MirrorFileSystem-20250304-213000"};
    for (int n = 0; n < states.size(); ++n)
        platform::plist::writeFile(
            states.at(n), QVariantMap{{QStringLiteral("/[0]/f%1.jpg").arg(n), QVariantMap{{"UniqueID", 4711 + n}}}});
    testing_support::writeFile(anchor + "/History/stray.plist");
    testing_support::writeFile(anchor + "/Other Data/History/OrganizerData-20240202-101010");
    testing_support::writeFile(anchor + "/Other Data/History/OrganizerData-20230202-101010");
    platform::plist::writeFile(anchor + "/Info.plist", QVariantMap{{"CFBundleVersion", "10"}});

    auto mirror = FilesMirror::mirrorWithDevice(*device, anchor);
    ASSERT_TRUE(mirror);
    EXPECT_EQ(device->mirror(), mirror.get());
    EXPECT_EQ(device->stateInHistoryFiles(), states);
    EXPECT_EQ(device->historyOrganizerFiles(),
              QStringList({anchor + "/Other Data/History/OrganizerData-20230202-101010",
                           anchor + "/Other Data/History/OrganizerData-20240202-101010"}));
    device->jumpToHistoryIndex(99999);
    EXPECT_EQ(mirror->currentFileSystem().fileSystem().keys(), QStringList{"/[0]/f2.jpg"});
    EXPECT_EQ(device->curHistoryTime(), "04. Mar 25, 21:30");
    device->jumpToHistoryIndex(0);
    EXPECT_EQ(mirror->currentFileSystem().fileSystem().keys(), QStringList{"/[0]/f0.jpg"});
    EXPECT_EQ(device->curHistoryTime(), "01. Jan 23, 12:00");
    EXPECT_FALSE(mirror->registerFileOnDevice(
        FTPFile({{"name", "a.jpg"}, {"file-type", 0}, {"size", 1}}, "/[0]", device.get())));
    mirror.reset();
}
