// The program's model query against the simulated LG phone on a
// pseudo-terminal and the built device database; and the wizard's USB row
// identified through it when its model database lacks the phone.
#include "app/ProgramModelQuery.h"

#include "DeviceDBTestSupport.h"
#include "PhoneSimulator.h"
#include "VirtualTime.h"
#include "device/qvDeviceDB.h"
#include "links/CommonAsyncDeviceIdentifier.h"
#include "lumwick/AKPaneController.h"
#include "lumwick/DeviceExpertPane.h"
#include "lumwick/QVModelDatabase.h"
#include "lumwick/QVUSBExpert.h"
#include "platform/UsbRegistrySimulated.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"

#include <QTemporaryDir>

#include "../lumwick/WizardTestHosts.h"

#include <gtest/gtest.h>

namespace {

constexpr int kKU990 = 15320;

using wizardtest::Host;
using wizardtest::Pane;

class ModelQueryOverTty : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::optional<phonesim::PhoneProfile> profile = phonesim::PhoneProfile::named(QStringLiteral("lg"));
        ASSERT_TRUE(profile);
        phone = std::make_unique<phonesim::PhoneSimulator>(std::move(*profile));
        ASSERT_TRUE(phone->start()) << phone->errorString().toStdString();
        // The phone as the one USB modem attached.
        auto registry = std::make_shared<platform::UsbRegistrySimulated>();
        platform::UsbDevice modem;
        modem.location = QStringLiteral("1-1");
        modem.vendorId = 0x1004;
        modem.productId = 0x6001;
        modem.vendorName = QStringLiteral("LG Electronics");
        modem.productName = QStringLiteral("LG USB Modem");
        modem.serialNumber = QStringLiteral("354123012345672");
        modem.ttyPaths = {phone->slavePath()};
        registry->addInterface(registry->addDevice(modem), 1, platform::UsbRegistry::kClassCdcData);
        platform::UsbRegistry::setShared(registry);
        const QString path = buildTestDeviceDB(
            QStringLiteral("model-query"),
            QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol) "
                           "VALUES ('15320', 'QUALCOMM INCORPORATED+KU990', 'KU990 Viewty', 'LG', 'lg');"));
        ASSERT_FALSE(path.isEmpty());
        qvDeviceDB::setDefaultDatabasePath(path);
        qvDeviceDB::releaseSharedDeviceDB();
    }
    void TearDown() override
    {
        // Identifiers close their links and free themselves on later passes.
        testing_support::runFor(CommonAsyncDeviceIdentifier::kCloseTimeOut + 1.0);
        platform::UsbRegistry::setShared(nullptr);
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
    }
    void answerModel(phonesim::AtResult result)
    {
        phone->setHandler("+CGMM", [result](phonesim::PhoneSession&, const phonesim::AtCommand&) { return result; });
    }

    testing_support::OutsideInputScope outside;
    std::unique_ptr<phonesim::PhoneSimulator> phone;
    ProgramModelQuery query;
};

} // namespace

TEST_F(ModelQueryOverTty, NamesTheModelThroughTheDeviceDatabase)
{
    EXPECT_EQ(query.qvIDForUSBAddress(phone->slavePath()), kKU990);
    EXPECT_EQ(query.modelNameForQVID(kKU990), QStringLiteral("KU990 Viewty"));
    EXPECT_EQ(query.deviceTypeForQVID(kKU990), QStringLiteral("lg"));
    EXPECT_EQ(query.modelNameForQVID(-1), QString());
    EXPECT_EQ(query.deviceTypeForQVID(424242), QString());
}

TEST_F(ModelQueryOverTty, BusyUnknownAndMissingPhones)
{
    answerModel(phonesim::AtResult::okay({"BUSY"}));
    EXPECT_EQ(query.qvIDForUSBAddress(phone->slavePath()), ModelQuery::kProbeDevice);

    answerModel(phonesim::AtResult::okay({"ZX-9000"}));
    EXPECT_EQ(query.qvIDForUSBAddress(phone->slavePath()), -1) << "a model the database does not know";

    EXPECT_EQ(query.qvIDForUSBAddress(QStringLiteral("/dev/nonexistent-tty")), -1);
    EXPECT_EQ(query.qvIDForBTAddress(QStringLiteral("not an address"), 1), -1);
}

TEST_F(ModelQueryOverTty, UsbRowMissingFromTheModelDatabaseIsAskedOverItsTty)
{
    QTemporaryDir dir;
    // An empty model database: no fast detection for any phone.
    QVModelDatabase::setDefaultPath(dir.filePath(QStringLiteral("missing.sqlite")));
    ModelQuery::setShared(&query);
    Host host;
    Pane pane;
    pane.setMainController(&host);
    auto expert = QVUSBExpert::parent(nullptr, &pane);
    expert->setDeviceProperties({{"vendorId", 0x1004},
                                 {"productId", 0x6001},
                                 {"product", "LG USB Modem"},
                                 {"portNames", QVariantList({phone->slavePath()})}});
    expert->startRecognition();
    ModelQuery::setShared(nullptr);
    QVModelDatabase::setDefaultPath(QString());
    EXPECT_EQ(expert->properties()->deviceNumber(), kKU990);
    EXPECT_EQ(expert->gettingUSBName(), QStringLiteral("KU990 Viewty"));
    EXPECT_TRUE(expert->isReady());
}

TEST(ProgramModelQuery, BusyAnswersMakeTheProbeId)
{
    struct Case {
        QVariantMap answers;
        int id;
    };
    const QList<Case> cases = {
        {{{"AT+CGMI", "LG"}, {"AT+CGMM", "BUSY"}}, ModelQuery::kProbeDevice},
        {{{"AT+CGMI", " BUSY \r\n"}}, ModelQuery::kProbeDevice},
        {{{"AT+CGMI", "LG"}, {"AT+CGMM", "KU990 BUSY EDITION"}}, -1},
        {{}, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProgramModelQuery::modelIdForAnswers(c.answers, QString()), c.id)
            << QDebug::toString(c.answers).toStdString();
}

TEST(ProgramModelQueryBluetooth, EachQueryMakesAtMostOnePlusRetriesAttempts)
{
    const QString address = QStringLiteral("00:1e:75:11:22:33");
    auto stack = std::make_shared<platform::BluetoothStackSimulated>();
    stack->addDevice(address, QStringLiteral("Away"), true,
                     {platform::SdpServiceRecord::make({platform::BluetoothUuid::uuid16(platform::kSerialPortUuid)}, {},
                                                       quint8(1))});
    stack->failOpens(address, platform::bluetooth::kPageTimeout, 1000);
    platform::BluetoothStack::setShared(stack);
    ProgramModelQuery query;
    for (int retries : {0, 2, 1}) {
        const int before = stack->openCount(address);
        EXPECT_EQ(query.qvIDForBTAddress(address, retries), -1);
        EXPECT_EQ(stack->openCount(address) - before, 1 + retries) << "retries " << retries;
    }
    // The identifiers free themselves once their links closed.
    testing_support::runFor(10.0);
    platform::BluetoothStack::setShared(nullptr);
}
