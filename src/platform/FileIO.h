#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// Writes data to a temporary file beside path and renames it over path, so a
// reader never sees a half-written file. Creates missing parent folders.
// Returns false (and sets *error) when any step fails; path is then untouched.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

enum class Symlinks { Follow, Refuse };

// The whole of a regular file of at most maxSize bytes. A folder, FIFO,
// device or socket is an error without waiting on it, and so is a symbolic
// link as the last component of path when links are refused. A larger file
// (or one that grows past maxSize while it is read) is an error too, found
// before more than maxSize bytes are kept. Errors name the path.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxSize, Symlinks symlinks,
                                          QString* error = nullptr);

} // namespace platform
