#include "foundation/ObjectDescription.h"

#include "foundation/QuorNSArrayExtensions.h"
#include "foundation/QuorNSDictionaryExtensions.h"
#include "platform/Values.h"

#include <QDateTime>
#include <QLocale>
#include <QUrl>

namespace {

QString numberDescription(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return QString::number(value.toULongLong());
    default:
        return QString::number(value.toLongLong());
    }
}

QString dateDescription(const QDateTime& date)
{
    if (!date.isValid())
        return QStringLiteral("(null)");
    const int offset = date.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "))
        + QString::asprintf("%c%02d%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

QString bytesDescription(const QByteArray& bytes)
{
    QString text = QStringLiteral("<");
    const QByteArray hex = bytes.toHex();
    for (qsizetype i = 0; i < hex.size(); i += 8) {
        if (i > 0)
            text.append(QLatin1Char(' '));
        text.append(QString::fromLatin1(hex.mid(i, 8)));
    }
    text.append(QLatin1Char('>'));
    return text;
}

} // namespace

QString objectDescription(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("(null)");
    if (platform::values::isNumber(value))
        return numberDescription(value);
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QDateTime:
        return dateDescription(value.toDateTime());
    case QMetaType::QByteArray:
        return bytesDescription(value.toByteArray());
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return formattedDescription(value.toList());
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash:
        return formattedDescription(value.toMap());
    case QMetaType::QUrl:
        return value.toUrl().toString(QUrl::FullyEncoded);
    default:
        return value.toString();
    }
}
