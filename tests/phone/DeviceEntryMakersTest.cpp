#include "phone/DeviceEntryMakers.h"

#include "device/DeviceList.h"
#include "device/qvDeviceDB.h"
#include "platform/Clock.h"
#include "platform/UserDefaults.h"
#include "usbdevice/DZDeviceProperties.h"

#include "DeviceDBTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using deviceentry::PhoneFacts;

const QString kModelId = QLatin1String(DZDeviceProperties::kDeviceNumberKey);
const QString kPCSuite = QLatin1String(DZDeviceProperties::kHasPCSuiteKey);

// Two LG models (one this edition supports, one it does not) and the
// generic row.
const char* const kRows =
    "INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, DeviceProtocol, supportsTarnexLG, USB_Vendor, "
    "PS_USB_Model) VALUES ('20001', 'LG+KU990', 'KU990', 'lg', 1, 4100, 25000);"
    "INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, DeviceProtocol, supportsTarnexLG) "
    "VALUES ('20002', 'LG+KG800', 'KG800', 'lg-old', 0);"
    "INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, DeviceProtocol) "
    "VALUES ('20003', 'Unknown+Unknown', 'Unknown', 'generic');";

// A device list in the user defaults over a test database.
struct MakerFixture {
    MakerFixture()
    {
        platform::UserDefaults::standard().remove(QLatin1String(DeviceList::kDevicesKey));
        list = std::make_unique<DeviceList>(platform::UserDefaults::standard());
        const QString path = buildTestDeviceDB(QStringLiteral("entry-makers"), QLatin1String(kRows));
        db = qvDeviceDB::qvDeviceDBWithPath(path);
    }
    ~MakerFixture()
    {
        list.reset();
        platform::UserDefaults::standard().remove(QLatin1String(DeviceList::kDevicesKey));
        qvDeviceDB::releaseSharedDeviceDB();
    }
    void store(const QVariantMap& entry) { list->addDevice(std::make_shared<QVariantMap>(entry)); }

    std::unique_ptr<DeviceList> list;
    std::shared_ptr<qvDeviceDB> db;
};

PhoneFacts usbFacts(QString serial)
{
    PhoneFacts facts;
    facts.serial = std::move(serial);
    facts.portName = QStringLiteral("/dev/pts/7");
    facts.deviceName = QStringLiteral("KU990");
    facts.firmware = QStringLiteral("V10a");
    return facts;
}

