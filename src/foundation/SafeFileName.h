#pragma once

#include <QString>

// File names made from what a phone or a user wrote (a contact's name, an
// event's summary, a message's sender, a media file's name): one word of a
// path, never a path. Path separators and control characters become "_",
// leading dots and trailing spaces and dots go, and the name is cut to what
// a Linux file system takes (255 bytes of UTF-8, never inside a character).
// Letters of every script are kept. An empty result becomes `fallback`.
QString safeFileNameFromDescription(const QString& description, const QString& fallback = QStringLiteral("_"));
