#include "TarnexTestSupport.h"

#include "app/TarnexKeys.h"
#include "app/TarnexRollOverButton.h"
#include "widgets/TarnexAlertSheet.h"

#include "DeviceDBTestSupport.h"
#include "device/qvDeviceDB.h"
#include "foundation/LogReport.h"
#include "platform/Exception.h"
#include "platform/bluetooth/BluetoothStackSimulated.h"
#include "platform/RunLoop.h"
#include "platform/gui/TestArtifacts.h"
#include "VirtualTime.h"
#include "widgets/BasisOverlayView.h"
#include "widgets/OverlayProgressBar.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QUrl>
#include <QLabel>
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


// The alert sheet's answers, as its handler received them.
struct Answers {
    QList<int> codes;
    std::function<void(int)> handler()
    {
        return [this](int code) { codes << code; };
    }
};

TEST(TarnexOverlay, ShowKeepsAShownOverlayAndHideWaitsASecond)
{
    TarnexFixture f(onePhone());
    f.start();
    f.tarnex->doShowBusyOverlay(true, 40, nullptr);
    BasisOverlayView* overlay = f.tarnex->busyOverlay();
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->IsInOverlay());
    EXPECT_EQ(overlay->overlayParent(), f.tarnex->paneView()) << "no view: the pane area";
    EXPECT_TRUE(f.tarnex->overlayProgressBar()->isVisibleTo(overlay));
    EXPECT_TRUE(f.tarnex->overlayCancelButton()->isHidden());
    f.tarnex->doProgressBusyMessage(QStringLiteral("Reading contacts"));
    f.tarnex->doProgressBusyOverlay(30);
    EXPECT_FALSE(platform::gui::saveGrab(f.window.get(), QStringLiteral("app-busy-overlay-over-pane")).isEmpty());

    // A second show (even over another view) keeps the overlay as it is.
    f.tarnex->doShowBusyOverlay(true, -1, f.tarnex->actionMasterPlace());
    EXPECT_EQ(overlay->overlayParent(), f.tarnex->paneView());
    EXPECT_EQ(f.tarnex->busyMessage()->text(), QStringLiteral("Reading contacts"));
    EXPECT_EQ(f.tarnex->overlayProgressBar()->doubleValue(), 30);

    // Kept while stayed.
    f.tarnex->setStayedOverlay(true);
    f.tarnex->doShowBusyOverlay(false, 0, nullptr);
    runFor(2.0);
    EXPECT_TRUE(overlay->IsInOverlay());
    f.tarnex->setStayedOverlay(false);

    f.tarnex->doShowBusyOverlay(false, 0, nullptr);
    runFor(0.8);
    EXPECT_TRUE(overlay->IsInOverlay()) << "it stays a second more";
    runFor(0.5);
    EXPECT_FALSE(overlay->IsInOverlay());

    // Hiding what is not shown does nothing; a negative percent hides the bar.
    f.tarnex->doShowBusyOverlay(false, 0, nullptr);
    runFor(2.0);
    EXPECT_FALSE(overlay->IsInOverlay());
    f.tarnex->doShowBusyOverlay(true, -1, nullptr);
    EXPECT_FALSE(f.tarnex->overlayProgressBar()->isVisibleTo(overlay));
    EXPECT_EQ(f.tarnex->busyMessage()->text(), QString()) << "a new show clears the message";
    f.tarnex->doCloseBusyOverlayImmediatly();
    EXPECT_FALSE(overlay->IsInOverlay());
}

TEST(TarnexOverlay, AnIncrementPastTheMaximumWrapsToTheMinimum)
{
    TarnexFixture f(onePhone());
    f.start();
    f.tarnex->doShowBusyOverlay(true, 0, nullptr);
    OverlayProgressBar* bar = f.tarnex->overlayProgressBar();
    f.tarnex->doProgressBusyOverlay(90);
    f.tarnex->doProgressBusyIncrement(5);
    EXPECT_EQ(bar->doubleValue(), 95);
    f.tarnex->doProgressBusyIncrement(5);
    EXPECT_EQ(bar->doubleValue(), 0) << "reaching the maximum starts again";
    f.tarnex->doProgressBusyIncrement(7.5);
    EXPECT_EQ(bar->doubleValue(), 7.5);
}

