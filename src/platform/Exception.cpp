#include "platform/Exception.h"

namespace platform {

Exception::Exception(QString name, QString reason)
    : std::runtime_error(QString(name + QStringLiteral(": ") + reason).toStdString())
    , m_name(std::move(name))
    , m_reason(std::move(reason))
{
}

} // namespace platform
