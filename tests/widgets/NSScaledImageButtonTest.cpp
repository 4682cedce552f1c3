#include "widgets/NSScaledImageButton.h"
#include "widgets/NSToolbarImageButton.h"
#include "widgets/ScaledImageButtonValidation.h"

#include "platform/NotificationCenter.h"
#include "platform/gui/Images.h"

#include "VirtualTime.h"
#include "WidgetTestSupport.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using widget_tests::settle;
using widget_tests::showAndSettle;

// A window object that answers for its buttons.
class Target : public QWidget, public NSValidatedScaledImageButton {
    Q_OBJECT
public:
    bool allow = true;
    int asked = 0;
    int deletes = 0;
    NSScaledImageButton* lastSender = nullptr;

    bool validateScaledImageButton(NSScaledImageButton&) override
    {
        ++asked;
        return allow;
    }

public Q_SLOTS:
    void deleteItem(NSScaledImageButton* sender)
    {
        ++deletes;
        lastSender = sender;
    }
};

// Responds to the action but does not validate.
class PlainTarget : public QObject {
    Q_OBJECT
public Q_SLOTS:
    void deleteItem() {}
};

QImage solidImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0, 120, 200));
    return image;
}

TEST(NSScaledImageButtonTest, LineSizesSnapToFixedSteps)
{
    const std::pair<double, double> cases[] = {
        {31, 28}, {32, 32}, {24, 24}, {23, 20}, {47.9, 32}, {48, 48}, {30, 24}, {31.5, 16}, {20, 20}, {3, 0}, {0, 0}, {-5, -4}};
    for (const auto& [value, snapped] : cases)
        EXPECT_DOUBLE_EQ(NSScaledImageButton::calcLineSize(value), snapped) << value;
}

TEST(NSScaledImageButtonTest, ImagesFitTheButton)
{
    struct Case {
        const char* what;
        QSize button;
        bool bordered;
        int position;
        QSize image;
        QSizeF fitted;
    };
    const Case cases[] = {
        {"40x40 bordered image only", {40, 40}, true, NSScaledImageButton::ImageOnly, {64, 64}, {32, 32}},
        {"20 high stays 20", {40, 20}, false, NSScaledImageButton::ImageOnly, {64, 64}, {20, 20}},
        {"wide image keeps its aspect", {64, 40}, false, NSScaledImageButton::ImageOnly, {100, 50}, {64, 32}},
        {"narrow button cuts the width", {24, 40}, false, NSScaledImageButton::ImageOnly, {100, 50}, {24, 32}},
        {"too small for anything", {3, 3}, false, NSScaledImageButton::ImageOnly, {8, 8}, {0, 0}},
    };
    for (const Case& c : cases) {
        NSScaledImageButton button;
        button.resize(c.button);
        button.setBordered(c.bordered);
        button.setImagePosition(c.position);
        button.setImage(solidImage(c.image.width(), c.image.height()));
        EXPECT_EQ(button.imageSize(), c.fitted) << c.what;
    }
    // A title above or below takes the font's height from the image.
    NSScaledImageButton titled;
    QFont font = titled.font();
    font.setPointSizeF(11);
    titled.setFont(font);
    titled.resize(56, 52);
    titled.setImagePosition(NSScaledImageButton::ImageAbove);
    titled.setImage(solidImage(32, 32));
    EXPECT_EQ(titled.imageSize(), QSizeF(32, 32));   // 52 - 12 = 40 snaps to 32
}

TEST(NSScaledImageButtonTest, DisabledButtonDimsWhenDrawnAndKeepsItsImages)
{
    NSScaledImageButton button;
    button.resize(40, 40);
    const QImage original = solidImage(32, 32);
    button.setEnabled(false);
    button.setImage(original);
    button.setAlternateImage(original);
    // Fitting and waking up again never dim the stored images a second time.
    button.UpdateTheButton();
    button.awakeFromNib();
    button.setEnabled(false);
    button.UpdateTheButton();
    EXPECT_EQ(button.image().size(), original.size());
    EXPECT_NEAR(button.image().pixelColor(5, 5).alphaF(), 0.5, 0.01);
    EXPECT_NEAR(button.alternateImage().pixelColor(5, 5).alphaF(), 0.5, 0.01);
    EXPECT_EQ(button.imageSize(), QSizeF(32, 32));
    button.setEnabled(true);
    EXPECT_EQ(button.image(), original);
    EXPECT_EQ(button.alternateImage(), original);
}