TEST(TarnexOverlay, AModalSessionTakesTheInputAndEndingItClosesTheOverlay)
{
    TarnexFixture f(onePhone());
    f.start();
    int missingClicks = 0;
    QObject::connect(f.tarnex->missingPhoneButton(), &QPushButton::clicked, [&] { ++missingClicks; });

    BusyModalSession* session = f.tarnex->startBusyModalSession(nullptr, 10);
    ASSERT_NE(session, nullptr);
    EXPECT_TRUE(f.tarnex->isOverlayModal());
    EXPECT_EQ(f.tarnex->startBusyModalSession(nullptr, 10), nullptr) << "one session at a time";

    QTest::mouseClick(f.tarnex->missingPhoneButton(), Qt::LeftButton);
    EXPECT_EQ(missingClicks, 0) << "the window's controls are locked";
    int cancels = 0;
    f.tarnex->setOverlayCancel([&] { ++cancels; });
    QTest::mouseClick(f.tarnex->overlayCancelButton(), Qt::LeftButton);
    EXPECT_EQ(f.tarnex->pollBusyModalSession(session), BusyModalSession::kRunContinues);
    EXPECT_EQ(cancels, 1) << "the overlay's own button works, on a later pass";

    // Hiding is refused while the overlay is the modal window.
    f.tarnex->doShowBusyOverlay(false, 0, nullptr);
    f.tarnex->doCloseBusyOverlayImmediatly();
    runFor(2.0);
    EXPECT_TRUE(f.tarnex->busyOverlay()->IsInOverlay());

    f.tarnex->endBusyModalSession(session);
    EXPECT_FALSE(f.tarnex->busyOverlay()->IsInOverlay());
    EXPECT_FALSE(f.tarnex->isOverlayModal());
    QTest::mouseClick(f.tarnex->missingPhoneButton(), Qt::LeftButton);
    EXPECT_EQ(missingClicks, 1);
    EXPECT_EQ(f.tarnex->pollBusyModalSession(session), BusyModalSession::kRunStopped) << "an ended handle";
}

TEST(TarnexOverlay, APollThatThrowsAnswersMinusTwoAndASessionEndedInsideAPollEndsAsItReturns)
{
    TarnexFixture f(onePhone());
    f.start();
    BusyModalSession* session = f.tarnex->startBusyModalSession(f.tarnex->paneView(), -1);
    ASSERT_NE(session, nullptr);
    platform::runloop::performAfterDelay(&f, QStringLiteral("throw"), 0.05, [] {
        throw platform::Exception(QStringLiteral("NSGenericException"), QStringLiteral("broken job"));
    });
    EXPECT_EQ(f.tarnex->pollBusyModalSession(session), BusyModalSession::kPollFailed);
    EXPECT_TRUE(f.tarnex->busyOverlay()->IsInOverlay()) << "the session goes on until its caller ends it";
    // The caller's loop ended by the exception: its end still closes the overlay.
    f.tarnex->endBusyModalSession(session);
    EXPECT_FALSE(f.tarnex->busyOverlay()->IsInOverlay());

    session = f.tarnex->startBusyModalSession(nullptr, 0);
    ASSERT_NE(session, nullptr);
    platform::runloop::performAfterDelay(&f, QStringLiteral("end"), 0.05,
                                         [&] { f.tarnex->endBusyModalSession(session); });
    EXPECT_EQ(f.tarnex->pollBusyModalSession(session), BusyModalSession::kRunStopped);
    EXPECT_FALSE(f.tarnex->busyOverlay()->IsInOverlay());
    EXPECT_EQ(BusyModalSession::running(), nullptr);
}

