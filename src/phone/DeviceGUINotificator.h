#pragma once

// What the device object asks of the notifier that hands the data manager's
// file-tree changes to the windows. Made right after the data manager, told
// to stop when the device quits, let go at teardown before the data manager.
class DeviceGUINotificator {
public:
    virtual ~DeviceGUINotificator() = default;
    virtual void announceQuit() = 0;
};
