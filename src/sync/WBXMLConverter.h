#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// SyncML documents to WBXML for the phone and the phone's WBXML back to XML.
// Encoding: WBXML 1.2, no string table, ignorable white space dropped; the
// public identifier follows the root's xmlns ("syncml:SYNCML1.1" or
// "syncml:SYNCML1.2"). Decoding: the SyncML 1.1 code table for version 1,
// else 1.2, indented by 4. Received WBXML is untrusted: what does not decode
// answers nothing and leaves a log line. The library calls themselves are
// WbxmlConverter's.
class WBXMLConverter {
public:
    static WBXMLConverter& sharedWBXMLConverter();

    // xml: the document's UTF-8 text.
    std::optional<QByteArray> convertToWBXML(const QByteArray& xml, int syncMLVersion) const;
    // The decoded XML, one character per byte (toLatin1() gives the bytes
    // back unchanged).
    std::optional<QString> convertToXML(const QByteArray& wbxml, int syncMLVersion) const;
    std::optional<QByteArray> convertToXMLData(const QByteArray& wbxml, int syncMLVersion) const;
};
