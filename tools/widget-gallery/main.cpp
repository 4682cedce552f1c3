#include "BadgeSample.h"
#include "GalleryWindow.h"
#include "LayoutGallery.h"
#include "SmsViewsSample.h"

#include "platform/gui/Interface.h"
#include "widgets/WidgetClasses.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    registerWidgetClasses();
    platform::gui::registerWidgetClass(QStringLiteral("BadgeSample"), [](QWidget* parent) { return new BadgeSample(parent); });
    GalleryWindow window;
    QPointer<QWidget> layoutGallery;
    if (auto* open = platform::gui::outlet<QPushButton>(&window, QStringLiteral("openLayoutWidgets")))
        QObject::connect(open, &QPushButton::clicked, &window, [&] {
            if (!layoutGallery)
                layoutGallery = openLayoutGallery(&window);
            layoutGallery->move(window.mapToGlobal(QPoint(60, 60)));
            layoutGallery->show();
        });
    window.show();
    SmsViewsSample smsViews;
    smsViews.show();
    return app.exec();
}
