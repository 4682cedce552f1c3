#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Helpers for looking at SyncML traffic while debugging: reading lines,
// finding elements, making 8-bit text readable and writing a WBXML message
// as XML to "~/xmldata.hex".
namespace xmldebug {

// The line that starts at *offset (without its "\n" or "\r\n"); *offset moves
// past it. None at the end of the data.
std::optional<QByteArray> readLine(const QByteArray& data, qsizetype* offset);
// The content of the first element named tag (<tag>…</tag>, attributes
// allowed); none when it is missing or not closed.
std::optional<QByteArray> findElement(const QByteArray& xml, const QByteArray& tag);
// Bytes that are not UTF-8 read as Latin-1 and written as UTF-8; valid UTF-8
// comes back unchanged.
QByteArray reencode8Bit(const QByteArray& data);
// Converts the WBXML message and writes the XML to path (default
// "~/xmldata.hex"); a buffer that does not decode is logged and writes
// nothing.
bool writeWbxmlAsXml(const QByteArray& wbxml, const QString& path = QString());

} // namespace xmldebug
