// The Bluetooth expert's check against the simulated Bluetooth layer, in
// virtual time: its progress, its five outcomes with their status texts and
// images, the stale pairing, and the finished notification.
#include "LogRecorder.h"
#include "VirtualTime.h"
#include "WizardTestHosts.h"

#include "lumwick/AKPaneController.h"
#include "lumwick/BluetoothDeviceExpert.h"
#include "lumwick/DeviceExpertPane.h"
#include "lumwick/LumwickLog.h"
#include "lumwick/ModelQuery.h"
#include "lumwick/PieProgressIndicator.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/gui/TestArtifacts.h"

#include <QLabel>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

const QString kPaired = QStringLiteral("00:1e:75:11:22:33");
const QString kUnpaired = QStringLiteral("00:1e:75:44:55:66");
const QString kAway = QStringLiteral("00:1e:75:77:88:99");

// Stands for the device-selection pane: gives rows, records what the experts
// tell it.
struct SelectionPane : AKPaneController, DeviceExpertPane {
    bool windowsMobile = false;
    int validations = 0;
    QList<std::shared_ptr<DeviceExpert>> invalid;
    void validateButtons() override { ++validations; }
    bool enableWindowsMobile() const override { return windowsMobile; }
    void addInvalidExpert(std::shared_ptr<DeviceExpert> expert) override { invalid.append(expert); }
};

// Answers a fixed model; may do something while "the phone is asked".
struct StubQuery : ModelQuery {
    int model = 412;
    int asked = 0;
    std::function<void()> whileAsking;
    int qvIDForBTAddress(const QString&, int retries) override
    {
        ++asked;
        EXPECT_EQ(retries, 1);
        if (whileAsking)
            whileAsking();
        return model;
    }
    QString modelNameForQVID(int id) override { return id == 412 ? QStringLiteral("KG800") : QString(); }
    int qvIDForUSBAddress(const QString&) override { return -1; }
    QString deviceTypeForQVID(int) override { return {}; }
};

// Records the progress it is given and when the check reached 100.
class RecordingExpert : public BluetoothDeviceExpert {
public:
    using BluetoothDeviceExpert::BluetoothDeviceExpert;
    void setProgress(double value) override
    {
        progress.append(value);
        if (value == 100)
            endedAt = platform::Clock::instance().now();
        BluetoothDeviceExpert::setProgress(value);
    }
    QList<double> progress;
    double endedAt = -1;
};

// The pie's image for a status kind, as the expert's own pie would hold it.
QImage haltedImageOf(BluetoothDeviceExpert& expert, int kind)
{
    QVProgressPie pie;
    pie.resize(expert.progressIndicator()->size());
    pie.setHaltedImage(expert.getStatusIcon(kind));
    return pie.haltedImage();
}

class BluetoothExpert : public ::testing::Test {
protected:
    void SetUp() override
    {
        logRecorder::clear();
        stack = std::make_shared<platform::BluetoothStackSimulated>();
        stack->addDevice(kPaired, QStringLiteral("Anna's KG800"), true, {});
        stack->addDevice(kUnpaired, QString(), false, {});
        platform::BluetoothStack::setShared(stack);
        ModelQuery::setShared(&query);
        pane.setMainController(&host);
        token = platform::NotificationCenter::defaultCenter().addObserver(
            this, QString::fromLatin1(BluetoothDeviceExpert::kExpertFinishedNotification), nullptr,
            [this](const platform::Notification& n) {
                finished.append({n.sender, platform::Clock::instance().now()});
            });
    }
    void TearDown() override
    {
        platform::NotificationCenter::defaultCenter().removeObserver(token);
        ModelQuery::setShared(nullptr);
        platform::BluetoothStack::setShared(nullptr);
    }

    std::shared_ptr<RecordingExpert> expertFor(const QString& address)
    {
        return std::make_shared<RecordingExpert>(stack->deviceWithAddressString(address), &pane);
    }
    // Runs a check to its end and past the finished notification.
    void check(RecordingExpert& expert)
    {
        expert.progress.clear();
        expert.checkTTY();
        testing_support::runUntil([&] { return !finished.isEmpty(); }, 30.0, 0.05);
        testing_support::runFor(1.0);
    }

    struct Finished {
        const void* sender;
        double at;
    };
    std::shared_ptr<platform::BluetoothStackSimulated> stack;
    wizardtest::Host host;
    SelectionPane pane;
    StubQuery query;
    QList<Finished> finished;
    platform::NotificationCenter::Token token = 0;
};

