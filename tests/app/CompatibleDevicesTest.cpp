#include "AppTestSupport.h"

#include "app/CompatibleDevices.h"
#include "app/DeviceInspector.h"
#include "app/QuorDZDevicesExtensions.h"

#include "device/SyncDescriptionServer.h"
#include "device/qvDeviceDB.h"
#include "platform/Localization.h"
#include "platform/PropertyList.h"
#include "platform/gui/Interface.h"
#include "platform/gui/TestArtifacts.h"

#include "DeviceDBTestSupport.h"
#include "GuiGapProbe.h"
#include "TestEnvironment.h"
#include "VirtualTime.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>
#include "GuiGapLimit.h"

namespace {

// Models of the test database: name, USB, sendSMS, sync protocol, expected
// export marks. "P-SMSDB" has an SMS database, "P-SYNCSMS" syncs SMS,
// "P-NONE" neither.
const char* const kCompatibleRows =
    "INSERT INTO SyncML (SyncMLProtocol, SMSDatabase, syncSMS, syncNotes, syncBookmarks) VALUES "
    "('P-SMSDB', 'SMS', NULL, '1', '0'), ('P-SYNCSMS', NULL, '1', NULL, NULL), ('P-NONE', NULL, '0', NULL, NULL);"
    "INSERT INTO Dorvanti (DEVICE_ID, Identification, Manufacturer, Model, OfficiallyReleased, supportsTarnexLG, "
    "USB_Vendor, DT_USB_Model, sendSMS, SyncMLProtocol, Approved, WebNotes) VALUES "
    "('15001', 'LG+NOSMS', 'LG', 'Read & <Only>', '1', '1', '4100', '24576', 'NoSMS', 'P-SMSDB', '1', 'a&b'),"
    "('15002', 'lg+full', 'lg', 'alpha', '1', '1', '4100', '', 'AT', 'P-SMSDB', NULL, NULL),"
    "('15003', 'LG+SEND', 'LG', 'Sender', '1', '1', NULL, NULL, 'AT', NULL, NULL, NULL),"
    "('15004', 'LG+NONE', 'LG', 'Plain', '1', '1', NULL, NULL, '', 'P-NONE', NULL, NULL),"
    "('15005', 'LG+../x\"y', 'LG', 'Syncer', '1', '1', NULL, NULL, NULL, 'P-SYNCSMS', NULL, NULL),"
    "('15006', 'LG+HIDDEN', 'LG', 'Hidden', NULL, '1', NULL, NULL, NULL, NULL, NULL, NULL);";

class CompatibleDevicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString path = buildTestDeviceDB(QStringLiteral("compatible-devices"), QLatin1String(kCompatibleRows));
        ASSERT_FALSE(path.isEmpty());
        qvDeviceDB::setDefaultDatabasePath(path);
        qvDeviceDB::releaseSharedDeviceDB();
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
        quordz::setDebuggingOverride(0);
    }
    void TearDown() override
    {
        quordz::setDebuggingOverride(-1);
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
        SyncDescriptionServer::sharedSyncDescriptionServer().reset();
    }
    static QString exportFolder(const QString& name)
    {
        const QString folder = testing_support::testHome() + QLatin1Char('/') + name;
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        return folder;
    }
};

TEST_F(CompatibleDevicesTest, ListsTheEditionsModelsByNameWithTheirMarks)
{
    CompatibleDevices window;
    CompatibleDevicesModel* model = window.model();
    ASSERT_EQ(model->rowCount(), 5) << "the model not officially released is left out";
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << quordz::devName(model->rowAt(row));
    EXPECT_EQ(names, (QStringList{QStringLiteral("lgalpha"), QStringLiteral("LGPlain"), QStringLiteral("LGRead & <Only>"),
                                  QStringLiteral("LGSender"), QStringLiteral("LGSyncer")}));
    struct Marks {
        const char* model;
        const char* usb;
        const char* sms;
        const char* exported;
    };
    for (const Marks& expected : {Marks{"alpha", "", "Read Send", "R/W"}, Marks{"Plain", "", "", ""},
                                  Marks{"Read & <Only>", "USB", "Read", "R"}, Marks{"Sender", "", "Send", "W"},
                                  Marks{"Syncer", "", "Read", "R"}}) {
        int row = 0;
        while (row < model->rowCount() && model->objectValue(QStringLiteral("model"), row) != QLatin1String(expected.model))
            ++row;
        ASSERT_LT(row, model->rowCount()) << expected.model;
        EXPECT_EQ(model->objectValue(QStringLiteral("USB"), row), QLatin1String(expected.usb)) << expected.model;
        EXPECT_EQ(model->objectValue(QStringLiteral("fullSMS"), row), QLatin1String(expected.sms)) << expected.model;
        EXPECT_EQ(quordz::smsExportMark(model->rowAt(row)), QLatin1String(expected.exported)) << expected.model;
    }
    EXPECT_EQ(window.headline()->text(), QStringLiteral("5 supported phone models"));
    EXPECT_TRUE(window.footer()->text().startsWith(QStringLiteral("Marvesto LG version ")));
    EXPECT_TRUE(CompatibleDevices::validateMenuItem(QStringLiteral("saveDocumentAs:")));
    EXPECT_FALSE(CompatibleDevices::validateMenuItem(QStringLiteral("copy:")));
    EXPECT_FALSE(QFileInfo::exists(CompatibleDevices::dumpPath())) << "debugging off: no dump";
}

