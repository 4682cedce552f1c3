#include "TarnexTestSupport.h"

#include "app/DeviceWindowShell.h"
#include "app/TarnexKeys.h"

#include "VirtualTime.h"
#include "devicewindow/DeviceWindowMakers.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

using namespace app_tests;
using testing_support::runFor;

TEST(DeviceWindowShell, ALostConnectionReturnsTheMainWindowToThePhoneListWithTheReason)
{
    TarnexFixture f(onePhone(), true);
    f.start();
    f.useProbePhone(phoneEntry(QStringLiteral("35412345678901")));
    f.tarnex->switchToNamedPane(key(tarnexkeys::kConnectingPane), 1);
    runFor(0.5);
    ASSERT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kConnectingIndex);
    devicewindowshell::install();
    const auto lost = devicewindowmakers::makers().connectionLost;
    ASSERT_TRUE(lost);
    lost(QStringLiteral("KU990"));
    runFor(1.0);
    EXPECT_EQ(f.tarnex->currentPaneIndex(), TarnexController::kMatrixIndex);
    EXPECT_EQ(f.tarnex->messageTextField()->text(), QStringLiteral("The connection to KU990 was lost."));
    devicewindowmakers::makers() = {};
}

TEST(DeviceWindowShell, TheDebuggingPanelIsOneForBothWindows)
{
    QWidget window;
    std::unique_ptr<QDialog> panel(devicewindowshell::makeDebuggingPanel(&window));
    EXPECT_EQ(panel->parentWidget(), &window);
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    for (const char* name : {"sendWithMail", "tellFinderToShow", "sendMailOK"})
        EXPECT_NE(panel->findChild<QPushButton*>(QLatin1String(name)), nullptr) << name;
    panel->open();
    panel->findChild<QPushButton*>(QStringLiteral("sendMailOK"))->click();
    EXPECT_EQ(panel->result(), 1);
}

} // namespace
