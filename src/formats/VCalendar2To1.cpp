#include "formats/VCalendar2To1.h"

#include "formats/TextRewriter.h"
#include "foundation/NamedLog.h"

#include <QStringList>

QByteArray VCalendar2To1::dictionary1ForVCalendar(const QByteArray& text)
{
    VCalendar2To1 converter;
    converter.rewrite(text);
    return converter.data();
}

void VCalendar2To1::rewrite(const QByteArray& text)
{
    _data.reserve(1024);
    const bool accepted = textrewriter::rewrite(
        text, [this](const QString& name, const QStringList& params, const QByteArray& value) {
            addLine(name, value, params);
        });
    if (!accepted)
        QVLOG(qvlog::kXT, QStringLiteral("VCalendar2To1: the iCalendar text could not be read to its end"));
}

void VCalendar2To1::addLine(const QString& name, const QByteArray& rawValue, const QStringList& params)
{
    static const QStringList typed = {
        QStringLiteral("CATEGORIES"), QStringLiteral("STATUS"),   QStringLiteral("DTSTART"),
        QStringLiteral("DTEND"),      QStringLiteral("SUMMARY"),  QStringLiteral("DESCRIPTION"),
        QStringLiteral("CLASS"),      QStringLiteral("DUE"),      QStringLiteral("DURATION"),
        QStringLiteral("DTSTAMP"),    QStringLiteral("LOCATION"), QStringLiteral("PRIORITY"),
        QStringLiteral("SEQUENCE"),
    };
    if (name.startsWith(QLatin1String("X-")) || name == QLatin1String("UID"))
        return;
    const QByteArray value = textrewriter::unescaped(rawValue);
    if (name == QLatin1String("BEGIN") || name == QLatin1String("END")) {
        _data += textrewriter::asciiLine(name, textrewriter::macRoman(value));
    } else if (name == QLatin1String("VERSION")) {
        _data += "VERSION:1.0\r\n";
        _isVersion20 = value == "2.0";
    } else if (typed.contains(name)) {
        _data += textrewriter::typedLine(name, params, value);
    }
}