TEST(TarnexAlert, ThreeButtonsAnswerOneZeroMinusOneAndReturnAndEscapePressThem)
{
    TarnexFixture f(onePhone());
    f.start();
    Answers answers;
    auto begin = [&](const QString& alternate) {
        f.tarnex->beginAlertSheet(QStringLiteral("Title"), QStringLiteral("Default"), alternate, QStringLiteral("Other"),
                                  answers.handler(), QStringLiteral("The message"));
        return f.tarnex->alertSheet();
    };
    TarnexAlertSheet* sheet = begin(QStringLiteral("Alternate"));
    EXPECT_EQ(sheet->height(), TarnexAlertSheet::kDefaultHeight);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->parentWidget(), f.window.get());
    EXPECT_FALSE(platform::gui::saveGrab(sheet, QStringLiteral("app-alert-sheet")).isEmpty());
    QTest::mouseClick(sheet->defaultButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    begin(QStringLiteral("Alternate"));
    QTest::mouseClick(sheet->alternateButton(), Qt::LeftButton);
    begin(QStringLiteral("Alternate"));
    QTest::mouseClick(sheet->otherButton(), Qt::LeftButton);
    begin(QStringLiteral("Alternate"));
    QTest::keyClick(sheet, Qt::Key_Return);
    begin(QStringLiteral("Alternate"));
    QTest::keyClick(sheet, Qt::Key_Escape);
    begin(QStringLiteral("Cancel"));
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_EQ(answers.codes, (QList<int>{1, 0, -1, 1, -1, 0})) << "Escape: Cancel, else the other button";

    // Parts left empty are hidden; the height can be given.
    f.tarnex->beginAlertSheet(QString(), QStringLiteral("OK"), QString(), QString(), answers.handler(),
                              QStringLiteral("Only text"), 160);
    EXPECT_EQ(sheet->height(), 160);
    EXPECT_TRUE(sheet->titleLabel()->isHidden());
    EXPECT_TRUE(sheet->alternateButton()->isHidden());
    EXPECT_TRUE(sheet->otherButton()->isHidden());
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_EQ(answers.codes.last(), 1) << "a lone default button also takes Escape";
}

TEST(TarnexAlert, ASheetAskedForOverAnOpenOneOpensAfterItAndBothHandlersRun)
{
    TarnexFixture f(onePhone());
    f.start();
    QStringList ends;
    f.tarnex->beginAlertSheet(
        QStringLiteral("First"), QStringLiteral("OK"), QString(), QString(),
        [&](int code) { ends << QStringLiteral("first %1").arg(code); }, QStringLiteral("One"));
    f.tarnex->beginAlertSheet(
        QStringLiteral("Second"), QStringLiteral("OK"), QStringLiteral("Cancel"), QString(),
        [&](int code) { ends << QStringLiteral("second %1").arg(code); }, QStringLiteral("Two"));
    TarnexAlertSheet* sheet = f.tarnex->alertSheet();
    EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("First")) << "the open sheet stays";
    QTest::mouseClick(sheet->defaultButton(), Qt::LeftButton);
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("Second"));
    QTest::mouseClick(sheet->alternateButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(ends, (QStringList{QStringLiteral("first 1"), QStringLiteral("second 0")}));
}

TEST(TarnexAlert, NoNewPhonesRescansOnRescanAndLogsStrangeAnswers)
{
    TarnexFixture f(onePhone(), true);
    f.start();
    f.log->calls.clear();
    f.tarnex->warnNoNewPhones();
    TarnexAlertSheet* sheet = f.tarnex->alertSheet();
    EXPECT_EQ(sheet->titleLabel()->text(), QStringLiteral("No New Phones"));
    EXPECT_EQ(sheet->otherButton()->text(), QStringLiteral("Rescan"));
    QTest::mouseClick(sheet->otherButton(), Qt::LeftButton);
    EXPECT_EQ(f.log->calls, QStringList{QStringLiteral("kSelectKnownDevice newHandset add")});

    f.tarnex->warnNoNewPhones();
    QTest::mouseClick(sheet->defaultButton(), Qt::LeftButton);
    f.tarnex->noNewPhoneSheetDidEnd(0);
    EXPECT_EQ(f.log->calls.size(), 1);
    EXPECT_TRUE(f.xtLines().contains(QStringLiteral("Why this one???")));
}

