// The Bluetooth pairing pane against the simulated Bluetooth layer, in virtual
// time: the skip decision, the code, each outcome of a pairing with its texts
// and host calls, leaving during an attempt, the serial port name, the agent
// helpers, and the OBEX trigger against the phone simulator's OBEX face.
#include "GuiGapProbe.h"
#include "LogRecorder.h"
#include "VirtualTime.h"

#include "PhoneProfile.h"
#include "PhoneSimulator.h"
#include "ServiceRecords.h"
#include "lumwick/AKMainController.h"
#include "lumwick/BluetoothDeviceExpert.h"
#include "lumwick/BluetoothPairingController.h"
#include "lumwick/BluetoothUIServerHack.h"
#include "lumwick/LumwickLog.h"
#include "lumwick/ModelQuery.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/IOReturn.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"
#include "platform/gui/TestArtifacts.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include "GuiGapLimit.h"

namespace {

using platform::BluetoothPairingAgent;
using platform::BluetoothStackSimulated;
using Mode = BluetoothStackSimulated::PairingMode;

const QString kPairingPhone = QStringLiteral("00:1e:75:21:43:65");
const QString kPairingOtherPhone = QStringLiteral("00:1e:75:99:88:77");

QString pairingText(const char* key)
{
    return lumwick::localized(QString::fromLatin1(key));
}

// A wizard host that keeps the expert, counts goToNextPane and knows the
// program's serial port names.
struct PairingHost : QVWizardCallbacks, QVWizardNextPaneSwitch, QVWizardSerialPortNames {
    std::shared_ptr<DeviceExpert> expert;
    int nextPane = 0;
    double nextPaneAt = -1;
    bool nextEnabled = false;
    QStringList portNames;
    void setDevice(std::shared_ptr<void>) override { }
    std::shared_ptr<void> device() const override { return nullptr; }
    void setDeviceExpert(std::shared_ptr<DeviceExpert> e) override { expert = std::move(e); }
    std::shared_ptr<DeviceExpert> deviceExpert() const override { return expert; }
    bool isValid(const QVariantMap&) override { return true; }
    void goToNextPane() override
    {
        ++nextPane;
        nextPaneAt = platform::Clock::instance().now();
    }
    QImage getStatusIcon(int) override { return {}; }
    void enableChangeToNextPane(bool enable) override { nextEnabled = enable; }
    QString getUniqueSerialPortNameWithBaseString(const QString& base) override
    {
        const QString name = lumwick::uniqueSerialPortName(base, portNames);
        portNames.append(name);
        return name;
    }
};

// Answers a fixed model.
struct PairingModelQuery : ModelQuery {
    int model = 412;
    QList<int> retries;
    int qvIDForBTAddress(const QString&, int r) override
    {
        retries.append(r);
        return model;
    }
    QString modelNameForQVID(int id) override
    {
        return id == 412 ? QStringLiteral("KU990") : id == ModelQuery::kProbeDevice ? QStringLiteral("probe") : QString();
    }
    int qvIDForUSBAddress(const QString&) override { return -1; }
    QString deviceTypeForQVID(int) override { return {}; }
};

// Counts what the pane sends itself on failure.
struct CountingPairingPane : BluetoothPairingController {
    int previous = 0;
    bool handlePreviousButton() override
    {
        ++previous;
        return false;
    }
};

QList<platform::SdpServiceRecord> lgRecords()
{
    using platform::BluetoothUuid;
    return {platform::SdpServiceRecord::make({BluetoothUuid::uuid16(platform::kDialupNetworkingUuid)},
                                             QStringLiteral("Dial-up Networking"), quint8(1)),
            platform::SdpServiceRecord::make({BluetoothUuid::uuid16(platform::kSerialPortUuid)},
                                             QStringLiteral("Serial Port"), quint8(2)),
            platform::SdpServiceRecord::make({BluetoothUuid::uuid16(platform::kObexObjectPushUuid)},
                                             QStringLiteral("OBEX Object Push"), quint8(9), true),
            platform::SdpServiceRecord::make({BluetoothUuid::uuid16(platform::kObexFileTransferUuid)},
                                             QStringLiteral("OBEX File Transfer"), quint8(10), true)};
}

class BluetoothPairing : public ::testing::Test {
protected:
    void SetUp() override
    {
        logRecorder::clear();
        stack = std::make_shared<BluetoothStackSimulated>();
        stack->addDevice(kPairingPhone, QStringLiteral("Anna's KU990"), false, lgRecords(), false);
        stack->setPairing(kPairingPhone, Mode::PinCode);
        // The phone's user types what the pane shows.
        stack->setPairingPinSource(kPairingPhone, [this] { return pane.codeText(); });
        platform::BluetoothStack::setShared(stack);
        ModelQuery::setShared(&query);
        ASSERT_TRUE(pane.initWithDefaultNib());
        pane.setMainController(&host);
        pane.awakeFromNib();
        host.expert = BluetoothDeviceExpert::expertForAddress(kPairingPhone, &pane);
    }
    void TearDown() override
    {
        pane.stopProcessing();
        ModelQuery::setShared(nullptr);
        platform::BluetoothStack::setShared(nullptr);
    }

