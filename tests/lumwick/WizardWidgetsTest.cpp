// The pie indicator's drawing decisions, the gradient's colours and the table
// of live row widgets.
#include "lumwick/ColorStopGradient.h"
#include "lumwick/DeviceExpert.h"
#include "lumwick/PieProgressIndicator.h"
#include "lumwick/RadialBackdropView.h"
#include "lumwick/SubviewTableViewController.h"
#include "platform/Coder.h"
#include "platform/Exception.h"
#include "platform/gui/TestArtifacts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(Pie, DefaultsMatchTheWizardsLook)
{
    PieProgressIndicator pie;
    EXPECT_EQ(pie.doubleValue(), 25);
    EXPECT_EQ(pie.frameWidth(), 2);
    EXPECT_FALSE(pie.isHalted());
    EXPECT_FALSE(pie.useSteps());
    EXPECT_EQ(pie.stepAngle(), 18);
    EXPECT_FALSE(pie.overFillFirstStep());
    EXPECT_EQ(pie.backgroundColor().alpha(), 0);
    for (const QColor& c : {pie.frameColor(), pie.wedgeColor()}) {
        EXPECT_NEAR(c.redF(), 0.933, 1e-3);
        EXPECT_NEAR(c.greenF(), 0.49, 1e-3);
        EXPECT_NEAR(c.blueF(), 0.149, 1e-3);
        EXPECT_EQ(c.alphaF(), 1.0);
    }
    EXPECT_FALSE(pie.haltedImage().isNull());
}

TEST(Pie, AngleAndStrokesFollowValueAndSteps)
{
    const struct {
        double value;
        bool steps;
        bool overFill;
        double angle;
        bool wedge;
        bool wedgeStroke;
    } cases[] = {
        {0, false, false, 0, false, false},      // minimum: background and frame only
        {25, false, false, 90, true, true},
        {100, false, false, 360, true, false},   // full: the wedge is not stroked
        {1, true, true, 18, true, true},         // one step, over-filled
        {1, true, false, 0, false, false},       // below one step without over-fill
        {12, true, false, 36, true, true},       // 43.2 degrees cut to whole steps
        {12, true, true, 36, true, true},        // over-fill only touches the first step
        {150, false, false, 360, true, false},   // beyond the maximum stays full
    };
    for (const auto& c : cases) {
        PieProgressIndicator pie;
        pie.setDoubleValue(c.value);
        pie.setUseSteps(c.steps);
        pie.setOverFillFirstStep(c.overFill);
        const PieProgressIndicator::Plan plan = pie.plan();
        EXPECT_TRUE(plan.background && plan.frame);
        EXPECT_NEAR(plan.angle, c.angle, 1e-9) << c.value;
        EXPECT_EQ(plan.wedge, c.wedge) << c.value;
        EXPECT_EQ(plan.wedgeStroke, c.wedgeStroke) << c.value;
    }
    PieProgressIndicator halted;
    halted.setHalted(true);
    const PieProgressIndicator::Plan plan = halted.plan();
    EXPECT_TRUE(plan.haltedImage);
    EXPECT_FALSE(plan.background || plan.wedge || plan.frame);
}

TEST(Pie, StepCountAndStepAngleAreTwoViewsOfOneSetting)
{
    PieProgressIndicator pie;
    EXPECT_EQ(pie.stepCount(), 0);
    pie.setStepCount(8);
    EXPECT_TRUE(pie.useSteps());
    EXPECT_EQ(pie.stepAngle(), 45);
    EXPECT_EQ(pie.stepCount(), 8);
    pie.setStepCount(0);
    EXPECT_FALSE(pie.useSteps());
    EXPECT_EQ(pie.stepCount(), 0);
}

TEST(Pie, ArtifactsAQuarterPieAndARowOfEveryStatusIcon)
{
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    auto* pie = new QVProgressPie;
    pie->setFixedSize(32, 32);
    layout->addWidget(pie);
    for (int kind : {0, 1, 2, 3, 10, 11}) {
        auto* icon = new QVImageViewer;
        icon->setFixedSize(16, 16);
        icon->setImage(DeviceExpert().getStatusIcon(kind));
        layout->addWidget(icon);
    }
    row.resize(200, 40);
    EXPECT_TRUE(pie->testAttribute(Qt::WA_TransparentForMouseEvents));   // clicks reach the row
    EXPECT_FALSE(platform::gui::saveGrab(pie, QStringLiteral("lumwick-pie-25")).isEmpty());
    EXPECT_FALSE(platform::gui::saveGrab(&row, QStringLiteral("lumwick-status-icons")).isEmpty());
}

