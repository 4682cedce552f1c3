#include "sync/WBXMLConverter.h"

#include "formats/WbxmlConverter.h"
#include "foundation/NamedLog.h"
#include "sync/SyncLog.h"

WBXMLConverter& WBXMLConverter::sharedWBXMLConverter()
{
    static WBXMLConverter shared;
    return shared;
}

std::optional<QByteArray> WBXMLConverter::convertToWBXML(const QByteArray& xml, int syncMLVersion) const
{
    (void)syncMLVersion; // the document's xmlns names the version
    QString error;
    WbxmlConverter::EncodeOptions options;
    options.stringTable = false;
    std::optional<QByteArray> wbxml = WbxmlConverter::toWbxml(xml, &error, options);
    if (!wbxml) {
        const QString line = QStringLiteral("xml2wbxml failed: %1").arg(error);
        qCWarning(lcSync).noquote() << line;
        QVLOG(qvlog::kXT, line);
    }
    return wbxml;
}

std::optional<QByteArray> WBXMLConverter::convertToXMLData(const QByteArray& wbxml, int syncMLVersion) const
{
    QString error;
    WbxmlConverter::DecodeOptions options;
    options.language = syncMLVersion == 1 ? WbxmlConverter::Language::SyncML11 : WbxmlConverter::Language::SyncML12;
    options.indent = 4;
    std::optional<QByteArray> xml = WbxmlConverter::toXml(wbxml, &error, options);
    if (!xml) {
        const QString line = QStringLiteral("wbxml2xml failed: %1 (%2 bytes)").arg(error).arg(wbxml.size());
        qCWarning(lcSync).noquote() << line;
        QVLOG(qvlog::kXT, line);
    }
    return xml;
}

std::optional<QString> WBXMLConverter::convertToXML(const QByteArray& wbxml, int syncMLVersion) const
{
    const std::optional<QByteArray> xml = convertToXMLData(wbxml, syncMLVersion);
    if (!xml)
        return std::nullopt;
    return QString::fromLatin1(*xml);
}
