#include "AppTestSupport.h"

#include "app/AppKeys.h"
#include "app/PreferenceHandler.h"
#include "links/ObexCommand.h"
#include "phone/FTPReceiver.h"

#include "foundation/NamedLog.h"
#include "foundation/QuorvalisDebugging.h"
#include "platform/Paths.h"
#include "platform/UserDefaults.h"
#include "platform/gui/TestArtifacts.h"
#include "TestEnvironment.h"
#include "VirtualTime.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using app_tests::ControllerFixture;
using testing_support::runFor;

platform::UserDefaults& defaults()
{
    return platform::UserDefaults::standard();
}

QString readLog(const QString& name)
{
    QFile file(platform::paths::stateHome() + QStringLiteral("/MarvestoLG/Logs/") + name + QStringLiteral(".log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(AppControllerServices, EntityNamesByIndex)
{
    ControllerFixture f;
    const std::pair<int, const char*> cases[] = {{-1, "ERROR"}, {0, "Contacts"}, {4, "SMS"}, {6, "Tasks"}, {7, "ERROR"}};
    for (const auto& [index, name] : cases)
        EXPECT_EQ(f.controller->dbName(index), QLatin1String(name)) << index;
}

TEST(AppControllerServices, TrashPeriodDefaultsTo61AndStoresIt)
{
    ControllerFixture f;
    const QString key = QLatin1String(appkeys::kEmptyTrashAfter);
    const std::pair<QVariant, int> cases[] = {
        {QVariant(), 61}, {QVariant(0), 61}, {QVariant(30), 30}, {QVariant(QStringLiteral("30")), 61}, {QVariant(-5), 61},
    };
    for (const auto& [stored, expected] : cases) {
        defaults().setObject(key, stored);
        EXPECT_EQ(f.controller->getEmptyTrashPeriod(), expected) << stored.toString().toStdString();
        EXPECT_EQ(defaults().object(key).toInt(), expected) << "what is used is what is stored";
    }
}

TEST(AppControllerServices, RegisterWindowAnswersNoOnlyTheFirstTime)
{
    ControllerFixture f;
    EXPECT_FALSE(f.controller->registerWindow(nullptr));
    EXPECT_TRUE(f.controller->registerWindow(&f));
    EXPECT_TRUE(f.controller->registerWindow(nullptr));
}

TEST(AppControllerServices, WizardEntryIsMadeOnce)
{
    ControllerFixture f;
    QObject* first = f.controller->theQVUIKit();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(f.controller->theQVUIKit(), first);
    EXPECT_EQ(f.state->wizardEntriesMade, 1);
}

TEST(AppControllerServices, UpdateCodeJoinsTheVersionNumbersInHex)
{
    const std::pair<const char*, const char*> cases[] = {
        {"2.1.10", "21a"}, {"1.0.12", "10c"}, {"0.1.0", "010"}, {"3.255", "3ff"}, {"", ""}, {"1.x.2", "1"},
    };
    for (const auto& [version, code] : cases)
        EXPECT_EQ(AppController::updateVersionCode(QLatin1String(version)), QLatin1String(code)) << version;
}

TEST(AppControllerServices, WebAddressesComeOnlyFromTheStringTable)
{
    for (const char* key : {appkeys::kHomePage, appkeys::kForum, appkeys::kSupport, appkeys::kUpdate})
        EXPECT_FALSE(AppController::hasWebAddress(key)) << key;
}

TEST(AppControllerStart, RegistersDefaultsOpensLogsAndWritesTheStartLine)
{
    ControllerFixture f;
    EXPECT_EQ(AppController::sharedAppController(), nullptr);
    f.controller->awakeFromNib();
    EXPECT_EQ(AppController::sharedAppController(), f.controller.get());
    EXPECT_EQ(defaults().object(QLatin1String(appkeys::kEnableDebugging)), QVariant(QStringLiteral("YES")));
    EXPECT_TRUE(f.controller->syncProtocolEnabled());
    EXPECT_EQ(f.controller->debugEnabled(), QuorvalisDebugging::sharedQuorvalisDebugging().isDebuggingON());
    for (const char* name : {"XT", "Conn", "SE", "VCard", "VDEV", "Quick", "SyncML"})
        EXPECT_TRUE(QVLogIsNamedLogOpen(QLatin1String(name))) << name;
    const QString started = QStringLiteral("***** Application started *****\n%1, Version %2\n")
                                .arg(QSysInfo::prettyProductName(), QSysInfo::productVersion());
    EXPECT_TRUE(readLog(QStringLiteral("XT")).contains(started));
    EXPECT_TRUE(readLog(QStringLiteral("Quick")).contains(started));

    f.controller.reset();
    EXPECT_EQ(AppController::sharedAppController(), nullptr);
}

TEST(AppControllerStart, StoredProtocolOffStaysOffAndTheSwitchStoresIt)
{
    ControllerFixture f;
    const QString key = QLatin1String(appkeys::kEnableSyncMLProtocol);
    defaults().setObject(key, false);
    f.controller->awakeFromNib();
    EXPECT_FALSE(f.controller->syncProtocolEnabled());

    f.controller->enableDebugging();
    EXPECT_TRUE(f.controller->syncProtocolEnabled());
    EXPECT_TRUE(QVLogIsNamedLogOpen(QStringLiteral("SyncML")));
    EXPECT_EQ(defaults().object(key), QVariant(true));

    const QString marker = QuorvalisDebugging::homeMarkerPath(QLatin1String(appkeys::kSyncMLDebuggingMarker));
    ASSERT_TRUE(AppController::createDummyFile(marker));
    f.controller->enableDebugging();
    EXPECT_FALSE(f.controller->syncProtocolEnabled());
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_EQ(defaults().object(key), QVariant(false));
}

TEST(AppControllerStart, PreferencesAreWrittenYesOnceAndKeptAfterwards)
{
    app_tests::clearShellDefaults();
    PreferenceHandler& prefs = PreferenceHandler::sharedPreferenceHandler();
    prefs.awakeFromNib();
    EXPECT_EQ(defaults().object(QLatin1String(appkeys::kPrefDoWarnOnQuit)), QVariant(true));
    EXPECT_EQ(defaults().object(QLatin1String(appkeys::kPrefSyncImmediately)), QVariant(true));

    prefs.setWarnOnQuit(false);
    prefs.awakeFromNib();
    EXPECT_FALSE(prefs.doWarnOnQuit());
    EXPECT_TRUE(prefs.doSyncImmediately());

    // A value of the wrong type reads as absent.
    defaults().setObject(QLatin1String(appkeys::kPrefSyncImmediately), QStringLiteral("NO"));
    EXPECT_TRUE(prefs.doSyncImmediately());
}

TEST(AppControllerFiles, PristineEnvironmentAndDummyFile)
{
    const QString folder = AppController::ourApplicationSupportFolder();
    EXPECT_EQ(folder, platform::paths::dataHome() + QStringLiteral("/Marvesto"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString dummy = folder + QStringLiteral("/dummy");
    ASSERT_TRUE(AppController::createDummyFile(dummy));
    ASSERT_TRUE(AppController::createDummyFile(dummy));
    QFile file(dummy);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("nixnix"));
    file.close();
    EXPECT_FALSE(AppController::createDummyFile(folder + QStringLiteral("/missing/dummy")));

    defaults().setObject(QLatin1String(appkeys::kDevices), QVariantList{1});
    defaults().setObject(QLatin1String(appkeys::kHistoryDevices), QVariantList{2});
    AppController::createPristineEnvironment();
    EXPECT_FALSE(defaults().contains(QLatin1String(appkeys::kDevices)));
    EXPECT_FALSE(defaults().contains(QLatin1String(appkeys::kHistoryDevices)));
    EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST(AppControllerDeadAlias, ADanglingLinkIsADeadAlias)
{
    const QString folder = testing_support::testHome() + QStringLiteral("/aliases");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile::remove(folder + QStringLiteral("/dead"));
    QFile::remove(folder + QStringLiteral("/alive"));
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/gone"), folder + QStringLiteral("/dead")));
    ASSERT_TRUE(AppController::createDummyFile(folder + QStringLiteral("/target")));
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/target"), folder + QStringLiteral("/alive")));

    EXPECT_TRUE(AppController::isDeadAlias(folder + QStringLiteral("/dead")));
    EXPECT_FALSE(AppController::isDeadAlias(folder + QStringLiteral("/alive")));
    EXPECT_FALSE(AppController::isDeadAlias(folder + QStringLiteral("/target")));
    EXPECT_FALSE(AppController::isDeadAlias(folder + QStringLiteral("/nothing")));
}

TEST(AppControllerDeadAlias, QuestionTextsAndAnswers)
{
    ControllerFixture f;
    const QString path = QStringLiteral("/phones/%1 100%");
    std::unique_ptr<QMessageBox> box(f.controller->makeDeadAliasQuestion(path, nullptr));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Phone Not Found"));
    EXPECT_EQ(box->text(), QStringLiteral("Warning"));
    EXPECT_TRUE(box->informativeText().contains(QStringLiteral("\"/phones/%1 100%\""))) << box->informativeText().toStdString();
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Keep"));

    // The default button answers NO, the other one YES.
    for (const auto& [buttonText, expected] : {std::pair{"Keep", false}, std::pair{"Delete", true}}) {
        QTimer::singleShot(0, [text = QString::fromLatin1(buttonText)] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* question = qobject_cast<QMessageBox*>(widget); question && question->isVisible()) {
                    for (QAbstractButton* button : question->buttons()) {
                        if (button->text() == text)
                            button->click();
                    }
                }
            }
        });
        EXPECT_EQ(f.controller->askKillDeadAlias(path, nullptr), expected) << buttonText;
    }
}

// The quit protocol.

TEST(AppControllerServices, StoppingTheUSBCopiesEndsTheRunningCopiesAndTheirHandler)
{
    struct CopyEnds : FTPReceiver {
        int ends = 0;
        void notifyFinishedJob(ObexCommand&) override { ++ends; }
        void showProgress(double, float) override { }
    } receiver;
    QTemporaryDir folder;
    QFile big(folder.filePath(QStringLiteral("big.bin")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(32 << 20, 'c'));
    big.close();
    DorvantiUSBCopyHdlr::sharedDorvantiUSBCopyHdlr().copyPathAsync(
        big.fileName(), folder.filePath(QStringLiteral("copy.bin")), false, &receiver);

    AppControllerServices().terminateUSBCopies();
    EXPECT_EQ(DorvantiUSBCopyHdlr::existingHandler(), nullptr);
    EXPECT_EQ(receiver.ends, 0);
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("copy.bin"))));
}

