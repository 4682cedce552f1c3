#include "app/AppController.h"
#include "app/AppKeys.h"
#include "app/DZDocumentController.h"
#include "app/DeviceWindowShell.h"
#include "app/DocumentServices.h"
#include "app/GuiGapWatch.h"
#include "app/MainWindow.h"
#include "app/OrganizerHostImpl.h"
#include "app/PreferenceHandler.h"
#include "app/ProgramAppLauncher.h"
#include "app/ProgramDeviceMakers.h"
#include "app/ProgramModelQuery.h"
#include "app/SimulatedUsb.h"
#include "app/TarnexController.h"
#include "app/TarnexProgramServices.h"
#include "app/TarnexWindow.h"

#include "device/DeviceList.h"
#include "device/qvDeviceDB.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "platform/gui/ApplicationActivity.h"
#include "sync/GeneralSyncInfo.h"
#include "widgets/WidgetClasses.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

constexpr int kGraphiteAppearance = 6;
constexpr const char* kDisplayName = "Marvesto LG";

void setGraphite()
{
    platform::UserDefaults::standard().setObject(QLatin1String(appkeys::kAppearanceVariant), kGraphiteAppearance);
}

void preInitStuff()
{
    platform::UserDefaults::standard().setObject(QLatin1String(appkeys::kCheckUpdatesAtStart), true);
}

} // namespace

int main(int argc, char** argv)
{
    setGraphite();
    preInitStuff();

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(platform::bundle::applicationName());
    QCoreApplication::setApplicationVersion(platform::bundle::applicationVersion());
    QGuiApplication::setApplicationDisplayName(QLatin1String(kDisplayName));
    QGuiApplication::setDesktopFileName(platform::bundle::mainBundleIdentifier());
    registerWidgetClasses();
    platform::gui::installApplicationActivityNotifications();
    ProgramAppLauncher launcher;
    AppLauncher::setShared(&launcher);
    simulatedusb::installFromEnvironment();
    programmakers::install();
    organizerhost::install();
    devicewindowshell::install();

    // The device database's key derivation is a one-time cost: paid before
    // the first window shows, not in the middle of a phone's connect.
    (void)qvDeviceDB::sharedDeviceDB();
    const std::unique_ptr<GuiGapWatch> gapWatch = GuiGapWatch::fromEnvironment();
    AppController controller;
    DZDocumentController documents(&controller);
    controller.setServices(std::make_unique<DocumentServices>(documents));
    documents.setHistoryOpener([&controller](const QVariantMap& entry, DeviceWindowController* window,
                                             const QString& stateInfo, const QString& folder) {
        controller.connectWithHistoryDevice(entry, window, stateInfo, folder);
    });
    controller.awakeFromNib();
    PreferenceHandler::sharedPreferenceHandler().awakeFromNib();
    controller.updateDockIcon();
    TarnexWindow* window = mainwindow::create(controller);
    auto tarnex = std::make_unique<TarnexController>(window, DeviceList::sharedDeviceList());
    tarnex->setServices(std::make_unique<TarnexProgramServices>(DeviceList::sharedDeviceList()));
    tarnex->awakeFromNib();
    ProgramModelQuery modelQuery;
    ModelQuery::setShared(&modelQuery);
    // Archive folders named on the command line open as history windows.
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('-')))
            continue;
        QString error;
        if (!documents.openDocument(QFileInfo(argument).absoluteFilePath(), &error))
            std::fprintf(stderr, "%s: %s\n", qPrintable(argument), qPrintable(error));
    }

    const int status = app.exec();
    ModelQuery::setShared(nullptr);
    tarnex.reset();
    if (GeneralSyncInfo::isGeneralSyncInfoAlloced()) {
        GeneralSyncInfo::sharedGeneralSyncInfo().announceQuit();
        GeneralSyncInfo::sharedGeneralSyncInfo().saveToDisk();
        GeneralSyncInfo::releaseSharedGeneralSyncInfo();
    }
    delete window;
    platform::UserDefaults::standard().synchronize();
    AppLauncher::setShared(nullptr);
    return status;
}