    // Shows the pane and runs until the host moves on or the pane gives up.
    void runAttempt(double limit = 60.0)
    {
        pane.prepareForDisplay();
        pane.startProcessing();
        testing_support::runUntil([this] { return host.nextPane > 0 || pane.previous > 0; }, limit, 0.05);
    }

    std::shared_ptr<BluetoothStackSimulated> stack;
    PairingHost host;
    PairingModelQuery query;
    CountingPairingPane pane;
};

} // namespace

TEST_F(BluetoothPairing, SkippedOnlyForACheckedPairedPhone)
{
    const struct {
        const char* name;
        QVariantMap properties;
        bool skip;
    } cases[] = {
        {"address only", {{"Wizard.BluetoothAddress", kPairingPhone}, {"Wizard.QuorvalisDeviceID", 0}}, false},
        {"stale pairing",
         {{"Wizard.BluetoothAddress", kPairingPhone}, {"Wizard.QuorvalisDeviceID", 412},
          {"Wizard.ModelName", "KU990"}, {"Wizard.HasDeviceStalePairing", true}},
         false},
        {"checked",
         {{"Wizard.BluetoothAddress", kPairingPhone}, {"Wizard.QuorvalisDeviceID", 412}, {"Wizard.ModelName", "KU990"}},
         true},
        // An inquiry found it: its services are known, it was never paired.
        {"found, not paired",
         {{"Wizard.BluetoothAddress", kPairingPhone}, {"Wizard.QuorvalisDeviceID", 0},
          {"Wizard.DeviceUserName", "Mia's KE850"}, {"Wizard.HasSerialPort", true}, {"Wizard.HasObex", true}},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.expert->setDeviceProperties(c.properties);
        EXPECT_EQ(pane.doSkipProcessing(), c.skip);
        EXPECT_EQ(pane.doesDeviceNeedPairing(), !c.skip);
    }
    host.expert.reset();
    EXPECT_FALSE(pane.doSkipProcessing()) << "no expert: nothing says it is paired";
    EXPECT_EQ(pane.defaultNibName(), QStringLiteral("BluetoothPairingPane"));
    EXPECT_EQ(pane.localizationKey(), QStringLiteral("kBluetoothPairing"));
}

TEST_F(BluetoothPairing, CodesHaveEightDigitsAndVary)
{
    QSet<QString> seen;
    for (int i = 0; i < 5000; ++i) {
        pane.generateCode();
        const int value = pane.code().toInt();
        ASSERT_GE(value, BluetoothPairingController::kCodeMinimum) << pane.code().toStdString();
        ASSERT_LT(value, BluetoothPairingController::kCodeEnd);
        ASSERT_EQ(pane.code().size(), 8);
        seen.insert(pane.code());
    }
    EXPECT_GT(seen.size(), 4900) << "no fixed code, no repeating generator";
}

TEST_F(BluetoothPairing, PinPairingIdentifiesNamesThePortAndMovesOn)
{
    runAttempt();
    ASSERT_EQ(host.nextPane, 1);
    EXPECT_EQ(pane.previous, 0);
    EXPECT_TRUE(pane.pinRequested());
    EXPECT_TRUE(pane.pairingSuccessful());
    EXPECT_FALSE(pane.isSpinning());
    EXPECT_EQ(pane.statusText(), pairingText("kPairingOK"));
    EXPECT_TRUE(pane.errorText().isEmpty());
    EXPECT_EQ(stack->pairingCount(kPairingPhone), 1);
    EXPECT_TRUE(stack->deviceWithAddressString(kPairingPhone)->isPaired());
    EXPECT_EQ(query.retries, QList<int>{0}) << "the model query runs without retries";

    const QVariantMap result = host.expert->getPropertiesDictionary();
    EXPECT_EQ(result.value("Wizard.QuorvalisDeviceID").toInt(), 412);
    EXPECT_EQ(result.value("Wizard.ModelName").toString(), QStringLiteral("KU990"));
    EXPECT_EQ(result.value("Wizard.DeviceUserName").toString(), QStringLiteral("Anna's KU990"));
    EXPECT_TRUE(result.value("Wizard.HasDialup").toBool());
    EXPECT_EQ(result.value(BluetoothPairingController::kSerialPortNameKey).toString(),
              QStringLiteral("QV_Anna's KU990_DIALUP"));
    EXPECT_EQ(result.value(BluetoothPairingController::kDialupChannelKey).toInt(), 1);
    EXPECT_FALSE(host.expert->hadError());
    EXPECT_FALSE(BluetoothUIServerHack::agent().hasPendingRequest());
}

TEST_F(BluetoothPairing, EachOutcomeWithItsTextAndHostCalls)
{
    const struct {
        const char* name;
        Mode mode;
        bool inReach;
        int model;
        const char* errorKey;   // null: success
        int expertError;
    } cases[] = {
        {"wrong code", Mode::PinCode, true, 412, "kWrongKeyTryAgain", 0},
        {"authentication failure", Mode::AuthenticationFailure, true, 412, "kWrongKeyTryAgain", 0},
        {"page time-out", Mode::PageTimeout, true, 412, "kAnErrorOccured", 0},
        {"out of reach", Mode::PinCode, false, 412, "kAnErrorOccured", 0},
        {"paired without being asked", Mode::Succeed, true, 412, "kAnErrorOccured", 0},
        {"never answers", Mode::NeverAnswer, true, 412, "kAnErrorOccured", 0},
        {"probe device", Mode::PinCode, true, ModelQuery::kProbeDevice, "kWrongKeyTryAgain", 1},
        {"no model", Mode::PinCode, true, -1, "kWrongKeyTryAgain", 1},
        {"confirmed passkey", Mode::Confirmation, true, 412, nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pane.stopProcessing();
        host.nextPane = 0;
        pane.previous = 0;
        host.expert = BluetoothDeviceExpert::expertForAddress(kPairingPhone, &pane);
        stack->addDevice(kPairingPhone, QStringLiteral("Anna's KU990"), false, lgRecords(), false);
        stack->setInReach(kPairingPhone, c.inReach);
        stack->setPairing(kPairingPhone, c.mode);
        if (QLatin1String(c.name) == QLatin1String("wrong code"))
            stack->setPairingPinSource(kPairingPhone, [] { return QStringLiteral("12345678"); });
        else
            stack->setPairingPinSource(kPairingPhone, [this] { return pane.codeText(); });
        query.model = c.model;
        const int removals = stack->pairingRemovalCount(kPairingPhone);
        const bool confirm = c.mode == Mode::Confirmation;
        pane.prepareForDisplay();
        pane.startProcessing();
        if (confirm) {
            ASSERT_TRUE(testing_support::runUntil([this] { return pane.isAskingForConfirmation(); }, 10.0, 0.05));
            EXPECT_EQ(pane.codeText(), QStringLiteral("123456"));
            pane.yesButton()->click();
        }
        testing_support::runUntil([this] { return host.nextPane > 0 || pane.previous > 0; }, 60.0, 0.05);
        EXPECT_FALSE(pane.isSpinning());
        EXPECT_FALSE(pane.pairingInProgress());
        if (!c.errorKey) {
            EXPECT_EQ(host.nextPane, 1);
            EXPECT_EQ(pane.previous, 0);
            EXPECT_EQ(pane.statusText(), pairingText("kPairingOK"));
            continue;
        }
        EXPECT_EQ(host.nextPane, 0);
        EXPECT_EQ(pane.previous, 1);
        EXPECT_EQ(pane.errorText(), pairingText(c.errorKey));
        EXPECT_TRUE(pane.statusText().isEmpty());
        EXPECT_GT(stack->pairingRemovalCount(kPairingPhone), removals) << "every failure removes the pairing";
        EXPECT_FALSE(stack->deviceWithAddressString(kPairingPhone)->isPaired());
        EXPECT_EQ(host.expert->error(), c.expertError);
        EXPECT_FALSE(BluetoothUIServerHack::agent().hasPendingRequest());
    }
}

TEST_F(BluetoothPairing, StatusOutcomesOfTheContinuation)
{
    const auto device = stack->deviceWithAddressString(kPairingPhone);
    const struct {
        const char* name;
        int status;
        bool pinBefore;
        const char* errorKey;
    } cases[] = {
        {"authentication failure", platform::bluetooth::kAuthenticationFailure, false, "kWrongKeyTryAgain"},
        {"page time-out", platform::bluetooth::kPageTimeout, false, "kAnErrorOccured"},
        {"page time-out after a PIN request", platform::bluetooth::kPageTimeout, true, "kWrongKeyTryAgain"},
        {"status 7", 7, true, "kAnErrorOccured"},
        {"time limit", platform::kIOReturnTimeout, true, "kAnErrorOccured"},
    };
    stack->setPairing(kPairingPhone, Mode::NeverAnswer);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pane.prepareForDisplay();
        pane.previous = 0;
        pane.startPairing();
        testing_support::runFor(1.0);
        ASSERT_TRUE(pane.isSpinning());
        device->cancelPairing();
        testing_support::runFor(0.1);
        if (c.pinBefore) {
            BluetoothPairingAgent::Request request;
            request.address = device->address();
            BluetoothUIServerHack::agent().open(request, {});
            testing_support::runFor(0.1);
            ASSERT_TRUE(pane.pinRequested());
        }
        pane.connectionComplete(device, c.status);
        testing_support::runFor(6.0);
        EXPECT_EQ(pane.previous, 1);
        EXPECT_EQ(pane.errorText(), pairingText(c.errorKey));
        EXPECT_FALSE(pane.isSpinning()) << "the spinner stops";
    }
}

TEST_F(BluetoothPairing, NamelessPhoneGoesOnUnderItsAddress)
{
    stack->addDevice(kPairingPhone, QString(), false, lgRecords(), false);
    runAttempt();
    ASSERT_EQ(host.nextPane, 1);
    const QVariantMap result = host.expert->getPropertiesDictionary();
    EXPECT_EQ(result.value("Wizard.DeviceUserName").toString(),
              stack->deviceWithAddressString(kPairingPhone)->addressString());
    EXPECT_EQ(result.value(BluetoothPairingController::kSerialPortNameKey).toString(),
              QStringLiteral("QV_001e75214365_DIALUP"));
}

TEST_F(BluetoothPairing, LeavingDuringAnAttemptCancelsQuietly)
{
    // The phone asks to confirm a passkey: the request stays open until the
    // user answers.
    stack->setPairing(kPairingPhone, Mode::Confirmation);
    pane.prepareForDisplay();
    pane.startProcessing();
    ASSERT_TRUE(testing_support::runUntil([this] { return pane.isAskingForConfirmation(); }, 10.0, 0.05));
    ASSERT_TRUE(BluetoothUIServerHack::agent().hasPendingRequest());
    pane.stopProcessing();
    EXPECT_FALSE(BluetoothUIServerHack::agent().hasPendingRequest());
    EXPECT_FALSE(stack->deviceWithAddressString(kPairingPhone)->isPairing());
    EXPECT_FALSE(pane.isAskingForConfirmation());
    testing_support::runFor(40.0);
    EXPECT_TRUE(pane.errorText().isEmpty());
    EXPECT_EQ(pane.previous, 0);
    EXPECT_EQ(host.nextPane, 0);
    EXPECT_FALSE(pane.isSpinning());

    // Escape during an attempt cancels it the same way.
    pane.prepareForDisplay();
    pane.startProcessing();
    ASSERT_TRUE(testing_support::runUntil([this] { return pane.isAskingForConfirmation(); }, 10.0, 0.05));
    auto* escape = pane.wizardPaneView()->findChild<QShortcut*>();
    ASSERT_NE(escape, nullptr);
    EXPECT_TRUE(escape->isEnabled());
    Q_EMIT escape->activated();
    EXPECT_TRUE(pane.didCancelPairing());
    EXPECT_FALSE(pane.pairingInProgress());
    EXPECT_FALSE(BluetoothUIServerHack::agent().hasPendingRequest());
    EXPECT_FALSE(escape->isEnabled());
    testing_support::runFor(40.0);
    EXPECT_TRUE(pane.errorText().isEmpty());
    EXPECT_EQ(host.nextPane, 0);
    EXPECT_FALSE(pane.isSpinning());
}

TEST_F(BluetoothPairing, RequestsForAnotherPhoneAreRefused)
{
    // The pane's own phone never asks; another phone's request comes while
    // the pane waits.
    stack->setPairing(kPairingPhone, Mode::NeverAnswer);
    stack->addDevice(kPairingOtherPhone, QStringLiteral("Other"), false, lgRecords());
    stack->setPairingPinSource(kPairingOtherPhone, [this] { return pane.codeText(); });
    pane.prepareForDisplay();
    pane.startProcessing();
    testing_support::runFor(1.0);
    ASSERT_TRUE(pane.pairingInProgress());
    int otherStatus = -1;
    ASSERT_EQ(stack->deviceWithAddressString(kPairingOtherPhone)->pair([&](int s) { otherStatus = s; }), 0);
    testing_support::runUntil([&] { return otherStatus != -1; }, 10.0, 0.05);
    EXPECT_EQ(otherStatus, platform::bluetooth::kAuthenticationFailure);
    EXPECT_FALSE(stack->deviceWithAddressString(kPairingOtherPhone)->isPaired());
    EXPECT_FALSE(pane.pinRequested());
    EXPECT_TRUE(logRecorder::contains(
        QStringLiteral("pairing request for 00:1E:75:99:88:77 refused: not the phone being paired")));
}

TEST_F(BluetoothPairing, PortNamesAreCutCleanedAndUnique)
{
    const struct {
        const char* name;
        QString phone;
        QString base;
    } cases[] = {
        {"twenty characters", QStringLiteral("ABCDEFGHIJKLMNOPQRST"), QStringLiteral("ABCDEFGHIJKLMNO")},
        {"control characters", QStringLiteral("KU\x01" "990\n\tX"), QStringLiteral("KU 990 X")},
        {"only control characters", QStringLiteral("\x01\x02"), QStringLiteral("001e75214365")},
        {"slash", QStringLiteral("a/b"), QStringLiteral("a-b")},
        {"no half characters", QStringLiteral("ABCDEFGHIJKLMN") + QString::fromUtf8("\xF0\x9F\x93\xB1"),
         QStringLiteral("ABCDEFGHIJKLMN")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BluetoothPairingController::serialPortBaseName(c.phone, kPairingPhone), c.base);
    }

    // Through the pane: the first 15 characters, and a second phone of that
    // name gets a name of its own.
    stack->addDevice(kPairingPhone, QStringLiteral("ABCDEFGHIJKLMNOPQRST"), false, lgRecords());
    pane.generateSerialPort();
    const QString first = host.expert->getPropertiesDictionary().value(BluetoothPairingController::kSerialPortNameKey).toString();
    EXPECT_EQ(first, QStringLiteral("QV_ABCDEFGHIJKLMNO_DIALUP"));
    stack->addDevice(kPairingOtherPhone, QStringLiteral("ABCDEFGHIJKLMNOPQRST"), false, lgRecords());
    host.expert = BluetoothDeviceExpert::expertForAddress(kPairingOtherPhone, &pane);
    pane.generateSerialPort();
    EXPECT_EQ(host.expert->getPropertiesDictionary().value(BluetoothPairingController::kSerialPortNameKey).toString(),
              QStringLiteral("QV_ABCDEFGHIJKLMNO_DIALUP-1"));
    EXPECT_EQ(host.expert->getPropertiesDictionary().value(BluetoothPairingController::kDialupChannelKey).toInt(), 1);

    // No dial-up service: no port.
    stack->addDevice(kPairingOtherPhone, QStringLiteral("Other"), false, {lgRecords().at(1)});
    host.expert = BluetoothDeviceExpert::expertForAddress(kPairingOtherPhone, &pane);
    pane.generateSerialPort();
    EXPECT_FALSE(host.expert->getPropertiesDictionary().contains(BluetoothPairingController::kSerialPortNameKey));
}

TEST_F(BluetoothPairing, AgentHelpersTypeCheckAndWait)
{
    auto& agent = BluetoothUIServerHack::agent();
    const QString server = QString::fromLatin1(BluetoothUIServerHack::kBluetoothUIServer);
    EXPECT_FALSE(BluetoothUIServerHack::sendNumberString(QStringLiteral("1234"), server)) << "nothing pending";
    EXPECT_FALSE(BluetoothUIServerHack::waitTillItStarted()) << "bounded";

    BluetoothPairingAgent::Request request;
    request.address = *platform::BluetoothAddress::fromString(kPairingPhone);
    QList<BluetoothPairingAgent::Answer> answers;
    agent.open(request, [&](const BluetoothPairingAgent::Answer& a) { answers.append(a); });
    EXPECT_TRUE(BluetoothUIServerHack::waitTillItStarted());
    try {
        BluetoothUIServerHack::sendNumberString(QStringLiteral("12a4"), server);
        ADD_FAILURE() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), QStringLiteral("NSInvalidArgumentException"));
        EXPECT_EQ(e.reason(), QStringLiteral("aNumber (49) must be between (0,9)"));
    }
    EXPECT_TRUE(agent.typed().isEmpty()) << "nothing typed before the check";
    EXPECT_TRUE(answers.isEmpty());
    EXPECT_TRUE(BluetoothUIServerHack::sendNumberString(QStringLiteral("0815"), server));
    EXPECT_TRUE(BluetoothUIServerHack::sendEnterToApplicationNamed(server));
    ASSERT_EQ(answers.size(), 1);
    EXPECT_TRUE(answers[0].accepted);
    EXPECT_EQ(answers[0].pinCode, QStringLiteral("0815"));
    EXPECT_TRUE(BluetoothUIServerHack::waitTillItCloses());

    // A passkey request takes six digits at most; closing refuses.
    request.kind = BluetoothPairingAgent::Kind::Passkey;
    agent.open(request, [&](const BluetoothPairingAgent::Answer& a) { answers.append(a); });
    BluetoothUIServerHack::sendNumberString(QStringLiteral("1234567"), server);
    EXPECT_FALSE(BluetoothUIServerHack::sendEnterToApplicationNamed(server));
    BluetoothUIServerHack::closeDialogIfOpen();
    ASSERT_EQ(answers.size(), 2);
    EXPECT_FALSE(answers[1].accepted);
    EXPECT_FALSE(answers[1].cancelled);

    // Observers see each request.
    int seen = 0;
    BluetoothUIServerHack::addObserverForOpeningOfBluetoothKeyDialog(&seen, [&](const platform::Notification&) {
        ++seen;
    });
    agent.open(request, {});
    BluetoothUIServerHack::removeObserverForOpeningOfBluetoothDialog(&seen);
    agent.open(request, {});
    EXPECT_EQ(seen, 1);
    agent.cancel();

    EXPECT_EQ(BluetoothUIServerHack::executeCommand(QStringLiteral("/bin/echo"), {QStringLiteral("a b"), QStringLiteral("$HOME")}),
              QStringLiteral("a b $HOME\n"));
    EXPECT_TRUE(BluetoothUIServerHack::executeCommand(QStringLiteral("/nonexistent/tool"), {}).isEmpty());
}

