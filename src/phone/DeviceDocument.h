#pragma once

class DeviceWindowServices;
class OrganizerArchive;
class SynchronizationFeedbackConsumer;

// What the device object asks of the phone document that shows it. The
// document is not owned; it tells the device when it closes (announceQuit).
class DeviceDocument {
public:
    virtual ~DeviceDocument() = default;
    // Lets the organizer archive go after it has checked for changes.
    virtual void releaseArchive() = 0;
    // Makes a new organizer archive for the device and answers it.
    virtual OrganizerArchive* recreateArchive() = 0;
    // The device window may start its background work again (teach-in over).
    virtual void startBackgroundActionsSoon() {}
    // The busy sheet the phone's synchronization reports to; null without.
    virtual SynchronizationFeedbackConsumer* synchronizationFeedbackConsumer() const { return nullptr; }
    // The window that shows the phone; null while it has none.
    virtual DeviceWindowServices* deviceWindowServices() const { return nullptr; }
};
