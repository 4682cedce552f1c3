#pragma once

#include "links/SerialATChannel.h"

#include <QString>

class QVSyncDeviceDescription;

// What the OBEX codec needs of the phone's sync description and settings:
// the AT switch commands and the family flags that change its behaviour.
struct ObexSwitchSettings {
    static constexpr const char* kDefaultPrepare = "AT&FE0V1";
    static constexpr const char* kDefaultSwitch = "AT+CPROT=0";
    static constexpr const char* kSyncSwitch = "AT+SYNCML";
    static constexpr const char* kSamsungSwitch = "AT+SYNCML=MOBEXSTART";

    bool isGigaset = false;
    bool isSamsung = false;
    bool isSamsungAT = false;
    bool usesSamsungATConnections = false;
    bool has2CalendarDBs = false;
    QString prepareATChannel;        // null: the default
    QString switchToSyncMLCommand;   // null: the default of the switch
    // The model's number in the device database (0 when unknown).
    long deviceID = 0;

    static ObexSwitchSettings fromDescription(const QVSyncDeviceDescription* description, long deviceID);
    SerialATChannel::PhoneTraits phoneTraits() const { return {isGigaset, usesSamsungATConnections}; }
    // The channel is parked on close instead of closed.
    bool parksChannel() const { return isGigaset || isSamsungAT; }
};
