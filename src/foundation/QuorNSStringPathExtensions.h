#pragma once

#include <QString>

// Path texts.

// Joins two path parts with exactly one "/":
//   front null  -> "/" (rear null) or "/" + rear
//   rear null or empty -> front unchanged
//   front ending in "/" drops rear's leading "/"; otherwise rear is appended
//   after a "/" unless it begins with one.
QString stringByConcatenatingPathComponents(const QString& front, const QString& rear);

// The last component of a path, trailing slashes ignored ("/a/b/" -> "b",
// "/" -> "/").
QString lastPathComponent(const QString& self);
