#pragma once

#include "phone/DeviceGUINotificator.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"

#include <QList>

#include <functional>
#include <memory>

class DZDataManager;
class DZDirectoryEntry;
class DataGUIAutoBlock;

// Hands the data manager's entry changes to the windows that show the tree,
// on the main thread. While blocked (a burst of changes) it collects them and
// delivers them together, in order, on its 0.5 s tick.
class DZDataGUINotificator : public DeviceGUINotificator {
public:
    using Listener = std::function<void(const std::shared_ptr<DZDirectoryEntry>&)>;

    explicit DZDataGUINotificator(DZDataManager& manager);
    ~DZDataGUINotificator() override;
    DZDataGUINotificator(const DZDataGUINotificator&) = delete;
    DZDataGUINotificator& operator=(const DZDataGUINotificator&) = delete;

    void listenForDirectoryEntryUpdateNotifications(const void* target, Listener listener);
    void stopListenForDirectoryEntryUpdateNotifications(const void* target);
    void block() { ++_blockCount; }
    void unblock();
    int blockCount() const { return _blockCount; }
    // A guard that blocks for as long as it lives.
    std::unique_ptr<DataGUIAutoBlock> autblock();
    void announceQuit() override;

    void refreshFromDataManager(const platform::Notification& notification);
    void callTheNotify(const std::shared_ptr<DZDirectoryEntry>& entry);
    void guiIdleTimer();
    int queuedCount() const { return int(_notifyQeue.size()); }

private:
    struct Target {
        const void* target;
        Listener listener;
    };
    QList<Target> _notifyTargets;
    QList<std::shared_ptr<DZDirectoryEntry>> _notifyQeue;
    DZDataManager* _dataManager = nullptr;
    platform::Timer _guiTimer;
    int _blockCount = 0;
    // Deliveries already queued onto the main thread are dropped once gone.
    std::shared_ptr<bool> _alive = std::make_shared<bool>(true);
};

// Blocks a notificator from its making until it goes.
class DataGUIAutoBlock {
public:
    explicit DataGUIAutoBlock(DZDataGUINotificator& notificator) : _dataGUINotificator(notificator)
    {
        _dataGUINotificator.block();
    }
    ~DataGUIAutoBlock() { _dataGUINotificator.unblock(); }
    DataGUIAutoBlock(const DataGUIAutoBlock&) = delete;
    DataGUIAutoBlock& operator=(const DataGUIAutoBlock&) = delete;

private:
    DZDataGUINotificator& _dataGUINotificator;
};