TEST_F(BluetoothExpert, MadeFromADeviceItShowsNameAndPairingAndKnowsOnlyTheAddress)
{
    auto paired = expertFor(kPaired);
    ASSERT_NE(paired->view(), nullptr);
    EXPECT_EQ(paired->btNameString(), QStringLiteral("Anna's KG800"));
    EXPECT_EQ(paired->statusTextString(), lumwick::localized(QStringLiteral("kIsConnected")));
    EXPECT_EQ(paired->getPropertiesDictionary(),
              (QVariantMap{{"Wizard.BluetoothAddress", paired->device()->addressString()},
                           {"Wizard.QuorvalisDeviceID", 0}}));
    EXPECT_TRUE(paired->isBluetoothExpert());
    EXPECT_FALSE(paired->isUSBExpert());
    EXPECT_TRUE(paired->isReady());
    EXPECT_TRUE(paired->isReachable());
    EXPECT_TRUE(paired->progressIndicator()->isHalted());
    EXPECT_EQ(paired->progressIndicator()->haltedImage(), haltedImageOf(*paired, DeviceExpert::kIconEmpty));
    // Nothing learned beyond the address: it needs pairing.
    EXPECT_TRUE(paired->doesNeedPairing());

    // A phone without a name shows its address.
    auto nameless = expertFor(kUnpaired);
    EXPECT_EQ(nameless->btNameString(), nameless->device()->addressString());
    EXPECT_EQ(nameless->statusTextString(), lumwick::localized(QStringLiteral("kNotConnected")));

    // The factories want a controller with a host; a bare init is refused.
    AKPaneController hostless;
    EXPECT_EQ(BluetoothDeviceExpert::expertForAddress(kPaired, nullptr), nullptr);
    EXPECT_EQ(BluetoothDeviceExpert::expertForAddress(kPaired, &hostless), nullptr);
    EXPECT_NE(BluetoothDeviceExpert::expertForAddress(kPaired, &pane), nullptr);
    EXPECT_EQ(BluetoothDeviceExpert::init(), nullptr);
    EXPECT_TRUE(logRecorder::contains("init not allowed on BluetoothDeviceExpert, use initWithDevice..."));
    EXPECT_EQ(paired->description().left(40), QStringLiteral("BluetoothDeviceExpert with properties: D"));
}

