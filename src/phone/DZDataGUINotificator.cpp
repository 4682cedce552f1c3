#include "phone/DZDataGUINotificator.h"

#include "phone/DZDataManager.h"
#include "phone/DZDirectoryEntry.h"
#include "platform/RunLoop.h"

DZDataGUINotificator::DZDataGUINotificator(DZDataManager& manager) : _dataManager(&manager)
{
    _dataManager->listenForDirectoryEntryUpdateNotifications(
        this, [this](const platform::Notification& notification) { refreshFromDataManager(notification); });
    _guiTimer.setCallback([this] { guiIdleTimer(); });
    _guiTimer.start(dztree::kGUITick, true);
}

DZDataGUINotificator::~DZDataGUINotificator()
{
    *_alive = false;
    announceQuit();
}

void DZDataGUINotificator::listenForDirectoryEntryUpdateNotifications(const void* target, Listener listener)
{
    _notifyTargets.append({target, std::move(listener)});
}

void DZDataGUINotificator::stopListenForDirectoryEntryUpdateNotifications(const void* target)
{
    _notifyTargets.removeIf([target](const Target& t) { return t.target == target; });
}

void DZDataGUINotificator::unblock()
{
    if (_blockCount > 0)
        --_blockCount;
}

std::unique_ptr<DataGUIAutoBlock> DZDataGUINotificator::autblock()
{
    return std::make_unique<DataGUIAutoBlock>(*this);
}

void DZDataGUINotificator::announceQuit()
{
    _guiTimer.stop();
    if (_dataManager) {
        _dataManager->stopListenForDirectoryEntryUpdateNotifications(this);
        _dataManager = nullptr;
    }
}

void DZDataGUINotificator::refreshFromDataManager(const platform::Notification& notification)
{
    const auto entry =
        notification.userInfo.value(dztree::kEntryUpdateNotification).value<std::shared_ptr<DZDirectoryEntry>>();
    if (!entry)
        return;
    if (_blockCount > 0 || !_notifyQeue.isEmpty())
        _notifyQeue.append(entry);
    else
        callTheNotify(entry);
}

void DZDataGUINotificator::callTheNotify(const std::shared_ptr<DZDirectoryEntry>& entry)
{
    for (const Target& target : std::as_const(_notifyTargets)) {
        std::weak_ptr<bool> alive = _alive;
        Listener listener = target.listener;
        platform::runloop::performOnMainThread([alive, listener, entry] {
            if (alive.lock() && *alive.lock())
                listener(entry);
        });
    }
}

void DZDataGUINotificator::guiIdleTimer()
{
    if (_blockCount > 0 || _notifyQeue.isEmpty())
        return;
    const auto queue = std::exchange(_notifyQeue, {});
    for (const auto& entry : queue)
        callTheNotify(entry);
}
