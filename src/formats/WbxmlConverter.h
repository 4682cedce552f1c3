#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The code table a message is decoded with: the one its public identifier
// names, or SyncML 1.1 / 1.2 whatever it names.
enum class WbxmlLanguage { FromDocument, SyncML11, SyncML12 };
struct WbxmlDecodeOptions {
    WbxmlLanguage language = WbxmlLanguage::FromDocument;
    int indent = 0; // 0: compact XML; else indented by that many blanks
};
struct WbxmlEncodeOptions {
    bool stringTable = true;
};

// WBXML (the binary XML of SyncML over OBEX) to and from XML, over libwbxml2.
// The input is untrusted: a buffer that does not decode answers nothing and
// says why in error.
class WbxmlConverter {
public:
    using Language = WbxmlLanguage;
    using DecodeOptions = WbxmlDecodeOptions;
    using EncodeOptions = WbxmlEncodeOptions;

    // XML in UTF-8, compact unless the options ask for indentation.
    static std::optional<QByteArray> toXml(const QByteArray& wbxml, QString* error = nullptr,
                                           const DecodeOptions& options = {});
    // WBXML 1.2, with a string table unless the options turn it off; ignorable
    // white space is dropped. The public identifier comes from the XML's
    // DOCTYPE, else from the root's xmlns.
    static std::optional<QByteArray> toWbxml(const QByteArray& xml, QString* error = nullptr,
                                             const EncodeOptions& options = {});
};
