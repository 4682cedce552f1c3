#include "TarnexTestSupport.h"

#include "app/TarnexKeys.h"
#include "app/TarnexRollOverButton.h"
#include "phone/DeviceEntryMakers.h"

#include "platform/Clock.h"
#include "platform/UserDefaults.h"
#include "platform/gui/TestArtifacts.h"
#include "VirtualTime.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using app_tests::key;
using app_tests::onePhone;
using app_tests::phoneEntry;
using app_tests::TarnexFixture;
using testing_support::runFor;
using namespace tarnexkeys;


TEST(TarnexController, EmptyListFadesInOnTheWelcomePaneWithAddPhone)
{
    TarnexFixture f;
    f.start(false);
    EXPECT_EQ(TarnexController::sTarnexController(), f.tarnex.get());
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kWelcomeIndex);
    EXPECT_EQ(f.title(), QStringLiteral("Marvesto LG")) << "the panes name the window once it is switched";
    EXPECT_FALSE(f.tarnex->addPhoneButton()->isHidden());
    EXPECT_TRUE(f.tarnex->missingPhoneButton()->isHidden());
    EXPECT_TRUE(f.tarnex->syncSettingsButton()->isHidden());
    EXPECT_TRUE(f.tarnex->showPhonesButton()->isHidden());
    EXPECT_TRUE(f.tarnex->goToPreviousPaneButton()->isHidden());
    EXPECT_TRUE(f.tarnex->actionMasterPlaceHidden());
    EXPECT_FALSE(f.tarnex->logoImageView()->isHidden()) << "no phone: the product logo";
    EXPECT_TRUE(f.tarnex->deviceImage()->isHidden());

    // 0.1 more opacity each 0.04 s.
    EXPECT_DOUBLE_EQ(f.window->windowOpacity(), 0.0);
    for (double expected : {0.1, 0.2, 0.3}) {
        runFor(0.04);
        EXPECT_NEAR(f.window->windowOpacity(), expected, 1.0 / 255);
    }
    runFor(0.3);
    EXPECT_DOUBLE_EQ(f.window->windowOpacity(), 1.0);
    EXPECT_FALSE(f.window->isFadingIn());

    auto* text = f.window->findChild<QLabel*>(QStringLiteral("addPhoneLabel"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(),
              QStringLiteral("Connect your phone with its USB cable or switch on its Bluetooth, then click Add Phone."));
    EXPECT_TRUE(text->isVisible());
    EXPECT_EQ(text->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(f.tarnex->addPhoneButton()->text(), QStringLiteral("Add Phone"));
    EXPECT_FALSE(platform::gui::saveGrab(f.window.get(), QStringLiteral("app-welcome-pane")).isEmpty());
}

TEST(TarnexController, AKnownPhoneOpensOnTheMatrixAndJunkEntriesAreSkipped)
{
    // Entries that are not dictionaries do not count as phones.
    TarnexFixture f(QVariantList{QStringLiteral("junk"), phoneEntry(QStringLiteral("35412345678901")), 7});
    f.start();
    EXPECT_EQ(f.list->count(), 1);
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex);
    EXPECT_EQ(f.tarnex->currentControllerName(), key(kSelectKnownDevice));
    EXPECT_FALSE(f.tarnex->missingPhoneButton()->isHidden());
    EXPECT_TRUE(f.tarnex->addPhoneButton()->isHidden());
    // The status line (the search's "Looking for phones") is seen; the job
    // list that shares its spot waits for the contacts pane.
    EXPECT_TRUE(f.tarnex->actionMasterPlaceHidden());
    EXPECT_EQ(f.tarnex->actionMasterPlace()->y(), TarnexController::kHiddenY);
    EXPECT_EQ(f.tarnex->messageTextField()->y(), TarnexController::kMessageShownY) << "the two share the spot";
    EXPECT_EQ(f.tarnex->pane(1)->wizardPaneView()->findChild<QLabel*>()->text(), QStringLiteral("Not available yet"));
}

TEST(TarnexController, TheFirstPaneStartsOnlyOnceTheFadeInHasEndedAndAStressRunPassesTheWelcomePane)
{
    TarnexFixture f(QVariant(), true);
    platform::UserDefaults::standard().setObject(QLatin1String(MirrovanceDevice::kIsStressTest), true);
    f.start(false);
    runFor(0.36);
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kWelcomeIndex) << "still fading in";
    EXPECT_TRUE(f.log->calls.isEmpty());
    runFor(0.08);
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex) << "the welcome pane went on at once";
    EXPECT_EQ(f.log->calls, (QStringList{QStringLiteral("kContacts unload"), QStringLiteral("kSyncSettings unload"),
                                         QStringLiteral("kSelectKnownDevice prepare"),
                                         QStringLiteral("kSelectKnownDevice start")}));
}