TEST(NSScaledImageButtonTest, ValidationAsksTheReceiverOfTheAction)
{
    Target window;
    auto* button = new NSScaledImageButton(&window);
    button->setActionName(QStringLiteral("deleteItem"));
    button->ValidateButton();   // found among the ancestors
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(window.asked, 1);
    window.allow = false;
    button->ValidateButton();
    EXPECT_FALSE(button->isEnabled());

    PlainTarget plain;
    button->setTarget(&plain);
    button->ValidateButton();
    EXPECT_TRUE(button->isEnabled());
    button->setActionName(QStringLiteral("noSuchAction"));
    button->ValidateButton();
    EXPECT_FALSE(button->isEnabled());
    NSScaledImageButton orphan;
    orphan.setActionName(QStringLiteral("deleteItem"));
    orphan.ValidateButton();
    EXPECT_FALSE(orphan.isEnabled());
}

TEST(NSScaledImageButtonTest, RevalidationReachesButtonsAimedAtTheTarget)
{
    Target mine;
    Target other;
    NSScaledImageButton button;
    button.setActionName(QStringLiteral("deleteItem"));
    button.setTarget(&mine);
    button.setEnabled(false);

    ValidateScaledImageButtons(&other);
    EXPECT_FALSE(button.isEnabled());
    EXPECT_EQ(mine.asked, 0);
    ValidateScaledImageButtons(&mine);
    EXPECT_TRUE(button.isEnabled());
    EXPECT_EQ(mine.asked, 1);
    button.setEnabled(false);
    ValidateScaledImageButtons(nullptr);
    EXPECT_TRUE(button.isEnabled());
    EXPECT_EQ(mine.asked, 2);
}

TEST(NSScaledImageButtonTest, DelayInTheNotification)
{
    struct Case {
        const char* what;
        QVariantMap userInfo;
        bool startEnabled;
        bool enabledAtOnce;
        bool enabledAfter033;
        bool enabledAfter035;
        int askedAtEnd;
    };
    const Case cases[] = {
        {"no user info", {}, false, true, true, true, 1},
        {"user info without Delay", {{QStringLiteral("Other"), 1}}, false, true, true, true, 1},
        {"Delay 0", {{QStringLiteral("Delay"), 0.0}}, false, true, true, true, 1},
        {"Delay 0.34", {{QStringLiteral("Delay"), 0.34}}, false, false, false, true, 1},
        {"Delay -1", {{QStringLiteral("Delay"), -1.0}}, true, false, false, false, 0},
    };
    for (const Case& c : cases) {
        Target target;
        NSScaledImageButton button;
        button.setActionName(QStringLiteral("deleteItem"));
        button.setTarget(&target);
        button.setEnabled(c.startEnabled);
        platform::NotificationCenter::defaultCenter().post(QLatin1String(kValidateScaledImageNotify), &target, c.userInfo);
        EXPECT_EQ(button.isEnabled(), c.enabledAtOnce) << c.what;
        testing_support::runFor(0.33);
        EXPECT_EQ(button.isEnabled(), c.enabledAfter033) << c.what;
        testing_support::runFor(0.02);
        EXPECT_EQ(button.isEnabled(), c.enabledAfter035) << c.what;
        EXPECT_EQ(target.asked, c.askedAtEnd) << c.what;
    }
    // The helper functions post exactly these forms.
    Target target;
    NSScaledImageButton button;
    button.setActionName(QStringLiteral("deleteItem"));
    button.setTarget(&target);
    DisableScaledImageButtons(&target);
    EXPECT_FALSE(button.isEnabled());
    ValidateScaledImageButtonsDelayed(&target, 0.34);
    EXPECT_FALSE(button.isEnabled());
    testing_support::runFor(0.35);
    EXPECT_TRUE(button.isEnabled());
}

TEST(NSScaledImageButtonTest, KeyboardReachesAndPressesTheButton)
{
    Target window;
    auto* first = new NSScaledImageButton(&window);
    auto* second = new NSScaledImageButton(&window);
    first->setGeometry(0, 0, 32, 32);
    second->setGeometry(40, 0, 32, 32);
    second->setActionName(QStringLiteral("deleteItem"));
    second->setToolTip(QStringLiteral("Delete the item"));
    second->awakeFromNib();
    EXPECT_EQ(second->accessibleName(), QStringLiteral("Delete the item"));
    showAndSettle(&window);
    window.activateWindow();
    first->setFocus();
    QTest::keyClick(&window, Qt::Key_Tab);
    EXPECT_TRUE(second->hasFocus());
    QTest::keyClick(second, Qt::Key_Space);
    EXPECT_EQ(window.deletes, 1);
    EXPECT_EQ(window.lastSender, second);
}

