// Pairing in the simulated Bluetooth layer and its agent: each way a phone
// pairs, the time limit, cancelling, and the agent's answers and refusals.
#include "platform/IOReturn.h"
#include "platform/NotificationCenter.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include "VirtualTime.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

const QString kAgentPhone = QStringLiteral("00:1e:75:10:20:30");
using AgentMode = BluetoothStackSimulated::PairingMode;

struct AgentPairingRun {
    int status = -1;
    double endedAt = -1;
};

class SimulatedPairing : public ::testing::Test {
protected:
    void SetUp() override
    {
        stack = std::make_shared<BluetoothStackSimulated>();
        stack->addDevice(kAgentPhone, QStringLiteral("KU990"), false, {});
        device = stack->deviceWithAddressString(kAgentPhone);
        started = NotificationCenter::defaultCenter().addObserver(
            this, QString::fromLatin1(BluetoothPairingAgent::kRequestStartedNotification), &stack->pairingAgent(),
            [this](const Notification& n) {
                requests.append(n.userInfo);
                if (answer)
                    answer(stack->pairingAgent());
            });
    }
    void TearDown() override { NotificationCenter::defaultCenter().removeObserver(started); }

    AgentPairingRun pairAndWait(double limit = 40.0)
    {
        AgentPairingRun run;
        const double start = Clock::instance().now();
        EXPECT_EQ(device->pair([&run](int s) {
            run.status = s;
            run.endedAt = Clock::instance().now();
        }),
                  0);
        testing_support::runUntil([&run] { return run.status != -1; }, limit, 0.1);
        if (run.endedAt >= 0)
            run.endedAt -= start;
        return run;
    }

    std::shared_ptr<BluetoothStackSimulated> stack;
    std::shared_ptr<BluetoothDevice> device;
    std::function<void(BluetoothPairingAgent&)> answer;
    QList<QVariantMap> requests;
    NotificationCenter::Token started = 0;
};

} // namespace

