#include "BadgeSample.h"
#include "GalleryWindow.h"
#include "LayoutGallery.h"
#include "PeripheryGallery.h"
#include "SmsViewsSample.h"

#include "platform/gui/Interface.h"
#include "platform/gui/ApplicationActivity.h"
#include "widgets/MyPDFDocument.h"
#include "widgets/WidgetClasses.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    registerWidgetClasses();
    platform::gui::installApplicationActivityNotifications();
    QString pdfPath;
    bool periphery = false;
    for (const QString& argument : app.arguments().mid(1)) {
        if (argument == QLatin1String("--periphery"))
            periphery = true;
        else if (argument.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            pdfPath = argument;
    }
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
    QPointer<QWidget> peripheryGallery;
    auto openPeriphery = [&] {
        if (!peripheryGallery)
            peripheryGallery = openPeripheryGallery(&window, pdfPath);
        peripheryGallery->move(0, 0);
        peripheryGallery->show();
        peripheryGallery->raise();
    };
    if (auto* open = platform::gui::outlet<QPushButton>(&window, QStringLiteral("openPeripheryWidgets")))
        QObject::connect(open, &QPushButton::clicked, &window, openPeriphery);
    window.show();
    SmsViewsSample smsViews;
    smsViews.show();
    if (periphery)
        openPeriphery();
    std::unique_ptr<MyPDFDocument> viewer;
    if (!pdfPath.isEmpty()) {
        viewer = std::make_unique<MyPDFDocument>();
        viewer->openFile(pdfPath);
        viewer->move(960, 0);
        viewer->show();
    }
    return app.exec();
}
