#include "DeviceDBTestSupport.h"

#include "device/QVSyncDeviceDB.h"
#include "device/SyncDescriptionServer.h"
#include "device/qvDeviceDB.h"
#include "device/sqlcryptQuickLiteDatabase.h"
#include "platform/Exception.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

const char kRows[] = R"SQL(
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model) VALUES ('10000', 'Unknown+Unknown', 'Unknown');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model) VALUES ('10042', 'Test+Forty-Two', 'M42');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model) VALUES ('19999', 'Test+Last-Small', 'M19999');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model) VALUES ('010000', 'Test+Leading-Zero', 'M010000');

-- grandparent -> parent -> child, plus a model rejecting a folder
INSERT INTO Dorvanti (Identification, Manufacturer, SoundsFolder, PicturesFolder, VideosFolder, ThemesFolder)
    VALUES ('Fam+Top', 'TopMaker', 'TopSounds', 'TopPictures', 'TopVideos', 'TopThemes');
INSERT INTO Dorvanti (Identification, InheritsFrom, PicturesFolder, VideosFolder)
    VALUES ('Fam+Middle', 'Fam+Top', 'MiddlePictures', '');
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom, Model, SoundsFolder, VideosFolder, ThemesFolder)
    VALUES ('15001', 'Test+Child', 'Fam+Middle', 'Child', '', NULL, '-');

-- no parent: keeps its "-", loses its NULL columns
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, ThemesFolder, SoundsFolder)
    VALUES ('15002', 'Test+Orphan', 'Orphan', '-', NULL);
-- no id and no parent
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model) VALUES ('0', 'Test+NoID', 'NoID');
-- a model inheriting without an id of its own
INSERT INTO Dorvanti (Identification, InheritsFrom, Model, ThemesFolder)
    VALUES ('Test+InheritsNoID', 'Fam+Top', 'InheritsNoID', '-');

-- broken data
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom) VALUES ('15010', 'Loop+A', 'Loop+B');
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom) VALUES ('15011', 'Loop+B', 'Loop+A');
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom) VALUES ('15012', 'Loop+Self', 'Loop+Self');
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom) VALUES ('15013', 'Test+Orphaned', 'Gone+Away');
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom) VALUES ('15014', 'Test+DeepOrphan', 'Test+Orphaned');

-- a quote in an identification
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model) VALUES ('15020', 'Bob''s+Phone', 'Quoted');

-- USB numbers in either product column
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, USB_Vendor, DT_USB_Model, PS_USB_Model)
    VALUES ('15030', 'Usb+Phone', 'UsbPhone', '4100', '24576', '24577');
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom, Model, USB_Vendor, DT_USB_Model, ThemesFolder)
    VALUES ('15031', 'Usb+Child', 'Fam+Top', 'UsbChild', '4100', '30000', '-');

-- editions
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, OfficiallyReleased, supportsTarnexLG)
    VALUES ('15040', 'Lg+Released', 'Released', '1', '1');
INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, supportsTarnexLG)
    VALUES ('15041', 'Lg+Unreleased', 'Unreleased', '1');
INSERT INTO Dorvanti (DEVICE_ID, Identification, InheritsFrom, Model, OfficiallyReleased, supportsTarnexLG)
    VALUES ('15042', 'Lg+LostParent', 'Gone+Away', 'LostParent', '1', '1');

INSERT INTO SyncML (SyncMLProtocol, IgnoreProperties) VALUES ('UNKNOWN', 'X-UNKNOWN');
INSERT INTO SyncML (SyncMLProtocol, IgnoreProperties, IgnoreElements)
    VALUES ('Lists', 'a, b,c', ',  first,,second,');
INSERT INTO SyncML (SyncMLProtocol) VALUES ('NoLists');
)SQL";

class DeviceDatabaseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_path = buildTestDeviceDB(QStringLiteral("lookups"), QString::fromUtf8(kRows));
        ASSERT_FALSE(s_path.isEmpty());
    }

    void SetUp() override
    {
        db = std::make_shared<qvDeviceDB>();
        ASSERT_TRUE(db->openDB(s_path));
    }

    static inline QString s_path;
    std::shared_ptr<qvDeviceDB> db;
};

QString model(const QVariantMap& row)
{
    return row.value(QStringLiteral("Dorvanti.Model")).toString();
}

