#include "AppTestSupport.h"

#include "app/AppKeys.h"
#include "app/DockBadges.h"

#include "platform/NotificationCenter.h"
#include "platform/gui/Images.h"
#include "platform/gui/Interface.h"
#include "platform/gui/TestArtifacts.h"

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

using dockbadges::Counts;

TEST(DockBadges, MediaBadgeWidthFollowsTheLargerCount)
{
    struct Case {
        int conversions;
        int transfers;
        qreal width;
    };
    const Case cases[] = {
        {1000, 0, 80.4}, {0, 1000, 80.4}, {100, 5, 73.8}, {999, 999, 73.8}, {0, 0, 60},
        {9, 9, 60},      {10, 0, 67.2},   {0, 99, 67.2},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(dockbadges::mediaBadgeWidth(c.conversions, c.transfers), c.width) << c.conversions << "/" << c.transfers;
}

TEST(DockBadges, SMSBadgeWidthGrowsWithTheDigits)
{
    const std::pair<unsigned, qreal> cases[] = {{1, 44}, {9, 44}, {10, 49.28}, {12, 49.28}, {99, 49.28},
                                                {100, 54.12}, {999, 54.12}, {1000, 58.96}, {4000000000u, 58.96}};
    for (const auto& [unread, width] : cases)
        EXPECT_DOUBLE_EQ(dockbadges::smsBadgeWidth(unread), width) << unread;
}

TEST(DockBadges, RectanglesOnTheIcon)
{
    const QSizeF icon(128, 128);
    const dockbadges::Layout both = dockbadges::layout(icon, Counts{true, 3, 120, 12});
    ASSERT_TRUE(both.convert && both.transfer && both.sms);
    EXPECT_EQ(*both.convert, QRectF(8, 2, 73.8, 38));
    EXPECT_EQ(*both.transfer, QRectF(8, 41, 73.8, 38));
    EXPECT_EQ(*both.sms, QRectF(128 - 49.28, 128 - 32 - 2, 49.28, 32));

    // Counts without the media answer draw no media badges.
    const dockbadges::Layout smsOnly = dockbadges::layout(icon, Counts{false, 3, 4, 1});
    EXPECT_FALSE(smsOnly.convert || smsOnly.transfer);
    EXPECT_EQ(smsOnly.sms->width(), 44);
    EXPECT_FALSE(dockbadges::layout(icon, Counts{}).sms);
}

TEST(DockBadges, TheControllerDrawsTheBadgesIntoTheWindowIcon)
{
    app_tests::ControllerFixture f;
    const QImage plain = platform::gui::image(QLatin1String(platform::gui::kProgramBundle), QLatin1String(appkeys::kApplicationIcon));

    f.controller->updateDockIcon();
    EXPECT_EQ(f.controller->dockIcon(), plain) << "nothing pending: the plain icon";

    f.controller->awakeFromNib();
    f.state->unread = 12;
    f.state->media = true;
    f.state->conversions = 2;
    f.state->transfers = 15;
    platform::NotificationCenter::defaultCenter().post(QLatin1String(appkeys::kMarkReadChanged));
    const QImage badged = f.controller->dockIcon();
    EXPECT_NE(badged, plain);
    EXPECT_EQ(badged.size(), plain.size());
    EXPECT_FALSE(QApplication::windowIcon().isNull());

    QLabel shown;
    shown.setPixmap(QPixmap::fromImage(badged));
    shown.resize(badged.deviceIndependentSize().toSize());
    EXPECT_FALSE(platform::gui::saveGrab(&shown, QStringLiteral("app-icon-with-badges")).isEmpty());

    f.state->unread = 0;
    f.state->media = false;
    platform::NotificationCenter::defaultCenter().post(QLatin1String(appkeys::kMediaCenterMainProgress));
    EXPECT_EQ(f.controller->dockIcon(), plain) << "the plain icon comes back";
}

TEST(DockBadges, NewMessageAttentionListensOnlyToPhones)
{
    app_tests::ControllerFixture f;
    f.controller->awakeFromNib();
    int phone = 0;
    f.state->phone = &phone;
    f.state->phoneSettings = {{QStringLiteral("Common.SMS_Dock_Notify"), true}, {QStringLiteral("Common.SMS_ShowInfoPanel"), QStringLiteral("YES")}};
    platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter();
    center.post(QLatin1String(appkeys::kReceivedNewSMS));
    EXPECT_EQ(f.state->settingsAsked, 0) << "a notification without a sender is ignored";
    int other = 0;
    center.post(QLatin1String(appkeys::kReceivedNewSMS), &other);
    center.post(QLatin1String(appkeys::kReceivedNewSMS), &phone);
    EXPECT_EQ(f.state->settingsAsked, 2);
}

} // namespace