void expectColor(const QColor& c, double r, double g, double b, double a = 1.0)
{
    EXPECT_NEAR(c.redF(), r, 1e-3);
    EXPECT_NEAR(c.greenF(), g, 1e-3);
    EXPECT_NEAR(c.blueF(), b, 1e-3);
    EXPECT_NEAR(c.alphaF(), a, 1e-3);
}

TEST(Gradient, LinearColoursInsideAndOutsideTheStops)
{
    expectColor(ColorStopGradient().colorAtPosition(0.3f), 1, 1, 1);
    const ColorStopGradient g = ColorStopGradient()
                                    .addColorStop(QColor::fromRgbF(1, 0, 0), 0.25f)
                                    .addColorStop(QColor::fromRgbF(0, 0, 1, 0.5f), 0.75f);
    const struct {
        float position;
        double r, g, b, a;
    } cases[] = {{0, 1, 0, 0, 1}, {0.25f, 1, 0, 0, 1}, {0.5f, 0.5, 0, 0.5, 0.75}, {0.75f, 0, 0, 1, 0.5}, {1, 0, 0, 1, 0.5}};
    for (const auto& c : cases)
        expectColor(g.colorAtPosition(c.position), c.r, c.g, c.b, c.a);

    const ColorStopGradient unified = ColorStopGradient::unifiedSelectedGradient();
    ASSERT_EQ(unified.count(), 2);
    expectColor(unified.colorStopAtIndex(0), 0.85, 0.85, 0.85);
    expectColor(unified.colorStopAtIndex(1), 0.95, 0.95, 0.95);
    EXPECT_EQ(unified.stops()[1].position, 1.0f);
}

TEST(Gradient, ChromaticBlendsGoAroundTheHueCircleInOppositeDirections)
{
    // Red to blue: up the circle through green, down it through magenta.
    const ColorStopGradient redToBlue =
        ColorStopGradient::gradientWithBeginningColor(QColor::fromRgbF(1, 0, 0), QColor::fromRgbF(0, 0, 1));
    const QColor up = redToBlue.gradientWithBlendingMode(ColorStopGradient::Chromatic).colorAtPosition(0.5f);
    const QColor down = redToBlue.gradientWithBlendingMode(ColorStopGradient::InverseChromatic).colorAtPosition(0.5f);
    EXPECT_NEAR(up.hueF(), 1.0 / 3, 1e-3);   // green
    EXPECT_NEAR(down.hueF(), 5.0 / 6, 1e-3);   // magenta
    EXPECT_EQ(redToBlue.blendingMode(), ColorStopGradient::Linear);   // the receiver stays
}

TEST(Gradient, StopsStaySortedEqualPositionsKeepInsertionOrder)
{
    const ColorStopGradient g = ColorStopGradient()
                                    .addColorStop(Qt::red, 0.5f)
                                    .addColorStop(Qt::blue, 0.2f)
                                    .addColorStop(Qt::green, 0.5f);
    ASSERT_EQ(g.count(), 3);
    EXPECT_EQ(g.colorStopAtIndex(0), QColor(Qt::blue));
    EXPECT_EQ(g.colorStopAtIndex(1), QColor(Qt::red));
    EXPECT_EQ(g.colorStopAtIndex(2), QColor(Qt::green));
    EXPECT_EQ(g.removeColorStopAtPosition(0.2f).count(), 2);
    EXPECT_EQ(g.removeColorStopAtIndex(0).colorStopAtIndex(0), QColor(Qt::red));
    EXPECT_EQ(g.count(), 3);   // the receiver stays
    expectColor(g.gradientWithAlphaComponent(0.25f).colorStopAtIndex(2), 0, 1, 0, 0.25);
}

TEST(Gradient, RemovingWhatIsNotThereIsARangeError)
{
    const ColorStopGradient g = ColorStopGradient::unifiedSelectedGradient();
    const struct {
        std::function<void()> act;
        const char* reason;
    } cases[] = {
        {[&] { g.removeColorStopAtPosition(0.5f); },
         "-[ColorStopGradient removeColorStopAtPosition:]: no such colorStop at position (0.500000)"},
        {[&] { g.removeColorStopAtIndex(2); }, "-[ColorStopGradient removeColorStopAtIndex:]: index (2) beyond bounds"},
        {[&] { g.removeColorStopAtIndex(-1); }, "-[ColorStopGradient removeColorStopAtIndex:]: index (-1) beyond bounds"},
        {[&] { g.colorStopAtIndex(5); }, "-[ColorStopGradient colorStopAtIndex:]: index (5) beyond bounds"},
    };
    for (const auto& c : cases) {
        try {
            c.act();
            ADD_FAILURE() << "no exception: " << c.reason;
        } catch (const platform::Exception& e) {
            EXPECT_EQ(e.name(), "NSRangeException");
            EXPECT_EQ(e.reason(), c.reason);
        }
    }
}