TEST_F(DeviceDatabaseTest, SmallIdsNameTheRowTenThousandHigher)
{
    struct Case {
        QVariant id;
        const char* text;
        const char* model;
    };
    const Case cases[] = {
        {42, "10042", "M42"},
        {QStringLiteral("42"), "10042", "M42"},
        {9999, "19999", "M19999"},
        {10000, "10000", "Unknown"},
        {QVariant(), "10000", "Unknown"},
        {QStringLiteral("abc"), "10000", "Unknown"},
        {QStringLiteral("010000"), "010000", "M010000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id.toString().toStdString());
        EXPECT_EQ(qvDeviceDB::deviceIDText(c.id), QString::fromLatin1(c.text));
        EXPECT_EQ(model(db->getDictForDeviceByID(c.id)), QString::fromLatin1(c.model));
    }
    EXPECT_TRUE(db->getDictForDeviceByID(4711).isEmpty());
}

TEST_F(DeviceDatabaseTest, RowsComeBackKeyedByTableAndColumnWithoutNulls)
{
    const QVariantMap row = db->getDictForDevice(QStringLiteral("Test+Orphan"));
    EXPECT_EQ(row.value(QStringLiteral("Dorvanti.DEVICE_ID")).toString(), QStringLiteral("15002"));
    EXPECT_EQ(row.value(QStringLiteral("Dorvanti.ThemesFolder")).toString(), QStringLiteral("-"));
    EXPECT_FALSE(row.contains(QStringLiteral("Dorvanti.SoundsFolder")));
    EXPECT_FALSE(row.contains(QStringLiteral("Dorvanti.InheritsFrom")));
}

TEST_F(DeviceDatabaseTest, InheritanceMergesTheChainFromTheTop)
{
    const QVariantMap settings = db->getSettingsForDeviceByID(15001);
    // empty own value: the parent's (here the grandparent's through the parent)
    EXPECT_EQ(settings.value(QStringLiteral("Dorvanti.SoundsFolder")).toString(), QStringLiteral("TopSounds"));
    // the parent overrides the grandparent
    EXPECT_EQ(settings.value(QStringLiteral("Dorvanti.PicturesFolder")).toString(), QStringLiteral("MiddlePictures"));
    // NULL in the child, empty in the parent: the grandparent's
    EXPECT_EQ(settings.value(QStringLiteral("Dorvanti.VideosFolder")).toString(), QStringLiteral("TopVideos"));
    EXPECT_EQ(settings.value(QStringLiteral("Dorvanti.Manufacturer")).toString(), QStringLiteral("TopMaker"));
    // "-" removes the key altogether
    EXPECT_FALSE(settings.contains(QStringLiteral("Dorvanti.ThemesFolder")));
    EXPECT_EQ(model(settings), QStringLiteral("Child"));
    EXPECT_EQ(settings.value(QStringLiteral("Dorvanti.Identification")).toString(), QStringLiteral("Test+Child"));
    EXPECT_EQ(settings, db->getSettingsForDevice(QStringLiteral("Test+Child")));
    EXPECT_EQ(settings, db->getSettingsForIdentification(QStringLiteral("Test+Child")));
}

TEST_F(DeviceDatabaseTest, ModelsWithoutParentOrId)
{
    const QVariantMap orphan = db->getSettingsForDeviceByID(15002);
    EXPECT_EQ(orphan.value(QStringLiteral("Dorvanti.ThemesFolder")).toString(), QStringLiteral("-"));
    EXPECT_FALSE(orphan.contains(QStringLiteral("Dorvanti.SoundsFolder")));

    EXPECT_TRUE(db->getSettingsForIdentification(QStringLiteral("Test+NoID")).isEmpty());
    EXPECT_TRUE(db->inheritFoundDevice(db->getDictForDevice(QStringLiteral("Test+NoID"))).isEmpty());

    const QVariantMap inherited = db->getSettingsForIdentification(QStringLiteral("Test+InheritsNoID"));
    EXPECT_EQ(model(inherited), QStringLiteral("InheritsNoID"));
    EXPECT_EQ(inherited.value(QStringLiteral("Dorvanti.SoundsFolder")).toString(), QStringLiteral("TopSounds"));
    EXPECT_FALSE(inherited.contains(QStringLiteral("Dorvanti.ThemesFolder")));
}

TEST_F(DeviceDatabaseTest, BrokenParentChainsEndWithTheMissingParentError)
{
    struct Case {
        QVariant id;
        const char* parent;
    };
    const Case cases[] = {{15010, "Loop+A"}, {15011, "Loop+B"}, {15012, "Loop+Self"},
                          {15013, "Gone+Away"}, {15014, "Gone+Away"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id.toInt());
        try {
            db->getSettingsForDeviceByID(c.id);
            ADD_FAILURE() << "no error";
        } catch (const platform::Exception& e) {
            EXPECT_EQ(e.name(), QStringLiteral("NSRangeException"));
            EXPECT_EQ(e.reason(),
                      QStringLiteral("getSettingsForDevice: Missing inherited dictionary: %1").arg(QLatin1String(c.parent)));
        }
    }
    EXPECT_THROW(db->getSettingsForDevice(QStringLiteral("Loop+A")), platform::Exception);
    EXPECT_THROW(db->getSettingsForIdentification(QStringLiteral("Loop+Self")), platform::Exception);
}

TEST_F(DeviceDatabaseTest, IdentificationsAreValuesNotSQL)
{
    EXPECT_EQ(model(db->getDictForDevice(QStringLiteral("Bob's+Phone"))), QStringLiteral("Quoted"));
    EXPECT_EQ(model(db->getSettingsForIdentification(QStringLiteral("Bob's+Phone"))), QStringLiteral("Quoted"));
    EXPECT_TRUE(db->getDictForDevice(QStringLiteral("x' OR '1'='1")).isEmpty());
    EXPECT_TRUE(db->getDictForDevice(QStringLiteral("Bob")).isEmpty());
    EXPECT_TRUE(db->getDictForDeviceByID(QStringLiteral("10000' OR '1'='1")).isEmpty());
    EXPECT_TRUE(db->getSyncMLParams(QStringLiteral("x' OR '1'='1")).isEmpty());
}

TEST_F(DeviceDatabaseTest, UsbLookupsMatchEitherProductColumn)
{
    EXPECT_EQ(model(db->getDictForVendorModel(4100, 24576)), QStringLiteral("UsbPhone"));
    EXPECT_EQ(model(db->getDictForVendorModel(4100, 24577)), QStringLiteral("UsbPhone"));
    EXPECT_TRUE(db->getDictForVendorModel(4101, 24576).isEmpty());

    // merged with the parent, "-" values kept on this path
    const QVariantMap child = db->getSettingsForVendorModel(4100, 30000);
    EXPECT_EQ(child.value(QStringLiteral("Dorvanti.SoundsFolder")).toString(), QStringLiteral("TopSounds"));
    EXPECT_EQ(child.value(QStringLiteral("Dorvanti.ThemesFolder")).toString(), QStringLiteral("-"));

    const auto usb = db->getUSBDevices();
    ASSERT_TRUE(usb.has_value());
    ASSERT_EQ(usb->size(), 2);
    EXPECT_EQ(model(usb->at(0).toMap()), QStringLiteral("UsbPhone"));
}

TEST_F(DeviceDatabaseTest, EditionListsAndOfficialRelease)
{
    // the row whose parent is missing is kept unmerged
    const QVariantList lg = db->getAllDevicesMarvestoLG();
    QStringList models;
    for (const QVariant& row : lg)
        models.append(model(row.toMap()));
    EXPECT_EQ(models, (QStringList{QStringLiteral("Released"), QStringLiteral("LostParent")}));

    EXPECT_EQ(model(db->getSettingsForOfficiallyReleasedDeviceByID(15040)), QStringLiteral("Released"));
    EXPECT_TRUE(db->getSettingsForOfficiallyReleasedDeviceByID(15041).isEmpty());
    EXPECT_TRUE(db->getAllDevicesWithQuery(QStringLiteral("SELECT * FROM NoSuchTable")).isEmpty());
}

TEST_F(DeviceDatabaseTest, SyncRowsSplitTheirIgnoreLists)
{
    const QVariantMap lists = db->getSyncMLParams(QStringLiteral("Lists"));
    EXPECT_EQ(lists.value(QStringLiteral("SyncML.IgnoreProperties")).toStringList(),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(lists.value(QStringLiteral("SyncML.IgnoreElements")).toStringList(),
              (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    const QVariantMap none = db->getSyncMLParams(QStringLiteral("NoLists"));
    EXPECT_FALSE(none.isEmpty());
    EXPECT_FALSE(none.contains(QStringLiteral("SyncML.IgnoreProperties")));
    EXPECT_TRUE(db->getSyncMLParams(QStringLiteral("Nothing")).isEmpty());
}

TEST_F(DeviceDatabaseTest, MergeAndStripRules)
{
    const QVariantMap child{{QStringLiteral("Dorvanti.InheritsFrom"), QStringLiteral("P")},
                            {QStringLiteral("Dorvanti.A"), QString()},
                            {QStringLiteral("Dorvanti.B"), QStringLiteral("-")},
                            {QStringLiteral("Dorvanti.C"), sqlcryptQuickLiteDatabase::nullMarker()},
                            {QStringLiteral("Dorvanti.D"), QStringLiteral("own")}};
    const QVariantMap parent{{QStringLiteral("Dorvanti.A"), QStringLiteral("pa")},
                             {QStringLiteral("Dorvanti.B"), QStringLiteral("pb")},
                             {QStringLiteral("Dorvanti.C"), QStringLiteral("pc")},
                             {QStringLiteral("Dorvanti.D"), QStringLiteral("pd")}};
    const QVariantMap merged = qvDeviceDB::MergeDictionaryWithInheritance(child, parent);
    EXPECT_EQ(merged,
              (QVariantMap{{QStringLiteral("Dorvanti.A"), QStringLiteral("pa")},
                           {QStringLiteral("Dorvanti.B"), QStringLiteral("-")},
                           {QStringLiteral("Dorvanti.C"), QStringLiteral("pc")},
                           {QStringLiteral("Dorvanti.D"), QStringLiteral("own")}}));
    EXPECT_FALSE(qvDeviceDB::stripRejectedFields(merged).contains(QStringLiteral("Dorvanti.B")));
}

class DeviceDatabaseOpenTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
    }
};

TEST_F(DeviceDatabaseOpenTest, WrongPassPhraseOrMissingFileDoesNotOpen)
{
    const QString foreign = buildTestDeviceDB(QStringLiteral("foreign"), QString::fromUtf8(kRows),
                                              QByteArrayLiteral("not the pass phrase"));
    ASSERT_FALSE(foreign.isEmpty());
    const QString good = buildTestDeviceDB(QStringLiteral("good"), QString::fromUtf8(kRows));
    ASSERT_FALSE(good.isEmpty());
    const QString missing = testing_support::testHome() + QStringLiteral("/devicedb/missing.db");

    qvDeviceDB db;
    EXPECT_FALSE(db.openDB(foreign));
    EXPECT_FALSE(db.openDB(missing));
    EXPECT_TRUE(db.openDB(good));

    // without the pass phrase the file is not a database at all
    sqlcryptQuickLiteDatabase plain(good);
    EXPECT_FALSE(plain.open());
    EXPECT_FALSE(plain.lastError().isEmpty());

    EXPECT_EQ(qvDeviceDB::qvDeviceDBWithPath(foreign), nullptr);

    qvDeviceDB::setDefaultDatabasePath(foreign);
    EXPECT_EQ(qvDeviceDB::sharedDeviceDB(), nullptr);
    qvDeviceDB::setDefaultDatabasePath(missing);
    EXPECT_EQ(qvDeviceDB::sharedDeviceDB(), nullptr);
    // a later call tries again
    qvDeviceDB::setDefaultDatabasePath(good);
    const auto shared = qvDeviceDB::sharedDeviceDB();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(qvDeviceDB::sharedDeviceDB(), shared);
    EXPECT_EQ(model(shared->getDictForDeviceByID(42)), QStringLiteral("M42"));
}

TEST_F(DeviceDatabaseOpenTest, OpeningAnotherFileReplacesTheSharedDatabase)
{
    const QString first = buildTestDeviceDB(QStringLiteral("first"), QString::fromUtf8(kRows));
    const QString second = buildTestDeviceDB(
        QStringLiteral("second"),
        QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model) VALUES ('10042', 'Other', 'Other42');"));
    qvDeviceDB::setDefaultDatabasePath(first);
    const auto shared = qvDeviceDB::sharedDeviceDB();
    ASSERT_NE(shared, nullptr);
    const auto other = qvDeviceDB::qvDeviceDBWithPath(second);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(qvDeviceDB::sharedDeviceDB(), other);
    EXPECT_EQ(model(qvDeviceDB::sharedDeviceDB()->getDictForDeviceByID(42)), QStringLiteral("Other42"));
}

} // namespace
