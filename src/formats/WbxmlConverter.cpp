#include "formats/WbxmlConverter.h"

#include <wbxml/wbxml.h>
#include <wbxml/wbxml_conv.h>
#include <wbxml/wbxml_errors.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

bool wbxmlFailed(WBXMLError result, QString* error)
{
    if (result == WBXML_OK)
        return false;
    if (error)
        *error = QString::fromUtf8(reinterpret_cast<const char*>(wbxml_errors_string(result)));
    return true;
}

// Takes over a buffer the library allocated.
QByteArray wbxmlTakeBuffer(WB_UTINY* data, WB_ULONG length)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(length));
    std::free(data);
    return bytes;
}

// A SyncML message is a few hundred kilobytes at most; string-table
// references can make the text many times its coded size.
constexpr qsizetype kMaxWbxmlInput = 4 * 1024 * 1024;
constexpr WB_ULONG kMaxXmlOutput = 64 * 1024 * 1024;

// Reads a multi-byte unsigned integer of the WBXML header at pos; false when
// it runs past the end or beyond 32 bits.
bool wbxmlReadMbUint(const QByteArray& bytes, qsizetype& pos, quint64& value)
{
    value = 0;
    for (int i = 0; i < 5 && pos < bytes.size(); ++i) {
        const auto byte = quint8(bytes.at(pos++));
        value = (value << 7) | (byte & 0x7F);
        if (!(byte & 0x80))
            return value <= std::numeric_limits<quint32>::max();
    }
    return false;
}

// Every reference into the string table copies a string of it into the
// text, so a small message can name a large table entry many times. Counts
// the bytes after the table that could be such a reference (an upper bound)
// and refuses a message whose references could outgrow the output limit.
bool wbxmlReferencesFit(const QByteArray& wbxml, quint64 outputLimit)
{
    qsizetype pos = 1; // the version
    quint64 publicId = 0;
    quint64 ignored = 0;
    quint64 tableLength = 0;
    if (!wbxmlReadMbUint(wbxml, pos, publicId))
        return false;
    if (publicId == 0 && !wbxmlReadMbUint(wbxml, pos, ignored)) // the public id as a table index
        return false;
    if (!wbxmlReadMbUint(wbxml, pos, ignored) || !wbxmlReadMbUint(wbxml, pos, tableLength)) // charset, table
        return false;
    if (tableLength == 0)
        return true;
    if (tableLength > quint64(wbxml.size() - pos))
        return false;
    quint64 references = 0;
    for (qsizetype i = pos + qsizetype(tableLength); i < wbxml.size(); ++i) {
        switch (quint8(wbxml.at(i))) {
        case 0x04: case 0x44: case 0x84: case 0xC4: // literal tags and attributes
        case 0x80: case 0x81: case 0x82: case 0x83: // extensions and strings from the table
            ++references;
            break;
        default:
            break;
        }
    }
    return references * tableLength <= outputLimit;
}

} // namespace

std::optional<QByteArray> WbxmlConverter::toXml(const QByteArray& wbxml, QString* error, const DecodeOptions& options)
{
    if (wbxml.isEmpty() || wbxml.size() > kMaxWbxmlInput) {
        if (error)
            *error = QStringLiteral("empty or oversized WBXML buffer");
        return std::nullopt;
    }
    if (!wbxmlReferencesFit(wbxml, kMaxXmlOutput)) {
        if (error)
            *error = QStringLiteral("the WBXML message's string table could expand beyond %1 bytes").arg(kMaxXmlOutput);
        return std::nullopt;
    }
    WBXMLConvWBXML2XML* conv = nullptr;
    if (wbxmlFailed(wbxml_conv_wbxml2xml_create(&conv), error))
        return std::nullopt;
    if (options.indent > 0) {
        wbxml_conv_wbxml2xml_set_gen_type(conv, WBXML_GEN_XML_INDENT);
        wbxml_conv_wbxml2xml_set_indent(conv, static_cast<WB_UTINY>(std::min(options.indent, 16)));
    } else {
        wbxml_conv_wbxml2xml_set_gen_type(conv, WBXML_GEN_XML_COMPACT);
    }
    if (options.language == Language::SyncML11)
        wbxml_conv_wbxml2xml_set_language(conv, WBXML_LANG_SYNCML_SYNCML11);
    else if (options.language == Language::SyncML12)
        wbxml_conv_wbxml2xml_set_language(conv, WBXML_LANG_SYNCML_SYNCML12);
    wbxml_conv_wbxml2xml_set_charset(conv, WBXML_CHARSET_UTF_8);
    // The library reads the buffer only; it takes no const pointer.
    QByteArray input = wbxml;
    WB_UTINY* xml = nullptr;
    WB_ULONG length = 0;
    const WBXMLError result = wbxml_conv_wbxml2xml_run(conv, reinterpret_cast<WB_UTINY*>(input.data()),
                                                       static_cast<WB_ULONG>(input.size()), &xml, &length);
    wbxml_conv_wbxml2xml_destroy(conv);
    if (wbxmlFailed(result, error)) {
        std::free(xml);
        return std::nullopt;
    }
    if (xml && length > kMaxXmlOutput) {
        std::free(xml);
        if (error)
            *error = QStringLiteral("the WBXML message expands beyond %1 bytes").arg(kMaxXmlOutput);
        return std::nullopt;
    }
    if (!xml) {
        if (error)
            *error = QStringLiteral("no XML produced");
        return std::nullopt;
    }
    return wbxmlTakeBuffer(xml, length);
}

std::optional<QByteArray> WbxmlConverter::toWbxml(const QByteArray& xml, QString* error, const EncodeOptions& options)
{
    if (xml.isEmpty() || quint64(xml.size()) > std::numeric_limits<WB_ULONG>::max()) {
        if (error)
            *error = QStringLiteral("empty or oversized XML buffer");
        return std::nullopt;
    }
    WBXMLConvXML2WBXML* conv = nullptr;
    if (wbxmlFailed(wbxml_conv_xml2wbxml_create(&conv), error))
        return std::nullopt;
    wbxml_conv_xml2wbxml_set_version(conv, WBXML_VERSION_12);
    if (!options.stringTable)
        wbxml_conv_xml2wbxml_disable_string_table(conv);
    QByteArray input = xml;
    WB_UTINY* wbxml = nullptr;
    WB_ULONG length = 0;
    const WBXMLError result = wbxml_conv_xml2wbxml_run(conv, reinterpret_cast<WB_UTINY*>(input.data()),
                                                       static_cast<WB_ULONG>(input.size()), &wbxml, &length);
    wbxml_conv_xml2wbxml_destroy(conv);
    if (wbxmlFailed(result, error)) {
        std::free(wbxml);
        return std::nullopt;
    }
    if (!wbxml) {
        if (error)
            *error = QStringLiteral("no WBXML produced");
        return std::nullopt;
    }
    return wbxmlTakeBuffer(wbxml, length);
}
