#include "app/PreferenceHandler.h"

#include "app/AppKeys.h"

#include "platform/UserDefaults.h"
#include "platform/Values.h"

namespace {

bool storedFlag(const QString& key)
{
    // A flag or a number counts; any other value reads as absent: YES.
    const QVariant value = platform::UserDefaults::standard().object(key);
    return platform::values::isNumber(value) ? platform::values::toBool(value) : true;
}

void writeFlag(const QString& key, bool on)
{
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    defaults.setObject(key, on);
    defaults.synchronize();
}

} // namespace

PreferenceHandler& PreferenceHandler::sharedPreferenceHandler()
{
    static PreferenceHandler instance;
    return instance;
}

void PreferenceHandler::awakeFromNib()
{
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    for (const char* key : {appkeys::kPrefDoWarnOnQuit, appkeys::kPrefSyncImmediately}) {
        if (!defaults.object(QLatin1String(key)).isValid())
            defaults.setObject(QLatin1String(key), true);
    }
    defaults.synchronize();
}

bool PreferenceHandler::doWarnOnQuit() const
{
    return storedFlag(QLatin1String(appkeys::kPrefDoWarnOnQuit));
}

bool PreferenceHandler::doSyncImmediately() const
{
    return storedFlag(QLatin1String(appkeys::kPrefSyncImmediately));
}

void PreferenceHandler::setWarnOnQuit(bool warn)
{
    writeFlag(QLatin1String(appkeys::kPrefDoWarnOnQuit), warn);
}

void PreferenceHandler::setSyncImmediately(bool sync)
{
    writeFlag(QLatin1String(appkeys::kPrefSyncImmediately), sync);
}
