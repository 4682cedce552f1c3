#pragma once

#include "platform/NotificationCenter.h"

#include <QMetaType>
#include <QVariantMap>
#include <functional>
#include <memory>

// A kit's stage: the method of a target that receives one result, either as a
// notification (the engine's AT operations) or as the command dictionary
// itself (the vendor operations). The target is held weakly: once it is gone,
// or when the stage takes no argument of the given form, invoking does
// nothing.
class SLTInvocation {
public:
    using NotificationStage = std::function<void(const platform::Notification&)>;
    using CommandStage = std::function<void(const QVariantMap&)>;

    SLTInvocation(std::weak_ptr<const void> target, NotificationStage onNotification, CommandStage onCommand = {})
        : _target(std::move(target))
        , _onNotification(std::move(onNotification))
        , _onCommand(std::move(onCommand))
    {
    }

    bool respondsToNotification() const { return !_target.expired() && _onNotification; }
    bool respondsToCommand() const { return !_target.expired() && _onCommand; }

    void invoke(const platform::Notification& notification) const
    {
        if (respondsToNotification())
            _onNotification(notification);
    }
    void invoke(const QVariantMap& command) const
    {
        if (respondsToCommand())
            _onCommand(command);
    }

private:
    std::weak_ptr<const void> _target;
    NotificationStage _onNotification;
    CommandStage _onCommand;
};

using SLTInvocationPtr = std::shared_ptr<SLTInvocation>;
Q_DECLARE_METATYPE(SLTInvocationPtr)
