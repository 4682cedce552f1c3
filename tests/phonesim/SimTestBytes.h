#pragma once

#include <QByteArray>

// Bytes written as hex pairs; blanks between them are skipped.
inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}
