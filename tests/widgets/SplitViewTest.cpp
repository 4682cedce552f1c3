#include "widgets/BetterSplitView.h"
#include "widgets/BetterSplitViewDelegate.h"
#include "widgets/OneLineSplitView.h"
#include "widgets/ResizerButtonView.h"

#include "platform/UserDefaults.h"

#include "WidgetTestSupport.h"

#include <QLabel>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const QString kKey = QStringLiteral("SplitViewTest_1.0");

struct Delegate : BetterSplitViewDelegate {
    QString name = kKey;
    std::optional<qreal> minimum, maximum;
    QString betterSplittAutoSaveName(BetterSplitView&) override { return name; }
    std::optional<qreal> constrainMinCoordinate(BetterSplitView&, qreal, int) override { return minimum; }
    std::optional<qreal> constrainMaxCoordinate(BetterSplitView&, qreal, int) override { return maximum; }
};

// A 600-point window holding a split view of two panes; the left pane has a
// grip in its bottom bar.
struct SplitWindow {
    explicit SplitWindow(BetterSplitView* split, bool grip = true) : split(split)
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(split);
        left = new QWidget;
        auto* leftLayout = new QVBoxLayout(left);
        leftLayout->addStretch();
        if (grip) {
            resizer = new ResizerButtonView;
            leftLayout->addWidget(resizer, 0, Qt::AlignRight);
        }
        split->addWidget(left);
        split->addWidget(new QLabel(QStringLiteral("Messages")));
        window.resize(600, 300);
    }
    QWidget window;
    BetterSplitView* split;
    QWidget* left = nullptr;
    ResizerButtonView* resizer = nullptr;
};

TEST(SplitViewTest, RestoresOnlyEightNumbersThatMakeTwoPanes)
{
    struct Case {
        const char* what;
        QVariant stored;
        bool restored;
    };
    const Case cases[] = {
        {"eight numbers",
         QStringLiteral("0.000000 0.000000 200.000000 300.000000 201.000000 0.000000 399.000000 300.000000"), true},
        {"seven numbers", QStringLiteral("0 0 200 300 201 0 399"), false},
        {"nine numbers", QStringLiteral("0 0 200 300 201 0 399 300 5"), false},
        {"a word among them", QStringLiteral("0 0 200 300 201 zero 399 300"), false},
        {"zero-width pane", QStringLiteral("0 0 0 300 1 0 599 300"), false},
        {"negative pane", QStringLiteral("0 0 -20 300 201 0 399 300"), false},
        {"not a number", QStringLiteral("0 0 nan 300 201 0 399 300"), false},
        {"huge", QStringLiteral("0 0 1e300 300 201 0 399 300"), false},
        {"not a text", QVariantList{0, 0, 200, 300, 201, 0, 399, 300}, false},
    };
    for (const Case& c : cases) {
        platform::UserDefaults::standard().setObject(kKey, c.stored);
        Delegate delegate;
        SplitWindow w(new OneLineSplitView);
        w.split->setSizes({300, 299});
        w.split->setDelegate(&delegate);
        w.split->awakeFromNib();
        widget_tests::showAndSettle(&w.window);
        if (c.restored) {
            EXPECT_EQ(w.split->sizes(), QList<int>({200, 399})) << c.what;
            EXPECT_EQ(w.split->widget(1)->x(), 201) << c.what;
        } else {
            EXPECT_EQ(w.split->sizes(), QList<int>({300, 299})) << c.what;
        }
    }
    platform::UserDefaults::standard().remove(kKey);
}