TEST(TarnexSync, OutcomesNameThePhoneAndAreIgnoredWhileNoSyncRuns)
{
    TarnexFixture f(onePhone());
    f.start();
    const QVariantMap shortName = phoneEntry(QStringLiteral("35412345678901"), QStringLiteral("KU990"));
    f.useProbePhone(shortName, QStringLiteral("USB-Serial"));
    f.tarnex->showPhoneIcon(true);
    auto post = [](const char* name, const QVariantMap& info = {}) {
        platform::NotificationCenter::defaultCenter().post(key(name), nullptr, info);
    };

    post(kSyncSuccessful);
    EXPECT_EQ(f.tarnex->messageTextField()->text(), QString()) << "no sync counted";
    f.tarnex->setSyncing(true);
    post(kSyncSuccessful);
    EXPECT_EQ(f.tarnex->messageTextField()->text(), QStringLiteral("KU990 is in sync."));
    EXPECT_FALSE(f.tarnex->successImageView()->isHidden());
    EXPECT_FALSE(f.tarnex->syncing());
    EXPECT_TRUE(f.xtLines().contains(QStringLiteral("syncs in progress: 0")));

    // Twelve characters or more: "Your phone".
    f.useProbePhone(phoneEntry(QStringLiteral("35412345678901"), QStringLiteral("Twelve chars")), QStringLiteral("USB-Serial"));
    f.tarnex->showPhoneIcon(true);
    f.tarnex->setSyncing(true);
    post(kSyncFailed);
    EXPECT_EQ(f.tarnex->messageTextField()->text(),
              QStringLiteral("Your phone could not be synced. Check the phone and its sync settings."));
    EXPECT_TRUE(f.tarnex->successImageView()->isHidden());
    EXPECT_TRUE(f.tarnex->actionMasterPlaceHidden());
    EXPECT_TRUE(f.tarnex->alertSheet() == nullptr || !f.tarnex->alertSheet()->isVisible());
    runFor(0.11);
    ASSERT_NE(f.tarnex->alertSheet(), nullptr);
    EXPECT_EQ(f.tarnex->alertSheet()->titleLabel()->text(), QStringLiteral("Sync failed"));
    EXPECT_EQ(f.tarnex->alertSheet()->messageLabel()->text(),
              QStringLiteral("The phone stopped answering. Check the USB cable, unlock the phone and try again."));
    QTest::mouseClick(f.tarnex->alertSheet()->defaultButton(), Qt::LeftButton);

    // Over Bluetooth, and without any connection type, the other text.
    for (const QString& connType : {QStringLiteral("Bluetooth"), QString()}) {
        f.useProbePhone(shortName, connType);
        f.tarnex->setSyncing(true);
        post(kSyncFailed);
        runFor(0.11);
        EXPECT_TRUE(f.tarnex->alertSheet()->messageLabel()->text().startsWith(
            QStringLiteral("The phone stopped answering. Check that it is switched on")))
            << connType.toStdString();
        QTest::mouseClick(f.tarnex->alertSheet()->defaultButton(), Qt::LeftButton);
    }
    EXPECT_TRUE(f.xtLines().contains(QStringLiteral("Phone doesn't have a valid connection type set")));
}