TEST_F(BluetoothPairing, ObexTriggerPairsAgainstThePhoneSimulator)
{
    testing_support::OutsideInputScope outside;
    QTemporaryDir dir;
    std::optional<phonesim::PhoneProfile> lg = phonesim::PhoneProfile::named(QStringLiteral("lg"));
    ASSERT_TRUE(lg && dir.isValid());
    phonesim::PhoneSimulator phone(*lg);
    const QString socket = dir.filePath(QStringLiteral("p.sock"));
    ASSERT_TRUE(phone.startListening(socket)) << phone.errorString().toStdString();
    stack->setChannelSocketPath(kPairingPhone, 10, phonesim::ServiceRecords::obexSocketPath(socket));
    stack->addDevice(kPairingPhone, QStringLiteral("Anna's KU990"), false, lgRecords());
    pane.prepareForDisplay();
    pane.generateCode();
    const auto device = stack->deviceWithAddressString(kPairingPhone);
    pane.pairingWithOBEXTrigger(device);
    EXPECT_TRUE(logRecorder::contains(QStringLiteral("kOBEXSuccess  it is connected!")));
    EXPECT_TRUE(logRecorder::contains(QStringLiteral("fileTransferServicesDisconnectionComplete")));
    EXPECT_TRUE(pane.pinRequested());
    EXPECT_TRUE(pane.pairingSuccessful()) << "ended with pairingComplete";
    EXPECT_TRUE(testing_support::runUntil([this] { return host.nextPane > 0; }, 10.0, 0.05));
    EXPECT_EQ(stack->pairingCount(kPairingPhone), 1);
    EXPECT_EQ(stack->openCount(kPairingPhone), 1);
}

