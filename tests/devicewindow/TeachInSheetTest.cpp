// The teach-in sheet and the phone preferences sheet of a phone window:
// its pages and their order, the adding of a phone, the backup settings it
// stores, the agent step, and the preferences it reads and writes.
#include "DeviceWindowTestSupport.h"

#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/DeviceWindowMakers.h"
#include "devicewindow/HistoryView.h"
#include "devicewindow/NSDefaultButton.h"
#include "devicewindow/TeachInPrefsHandler.h"
#include "devicewindow/TeachInPrefsKeys.h"
#include "devicewindow/TeachInTabView.h"
#include "devicewindow/media/MediaInputFormat.h"

#include "DeviceDBTestSupport.h"
#include "VirtualTime.h"
#include "device/DeviceList.h"
#include "device/MFDeviceInfo.h"
#include "device/QVSyncDeviceDescription.h"
#include "device/qvDeviceDB.h"
#include "lumwick/BluetoothDeviceExpert.h"
#include "lumwick/BluetoothPairingController.h"
#include "lumwick/DeviceExpert.h"
#include "lumwick/DeviceSelectionController.h"
#include "lumwick/QVUIKit.h"
#include "phone/BackupRules.h"
#include "phone/PhoneFolders.h"
#include "platform/Localization.h"
#include "platform/UserDefaults.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/bluetooth/QuorBluetoothExtensions.h"
#include "platform/gui/Animation.h"
#include "platform/gui/TestArtifacts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace devicewindow_tests;
using testing_support::runFor;

constexpr const char* kPhoneAddress = "00:12:34:56:78:9a";

// The shared list outlives the tests that filled it.
void emptyDeviceList()
{
    DeviceList& list = DeviceList::sharedDeviceList();
    while (list.count() > 0)
        list.deleteDevice(0);
}

// The description of a phone that syncs contacts, the calendar and messages.
std::shared_ptr<QVSyncDeviceDescription> teachInDescription()
{
    auto description = std::make_shared<QVSyncDeviceDescription>(qvDeviceDB::sharedDeviceDB());
    description->setDeviceFieldLengths({{"SyncML.syncContacts", 1},
                                        {"SyncML.syncCalendar", 1},
                                        {"SyncML.syncNotes", 0},
                                        {"SyncML.syncBookmarks", 0},
                                        {"SyncML.syncSMS", 1}});
    return description;
}

class TeachInSheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        markXT();
        stack = std::make_shared<platform::BluetoothStackSimulated>();
        platform::BluetoothStack::setShared(stack);
        platform::gui::setBeepHandler([this] { ++beeps; });
        devicewindowmakers::makers() = {};
        emptyDeviceList();
        const QString path = buildTestDeviceDB(
            QStringLiteral("teach-in"),
            QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model, Manufacturer, DeviceProtocol, "
                           "supportsTarnexLG) VALUES ('20001', 'LG+KU990', 'KU990', 'LG', 'lg', 1);"));
        qvDeviceDB::setDefaultDatabasePath(path);
        qvDeviceDB::releaseSharedDeviceDB();
        TeachInPrefsHandler::setShiftKeySource([this] { return shift; });
        controller = std::make_unique<DeviceWindowController>(&host);
        controller->window()->resize(720, 520);
        controller->window()->show();
        runFor(0.05);
    }
    void TearDown() override
    {
        if (controller)
            controller->setMFDevice(nullptr);
        controller.reset();
        device.reset();
        TeachInPrefsHandler::setShiftKeySource({});
        TeachInPrefsHandler::setAgentFolder(QString());
        mediaformat::setMediaInputFormatPath(QString());
        emptyDeviceList();
        qvDeviceDB::setDefaultDatabasePath(QString());
        qvDeviceDB::releaseSharedDeviceDB();
        platform::gui::setBeepHandler({});
        platform::BluetoothStack::setShared(nullptr);
    }

    TeachInPrefsHandler* handler() { return controller->getTeachInPrefs(); }
    // A phone of the given model row over Bluetooth, without connections.
    std::shared_ptr<MFDevice> makePhone(QVariantMap row = {}, QVariantMap dict = {})
    {
        row.insert(QStringLiteral("Dorvanti.Model"), QStringLiteral("KU990"));
        row.insert(QStringLiteral("Dorvanti.Manufacturer"), QStringLiteral("LG"));
        row.insert(QStringLiteral("Dorvanti.DeviceProtocol"), QStringLiteral("lg"));
        dict.insert(QStringLiteral("Common.SerialNo"), QStringLiteral("35-00000001"));
        dict.insert(QStringLiteral("Common.qvDeviceID"), QStringLiteral("20001"));
        dict.insert(QStringLiteral("BT.BT_Address"), QLatin1String(kPhoneAddress));
        return std::make_shared<MFDevice>(QStringLiteral("History"), std::make_shared<QVariantMap>(dict), row,
                                          teachInDescription(), MFDevice::Makers{});
    }
    // The sheet started on the window without phone.
    void startTeachIn()
    {
        controller->openWizzard();
        runFor(0.05);
        ASSERT_TRUE(handler()->teachInPanelSheet()->isVisible());
    }
    // The phone was made and handed to the window, as the application does
    // after adding it.
    void handOver(QVariantMap row = {})
    {
        device = makePhone(row);
        controller->setMFDevice(device.get());
        controller->showTeachIn();
        runFor(0.05);
    }
    std::shared_ptr<DeviceExpert> expertWith(const QVariantMap& properties)
    {
        auto expert = std::make_shared<DeviceExpert>(handler()->deviceSelectionController());
        expert->setMainController(handler());
        expert->setDeviceProperties(properties);
        return expert;
    }
    void writeList(int phones)
    {
        for (int i = 0; i < phones; ++i)
            DeviceList::sharedDeviceList().addDevice(std::make_shared<QVariantMap>(
                QVariantMap{{QStringLiteral("Common.SerialNo"), QStringLiteral("35-0000010%1").arg(i)},
                            {QStringLiteral("Common.qvDeviceID"), QStringLiteral("20001")}}));
    }
    QString tab() { return handler()->selectedTab(); }
    static bool runUntilTeachIn(const std::function<bool()>& done) { return testing_support::runUntil(done, 20.0, 0.05); }

    std::shared_ptr<platform::BluetoothStackSimulated> stack;
    RecordingHost host;
    std::unique_ptr<DeviceWindowController> controller;
    std::shared_ptr<MFDevice> device;
    bool shift = false;
    int beeps = 0;
};

