#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Writes data to a temporary file beside path and renames it over path, so a
// reader never sees a half-written file. Creates missing parent folders.
// Returns false (and sets *error) when any step fails; path is then untouched.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

} // namespace platform
