// The device-selection pane with the program's model query, in real time:
// while the paired LG phone (a phone simulator behind the simulated RFCOMM
// channels) is checked and identified over AT and while inquiries run, the
// GUI thread never stalls for more than 50 ms (a 10 ms probe timer records
// the largest gap between its ticks).
#include "app/ProgramModelQuery.h"

#include "DeviceDBTestSupport.h"
#include "GuiGapProbe.h"
#include "PhoneSimulator.h"
#include "ServiceRecords.h"
#include "VirtualTime.h"
#include "device/qvDeviceDB.h"
#include "lumwick/BluetoothDeviceExpert.h"
#include "lumwick/BluetoothExpertScheduler.h"
#include "lumwick/DeviceSelectionController.h"
#include "platform/RunLoop.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>
#include "GuiGapLimit.h"

namespace {

const QString kLG = QStringLiteral("00:1e:75:11:22:33");
const QString kFound = QStringLiteral("00:1e:75:77:88:99");

struct Host : QVWizardCallbacks {
    void setDevice(std::shared_ptr<void>) override { }
    std::shared_ptr<void> device() const override { return nullptr; }
    void setDeviceExpert(std::shared_ptr<DeviceExpert>) override { }
    std::shared_ptr<DeviceExpert> deviceExpert() const override { return nullptr; }
    bool isValid(const QVariantMap& p) override { return p.value("Wizard.QuorvalisDeviceID").toInt() > 0; }
    void goToNextPane() override { }
    QImage getStatusIcon(int) override { return {}; }
};

} // namespace

TEST(WizardResponsiveness, CheckAndInquiryNeverStallTheGuiThread)
{
    testing_support::RealTimeScope realTime;
    QTemporaryDir dir;
    std::optional<phonesim::PhoneProfile> lg = phonesim::PhoneProfile::named(QStringLiteral("lg"));
    ASSERT_TRUE(lg);
    phonesim::PhoneSimulator phone(*lg);
    const QString socket = dir.filePath(QStringLiteral("phone.sock"));
    ASSERT_TRUE(phone.startListening(socket));
    const QString db = buildTestDeviceDB(
        QStringLiteral("responsiveness"),
        QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol) "
                       "VALUES ('15320', 'QUALCOMM INCORPORATED+KU990', 'KU990 Viewty', 'LG', 'lg');"));
    qvDeviceDB::setDefaultDatabasePath(db);
    qvDeviceDB::releaseSharedDeviceDB();
    // The program has its device database open from the start (the key
    // derivation of the first open is no part of a check).
    ASSERT_NE(qvDeviceDB::sharedDeviceDB(), nullptr);

    auto stack = std::make_shared<platform::BluetoothStackSimulated>();
    ASSERT_TRUE(stack->loadDevices(
        phonesim::ServiceRecords::deviceFile(kLG, QStringLiteral("Anna's KU990"), QStringLiteral("lg"), socket)));
    const quint32 phoneClass = platform::bluetooth::classOfDevice(platform::bluetooth::kMajorClassPhone, 3);
    stack->setClassOfDevice(kLG, phoneClass);
    stack->addDevice(kFound, QStringLiteral("Mia's KE850"), false, {});
    stack->setClassOfDevice(kFound, phoneClass);
    stack->setInquiryTiming(0.5, 1.5);
    platform::BluetoothStack::setShared(stack);
    bool read = false;
    stack->deviceWithAddressString(kLG)->performSdpQuery([&read](int) { read = true; });
    ASSERT_TRUE(platform::runloop::waitUntil([&read] { return read; }, 0.05, 100));

    ProgramModelQuery query;
    ModelQuery::setShared(&query);
    Host host;
    auto pane = std::make_unique<DeviceSelectionController>();
    ASSERT_TRUE(pane->initWithDefaultNib());
    pane->setMainController(&host);
    pane->doSetScan(true, false);

    // The pane's start builds its rows at once; the probe watches what
    // follows: the checks and the inquiries.
    pane->prepareForDisplay();
    pane->startProcessing();
    testing_support::GuiGapProbe probe;
    auto expert = BluetoothExpertScheduler::sharedScheduler().findDeviceExpertForAddress(kLG);
    ASSERT_NE(expert, nullptr);
    const bool checked = platform::runloop::waitUntil(
        [&] { return expert->expertFinished() && pane->subviewControllers().size() == 2; }, 0.05, 400);
    platform::runloop::waitUntil([] { return false; }, 0.05, 40); // inquiries go on meanwhile
    probe.stop();
    const int inquiries = stack->inquiryCount();
    const int model = expert->properties()->deviceNumber();
    pane->stopProcessing();
    pane.reset();
    ModelQuery::setShared(nullptr);
    platform::BluetoothStack::setShared(nullptr);
    qvDeviceDB::setDefaultDatabasePath(QString());
    qvDeviceDB::releaseSharedDeviceDB();

    EXPECT_TRUE(checked);
    EXPECT_EQ(model, 15320);
    EXPECT_GE(inquiries, 2);
    RecordProperty("largest_gui_gap_ms", int(probe.longest()));
    std::printf("largest GUI-thread gap: %lld ms over %lld ms\n", static_cast<long long>(probe.longest()),
                static_cast<long long>(probe.elapsed()));
    EXPECT_LE(probe.longest(), testing_support::kGuiGapLimitMs);
}