TEST(TeachInWidgets, DefaultButtonAnswersReturnOnlyWhileEnabledAndVisible)
{
    QWidget window;
    auto* button = new NSDefaultButton(QStringLiteral("Go"), &window);
    window.show();
    EXPECT_EQ(button->keyEquivalent(), QStringLiteral("\r"));
    button->setEnabled(false);
    EXPECT_EQ(button->keyEquivalent(), QString());
    button->setEnabled(true);
    button->setHidden(true);
    EXPECT_EQ(button->keyEquivalent(), QString());
    button->setHidden(false);
    EXPECT_EQ(button->keyEquivalent(), QStringLiteral("\r"));

    TeachInTabView tabs;
    EXPECT_EQ(tabs.tabViewType(), 5);
    EXPECT_TRUE(tabs.tabBar()->isHidden());
    EXPECT_TRUE(tabs.autoFillBackground());
}

TEST_F(TeachInSheet, StartsOnSelectInModeThreeAndShiftClearsTheBluetoothCache)
{
    for (bool withShift : {false, true}) {
        SCOPED_TRACE(withShift);
        markXT();
        QDir().mkpath(QFileInfo(QVUIKitTools::bluetoothCachePath()).path());
        QFile cache(QVUIKitTools::bluetoothCachePath());
        ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
        cache.close();
        shift = withShift;
        startTeachIn();
        EXPECT_EQ(tab(), QStringLiteral("Select"));
        EXPECT_EQ(handler()->teachInTabView()->selectedIdentifier(), QStringLiteral("Select"));
        EXPECT_EQ(controller->modeTeachIn(), 3);
        EXPECT_FALSE(handler()->finishButton()->isEnabled());
        EXPECT_TRUE(handler()->cancelButton()->isEnabled());
        EXPECT_EQ(QFile::exists(QVUIKitTools::bluetoothCachePath()), !withShift);
        EXPECT_EQ(xtLines().filter(QLatin1String(teachinkeys::kLogClearCache)).size(), withShift ? 1 : 0);
        // A phone not identified before its pairing may be chosen.
        EXPECT_TRUE(handler()->isValid({{QStringLiteral("Wizard.QuorvalisDeviceID"), 0},
                                        {QStringLiteral("Wizard.BluetoothAddress"), QLatin1String(kPhoneAddress)}}));
        EXPECT_FALSE(handler()->isValid({{QStringLiteral("Wizard.QuorvalisDeviceID"), 99999}}));
        platform::gui::saveGrab(handler()->teachInPanelSheet(), QStringLiteral("teachin-select"));
        // Escape is Cancel.
        if (withShift)
            QTest::keyClick(handler()->teachInPanelSheet(), Qt::Key_Escape);
        else
            handler()->teachIn_Cancel();
        runFor(0.2);
        EXPECT_FALSE(handler()->teachInPanelSheet()->isVisible());
        EXPECT_EQ(controller->modeTeachIn(), 0);
    }
}

