#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/PreferenceHandler.h"
#include "app/PreferenceWindow.h"
#include "app/TarnexActionView.h"
#include "app/TarnexMainView.h"
#include "app/TarnexRollOverButton.h"
#include "app/TarnexSheetView.h"
#include "app/TarnexSyncView.h"
#include "app/TarnexWindow.h"

#include "platform/RunLoop.h"
#include "platform/gui/TestArtifacts.h"
#include "VirtualTime.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEnterEvent>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using app_tests::ControllerFixture;
using testing_support::runFor;

void settle()
{
    for (int pass = 0; pass < 3; ++pass) {
        QApplication::sendPostedEvents();
        platform::runloop::processPendingEvents();
    }
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QGuiApplication::setApplicationDisplayName(QStringLiteral("Marvesto LG"));
        window.reset(mainwindow::create(*f.controller));
        window->showAndFadeIn();
        settle();
        runFor(TarnexWindow::kFadeInSeconds + 0.1);
        view = window->findChild<TarnexMainView*>();
        ASSERT_NE(view, nullptr);
    }

    QList<QAction*> allActions() const
    {
        QList<QAction*> actions;
        for (QAction* menu : window->findChild<QMenuBar*>()->actions()) {
            actions.append(menu);
            actions.append(menu->menu()->actions());
        }
        return actions;
    }

    QAction* action(const QString& name) const { return window->findChild<QAction*>(name); }

    ControllerFixture f;
    std::unique_ptr<TarnexWindow> window;
    TarnexMainView* view = nullptr;
};

TEST_F(MainWindowTest, FadesInToABlackFramelessWindow)
{
    EXPECT_TRUE(window->isVisible());
    EXPECT_DOUBLE_EQ(window->windowOpacity(), 1.0);
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->windowType(), Qt::Window) << "a normal window, not a floating one";
    EXPECT_EQ(window->closeButton(), nullptr) << "the title bar carries its own buttons";
    EXPECT_EQ(view->title(), QStringLiteral("Marvesto LG"));
    EXPECT_NE(window->findChild<QWidget*>(QStringLiteral("paneArea")), nullptr);
    EXPECT_EQ(view->colourLineRect().bottom(), view->height() - TarnexMainView::kLineBottom);
    EXPECT_FALSE(platform::gui::saveGrab(window.get(), QStringLiteral("app-main-window")).isEmpty());
}

