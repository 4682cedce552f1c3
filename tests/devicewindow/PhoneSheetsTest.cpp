#include "DeviceWindowTestSupport.h"

#include "devicewindow/DeviceWindowCenters.h"
#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowMakers.h"
#include "devicewindow/DorvantiWindow.h"

#include "VirtualTime.h"
#include "device/MFDeviceInfo.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/Animation.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/TarnexAlertSheet.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace devicewindow_tests;
using testing_support::runFor;
namespace keys = devicewindowkeys;

struct SheetsFixture {
    RecordingHost host;
    std::unique_ptr<DeviceWindowController> controller = std::make_unique<DeviceWindowController>(&host);
    int beeps = 0;
    SheetsFixture()
    {
        devicewindowmakers::makers() = {};
        platform::gui::setBeepHandler([this] { ++beeps; });
        controller->window()->resize(720, 480);
        controller->window()->show();
        runFor(0.05);
    }
    ~SheetsFixture()
    {
        if (controller)
            controller->setMFDevice(nullptr);
        platform::gui::setBeepHandler({});
        devicewindowmakers::makers() = {};
    }
    QString sheetText() const
    {
        TarnexAlertSheet* sheet = controller->alertSheet();
        return sheet && sheet->isVisible() ? sheet->messageLabel()->text() : QString();
    }
    void post(const char* name, const void* sender, const QVariantMap& info = {})
    {
        platform::NotificationCenter::defaultCenter().post(QLatin1String(name), sender, info);
    }
};

TEST(DeviceWindowSheets, EveryTextHasATranslationAndErrorsSayWhatToDo)
{
    const char* const texts[] = {
        keys::kPairErrTitle,     keys::kPairErrMsg,         keys::kUnfinishedSync,    keys::kMissingItemsText,
        keys::kFailedItemsText,  keys::kWarning,            keys::kSendMsg,           keys::kSend,
        keys::kDeleteWarning,    keys::kDelete,             keys::kDeletingFiles,     keys::kOverwriteMsg,
        keys::kOverwrite,        keys::kCancel,             keys::kOK,                keys::kPhoneMenu,
        keys::kMenuInspector,    keys::kMenuBackupNow,      keys::kMenuPhoneSettings, keys::kMenuStopScan,
        keys::kMenuAutoConnect,  keys::kMenuDebugging,      keys::kMenuConnectionCenter, keys::kMenuFiles,
        keys::kMenuOrganizer,    keys::kMenuMedia,          keys::kMenuTimeTunnel,    keys::kAppDamaged,
        keys::kNoEntryForPhone,  keys::kBackScannTtl,       keys::kBackScannMsg,      keys::kContinue,
        keys::kConnectionLostFormat, keys::kErrorMsg,
    };
    for (const char* key : texts) {
        const QString text = platform::localizedString(QLatin1String(key));
        EXPECT_FALSE(text.isEmpty()) << key;
        // Keys that are texts of their own may translate to themselves.
        if (QByteArray(key).contains(' ') || QByteArray(key) == "OK" || QByteArray(key) == "Cancel"
            || QByteArray(key) == "Warning" || QByteArray(key) == "Send" || QByteArray(key) == "Delete"
            || QByteArray(key) == "Overwrite" || QByteArray(key) == "Continue")
            continue;
        EXPECT_NE(text, QLatin1String(key)) << key << " has no translation";
    }
    // Menu items have a mnemonic each, all different.
    QSet<QChar> mnemonics;
    for (const char* key : {keys::kMenuInspector, keys::kMenuBackupNow, keys::kMenuPhoneSettings, keys::kMenuStopScan,
                            keys::kMenuAutoConnect, keys::kMenuDebugging, keys::kMenuConnectionCenter,
                            keys::kMenuFiles, keys::kMenuOrganizer, keys::kMenuMedia, keys::kMenuTimeTunnel}) {
        const QString text = platform::localizedString(QLatin1String(key));
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << key;
        EXPECT_FALSE(mnemonics.contains(text.at(amp + 1).toLower())) << key;
        mnemonics.insert(text.at(amp + 1).toLower());
    }
    // The errors of links and jobs: what happened, then what to do.
    for (int number : {-21854, -21855, -21857, -21876, -21880, 52, 54, 55}) {
        const QString why = DeviceWindowController::explanation(number);
        EXPECT_NE(why, platform::localizedString(QLatin1String(keys::kNoExplanation))) << number;
        EXPECT_GE(why.count(QLatin1String(". ")), 1) << number << ": " << why.toStdString();
    }
    EXPECT_EQ(DeviceWindowController::explanation(987654), QStringLiteral("Can't find explanation"));
}