TEST_F(TeachInSheet, AChosenPhoneIsShownAndAddedAfterOnePointTwoSeconds)
{
    struct Case {
        const char* user;
        const char* shown;
    } cases[] = {{"Anna's KU990", "Anna's KU990"}, {"", "KU990"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        host.calls.clear();
        startTeachIn();
        QVariantMap result{{QStringLiteral("Wizard.ModelName"), QStringLiteral("KU990")},
                           {QStringLiteral("Wizard.QuorvalisDeviceID"), 20001},
                           {QStringLiteral("Wizard.HasSerialPort"), true}};
        if (*c.user)
            result.insert(QStringLiteral("Wizard.DeviceUserName"), QString::fromUtf8(c.user));
        handler()->setDeviceExpert(expertWith(result));
        // Select -> (the pairing is not needed) -> Add.
        handler()->goToNextPane();
        EXPECT_EQ(tab(), QStringLiteral("Add"));
        EXPECT_EQ(handler()->deviceNameField()->text(), QString::fromUtf8(c.shown));
        EXPECT_EQ(handler()->deviceModelField()->text(), QStringLiteral("KU990"));
        EXPECT_EQ(handler()->deviceManufacturerField()->text(), QStringLiteral("LG"));
        EXPECT_FALSE(handler()->cancelButton()->isVisible());
        EXPECT_FALSE(handler()->finishButton()->isEnabled());
        runFor(0.6);   // the page transition
        platform::gui::saveGrab(handler()->teachInPanelSheet(), QStringLiteral("teachin-add"));
        runFor(0.5);
        EXPECT_EQ(tab(), QStringLiteral("Add")) << "nothing is added before 1.2 s";
        // The result has neither address, port nor volume: no entry can be
        // made, and the teach-in ends on the error page.
        const int beepsBefore = beeps;
        runFor(0.2);
        EXPECT_GT(beeps, beepsBefore);
        EXPECT_EQ(tab(), QStringLiteral("Error"));
        EXPECT_FALSE(handler()->pairErrID()->text().isEmpty());
        EXPECT_EQ(controller->modeTeachIn(), 0);
        EXPECT_EQ(DeviceList::sharedDeviceList().count(), 0) << "no half-written entry";
        EXPECT_TRUE(handler()->cancelButton()->isEnabled());
        handler()->cancelButton()->click();
        runFor(0.2);
        EXPECT_FALSE(handler()->teachInPanelSheet()->isVisible());
    }
}

TEST_F(TeachInSheet, ErrorsAndUnsupportedPhonesEndOnTheirPages)
{
    struct Case {
        int error;
        int modelId;
        const char* page;
        const char* log;
    } cases[] = {
        {0, 99999, "NotSupport", "!!!!   TeachIn deviceError: 0"},
        {0, 0, "NotSupport", "!!!!   TeachIn deviceError: 0"},
        {54, 20001, "Error", "!!!!   TeachIn deviceError: 54"},
        {777, 20001, "Error", "!!!!   TeachIn deviceError: 777"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        markXT();
        startTeachIn();
        auto expert = expertWith({{QStringLiteral("Wizard.QuorvalisDeviceID"), c.modelId},
                                  {QStringLiteral("Wizard.DeviceUserName"), QStringLiteral("Phone")},
                                  {QStringLiteral("Wizard.ModelName"), QStringLiteral("KU990")}});
        expert->setError(c.error);
        handler()->setDeviceExpert(expert);
        handler()->goToNextPane();
        EXPECT_EQ(tab(), QString::fromLatin1(c.page));
        EXPECT_EQ(xtLines().filter(QLatin1String(c.log)).size(), 1);
        if (c.error == 54) {
            EXPECT_EQ(handler()->pairErrID()->text(), platform::localizedString(QStringLiteral("54")));
        } else if (c.error == 777) {
            EXPECT_EQ(handler()->pairErrID()->text(), platform::localizedString(QStringLiteral("Can't find explanation")));
        }
        EXPECT_TRUE(handler()->cancelButton()->isEnabled());
        EXPECT_FALSE(handler()->finishButton()->isEnabled());
        runFor(0.6);
        if (c.error == 0)
            platform::gui::saveGrab(handler()->teachInPanelSheet(), QStringLiteral("teachin-notsupport"));
        handler()->teachIn_Cancel();
        runFor(0.2);
    }
    EXPECT_EQ(platform::localizedString(QStringLiteral("NotSupport")),
              QStringLiteral("This phone model is not supported by Marvesto LG."));
}

TEST_F(TeachInSheet, BackupPageSettingsAndFinishStoreTheChoices)
{
    struct Case {
        int phonesInList;
        bool manual;
        bool backup;
        bool expectedAutoConnect;
    } cases[] = {{1, false, true, true}, {2, true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phonesInList);
        emptyDeviceList();
        writeList(c.phonesInList);
        startTeachIn();
        handOver();
        EXPECT_EQ(tab(), QStringLiteral("Backup"));
        EXPECT_EQ(handler()->finishActionName(), QStringLiteral("teachIn_Finish:"));
        EXPECT_EQ(device->modeTeachIn(), 3);
        QWidget* box = handler()->settingBox();
        // Contacts, calendar and messages can be read; notes and bookmarks not.
        const bool enabled[] = {true, true, false, false, true};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(TeachInPrefsHandler::findTagButton(box, 10 + i)->isEnabled(), enabled[i]) << 10 + i;
            EXPECT_TRUE(TeachInPrefsHandler::findTagButton(box, 10 + i)->isChecked()) << 10 + i;
        }
        const bool files[] = {false, true, false, false, false};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(TeachInPrefsHandler::findTagButton(box, 20 + i)->isChecked(), files[i]) << 20 + i;
        runFor(0.6);   // the page transition
        if (c.phonesInList == 1)
            platform::gui::saveGrab(handler()->teachInPanelSheet(), QStringLiteral("teachin-backup"));
        handler()->backupManually()->setChecked(c.manual);
        handler()->noBackupDevice()->setChecked(c.backup);
        TeachInPrefsHandler::setTagButton_State(box, 11, false);
        handler()->finishButton()->click();
        runFor(0.1);
        MFDeviceInfo* info = device->devInfo();
        EXPECT_EQ(info->objectForKey(QStringLiteral("Common.AutoConnect")).toBool(), c.expectedAutoConnect);
        EXPECT_EQ(info->objectForKey(QStringLiteral("Common.BackupAutomatic")).toBool(), !c.manual);
        EXPECT_EQ(info->objectForKey(QStringLiteral("Common.BackupDevice")).toBool(), c.backup);
        // Ticked and enabled: contacts (bit 0) and messages (bit 4).
        EXPECT_EQ(device->backupRules().getBackupOrganizerMask(), 0x11);
        EXPECT_FALSE(info->isDirty()) << "every choice went into the one write";
        EXPECT_FALSE(handler()->teachInPanelSheet()->isVisible());
        EXPECT_EQ(controller->modeTeachIn(), 0);
        EXPECT_EQ(device->modeTeachIn(), 0);
        controller->setMFDevice(nullptr);
        device.reset();
    }
}

TEST_F(TeachInSheet, UntickedFileKindsBecomeBackupExceptions)
{
    const QStringList audio = TeachInPrefsHandler::mediaSuffixes(QStringLiteral("AllowedAudioInputFormats"));
    const QStringList pictures = TeachInPrefsHandler::mediaSuffixes(QStringLiteral("AllowedPictureInputFormats"));
    const QStringList videos = TeachInPrefsHandler::mediaSuffixes(QStringLiteral("AllowedVideoFormats"));
    ASSERT_TRUE(audio.contains(QStringLiteral("mp3")));
    ASSERT_TRUE(pictures.contains(QStringLiteral("jpg")));
    ASSERT_TRUE(videos.contains(QStringLiteral("mov")));
    struct Case {
        int untick;
        QStringList expected;
    } cases[] = {{20, audio}, {21, pictures}, {22, videos}, {23, {QStringLiteral("map")}}, {24, {QStringLiteral("***")}}};
    device = makePhone();
    controller->setMFDevice(device.get());
    int mode = 0;
    handler()->showTeachIn(device.get(), &mode, nullptr);
    QWidget* box = handler()->settingBox();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.untick);
        for (int tag = 20; tag <= 24; ++tag)
            TeachInPrefsHandler::setTagButton_State(box, tag, tag != c.untick);
        handler()->updateBackUpExceptions(box);
        EXPECT_EQ(device->backupRules().getBackupExceptSuffixList(), c.expected);
    }

    // A media-format file without the suffix lists: nothing to except.
    QTemporaryDir folder;
    const QString empty = folder.filePath(QStringLiteral("formats.plist"));
    QFile file(empty);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict/></plist>\n");
    file.close();
    mediaformat::setMediaInputFormatPath(empty);
    for (int tag = 20; tag <= 24; ++tag)
        TeachInPrefsHandler::setTagButton_State(box, tag, tag > 22);
    handler()->updateBackUpExceptions(box);
    EXPECT_TRUE(device->backupRules().getBackupExceptSuffixList().isEmpty());
}

