// The USB phone expert: the fast look-up in a fixture model database, the
// identification over the tty through a stub query, the busy phone's bounded
// retries, and the discovery over a simulated USB registry.
#include "LogRecorder.h"
#include "VirtualTime.h"

#include "lumwick/AKPaneController.h"
#include "lumwick/DeviceExpertPane.h"
#include "lumwick/LumwickLog.h"
#include "lumwick/ModelQuery.h"
#include "lumwick/PieProgressIndicator.h"
#include "lumwick/QVModelDatabase.h"
#include "lumwick/QVUSBExpert.h"
#include "platform/UsbRegistrySimulated.h"

#include <QFile>
#include <QTemporaryDir>

#include "WizardTestHosts.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

using wizardtest::Host;
using wizardtest::Pane;

// Answers the ids of a script, one per call (the last one repeats).
struct TtyQuery : ModelQuery {
    QList<int> answers = {15320};
    QStringList asked;
    int qvIDForBTAddress(const QString&, int) override { return -1; }
    int qvIDForUSBAddress(const QString& path) override
    {
        asked << path;
        return answers.size() > 1 ? answers.takeFirst() : answers.first();
    }
    QString modelNameForQVID(int id) override
    {
        return id == 15320 ? QStringLiteral("KU990 Viewty") : id == 1102 ? QStringLiteral("probe") : QString();
    }
    QString deviceTypeForQVID(int) override { return QStringLiteral("lg"); }
};