TEST(Pie, AnArchiveKeepsWhatWasSetAndMalformedValuesKeepTheDefaults)
{
    PieProgressIndicator original;
    original.setFrameWidth(3.5);
    original.setFrameColor(QColor::fromRgbF(0.1f, 0.2f, 0.3f, 1.0f));
    original.setWedgeColor(QColor::fromRgbF(0.4f, 0.5f, 0.6f, 0.5f));
    original.setBackgroundColor(QColor::fromRgbF(1, 1, 1, 0.25f));
    original.setStepCount(8);
    original.setOverFillFirstStep(true);
    original.setDoubleValue(60);
    platform::Coder coder;
    original.encodeWithCoder(coder);
    std::optional<platform::Coder> reading = platform::Coder::fromArchivedData(coder.archivedData());
    ASSERT_TRUE(reading);

    QVProgressPie copy;   // the row pie reads the same archive
    copy.decodeWithCoder(*reading);
    EXPECT_EQ(copy.frameWidth(), 3.5);
    EXPECT_EQ(copy.frameColor(), original.frameColor());
    EXPECT_EQ(copy.wedgeColor(), original.wedgeColor());
    EXPECT_EQ(copy.backgroundColor(), original.backgroundColor());
    EXPECT_TRUE(copy.useSteps());
    EXPECT_EQ(copy.stepAngle(), 45);
    EXPECT_TRUE(copy.overFillFirstStep());
    EXPECT_EQ(copy.doubleValue(), 60);

    // Keys absent or of the wrong kind: the defaults stay.
    const PieProgressIndicator defaults;
    const QVariantMap malformed{{"frameWidth", "wide"},
                                {"frameColor", QVariantList{0.1, 0.2}},
                                {"wedgeColor", QVariantList{0.1, 0.2, 7.0, 1.0}},
                                {"useSteps", 1},
                                {"stepAngle", 0.0},
                                {"minValue", 10.0},
                                {"maxValue", 5.0}};
    PieProgressIndicator fallback;
    fallback.decodeWithCoder(*platform::Coder::fromArchive(malformed));
    EXPECT_EQ(fallback.frameWidth(), defaults.frameWidth());
    EXPECT_EQ(fallback.frameColor(), defaults.frameColor());
    EXPECT_EQ(fallback.wedgeColor(), defaults.wedgeColor());
    EXPECT_EQ(fallback.useSteps(), defaults.useSteps());
    EXPECT_EQ(fallback.stepAngle(), defaults.stepAngle());
    EXPECT_EQ(fallback.minValue(), 0);
    EXPECT_EQ(fallback.maxValue(), 100);
    EXPECT_EQ(fallback.doubleValue(), 25);
}

TEST(Gradient, AnArchiveGivesBackStopsInOrderAndModeAndRefusesWhatIsNotWhole)
{
    const ColorStopGradient original = ColorStopGradient::unifiedSelectedGradient()
                                           .addColorStop(QColor::fromRgbF(1, 0, 0, 0.5f), 0.5f)
                                           .addColorStop(QColor::fromRgbF(0, 0, 1, 1), 0.5f)
                                           .gradientWithBlendingMode(ColorStopGradient::InverseChromatic);
    platform::Coder coder;
    original.encodeWithCoder(coder);
    // The stops as five unkeyed numbers each, then the two keys.
    const QVariantMap archive = coder.archive().toMap();
    EXPECT_EQ(archive.value("ColorStopGradientElementCount").toInt(), 4);
    EXPECT_EQ(archive.value("ColorStopGradientBlendingMode").toInt(), 2);
    std::optional<platform::Coder> reading = platform::Coder::fromArchivedData(coder.archivedData());
    ASSERT_TRUE(reading);
    const std::optional<ColorStopGradient> copy = ColorStopGradient::initWithCoder(*reading);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->blendingMode(), ColorStopGradient::InverseChromatic);
    ASSERT_EQ(copy->count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(copy->stops()[i].position, original.stops()[i].position) << i;
        EXPECT_EQ(copy->colorStopAtIndex(i), original.colorStopAtIndex(i)) << i;
    }

    platform::Coder sequential(platform::Coder::Kind::Sequential);
    try {
        original.encodeWithCoder(sequential);
        ADD_FAILURE() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.name(), "NSInvalidArchiveOperationException");
        EXPECT_EQ(e.reason(), "Only supports NSKeyedArchiver coders");
    }

    const QVariantList oneStop{0.1, 0.2, 0.3, 1.0, 0.5};
    const struct {
        const char* why;
        QVariantMap archive;
    } bad[] = {
        {"more stops counted than numbers given",
         {{"ColorStopGradientBlendingMode", 0}, {"ColorStopGradientElementCount", 2}, {"$unkeyed", oneStop}}},
        {"a negative count", {{"ColorStopGradientBlendingMode", 0}, {"ColorStopGradientElementCount", -1}}},
        {"an unknown mode",
         {{"ColorStopGradientBlendingMode", 3}, {"ColorStopGradientElementCount", 1}, {"$unkeyed", oneStop}}},
        {"a position beyond 1",
         {{"ColorStopGradientBlendingMode", 0},
          {"ColorStopGradientElementCount", 1},
          {"$unkeyed", QVariantList{0.1, 0.2, 0.3, 1.0, 1.5}}}},
        {"a text among the numbers",
         {{"ColorStopGradientBlendingMode", 0},
          {"ColorStopGradientElementCount", 1},
          {"$unkeyed", QVariantList{0.1, "red", 0.3, 1.0, 0.5}}}},
        {"no count", {{"ColorStopGradientBlendingMode", 0}}},
    };
    for (const auto& b : bad) {
        std::optional<platform::Coder> reader = platform::Coder::fromArchive(b.archive);
        ASSERT_TRUE(reader) << b.why;
        EXPECT_FALSE(ColorStopGradient::initWithCoder(*reader)) << b.why;
    }
}

