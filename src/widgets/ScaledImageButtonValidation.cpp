#include "widgets/ScaledImageButtonValidation.h"

#include "platform/NotificationCenter.h"

void ValidateScaledImageButtons(const QObject* target)
{
    ValidateScaledImageButtonsDelayed(target, 0);
}

void ValidateScaledImageButtonsDelayed(const QObject* target, double delay)
{
    QVariantMap userInfo;
    if (delay != 0)
        userInfo.insert(QLatin1String(kValidateScaledImageDelayKey), delay);
    platform::NotificationCenter::defaultCenter().post(QLatin1String(kValidateScaledImageNotify), target, userInfo);
}

void DisableScaledImageButtons(const QObject* target)
{
    ValidateScaledImageButtonsDelayed(target, -1.0);
}