TEST(DeviceWindowSheets, FileNameHelpers)
{
    struct Case {
        const char* path;
        bool allowed;
    } const allowed[] = {{".x", false}, {"a.jpg", true}, {"/Phone/Pictures/.hidden", false},
                         {"/Phone/.folder/a.jpg", true}, {"", true}, {"a", true}};
    for (const Case& c : allowed)
        EXPECT_EQ(DeviceWindowController::isAllowedFileForMobile(QString::fromUtf8(c.path)), c.allowed) << c.path;
    EXPECT_EQ(DeviceWindowController::removeBadChars(QStringLiteral("a/b/c")), QStringLiteral("abc"));
    EXPECT_EQ(DeviceWindowController::removeBadChars(QStringLiteral("abc")), QStringLiteral("abc"));
    EXPECT_EQ(DeviceWindowController::removeBadChars(QStringLiteral("//")), QString());
}

TEST(DeviceWindowSheets, SyncResultsShowTheirCountOneSecondLater)
{
    struct Case {
        const char* notification;
        const char* key;
        QVariant value;
        const char* expected;
    } const cases[] = {
        {keys::kNotifySyncFailedDeleteItems, keys::kFailedItemsKey, 3, "3 items could not be deleted"},
        {keys::kNotifySyncTooManyItems, keys::kMissingItemsKey, 7, "7 items did not fit"},
        {keys::kNotifySyncFailedDeleteItems, keys::kFailedItemsKey, QStringLiteral("3"), "0 items could not"},
        {keys::kNotifySyncTooManyItems, keys::kMissingItemsKey, QVariantList{1, 2}, "0 items did not fit"},
        {keys::kNotifySyncTooManyItems, "other", 5, "0 items did not fit"},
    };
    for (const Case& c : cases) {
        SheetsFixture f;
        f.post(c.notification, nullptr, {{QLatin1String(c.key), c.value}});
        runFor(0.9);
        EXPECT_TRUE(f.sheetText().isEmpty()) << c.notification;
        runFor(0.2);
        EXPECT_TRUE(f.sheetText().startsWith(QLatin1String(c.expected))) << f.sheetText().toStdString();
        EXPECT_EQ(f.controller->alertSheet()->titleLabel()->text(), QStringLiteral("Unfinished Synchronisation"));
        EXPECT_TRUE(f.controller->alertSheet()->messageLabel()->textInteractionFlags() & Qt::TextSelectableByMouse);
        f.controller->alertSheet()->defaultButton()->click();
    }
}

TEST(DeviceWindowSheets, PairingStaleBeepsTwiceWithoutAddressAndReopensTheWizard)
{
    for (const bool withAddress : {false, true}) {
        SheetsFixture f;
        int wizards = 0;
        devicewindowmakers::makers().openWizzard = [&](DeviceWindowController&) { ++wizards; };
        QVariantMap entry{{QStringLiteral("name"), QStringLiteral("KU990")}};
        if (withAddress)
            entry.insert(QStringLiteral("address"), QStringLiteral("00:1c:62:aa:bb:cc"));
        f.controller->displayPairingStale(entry);
        EXPECT_EQ(f.beeps, withAddress ? 1 : 2);
        EXPECT_TRUE(f.sheetText().contains(QStringLiteral("KU990")));
        if (!withAddress)
            EXPECT_FALSE(platform::gui::saveGrab(f.controller->window(), QStringLiteral("devicewindow-pairing-stale"))
                             .isEmpty());
        f.controller->alertSheet()->defaultButton()->click();
        runFor(0.1);
        EXPECT_EQ(wizards, 0);
        runFor(0.03);
        EXPECT_EQ(wizards, 1);
    }
}

