// The data-card expert and its identifiers: cards found by name among the
// USB modems, identification on a worker thread with two retries, the row
// drawn on the GUI thread.
#include "VirtualTime.h"

#include "lumwick/AKPaneController.h"
#include "lumwick/DeviceExpertPane.h"
#include "lumwick/QVOptionCardIdentifier.h"
#include "lumwick/QVOptionExpert.h"
#include "platform/RunLoop.h"
#include "platform/UsbRegistrySimulated.h"

#include "WizardTestHosts.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using wizardtest::Host;
using wizardtest::Pane;

QVariantMap card(const QVariantList& ports = {QStringLiteral("/dev/ttyHS0")})
{
    return {{"product", "GlobeTrotter HSDPA Modem"}, {"portNames", ports}};
}

class DataCard : public ::testing::Test {
protected:
    void SetUp() override { pane.setMainController(&host); }
    Host host;
    Pane pane;
    testing_support::OutsideInputScope outside{0.002};
};

} // namespace

TEST(DataCardNames, EachFamilyKnowsItsCards)
{
    using F = QVOptionCardIdentifier::Family;
    EXPECT_TRUE(QVOptionCardIdentifier::isKnownCard(F::Option, QStringLiteral("GlobeTrotter HSDPA Modem")));
    EXPECT_TRUE(QVOptionCardIdentifier::isKnownCard(F::Huawei, QStringLiteral("HUAWEI Mobile Connect E220")));
    EXPECT_FALSE(QVOptionCardIdentifier::isKnownCard(F::Huawei, QStringLiteral("GlobeTrotter HSDPA Modem")));
    EXPECT_FALSE(QVOptionCardIdentifier::isKnownCard(F::Option, QStringLiteral("LG USB Modem")));
}

TEST(DataCardNames, IdentifierReportsProductAndPortsOfItsCardsOnly)
{
    auto registry = std::make_shared<platform::UsbRegistrySimulated>();
    const auto add = [&](const char* location, const char* product, const char* tty) {
        platform::UsbDevice device;
        device.location = QLatin1String(location);
        device.vendorId = 0x0af0;
        device.productId = 0x6971;
        device.vendorName = QStringLiteral("Maker");
        device.productName = QLatin1String(product);
        device.ttyPaths = {QLatin1String(tty)};
        registry->addInterface(registry->addDevice(device), 1, platform::UsbRegistry::kClassCdcData);
    };
    add("1-1", "GlobeTrotter HSDPA Modem", "/dev/ttyHS0");
    add("1-2", "LG USB Modem", "/dev/ttyACM0");
    platform::UsbRegistry::setShared(registry);
    const QList<QVariantMap> option = QVOptionCardIdentifier(QVOptionCardIdentifier::Family::Option).getCards();
    const QList<QVariantMap> huawei = QVOptionCardIdentifier(QVOptionCardIdentifier::Family::Huawei).getCards();
    platform::UsbRegistry::setShared(nullptr);
    ASSERT_EQ(option.size(), 1);
    EXPECT_EQ(option.first().value("product").toString(), QStringLiteral("GlobeTrotter HSDPA Modem"));
    EXPECT_EQ(option.first().value("portNames").toList(), QVariantList({QStringLiteral("/dev/ttyHS0")}));
    EXPECT_TRUE(huawei.isEmpty());
}

TEST_F(DataCard, AsksUpToThreeTimesOnTheGuiThread)
{
    struct Case {
        QList<int> answers;
        int asked;
        int id;
        const char* info;
    };
    const QList<Case> cases = {
        {{-1, -1, 15320}, 3, 15320, "Ready"},
        {{-1, -1, -1, 15320}, 3, -1, "Unknown or unsupported phone"},
        {{412}, 1, 412, "Ready"},
    };
    for (const Case& c : cases) {
        QVOptionExpert expert(&pane, card());
        std::atomic<int> asked{0};
        bool offThread = false;
        QList<int> answers = c.answers;
        expert.startRecognition([&](const QString& port) {
            EXPECT_EQ(port, QStringLiteral("/dev/ttyHS0"));
            offThread = offThread || !platform::runloop::isMainThread();
            ++asked;
            return answers.takeFirst();
        });
        ASSERT_TRUE(testing_support::runUntil([&] { return expert.expertFinished(); }, 30.0, 0.01));
        EXPECT_EQ(asked, c.asked);
        EXPECT_FALSE(offThread);
        EXPECT_EQ(expert.properties()->deviceNumber(), c.id);
        EXPECT_EQ(expert.nameInfo(), QLatin1String(c.info));
    }
}

TEST_F(DataCard, CardsWithoutPortOrWithVolumesAreUnknownAtOnce)
{
    QVariantMap withVolume = card();
    withVolume.insert(QStringLiteral("mountPoints"), QVariantList({QVariantMap{{"mountPoint", "/media/CARD"}}}));
    for (const QVariantMap& c : {card({}), withVolume}) {
        QVOptionExpert expert(&pane, c);
        bool asked = false;
        expert.startRecognition([&](const QString&) {
            asked = true;
            return 1;
        });
        EXPECT_TRUE(expert.expertFinished());
        EXPECT_FALSE(asked);
        EXPECT_EQ(expert.properties()->deviceNumber(), -1);
    }
}

TEST_F(DataCard, AnExpertThatGoesAwayMidwayIsNotDrawn)
{
    std::atomic<int> asked{0};
    int askedBefore = 0;
    {
        QVOptionExpert expert(&pane, card());
        expert.startRecognition([&](const QString&) {
            ++asked;
            return -1;
        });
        testing_support::runUntil([&] { return asked > 0; }, 5.0, 0.01);
        askedBefore = asked;
    }
    testing_support::runFor(1.0);
    EXPECT_EQ(asked, askedBefore) << "nothing is asked for an expert gone";
}
