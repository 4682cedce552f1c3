#include "BadgeSample.h"
#include "GalleryWindow.h"

#include "platform/gui/Interface.h"
#include "widgets/WidgetClasses.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    registerWidgetClasses();
    platform::gui::registerWidgetClass(QStringLiteral("BadgeSample"), [](QWidget* parent) { return new BadgeSample(parent); });
    GalleryWindow window;
    window.show();
    return app.exec();
}
