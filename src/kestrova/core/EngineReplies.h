#pragma once

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/SLTInvocation.h"
#include "platform/NotificationCenter.h"

#include <QString>
#include <QVariantMap>

// What the engine's stages read from a result of the command queue.
namespace kestrova::core::engine {

// The command answered: its reply text is there.
inline bool hasReply(const platform::Notification& n)
{
    return n.userInfo.contains(key(kSLTCommDeviceCommandQueueCommandResult));
}

inline QString replyText(const platform::Notification& n)
{
    return n.userInfo.value(key(kSLTCommDeviceCommandQueueCommandResult)).toString();
}

// The kit's stage that a command carries.
inline SLTInvocationPtr stageOf(const QVariantMap& info)
{
    const QVariant value = info.value(key(kSLTCommDeviceCommandInfo));
    return value.canConvert<SLTInvocationPtr>() ? value.value<SLTInvocationPtr>() : nullptr;
}

} // namespace kestrova::core::engine
