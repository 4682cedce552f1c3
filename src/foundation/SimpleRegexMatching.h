#pragma once

#include <QString>

// Regular-expression tests (ICU-like syntax, multi-line mode). An invalid
// pattern matches nothing.

// The whole receiver matches the pattern.
bool matchesRegex(const QString& self, const QString& pattern);
// The receiver matches ".*pattern.*" (within one line).
bool containsRegex(const QString& self, const QString& pattern);
