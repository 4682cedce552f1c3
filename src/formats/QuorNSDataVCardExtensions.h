#pragma once

#include <QByteArray>
#include <QString>

// Bytes of vCard or vCalendar text of undeclared encoding as text: null for
// empty data; UTF-8 when the first byte is 1 to 254, else UTF-16 with its
// byte-order mark (big-endian without one); ISO Latin 1 when that fails.
QString getAsString(const QByteArray& data);
bool isVCard21(const QByteArray& data);