TEST_F(CompatibleDevicesTest, SortsByColumnFindsRowsByTypingAndScalesPicturesWhenShown)
{
    // The device database is open by the time a window lists it (its key
    // derivation is a one-time cost of the program); the probe watches the
    // window: its rows, their pictures and drawing them.
    ASSERT_NE(qvDeviceDB::sharedDeviceDB(), nullptr);
    // So are the form loader's plug-ins and the string table, loaded with the
    // program's first window.
    delete platform::gui::loadInterface(QLatin1String(platform::gui::kProgramBundle),
                                        QLatin1String(CompatibleDevices::kWindowNibName), nullptr);
    platform::localizedString(QStringLiteral("ManualTitle"));
    testing_support::GuiGapProbe probe;
    CompatibleDevices window;
    EXPECT_GE(window.width(), 600) << "every column shows without resizing the window";
    window.show();
    QApplication::processEvents();
    QTableView* list = window.list();
    EXPECT_GT(window.model()->picturesMade(), 0);
    const QImage picture = window.model()->data(window.model()->index(0, 0), Qt::DecorationRole).value<QImage>();
    EXPECT_LE(picture.width(), 48);
    EXPECT_LE(picture.height(), 48);

    list->sortByColumn(CompatibleDevicesModel::Model, Qt::DescendingOrder);
    EXPECT_EQ(list->model()->index(0, CompatibleDevicesModel::Model).data().toString(), QStringLiteral("Syncer"));
    list->sortByColumn(CompatibleDevicesModel::Model, Qt::AscendingOrder);
    EXPECT_EQ(list->model()->index(0, CompatibleDevicesModel::Model).data().toString(), QStringLiteral("alpha"));

    list->setFocus();
    list->setCurrentIndex(list->model()->index(0, CompatibleDevicesModel::Model));
    QTest::keyClicks(list, QStringLiteral("se"));
    EXPECT_EQ(list->currentIndex().data().toString(), QStringLiteral("Sender"));
    QApplication::processEvents();
    probe.stop();
    EXPECT_LT(probe.longest(), testing_support::kGuiGapLimitMs) << "the real-time figure is printed above";
    // The screenshot is the test's own work, outside the watched span.
    platform::gui::saveGrab(&window, QStringLiteral("compatible-devices"));
}

TEST_F(CompatibleDevicesTest, ExportEscapesValuesSanitisesPictureNamesAndWritesEveryPicture)
{
    CompatibleDevices window;
    const QString folder = exportFolder(QStringLiteral("export"));
    const QString page = folder + QStringLiteral("/List & Co.html");
    QString error;
    ASSERT_TRUE(window.exportHTML(page, &error)) << error.toStdString();
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    EXPECT_FALSE(html.contains(QStringLiteral("(ARG")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td>Read &amp; &lt;Only&gt;</td>")));
    EXPECT_FALSE(html.contains(QStringLiteral("<Only>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td class=\"mark\">X</td><td class=\"mark\">R</td>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td class=\"mark\">R/W</td>")));

    const QDir pictures(folder + QStringLiteral("/List & Co-Files"));
    ASSERT_TRUE(pictures.exists());
    const QStringList files = pictures.entryList(QDir::Files | QDir::Hidden);
    EXPECT_TRUE(files.contains(QStringLiteral("DevAppIcon.jpg")));
    EXPECT_TRUE(files.contains(QStringLiteral("LG+.._x_y.jpg"))) << files.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(files.size(), 6);
    for (const QString& name : files) {
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
        EXPECT_FALSE(QImageReader(pictures.filePath(name)).read().isNull()) << name.toStdString();
    }
    EXPECT_TRUE(html.contains(QStringLiteral("src=\"List%20%26%20Co-Files/DevAppIcon.jpg\"")));

    // A second export over the first replaces it whole.
    ASSERT_TRUE(window.exportHTML(page));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1) << "no temporary file left beside";
}

TEST_F(CompatibleDevicesTest, AFolderThatCannotBeWrittenKeepsTheOldPageAndSaysSo)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    CompatibleDevices window;
    const QString folder = exportFolder(QStringLiteral("readonly"));
    const QString page = folder + QStringLiteral("/DeviceListTarnexSync.html");
    QFile old(page);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old page");
    old.close();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(window.exportHTML(page));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(window.failureMessage());
    EXPECT_EQ(window.failureMessage()->text(), QStringLiteral("The list could not be saved to %1.").arg(page));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old page"));
}

