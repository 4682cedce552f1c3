#include "platform/NotificationCenter.h"

#include <QMutex>

#include <atomic>
#include <vector>

namespace platform {

namespace {
struct Observer {
    NotificationCenter::Token token = 0;
    const void* owner = nullptr;
    QString name;
    const void* sender = nullptr;
    NotificationCenter::Handler handler;
    std::atomic<bool> removed{false};

    bool matches(const Notification& n) const
    {
        return (name.isEmpty() || name == n.name) && (!sender || sender == n.sender);
    }
};
} // namespace

struct NotificationCenter::Impl {
    QMutex mutex;
    Token lastToken = 0;
    // In registration order. Shared with the snapshots of running deliveries,
    // which keep a removed observer's handler alive until they are done.
    std::vector<std::shared_ptr<Observer>> observers;

    template <typename Pred>
    void removeIf(Pred pred)
    {
        std::vector<std::shared_ptr<Observer>> removed;   // released outside the lock
        QMutexLocker lock(&mutex);
        for (auto it = observers.begin(); it != observers.end();) {
            if (pred(**it)) {
                (*it)->removed = true;
                removed.push_back(std::move(*it));
                it = observers.erase(it);
            } else {
                ++it;
            }
        }
        lock.unlock();
    }
};

NotificationCenter& NotificationCenter::defaultCenter()
{
    // Lives until exit: observers may be removed from destructors of other
    // singletons.
    static auto* center = new NotificationCenter;
    return *center;
}

NotificationCenter::NotificationCenter() : d(std::make_unique<Impl>()) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter::Token NotificationCenter::addObserver(const void* observer, const QString& name,
                                                          const void* sender, Handler handler)
{
    if (!handler)
        return 0;
    auto entry = std::make_shared<Observer>();
    entry->owner = observer;
    entry->name = name;
    entry->sender = sender;
    entry->handler = std::move(handler);
    QMutexLocker lock(&d->mutex);
    entry->token = ++d->lastToken;
    d->observers.push_back(entry);
    return entry->token;
}

void NotificationCenter::removeObserver(Token token)
{
    if (token == 0)
        return;
    d->removeIf([token](const Observer& o) { return o.token == token; });
}

void NotificationCenter::removeObserver(const void* observer)
{
    if (!observer)
        return;
    d->removeIf([observer](const Observer& o) { return o.owner == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const QString& name, const void* sender)
{
    if (!observer)
        return;
    d->removeIf([&](const Observer& o) {
        return o.owner == observer && (name.isEmpty() || o.name == name) && (!sender || o.sender == sender);
    });
}

void NotificationCenter::post(const Notification& notification)
{
    std::vector<std::shared_ptr<Observer>> snapshot;
    {
        QMutexLocker lock(&d->mutex);
        for (const auto& entry : d->observers) {
            if (entry->matches(notification))
                snapshot.push_back(entry);
        }
    }
    for (const auto& entry : snapshot) {
        if (!entry->removed)
            entry->handler(notification);
    }
}

void NotificationCenter::post(const QString& name, const void* sender, const QVariantMap& userInfo)
{
    post(Notification{name, sender, userInfo});
}

} // namespace platform
