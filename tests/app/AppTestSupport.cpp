#include "AppTestSupport.h"

#include "app/AppKeys.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

namespace app_tests {

ControllerFixture::ControllerFixture()
    : controller(std::make_unique<AppController>())
{
    clearShellDefaults();
    controller->setServices(std::make_unique<FakeServices>(state));
    controller->setExitHandler([this](int status) { exits.append(status); });
    platform::NotificationCenter::defaultCenter().addObserver(this, QLatin1String(appkeys::kAppWillQuit), nullptr,
                                                              [this](const platform::Notification&) {
                                                                  state->steps << QStringLiteral("AppWillQuit");
                                                              });
}

ControllerFixture::~ControllerFixture()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this);
}

void clearShellDefaults()
{
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    for (const char* key : {appkeys::kPrefDoWarnOnQuit, appkeys::kPrefSyncImmediately, appkeys::kEmptyTrashAfter,
                            appkeys::kEnableSyncMLProtocol, appkeys::kDevices, appkeys::kHistoryDevices})
        defaults.remove(QLatin1String(key));
    defaults.synchronize();
}

} // namespace app_tests