TEST_F(CompatibleDevicesTest, AnUnwritablePagePathKeepsTheOldPage)
{
    CompatibleDevices window;
    const QString folder = exportFolder(QStringLiteral("blocked"));
    // The pictures' folder name is taken by a file: nothing can be written.
    const QString page = folder + QStringLiteral("/Page.html");
    QFile blocker(folder + QStringLiteral("/Page-Files"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QFile old(page);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old page");
    old.close();
    EXPECT_FALSE(window.exportHTML(page));
    ASSERT_TRUE(window.failureMessage());
    EXPECT_TRUE(window.failureMessage()->text().contains(page));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old page"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2) << "no half-written page beside";
}

TEST_F(CompatibleDevicesTest, DebuggingDumpsTheModelsWithTheirKeys)
{
    QFile::remove(CompatibleDevices::dumpPath());
    quordz::setDebuggingOverride(1);
    CompatibleDevices window;
    const QVariantList dump = platform::plist::readFile(CompatibleDevices::dumpPath()).toList();
    ASSERT_EQ(dump.size(), 5);
    QStringList keys = dump.first().toMap().keys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{QStringLiteral("Approved"), QStringLiteral("Bookmarks"), QStringLiteral("Company"),
                                 QStringLiteral("Model"), QStringLiteral("Notes"), QStringLiteral("SMSRead"),
                                 QStringLiteral("SMSSend"), QStringLiteral("USB"), QStringLiteral("WebNotes")}));
    const QVariantMap readOnly = dump.at(2).toMap();
    EXPECT_EQ(readOnly.value(QStringLiteral("Model")), QStringLiteral("Read & <Only>"));
    EXPECT_EQ(readOnly.value(QStringLiteral("WebNotes")), QStringLiteral("a&b"));
    EXPECT_EQ(readOnly.value(QStringLiteral("USB")), QVariant(true));
    EXPECT_EQ(readOnly.value(QStringLiteral("SMSSend")), QVariant(false));
    EXPECT_EQ(readOnly.value(QStringLiteral("SMSRead")), QVariant(true));
    EXPECT_EQ(readOnly.value(QStringLiteral("Notes")), QStringLiteral("1"));
    QFile::remove(CompatibleDevices::dumpPath());
}

TEST(CompatibleTemplateTest, ArgumentsAreReplacedOnceEach)
{
    EXPECT_EQ(CompatibleDevices::argumentString(QStringLiteral("(ARG1)-(ARG1)-(ARG2)"), 1, QStringLiteral("x")),
              QStringLiteral("x-x-(ARG2)"));
    EXPECT_EQ(CompatibleDevices::fillArguments(QStringLiteral("<(ARG0)|(ARG1)|(ARG9)>"),
                                               {QStringLiteral("(ARG1)"), QStringLiteral("b")}),
              QStringLiteral("<(ARG1)|b|(ARG9)>"))
        << "a value is never searched again; an argument without value stays";
    EXPECT_EQ(CompatibleDevices::htmlEscaped(QStringLiteral("a&<\"'>")), QStringLiteral("a&amp;&lt;&quot;&#39;&gt;"));
    struct Name {
        const char* in;
        const char* out;
    };
    for (const Name& name : {Name{"LG Electronics+KE850", "LG_Electronics+KE850"}, Name{"../../etc/passwd", "_._.._etc_passwd"},
                             Name{".hidden", "_hidden"}, Name{"", "_"}, Name{"Motorola/V3 \"Razr\"", "Motorola_V3__Razr_"},
                             Name{"Sony\xc3\xa9", "Sony_"}})
        EXPECT_EQ(CompatibleDevices::sanitizedFileName(QString::fromUtf8(name.in)), QLatin1String(name.out)) << name.in;
}

// ---- the inspector ----

QVariantMap inspectorEntry()
{
    return {{QStringLiteral("Common.DeviceName"), QStringLiteral("My KU990")},
            {QStringLiteral("BT.BT_Address"), QStringLiteral("00-1e-75-00-00-01")},
            {QStringLiteral("Common.SerialNo"), QStringLiteral("35-000001")},
            {QStringLiteral("BT.ServiceName"), QStringLiteral("Serial Port")}};
}

