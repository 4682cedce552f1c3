#include "devicewindow/AnimatedHistoryContainer.h"
#include "devicewindow/AnimatedTextCell.h"
#include "devicewindow/DorvantiWindow.h"
#include "devicewindow/PleaseWaitOverlayView.h"

#include "VirtualTime.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/BusyModalSession.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

using testing_support::runFor;

// A key press and a left click reach a line edit inside window only when the
// window lets them.
bool typingReaches(QWidget* /*window*/, QLineEdit* edit)
{
    edit->clear();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A);
    return edit->text() == QLatin1String("a");
}

struct OverlayWindow {
    explicit OverlayWindow(QWidget* window) : window(window)
    {
        auto* layout = new QVBoxLayout(window);
        edit = new QLineEdit(window);
        layout->addWidget(edit);
        content = new QWidget(window);
        layout->addWidget(content);
        window->resize(400, 300);
        window->show();
    }
    QWidget* window;
    QLineEdit* edit = nullptr;
    QWidget* content = nullptr;
};

TEST(PleaseWaitOverlay, BlocksOnlyAPhoneWindowAndUnblocksWhenItGoes)
{
    DorvantiWindow phoneWindow;
    OverlayWindow phone(&phoneWindow);
    QWidget plainWindow;
    OverlayWindow plain(&plainWindow);

    {
        PleaseWaitOverlayView overlay;
        overlay.SetToOverlayView(plain.content);
        EXPECT_TRUE(overlay.IsInOverlay());
        EXPECT_EQ(overlay.blockedWindow(), nullptr) << "an ordinary window knows no blocking";
        EXPECT_TRUE(typingReaches(&plainWindow, plain.edit));
        overlay.SetToOverlayView(nullptr);
    }

    auto overlay = std::make_unique<PleaseWaitOverlayView>();
    overlay->SetToOverlayView(phone.content);
    EXPECT_TRUE(phoneWindow.blocksEvents());
    EXPECT_FALSE(typingReaches(&phoneWindow, phone.edit)) << "key presses are kept away";
    int clicks = 0;
    auto* button = new QPushButton(QStringLiteral("Go"), &phoneWindow);
    button->show();
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 0) << "left clicks are kept away";

    // The close runs from the main-thread queue, after the running call.
    overlay->closeTheOverlay();
    EXPECT_TRUE(overlay->IsInOverlay()) << "not inside the call that asked";
    runFor(0.01);
    EXPECT_FALSE(overlay->IsInOverlay());
    EXPECT_FALSE(phoneWindow.blocksEvents());
    EXPECT_TRUE(typingReaches(&phoneWindow, phone.edit));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);

    // Destroyed while shown: the window is usable again.
    overlay->SetToOverlayView(phone.content);
    ASSERT_TRUE(phoneWindow.blocksEvents());
    overlay.reset();
    EXPECT_FALSE(phoneWindow.blocksEvents());
    EXPECT_TRUE(typingReaches(&phoneWindow, phone.edit));
}

TEST(PleaseWaitOverlay, EndsItsModalSessionWhenTakenAway)
{
    DorvantiWindow phoneWindow;
    OverlayWindow phone(&phoneWindow);
    PleaseWaitOverlayView overlay;
    overlay.SetToOverlayView(phone.content);
    int ended = 0;
    std::unique_ptr<BusyModalSession> session = BusyModalSession::start(&overlay, [&ended] { ++ended; });
    ASSERT_TRUE(session);
    overlay.setBusyOverlaySession(session.get());
    overlay.SetToOverlayView(phone.content);   // moved, still shown: the session runs on
    EXPECT_EQ(ended, 0);
    overlay.SetToOverlayView(nullptr);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(session->isEnded());
    EXPECT_EQ(overlay.busyOverlaySession(), nullptr) << "and forgotten";

    // Destroyed while shown with a session: the session ends with it.
    auto shown = std::make_unique<PleaseWaitOverlayView>();
    shown->SetToOverlayView(phone.content);
    std::unique_ptr<BusyModalSession> second = BusyModalSession::start(shown.get(), [&ended] { ++ended; });
    ASSERT_TRUE(second);
    shown->setBusyOverlaySession(second.get());
    shown.reset();
    EXPECT_EQ(ended, 2);
    EXPECT_TRUE(second->isEnded());
}

// The strip is 300 x 400: mid = 200, W = 300.
struct StripFixture {
    StripFixture()
    {
        strip.resize(300, 400);
        for (const char* date : {"1 Mar", "2 Mar", "3 Mar", "4 Mar"})
            strip.addHistory(QLatin1String(date));
    }
    AnimatedTextCell* cell(int index) const { return strip.cells().at(index); }
    AnimatedHistoryContainer strip;
};

