#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/OrganizerHostImpl.h"
#include "app/TarnexWindow.h"
#include "organizer/trash/TrashManagerHdlr.h"
#include "widgets/WidgetClasses.h"

#include "VirtualTime.h"

#include <QAction>
#include <gtest/gtest.h>

// The Window menu opens the organizer trash with Ctrl+Shift+T; the program's
// host answers the trash period of the application controller.
TEST(OrganizerTrashMenu, OpensTheTrashWindow)
{
    registerWidgetClasses();
    app_tests::ControllerFixture f;
    std::unique_ptr<TarnexWindow> window(mainwindow::create(*f.controller));
    QAction* trash = window->findChild<QAction*>(QStringLiteral("organizerTrashAction"));
    ASSERT_TRUE(trash);
    EXPECT_TRUE(trash->isEnabled());
    EXPECT_EQ(trash->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    ProgramOrganizerHost host;
    EXPECT_EQ(host.emptyTrashPeriod(), f.controller->getEmptyTrashPeriod());
    EXPECT_FALSE(host.currentPhoneEntry()) << "no main window controller";
    EXPECT_FALSE(host.restoreToCurrentPhone({}));

    trash->trigger();
    EXPECT_TRUE(TrashManagerHdlr::isTrashManagerHdlrOpen());
    testing_support::runFor(0.5);
    TrashManagerHdlr::sharedTrashManagerHdlr()->fadeOut();
    testing_support::runFor(0.5);
    EXPECT_FALSE(TrashManagerHdlr::isTrashManagerHdlrOpen());
}