TEST_F(BluetoothPairing, PaneWidgetsForTheUser)
{
    pane.wizardPaneView()->resize(478, 318);
    pane.prepareForDisplay();
    pane.startProcessing();
    ASSERT_TRUE(testing_support::runUntil([this] { return pane.pairingInProgress(); }, 10.0, 0.05));
    testing_support::runFor(0.6);
    QLabel* code = pane.codeTextField();
    EXPECT_EQ(code->text(), pane.code());
    EXPECT_TRUE(code->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    EXPECT_FALSE(code->accessibleName().isEmpty());
    EXPECT_GE(code->font().pointSize(), 24);
    EXPECT_EQ(pane.instructionText(), pairingText("kEnterTheKey").arg(QStringLiteral("Anna's KU990")));
    EXPECT_TRUE(pane.isSpinning());
    EXPECT_TRUE(host.nextEnabled);
    platform::gui::saveGrab(pane.wizardPaneView(), QStringLiteral("pairing-code"));
    pane.stopProcessing();

    stack->setPairing(kPairingPhone, Mode::Confirmation, {}, 42);
    pane.prepareForDisplay();
    pane.startProcessing();
    ASSERT_TRUE(testing_support::runUntil([this] { return pane.isAskingForConfirmation(); }, 10.0, 0.05));
    EXPECT_EQ(pane.codeText(), QStringLiteral("000042"));
    EXPECT_FALSE(pane.yesButton()->accessibleName().isEmpty());
    platform::gui::saveGrab(pane.wizardPaneView(), QStringLiteral("pairing-confirm"));
    pane.noButton()->click();
    testing_support::runUntil([this] { return pane.previous > 0; }, 30.0, 0.05);
    EXPECT_EQ(pane.errorText(), pairingText("kWrongKeyTryAgain"));
    EXPECT_FALSE(pane.isAskingForConfirmation());
    platform::gui::saveGrab(pane.wizardPaneView(), QStringLiteral("pairing-failed"));
}

TEST_F(BluetoothPairing, AnAttemptNeverStallsTheGuiThread)
{
    // Real time: the pauses of the sequence (0.5 s before pairing, 5 s
    // before judging, 0.5 s before identifying) must run on the clock, not
    // as sleeps.
    // The pane drawn once before (fonts and styles load on first use).
    pane.prepareForDisplay();
    pane.startProcessing();
    pane.stopProcessing();
    QApplication::processEvents();
    host.nextPane = 0;
    testing_support::RealTimeScope realTime;
    testing_support::GuiGapProbe probe;
    runAttempt(20.0);
    probe.stop();
    EXPECT_EQ(host.nextPane, 1);
    std::printf("largest GUI-thread gap during a pairing: %lld ms\n", static_cast<long long>(probe.longest()));
    EXPECT_LE(probe.longest(), testing_support::kGuiGapLimitMs);
}
