#include "links/ObexSwitchSettings.h"

#include "device/QVSyncDeviceDescription.h"

ObexSwitchSettings ObexSwitchSettings::fromDescription(const QVSyncDeviceDescription* description, long deviceID)
{
    ObexSwitchSettings settings;
    settings.deviceID = deviceID;
    if (!description)
        return settings;
    settings.isGigaset = description->isGigaset();
    settings.isSamsung = description->isSamsung();
    settings.isSamsungAT = description->isSamsungAT();
    settings.usesSamsungATConnections = description->usesSamsungATConnections();
    settings.has2CalendarDBs = description->has2CalendarDBs();
    settings.prepareATChannel = description->prepareATChannel();
    settings.switchToSyncMLCommand = description->switchToSyncMLCommand();
    return settings;
}
