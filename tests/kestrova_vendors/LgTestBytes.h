#pragma once

#include <QByteArray>
#include <QString>

// A name as the LG file browser carries it: UTF-16 little-endian, ended by a
// zero unit.
inline QByteArray utf16z(const QString& text)
{
    QByteArray out;
    for (const QChar c : text)
        out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return out + QByteArray(2, '\0');
}
