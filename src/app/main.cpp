#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QDebug>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(platform::bundle::applicationName());
    QCoreApplication::setApplicationVersion(platform::bundle::applicationVersion());
    qInfo().noquote() << platform::bundle::applicationName() << platform::bundle::applicationVersion()
                      << "started; the application windows are not built yet.";
    return 0;
}
