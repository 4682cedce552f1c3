#include "widgets/PolishedMetall.h"
#include "widgets/CanMovedView.h"
#include "widgets/PolishedMetallPanel.h"
#include "widgets/PolishedMetallWindow.h"

#include "platform/gui/TestArtifacts.h"

#include "WidgetTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QTemporaryDir>
#include <QToolBar>
#include <memory>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

TEST(PolishedMetallTest, MinimumSizeIsAtLeast150EachWay)
{
    struct Case {
        QSize given, stored;
    };
    const Case cases[] = {
        {{100, 400}, {150, 400}}, {{200, 100}, {200, 150}}, {{0, 0}, {150, 150}}, {{300, 200}, {300, 200}}};
    for (const Case& c : cases) {
        PolishedMetallWindow window;
        window.setMinSize(c.given);
        EXPECT_EQ(window.minimumSize(), c.stored) << c.given.width() << "x" << c.given.height();
    }
}

TEST(PolishedMetallTest, NarrowWindowsGetBandsBuilt300Wide)
{
    const auto set = polished_metall::images(false);
    ASSERT_TRUE(set.has_value());
    const int w1 = set->bottomLeft.width(), h1 = set->bottomLeft.height(), w3 = set->bottomRight.width();
    const int w4 = set->topLeft.width(), h4 = set->topLeft.height(), w6 = set->topRight.width();
    for (const int width : {200, 300, 640}) {
        const polished_metall::Layout l = polished_metall::layout(QSize(width, 400), *set);
        EXPECT_EQ(l.bandSize[0].width(), std::max(width, 300)) << width;
        EXPECT_EQ(l.bandSize[1].width(), std::max(width, 300)) << width;
        EXPECT_EQ(l.bottomTarget, QRect(w1, 0, width - w1 - w3, h1)) << width;
        EXPECT_EQ(l.topTarget, QRect(w4, 400 - h4, width - w4 - w6, h4)) << width;
        EXPECT_EQ(l.rightEdge.x(), width - set->rightEdge.width() + 1) << width;
        EXPECT_EQ(l.leftEdge.height(), 400) << width;
    }
    // The flat set has no side edges.
    const auto flat = polished_metall::images(true);
    ASSERT_TRUE(flat.has_value());
    EXPECT_TRUE(polished_metall::layout(QSize(200, 400), *flat).leftEdge.isEmpty());
}

TEST(PolishedMetallTest, KeyOnlyModeSwapsBackgroundsOnActivation)
{
    PolishedMetallWindow window;
    window.resize(420, 260);
    widget_tests::showAndSettle(&window);
    QWidget other;
    widget_tests::showAndSettle(&other);
    QApplication::setActiveWindow(&window);
    window.setPolishedOnlyOnKey(true);
    EXPECT_TRUE(window.background().has_value());
    QApplication::setActiveWindow(&other);
    widget_tests::settle();
    EXPECT_FALSE(window.background().has_value());
    EXPECT_EQ(window.palette().brush(QPalette::Window), QApplication::palette(&window).brush(QPalette::Window));
    QApplication::setActiveWindow(&window);
    widget_tests::settle();
    ASSERT_TRUE(window.background().has_value());
    EXPECT_EQ(window.background()->textureImage().size(), QSize(420, 260));

    PolishedMetallPanel panel;
    panel.setPolishedOnlyOnKey(true);
    EXPECT_FALSE(panel.isPolishedOnlyOnKey());
    EXPECT_TRUE(panel.windowFlags() & Qt::Tool);
}

// Counts how often the window composes its background.
class CountingPolishedWindow : public PolishedMetallWindow {
public:
    mutable int composed = 0;
    std::optional<QBrush> sizedPolishedBackColor(bool flat) const override
    {
        ++composed;
        return PolishedMetallWindow::sizedPolishedBackColor(flat);
    }
};

TEST(PolishedMetallTest, TheBackgroundIsComposedOncePerSizeButAlwaysWhenAskedFor)
{
    CountingPolishedWindow window;
    window.resize(420, 260);
    widget_tests::showAndSettle(&window);
    const int afterShow = window.composed;
    // A layout pass sends resize and show events at the size it has.
    for (int pass = 0; pass < 5; ++pass) {
        window.resize(420, 260);
        QResizeEvent same(QSize(420, 260), QSize(420, 260));
        QApplication::sendEvent(&window, &same);
    }
    EXPECT_EQ(window.composed, afterShow);
    window.resize(500, 300);
    widget_tests::settle();
    EXPECT_EQ(window.composed, afterShow + 1);
    ASSERT_TRUE(window.background().has_value());
    EXPECT_EQ(window.background()->textureImage().size(), QSize(500, 300));
    // A subclass whose content changed asks for a new one at the same size.
    window.windowDidResize();
    EXPECT_EQ(window.composed, afterShow + 2);
    window.setFlatStyle(true);
    EXPECT_EQ(window.composed, afterShow + 3);
}