// A sheet of 5 by 4 tiles, 10 by 9 points each with 1-point gaps: every tile
// filled with its own grey, index 5 * row + column, rows counted from the
// bottom.
QImage tileSheet()
{
    QImage sheet(50, 40, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::transparent);
    QPainter painter(&sheet);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 5; ++column) {
            const int top = 40 - (1 + row * 10) - 9;
            painter.fillRect(QRect(column * 10, top, 10, 9), QColor(5 * row + column, 0, 0));
        }
    }
    return sheet;
}

TEST(NSToolbarImageButtonTest, SheetIsCutOnceIntoTiles)
{
    NSToolbarImageButton button;
    EXPECT_FALSE(button.customBackGround());
    button.setAlternateImage(QImage());
    EXPECT_TRUE(button.tiles().isEmpty());
    button.setAlternateImage(tileSheet());
    ASSERT_EQ(button.tiles().size(), 20);
    for (int index = 0; index < 20; ++index) {
        EXPECT_EQ(button.tiles()[index].size(), QSize(10, 9)) << index;
        EXPECT_EQ(button.tiles()[index].pixelColor(5, 4).red(), index) << index;
    }
    EXPECT_TRUE(button.customBackGround());
    EXPECT_TRUE(button.alternateImage().isNull());
    QImage other = tileSheet();
    other.fill(Qt::white);
    button.setAlternateImage(other);
    EXPECT_EQ(button.tiles()[7].pixelColor(5, 4).red(), 7);
}

TEST(NSToolbarImageButtonTest, PiecesFollowTheStateAndThePlaceInTheGroup)
{
    struct Case {
        int tag;
        int left;
        int middle;
        int right;
    };
    const Case cases[] = {{1, 0, 2, 1}, {2, 3, 2, 4}, {3, 3, 2, 1}, {0, 0, 2, 4}, {7, 0, 2, 4}};
    for (const Case& c : cases) {
        NSToolbarImageButton button;
        button.resize(44, 28);
        button.setTag(c.tag);
        button.setAlternateImage(tileSheet());
        const QList<NSToolbarImageButton::Piece> pieces = button.backgroundPieces(NSToolbarImageButton::Normal);
        ASSERT_EQ(pieces.size(), 3) << c.tag;
        EXPECT_EQ(pieces[0], (NSToolbarImageButton::Piece{10 + c.left, QRectF(0, 0, 10, 28)})) << c.tag;
        EXPECT_EQ(pieces[1], (NSToolbarImageButton::Piece{10 + c.middle, QRectF(10, 0, 24, 28)})) << c.tag;
        EXPECT_EQ(pieces[2], (NSToolbarImageButton::Piece{10 + c.right, QRectF(34, 0, 10, 28)})) << c.tag;
    }
}

TEST(NSToolbarImageButtonTest, DisabledButtonDrawsRowThreeAndKeepsItsImage)
{
    NSToolbarImageButton button;
    button.resize(44, 28);
    button.setEnabled(false);
    button.setAlternateImage(tileSheet());   // cut from the sheet as given, not a dimmed copy
    ASSERT_EQ(button.tiles().size(), 20);
    EXPECT_EQ(button.tiles()[15].pixelColor(5, 4).alpha(), 255);
    const QImage icon = solidImage(16, 16);
    button.setImage(icon);
    EXPECT_EQ(button.getButState(), NSToolbarImageButton::Disabled);
    const QList<NSToolbarImageButton::Piece> pieces = button.backgroundPieces(button.getButState());
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(pieces[0].tile, 15);
    EXPECT_EQ(pieces[2].tile, 19);
    EXPECT_EQ(button.image(), icon);
    // With tiles the image fits 2 points lower: 28 - 2 = 26 snaps to 24.
    EXPECT_EQ(button.imageSize(), QSizeF(24, 24));
}

TEST(NSToolbarImageButtonTest, HoverShowsOnlyInTheActiveWindow)
{
    QWidget window;
    auto* button = new NSToolbarImageButton(&window);
    button->setGeometry(0, 0, 44, 28);
    button->setAlternateImage(tileSheet());
    showAndSettle(&window);
    QWidget other;
    showAndSettle(&other);
    QApplication::setActiveWindow(&other);
    settle();
    ASSERT_FALSE(window.isActiveWindow());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_FALSE(button->isHovering());
    EXPECT_EQ(button->getButState(), NSToolbarImageButton::Normal);

    QApplication::setActiveWindow(&window);
    settle();
    ASSERT_TRUE(window.isActiveWindow());
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_EQ(button->getButState(), NSToolbarImageButton::Hover);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_EQ(button->getButState(), NSToolbarImageButton::Normal);
    button->setDown(true);
    EXPECT_EQ(button->getButState(), NSToolbarImageButton::Pressed);
}

} // namespace

#include "NSScaledImageButtonTest.moc"
