#include "WidgetTestSupport.h"

#include "platform/RunLoop.h"

#include <QApplication>

namespace widget_tests {

void settle()
{
    for (int pass = 0; pass < 3; ++pass) {
        QApplication::sendPostedEvents();
        platform::runloop::processPendingEvents();
    }
}

void showAndSettle(QWidget* window)
{
    window->show();
    settle();
}

} // namespace widget_tests