TEST_F(TeachInSheet, EveryEndingLeavesModeZero)
{
    const char* endings[] = {"cancel", "skip", "finish", "endTeachIn"};
    for (const char* ending : endings) {
        SCOPED_TRACE(ending);
        host.calls.clear();
        startTeachIn();
        handOver();
        ASSERT_EQ(controller->modeTeachIn(), 3);
        const QString name = QString::fromLatin1(ending);
        if (name == QLatin1String("cancel"))
            handler()->teachIn_Cancel();
        else if (name == QLatin1String("skip"))
            handler()->teachIn_Skip();
        else if (name == QLatin1String("finish"))
            handler()->teachIn_Finish();
        else
            handler()->endTeachIn();
        runFor(0.2);
        EXPECT_EQ(controller->modeTeachIn(), 0);
        EXPECT_EQ(device->modeTeachIn(), 0);
        EXPECT_FALSE(handler()->teachInPanelSheet()->isVisible());
        controller->setMFDevice(nullptr);
        device.reset();
    }
}

TEST_F(TeachInSheet, LanguageChecksOfThePhone)
{
    struct Case {
        bool hasDevice;
        const char* ftp;
        QVariant language;
        int expected;
    } cases[] = {
        {false, "Bluetooth", QStringLiteral("English"), 3},
        {true, "", QStringLiteral("English"), 3},
        {true, "USB-Serial", QStringLiteral("English"), 1},
        {true, "Bluetooth", QVariant(), 1},
        {true, "Bluetooth", QString(""), 1},
        {true, "Bluetooth", QStringLiteral("English"), 0},
        {true, "Bluetooth", QVariant(42), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ftp);
        EXPECT_EQ(TeachInPrefsHandler::languageErrorFor(c.hasDevice, QString::fromLatin1(c.ftp), c.language),
                  c.expected);
    }
    EXPECT_EQ(handler()->languageText(0, QStringLiteral("English")), QStringLiteral("English"));
    EXPECT_EQ(handler()->languageText(1, {}), platform::localizedString(QStringLiteral("GenericLanguage")));
    EXPECT_EQ(handler()->languageText(3, {}), platform::localizedString(QStringLiteral("UnknowLanguage")));
    EXPECT_NE(platform::localizedString(QStringLiteral("GenericLanguage")), QStringLiteral("GenericLanguage"));
    // A phone without a file-transfer connection.
    device = makePhone();
    int mode = 0;
    int language = -1;
    handler()->showTeachIn(device.get(), &mode, &language);
    EXPECT_EQ(language, 3);
    handler()->teachIn_Skip();
}

