#pragma once

#include "platform/NotificationCenter.h"

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>

// Anything the queue view can show: a job or a container of jobs. Entries
// report through the notification "QVFeedBackActionNotify", posted with the
// entry as sender and a user info holding the entry (a
// std::shared_ptr<QVFeedBack>) and exactly one of the start, preparation
// start, progress or end keys. The base answers neutral values and never posts.
class QVFeedBack : public std::enable_shared_from_this<QVFeedBack> {
public:
    using FeedBackHandler = std::function<void(const platform::Notification&)>;

    QVFeedBack() = default;
    virtual ~QVFeedBack();
    QVFeedBack(const QVFeedBack&) = delete;
    QVFeedBack& operator=(const QVFeedBack&) = delete;

    virtual void doPostNotifications(bool on);
    virtual bool cancelAction();
    virtual std::shared_ptr<QVFeedBack> refContent() const;
    virtual QVariant getUserInfo() const;
    virtual bool doPostNotify() const;
    virtual int feedBackStatus() const;
    virtual QVariant objectForKey(const QString& key) const;
    virtual QString description() const;
    virtual QString displayString() const;
    virtual QString displaySubString() const;
    virtual QString statusMenueString() const;
    virtual QString statusNibIdent() const;
    virtual QString feedBackErrorTitle() const;
    virtual QString feedBackSuggestionString() const;
    virtual int feedBackErrorHandling() const;
    virtual QString feedBackErrorString() const;

    // Posts "QVFeedBackActionNotify" with this entry as sender.
    void postFeedBackNotify(const QVariantMap& userInfo);
    // These post only while doPostNotify() answers true.
    void postStartAction(bool started);
    void postPreprocessStart(bool started);
    void postProcessAction(float percent);
    // A suspension (0xAC003) posts a progress of -1.0 in place of an end.
    void postEndAction(int code);

    // Observes this entry's notifications, switches posting on and keeps the
    // entry alive until stopFeedBackNotification(observer).
    void addFeedBackNotification(const void* observer, FeedBackHandler handler);
    void stopFeedBackNotification(const void* observer);

    // The sender identity of this entry's notifications.
    const void* feedBackSender() const { return static_cast<const QVFeedBack*>(this); }
    // The entry named by a notification's user info (null when absent).
    static std::shared_ptr<QVFeedBack> entryOf(const platform::Notification& notification);
};

Q_DECLARE_METATYPE(std::shared_ptr<QVFeedBack>)
