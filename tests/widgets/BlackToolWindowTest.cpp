#include "widgets/BlackToolWindow.h"
#include "widgets/WidgetClasses.h"

#include "platform/gui/Interface.h"
#include "platform/gui/TestArtifacts.h"

#include "WidgetTestSupport.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

using widget_tests::settle;
using widget_tests::showAndSettle;

class Answering : public BlackToolWindowDelegate {
public:
    explicit Answering(bool answer) : answer_(answer) {}
    bool windowShouldClose(BlackToolWindow&) override
    {
        ++asked;
        return answer_;
    }
    int asked = 0;

private:
    bool answer_;
};

QList<QAbstractButton*> closeButtons(const QWidget& window)
{
    return window.findChildren<QAbstractButton*>(QStringLiteral("closeButton"));
}

TEST(BlackToolWindowTest, ClosableWindowHasOneCloseButtonAtTheTopLeft)
{
    BlackToolWindow closable(nullptr, true);
    closable.resize(200, 120);
    ASSERT_EQ(closeButtons(closable).size(), 1);
    EXPECT_EQ(closable.closeButton()->geometry(), QRect(3, 3, 13, 13));
    EXPECT_EQ(closable.closeButton()->accessibleName(), QStringLiteral("Close"));
    closable.addCloseButton();
    closable.awakeFromNib();
    EXPECT_EQ(closeButtons(closable).size(), 1);
    EXPECT_TRUE(closable.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(closable.windowFlags() & Qt::WindowType_Mask, Qt::Tool);

    BlackToolWindow plain(nullptr, false);
    plain.awakeFromNib();
    EXPECT_TRUE(closeButtons(plain).isEmpty());
    closable.setClosable(false);
    EXPECT_TRUE(closeButtons(closable).isEmpty());
}

TEST(BlackToolWindowTest, WindowFromAFormGetsOneCloseButton)
{
    registerWidgetClasses();
    std::unique_ptr<QWidget> form(platform::gui::loadInterface(QStringLiteral("program"), QStringLiteral("BlackToolWindow")));
    auto* window = qobject_cast<BlackToolWindow*>(form.get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(closeButtons(*window).size(), 1);
    EXPECT_FALSE(window->windowTitle().isEmpty());
    EXPECT_EQ(window->accessibleName(), window->windowTitle());
    showAndSettle(window);
    EXPECT_FALSE(platform::gui::saveGrab(window, QStringLiteral("dark-tool-window")).isEmpty());
}

TEST(BlackToolWindowTest, CloseHidesOnlyWhenTheDelegateAgrees)
{
    BlackToolWindow window;
    window.resize(200, 120);
    showAndSettle(&window);
    Answering no(false);
    window.setDelegate(&no);
    QTest::mouseClick(window.closeButton(), Qt::LeftButton);
    window.performClose();
    EXPECT_EQ(no.asked, 2);
    EXPECT_TRUE(window.isVisible());
    window.close();   // the window manager's close goes the same way
    EXPECT_TRUE(window.isVisible());

    Answering yes(true);
    window.setDelegate(&yes);
    window.closeButton()->setFocus();
    QTest::keyClick(window.closeButton(), Qt::Key_Space);
    EXPECT_EQ(yes.asked, 1);
    EXPECT_FALSE(window.isVisible());
}

TEST(BlackToolWindowTest, EscapeIsSwallowedOtherKeysGoOn)
{
    BlackToolWindow window;
    showAndSettle(&window);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
    QCoreApplication::sendEvent(&window, &escape);
    EXPECT_TRUE(escape.isAccepted());
    EXPECT_TRUE(window.isVisible());
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(&window, &letter);
    EXPECT_FALSE(letter.isAccepted());
}

TEST(BlackToolWindowTest, TitleBarBodyAndTitleFitTheWindow)
{
    BlackToolWindow window;
    window.resize(240, 100);
    EXPECT_EQ(window.titleBarPath().boundingRect(), QRectF(0, 0, 240, 19));
    EXPECT_EQ(window.bodyPath().boundingRect(), QRectF(0, 19, 240, 81));
    // Rounded at the window's outer corners only.
    EXPECT_FALSE(window.titleBarPath().contains(QPointF(0.5, 0.5)));
    EXPECT_TRUE(window.titleBarPath().contains(QPointF(0.5, 18)));
    EXPECT_FALSE(window.bodyPath().contains(QPointF(0.5, 99.5)));
    EXPECT_TRUE(window.bodyPath().contains(QPointF(0.5, 20)));

    window.setWindowTitle(QStringLiteral("Short"));
    EXPECT_EQ(window.displayedTitle(), QStringLiteral("Short"));
    window.setWindowTitle(QString(200, u'W'));
    const QString shown = window.displayedTitle();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_EQ(window.titleRect().left(), 19);
    EXPECT_EQ(window.titleRect().right(), 240 - 19);
}

TEST(BlackToolWindowTest, BackgroundFollowsItsOpacity)
{
    BlackToolWindow window;
    window.resize(100, 60);
    EXPECT_DOUBLE_EQ(window.backAlphaValue(), 0.75);
    QImage background = window.sizedBlackToolWindowBackGround();
    EXPECT_NEAR(background.pixelColor(50, 40).alphaF(), 0.75, 0.01);
    window.setBackAlphaValue(0.3);
    background = window.sizedBlackToolWindowBackGround();
    EXPECT_NEAR(background.pixelColor(50, 40).alphaF(), 0.3, 0.01);
    EXPECT_EQ(window.getBackGroundColor(0.5), QColor::fromRgbF(0.1, 0.1, 0.1, 0.5));
}

} // namespace
