#include "widgets/BasisOverlayView.h"
#include "widgets/NSScaledImageButton.h"
#include "widgets/NSToolbarImageButton.h"
#include "widgets/OverlayProgressBar.h"
#include "widgets/ProgressCycle.h"
#include "widgets/WidgetClasses.h"

#include "platform/gui/Interface.h"
#include "platform/gui/TestArtifacts.h"

#include "WidgetTestSupport.h"

#include <QLabel>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

namespace {

using platform::gui::loadInterface;
using platform::gui::outlet;

TEST(FormsTest, BusyOverlayFormShowsOverAView)
{
    registerWidgetClasses();
    std::unique_ptr<BasisOverlayView> overlay(
        qobject_cast<BasisOverlayView*>(loadInterface(QStringLiteral("program"), QStringLiteral("BasisOverlay"))));
    ASSERT_TRUE(overlay);
    auto* bar = outlet<OverlayProgressBar>(overlay.get(), QStringLiteral("progressBar"));
    auto* message = outlet<QLabel>(overlay.get(), QStringLiteral("message"));
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(message, nullptr);

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* content = new QLabel(QStringLiteral("Contacts of the phone"));
    content->setMinimumSize(360, 200);
    layout->addWidget(content);
    widget_tests::showAndSettle(&window);
    bar->setDoubleValue(60);
    message->setText(QStringLiteral("Reading contacts…"));
    overlay->SetToOverlayView(content);
    widget_tests::settle();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(overlay->size(), content->size());
    EXPECT_FALSE(platform::gui::saveGrab(&window, QStringLiteral("busy-overlay")).isEmpty());
    overlay->SetToOverlayView(nullptr);
}

TEST(FormsTest, GalleryFormBuildsEveryWidgetFromItsClass)
{
    registerWidgetClasses();
    std::unique_ptr<QWidget> gallery(loadInterface(QStringLiteral("program"), QStringLiteral("WidgetGallery")));
    EXPECT_EQ(gallery->findChildren<ProgressCycle*>().size(), 5);
    EXPECT_EQ(gallery->findChildren<NSToolbarImageButton*>().size(), 4);
    EXPECT_GE(gallery->findChildren<NSScaledImageButton*>().size(), 8);
    for (NSScaledImageButton* button : gallery->findChildren<NSScaledImageButton*>()) {
        EXPECT_FALSE(button->accessibleName().isEmpty()) << button->objectName().toStdString();
        EXPECT_FALSE(button->image().isNull()) << button->objectName().toStdString();
        EXPECT_NE(button->focusPolicy() & Qt::TabFocus, 0) << button->objectName().toStdString();
    }
    for (NSToolbarImageButton* button : gallery->findChildren<NSToolbarImageButton*>())
        EXPECT_EQ(button->tiles().size(), 20) << button->objectName().toStdString();
}

} // namespace