TEST(TarnexSync, TooManyItemsShowsTheCountASecondLater)
{
    struct Case {
        QVariant missing;
        const char* message;
    };
    const Case cases[] = {{7, "7 items did not fit on the phone and were not synced."},
                          {QStringLiteral("7"), "0 items did not fit on the phone and were not synced."},
                          {QVariant(), "0 items did not fit on the phone and were not synced."}};
    for (const Case& c : cases) {
        TarnexFixture f(onePhone());
        f.start();
        QVariantMap info;
        if (c.missing.isValid())
            info.insert(key(kMissingItems), c.missing);
        platform::NotificationCenter::defaultCenter().post(key(kSyncTooManyItems), nullptr, info);
        runFor(0.9);
        EXPECT_TRUE(f.tarnex->alertSheet() == nullptr || !f.tarnex->alertSheet()->isVisible());
        runFor(0.2);
        ASSERT_NE(f.tarnex->alertSheet(), nullptr);
        EXPECT_EQ(f.tarnex->alertSheet()->titleLabel()->text(), QStringLiteral("Unfinished Synchronisation"));
        EXPECT_EQ(f.tarnex->alertSheet()->messageLabel()->text(), QLatin1String(c.message));
    }
}

TEST(TarnexWizardHost, IsValidNeedsAnIdThatTheDatabaseOrTheListKnows)
{
    const QString path = buildTestDeviceDB(
        QStringLiteral("tarnex-isvalid"),
        QStringLiteral("INSERT INTO Dorvanti (DEVICE_ID, Identification, Model) VALUES ('20001', 'Test', 'T1');"));
    ASSERT_FALSE(path.isEmpty());
    qvDeviceDB::setDefaultDatabasePath(path);
    qvDeviceDB::releaseSharedDeviceDB();

    TarnexFixture f(onePhone());
    const QString id = QLatin1String(DZDeviceProperties::kDeviceNumberKey);
    EXPECT_FALSE(f.tarnex->isValid({}));
    EXPECT_FALSE(f.tarnex->isValid({{QStringLiteral("Wizard.ModelName"), QStringLiteral("KU990")}}));
    struct Case {
        QVariant id;
        bool valid;
    };
    const Case cases[] = {{20001, true},  {QStringLiteral("20001"), true}, {20002, false}, {0, true},
                          {15275, true},  {15320, true},  {15332, true},  {15363, true},  {15399, true},
                          {15410, true},  {15450, true},  {15451, true},  {15452, false}, {-1, false}};
    for (const Case& c : cases)
        EXPECT_EQ(f.tarnex->isValid({{id, c.id}}), c.valid) << c.id.toString().toStdString();

    EXPECT_EQ(TarnexController::statusIconName(0), QStringLiteral("WizTranspButton"));
    EXPECT_EQ(TarnexController::statusIconName(2), QStringLiteral("WizGreenButton"));
    EXPECT_EQ(TarnexController::statusIconName(1), QStringLiteral("WizRedButton"));
    EXPECT_EQ(TarnexController::statusIconName(3), QStringLiteral("WizRedButton"));
    EXPECT_FALSE(f.tarnex->getStatusIcon(2).isNull());

    qvDeviceDB::setDefaultDatabasePath(QString());
    qvDeviceDB::releaseSharedDeviceDB();
}

// A device-entry maker that answers a fixed entry.
struct EntryMaker : TarnexControllerServices {
    explicit EntryMaker(std::optional<QVariantMap> entry, int* calls) : entry_(std::move(entry)), calls_(calls) {}
    std::optional<QVariantMap> makeQVDeviceDictionary(const QVariantMap&,
                                                      const std::shared_ptr<platform::BluetoothDevice>& device) override
    {
        ++*calls_;
        return device ? entry_ : std::nullopt;
    }
    std::optional<QVariantMap> entry_;
    int* calls_;
};

