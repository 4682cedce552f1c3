#include "widgets/BetterSplitView.h"
#include "widgets/CenterButton.h"
#include "widgets/CollapsibleBox.h"
#include "widgets/NSCollapsButton.h"
#include "widgets/PhoneButtonCell.h"
#include "widgets/PolishedMetallWindow.h"
#include "widgets/PulsingCenterButton.h"
#include "widgets/SelectToolViewList.h"
#include "widgets/WidgetClasses.h"

#include "platform/gui/Interface.h"

#include "VirtualTime.h"

#include <QAbstractButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

using platform::gui::outlet;

TEST(LayoutFormTest, GalleryFormWiresEveryWidgetByName)
{
    registerWidgetClasses();
    std::unique_ptr<QWidget> form(
        platform::gui::loadInterface(QStringLiteral("program"), QStringLiteral("LayoutGallery")));
    ASSERT_TRUE(qobject_cast<PolishedMetallWindow*>(form.get()));
    auto* split = outlet<BetterSplitView>(form.get(), QStringLiteral("split"));
    ASSERT_NE(split, nullptr);
    EXPECT_NE(split->resizerButton(), nullptr);
    EXPECT_NE(outlet<SelectToolViewList>(form.get(), QStringLiteral("tools")), nullptr);
    auto* toggle = outlet<NSCollapsButton>(form.get(), QStringLiteral("recipientsToggle"));
    ASSERT_NE(toggle, nullptr);
    EXPECT_EQ(toggle->collapsibleBox(), outlet<CollapsibleBox>(form.get(), QStringLiteral("recipientsBox")));
    auto* center = outlet<CenterButton>(form.get(), QStringLiteral("centerButton"));
    ASSERT_NE(center, nullptr);
    EXPECT_EQ(center->highliteFooter(), outlet<QWidget>(form.get(), QStringLiteral("hoverFooter")));
    auto* pulsing = outlet<PulsingCenterButton>(form.get(), QStringLiteral("pulsingButton"));
    ASSERT_NE(pulsing, nullptr);
    EXPECT_TRUE(pulsing->hasPulseTimer());
    EXPECT_EQ(form->findChildren<PhoneButtonCell*>().size(), 4);
    // Every control the keyboard reaches has a name to announce.
    for (QWidget* widget : form->findChildren<QWidget*>()) {
        if (!(widget->focusPolicy() & Qt::TabFocus))
            continue;
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        const bool named = !widget->accessibleName().isEmpty() || (button && !button->text().isEmpty());
        EXPECT_TRUE(named) << widget->metaObject()->className() << " " << widget->objectName().toStdString();
    }
}

} // namespace