TEST(TarnexController, AddPhoneByClickOrReturnSwitchesToTheMatrix)
{
    for (bool byKey : {false, true}) {
        TarnexFixture f;
        f.start();
        if (byKey) {
            f.window->activateWindow();
            QApplication::setActiveWindow(f.window.get());
            QTest::keyClick(f.window.get(), Qt::Key_Return);
        } else {
            QTest::mouseClick(f.tarnex->addPhoneButton(), Qt::LeftButton);
        }
        EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex) << byKey;
        EXPECT_EQ(f.tarnex->previousPaneIndex(), TarnexController::kWelcomeIndex);
        EXPECT_TRUE(f.tarnex->addPhoneButton()->isHidden());
        EXPECT_FALSE(f.tarnex->missingPhoneButton()->isHidden());
        EXPECT_FALSE(f.tarnex->goToPreviousPaneButton()->isHidden()) << "the welcome pane shows Previous as it stops";
        EXPECT_TRUE(f.tarnex->pane(0)->wizardPaneView()->isHidden());
        EXPECT_TRUE(f.tarnex->pane(1)->wizardPaneView()->isVisible());
        EXPECT_EQ(f.title(), QStringLiteral("Your Phones"));
        EXPECT_TRUE(f.xtLines().contains(QStringLiteral("Switching from kWelcomePaneName to kSelectKnownDevice")));
    }
}

TEST(TarnexController, TheConnectingPlaceholderOffersPreviousAndEscapeOrAltLeftGoBack)
{
    enum How { kClick, kAltLeft, kEscape };
    for (How how : {kClick, kAltLeft, kEscape}) {
        TarnexFixture f(onePhone());
        f.start();
        f.window->activateWindow();
        QApplication::setActiveWindow(f.window.get());
        ASSERT_TRUE(f.tarnex->goToPreviousPaneButton()->isHidden()) << "the phones come first";
        f.useProbePhone(phoneEntry(QStringLiteral("35412345678901")));
        f.tarnex->switchToNamedPane(key(kConnectingPane), 1);
        runFor(0.01);
        ASSERT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kConnectingIndex);
        QPushButton* previous = f.tarnex->goToPreviousPaneButton();
        EXPECT_FALSE(previous->isHidden()) << how;
        EXPECT_TRUE(previous->isEnabled()) << how;
        if (how == kClick)
            QTest::mouseClick(previous, Qt::LeftButton);
        else if (how == kAltLeft)
            QTest::keyClick(f.window.get(), Qt::Key_Left, Qt::AltModifier);
        else
            QTest::keyClick(f.window.get(), Qt::Key_Escape);
        runFor(TarnexController::kReleaseWait + 0.1);
        EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex) << how;
        EXPECT_TRUE(previous->isHidden()) << "left as the phones had it " << how;
    }
}

TEST(TarnexController, NextAskesThePaneFirstAndATargetPastTheEndFallsBack)
{
    TarnexFixture f(onePhone(), true);
    f.start();
    f.log->calls.clear();

    f.log->handlesNext = {key(kSelectKnownDevice)};
    f.tarnex->goToNextPane();
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex) << "the pane handled Next";
    EXPECT_TRUE(f.log->calls.isEmpty());

    f.log->handlesNext.clear();
    f.tarnex->goToNextPane();
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kConnectingIndex);
    EXPECT_FALSE(f.tarnex->goToNextPaneButton()->isEnabled()) << "a switch disables Next";

    f.tarnex->switchToNamedPane(key(kSyncSettings), 1);
    f.tarnex->switchPanesInDirection(1);
    EXPECT_TRUE(f.xtLines().contains(QStringLiteral("No controller at index: 5")));
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kContactsIndex) << "5 - 2";

    // An unknown key is no index: logged, and the fallback of -1.
    f.tarnex->switchToNamedPane(QStringLiteral("kNoSuchPane"), -1);
    EXPECT_TRUE(f.xtLines().contains(QStringLiteral("No controller at index: -1")));
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex);
}