TEST_F(SimulatedPairing, EachModeEndsWithItsStatus)
{
    const struct {
        const char* name;
        AgentMode mode;
        std::function<void(BluetoothPairingAgent&)> answer;
        int status;
        int requestKind;   // -1: no request
    } cases[] = {
        {"right PIN", AgentMode::PinCode, [](BluetoothPairingAgent& a) { a.answerPinCode(QStringLiteral("4711")); }, 0,
         int(BluetoothPairingAgent::Kind::PinCode)},
        {"wrong PIN", AgentMode::PinCode, [](BluetoothPairingAgent& a) { a.answerPinCode(QStringLiteral("4712")); },
         bluetooth::kAuthenticationFailure, int(BluetoothPairingAgent::Kind::PinCode)},
        {"refused", AgentMode::PinCode, [](BluetoothPairingAgent& a) { a.reject(); }, bluetooth::kAuthenticationFailure,
         int(BluetoothPairingAgent::Kind::PinCode)},
        {"confirmed", AgentMode::Confirmation, [](BluetoothPairingAgent& a) { a.confirm(true); }, 0,
         int(BluetoothPairingAgent::Kind::Confirmation)},
        {"not confirmed", AgentMode::Confirmation, [](BluetoothPairingAgent& a) { a.confirm(false); },
         bluetooth::kAuthenticationFailure, int(BluetoothPairingAgent::Kind::Confirmation)},
        {"without asking", AgentMode::Succeed, {}, 0, -1},
        {"page time-out", AgentMode::PageTimeout, {}, bluetooth::kPageTimeout, -1},
        {"authentication failure", AgentMode::AuthenticationFailure, {}, bluetooth::kAuthenticationFailure, -1},
        {"no answer from the agent", AgentMode::PinCode, {}, kIOReturnTimeout, int(BluetoothPairingAgent::Kind::PinCode)},
        {"phone never answers", AgentMode::NeverAnswer, {}, kIOReturnTimeout, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        stack->addDevice(kAgentPhone, QStringLiteral("KU990"), false, {});
        stack->setPairing(kAgentPhone, c.mode, QStringLiteral("4711"), 654321);
        answer = c.answer;
        requests.clear();
        const AgentPairingRun run = pairAndWait();
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(device->isPaired(), c.status == 0);
        EXPECT_FALSE(device->isPairing());
        EXPECT_FALSE(stack->pairingAgent().hasPendingRequest()) << "the pairing's end ends its request";
        if (c.status == kIOReturnTimeout)
            EXPECT_NEAR(run.endedAt, bluetooth::kPairingTimeLimit, 0.2);
        ASSERT_EQ(requests.size(), c.requestKind < 0 ? 0 : 1);
        if (c.requestKind >= 0) {
            EXPECT_EQ(requests[0].value("kind").toInt(), c.requestKind);
            EXPECT_EQ(requests[0].value("address").toString(), kAgentPhone.toUpper());
            if (c.mode == AgentMode::Confirmation)
                EXPECT_EQ(requests[0].value("passkey").toUInt(), 654321u);
        }
    }
}

TEST_F(SimulatedPairing, OutOfReachBusyAndCancelled)
{
    stack->setInReach(kAgentPhone, false);
    EXPECT_EQ(pairAndWait().status, bluetooth::kPageTimeout);
    stack->setInReach(kAgentPhone, true);

    // One pairing at a time; cancelling ends it and its request.
    int status = -1;
    ASSERT_EQ(device->pair([&](int s) { status = s; }), 0);
    EXPECT_EQ(device->pair([](int) { ADD_FAILURE() << "a refused start reports nothing"; }), kIOReturnBusy);
    ASSERT_TRUE(testing_support::runUntil([this] { return stack->pairingAgent().hasPendingRequest(); }, 5.0, 0.1));
    device->cancelPairing();
    EXPECT_FALSE(stack->pairingAgent().hasPendingRequest());
    testing_support::runFor(0.5);
    EXPECT_EQ(status, kIOReturnNotOpen);
    EXPECT_FALSE(device->isPaired());
    // An answer after the end changes nothing.
    EXPECT_FALSE(stack->pairingAgent().answerPinCode(QStringLiteral("0000")));

    stack->setHasAdapter(false);
    EXPECT_EQ(device->pair([](int) {}), kIOReturnNoDevice);
}

TEST_F(SimulatedPairing, AgentChecksWhatItIsGiven)
{
    BluetoothPairingAgent& agent = stack->pairingAgent();
    QList<BluetoothPairingAgent::Answer> answers;
    const auto keep = [&](const BluetoothPairingAgent::Answer& a) { answers.append(a); };
    BluetoothPairingAgent::Request request;
    request.address = device->address();

    request.kind = BluetoothPairingAgent::Kind::PinCode;
    agent.open(request, keep);
    EXPECT_FALSE(agent.answerPinCode(QString())) << "empty";
    EXPECT_FALSE(agent.answerPinCode(QString(17, u'1'))) << "longer than 16";
    EXPECT_FALSE(agent.answerPasskey(1)) << "not a passkey request";
    EXPECT_FALSE(agent.confirm(true));
    EXPECT_TRUE(answers.isEmpty());
    // A new request ends the old one with a refusal.
    const int second = agent.open(request, keep);
    ASSERT_EQ(answers.size(), 1);
    EXPECT_FALSE(answers[0].accepted);
    agent.cancel(second + 1);
    EXPECT_TRUE(agent.hasPendingRequest()) << "another request's cancel";
    agent.cancel(second);
    ASSERT_EQ(answers.size(), 2);
    EXPECT_TRUE(answers[1].cancelled);

    request.kind = BluetoothPairingAgent::Kind::Passkey;
    agent.open(request, keep);
    EXPECT_FALSE(agent.answerPasskey(1000000));
    agent.type(QStringLiteral("0042"));
    EXPECT_TRUE(agent.enter());
    ASSERT_EQ(answers.size(), 3);
    EXPECT_EQ(answers[2].passkey, 42u);

    // Display requests want no answer; Enter ends them.
    request.kind = BluetoothPairingAgent::Kind::DisplayPasskey;
    request.passkey = 123;
    agent.open(request, keep);
    EXPECT_FALSE(agent.type(QStringLiteral("1")));
    EXPECT_TRUE(agent.enter());
    EXPECT_EQ(answers.size(), 3);
    EXPECT_FALSE(agent.enter()) << "nothing pending";
    EXPECT_FALSE(agent.reject());
}

TEST_F(SimulatedPairing, DeviceFileDescribesPairing)
{
    auto fresh = std::make_shared<BluetoothStackSimulated>();
    QString error;
    EXPECT_FALSE(fresh->loadDevices(
        R"({"devices": [{"address": "00:1e:75:10:20:30", "pairing": {"mode": "sometimes"}}]})", &error));
    EXPECT_TRUE(error.contains("bad pairing mode"));
    EXPECT_FALSE(fresh->loadDevices(
        R"({"devices": [{"address": "00:1e:75:10:20:30", "pairing": {"mode": "confirm", "passkey": 1000000}}]})",
        &error));
    ASSERT_TRUE(fresh->loadDevices(
        R"({"devices": [{"address": "00:1e:75:10:20:30", "name": "KU990", "pairing": {"mode": "pin", "pin": "31337"}}]})",
        &error))
        << error.toStdString();
    stack = fresh;
    device = stack->deviceWithAddressString(kAgentPhone);
    NotificationCenter::defaultCenter().removeObserver(started);
    started = NotificationCenter::defaultCenter().addObserver(
        this, QString::fromLatin1(BluetoothPairingAgent::kRequestStartedNotification), &stack->pairingAgent(),
        [this](const Notification&) { stack->pairingAgent().answerPinCode(QStringLiteral("31337")); });
    EXPECT_EQ(pairAndWait().status, 0);
    EXPECT_TRUE(device->isPaired());
}
