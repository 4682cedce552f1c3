#pragma once

#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace platform {

struct Notification {
    QString name;
    const void* sender = nullptr;   // identity only, never dereferenced here
    QVariantMap userInfo;
};

// Observers by notification name with an optional sender filter. post()
// delivers synchronously, on the posting thread, in registration order. An
// observer removed during a delivery (by itself or by another observer) is not
// called afterwards. Safe to call from any thread.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;
    using Token = quint64;   // 0 is never a valid token

    static NotificationCenter& defaultCenter();

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // observer: owner identity used by removeObserver(observer); may be null.
    // name empty: every notification. sender null: from any sender.
    Token addObserver(const void* observer, const QString& name, const void* sender, Handler handler);

    void removeObserver(Token token);
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const QString& name, const void* sender = nullptr);

    void post(const Notification& notification);
    void post(const QString& name, const void* sender = nullptr, const QVariantMap& userInfo = {});

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform
