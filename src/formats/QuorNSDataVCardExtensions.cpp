#include "formats/QuorNSDataVCardExtensions.h"

#include "formats/QuorNSStringVCardExtensions.h"

#include <QStringDecoder>

QString getAsString(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    const auto first = static_cast<unsigned char>(data.at(0));
    if (first >= 1 && first <= 254) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(data);
        if (!utf8.hasError())
            return text;
    } else if (data.size() % 2 == 0) {
        // UTF-16: the byte-order mark decides, big-endian without one.
        QStringConverter::Encoding encoding = QStringConverter::Utf16BE;
        QByteArray body = data;
        if (data.startsWith("\xFF\xFE")) {
            encoding = QStringConverter::Utf16LE;
            body = data.mid(2);
        } else if (data.startsWith("\xFE\xFF")) {
            body = data.mid(2);
        }
        QStringDecoder utf16(encoding, QStringDecoder::Flag::Stateless);
        QString text = utf16.decode(body);
        if (!utf16.hasError())
            return text;
    }
    return QString::fromLatin1(data);
}

bool isVCard21(const QByteArray& data)
{
    return isVCard21(getAsString(data));
}