TEST(DeviceWindowSheets, QuestionsAnswerYesOnlyForTheirDefaultButton)
{
    SheetsFixture f;
    struct Case {
        std::function<bool()> ask;
        const char* windowTitle;
        const char* defaultTitle;
        const char* textPart;
    } const cases[] = {
        {[&] { return f.controller->askSendManyFiles(12); }, "Send", "Send", "12 files"},
        {[&] { return f.controller->askDelete(); }, "Deleting Files", "Delete", "cannot be undone"},
        {[&] { return f.controller->askOverwrite(); }, "Overwrite", "Overwrite", "replace it"},
    };
    for (const Case& c : cases) {
        for (const bool yes : {true, false}) {
            QString seenTitle;
            QTimer::singleShot(0, [&] {
                QMessageBox* box = f.controller->runningQuestion();
                ASSERT_NE(box, nullptr);
                seenTitle = box->windowTitle();
                EXPECT_EQ(box->defaultButton()->text(), QLatin1String(c.defaultTitle));
                EXPECT_TRUE(box->informativeText().contains(QLatin1String(c.textPart)))
                    << box->informativeText().toStdString();
                EXPECT_EQ(box->windowModality(), Qt::WindowModal);
                if (yes)
                    box->defaultButton()->click();
                else
                    box->escapeButton()->click();
            });
            EXPECT_EQ(c.ask(), yes) << c.windowTitle;
            EXPECT_EQ(seenTitle, QLatin1String(c.windowTitle));
        }
    }
}

TEST(DeviceWindowSheets, AQuestionWhoseWindowGoesMeanwhileAnswersNo)
{
    SheetsFixture f;
    // The session dies while the question runs: the controller closes, and
    // its window and the box go with it.
    QTimer::singleShot(0, [&] {
        ASSERT_NE(f.controller->runningQuestion(), nullptr);
        f.controller.reset();
    });
    DeviceWindowController* asking = f.controller.get();
    EXPECT_FALSE(asking->askDelete());
}