class TeachInAgent : public TeachInSheet {
protected:
    void SetUp() override
    {
        TeachInSheet::SetUp();
        ASSERT_TRUE(folder.isValid());
        TeachInPrefsHandler::setAgentFolder(folder.path());
        QFile agent(folder.filePath(QStringLiteral("agent.cab")));
        ASSERT_TRUE(agent.open(QIODevice::WriteOnly));
        agent.write("agent");
        agent.close();
        stack->addDevice(QLatin1String(kPhoneAddress), QStringLiteral("Phone"), true, {});
    }
    void offerSyncML(bool offers)
    {
        QList<platform::SdpServiceRecord> records;
        if (offers)
            records << *platform::BluetoothStackSimulated::recordFromJson(
                {{QStringLiteral("name"), QStringLiteral("SyncML/IrMC")},
                 {QStringLiteral("uuids"), QVariantList{QStringLiteral("0x1104")}},
                 {QStringLiteral("channel"), 4},
                 {QStringLiteral("obex"), true}});
        stack->addDevice(QLatin1String(kPhoneAddress), QStringLiteral("Phone"), true, records, false);
    }
    QVariantMap agentRow(const char* name) { return {{QStringLiteral("Dorvanti.DownloadAgent"), QString::fromLatin1(name)}}; }
    QTemporaryDir folder;
};

TEST_F(TeachInAgent, WithoutAnAgentToInstallTheTeachInGoesToTheBackup)
{
    struct Case {
        const char* agent;
        bool offersSyncML;
    } cases[] = {{"", false}, {"missing.cab", false}, {"../agent.cab", false}, {"agent.cab", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.agent);
        offerSyncML(c.offersSyncML);
        startTeachIn();
        handOver(agentRow(c.agent));
        EXPECT_EQ(tab(), QStringLiteral("Backup"));
        handler()->teachIn_Skip();
        runFor(0.1);
        controller->setMFDevice(nullptr);
        device.reset();
    }
}