TEST_F(BluetoothExpert, EachOutcomeWithItsProgressStatusAndImage)
{
    const QList<double> full{0, 10, 30, 50, 70, 90, 100};
    const struct {
        const char* name;
        QString address;
        bool stale;
        int model;
        bool hostAccepts;
        bool windowsMobile;
        QList<double> progress;
        const char* statusKey;   // null: the querying text stays
        int icon;                // -1: the halted image the pie had
        bool reachable;
    } cases[] = {
        {"ready", kPaired, false, 412, true, false, full, "kReady", DeviceExpert::kIconOk, true},
        {"unidentified", kPaired, false, -1, true, false, full, "kUnknown", DeviceExpert::kIconStop, true},
        {"refused by the host", kPaired, false, 412, false, false, full, "kUnknown", DeviceExpert::kIconStop, true},
        {"out of reach", kAway, false, 412, true, false, {0, 10, 90, 100}, "kNotReachable",
         DeviceExpert::kIconStop, false},
        {"stale pairing", kPaired, true, 412, true, false, {0, 10, 30, 80, 90, 100}, "kHasStalePairing",
         DeviceExpert::kIconAttention, true},
        {"Windows Mobile", kPaired, false, -1, true, true, full, nullptr, -1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        stack->addDevice(kPaired, QStringLiteral("Anna's KG800"), true, {});
        stack->setStalePairing(kPaired, c.stale);
        query.model = c.model;
        const bool accepts = c.hostAccepts;
        host.accept = [accepts](const QVariantMap&) { return accepts; };
        pane.windowsMobile = c.windowsMobile;
        pane.validations = 0;
        pane.invalid.clear();
        finished.clear();
        auto expert = expertFor(c.address);
        const QImage before = expert->progressIndicator()->haltedImage();
        expert->setDeviceProperties({{"Wizard.BluetoothAddress", c.address}});

        check(*expert);
        EXPECT_EQ(expert->progress, c.progress);
        EXPECT_EQ(expert->statusTextString(),
                  c.statusKey ? lumwick::localized(QString::fromLatin1(c.statusKey))
                              : lumwick::localized(QStringLiteral("kQueryingDevice")));
        EXPECT_TRUE(expert->progressIndicator()->isHalted());
        EXPECT_EQ(expert->progressIndicator()->haltedImage(),
                  c.icon < 0 ? before : haltedImageOf(*expert, c.icon));
        EXPECT_EQ(expert->isReachable(), c.reachable);
        EXPECT_TRUE(expert->expertFinished());
        EXPECT_EQ(pane.validations, 1);
        EXPECT_FALSE(expert->device() && expert->device()->isConnected());
        // Once, half a second after the outcome, from the expert.
        ASSERT_EQ(finished.size(), 1);
        EXPECT_EQ(finished[0].sender, static_cast<const DeviceExpert*>(expert.get()));
        EXPECT_NEAR(finished[0].at - expert->endedAt, 0.5, 1e-6);
        if (QString(c.statusKey) == QLatin1String("kReady")) {
            EXPECT_EQ(expert->properties()->deviceNumber(), 412);
            EXPECT_EQ(expert->properties()->btModelName(), QStringLiteral("KG800"));
            EXPECT_EQ(expert->properties()->btUserName(), QStringLiteral("Anna's KG800"));
        }
    }
}

TEST_F(BluetoothExpert, AStalePairingIsRemovedAndTheExpertGoesToTheInvalidList)
{
    stack->setStalePairing(kPaired);
    auto expert = expertFor(kPaired);
    EXPECT_FALSE(expert->expertFinished());   // paired, not yet checked
    check(*expert);
    EXPECT_EQ(stack->pairingRemovalCount(kPaired), 1);
    EXPECT_FALSE(expert->device()->isPaired());
    ASSERT_EQ(pane.invalid.size(), 1);
    EXPECT_EQ(pane.invalid[0].get(), expert.get());
    EXPECT_TRUE(expert->properties()->deviceHasStalePairing());
    EXPECT_EQ(query.asked, 0);
    // Stale now: it needs pairing again, however much is known.
    EXPECT_TRUE(expert->doesNeedPairing());
}

TEST_F(BluetoothExpert, TheContinuationReadsTheLaterOfTwoCompletions)
{
    // A second completion before the continuation runs: its status counts,
    // and the check goes on once.
    auto expert = expertFor(kPaired);
    expert->checkTTY();
    expert->connectionComplete(platform::bluetooth::kPageTimeout);
    testing_support::runFor(5.0);   // the link the first open made is closed with waits
    EXPECT_EQ(expert->progress, (QList<double>{0, 10, 90, 100}));
    EXPECT_FALSE(expert->isReachable());
    EXPECT_EQ(finished.size(), 1);

    // One while the phone is asked for its model: the link broke meanwhile.
    finished.clear();
    auto second = expertFor(kPaired);
    query.whileAsking = [&] { second->connectionComplete(platform::bluetooth::kPageTimeout); };
    check(*second);
    EXPECT_EQ(second->statusTextString(), lumwick::localized(QStringLiteral("kHasStalePairing")));
    EXPECT_EQ(second->progress, (QList<double>{0, 10, 30, 50, 70, 80, 90, 100}));
    EXPECT_EQ(finished.size(), 1);
}

TEST_F(BluetoothExpert, WithoutADeviceTheCheckEndsNotReachable)
{
    auto expert = std::make_shared<RecordingExpert>(&pane);
    EXPECT_TRUE(expert->getPropertiesDictionary().value("Wizard.BluetoothAddress").isNull());
    EXPECT_TRUE(expert->expertFinished());   // nothing paired to check
    check(*expert);
    EXPECT_EQ(expert->progress, (QList<double>{0, 90, 100}));
    EXPECT_EQ(expert->statusTextString(), lumwick::localized(QStringLiteral("kNotReachable")));
    EXPECT_FALSE(expert->isReachable());
    EXPECT_EQ(finished.size(), 1);

    // An expert gone before its notification is due posts nothing.
    finished.clear();
    auto gone = expertFor(kAway);
    gone->checkTTY();
    gone.reset();
    testing_support::runFor(1.0);
    EXPECT_TRUE(finished.isEmpty());
}

TEST_F(BluetoothExpert, ProgressReleasesTheHaltAndAnimationTogglesIt)
{
    auto expert = expertFor(kPaired);
    expert->setProgress(30);
    EXPECT_FALSE(expert->progressIndicator()->isHalted());
    EXPECT_EQ(expert->progressIndicator()->doubleValue(), 30);
    expert->toggleAnimation();
    EXPECT_TRUE(expert->isAnimating());
    EXPECT_TRUE(expert->progressIndicator()->isHalted());
    expert->toggleAnimation();
    EXPECT_FALSE(expert->progressIndicator()->isHalted());
    EXPECT_EQ(expert->progressIndicator()->doubleValue(), 10);
}

TEST_F(BluetoothExpert, RowsWithEachStatusImage)
{
    QWidget list;
    auto* layout = new QVBoxLayout(&list);
    std::vector<std::shared_ptr<RecordingExpert>> rows;
    const struct {
        int kind;
        const char* status;
    } shown[] = {{DeviceExpert::kIconEmpty, "kIsConnected"},
                 {DeviceExpert::kIconOk, "kReady"},
                 {DeviceExpert::kIconStop, "kNotReachable"},
                 {DeviceExpert::kIconAttention, "kHasStalePairing"}};
    for (const auto& s : shown) {
        auto expert = expertFor(kPaired);
        layout->addWidget(expert->view());
        expert->setStatusTextString(QString::fromLatin1(s.status));
        expert->haltProgressWithStatus(s.kind);
        rows.push_back(expert);
    }
    auto checking = expertFor(kUnpaired);
    layout->addWidget(checking->view());
    checking->setStatusTextString(QStringLiteral("kQueryingDevice"));
    checking->setProgress(50);
    rows.push_back(checking);
    list.resize(420, 220);
    EXPECT_FALSE(platform::gui::saveGrab(&list, QStringLiteral("lumwick-bluetooth-expert-rows")).isEmpty());
    for (const auto& row : rows)
        EXPECT_FALSE(row->progressIndicator()->haltedImage().isNull() && row->progressIndicator()->isHalted());
    // The rows go before the list that holds them.
    rows.clear();
}

} // namespace
