#include "platform/gui/ApplicationActivity.h"

#include "platform/NotificationCenter.h"

#include <QGuiApplication>

namespace platform::gui {

void postApplicationStateChange(Qt::ApplicationState previous, Qt::ApplicationState current)
{
    if (current == previous)
        return;
    if (current == Qt::ApplicationActive)
        NotificationCenter::defaultCenter().post(QLatin1String(kApplicationDidBecomeActive));
    else if (previous == Qt::ApplicationActive)
        NotificationCenter::defaultCenter().post(QLatin1String(kApplicationWillResignActive));
}

void installApplicationActivityNotifications()
{
    static bool installed = false;
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (installed || !application)
        return;
    installed = true;
    static Qt::ApplicationState last = QGuiApplication::applicationState();
    QObject::connect(application, &QGuiApplication::applicationStateChanged, application,
                     [](Qt::ApplicationState state) {
                         const Qt::ApplicationState previous = std::exchange(last, state);
                         postApplicationStateChange(previous, state);
                     });
}

} // namespace platform::gui