TEST_F(TeachInAgent, WaitingForTheAgentAndCancelWhileWaiting)
{
    offerSyncML(false);
    startTeachIn();
    handOver(agentRow("agent.cab"));
    EXPECT_EQ(tab(), QStringLiteral("WM1"));
    EXPECT_EQ(handler()->finishActionName(), QStringLiteral("teachIn_InstallAgent:"));
    EXPECT_TRUE(handler()->finishButton()->isEnabled());
    runFor(0.6);
    platform::gui::saveGrab(handler()->teachInPanelSheet(), QStringLiteral("teachin-agent"));

    // The agent answers: the teach-in goes on to the backup settings.
    handler()->teachIn_WaitForAgent();
    EXPECT_EQ(tab(), QStringLiteral("WM3"));
    EXPECT_TRUE(handler()->waitForAgent());
    runFor(1.0);
    EXPECT_EQ(tab(), QStringLiteral("WM3"));
    offerSyncML(true);
    runFor(0.5);
    EXPECT_EQ(tab(), QStringLiteral("Backup"));
    handler()->teachIn_Skip();
    runFor(0.1);
    controller->setMFDevice(nullptr);
    device.reset();

    // Cancel while waiting only stops the wait; the next tick cancels.
    offerSyncML(false);
    startTeachIn();
    handOver(agentRow("agent.cab"));
    handler()->teachIn_WaitForAgent();
    handler()->cancelButton()->click();
    EXPECT_FALSE(handler()->waitForAgent());
    EXPECT_TRUE(handler()->teachInPanelSheet()->isVisible());
    EXPECT_EQ(controller->modeTeachIn(), 3);
    runFor(0.6);
    EXPECT_FALSE(handler()->teachInPanelSheet()->isVisible());
    EXPECT_EQ(controller->modeTeachIn(), 0);
    EXPECT_EQ(device->modeTeachIn(), 0);
}

TEST_F(TeachInSheet, WindowEntryPoints)
{
    // Phone > Add Phone… on a window without phone: the sheet on it.
    QAction* add = controller->menuAction(QStringLiteral("scanForBTDevices:"));
    ASSERT_NE(add, nullptr);
    controller->validateMenus();
    ASSERT_TRUE(add->isEnabled());
    add->trigger();
    runFor(0.05);
    EXPECT_TRUE(handler()->teachInPanelSheet()->isVisible());
    handler()->teachIn_Cancel();
    runFor(0.5);

    // The connection center's "Wizard" state opens it as well.
    controller->processWizardState(QStringLiteral("Connected"));
    runFor(0.05);
    EXPECT_FALSE(handler()->teachInPanelSheet()->isVisible());
    controller->processWizardState(QStringLiteral("Wizard"));
    runFor(0.05);
    EXPECT_TRUE(handler()->teachInPanelSheet()->isVisible());
    handler()->teachIn_Cancel();
    runFor(0.5);

    // A stale pairing leads back into the teach-in.
    controller->displayPairingStale({{QStringLiteral("name"), QStringLiteral("KU990")},
                                     {QStringLiteral("address"), QLatin1String(kPhoneAddress)}});
    runFor(0.05);
    ASSERT_TRUE(controller->alertSheet()->isVisible());
    controller->alertSheet()->defaultButton()->click();
    runFor(0.3);
    EXPECT_TRUE(handler()->teachInPanelSheet()->isVisible());
    handler()->teachIn_Cancel();
    runFor(0.5);

    // The scan-on-connect sheet's Skip acts only during a teach-in.
    controller->beginScanOnConnectSheet();
    runFor(0.05);
    ASSERT_TRUE(controller->scanOnConnectSheet()->isVisible());
    controller->scanOnConnect_Skip();
    EXPECT_TRUE(controller->scanOnConnectSheet()->isVisible());
    controller->scanOnConnectSheet()->done(1);
    runFor(0.05);
}

TEST_F(TeachInSheet, AWindowWithAPhoneAddsInANewWindow)
{
    struct NewWindowHost : RecordingHost {
        DeviceWindowController* newDocumentWindow() override
        {
            made = std::make_unique<DeviceWindowController>(this);
            return made.get();
        }
        std::unique_ptr<DeviceWindowController> made;
    } other;
    DeviceWindowController window(&other);
    device = makePhone();
    window.setMFDevice(device.get());
    window.openWizzard();
    ASSERT_TRUE(other.made);
    runFor(0.05);
    EXPECT_EQ(other.made->pendingStateInfo(), QStringLiteral("Backup ToolbarIdentifier\tWizard"));
    window.setMFDevice(nullptr);
    other.made.reset();
}

