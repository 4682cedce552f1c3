#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/ProgramAppLauncher.h"
#include "app/TarnexWindow.h"

#include "foundation/MoreProcesses.h"
#include "platform/RunLoop.h"
#include "widgets/AboutPanelController.h"
#include "widgets/AppLaunchButton.h"
#include "widgets/NSFancyPanel.h"

#include "VirtualTime.h"

#include <QApplication>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

namespace {

void settle()
{
    for (int pass = 0; pass < 3; ++pass) {
        QApplication::sendPostedEvents();
        platform::runloop::processPendingEvents();
    }
}

TEST(AboutItemTest, ShowsTheAboutPanelAsASheetOnTheMainWindow)
{
    app_tests::ControllerFixture f;
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Marvesto LG"));
    std::unique_ptr<TarnexWindow> window(mainwindow::create(*f.controller));
    window->show();
    settle();
    QAction* about = nullptr;
    for (QAction* menu : window->findChild<QMenuBar*>()->actions())
        for (QAction* item : menu->menu()->actions())
            if (item->text() == QStringLiteral("&About Marvesto LG"))
                about = item;
    ASSERT_NE(about, nullptr);
    about->trigger();
    settle();
    AboutPanelController& panel = AboutPanelController::sharedInstance();
    EXPECT_TRUE(panel.isPanelVisible());
    EXPECT_EQ(panel.panel()->parentWidget(), window.get());
    EXPECT_TRUE(window->findChildren<QDialog*>().size() == 1) << "no message box besides it";
    QTest::keyClick(panel.panel(), Qt::Key_Escape);
    EXPECT_FALSE(panel.isPanelVisible());
}

TEST(ProgramAppLauncherTest, ButtonShowsLaunchesAndFindsARegisteredProgram)
{
    constexpr quint32 kProbeCreator = fourCharCode("mvLp");
    registerCreatorApplications(kProbeCreator, {QStringLiteral(MARVESTO_LAUNCH_PROBE)});
    ProgramAppLauncher launcher;
    AppLauncher::setShared(&launcher);
    pid_t running = 0;
    ASSERT_NE(MoreProcFindProcessByCreator(kProbeCreator, &running), 0) << "no probe left from an earlier run";

    AppLaunchButton button;
    button.resize(48, 48);
    button.setAlternateTitle(QStringLiteral("mvLp"));
    button.awakeFromNib();
    EXPECT_EQ(button.text(), "mvlaunchprobe");
    EXPECT_TRUE(button.isEnabled());
    int sent = 0;
    QObject::connect(&button, &AppLaunchButton::actionSent, [&] { ++sent; });
    {
        // The launch waits 0.9 s on the platform clock for the program to come up.
        testing_support::OutsideInputScope outside(0.02);
        button.click();
    }
    EXPECT_EQ(sent, 1);
    pid_t process = 0;
    EXPECT_EQ(MoreProcFindProcessByCreator(kProbeCreator, &process), 0);
    EXPECT_GT(process, 0);
    if (process > 0)
        ::kill(process, SIGTERM);

    AppLaunchButton unknown;
    unknown.setAlternateTitle(QStringLiteral("nOnE"));
    unknown.awakeFromNib();
    EXPECT_FALSE(unknown.isEnabled());
    EXPECT_TRUE(unknown.alternateTitle().isEmpty());
    AppLauncher::setShared(nullptr);
}

} // namespace
