#include "widgets/OverlayHelperWindow.h"
#include "widgets/OverlayView.h"

#include "WidgetTestSupport.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

namespace {

using widget_tests::settle;
using widget_tests::showAndSettle;

class HookedOverlay : public QWidget, public OverlayHooks {
public:
    QStringList calls;
    void viewWillBecomeOverlay() override { calls << QStringLiteral("willBecome"); }
    void viewDidBecomeOverlay() override { calls << QStringLiteral("didBecome"); }
    void viewWillResignOverlay() override { calls << QStringLiteral("willResign"); }
    void viewDidResignOverlay() override { calls << QStringLiteral("didResign"); }
};

// A window with a header and a content view that overlays cover.
struct Scene {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QWidget* header = new QLabel(QStringLiteral("header"));
    QWidget* content = new QWidget;
    QPushButton* button = nullptr;

    Scene()
    {
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(10, 10, 10, 10);
        layout->addWidget(header);
        layout->addWidget(content, 1);
        auto* inner = new QVBoxLayout(content);
        button = new QPushButton(QStringLiteral("below"), content);
        button->setMinimumHeight(60);
        inner->addWidget(button);
        window->resize(300, 200);
    }
    QRect contentInWindow() const { return QRect(content->mapTo(window.get(), QPoint()), content->size()); }
};

OverlayHelperWindow* layerOf(QWidget* overlay)
{
    return qobject_cast<OverlayHelperWindow*>(overlay->parentWidget());
}

TEST(OverlayViewTest, OverlayAppearsPlacedOnlyOnceItsViewIsInAWindow)
{
    auto view = std::make_unique<QWidget>();
    view->resize(120, 80);
    HookedOverlay overlay;
    addOverlayView(view.get(), &overlay, 1);
    settle();
    EXPECT_FALSE(overlay.isVisible());
    EXPECT_TRUE(overlay.calls.isEmpty());

    Scene scene;
    auto* layout = static_cast<QVBoxLayout*>(scene.window->layout());
    layout->addWidget(view.release());
    QWidget* placed = layout->itemAt(2)->widget();
    showAndSettle(scene.window.get());
    ASSERT_TRUE(overlay.isVisible());
    OverlayHelperWindow* layer = layerOf(&overlay);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->parentWidget(), scene.window.get());
    EXPECT_EQ(layer->geometry(), QRect(placed->mapTo(scene.window.get(), QPoint()), placed->size()));
    EXPECT_EQ(overlay.geometry(), QRect(QPoint(), placed->size()));
    EXPECT_EQ(overlay.calls, (QStringList{QStringLiteral("willBecome"), QStringLiteral("didBecome")}));

    overlay.calls.clear();
    scene.window->hide();
    EXPECT_EQ(overlay.calls, (QStringList{QStringLiteral("willResign"), QStringLiteral("didResign")}));
    removeOverlayView(placed, &overlay);
    EXPECT_EQ(overlay.parentWidget(), nullptr);
}

TEST(OverlayViewTest, OverlayFollowsItsViewOnResizeAndMove)
{
    Scene scene;
    QWidget overlay;
    addOverlayView(scene.content, &overlay, 1);
    showAndSettle(scene.window.get());
    OverlayHelperWindow* layer = layerOf(&overlay);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->geometry(), scene.contentInWindow());

    scene.window->resize(420, 330);
    settle();
    EXPECT_EQ(layer->geometry(), scene.contentInWindow());
    EXPECT_EQ(overlay.size(), scene.content->size());

    scene.header->setMinimumHeight(90);   // pushes the view down
    settle();
    EXPECT_EQ(layer->geometry(), scene.contentInWindow());
    EXPECT_GE(layer->geometry().top(), 100);
    removeOverlayView(scene.content, &overlay);
}

TEST(OverlayViewTest, TwoOverlaysOverOneViewAreIndependent)
{
    Scene scene;
    QWidget first;
    QWidget second;
    addOverlayView(scene.content, &first, 1);
    addOverlayView(scene.content, &second, 1);
    showAndSettle(scene.window.get());
    EXPECT_EQ(overlayViews(scene.content), (QList<QWidget*>{&first, &second}));
    EXPECT_NE(layerOf(&first), layerOf(&second));

    removeOverlayView(scene.content, &first);
    EXPECT_FALSE(first.isVisible());
    EXPECT_TRUE(second.isVisible());
    EXPECT_EQ(overlayViews(scene.content), QList<QWidget*>{&second});
    EXPECT_EQ(layerOf(&second)->geometry(), scene.contentInWindow());

    // Unknown overlays and parents are ignored.
    removeOverlayView(scene.content, &first);
    removeOverlayView(scene.header, &second);
    EXPECT_EQ(overlayViews(scene.content), QList<QWidget*>{&second});
    removeOverlayView(scene.content, &second);
    EXPECT_TRUE(overlayViews(scene.content).isEmpty());
}

TEST(OverlayViewTest, ClicksGoThroughTheOverlayExceptOnInteractiveControls)
{
    Scene scene;
    QWidget overlay;
    auto* label = new QLabel(QStringLiteral("busy"), &overlay);
    label->setGeometry(0, 0, 200, 100);
    auto* stop = new QPushButton(QStringLiteral("stop"), &overlay);
    stop->setGeometry(0, 0, 30, 20);
    setOverlayInteractive(stop);
    addOverlayView(scene.content, &overlay, 1);
    showAndSettle(scene.window.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(scene.window.get()));

    QSignalSpy below(scene.button, &QPushButton::clicked);
    QSignalSpy onOverlay(stop, &QPushButton::clicked);
    const QPoint middleOfButton = scene.button->mapTo(scene.window.get(), scene.button->rect().center());
    ASSERT_EQ(scene.window->childAt(middleOfButton), label);   // the overlay covers the button
    QTest::mouseClick(scene.window->windowHandle(), Qt::LeftButton, {}, middleOfButton);
    settle();
    EXPECT_EQ(below.count(), 1);
    EXPECT_EQ(onOverlay.count(), 0);

    const QPoint onStop = stop->mapTo(scene.window.get(), stop->rect().center());
    QTest::mouseClick(scene.window->windowHandle(), Qt::LeftButton, {}, onStop);
    settle();
    EXPECT_EQ(onOverlay.count(), 1);
    EXPECT_EQ(below.count(), 1);
    removeOverlayView(scene.content, &overlay);
}

TEST(OverlayViewTest, OverlayOutlivesItsViewAndReturnsToItsOwner)
{
    QWidget owner;
    auto* overlay = new QWidget(&owner);
    QPointer<QWidget> watch(overlay);
    {
        Scene scene;
        addOverlayView(scene.content, overlay, 1);
        showAndSettle(scene.window.get());
        EXPECT_TRUE(overlay->isVisible());
    }
    ASSERT_FALSE(watch.isNull());
    EXPECT_EQ(overlay->parentWidget(), &owner);
    EXPECT_FALSE(overlay->isVisibleTo(&owner));
}

} // namespace
