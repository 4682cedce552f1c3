#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDB.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "device/sqlcryptQuickLiteDatabase.h"

#include <gtest/gtest.h>

namespace {

// The database the build made from data/devicedb.
class ShippedDeviceDatabaseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(s_db->openDB(qvDeviceDB::defaultDatabasePath())) << qPrintable(qvDeviceDB::defaultDatabasePath());
    }
    static void TearDownTestSuite() { s_db.reset(); }

    static inline std::shared_ptr<qvDeviceDB> s_db;
};

TEST_F(ShippedDeviceDatabaseTest, OpensOnlyWithThePassPhrase)
{
    sqlcryptQuickLiteDatabase plain(qvDeviceDB::defaultDatabasePath());
    EXPECT_FALSE(plain.open());
}

TEST_F(ShippedDeviceDatabaseTest, EveryRowResolves)
{
    const QVariantList rows = s_db->getAllDevicesWithQuery(QStringLiteral("SELECT * FROM Dorvanti"));
    ASSERT_GT(rows.size(), 40);
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const QString identification = row.value(QStringLiteral("Dorvanti.Identification")).toString();
        SCOPED_TRACE(identification.toStdString());
        QVariantMap settings;
        EXPECT_NO_THROW(settings = s_db->getSettingsForDevice(identification));
        EXPECT_FALSE(settings.isEmpty());
        const QString protocol = settings.value(QStringLiteral("Dorvanti.SyncMLProtocol")).toString();
        if (!protocol.isEmpty()) {
            QVSyncDeviceDB::sharedSyncDeviceDB().reset();
            const QVariantMap sync = s_db->getSyncMLParams(protocol);
            EXPECT_EQ(sync.value(QStringLiteral("SyncML.SyncMLProtocol")).toString(), protocol)
                << "no sync row of its own";
        }
    }
}

TEST_F(ShippedDeviceDatabaseTest, EveryLGModelSpeaksAnLGFamily)
{
    const QVariantList models = s_db->getAllDevicesWithQuery(
        QStringLiteral("SELECT * FROM Dorvanti WHERE supportsTarnexLG = '1'"));
    ASSERT_GE(models.size(), 9);
    const QStringList families{QStringLiteral("lg"), QStringLiteral("lg2"), QStringLiteral("lg3"),
                               QStringLiteral("lgGD900")};
    for (const QVariant& value : models) {
        const QVariantMap row = value.toMap();
        SCOPED_TRACE(row.value(QStringLiteral("Dorvanti.Identification")).toString().toStdString());
        const QVariantMap settings = s_db->getSettingsForDeviceByID(row.value(QStringLiteral("Dorvanti.DEVICE_ID")));
        MFDeviceInfo info(std::make_shared<QVariantMap>(), settings, nullptr, true);
        EXPECT_TRUE(families.contains(info.getSMSFamily(0)));
        EXPECT_TRUE(families.contains(info.getSMSFamily(1)));
        EXPECT_EQ(info.deviceProtocol(), QStringLiteral("lg"));
        EXPECT_EQ(settings.value(QStringLiteral("Dorvanti.SyncMLProtocol")).toString(), QStringLiteral("Protocol LG"));
    }
}

TEST_F(ShippedDeviceDatabaseTest, TheModelsTheWindowsNameExist)
{
    struct Case {
        int id;
        const char* identification;
    };
    const Case cases[] = {{15320, "QUALCOMM INCORPORATED+KU990"}, {15332, "LG Electronics+KF750"},
                          {15333, "QUALCOMM INCORPORATED+HB620T"}, {15450, "LG Elec. Inc+KS360"},
                          {15451, "LG Electronics Inc+GD900"},     {15275, nullptr},
                          {15363, nullptr}, {15399, nullptr}, {15410, nullptr}};
    QStringList offered;
    for (const QVariant& row : s_db->getAllDevicesMarvestoLG())
        offered.append(row.toMap().value(QStringLiteral("Dorvanti.DEVICE_ID")).toString());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const QVariantMap settings = s_db->getSettingsForOfficiallyReleasedDeviceByID(c.id);
        ASSERT_FALSE(settings.isEmpty());
        if (c.identification) {
            EXPECT_EQ(settings.value(QStringLiteral("Dorvanti.Identification")).toString(),
                      QString::fromLatin1(c.identification));
        }
        EXPECT_EQ(settings.value(QStringLiteral("Dorvanti.supportsTarnexLG")).toString(), QStringLiteral("1"));
        EXPECT_TRUE(offered.contains(QString::number(c.id)));
    }
    MFDeviceInfo gd900(std::make_shared<QVariantMap>(), s_db->getSettingsForDeviceByID(15451), nullptr, true);
    EXPECT_EQ(gd900.getSMSFamily(0), QStringLiteral("lgGD900"));
    EXPECT_EQ(s_db->getSettingsForDeviceByID(15373).value(QStringLiteral("Dorvanti.Manufacturer")).toString(),
              QStringLiteral("Gigaset"));
    EXPECT_EQ(s_db->getSettingsForDeviceByID(QVariant()).value(QStringLiteral("Dorvanti.Identification")).toString(),
              QStringLiteral("Unknown+Unknown"));
    EXPECT_FALSE(s_db->getSyncMLParams(QStringLiteral("UNKNOWN")).isEmpty());
    // a model id the database does not know: the settings fall back to the unknown model
    qvDeviceDB::releaseSharedDeviceDB();
    MFDeviceInfo unknown(std::make_shared<QVariantMap>(QVariantMap{{QStringLiteral("Common.qvDeviceID"), QStringLiteral("4711")}}),
                         nullptr, true);
    EXPECT_EQ(unknown.deviceIdentification(), QStringLiteral("Unknown+Unknown"));
    qvDeviceDB::releaseSharedDeviceDB();
    EXPECT_EQ(s_db->getSettingsForVendorModel(4100, 24576).value(QStringLiteral("Dorvanti.DEVICE_ID")).toString(),
              QStringLiteral("15320"));
    // the Gigaset list leaves out the ISDN base
    const QVariantList gigasets = s_db->getAllDevicesBrellin();
    EXPECT_GE(gigasets.size(), 4);
    for (const QVariant& row : gigasets)
        EXPECT_NE(row.toMap().value(QStringLiteral("Dorvanti.Model")).toString(), QStringLiteral("DX600A isdn"));
}

} // namespace