TEST(TarnexController, SwitchingToTheMatrixWaitsReleasesThePhoneAndUnloadsTheLaterPanes)
{
    TarnexFixture f(onePhone(), true);
    f.start();
    f.useProbePhone(phoneEntry(QStringLiteral("35412345678901")));
    f.tarnex->switchToNamedPane(key(kContacts), 1);
    runFor(0.01);
    f.log->calls.clear();

    const double before = platform::Clock::instance().now();
    f.tarnex->disconnectDevice();
    EXPECT_GE(platform::Clock::instance().now() - before, TarnexController::kReleaseWait - 1e-9);
    EXPECT_EQ(f.log->calls, (QStringList{QStringLiteral("kContacts stop"), QStringLiteral("phone release"),
                                         QStringLiteral("kContacts unload"), QStringLiteral("kSyncSettings unload"),
                                         QStringLiteral("kSelectKnownDevice prepare"),
                                         QStringLiteral("kSelectKnownDevice start")}));
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex);
    EXPECT_FALSE(f.tarnex->isShowingPhone());
    EXPECT_FALSE(f.tarnex->missingPhoneButton()->isHidden());

    // The ejected phone's notification does the same on a later pass.
    f.tarnex->switchToNamedPane(key(kConnectingPane), 1);
    platform::NotificationCenter::defaultCenter().post(key(kDeviceDisconnected));
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kConnectingIndex);
    runFor(0.01);
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex);

    // Switching to the pane on show keeps it on show.
    f.tarnex->disconnectDevice();
    EXPECT_TRUE(f.tarnex->pane(1)->wizardPaneView()->isVisible());
}

TEST(TarnexController, TheContactsPaneIsTitledMarvestoAndShowsThePhone)
{
    TarnexFixture f(onePhone(), true);
    f.start();
    QVariantMap entry = phoneEntry(QStringLiteral("35412345678901"), QStringLiteral("KU990"));
    f.useProbePhone(entry);
    f.tarnex->switchToNamedPane(key(kConnectingPane), 1);
    EXPECT_EQ(f.title(), QStringLiteral("Connecting"));
    EXPECT_TRUE(f.tarnex->isShowingPhone());

    const double before = platform::Clock::instance().now();
    f.tarnex->switchToNamedPane(key(kContacts), 1);
    EXPECT_GE(platform::Clock::instance().now() - before, TarnexController::kContactsWait - 1e-9)
        << "coming from the connecting pane, the contacts pane waits";
    EXPECT_EQ(f.title(), QStringLiteral("Connecting")) << "the title follows once the switch has ended";
    runFor(0.01);
    EXPECT_EQ(f.title(), QStringLiteral("Marvesto"));
    EXPECT_FALSE(f.tarnex->syncSettingsButton()->isHidden());
    EXPECT_FALSE(f.tarnex->showPhonesButton()->isHidden());
    EXPECT_TRUE(f.tarnex->missingPhoneButton()->isHidden());
    EXPECT_TRUE(f.tarnex->tarnexLabel()->isHidden());
    EXPECT_EQ(f.tarnex->deviceNameField()->text(), QStringLiteral("KU990"));
    EXPECT_TRUE(f.log->calls.endsWith(QStringLiteral("kContacts start")));

    // The sync settings come as a sheet; Escape, not taken by the pane, goes
    // back to the contacts.
    f.tarnex->openSettings();
    EXPECT_EQ(f.title(), QStringLiteral("Sync Settings"));
    EXPECT_TRUE(f.tarnex->syncSettingsButton()->isHidden());
    QDialog* sheet = f.tarnex->syncSheetWindow();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(f.tarnex->pane(TarnexController::kSyncSettingsIndex)->wizardPaneView()->parentWidget(),
              f.tarnex->syncPanelView());
    EXPECT_FALSE(platform::gui::saveGrab(sheet, QStringLiteral("app-sync-settings-sheet")).isEmpty());
    QTest::keyClick(sheet, Qt::Key_Escape);
    runFor(0.01);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(f.tarnex->currentControllerName(), key(kContacts));
    EXPECT_EQ(f.title(), QStringLiteral("Marvesto"));
}

TEST(TarnexController, EnteringTheConnectingPaneMarksOnlyNewPhonesForStoring)
{
    struct Case {
        const char* name;
        const char* from;
        bool hasClipSize;
        bool newPhone;
        bool marked;
    };
    const Case cases[] = {
        {"known phone from the matrix", kSelectKnownDevice, true, false, false},
        {"new phone", kSelectKnownDevice, true, true, true},
        {"entry without the clip size", kSelectKnownDevice, false, false, true},
        {"from another pane", kContacts, true, false, true},
    };
    for (const Case& c : cases) {
        TarnexFixture f(onePhone(), true);
        f.start();
        QVariantMap entry = phoneEntry(QStringLiteral("35412345678901"));
        if (c.hasClipSize)
            entry.insert(key(kClipSizeWidth), 176);
        f.useProbePhone(entry);
        f.tarnex->setNewPhone(c.newPhone);
        if (f.tarnex->currentControllerName() != key(c.from))
            f.tarnex->switchToNamedPane(key(c.from), 1);
        runFor(0.01);
        f.tarnex->switchToNamedPane(key(kConnectingPane), 1);
        EXPECT_EQ(f.tarnex->deviceNeedsToBeStoredInDeviceList(), c.marked) << c.name;
    }
}