TEST_F(TeachInSheet, ThePairingPageHostsTheWizardsPairingAndCancelUndoesIt)
{
    using Mode = platform::BluetoothStackSimulated::PairingMode;
    const QString address = QStringLiteral("00:12:34:56:78:aa");
    stack->addDevice(address, QStringLiteral("New phone"), false,
                     {platform::SdpServiceRecord::make({platform::BluetoothUuid::uuid16(platform::kSerialPortUuid)},
                                                       QStringLiteral("Serial Port"), quint8(2))},
                     false);
    stack->setPairing(address, Mode::Confirmation);
    startTeachIn();
    auto expert = BluetoothDeviceExpert::expertForAddress(address, handler()->deviceSelectionController());
    ASSERT_TRUE(expert);
    handler()->setDeviceExpert(expert);
    handler()->goToNextPane();
    EXPECT_EQ(tab(), QStringLiteral("Pairing"));
    BluetoothPairingController* pairing = handler()->bluetoothPairingController();
    ASSERT_TRUE(runUntilTeachIn([&] { return pairing->isAskingForConfirmation(); }));
    EXPECT_FALSE(handler()->finishButton()->isEnabled()) << "Next waits for the pairing";
    // Next while the pairing runs stays on the page.
    handler()->goToNextPane();
    EXPECT_EQ(tab(), QStringLiteral("Pairing"));
    // Alt+Left goes back to the selection and stops the pairing; the phone
    // is chosen again.
    QTest::keyClick(handler()->teachInPanelSheet(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(tab(), QStringLiteral("Select"));
    EXPECT_FALSE(stack->deviceWithAddressString(address)->isPairing());
    handler()->setDeviceExpert(expert);
    handler()->goToNextPane();
    ASSERT_EQ(tab(), QStringLiteral("Pairing"));
    ASSERT_TRUE(runUntilTeachIn([&] { return pairing->isAskingForConfirmation(); }));
    runFor(0.6);
    platform::gui::saveGrab(handler()->teachInPanelSheet(), QStringLiteral("teachin-pairing"));
    const int removals = stack->pairingRemovalCount(address);
    handler()->cancelButton()->click();
    runFor(0.3);
    EXPECT_FALSE(stack->deviceWithAddressString(address)->isPairing());
    EXPECT_FALSE(stack->deviceWithAddressString(address)->isPaired());
    EXPECT_GT(stack->pairingRemovalCount(address), removals) << "the half-made pairing is removed";
    EXPECT_FALSE(handler()->teachInPanelSheet()->isVisible());
    EXPECT_EQ(controller->modeTeachIn(), 0);
    // Nothing outside was started.
    EXPECT_FALSE(host.calls.contains(QStringLiteral("launchBluetoothSetup")));
}

TEST_F(TeachInSheet, APhoneThatGoesAwayEndsOnTheErrorPage)
{
    startTeachIn();
    handOver();
    controller->sessionDiedError(device.get());
    runFor(0.05);
    EXPECT_EQ(tab(), QStringLiteral("Error"));
    EXPECT_EQ(handler()->pairErrID()->text(), platform::localizedString(QStringLiteral("54")));
    handler()->cancelButton()->click();
    runFor(0.5);
    EXPECT_FALSE(handler()->teachInPanelSheet()->isVisible());
    EXPECT_EQ(controller->modeTeachIn(), 0);
}

class DevicePrefsSheet : public TeachInSheet {
protected:
    void showPrefs(QVariantMap settings = {})
    {
        device = makePhone({}, settings);
        controller->setMFDevice(device.get());
        ASSERT_NE(handler()->showDevicePrefs(device.get()), nullptr);
    }
};

TEST_F(DevicePrefsSheet, ShowsTheStoredSettings)
{
    struct Case {
        QVariant warn;
        int cell;
    } cases[] = {{QVariant(2), 2}, {QVariant(0), 0}, {QVariant(7), 1}, {QVariant(), 1}, {QStringLiteral("x"), 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.warn.toString().toStdString());
        QVariantMap settings{{QStringLiteral("Common.AutoConnect"), true},
                             {QStringLiteral("Common.SMS_DoPoll"), true},
                             {QStringLiteral("Common.SMS_PollInterval"), 15},
                             {QStringLiteral("Lang.NativeLanguage"), 42}};
        if (c.warn.isValid())
            settings.insert(QStringLiteral("Common.SMS_SEND_WARN"), c.warn);
        showPrefs(settings);
        EXPECT_EQ(handler()->deviceSMSSendWarn()->checkedId(), c.cell);
        EXPECT_TRUE(handler()->devicePrefsAutomaticConnectionButton()->isChecked());
        EXPECT_EQ(handler()->devicePrefsDoCheckEveryMinutes()->text(), QStringLiteral("15"));
        EXPECT_EQ(handler()->devicePrefsTeachInLanguage()->text(),
                  platform::localizedString(QStringLiteral("UnknowLanguage")));
        EXPECT_EQ(handler()->numberOfRowsInTableView(), 6);
        handler()->devicePrefs_Cancel();
        controller->setMFDevice(nullptr);
        device.reset();
    }
}

TEST_F(DevicePrefsSheet, FileKindsFollowTheExceptionList)
{
    struct Case {
        QStringList except;
        bool on[5];
    } cases[] = {
        {{}, {true, true, true, true, true}},
        {{QStringLiteral("mp3"), QStringLiteral("jpg")}, {false, false, true, true, true}},
        {{QStringLiteral("mov"), QStringLiteral("map"), QStringLiteral("***")}, {true, true, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.except.join(QLatin1Char(',')).toStdString());
        showPrefs();
        device->backupRules().setBackupExceptSuffixList(c.except);
        handler()->showDevicePrefs(device.get());
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(TeachInPrefsHandler::findTagButton(handler()->backupBox(), 20 + i)->isChecked(), c.on[i])
                << 20 + i;
        handler()->devicePrefs_Cancel();
        controller->setMFDevice(nullptr);
        device.reset();
    }
}

TEST_F(DevicePrefsSheet, OKStoresWhatIsValidAndRefusesTheRest)
{
    QTemporaryDir folder;
    showPrefs({{QStringLiteral("Common.SMS_PollInterval"), 15}});
    platform::gui::saveGrab(handler()->devicePrefsPanelSheet(), QStringLiteral("device-prefs-sheet"));
    // A folder, a path that is no folder, and an empty path.
    handler()->tableSetObjectValue(folder.path(), QStringLiteral("Path"), 0);
    handler()->tableSetObjectValue(true, QStringLiteral("Enabled"), 0);
    handler()->tableSetObjectValue(folder.filePath(QStringLiteral("nothing-here")), QStringLiteral("Path"), 1);
    handler()->tableSetObjectValue(true, QStringLiteral("Enabled"), 1);
    EXPECT_EQ(handler()->devicePrefsUserPathList()->item(1, 1)->foreground().color(), QColor(Qt::red));
    handler()->devicePrefsDoCheckEveryMinutes()->setText(QStringLiteral("0"));
    handler()->devicePrefsAutomaticConnectionButton()->setChecked(true);
    handler()->devicePrefsBackupManually()->setChecked(true);
    handler()->deviceSMSSendWarn()->button(2)->setChecked(true);
    handler()->devicePrefs_OK();
    MFDeviceInfo* info = device->devInfo();
    EXPECT_EQ(device->phoneFolders().getUserFolderPath(QStringLiteral("User.SoundsFolder")), folder.path());
    EXPECT_TRUE(device->phoneFolders().getUserFolderPath(QStringLiteral("User.SoundPlaylistsFolder")).isEmpty());
    EXPECT_EQ(info->objectForKey(QStringLiteral("Common.SMS_PollInterval")).toInt(), 15) << "0 is refused";
    EXPECT_EQ(handler()->devicePrefsDoCheckEveryMinutes()->text(), QStringLiteral("15"));
    EXPECT_TRUE(info->objectForKey(QStringLiteral("Common.AutoConnect")).toBool());
    EXPECT_FALSE(info->objectForKey(QStringLiteral("Common.BackupAutomatic")).toBool());
    EXPECT_EQ(info->objectForKey(QStringLiteral("Common.SMS_SEND_WARN")).toInt(), 2);
    EXPECT_FALSE(handler()->devicePrefsPanelSheet()->isVisible());

    // A valid interval is stored.
    handler()->showDevicePrefs(device.get());
    handler()->devicePrefsDoCheckEveryMinutes()->setText(QStringLiteral("30"));
    handler()->devicePrefs_OK();
    EXPECT_EQ(info->objectForKey(QStringLiteral("Common.SMS_PollInterval")).toInt(), 30);
}

TEST_F(DevicePrefsSheet, PhoneSettingsMenuOpensTheSheet)
{
    device = makePhone();
    controller->setMFDevice(device.get());
    controller->phoneSettings();
    runFor(0.05);
    EXPECT_TRUE(handler()->devicePrefsPanelSheet()->isVisible());
    handler()->devicePrefs_Cancel();
    runFor(0.05);
    EXPECT_FALSE(handler()->devicePrefsPanelSheet()->isVisible());
}

} // namespace