TEST(DeviceEntryMakers, ProtocolFamilyComesFromTheRowElsePCSuiteElseDefault)
{
    struct Case {
        QVariantMap wizard;
        QVariantMap row;
        const char* protocol;
    };
    const QVariantMap lgRow{{QStringLiteral("Dorvanti.DeviceProtocol"), QStringLiteral("lg")}};
    const Case cases[] = {
        {{{kPCSuite, true}}, lgRow, "lg"},
        {{{kPCSuite, true}}, {}, "nokia"},
        {{{kPCSuite, false}}, {}, "default"},
        {{}, {}, "default"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(deviceentry::makeProtocolFromWizardDictionary(c.wizard, c.row), QLatin1String(c.protocol));
}

TEST(DeviceEntryMakers, BusySerialIsAskedAgainASecondApartAndPairOrAFinalBusyIsNoSerial)
{
    struct Case {
        QStringList answers;
        std::optional<QString> serial;
        int error;
        double seconds;
        int asked;
    };
    const Case cases[] = {
        {{QStringLiteral("35200100000001")}, QStringLiteral("35200100000001"), 0, 0.0, 1},
        {{QStringLiteral("busy"), QStringLiteral("busy"), QStringLiteral("busy"), QStringLiteral("35200100000001")},
         QStringLiteral("35200100000001"), 0, 3.0, 4},
        {{QStringLiteral("busy"), QStringLiteral("busy"), QStringLiteral("busy"), QStringLiteral("busy"),
          QStringLiteral("35200100000001")},
         std::nullopt, deviceentry::kSerialNumberBusyError, 3.0, 4},
        {{QStringLiteral("pair")}, std::nullopt, deviceentry::kSerialNumberBusyError, 0.0, 1},
        {{QStringLiteral("busy"), QStringLiteral("pair")}, std::nullopt, deviceentry::kSerialNumberBusyError, 1.0, 2},
        {{QString()}, std::nullopt, 0, 0.0, 1},
    };
    for (const Case& c : cases) {
        int asked = 0;
        int error = 0;
        const double start = platform::Clock::instance().now();
        const std::optional<QString> serial = deviceentry::makeSerialNumber(
            [&] { return c.answers.value(asked++); }, &error);
        const QString label = c.answers.join(QLatin1Char(','));
        EXPECT_EQ(serial, c.serial) << label.toStdString();
        EXPECT_EQ(error, c.error) << label.toStdString();
        EXPECT_EQ(asked, c.asked) << label.toStdString();
        EXPECT_NEAR(platform::Clock::instance().now() - start, c.seconds, 0.05) << label.toStdString();
    }
}

TEST(DeviceEntryMakers, IdentifiedPhoneNeedsASupportedRowAndASerial)
{
    MakerFixture f;
    ASSERT_TRUE(f.db);
    struct Case {
        const char* identification;
        const char* serial;
        bool made;
    };
    const Case cases[] = {
        {"LG+KU990", "35200100000001", true},  {"LG+KG800", "35200100000001", false}, {"Nobody+X1", "35200100000001", false},
        {"", "35200100000001", false},         {"LG+KU990", "", false},
    };
    for (const Case& c : cases) {
        bool isNew = false;
        const auto entry = deviceentry::createDeviceDictionary(*f.list, *f.db, QLatin1String(c.identification),
                                                               QLatin1String(deviceentry::kConnTypeUSBSerial),
                                                               usbFacts(QLatin1String(c.serial)), &isNew);
        EXPECT_EQ(entry.has_value(), c.made) << c.identification << " " << c.serial;
    }
}

TEST(DeviceEntryMakers, IdentifiedUSBPhoneGetsANewEntryWithTheRowsFacts)
{
    MakerFixture f;
    ASSERT_TRUE(f.db);
    PhoneFacts facts = usbFacts(QStringLiteral("35200100000001"));
    facts.productId = 26000;
    bool isNew = false;
    const auto entry = deviceentry::createDeviceDictionary(*f.list, *f.db, QStringLiteral("LG+KU990"),
                                                           QLatin1String(deviceentry::kConnTypeUSBSerial), facts,
                                                           &isNew);
    ASSERT_TRUE(entry);
    EXPECT_TRUE(isNew);
    const QVariantMap expected{
        {QStringLiteral("Common.SerialNo"), QStringLiteral("35200100000001")},
        {QStringLiteral("Common.qvDeviceID"), QStringLiteral("20001")},
        {QStringLiteral("Common.AutoConnect"), 0},
        {QStringLiteral("Common.BackupDevice"), false},
        {QStringLiteral("Common.DeviceProtocol"), QStringLiteral("lg")},
        {QStringLiteral("Common.Identifier"), QStringLiteral("LG+KU990")},
        {QStringLiteral("Common.FirmwareVersion"), QStringLiteral("V10a")},
        {QStringLiteral("Common.DeviceName"), QStringLiteral("KU990")},
        {QStringLiteral("Common.LastConnectionType"), QStringLiteral("USB-Serial")},
        {QStringLiteral("USB.PortName"), QStringLiteral("/dev/pts/7")},
        {QStringLiteral("USB.ProductID"), 26000},   // the candidate's id wins over the row's
        {QStringLiteral("USB.VendorID"), 4100},     // none from the candidate: the row's
        {QStringLiteral("TarnexNewPhone"), true},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(entry->value(it.key()).toString(), it.value().toString()) << it.key().toStdString();
    EXPECT_EQ(entry->size(), expected.size());
}

TEST(DeviceEntryMakers, KnownPhoneIsUpdatedInPlaceKeepingItsOwnKeys)
{
    MakerFixture f;
    ASSERT_TRUE(f.db);
    f.store({{QStringLiteral("Common.SerialNo"), QStringLiteral("35200100000001")},
             {QStringLiteral("Common.qvDeviceID"), QStringLiteral("15399")},
             {QStringLiteral("Common.BackupDevice"), true},
             {QStringLiteral("Common.SyncMode"), 2},
             {QStringLiteral("Common.AutoConnect"), true},
             {QStringLiteral("BT.BT_Address"), QStringLiteral("00-11-22-33-44-55")}});
    bool isNew = true;
    const auto entry = deviceentry::createDeviceDictionary(*f.list, *f.db, QStringLiteral("LG+KU990"),
                                                           QLatin1String(deviceentry::kConnTypeUSBSerial),
                                                           usbFacts(QStringLiteral("35200100000001")), &isNew);
    ASSERT_TRUE(entry);
    EXPECT_FALSE(isNew);
    EXPECT_EQ(entry->value(QStringLiteral("Common.qvDeviceID")).toString(), QStringLiteral("15399"));
    EXPECT_TRUE(entry->value(QStringLiteral("Common.BackupDevice")).toBool());
    EXPECT_EQ(entry->value(QStringLiteral("Common.SyncMode")).toInt(), 2);
    EXPECT_EQ(entry->value(QStringLiteral("Common.AutoConnect")).toInt(), 0);
    EXPECT_EQ(entry->value(QStringLiteral("BT.BT_Address")).toString(), QStringLiteral("00-11-22-33-44-55"));
    EXPECT_EQ(entry->value(QStringLiteral("USB.PortName")).toString(), QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(entry->value(QStringLiteral("Common.LastConnectionType")).toString(), QStringLiteral("USB-Serial"));
    EXPECT_FALSE(entry->value(QStringLiteral("TarnexNewPhone")).toBool());
}

TEST(DeviceEntryMakers, WizardResultEntryTakesBluetoothOrUSBFacts)
{
    MakerFixture f;
    ASSERT_TRUE(f.db);
    const QVariantMap row = f.db->getSettingsForDeviceByID(QStringLiteral("20001"));
    ASSERT_FALSE(row.isEmpty());

    PhoneFacts bt;
    bt.serial = QStringLiteral("352002");
    bt.btAddress = QStringLiteral("00-1e-75-aa-bb-cc");
    bt.deviceName = QStringLiteral("My LG");
    bt.channel = 3;
    bt.serviceName = QStringLiteral("LG PC Suite");
    bool isNew = false;
    const QVariantMap btEntry = deviceentry::makeQVDeviceDictionaryFromWizardDictionary(
        *f.list, {{kModelId, 20001}, {kPCSuite, true}}, {}, bt, &isNew);
    EXPECT_TRUE(isNew);
    EXPECT_EQ(btEntry.value(QStringLiteral("Common.qvDeviceID")).toString(), QStringLiteral("20001"));
    EXPECT_TRUE(btEntry.value(QStringLiteral("Common.BackupDevice")).toBool());
    EXPECT_EQ(btEntry.value(QStringLiteral("Common.DeviceProtocol")).toString(), QStringLiteral("nokia"));
    EXPECT_EQ(btEntry.value(QStringLiteral("BT.BT_Address")).toString(), bt.btAddress);
    EXPECT_EQ(btEntry.value(QStringLiteral("BT.DeviceChannel")).toString(), QStringLiteral("3"));
    EXPECT_EQ(btEntry.value(QStringLiteral("BT.ServiceName")).toString(), bt.serviceName);
    EXPECT_EQ(btEntry.value(QStringLiteral("Common.LastConnectionType")).toString(), QStringLiteral("Bluetooth"));
    EXPECT_FALSE(btEntry.contains(QStringLiteral("USB.PortName")));
    EXPECT_FALSE(btEntry.contains(QStringLiteral("USB.ProductID")));
    EXPECT_FALSE(btEntry.contains(QStringLiteral("TarnexNewPhone")));

    PhoneFacts usb;
    usb.serial = QStringLiteral("352003");
    isNew = false;
    const QVariantMap usbEntry = deviceentry::makeQVDeviceDictionaryFromWizardDictionary(
        *f.list,
        {{kModelId, 20001}, {QStringLiteral("portName"), QStringLiteral("/dev/ttyACM0")}, {QStringLiteral("vendorId"), 0}},
        row, usb, &isNew);
    EXPECT_TRUE(isNew);
    EXPECT_EQ(usbEntry.value(QStringLiteral("Common.DeviceProtocol")).toString(), QStringLiteral("lg"));
    EXPECT_EQ(usbEntry.value(QStringLiteral("Common.Identifier")).toString(), QStringLiteral("LG+KU990"));
    EXPECT_EQ(usbEntry.value(QStringLiteral("BT.DeviceChannel")).toString(), QStringLiteral("255"));
    EXPECT_EQ(usbEntry.value(QStringLiteral("USB.PortName")).toString(), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(usbEntry.value(QStringLiteral("USB.ProductID")).toInt(), 25000);
    EXPECT_EQ(usbEntry.value(QStringLiteral("USB.VendorID")).toInt(), 4100);   // a zero id takes the row's
    EXPECT_EQ(usbEntry.value(QStringLiteral("Common.LastConnectionType")).toString(), QStringLiteral("USB-Serial"));
}

TEST(DeviceEntryMakers, BluetoothWizardResultWithoutAddressMakesNoEntry)
{
    MakerFixture f;
    ASSERT_TRUE(f.db);
    for (const QVariant& address : {QVariant(), QVariant(QString()), QVariant(12)}) {
        QVariantMap wizard{{kModelId, 20001}};
        if (address.isValid())
            wizard.insert(QLatin1String(DZDeviceProperties::kBTAddressKey), address);
        bool isNew = false;
        EXPECT_FALSE(deviceentry::makeQVDeviceDictionary(*f.list, *f.db, wizard, &isNew));
    }
}

}   // namespace