TEST_F(MainWindowTest, TitleBarButtonsSitSixPointsInAndTabReachesThem)
{
    QAbstractButton* close = view->closeButton();
    QAbstractButton* minimise = view->minimiseButton();
    EXPECT_EQ(close->geometry(), QRect(6, 6, 16, 16));
    EXPECT_EQ(minimise->geometry(), QRect(28, 6, 16, 16));
    EXPECT_EQ(close->accessibleName(), QStringLiteral("Close"));
    EXPECT_EQ(minimise->accessibleName(), QStringLiteral("Minimise"));
    EXPECT_TRUE(close->focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(minimise->focusPolicy() & Qt::TabFocus);

    // The title stays clear of the buttons and of the right edge.
    const QRectF title = view->titleTextRect();
    EXPECT_EQ(title.left(), 19);
    EXPECT_EQ(title.right(), view->width() - 19);
}

TEST_F(MainWindowTest, HoverOverTheLeftTitlePartSwapsItsPicture)
{
    auto moveTo = [this](QPointF at) {
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
    };
    moveTo(QPointF(200, 10));
    EXPECT_FALSE(view->isLeftTitleActive());
    moveTo(QPointF(50, 10));
    EXPECT_TRUE(view->isLeftTitleActive());
    moveTo(QPointF(200, 10));
    EXPECT_FALSE(view->isLeftTitleActive());
    moveTo(QPointF(3, 3));
    EXPECT_TRUE(view->isLeftTitleActive());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    EXPECT_FALSE(view->isLeftTitleActive());
}

TEST_F(MainWindowTest, MenuItemsHaveMnemonicsAndTheAppName)
{
    for (QAction* item : allActions()) {
        if (item->isSeparator())
            continue;
        EXPECT_TRUE(item->text().contains(QLatin1Char('&'))) << item->text().toStdString();
        EXPECT_FALSE(item->text().contains(QStringLiteral("@app@"))) << item->text().toStdString();
    }
    EXPECT_EQ(action(QStringLiteral("quitAction"))->text(), QStringLiteral("&Quit Marvesto LG"));
    EXPECT_EQ(action(QStringLiteral("quitAction"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(action(QStringLiteral("closeWindowAction"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));

    // Web addresses the string table does not give are hidden; the windows
    // of parts still to come are disabled.
    int hidden = 0;
    QStringList disabled;
    for (QAction* item : allActions()) {
        hidden += item->isVisible() ? 0 : 1;
        if (!item->isEnabled())
            disabled << item->text();
    }
    EXPECT_EQ(hidden, 4);
    for (const char* enabled : {"&Preferences...", "Marvesto LG &Manual", "Supported &Devices"})
        EXPECT_FALSE(disabled.contains(QLatin1String(enabled))) << disabled.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(action(QStringLiteral("preferencesAction"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(action(QStringLiteral("manualAction"))->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST_F(MainWindowTest, CtrlQFadesTheWindowOutAndEndsWithStatusZero)
{
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(f.state->steps, (QStringList{QStringLiteral("stop USB copies"), QStringLiteral("save trash"), QStringLiteral("AppWillQuit")}));
    for (double expected : {0.8, 0.6, 0.4, 0.2, 0.0}) {
        EXPECT_TRUE(window->isVisible());
        runFor(AppController::kFadeInterval);
        EXPECT_NEAR(window->windowOpacity(), expected, 1.0 / 255) << "opacity is kept in 255 steps";
    }
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(f.exits, QList<int>{0});
}

TEST_F(MainWindowTest, CloseWindowQuitsAndMinimiseMinimises)
{
    QTest::mouseClick(view->minimiseButton(), Qt::LeftButton);
    settle();
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(f.state->steps.isEmpty());

    window->showNormal();
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(f.controller->isTerminating()) << "closing the main window ends the program";
    runFor(1.0);
    EXPECT_EQ(f.exits, QList<int>{0});
}

TEST_F(MainWindowTest, CloseButtonAndWindowManagerCloseAskTheQuitProtocol)
{
    f.state->backupPending = true;
    QTest::mouseClick(view->closeButton(), Qt::LeftButton);
    ASSERT_NE(f.controller->quitDialog(), nullptr) << "a backup runs: the wait dialog";
    EXPECT_TRUE(window->isVisible());

    f.controller->quitCancel();
    window->close();
    EXPECT_TRUE(window->isVisible()) << "the window manager's close goes through the protocol too";
    ASSERT_NE(f.controller->quitDialog(), nullptr);

    f.state->backupPending = false;
    runFor(1.0);
    EXPECT_EQ(f.exits, QList<int>{0});
}

TEST(TarnexRollOverButton, AlternatePictureOnlyWhileTheMouseIsOverAnEnabledButton)
{
    QWidget host;
    auto* button = new TarnexRollOverButton(&host);
    button->setImageNamed(QStringLiteral("Add"), QStringLiteral("Remove"));
    host.show();
    settle();
    const QImage normal = button->normalImage();
    const QImage rollOver = button->rollOverImage();
    ASSERT_NE(normal, rollOver);

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &enter);
    EXPECT_EQ(button->shownImage(), rollOver);
    QApplication::sendEvent(button, &leave);
    EXPECT_EQ(button->shownImage(), normal);

    QApplication::sendEvent(button, &enter);
    button->setEnabled(false);
    EXPECT_EQ(button->shownImage(), normal) << "disabling takes the hover away";
    QApplication::sendEvent(button, &enter);
    EXPECT_FALSE(button->isMouseEntered()) << "a disabled button has no hover";

    button->setEnabled(true);
    QApplication::sendEvent(button, &enter);
    EXPECT_TRUE(button->isMouseEntered());
    button->hide();
    EXPECT_FALSE(button->isMouseEntered());

    // An empty name keeps that picture.
    button->setImageNamed(QString(), QStringLiteral("Trash"));
    EXPECT_EQ(button->normalImage(), normal);
    EXPECT_NE(button->rollOverImage(), rollOver);
}

TEST(TarnexViews, SheetSyncAndActionViewsDraw)
{
    TarnexSheetView sheet;
    sheet.resize(300, 160);
    TarnexSyncView sync;
    sync.resize(300, 120);
    TarnexActionView action;
    action.resize(320, 40);
    EXPECT_FALSE(platform::gui::saveGrab(&sheet, QStringLiteral("app-tarnex-sheet")).isEmpty());
    EXPECT_FALSE(platform::gui::saveGrab(&sync, QStringLiteral("app-tarnex-sync")).isEmpty());
    const QImage picture = action.grab().toImage();
    EXPECT_NE(picture.pixelColor(160, 20), picture.pixelColor(0, 0)) << "the status picture is drawn";
}

} // namespace

TEST_F(MainWindowTest, ClosingAnotherWindowLeavesTheProgramRunning)
{
    // The preferences window (as any other of the program's windows)
    // closes; the main window stays and nothing starts to quit. Run in
    // the program's event loop, where Qt would end it on a last window.
    PreferenceHandler& handler = PreferenceHandler::sharedPreferenceHandler();
    QWidget* preferences = nullptr;
    QTimer::singleShot(0, [&] {
        handler.openPreferenceWindow();
        preferences = handler.window();
        if (!preferences)
            return QApplication::exit(1);
        QTimer::singleShot(100, preferences, &QWidget::close);
    });
    QTimer::singleShot(1500, [] { QApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 7) << "the event loop ran until the test ended it";
    ASSERT_NE(preferences, nullptr);
    EXPECT_FALSE(preferences->isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(f.controller->isTerminating());
    handler.releaseWindow();
}