TEST(SplitViewTest, DelegateArrivingAfterTheFormRestoresAndClosingSaves)
{
    platform::UserDefaults::standard().setObject(kKey, QStringLiteral("0 0 150 300 151 0 449 300"));
    Delegate delegate;
    SplitWindow w(new OneLineSplitView);
    w.split->awakeFromNib(); // loaded without its delegate
    w.split->setDelegate(&delegate);
    widget_tests::showAndSettle(&w.window);
    EXPECT_EQ(w.split->sizes(), QList<int>({150, 449}));

    w.split->moveDividerTo(250);
    EXPECT_EQ(platform::UserDefaults::standard().string(kKey), QStringLiteral("0 0 150 300 151 0 449 300"))
        << "not written on each move";
    w.window.close();
    EXPECT_EQ(platform::UserDefaults::standard().string(kKey),
              QStringLiteral("0.000000 0.000000 250.000000 300.000000 251.000000 0.000000 349.000000 300.000000"));

    // Without a name nothing is written.
    delegate.name.clear();
    w.window.show();
    w.split->moveDividerTo(100);
    w.window.close();
    EXPECT_TRUE(platform::UserDefaults::standard().string(kKey).startsWith(QStringLiteral("0.000000 0.000000 250.")));
    platform::UserDefaults::standard().remove(kKey);
}

TEST(SplitViewTest, GripDragStopsAtTheDelegatesLimits)
{
    Delegate delegate;
    delegate.name.clear();
    delegate.minimum = 120;
    delegate.maximum = 400;
    SplitWindow w(new BetterSplitView);
    w.split->setDelegate(&delegate);
    w.split->awakeFromNib();
    widget_tests::showAndSettle(&w.window);
    ASSERT_EQ(w.split->resizerButton(), w.resizer);
    EXPECT_EQ(w.split->getLeftView(), w.left);

    const auto dragTo = [&](int x) {
        const QPoint start = w.resizer->rect().center();
        QTest::mousePress(w.resizer, Qt::LeftButton, {}, start);
        EXPECT_TRUE(w.resizer->inResizeAction());
        QMouseEvent move(QEvent::MouseMove, w.resizer->mapFrom(&w.window, QPointF(x, 10)),
                         w.window.mapToGlobal(QPointF(x, 10)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.resizer, &move);
        QTest::mouseRelease(w.resizer, Qt::LeftButton, {}, w.resizer->rect().center());
        EXPECT_FALSE(w.resizer->inResizeAction());
        return w.split->sizes().at(0);
    };
    EXPECT_EQ(dragTo(250), 250);
    EXPECT_EQ(dragTo(550), 400);
    EXPECT_EQ(dragTo(40), 120);

    // The divider takes focus and the arrow keys move it within the limits.
    QSplitterHandle* handle = w.split->handle(1);
    EXPECT_NE(handle->focusPolicy() & Qt::TabFocus, 0);
    EXPECT_FALSE(handle->accessibleName().isEmpty());
    QTest::keyClick(handle, Qt::Key_Right);
    EXPECT_EQ(w.split->sizes().at(0), 130);
    QTest::keyClick(handle, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(w.split->sizes().at(0), 120);
}

TEST(SplitViewTest, ThicknessAndPlainBehaviour)
{
    OneLineSplitView line;
    EXPECT_EQ(line.dividerThickness(), 1);
    EXPECT_EQ(line.handleWidth(), 1);
    EXPECT_FALSE(line.drawsDivider());

    BetterSplitView plain;
    QSplitter reference;
    EXPECT_EQ(plain.dividerThickness(), reference.handleWidth());
    EXPECT_EQ(plain.handleWidth(), reference.handleWidth());
    EXPECT_TRUE(plain.drawsDivider());
    plain.setThickness(0);
    EXPECT_EQ(plain.handleWidth(), reference.handleWidth());
    EXPECT_TRUE(plain.drawsDivider());

    // Without a grip a drag anywhere is the splitter's own; a grip outside
    // a split view is a plain image.
    SplitWindow w(new BetterSplitView, false);
    w.split->awakeFromNib();
    EXPECT_EQ(w.split->resizerButton(), nullptr);
    EXPECT_EQ(w.split->getLeftView(), nullptr);
    ResizerButtonView loose;
    EXPECT_EQ(loose.getSplittView(), nullptr);
    QTest::mousePress(&loose, Qt::LeftButton);
    EXPECT_FALSE(loose.inResizeAction());
}

} // namespace
