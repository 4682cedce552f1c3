#include "widgets/AboutPanelController.h"
#include "widgets/AboutTextView.h"
#include "widgets/NSFancyPanel.h"
#include "widgets/WidgetClasses.h"

#include "platform/NotificationCenter.h"
#include "platform/gui/ApplicationActivity.h"
#include "platform/gui/TestArtifacts.h"

#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using testing_support::runFor;
using testing_support::runUntil;

class AboutPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerWidgetClasses();
        window.resize(640, 480);
        window.setWindowTitle(QStringLiteral("Marvesto LG"));
        AboutPanelController::setMainWindowProvider([this] { return &window; });
        widget_tests::showAndSettle(&window);
    }
    void TearDown() override { AboutPanelController::setMainWindowProvider({}); }

    QMainWindow window;
};

TEST_F(AboutPanelTest, ShowsAsSheetWithVersionAndCreditsThatScroll)
{
    AboutPanelController about;
    ASSERT_TRUE(about.textView());
    about.orderFrontStandardAboutPanel();
    widget_tests::settle();
    EXPECT_TRUE(about.isPanelVisible());
    EXPECT_EQ(about.panel()->parentWidget(), &window);
    EXPECT_EQ(about.panel()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(about.textView()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const QString text = about.textView()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Marvesto LG for Linux")));
    EXPECT_TRUE(text.contains(QStringLiteral("Poppler")));
    EXPECT_TRUE(text.endsWith(QString(AboutPanelController::kTrailingNewlines, QLatin1Char('\n'))));

    EXPECT_EQ(about.scrollAmount(), 0);
    runFor(0.3 + 0.001);
    EXPECT_EQ(about.scrollAmount(), 10) << "a point each 0.03 s";
    runFor(0.6);
    platform::gui::saveGrab(about.panel(), QStringLiteral("AboutPanel"));
    about.hidePanel();
    EXPECT_FALSE(about.isPanelVisible());
    EXPECT_FALSE(about.isScrolling());
}

TEST_F(AboutPanelTest, OutlivesTheWindowItWasShownOn)
{
    AboutPanelController about;
    auto other = std::make_unique<QMainWindow>();
    AboutPanelController::setMainWindowProvider([&] { return other.get(); });
    widget_tests::showAndSettle(other.get());
    about.showPanel();
    about.hidePanel();
    other.reset(); // takes the panel with it
    EXPECT_EQ(about.panel(), nullptr);
    AboutPanelController::setMainWindowProvider([this] { return &window; });
    about.showPanel();
    ASSERT_NE(about.panel(), nullptr);
    EXPECT_TRUE(about.isPanelVisible());
    EXPECT_EQ(about.panel()->parentWidget(), &window);
    EXPECT_TRUE(about.textView()->toPlainText().contains(QStringLiteral("Poppler")));
    about.hidePanel();
}

TEST_F(AboutPanelTest, MissingVersionReadsQuestionMarks)
{
    EXPECT_EQ(AboutPanelController::versionLine(QString()), "Version ???");
    EXPECT_EQ(AboutPanelController::versionLine(QStringLiteral("2.1")), "Version 2.1");
    AboutPanelController about;
    about.setBuildVersion(QString());
    about.loadTextToScroll();
    EXPECT_TRUE(about.textView()->toPlainText().contains(QStringLiteral("Version ???")));
}

TEST_F(AboutPanelTest, CreditsStartAgainFromTheTopAfterTheEnd)
{
    AboutPanelController about;
    about.showPanel();
    QScrollBar* bar = about.textView()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    ASSERT_TRUE(runUntil([&] { return about.scrollAmount() == bar->maximum(); }, bar->maximum() * 0.03 + 1, 0.03));
    runFor(0.031);
    EXPECT_EQ(about.scrollAmount(), 0);
    runFor(0.031);
    EXPECT_EQ(about.scrollAmount(), 1);
    about.hidePanel();
}

TEST_F(AboutPanelTest, AnyKeyClickOrLosingFocusHidesAndShowingAgainStartsAtTheTop)
{
    AboutPanelController about;
    struct Case {
        const char* what;
        std::function<void(NSFancyPanel*)> act;
    } cases[] = {
        {"Escape", [](NSFancyPanel* p) { QTest::keyClick(p, Qt::Key_Escape); }},
        {"Return", [](NSFancyPanel* p) { QTest::keyClick(p, Qt::Key_Return); }},
        {"a letter", [](NSFancyPanel* p) { QTest::keyClick(p, Qt::Key_Q); }},
        {"left click", [](NSFancyPanel* p) { QTest::mouseClick(p, Qt::LeftButton); }},
        {"right click on the credits",
         [&about](NSFancyPanel* p) {
             QTest::mouseClick(p, Qt::RightButton, {}, about.textView()->mapTo(p, QPoint(20, 20)));
         }},
        {"the program losing focus",
         [](NSFancyPanel*) {
             platform::gui::postApplicationStateChange(Qt::ApplicationActive, Qt::ApplicationInactive);
         }},
    };
    for (const Case& c : cases) {
        about.showPanel();
        widget_tests::settle();
        EXPECT_EQ(about.scrollAmount(), 0) << c.what;
        runFor(0.3);
        EXPECT_GT(about.scrollAmount(), 0) << c.what;
        ASSERT_TRUE(about.isPanelVisible()) << c.what;
        c.act(about.panel());
        widget_tests::settle();
        EXPECT_FALSE(about.isPanelVisible()) << c.what;
        EXPECT_FALSE(about.isScrolling()) << c.what;
    }
    EXPECT_TRUE(window.isVisible()) << "nothing else happened to the window";
}

} // namespace
