#pragma once

#include "kestrova/core/CoreConstants.h"

#include <QString>
#include <QVariantMap>

// Reading the answers the engine hands a vendor chain's stages: the step an
// answer ends and whether it carries a value.
namespace stageanswers {

using kestrova::core::key;
using kestrova::core::kSLTCommDeviceCommandStep;
using kestrova::core::kSLTCommDeviceReturnValue;

inline QString stepOf(const QVariantMap& answer)
{
    return answer.value(key(kSLTCommDeviceCommandStep)).toString();
}

inline bool hasValue(const QVariantMap& answer)
{
    return answer.value(key(kSLTCommDeviceReturnValue)).isValid();
}

inline bool is(const QString& step, const char* name)
{
    return step == QLatin1String(name);
}

} // namespace stageanswers
