#include "widgets/FooterToolBarView.h"

#include "platform/gui/Coordinates.h"
#include "platform/gui/TestArtifacts.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

TEST(FooterToolBarViewTest, BadgeOutlineStartsAndEndsOnWholePoints)
{
    // A badge on (10.6, 5.5, 30.7, 18.2) with radius 9, origin bottom-left.
    const QPainterPath path = FooterToolBarView::drawBadge(nullptr, QRectF(10.6, 5.5, 30.7, 18.2), Qt::red, true, 9);
    ASSERT_GT(path.elementCount(), 0);
    EXPECT_EQ(QPointF(path.elementAt(0)), QPointF(25, 5));
    const QRectF bounds = path.boundingRect();
    EXPECT_NEAR(bounds.right(), 41, 1e-6);
    EXPECT_NEAR(bounds.bottom(), 23, 1e-6);   // the top edge, y growing upwards
    EXPECT_NEAR(bounds.left(), 10, 1e-6);
    EXPECT_NEAR(bounds.top(), 5, 1e-6);
    // The same badge drawn in a 40-point-high view, mapped through the one
    // coordinate helper, covers the same points seen from the top.
    const QPainterPath onScreen = platform::gui::flipPath(path, 40);
    EXPECT_NEAR(onScreen.boundingRect().top(), 40 - 23, 1e-6);
    EXPECT_NEAR(onScreen.boundingRect().bottom(), 40 - 5, 1e-6);
}

TEST(FooterToolBarViewTest, BadgeCornersAreRoundedWithTheRadius)
{
    const QRectF rect(0, 0, 60, 20);
    const QPainterPath rounded = FooterToolBarView::badgePath(rect, 8);
    EXPECT_FALSE(rounded.contains(QPointF(0.5, 0.5)));       // cut corner
    EXPECT_TRUE(rounded.contains(QPointF(30, 10)));
    EXPECT_TRUE(rounded.contains(QPointF(8, 1)));
    const QPainterPath square = FooterToolBarView::badgePath(rect, 0);
    EXPECT_EQ(square.boundingRect(), rect);
    EXPECT_TRUE(square.contains(QPointF(0.5, 0.5)));

    // Without fill the routine only sets the colour.
    QImage canvas(60, 20, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    FooterToolBarView::drawBadge(&painter, rect, Qt::blue, false, 8);
    EXPECT_EQ(painter.brush().color(), QColor(Qt::blue));
    painter.end();
    EXPECT_EQ(canvas.pixelColor(30, 10).alpha(), 0);
}

TEST(FooterToolBarViewTest, BarMadeInCodeIsLightGreyWithDarkGreyFrame)
{
    FooterToolBarView bar;
    bar.resize(120, 24);
    EXPECT_EQ(bar.drawType(), uint(FooterToolBarView::FillColor));
    EXPECT_NEAR(bar.fillColor().valueF(), 0.88, 1e-4);
    EXPECT_EQ(bar.fillColor().saturation(), 0);
    EXPECT_EQ(bar.frameColor(), QColor(Qt::darkGray));
    EXPECT_TRUE(bar.drawsFrame());
    EXPECT_EQ(bar.backgroundPath().boundingRect(), QRectF(0, 0, 120, 24));
}

TEST(FooterToolBarViewTest, BackgroundAndFrameFollowTheSettings)
{
    struct Case {
        const char* what;
        uint type;
        bool colour;
        bool pattern;
        qreal oval;
        bool background;
        bool frame;
    };
    const Case cases[] = {
        {"colour field", 1, true, false, 0, true, true},
        {"type 1 without colour", 1, false, true, 0, false, true},
        {"type 2 without pattern", 2, true, false, 0, false, true},
        {"pattern", 2, false, true, 0, true, true},
        {"rounded field, no frame", 1, true, false, 6, true, false},
        {"no background type", 0, true, true, 0, false, true},
    };
    for (const Case& c : cases) {
        FooterToolBarView bar;
        bar.resize(80, 20);
        bar.setDrawType(c.type);
        bar.setFillColor(c.colour ? QColor(Qt::yellow) : QColor());
        bar.setFillPatternColor(c.pattern ? QImage(4, 4, QImage::Format_RGB32) : QImage());
        bar.setDrawOval(c.oval);
        EXPECT_EQ(!bar.backgroundPath().isEmpty(), c.background) << c.what;
        EXPECT_EQ(bar.drawsFrame(), c.frame) << c.what;
    }
}

TEST(FooterToolBarViewTest, BarFromAFormStartsClearAndTakesItsSettingsByKey)
{
    FooterToolBarView bar(nullptr, FooterToolBarView::Origin::FromInterface);
    bar.resize(80, 20);
    EXPECT_EQ(bar.drawType(), 0u);
    EXPECT_FALSE(bar.fillColor().isValid());
    EXPECT_TRUE(bar.backgroundPath().isEmpty());
    EXPECT_FALSE(bar.drawsFrame());
    EXPECT_EQ(bar.property("FooterFillImage").toString(), QString());

    EXPECT_TRUE(bar.setProperty("FooterDrawType", 2u));
    EXPECT_TRUE(bar.setProperty("FooterFillImage", QStringLiteral("FooterPattern")));
    EXPECT_FALSE(bar.patternImage().isNull());
    EXPECT_EQ(bar.property("FooterFillImage").toString(), QStringLiteral("FooterPattern"));
    EXPECT_FALSE(bar.backgroundPath().isEmpty());
    // A pattern given in code has no name.
    bar.setFillPatternColor(QImage(2, 2, QImage::Format_RGB32));
    EXPECT_EQ(bar.property("FooterFillImage").toString(), QString());
    EXPECT_TRUE(bar.setProperty("FooterFillImage", QString()));
    EXPECT_TRUE(bar.patternImage().isNull());
}

// Badges as the windows draw them, saved for a reviewer.
class BadgeCanvas : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal radii[] = {4, 8, 9, 12};
        qreal x = 6;
        for (qreal radius : radii) {
            const QRectF badge(x, 6, 40, 22);
            FooterToolBarView::drawBadge(&painter, badge, QColor(200, 40, 40), true, radius);
            painter.setPen(Qt::white);
            painter.drawText(badge, Qt::AlignCenter, QString::number(int(radius)));
            x += 50;
        }
    }
};

TEST(FooterToolBarViewTest, SavesBadgePicture)
{
    BadgeCanvas canvas;
    canvas.resize(210, 34);
    EXPECT_FALSE(platform::gui::saveGrab(&canvas, QStringLiteral("badges")).isEmpty());
    FooterToolBarView bar;
    bar.resize(200, 24);
    EXPECT_FALSE(platform::gui::saveGrab(&bar, QStringLiteral("footer-bar")).isEmpty());
}

} // namespace