TEST(PolishedMetallTest, MissingArtworkGivesNoBackgroundAndIsTriedAgain)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PolishedWindowData.pol"));
    polished_metall::setResourcePath(path);
    PolishedMetallWindow window;
    window.resize(300, 200);
    EXPECT_FALSE(window.background().has_value());
    QFile::copy(polished_metall::defaultResourcePath(), path);
    window.windowDidResize();
    EXPECT_TRUE(window.background().has_value());

    // A resource that is not an array of images counts as missing.
    QFile broken(dir.filePath(QStringLiteral("broken.pol")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<plist><array><data>AAAA</data></array></plist>");
    broken.close();
    polished_metall::setResourcePath(broken.fileName());
    EXPECT_FALSE(polished_metall::compose(QSize(300, 200), false).has_value());
    polished_metall::setResourcePath(polished_metall::defaultResourcePath());
}

TEST(PolishedMetallTest, WindowsAtTwoSizesForAReviewer)
{
    for (const QSize size : {QSize(260, 180), QSize(640, 420)}) {
        PolishedMetallWindow window;
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(new QLabel(QStringLiteral("Phone: KU990")), 0, Qt::AlignCenter);
        window.resize(size);
        widget_tests::showAndSettle(&window);
        EXPECT_FALSE(
            platform::gui::saveGrab(&window, QStringLiteral("polished-window-%1").arg(size.width())).isEmpty());
        window.setFlatStyle(true);
        EXPECT_FALSE(platform::gui::saveGrab(&window, QStringLiteral("flat-window-%1").arg(size.width())).isEmpty());
    }
}

TEST(PolishedMetallTest, TheBackgroundRunsOnUnderTheToolbarWithoutALine)
{
    for (const bool panel : {false, true}) {
        for (const bool boxLayout : {false, true}) {
            std::unique_ptr<PolishedMetallWindow> plain(panel ? new PolishedMetallPanel : new PolishedMetallWindow);
            std::unique_ptr<PolishedMetallWindow> window(panel ? new PolishedMetallPanel : new PolishedMetallWindow);
            for (PolishedMetallWindow* each : {plain.get(), window.get()}) {
                if (boxLayout)
                    (new QVBoxLayout(each))->setContentsMargins(0, 0, 0, 0);
                each->resize(480, 300);
            }
            auto* toolbar = new QToolBar;
            toolbar->addAction(QStringLiteral("Files"));
            window->setToolbar(toolbar);
            EXPECT_EQ(window->toolbar(), toolbar);
            EXPECT_EQ(toolbar->parentWidget(), window.get());
            EXPECT_FALSE(toolbar->autoFillBackground());
            EXPECT_FALSE(toolbar->isMovable());
            widget_tests::showAndSettle(plain.get());
            widget_tests::showAndSettle(window.get());
            EXPECT_EQ(toolbar->geometry().top(), 0);
            EXPECT_EQ(toolbar->width(), window->width()) << "panel " << panel << " box " << boxLayout;
            // The toolbar's bottom lines, where a separator would be, show
            // the window's own background.
            const QRect strip(0, toolbar->geometry().bottom() - 1, window->width(), 2);
            const QImage withBar = window->grab(strip).toImage();
            const QImage without = plain->grab(strip).toImage();
            EXPECT_EQ(withBar, without) << "panel " << panel << " box " << boxLayout;
        }
    }
}

} // namespace

namespace {

TEST(CanMovedViewTest, DraggingTheViewMovesItsWindow)
{
    PolishedMetallWindow window;
    window.setGeometry(100, 100, 300, 200);
    auto* handle = new CanMovedView(&window);
    handle->setGeometry(0, 0, 300, 24);
    widget_tests::showAndSettle(&window);
    const QPoint start = window.pos();
    const auto send = [&](QEvent::Type type, const QPoint& local, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(local), QPointF(handle->mapToGlobal(local)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(handle, &event);
    };
    send(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
    send(QEvent::MouseMove, {50, 30}, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {50, 30}, Qt::NoButton);
    EXPECT_EQ(window.pos(), start + QPoint(40, 20));
    // After the release a move does nothing.
    send(QEvent::MouseMove, {90, 30}, Qt::NoButton);
    EXPECT_EQ(window.pos(), start + QPoint(40, 20));
}

} // namespace
