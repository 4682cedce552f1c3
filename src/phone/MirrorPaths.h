#pragma once

#include <QString>

// Checks of paths that come from a phone or a stored mirror file before
// they become local paths.
namespace mirrorpaths {

// No NUL and no "." or ".." component.
bool isSafePhonePath(const QString& path);
// As isSafePhonePath(); empty or beginning with "/".
bool isSafeRelative(const QString& path);

} // namespace mirrorpaths