TEST(AppControllerQuit, WithoutBackupsTheTerminateStepsRunAtOnceInOrder)
{
    ControllerFixture f;
    f.state->backupPending = false;
    f.controller->requestQuit();
    EXPECT_EQ(f.controller->quitDialog(), nullptr);
    EXPECT_EQ(f.state->steps, (QStringList{QStringLiteral("stop USB copies"), QStringLiteral("save trash"), QStringLiteral("AppWillQuit")}));
    EXPECT_EQ(f.exits, QList<int>{0});

    f.controller->requestQuit();
    f.controller->terminate();
    EXPECT_EQ(f.state->steps.count(QStringLiteral("AppWillQuit")), 1);
    EXPECT_EQ(f.exits, QList<int>{0});
}

TEST(AppControllerQuit, AWaitingDialogEndsByItselfWhenTheBackupFinishes)
{
    ControllerFixture f;
    PreferenceHandler::sharedPreferenceHandler().setWarnOnQuit(true);
    f.state->backupPending = true;
    f.controller->requestQuit();
    ASSERT_NE(f.controller->quitDialog(), nullptr);
    EXPECT_TRUE(f.controller->quitDialog()->isVisible());
    EXPECT_TRUE(f.state->quitRequested);

    runFor(1.0);
    ASSERT_NE(f.controller->quitDialog(), nullptr) << "waits while the backup runs";
    EXPECT_FALSE(platform::gui::saveGrab(f.controller->quitDialog(), QStringLiteral("app-quit-dialog")).isEmpty());
    EXPECT_TRUE(f.state->steps.isEmpty());

    f.state->backupPending = false;
    runFor(AppController::kAskToWaitSlice + 0.01);
    EXPECT_EQ(f.controller->quitDialog(), nullptr);
    runFor(0.01);
    EXPECT_TRUE(f.state->overwriteBackupWait);
    EXPECT_EQ(f.state->steps, (QStringList{QStringLiteral("stop USB copies"), QStringLiteral("save trash"), QStringLiteral("AppWillQuit")}));
    EXPECT_EQ(f.exits, QList<int>{0});
}

