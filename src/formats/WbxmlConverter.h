#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// WBXML (the binary XML of SyncML over OBEX) to and from XML, over libwbxml2.
// The input is untrusted: a buffer that does not decode answers nothing and
// says why in error.
class WbxmlConverter {
public:
    // Compact XML (no indentation) in UTF-8.
    static std::optional<QByteArray> toXml(const QByteArray& wbxml, QString* error = nullptr);
    // WBXML 1.2 with a string table; the document type comes from the XML's
    // DOCTYPE.
    static std::optional<QByteArray> toWbxml(const QByteArray& xml, QString* error = nullptr);
};