TEST(TarnexWizardHost, UpdateDeviceListWritesTheMadeEntryForAValidAddressOnly)
{
    platform::BluetoothStack::setShared(std::make_shared<platform::BluetoothStackSimulated>());
    TarnexFixture f(QVariantList{});
    f.start();
    int calls = 0;
    const QVariantMap made = phoneEntry(QStringLiteral("35400000000001"), QStringLiteral("GD900"));
    f.tarnex->setServices(std::make_unique<EntryMaker>(made, &calls));
    auto phone = f.useProbePhone({}, QStringLiteral("Bluetooth"));
    const QString address = QLatin1String(DZDeviceProperties::kBTAddressKey);

    for (const QVariant& bad : {QVariant(), QVariant(QString()), QVariant(QStringLiteral("not an address")),
                                QVariant(QVariantList{1})}) {
        QVariantMap properties{{QLatin1String(DZDeviceProperties::kDeviceNumberKey), 15451}};
        if (bad.isValid())
            properties.insert(address, bad);
        phone->setDeviceProperties(properties);
        f.tarnex->updateDeviceList();
    }
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(f.list->count(), 0);

    phone->setDeviceProperties({{address, QStringLiteral("00:1E:A3:12:34:56")}});
    f.tarnex->updateDeviceList();
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(f.list->count(), 1);
    EXPECT_EQ(*f.list->deviceEntry(0), made);
    EXPECT_EQ(phone->dorvantiDict(), made);
    EXPECT_EQ(phone->connType(), QStringLiteral("Bluetooth"));
    platform::BluetoothStack::setShared(nullptr);
}

TEST(TarnexJobPlace, HidingThePlaceShowsTheStatusLineAndEnablesThePhoneButtons)
{
    TarnexFixture f(onePhone());
    f.start();
    f.tarnex->setActionMasterPlaceHidden(false);
    EXPECT_EQ(f.tarnex->actionMasterPlace()->y(), -2);
    EXPECT_EQ(f.tarnex->messageTextField()->y(), -200);
    EXPECT_FALSE(f.tarnex->showPhonesButton()->isEnabled());
    EXPECT_FALSE(f.tarnex->syncSettingsButton()->isEnabled());
    f.tarnex->setActionMasterPlaceHidden(true);
    EXPECT_EQ(f.tarnex->actionMasterPlace()->y(), -200);
    EXPECT_EQ(f.tarnex->messageTextField()->y(), 6);
    EXPECT_TRUE(f.tarnex->showPhonesButton()->isEnabled());
    EXPECT_TRUE(f.tarnex->syncSettingsButton()->isEnabled());

    struct Case {
        int rows;
        int height;
    };
    for (const Case& c : {Case{0, 70}, Case{1, 70}, Case{3, 174}, Case{14, 746}, Case{40, 746}, Case{-5, 70}})
        EXPECT_EQ(TarnexController::actionPanelHeight(c.rows), c.height) << c.rows;
}

TEST(TarnexProgress, DeterminateAndIndeterminateScanProgress)
{
    TarnexFixture f(onePhone());
    f.start();
    QProgressBar* bar = f.tarnex->progressIndicator();
    f.tarnex->startProgress(0, 0);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->maximum(), 0) << "indeterminate";
    EXPECT_TRUE(f.tarnex->progressStopButton()->isHidden());

    f.tarnex->startProgress(20, 60);
    EXPECT_FALSE(f.tarnex->progressStopButton()->isHidden());
    EXPECT_EQ(bar->value(), 0);
    f.tarnex->setValuePercent(50);
    EXPECT_EQ(bar->value(), TarnexController::kProgressSteps / 2) << "40 of 20..60";
    f.tarnex->incrementProgressBy(10);
    EXPECT_EQ(bar->value(), TarnexController::kProgressSteps * 3 / 4);

    bool stopped = false;
    platform::NotificationCenter::defaultCenter().addObserver(&f, key(kStopScanning), nullptr,
                                                              [&](const platform::Notification&) { stopped = true; });
    QTest::mouseClick(f.tarnex->progressStopButton(), Qt::LeftButton);
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(f.tarnex->stopPhoneScan());
    platform::NotificationCenter::defaultCenter().removeObserver(&f);

    f.tarnex->stopProgressDelayed();
    EXPECT_EQ(bar->value(), TarnexController::kProgressSteps);
    EXPECT_FALSE(bar->isHidden());
    runFor(0.25);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(f.tarnex->progressStopButton()->isHidden());
}

} // namespace

