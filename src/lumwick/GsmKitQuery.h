#pragma once

#include <QString>

// Names a phone's model by asking the phone, through the query the program
// installed (ModelQuery::shared()).
class GsmKitQuery {
public:
    // The Bluetooth query makes at most 1 + retries attempts (its own count,
    // not shared with other queries); -1 when the address gives no device.
    // Closes any link to the phone before and after; runs the main loop
    // while it waits.
    static int qvIDForBTAddress(const QString& address, int retries);
    static int qvIDForUSBAddress(const QString& path);
    static QString modelNameForQVID(int id);
    // Empty when the query knows none.
    static QString deviceTypeForQVID(int id);
};
