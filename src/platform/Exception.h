#pragma once

#include <QString>
#include <stdexcept>

namespace platform {

// The one exception type of the project: the design raises exceptions by name
// ("Pipe ActionType already exist error", ...) and catches them by name.
class Exception : public std::runtime_error {
public:
    Exception(QString name, QString reason);

    const QString& name() const noexcept { return m_name; }
    const QString& reason() const noexcept { return m_reason; }

private:
    QString m_name;
    QString m_reason;
};

} // namespace platform
