#include "devicewindow/DeviceWindowXmlDebug.h"

#include "devicewindow/DeviceWindowKeys.h"
#include "devicewindow/DeviceWindowLog.h"

#include "formats/WbxmlConverter.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <QStringDecoder>

namespace xmldebug {

std::optional<QByteArray> readLine(const QByteArray& data, qsizetype* offset)
{
    if (!offset || *offset < 0 || *offset >= data.size())
        return std::nullopt;
    const qsizetype start = *offset;
    qsizetype end = data.indexOf('\n', start);
    *offset = end < 0 ? data.size() : end + 1;
    if (end < 0)
        end = data.size();
    QByteArray line = data.mid(start, end - start);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

std::optional<QByteArray> findElement(const QByteArray& xml, const QByteArray& tag)
{
    if (tag.isEmpty())
        return std::nullopt;
    const QByteArray open = QByteArray("<") + tag;
    qsizetype at = 0;
    while ((at = xml.indexOf(open, at)) >= 0) {
        const qsizetype after = at + open.size();
        if (after >= xml.size())
            return std::nullopt;
        const char next = xml.at(after);
        if (next != '>' && next != ' ' && next != '/' && next != '\t' && next != '\n' && next != '\r') {
            at = after; // a longer name that starts the same
            continue;
        }
        const qsizetype gt = xml.indexOf('>', after);
        if (gt < 0)
            return std::nullopt;
        if (xml.at(gt - 1) == '/')
            return QByteArray(""); // <tag/>
        const qsizetype close = xml.indexOf(QByteArray("</" + tag + ">"), gt + 1);
        if (close < 0)
            return std::nullopt;
        return xml.mid(gt + 1, close - gt - 1);
    }
    return std::nullopt;
}

QByteArray reencode8Bit(const QByteArray& data)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(data);
    if (!utf8.hasError())
        return data;
    return QString::fromLatin1(data).toUtf8();
}

bool writeWbxmlAsXml(const QByteArray& wbxml, const QString& path)
{
    QString error;
    const std::optional<QByteArray> xml = WbxmlConverter::toXml(wbxml, &error);
    if (!xml) {
        qCWarning(lcDeviceWindow) << "WBXML message not converted:" << error;
        return false;
    }
    const QString target =
        platform::paths::expandTilde(path.isEmpty() ? QLatin1String(devicewindowkeys::kXmlDataFile) : path);
    return platform::writeFileAtomically(target, *xml);
}

} // namespace xmldebug
