#pragma once

#include <QString>

// What the phone's jobs ask of the window that shows the phone. The phone's
// document hands it out (DeviceDocument::deviceWindowServices); the device
// window controller implements it. A phone without a window asks nothing.
class DeviceWindowServices {
public:
    virtual ~DeviceWindowServices() = default;
    // An alert sheet on the window: kind 1 informational, 2 critical, any
    // other a plain alert; title and text are keys of the string tables (a
    // text that is no key shows as it is; a null title: the program's name).
    virtual void displayErrorText(int kind, const QString& titleKey, const QString& textKey) = 0;
    // The phone lost every entry of the organizer property in a sync: the
    // window asks the user how to go on.
    virtual void didDetectSyncGAU(int property) = 0;
};