QVariantMap inspectorRow()
{
    return {{QStringLiteral("Dorvanti.Manufacturer"), QStringLiteral("LG")},
            {QStringLiteral("Dorvanti.Model"), QStringLiteral("KU990")},
            {QStringLiteral("Dorvanti.USB_Vendor"), QStringLiteral("4100")},
            {QStringLiteral("Dorvanti.DT_USB_Model"), QStringLiteral("24576")},
            {QStringLiteral("Dorvanti.Identification"), QStringLiteral("QUALCOMM INCORPORATED+KU990")}};
}

TEST_F(CompatibleDevicesTest, InspectorShowsThePhoneAndItsDebuggingBlocksOnlyWithDebugging)
{
    {
        DeviceInspector inspector;
        inspector.setDeviceDict(inspectorEntry(), inspectorRow(), QVariantMap{{QStringLiteral("Language"), QStringLiteral("de")}});
        inspector.windowDidLoad();
        EXPECT_EQ(inspector.windowTitle(), QStringLiteral("My KU990 Inspector"));
        EXPECT_EQ(inspector.deviceName()->text(), QStringLiteral("My KU990"));
        EXPECT_EQ(inspector.deviceBTAddress()->text(), QStringLiteral("00-1e-75-00-00-01"));
        EXPECT_EQ(inspector.deviceModelVendor()->text(), QStringLiteral("0x1004/0x6000"));
        EXPECT_EQ(inspector.serialNumber()->text(), QStringLiteral("35-000001"));
        EXPECT_EQ(inspector.protocol()->text(), QStringLiteral("Serial Port"));
        EXPECT_EQ(inspector.language()->text(), QStringLiteral("de"));
        EXPECT_TRUE(inspector.company()->text().isEmpty());
        EXPECT_TRUE(inspector.model()->text().isEmpty());
        EXPECT_TRUE(inspector.deviceDescription()->toPlainText().isEmpty());
        EXPECT_FALSE(inspector.deviceIcon()->pixmap().isNull()) << "the fallback picture";
    }
    quordz::setDebuggingOverride(1);
    DeviceInspector inspector;
    QVariantMap row = inspectorRow();
    row.insert(QStringLiteral("Dorvanti.SyncMLProtocol"), QStringLiteral("P-SMSDB"));
    QVariantMap entry = inspectorEntry();
    entry.insert(QStringLiteral("Lang.NativeLanguage"), QStringLiteral("en"));
    inspector.setDeviceDict(entry, row, QVariantMap{{QStringLiteral("Language"), QStringLiteral("de")}});
    inspector.windowDidLoad();
    EXPECT_EQ(inspector.language()->text(), QStringLiteral("en"));
    EXPECT_EQ(inspector.company()->text(), QStringLiteral("LG"));
    EXPECT_EQ(inspector.model()->text(), QStringLiteral("KU990"));
    const QString description = inspector.deviceDescription()->toPlainText();
    for (const char* heading : {"User settings:\n--------------\n", "\n\nDevice database:\n----------------\n",
                                "\n\nSyncML settings:\n----------------\n",
                                "General device capabilities:\n----------------------------\n"})
        EXPECT_TRUE(description.contains(QLatin1String(heading))) << heading;
    EXPECT_TRUE(description.contains(QStringLiteral("P-SMSDB")));
    inspector.resize(520, 560);
    inspector.show();
    platform::gui::saveGrab(&inspector, QStringLiteral("device-inspector-debugging"));
}

TEST_F(CompatibleDevicesTest, InspectorKeepsItsTitleWithoutANameAndShowsWrongTypesEmpty)
{
    DeviceInspector inspector;
    const QString title = inspector.windowTitle();
    inspector.setDeviceDict(QVariantMap{{QStringLiteral("Common.SerialNo"), QVariantList{1, 2}},
                                        {QStringLiteral("BT.BT_Address"), QVariantMap{}},
                                        {QStringLiteral("Lang.NativeLanguage"), 7}},
                            QVariantMap{{QStringLiteral("Dorvanti.USB_Vendor"), QStringLiteral("4100")}}, std::nullopt);
    inspector.windowDidLoad();
    EXPECT_EQ(inspector.windowTitle(), title);
    EXPECT_TRUE(inspector.serialNumber()->text().isEmpty());
    EXPECT_TRUE(inspector.deviceBTAddress()->text().isEmpty());
    EXPECT_TRUE(inspector.language()->text().isEmpty());
    EXPECT_TRUE(inspector.deviceModelVendor()->text().isEmpty()) << "no model id: no USB ids";
    EXPECT_EQ(DeviceInspector::usbIdentifiersText(0x1004, 0x6000), QStringLiteral("0x1004/0x6000"));

    DeviceInspector empty;
    empty.windowDidLoad(); // no entry given: nothing filled
    EXPECT_TRUE(empty.deviceName()->text().isEmpty());
}

} // namespace