TEST(HistoryStrip, LaysOutBeforeSelectedAndAfterCells)
{
    struct Case {
        int selected;
        QList<QRectF> frames;
        QList<qreal> sizes, greys, alphas;
    };
    const QRectF selected(10, 179, 190, 42);
    const auto before = [](int k) { return QRectF(30, 235 + 32 * k, 130, 30); };
    const auto after = [](int k) { return QRectF(30, 144 - 32 * k, 160, 30); };
    const Case cases[] = {
        // The first date: nothing before it.
        {0, {selected, after(0), after(1), after(2)}, {14, 10, 10, 10}, {0, 0.7, 0.7, 0.7}, {1.0, 0.12, 0.12, 0.12}},
        // The last date: nothing after it; the one just before is nearest.
        {3, {before(2), before(1), before(0), selected}, {10, 10, 10, 14}, {0.2, 0.2, 0.2, 0}, {0.7, 0.7, 0.7, 1.0}},
        {1, {before(0), selected, after(0), after(1)}, {10, 14, 10, 10}, {0.2, 0, 0.7, 0.7}, {0.7, 1.0, 0.12, 0.12}},
    };
    for (const Case& c : cases) {
        StripFixture f;
        f.strip.setSelectedDate(c.selected);
        EXPECT_TRUE(f.strip.isAnimating());
        runFor(0.6);
        EXPECT_FALSE(f.strip.isAnimating());
        for (int index = 0; index < 4; ++index) {
            SCOPED_TRACE(QStringLiteral("selected %1 cell %2").arg(c.selected).arg(index).toStdString());
            EXPECT_EQ(f.cell(index)->animatedFrame(), c.frames.at(index));
            EXPECT_DOUBLE_EQ(f.cell(index)->pointSize(), c.sizes.at(index));
            EXPECT_DOUBLE_EQ(f.cell(index)->textGrey(), c.greys.at(index));
            EXPECT_DOUBLE_EQ(f.cell(index)->backAlpha(), c.alphas.at(index));
            // Only the one that reached full alpha fills white.
            const QColor fill = f.cell(index)->fillColor();
            EXPECT_NEAR(fill.redF(), c.alphas.at(index) == 1.0 ? 1.0 : 0.78, 0.01);
            EXPECT_NEAR(fill.alphaF(), c.alphas.at(index), 0.01);
        }
    }
}

TEST(HistoryStrip, ReselectingDuringASlideStartsFromTheCurrentPlaces)
{
    StripFixture f;
    f.strip.setSelectedDate(0);
    runFor(0.6);
    f.strip.setSelectedDate(3);
    runFor(0.2);
    ASSERT_TRUE(f.strip.isAnimating());
    const QRectF midway = f.cell(0)->animatedFrame();
    const qreal midAlpha = f.cell(0)->backAlpha();
    EXPECT_NE(midway, QRectF(10, 179, 190, 42));
    EXPECT_NE(midway, QRectF(30, 299, 130, 30));
    f.strip.setSelectedDate(1);
    // The new slide starts where the cells are now, not where they were
    // headed or where they started.
    f.cell(0)->doAnimate(0);
    EXPECT_EQ(f.cell(0)->animatedFrame(), midway);
    EXPECT_DOUBLE_EQ(f.cell(0)->backAlpha(), midAlpha);
    runFor(0.6);
    EXPECT_EQ(f.cell(0)->animatedFrame(), QRectF(30, 235, 130, 30));
    EXPECT_EQ(f.cell(1)->fillColor().redF() > 0.99, true);
}

TEST(HistoryStrip, ArrowKeysWalkTheDatesAndClearLeavesNoCell)
{
    StripFixture f;
    f.strip.show();
    f.strip.setSelectedDate(3);
    runFor(0.6);
    QSignalSpy chosen(&f.strip, &AnimatedHistoryContainer::dateChosen);
    QTest::keyClick(&f.strip, Qt::Key_Up);
    QTest::keyClick(&f.strip, Qt::Key_Up);
    EXPECT_EQ(f.strip.selectedDate(), 1);
    QTest::keyClick(&f.strip, Qt::Key_Down);
    QTest::keyClick(&f.strip, Qt::Key_Home);
    QTest::keyClick(&f.strip, Qt::Key_Up);   // already the first: nothing
    ASSERT_EQ(chosen.count(), 4);
    EXPECT_EQ(chosen.at(3).at(0).toInt(), 0);
    runFor(0.6);
    EXPECT_FALSE(platform::gui::saveGrab(&f.strip, QStringLiteral("devicewindow-history-strip")).isEmpty());

    QPointer<AnimatedTextCell> first = f.cell(0);
    f.strip.setSelectedDate(2);
    f.strip.clearHistoryView();
    EXPECT_TRUE(f.strip.cells().isEmpty());
    EXPECT_TRUE(first.isNull()) << "the cells are gone from the view";
    EXPECT_FALSE(f.strip.isAnimating());
    runFor(0.6);   // no slide reaches the removed cells
}

} // namespace