TEST(DeviceWindowSheets, SMSPanelOpensOnlyForThisPhoneWithNumberAndText)
{
    SheetsFixture f;
    auto device = makeDevice(MFDevice::kUSBSerial,
                             {{"USB.PortName", "/dev/null-phone"}, {keys::kSMSShowInfoPanel, true}});
    auto quiet = makeDevice(MFDevice::kUSBSerial, {{"USB.PortName", "/dev/null-phone"},
                                                   {"Common.SerialNo", "35-00000002"},
                                                   {keys::kSMSShowInfoPanel, false}});
    auto other = makeDevice(MFDevice::kUSBSerial, {{"USB.PortName", "/dev/null-phone"},
                                                   {"Common.SerialNo", "35-00000003"},
                                                   {keys::kSMSShowInfoPanel, true}});
    QList<QVariantMap> panels;
    devicewindowmakers::makers().openNewSMSPanel = [&](const QVariantMap& info, DeviceWindowController&) {
        panels << info;
    };
    devicewindowmakers::makers().findBestPersonForNumber =
        [](const QString& number) -> std::optional<devicewindowmakers::Person> {
        if (number != QLatin1String("+4917012345"))
            return std::nullopt;
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        return devicewindowmakers::Person{QStringLiteral("Anna Berg"), picture};
    };
    const QVariantMap good{{"Number", "+4917012345"}, {"Text", "See you at 8"}};
    struct Case {
        MFDevice* device;
        QVariantMap info;
        bool opens;
        const char* what;
    } const cases[] = {
        {other.get(), good, false, "another phone's device"},
        {device.get(), {{"Text", "x"}}, false, "no Number"},
        {device.get(), {{"Number", "+49"}}, false, "no Text"},
        {device.get(), {{"Number", 49}, {"Text", "x"}}, false, "a Number that is no text"},
        {device.get(), good, true, "this phone"},
    };
    f.controller->setMFDevice(device.get());
    for (const Case& c : cases) {
        panels.clear();
        f.post(keys::kNotifyNewSMS, c.device, c.info);
        EXPECT_EQ(panels.size(), c.opens ? 1 : 0) << c.what;
    }
    ASSERT_EQ(panels.size(), 1);
    EXPECT_EQ(panels[0].value(keys::kSMSAddrLabelKey), QStringLiteral("Anna Berg"));
    EXPECT_EQ(panels[0].value(keys::kSMSImageKey).value<QImage>().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(panels[0].value(keys::kSMSMsgTextKey), QStringLiteral("See you at 8"));
    EXPECT_EQ(panels[0].value(keys::kSMSMsgDragKey).toMap(), good);
    EXPECT_EQ(panels[0].value(keys::kSMSMsgWindowKey).value<QObject*>(), f.controller->window());

    panels.clear();
    f.post(keys::kNotifyNewSMS, device.get(), {{"Number", "+4930999"}, {"Text", "Hi"}});
    ASSERT_EQ(panels.size(), 1);
    EXPECT_EQ(panels[0].value(keys::kSMSAddrLabelKey), QStringLiteral("+4930999")) << "no person: the number";

    f.controller->setMFDevice(quiet.get());
    panels.clear();
    f.post(keys::kNotifyNewSMS, quiet.get(), good);
    EXPECT_TRUE(panels.isEmpty()) << "the phone's setting says no panel";
}

TEST(DeviceWindowSheets, ANewSMSClickStoresTheSMSViewAndJumpsToTheMessage)
{
    SheetsFixture f;
    auto device = makeDevice(MFDevice::kUSBSerial, {{"USB.PortName", "/dev/null-phone"}});
    f.controller->setMFDevice(device.get());
    QVariant jumped;
    devicewindowmakers::makers().jumpToSMSEntry = [&](ToolView* organizer, const QVariant& message) {
        EXPECT_NE(organizer, nullptr);
        jumped = message;
    };
    f.controller->window()->showMinimized();
    f.controller->showNewSMSFromStatus(QStringLiteral("message-7"));
    EXPECT_EQ(device->devInfo()->objectForKey(QLatin1String(keys::kLastOrganizerView)), QStringLiteral("SMS"));
    EXPECT_EQ(jumped, QStringLiteral("message-7"));
    EXPECT_EQ(f.controller->centers()->currentToolView(), f.controller->centers()->organizerView());
    EXPECT_FALSE(f.controller->window()->windowState() & Qt::WindowMinimized);
}

TEST(DeviceWindowSheets, DirtyMarkAndSyncSpinnerFollowTheirNotifications)
{
    SheetsFixture f;
    auto device = makeDevice(MFDevice::kUSBSerial, {{"USB.PortName", "/dev/null-phone"}});
    auto other = makeDevice(MFDevice::kUSBSerial, {{"USB.PortName", "/dev/null-phone"}, {"Common.SerialNo", "9"}});
    f.controller->setMFDevice(device.get());
    bool dirty = true;
    devicewindowmakers::makers().isArchiveDirty = [&](MFDevice&) { return dirty; };
    f.controller->window()->setWindowTitle(QStringLiteral("KU990[*]"));
    f.post(keys::kNotifyDeviceDirtyChanged, other.get());
    EXPECT_FALSE(f.controller->window()->isWindowModified()) << "another phone's archive";
    f.post(keys::kNotifyDeviceDirtyChanged, device.get());
    EXPECT_TRUE(f.controller->window()->isWindowModified());
    dirty = false;
    f.post(keys::kNotifyDeviceDirtyChanged, device.get());
    EXPECT_FALSE(f.controller->window()->isWindowModified());

    QWidget* spinner = f.controller->window()->findChild<QWidget*>(QStringLiteral("backgroundBusyIndicator"));
    ASSERT_NE(spinner, nullptr);
    f.post(keys::kNotifySyncEngineActive, nullptr, {{"Active", true}});
    EXPECT_TRUE(spinner->isVisible());
    f.post(keys::kNotifySyncEngineActive, nullptr, {{"Active", false}});
    EXPECT_FALSE(spinner->isVisible());
}

} // namespace
