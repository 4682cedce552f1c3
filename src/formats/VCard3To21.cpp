#include "formats/VCard3To21.h"

#include "formats/RawVCardUtilities.h"
#include "formats/TextRewriter.h"
#include "foundation/NamedLog.h"

#include <QStringList>

using textrewriter::macRoman;

QByteArray VCard3To21::dictionary21ForVCard(const QByteArray& text, const QImage& photo)
{
    VCard3To21 rewriter(photo);
    rewriter.rewrite(text);
    return rewriter.data();
}

void VCard3To21::rewrite(const QByteArray& text)
{
    _data.reserve(2048);
    const bool accepted = textrewriter::rewrite(
        text, [this](const QString& name, const QStringList& params, const QByteArray& value) {
            addLine(name, value, params);
        });
    if (!accepted)
        QVLOG(qvlog::kXT, QStringLiteral("VCard3To21: the vCard text could not be read to its end"));
}

void VCard3To21::addLine(const QString& name, const QByteArray& rawValue, const QStringList& params)
{
    static const QStringList dropped = {
        QStringLiteral("SOURCE"), QStringLiteral("NICKNAME"), QStringLiteral("PRODID"), QStringLiteral("SORT-STRING"),
        QStringLiteral("UID"),    QStringLiteral("CLASS"),    QStringLiteral("CATEGORIES"),
    };
    static const QStringList typed = {
        QStringLiteral("TEL"), QStringLiteral("EMAIL"), QStringLiteral("URL"), QStringLiteral("N"),    QStringLiteral("ORG"),
        QStringLiteral("TITLE"), QStringLiteral("FN"),  QStringLiteral("ADR"), QStringLiteral("NOTE"),
    };
    if (dropped.contains(name))
        return;
    const QByteArray value = textrewriter::unescaped(rawValue);
    if (name == QLatin1String("BEGIN")) {
        _data += textrewriter::asciiLine(name, macRoman(value));
    } else if (name == QLatin1String("END")) {
        // The photo, brought under the limit by the shared photo helper,
        // goes in before the END line.
        const QString end = QString::fromLatin1(textrewriter::asciiLine(name, macRoman(value)));
        _data += (_photo.isNull() ? end : addPhotoItem(_photo, end, kPhotoByteLimit)).toLatin1();
    } else if (name == QLatin1String("VERSION")) {
        _isVersion30 = value == "3.0";
        _data += "VERSION:2.1\r\n";
    } else if (typed.contains(name)) {
        _data += textrewriter::typedLine(name, params, value);
    } else if (name == QLatin1String("BDAY")) {
        QByteArray date = value.left(value.indexOf('T') < 0 ? value.size() : value.indexOf('T'));
        date.replace("-", "");
        _data += textrewriter::asciiLine(name, macRoman(date));
    }
}