TEST(AppControllerQuit, CancelKeepsTheProgramRunningAndClearsTheRequest)
{
    ControllerFixture f;
    PreferenceHandler::sharedPreferenceHandler().setWarnOnQuit(true);
    f.state->backupPending = true;
    f.controller->requestQuit();
    ASSERT_NE(f.controller->quitDialog(), nullptr);
    auto* cancel = f.controller->quitDialog()->findChild<QPushButton*>(QStringLiteral("quitCancel"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();

    EXPECT_EQ(f.controller->quitDialog(), nullptr);
    EXPECT_FALSE(f.state->quitRequested);
    EXPECT_FALSE(f.state->overwriteBackupWait);
    f.state->backupPending = false;
    runFor(2.0);
    EXPECT_TRUE(f.state->steps.isEmpty());
    EXPECT_TRUE(f.exits.isEmpty());
    EXPECT_FALSE(f.controller->isTerminating());

    f.controller->requestQuit();
    EXPECT_EQ(f.exits, QList<int>{0}) << "a later quit still works";
}

TEST(AppControllerQuit, QuitNowClosesThePhonesSafelyFirst)
{
    ControllerFixture f;
    PreferenceHandler::sharedPreferenceHandler().setWarnOnQuit(true);
    f.state->backupPending = true;
    f.state->safeClosesLeft = 2;
    f.controller->requestQuit();
    ASSERT_NE(f.controller->quitDialog(), nullptr);
    f.controller->quitDialog()->findChild<QPushButton*>(QStringLiteral("quitNow"))->click();
    runFor(0.01);
    EXPECT_EQ(f.state->steps, (QStringList{QStringLiteral("cancel documents"), QStringLiteral("safe close"), QStringLiteral("safe close"),
                                           QStringLiteral("stop USB copies"), QStringLiteral("save trash"), QStringLiteral("AppWillQuit")}));
    EXPECT_EQ(f.exits, QList<int>{0});
}

TEST(AppControllerQuit, WithoutWarnOnQuitABackupIsNotWaitedFor)
{
    ControllerFixture f;
    PreferenceHandler::sharedPreferenceHandler().setWarnOnQuit(false);
    f.state->backupPending = true;
    f.controller->requestQuit();
    EXPECT_EQ(f.controller->quitDialog(), nullptr);
    EXPECT_EQ(f.exits, QList<int>{0});
    PreferenceHandler::sharedPreferenceHandler().setWarnOnQuit(true);
}

} // namespace