class USBExpert : public ::testing::Test {
protected:
    void SetUp() override
    {
        logRecorder::clear();
        pane.setMainController(&host);
        ModelQuery::setShared(&query);
        database = dir.filePath(QStringLiteral("quor-uncrypted.sqlite"));
        QVModelDatabase::setDefaultPath(database);
    }
    void TearDown() override
    {
        QVModelDatabase::setDefaultPath(QString());
        ModelQuery::setShared(nullptr);
    }
    // A model database of these rows: vendor, DT, PS, product fragment, id.
    void makeDatabase(const QString& rows)
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(database).constData(), &db), SQLITE_OK);
        const QByteArray sql = (QStringLiteral("CREATE TABLE MacMyPhone (USB_Vendor INTEGER, DT_USB_Model INTEGER, "
                                               "PS_USB_Model INTEGER, USB_ProductString TEXT, DEVICE_ID INTEGER);")
                                + rows)
                                   .toUtf8();
        EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    std::shared_ptr<QVUSBExpert> expertFor(QVariantMap device)
    {
        auto expert = QVUSBExpert::parent(nullptr, &pane);
        expert->setDeviceProperties(device);
        return expert;
    }
    static QVariantMap modem(const QString& product = QStringLiteral("LG KU990"))
    {
        return {{"vendorId", 4100},
                {"productId", 24576},
                {"product", product},
                {"portNames", QVariantList({QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyACM1")})}};
    }

    QTemporaryDir dir;
    QString database;
    Host host;
    Pane pane;
    TtyQuery query;
};

} // namespace

TEST_F(USBExpert, FastDetectionOnlyForOneFittingRow)
{
    struct Case {
        const char* what;
        QString rows;
        QVariantMap device;
        int id;
        bool askedTty;
        const char* info;
    };
    const QString one = QStringLiteral("INSERT INTO MacMyPhone VALUES (4100, 24576, NULL, '', 15320);");
    const QString fitting = QStringLiteral("INSERT INTO MacMyPhone VALUES (4100, NULL, 24576, 'KU990', 15320);");
    const QString foreign = QStringLiteral("INSERT INTO MacMyPhone VALUES (4100, 24576, NULL, 'KE850', 15275);");
    const QString two = one + QStringLiteral("INSERT INTO MacMyPhone VALUES (4100, NULL, 24576, '', 15280);");
    QVariantMap portless = modem();
    portless.remove(QStringLiteral("portNames"));
    QVariantMap storage = modem();
    storage.insert(QStringLiteral("mountPoints"),
                   QVariantList({QVariantMap{{"bsdName", "sdb1"}, {"mountPoint", "/media/PHONE"}}}));
    query.answers = {16000};
    const QList<Case> cases = {
        {"one row, no fragment", one, modem(), 15320, false, "Ready"},
        {"one row, fitting fragment (product id as PS)", fitting, modem(), 15320, false, "Ready"},
        {"foreign fragment: over the tty", foreign, modem(), 16000, true, "Ready"},
        {"two rows: over the tty", two, modem(), 16000, true, "Ready"},
        {"no row and no port", QString(), portless, -1, false, "Unknown or unsupported phone"},
        {"storage phone without a row", QString(), storage, -1, false, "Unknown or unsupported phone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(database);
        makeDatabase(c.rows);
        query.asked.clear();
        logRecorder::clear();
        auto expert = expertFor(c.device);
        expert->startRecognition();
        EXPECT_EQ(expert->properties()->deviceNumber(), c.id);
        EXPECT_EQ(expert->isReady(), c.id != -1);
        EXPECT_EQ(query.asked, c.askedTty ? QStringList({QStringLiteral("/dev/ttyACM0")}) : QStringList());
        EXPECT_EQ(expert->usbNameInfo(), QLatin1String(c.info));
        EXPECT_EQ(logRecorder::lines().filter(QStringLiteral("no fast detection possible:")).size(),
                  c.id == 15320 ? 0 : 1);
        EXPECT_EQ(expert->storageLogoShown(), c.device.contains(QStringLiteral("mountPoints")));
        EXPECT_TRUE(expert->expertFinished());
        EXPECT_TRUE(expert->isReachable());
    }
}

TEST_F(USBExpert, RefusedModelShowsUnknownWithAttention)
{
    makeDatabase(QStringLiteral("INSERT INTO MacMyPhone VALUES (4100, 24576, NULL, '', 15320);"));
    host.accept = [](const QVariantMap&) { return false; };
    auto expert = expertFor(modem());
    expert->startRecognition();
    EXPECT_EQ(expert->properties()->deviceNumber(), 15320);
    EXPECT_EQ(expert->usbNameInfo(), QStringLiteral("Unknown or unsupported phone"));
    EXPECT_EQ(expert->gettingUSBName(), QStringLiteral("KU990 Viewty"));
}

TEST_F(USBExpert, UnreadableDatabaseStillAsksTheModem)
{
    QFile garbage(database);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a database at all, just text that fills a page or so");
    garbage.close();
    auto expert = expertFor(modem());
    expert->startRecognition();
    EXPECT_TRUE(
        logRecorder::contains(QStringLiteral("Trouble when opening the data file. Make sure the path is valid.")));
    EXPECT_EQ(query.asked, QStringList({QStringLiteral("/dev/ttyACM0")}));
    EXPECT_EQ(expert->properties()->deviceNumber(), 15320);
    EXPECT_EQ(expert->usbNameInfo(), QStringLiteral("Ready"));
}

TEST_F(USBExpert, VanishedTtyEndsTheRowUnknown)
{
    query.answers = {-1};
    auto expert = expertFor(modem());
    expert->checkTTY(QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(expert->properties()->deviceNumber(), -1);
    EXPECT_FALSE(expert->isReady());
    EXPECT_EQ(expert->usbNameInfo(), QStringLiteral("Unknown or unsupported phone"));
}

TEST_F(USBExpert, BusyPhoneIsAskedAgainEverySecondAtMostFiveTimes)
{
    auto expert = expertFor(modem());
    query.answers = {1102};
    expert->checkTTY(QStringLiteral("/dev/ttyACM0"));
    EXPECT_TRUE(logRecorder::contains(QStringLiteral("got ProbeDevice, trying again")));
    testing_support::runFor(0.9);
    EXPECT_EQ(query.asked.size(), 1) << "not before a second";
    testing_support::runFor(0.2);
    EXPECT_EQ(query.asked.size(), 2);
    testing_support::runFor(30.0);
    EXPECT_EQ(query.asked.size(), 1 + QVUSBExpert::kMaxProbeRetries);
    EXPECT_EQ(expert->properties()->deviceNumber(), -1);
    EXPECT_EQ(expert->usbNameInfo(), QStringLiteral("Unknown or unsupported phone"));

    // A phone that answers at the second try is named; one whose pane was
    // left is not asked again; nor is one whose expert went away.
    query.asked.clear();
    query.answers = {1102, 15320};
    expert->checkTTY(QStringLiteral("/dev/ttyACM0"));
    testing_support::runFor(1.1);
    EXPECT_EQ(expert->properties()->deviceNumber(), 15320);
    query.answers = {1102};
    query.asked.clear();
    expert->checkTTY(QStringLiteral("/dev/ttyACM0"));
    expert->stopRecognition();
    testing_support::runFor(10.0);
    EXPECT_EQ(query.asked.size(), 1);
    expert->checkTTY(QStringLiteral("/dev/ttyACM0"));
    expert.reset();
    testing_support::runFor(10.0);
    EXPECT_EQ(query.asked.size(), 2);
}

TEST_F(USBExpert, DiscoveryMakesOneNamedRowPerPhone)
{
    auto registry = std::make_shared<platform::UsbRegistrySimulated>();
    platform::UsbDevice phone;
    phone.location = QStringLiteral("1-1");
    phone.vendorId = 4100;
    phone.productId = 24576;
    phone.productName = QStringLiteral("LG KU990");
    phone.vendorName = QStringLiteral("LG Electronics");
    phone.ttyPaths = {QStringLiteral("/dev/ttyACM0")};
    registry->addInterface(registry->addDevice(phone), 1, platform::UsbRegistry::kClassCdcData);
    platform::UsbRegistry::setShared(registry);
    QWidget table;
    const auto experts = QVUSBExpert::getDevices(&table, &pane, true, true);
    platform::UsbRegistry::setShared(nullptr);
    ASSERT_EQ(experts.size(), 1);
    EXPECT_EQ(experts.first()->gettingUSBName(), QStringLiteral("LG KU990"));
    EXPECT_EQ(experts.first()->parentTable(), &table);
    EXPECT_TRUE(experts.first()->isUSBExpert());
    ASSERT_NE(experts.first()->view(), nullptr);
    EXPECT_EQ(experts.first()->getUseableProperties().value(QStringLiteral("portName")).toString(),
              QStringLiteral("/dev/ttyACM0"));

    logRecorder::clear();
    QVUSBExpert orphan;
    EXPECT_TRUE(logRecorder::contains(QStringLiteral("shouldn't init QVUSBExpert without controller")));
    EXPECT_EQ(orphan.view(), nullptr);
}
