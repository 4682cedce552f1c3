#include "platform/gui/Animation.h"
#include "platform/gui/Coordinates.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "platform/gui/TestArtifacts.h"

#include "VirtualTime.h"

#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace platform::gui;

// A promoted widget that records what the loader did to it.
class ProbeWidget : public QWidget, public NibAwakening {
    Q_OBJECT
    Q_PROPERTY(QString label MEMBER label)
public:
    using QWidget::QWidget;
    void awakeFromNib() override { labelAtAwake = label.isEmpty() ? QStringLiteral("(unset)") : label; }
    QString label;
    QString labelAtAwake;
};

class InterfaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerWidgetClass(QStringLiteral("ProbeWidget"), [](QWidget* parent) { return new ProbeWidget(parent); });
    }
};

TEST_F(InterfaceTest, BuildsRegisteredClassesAndWakesThemAfterTheirProperties)
{
    std::unique_ptr<QWidget> form(loadInterface(QStringLiteral("probe"), QStringLiteral("Probe")));
    ASSERT_TRUE(form);
    auto* probe = outlet<ProbeWidget>(form.get(), QStringLiteral("probe"));
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->label, QStringLiteral("from the form"));
    EXPECT_EQ(probe->labelAtAwake, QStringLiteral("from the form"));
    auto* button = outlet<QPushButton>(form.get(), QStringLiteral("button"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Press"));
    EXPECT_EQ(button->accessibleName(), QStringLiteral("Presses the probe"));
}

TEST_F(InterfaceTest, UnknownClassIsBuiltAsItsBaseClass)
{
    std::unique_ptr<QWidget> form(loadInterface(QStringLiteral("probe"), QStringLiteral("Probe")));
    EXPECT_NE(outlet<QLabel>(form.get(), QStringLiteral("stranger")), nullptr);
    EXPECT_EQ(outlet<QLabel>(form.get(), QStringLiteral("nothing by this name")), nullptr);
}

TEST_F(InterfaceTest, MissingOrBrokenFormGivesAnEmptyWidgetOfThatName)
{
    for (const char* name : {"NoSuchForm", "Broken"}) {
        std::unique_ptr<QWidget> form(loadInterface(QStringLiteral("probe"), QLatin1String(name)));
        ASSERT_TRUE(form) << name;
        EXPECT_EQ(form->objectName(), QLatin1String(name));
        EXPECT_TRUE(form->children().isEmpty()) << name;
    }
    // Forms of one bundle are not found in another.
    std::unique_ptr<QWidget> elsewhere(loadInterface(QStringLiteral("program"), QStringLiteral("Probe")));
    EXPECT_EQ(elsewhere->findChild<ProbeWidget*>(), nullptr);
}

TEST(ImagesTest, LoadsPngAndSvgByNameAndStandsInForMissingOnes)
{
    const QImage dot = image(QStringLiteral("probe"), QStringLiteral("dot"));
    EXPECT_EQ(dot.size(), QSize(6, 4));
    EXPECT_EQ(dot.pixelColor(0, 0), QColor(255, 0, 0));

    const QImage mark = image(QStringLiteral("probe"), QStringLiteral("mark"));
    EXPECT_EQ(mark.deviceIndependentSize(), QSizeF(20, 10));
    EXPECT_GE(mark.width(), 20);
    EXPECT_TRUE(hasImage(QStringLiteral("probe"), QStringLiteral("mark")));

    for (const char* missing : {"absent", "", "../probe/dot"}) {
        EXPECT_FALSE(hasImage(QStringLiteral("probe"), QLatin1String(missing))) << missing;
        EXPECT_EQ(image(QStringLiteral("probe"), QLatin1String(missing)).size(), QSize(16, 16)) << missing;
    }
}

TEST(CoordinatesTest, FlipsBetweenBottomLeftAndTopLeft)
{
    struct Case {
        QRectF bottomLeft;
        qreal height;
        QRectF topLeft;
    };
    const Case cases[] = {
        {{3, 84, 13, 13}, 100, {3, 3, 13, 13}},        // close box of a 100-point window
        {{0, 0, 50, 19}, 19, {0, 0, 50, 19}},          // an area that fills the height
        {{10.5, 5.5, 30, 18.25}, 40, {10.5, 16.25, 30, 18.25}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(flipRect(c.bottomLeft, c.height), c.topLeft);
        EXPECT_EQ(flipRect(c.topLeft, c.height), c.bottomLeft);
        EXPECT_EQ(flipVertically(c.height).mapRect(c.bottomLeft), c.topLeft);
    }
    EXPECT_EQ(flipPoint({7, 2}, 10), QPointF(7, 8));
}

TEST(AnimationTest, FadeRunsInClockTimeAndStopsAtOne)
{
    QList<double> seen;
    Animation fade([&](double p) { seen.append(p); });
    fade.setDuration(0.5);
    fade.start();
    ASSERT_EQ(seen, QList<double>{0.0});
    testing_support::runFor(0.25);
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_NEAR(seen.last(), 0.5, 0.07);
    EXPECT_TRUE(fade.isRunning());
    testing_support::runFor(0.5);
    EXPECT_DOUBLE_EQ(seen.last(), 1.0);
    EXPECT_FALSE(fade.isRunning());
    for (qsizetype i = 1; i < seen.size(); ++i)
        EXPECT_GE(seen[i], seen[i - 1]);
}

TEST(AnimationTest, PulseGoesUpAndDownUntilStopped)
{
    double last = -1;
    double highest = 0;
    Animation pulse([&](double p) {
        last = p;
        highest = std::max(highest, p);
    });
    pulse.setDuration(1.0);
    pulse.setPulse(true);
    pulse.start();
    testing_support::runFor(1.5);
    EXPECT_GT(highest, 0.95);
    EXPECT_NEAR(last, 0.5, 0.07);
    testing_support::runFor(3.0);
    EXPECT_TRUE(pulse.isRunning());
    pulse.stop();
    EXPECT_FALSE(pulse.isRunning());
}

TEST(TestArtifactsTest, SavesTheGrabAsPng)
{
    QTemporaryDir folder;
    const QByteArray previous = qgetenv("MARVESTO_TEST_ARTIFACTS");
    qputenv("MARVESTO_TEST_ARTIFACTS", folder.path().toUtf8());
    QLabel label(QStringLiteral("artifact"));
    label.resize(60, 20);
    const QString path = saveGrab(&label, QStringLiteral("label"));
    qputenv("MARVESTO_TEST_ARTIFACTS", previous);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_EQ(QImage(path).size(), QSize(60, 20));
    EXPECT_TRUE(saveGrab(&label, QStringLiteral("../escape")).isEmpty());
}

} // namespace

#include "PlatformGuiTest.moc"
