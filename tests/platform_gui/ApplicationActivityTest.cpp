#include "platform/gui/ApplicationActivity.h"

#include "platform/NotificationCenter.h"

#include <QGuiApplication>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

TEST(ApplicationActivityTest, StateChangesPostActivityNotifications)
{
    QStringList posted;
    auto& center = platform::NotificationCenter::defaultCenter();
    int observer = 0;
    for (const char* name : {platform::gui::kApplicationDidBecomeActive, platform::gui::kApplicationWillResignActive})
        center.addObserver(&observer, QLatin1String(name), nullptr,
                           [&](const platform::Notification& note) { posted.append(note.name); });

    struct Case {
        Qt::ApplicationState from;
        Qt::ApplicationState to;
        const char* posts;
    } cases[] = {
        {Qt::ApplicationInactive, Qt::ApplicationActive, platform::gui::kApplicationDidBecomeActive},
        {Qt::ApplicationActive, Qt::ApplicationInactive, platform::gui::kApplicationWillResignActive},
        {Qt::ApplicationActive, Qt::ApplicationHidden, platform::gui::kApplicationWillResignActive},
        {Qt::ApplicationHidden, Qt::ApplicationInactive, nullptr},
        {Qt::ApplicationActive, Qt::ApplicationActive, nullptr},
    };
    for (const Case& c : cases) {
        posted.clear();
        platform::gui::postApplicationStateChange(c.from, c.to);
        EXPECT_EQ(posted, c.posts ? QStringList(QLatin1String(c.posts)) : QStringList()) << c.from << c.to;
    }

    // Installed, Qt's own state changes reach the notification center.
    platform::gui::installApplicationActivityNotifications();
    platform::gui::installApplicationActivityNotifications();
    posted.clear();
    Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    const int expected = QGuiApplication::applicationState() == Qt::ApplicationActive ? 1 : 2;
    EXPECT_EQ(posted.size(), expected) << posted.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(posted.last(), platform::gui::kApplicationWillResignActive);
    center.removeObserver(&observer);
}

} // namespace
