#include "widgets/BlendGradient.h"
#include "widgets/MirroredImageView.h"
#include "widgets/MirroredText.h"
#include "widgets/MirrovanceWindow.h"
#include "widgets/NSGreyButton.h"
#include "widgets/QVLargeSpinProgress.h"
#include "widgets/WhiteButton.h"

#include "platform/gui/Interface.h"
#include "platform/gui/TestArtifacts.h"
#include "widgets/WidgetClasses.h"
#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include <gtest/gtest.h>

namespace {

using testing_support::runFor;

TEST(BlendGradient, BlendsLinearlyAndHoldsTheEnds)
{
    const BlendGradient gradient(QColor::fromRgbF(0, 0, 0, 1.0), QColor::fromRgbF(1, 0.5, 0, 0.6));
    const std::pair<qreal, QColor> cases[] = {
        {-1, QColor::fromRgbF(0, 0, 0, 1.0)},   {0, QColor::fromRgbF(0, 0, 0, 1.0)},
        {0.5, QColor::fromRgbF(0.5, 0.25, 0, 0.8)}, {1, QColor::fromRgbF(1, 0.5, 0, 0.6)},
        {2, QColor::fromRgbF(1, 0.5, 0, 0.6)},
    };
    for (const auto& [t, colour] : cases) {
        const QColor got = gradient.blendLinearEvaluation(t);
        EXPECT_NEAR(got.redF(), colour.redF(), 1e-3) << t;
        EXPECT_NEAR(got.greenF(), colour.greenF(), 1e-3) << t;
        EXPECT_NEAR(got.alphaF(), colour.alphaF(), 1e-3) << t;
    }
}

TEST(QVLargeSpinProgress, OneSharedTickAdvancesEverySpinner)
{
    QVLargeSpinProgress a;
    QVLargeSpinProgress b;
    ASSERT_EQ(a.frames().size(), size_t(QVLargeSpinProgress::kFrameCount));
    const int before = QVLargeSpinProgress::spinningCount();
    QVLargeSpinProgress::addSpinning(&a);
    QVLargeSpinProgress::addSpinning(&a);
    EXPECT_EQ(QVLargeSpinProgress::spinningCount(), before + 1) << "the same view is listed once";
    QVLargeSpinProgress::removeSpinning(&b);
    EXPECT_EQ(QVLargeSpinProgress::spinningCount(), before + 1) << "removing a view that does not spin changes nothing";

    b.startAnimation();
    runFor(QVLargeSpinProgress::kTickSeconds * 3 + 0.01);
    EXPECT_EQ(a.spinIndex(), 2);
    EXPECT_EQ(b.spinIndex(), 2);
    runFor(QVLargeSpinProgress::kTickSeconds * 10);
    EXPECT_EQ(a.spinIndex(), 0) << "twelve frames, then round again";
    EXPECT_FALSE(a.currentFrame().isNull());

    a.stopAnimation();
    b.stopAnimation();
    EXPECT_TRUE(a.currentFrame().isNull());
    EXPECT_EQ(QVLargeSpinProgress::spinningCount(), before);
    const int index = a.spinIndex();
    runFor(1.0);
    EXPECT_EQ(a.spinIndex(), index);
}

TEST(QVLargeSpinProgress, AColourChangeWhileSpinningRestartsInTheNewColour)
{
    QVLargeSpinProgress spinner;
    spinner.startAnimation();
    spinner.setSpinColor(QColor(255, 0, 0));
    EXPECT_TRUE(QVLargeSpinProgress::isSpinning(&spinner));
    // Every drawn pixel of every frame is in the new colour.
    for (const QImage& frame : spinner.frames()) {
        bool sawPixel = false;
        for (int y = 0; y < frame.height(); y += 3) {
            for (int x = 0; x < frame.width(); x += 3) {
                const QColor pixel = frame.pixelColor(x, y);
                if (pixel.alpha() < 128)
                    continue;
                sawPixel = true;
                ASSERT_EQ(pixel.green(), 0);
                ASSERT_EQ(pixel.blue(), 0);
            }
        }
        EXPECT_TRUE(sawPixel);
    }
    runFor(QVLargeSpinProgress::kTickSeconds + 0.01);
    EXPECT_EQ(spinner.currentFrame(), spinner.frames().front());
    spinner.stopAnimation();
}

TEST(NSGreyButton, DrawsDisabledInAFadingWindowAndNeverEnabledWhenDisabled)
{
    QWidget window;
    auto* button = new NSGreyButton(&window);
    button->setText(QStringLiteral("Sync"));
    struct Case {
        qreal opacity;
        bool enabled;
        bool drawsEnabled;
    };
    const Case cases[] = {{1.0, true, true}, {0.6, true, false}, {0.0, true, false}, {1.0, false, false}, {0.6, false, false}};
    for (const Case& c : cases) {
        window.setWindowOpacity(c.opacity);
        button->setEnabled(c.enabled);
        EXPECT_EQ(button->drawsEnabled(), c.drawsEnabled) << c.opacity << " enabled " << c.enabled;
    }
    EXPECT_EQ(button->titleColor(), QColor::fromRgbF(1, 1, 1, 0.69));

    NSGreyButton::doBlockInterior(false);
    EXPECT_EQ(NSGreyButton::blockCount(), 0) << "never below 0";
    NSGreyButton::doBlockInterior(true);
    NSGreyButton::doBlockInterior(true);
    NSGreyButton::doBlockInterior(false);
    EXPECT_EQ(NSGreyButton::blockCount(), 1);
    NSGreyButton::doBlockInterior(false);
}

TEST(WhiteButton, TitleIsWhiteAndDimmedWhenDisabled)
{
    WhiteButton button;
    EXPECT_EQ(button.titleColor(), QColor(Qt::white));
    button.setEnabled(false);
    EXPECT_EQ(button.titleColor(), QColor::fromRgbF(1, 1, 1, 0.34));
    button.setItalicOrObliqueFont();
    EXPECT_TRUE(button.font().italic());
}

TEST(MirroredViews, TheFormBuildsThemAndTheMirrorsLieBelowTheirContent)
{
    registerWidgetClasses();
    std::unique_ptr<QWidget> form(platform::gui::loadInterface(QStringLiteral("program"), QStringLiteral("MirrovanceWindow")));
    auto* window = qobject_cast<MirrovanceWindow*>(form.get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowType(), Qt::Window) << "a normal window, not a floating one";
    EXPECT_EQ(window->backAlphaValue(), 1.0);
    EXPECT_EQ(window->getBackGroundColor(0.5), QColor::fromRgbF(0.5, 0.5, 0.5, 0.5));
    auto* text = window->findChild<MirroredText*>();
    auto* image = window->findChild<MirroredImageView*>();
    auto* spinner = window->findChild<QVLargeSpinProgress*>();
    ASSERT_TRUE(text && image && spinner);
    EXPECT_NE(window->findChild<NSGreyButton*>(), nullptr);
    EXPECT_NE(window->findChild<WhiteButton*>(), nullptr);
    spinner->startAnimation();
    widget_tests::showAndSettle(window);
    runFor(QVLargeSpinProgress::kTickSeconds * 4 + 0.01);

    EXPECT_EQ(text->mirrorRect().top(), text->textLineRect().bottom() + 4);
    EXPECT_EQ(image->mirrorRect().top(), image->imageRect().bottom() + 4);
    EXPECT_EQ(image->fadeRect().top(), image->imageRect().bottom() + 3);
    EXPECT_EQ(image->fadeRect().bottom(), image->height());
    EXPECT_EQ(image->imageRect().center().x(), image->width() / 2.0);
    EXPECT_FALSE(platform::gui::saveGrab(window, QStringLiteral("widgets-main-window-widgets")).isEmpty());
    spinner->stopAnimation();
}

} // namespace