TEST(TarnexController, ThePhonePictureComesFromTheIdentificationElseTheModelId)
{
    struct Case {
        int id;
        const char* picture;
    };
    const Case cases[] = {{15320, "QUALCOMM INCORPORATED+KU990"},  {15332, "LG Electronics+KF750"},
                          {15333, "QUALCOMM INCORPORATED+HB620T"}, {15450, "LG Elec. Inc+KS360"},
                          {15451, "LG Electronics Inc+GD900"},     {15452, "DefaultHandyLogo"},
                          {0, "DefaultHandyLogo"},                 {-1, "DefaultHandyLogo"}};
    for (const Case& c : cases)
        EXPECT_EQ(TarnexController::imageNameForQVID(c.id), QLatin1String(c.picture)) << c.id;

    TarnexFixture f(onePhone());
    f.start();
    QVariantMap entry = phoneEntry(QStringLiteral("35412345678901"));
    entry.insert(deviceentry::kDeviceID, QStringLiteral("15451"));
    f.useProbePhone(entry);
    EXPECT_EQ(f.tarnex->phonePictureName(), QStringLiteral("LG Electronics Inc+GD900"));
    entry.insert(deviceentry::kIdentifier, QStringLiteral("LG KU990"));
    f.useProbePhone(entry);
    EXPECT_EQ(f.tarnex->phonePictureName(), QStringLiteral("LG KU990"));
    // Untrusted entries: an identification that is no text, no id at all.
    entry.insert(deviceentry::kIdentifier, QVariantList{1, 2});
    entry.remove(deviceentry::kDeviceID);
    f.useProbePhone(entry);
    EXPECT_EQ(f.tarnex->phonePictureName(), QStringLiteral("DefaultHandyLogo"));

    // Shown: the logo fades out over 1.5 s; a picture the program lacks
    // shows the default phone.
    f.tarnex->showPhoneIcon(true);
    EXPECT_EQ(f.tarnex->shownPictureName(), QStringLiteral("DefaultHandyLogo_big"));
    EXPECT_FALSE(f.tarnex->deviceImage()->isHidden());
    EXPECT_LT(f.tarnex->deviceImage()->geometry().bottom(), f.tarnex->deviceNameField()->y());
    runFor(1.0);
    EXPECT_FALSE(f.tarnex->logoImageView()->isHidden());
    runFor(0.6);
    EXPECT_TRUE(f.tarnex->logoImageView()->isHidden());
    f.tarnex->showPhoneIcon(false);
    EXPECT_TRUE(f.tarnex->deviceImage()->isHidden());
    EXPECT_TRUE(f.tarnex->deviceNameField()->isHidden());
    EXPECT_FALSE(f.tarnex->logoImageView()->isHidden());
}

TEST(TarnexController, MenuTitlesGetTheProgramNameOnce)
{
    const QString name = QStringLiteral("Marvesto LG");
    EXPECT_EQ(TarnexController::fixMenuTitle(QStringLiteral("About @app@"), name), QStringLiteral("About Marvesto LG"));
    EXPECT_EQ(TarnexController::fixMenuTitle(QStringLiteral("@app@ and @app@"), name),
              QStringLiteral("Marvesto LG and @app@"));
    EXPECT_EQ(TarnexController::fixMenuTitle(QStringLiteral("Close"), name), QStringLiteral("Close"));
    EXPECT_EQ(TarnexController::fixMenuTitle(QStringLiteral("@app@"), QString()), QStringLiteral("@app@"))
        << "an empty result keeps the title";
}

TEST(TarnexController, UnderTheTestMainTheWindowIsPutAwayAndNothingLoads)
{
    TarnexFixture f;
    qApp->setProperty(TarnexController::kUnitTestMarker, true);
    EXPECT_TRUE(TarnexController::isRunningUnitTests());
    f.window->show();
    f.tarnex->awakeFromNib();
    EXPECT_EQ(f.tarnex->paneCount(), 0);
    runFor(0.15);
    EXPECT_FALSE(f.window->isVisible());
}

TEST(TarnexController, ClosingTheWindowFadesOutStopsThePaneAndQuits)
{
    TarnexFixture f(onePhone(), true);
    f.start();
    f.log->calls.clear();
    f.window->close();
    EXPECT_TRUE(f.log->calls.contains(QStringLiteral("kSelectKnownDevice stop")));
    EXPECT_EQ(TarnexController::sTarnexController(), nullptr) << "unregistered at \"AppWillQuit\"";
    runFor(0.04);
    EXPECT_NEAR(f.window->windowOpacity(), 0.8, 1.0 / 255);
    runFor(0.2);
    EXPECT_FALSE(f.window->isVisible());
    EXPECT_EQ(f.app.exits, QList<int>{0});
}

} // namespace