TEST(Gradient, FillsCoverTheRectangleAndTheBackdropSkipsLowAreas)
{
    QImage image(40, 20, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        ColorStopGradient::gradientWithBeginningColor(Qt::black, Qt::white).fillRect(painter, image.rect(), 0);
    }
    EXPECT_LT(qGray(image.pixel(0, 10)), 20);     // the left edge starts black
    EXPECT_GT(qGray(image.pixel(39, 10)), 235);   // the right edge ends white
    EXPECT_EQ(qAlpha(image.pixel(20, 0)), 255);   // nothing left uncovered

    EXPECT_FALSE(RadialBackdropView::drawsArea(QRect(0, 0, 300, 50)));
    EXPECT_TRUE(RadialBackdropView::drawsArea(QRect(0, 0, 300, 51)));
}

struct RowSource : SubviewTableViewControllerDataSourceProtocol {
    QList<int> heights;
    int numberOfRows() override { return int(heights.size()); }
    QWidget* viewForRow(int row) override
    {
        if (heights[row] < 0)
            return nullptr;
        auto* label = new QLabel(QStringLiteral("row %1").arg(row));
        label->resize(100, heights[row]);
        return label;
    }
};
struct SizedRowSource : RowSource, SubviewTableViewRowHeights {};

TEST(SubviewTable, OneLiveWidgetPerRowWithHeightsByDelegate)
{
    const struct {
        bool wantsHeights;
        bool dynamic;
        QList<int> expected;
    } cases[] = {
        {false, true, {16, 16, 16}},   // a delegate without row heights
        {true, true, {30, 44, 16}},    // a row without a widget takes 16
        {true, false, {16, 16, 16}},   // the plain controller never sizes rows
    };
    for (const auto& c : cases) {
        QTableView table;
        RowSource plain;
        SizedRowSource sized;
        RowSource& source = c.wantsHeights ? static_cast<RowSource&>(sized) : plain;
        source.heights = {30, 44, -1};
        std::unique_ptr<SubviewTableViewController> controller;
        if (c.dynamic)
            controller = std::make_unique<DynHeightSubviewTableViewController>(&table);
        else
            controller = std::make_unique<SubviewTableViewController>(&table);
        controller->setDelegate(c.wantsHeights ? static_cast<SubviewTableViewControllerDataSourceProtocol*>(&sized)
                                               : &plain);
        controller->reloadTableView();
        ASSERT_EQ(table.model()->rowCount(), 3);
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(table.rowHeight(row), c.expected[row]) << row;
        EXPECT_EQ(table.indexWidget(table.model()->index(0, 0)), controller->viewForRow(0));
        EXPECT_EQ(controller->viewForRow(2), nullptr);
        controller.release();   // owned by the table
    }
}

TEST(SubviewTable, ReloadReplacesTheRowsWidgetsAndArrowKeysMoveBetweenRows)
{
    QTableView table;
    RowSource source;
    source.heights = {20, 20, 20};
    auto* controller = new SubviewTableViewController(&table);
    controller->setDelegate(&source);
    controller->reloadTableView();
    QPointer<QWidget> first = controller->viewForRow(0);
    source.heights = {20};
    controller->reloadTableView();
    EXPECT_EQ(table.model()->rowCount(), 1);
    EXPECT_TRUE(first.isNull());   // the old widget is gone
    EXPECT_NE(controller->viewForRow(0), nullptr);

    source.heights = {20, 20, 20};
    controller->reloadTableView();
    table.show();
    table.setFocus();
    table.setCurrentIndex(table.model()->index(0, 0));
    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_EQ(table.currentIndex().row(), 1);
}

} // namespace