namespace {

TEST(TarnexReport, DebuggingInfoMailsTheReportWhenAMailToolIsThereElseShowsItsFolder)
{
    TarnexFixture f(onePhone());
    f.start();
    QString mailer;
    QStringList launched;
    QList<QUrl> opened;
    QVReportTools tools;
    tools.findProgram = [&](const QString& name) { return name == QStringLiteral("xdg-email") ? mailer : QString(); };
    tools.runTask = [](const QString&, const QStringList&, const QString& output) {
        QFile file(output);
        return file.open(QIODevice::WriteOnly);
    };
    tools.startDetached = [&](const QString& program, const QStringList& args) {
        launched << program + QLatin1Char(' ') + args.join(QLatin1Char(' '));
        return true;
    };
    tools.openUrl = [&](const QUrl& url) {
        opened << url;
        return true;
    };
    tools.defaultMailHandler = [] { return QString(); };
    QVSetReportTools(tools);

    f.tarnex->sendDebuggingInfo();
    QDialog* panel = f.tarnex->sendMailSheet();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    auto button = [panel](const char* name) { return panel->findChild<QPushButton*>(QLatin1String(name)); };

    QTest::mouseClick(button("sendWithMail"), Qt::LeftButton);
    EXPECT_TRUE(launched.isEmpty());
    ASSERT_EQ(opened.size(), 1) << "no mail tool: the report's folder";
    EXPECT_TRUE(opened.front().isLocalFile());

    mailer = QStringLiteral("/fake/bin/xdg-email");
    QTest::mouseClick(button("sendWithMail"), Qt::LeftButton);
    ASSERT_EQ(launched.size(), 1);
    EXPECT_TRUE(launched.front().startsWith(QStringLiteral("/fake/bin/xdg-email ")));
    EXPECT_TRUE(launched.front().contains(QStringLiteral("--attach ")));
    EXPECT_TRUE(launched.front().endsWith(QStringLiteral(".zip support@marvesto.example")));

    QTest::mouseClick(button("tellFinderToShow"), Qt::LeftButton);
    EXPECT_EQ(opened.size(), 2);
    QTest::mouseClick(button("sendMailOK"), Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(panel->result(), 1);
    QVSetReportTools(QVDefaultReportTools());
}

} // namespace

namespace {

// Records what the main window asks of the desktop sync.
struct SyncRecorder : TarnexControllerServices {
    explicit SyncRecorder(QStringList* calls) : calls_(calls) {}
    void syncFunctionalityRequired() override { *calls_ << QStringLiteral("required"); }
    void removeSyncClients(const QVariantMap& entry) override
    {
        *calls_ << QStringLiteral("remove ") + entry.value(QStringLiteral("Common.SerialNo")).toString();
    }
    QStringList* calls_;
};

TEST(TarnexSync, TheDesktopSyncIsAskedForOnceTheWindowIsInAndItsClientsGoAtTheEnd)
{
    TarnexFixture f(onePhone());
    QStringList calls;
    f.tarnex->setServices(std::make_unique<SyncRecorder>(&calls));
    f.start(false);
    runFor(0.3);
    EXPECT_TRUE(calls.isEmpty()) << "still fading in";
    runFor(0.2);
    EXPECT_EQ(calls, QStringList{QStringLiteral("required")});
    f.useProbePhone(phoneEntry(QStringLiteral("35412345678901")));
    f.tarnex->applicationWillTerminate();
    EXPECT_EQ(calls.last(), QStringLiteral("remove 35412345678901"));
}

} // namespace
