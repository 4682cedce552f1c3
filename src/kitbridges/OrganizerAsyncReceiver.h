#pragma once

#include <QVariantMap>
#include <optional>

class OrganizerAsyncBridge;

// What an organizer job hears from its bridge; the read data is the bridge's
// msgDict inside the received callback.
class OrganizerAsyncReceiver {
public:
    virtual ~OrganizerAsyncReceiver() = default;
    virtual void phoneBookReceived(OrganizerAsyncBridge* bridge, int status) = 0;
    virtual void phoneBookWritten(OrganizerAsyncBridge* bridge, int status,
                                  const std::optional<QVariantMap>& mappingTable) = 0;
    virtual void calendarReceived(OrganizerAsyncBridge* bridge, int status) = 0;
    virtual void calendarWritten(OrganizerAsyncBridge* bridge, int status,
                                 const std::optional<QVariantMap>& mappingTable) = 0;
    virtual void tasksReceived(OrganizerAsyncBridge* bridge, int status) = 0;
    virtual void tasksWritten(OrganizerAsyncBridge* bridge, int status,
                              const std::optional<QVariantMap>& mappingTable) = 0;
    // The bridges send only 100.
    virtual void displayProgress(int value) = 0;
    virtual void displayPercent(int percent) = 0;
};
