// The device expert's support and pairing decisions and its status images.
#include "LogRecorder.h"

#include "lumwick/AKStartPaneController.h"
#include "lumwick/DeviceExpert.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

namespace {

// A host that answers isValid as told, counts the questions, and may give its
// own status image for one kind.
struct JudgingHost : QVWizardCallbacks {
    bool valid = true;
    int asked = 0;
    int ownIconKind = -100;
    void setDevice(std::shared_ptr<void>) override {}
    std::shared_ptr<void> device() const override { return nullptr; }
    void setDeviceExpert(std::shared_ptr<DeviceExpert>) override {}
    std::shared_ptr<DeviceExpert> deviceExpert() const override { return nullptr; }
    bool isValid(const QVariantMap&) override
    {
        ++asked;
        return valid;
    }
    void goToNextPane() override {}
    QImage getStatusIcon(int kind) override
    {
        if (kind != ownIconKind)
            return {};
        QImage own(3, 3, QImage::Format_ARGB32);
        own.fill(Qt::blue);
        return own;
    }
};

class Expert : public ::testing::Test {
protected:
    void SetUp() override
    {
        logRecorder::clear();
        pane.setMainController(&host);
    }
    JudgingHost host;
    AKStartPaneController pane;
};

TEST_F(Expert, NeedsPairingWhenLittleIsKnownOrThePairingIsStale)
{
    const struct {
        QVariantMap properties;
        bool valid;
        bool needsPairing;
    } cases[] = {
        {{{"Wizard.DeviceUserName", "A"}, {"Wizard.BluetoothAddress", "00-11"}}, true, true},
        {{}, true, true},
        {{{"Wizard.DeviceUserName", "A"}, {"Wizard.BluetoothAddress", "00-11"}, {"Wizard.QuorvalisDeviceID", 5}},
         true, false},
        {{{"Wizard.DeviceUserName", "A"}, {"Wizard.BluetoothAddress", "00-11"}, {"Wizard.HasDeviceStalePairing", true}},
         true, true},
        {{{"Wizard.DeviceUserName", "A"}, {"Wizard.BluetoothAddress", "00-11"}, {"Wizard.HasDeviceStalePairing", "yes"}},
         true, false},   // a text where a flag belongs reads as absent
        {{{"Wizard.DeviceUserName", "A"}}, false, false},   // the host refuses the phone
    };
    for (const auto& c : cases) {
        DeviceExpert expert(&pane);
        expert.setDeviceProperties(c.properties);
        host.valid = c.valid;
        EXPECT_EQ(expert.doesNeedPairing(), c.needsPairing) << QDebug::toString(c.properties).toStdString();
    }
}

TEST_F(Expert, ModelMinusOneIsUnsupportedWithoutAskingTheHostAndZeroIsAsked)
{
    DeviceExpert expert(&pane);
    expert.setDeviceProperties({{"Wizard.QuorvalisDeviceID", -1}});
    EXPECT_TRUE(expert.isUnsupportedDevice());
    EXPECT_EQ(host.asked, 0);
    expert.setDeviceProperties({{"Wizard.QuorvalisDeviceID", 0}});
    EXPECT_TRUE(expert.isSupportedDevice());
    EXPECT_EQ(host.asked, 1);
    host.valid = false;
    EXPECT_FALSE(expert.isSupportedDevice());
}

TEST_F(Expert, WithoutAControllerSupportIsRefusedWithALogLineNeverAnException)
{
    DeviceExpert lost;
    lost.setDeviceProperties({{"Wizard.DeviceUserName", "A"}, {"Wizard.BluetoothAddress", "00-11"}});
    EXPECT_NO_THROW(EXPECT_FALSE(lost.isSupportedDevice()));
    EXPECT_FALSE(lost.doesNeedPairing());
    ASSERT_FALSE(logRecorder::lines().isEmpty());
    EXPECT_TRUE(logRecorder::lines().last().startsWith("Lost controller for device "));
}

TEST_F(Expert, StatusIconsByKindWithTheHostsImageWinning)
{
    DeviceExpert expert(&pane);
    const struct {
        int kind;
        const char* name;
    } kinds[] = {{0, "empty"}, {1, "mini_stopIt"}, {2, "mini_isOk"}, {3, "mini_new_payAttention"},
                 {10, "small_usb_new"}, {11, "USBStorage"}, {4, ""}, {-1, ""}};
    for (const auto& k : kinds) {
        EXPECT_EQ(DeviceExpert::statusIconName(k.kind), k.name);
        EXPECT_EQ(expert.getStatusIcon(k.kind).isNull(), QString(k.name).isEmpty()) << k.kind;
    }
    host.ownIconKind = 2;
    EXPECT_EQ(expert.getStatusIcon(2).size(), QSize(3, 3));
    EXPECT_NE(expert.getStatusIcon(1).size(), QSize(3, 3));
}

TEST_F(Expert, CopySharesControllerPropertiesAndKindAndTheAbstractsAnswerSafely)
{
    DeviceExpert original(&pane);
    original.setDeviceProperties({{"product", "KG800"}});
    original.setError(1);
    const DeviceExpert copy = DeviceExpert::withDeviceExpert(original);
    EXPECT_EQ(copy.controller(), &pane);
    EXPECT_EQ(copy.getPropertiesDictionary(), original.getPropertiesDictionary());
    EXPECT_EQ(copy.properties(), original.properties());   // one properties object
    EXPECT_FALSE(copy.hadError());
    EXPECT_EQ(copy.mainController(), &host);

    DeviceExpert plain;
    EXPECT_TRUE(plain.expertFinished());
    EXPECT_FALSE(plain.isReachable());
    EXPECT_TRUE(logRecorder::contains("Abstract method. Do not call!"));
    try {
        plain.isReady();
        ADD_FAILURE() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), "Not implemented exception");
        EXPECT_TRUE(e.reason().endsWith("-[DeviceExpert isReady]"));
    }
}

} // namespace
