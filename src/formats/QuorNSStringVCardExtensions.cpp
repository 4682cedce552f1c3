#include "formats/QuorNSStringVCardExtensions.h"

namespace {

const QString kVersion = QStringLiteral("VERSION:");

// NO exactly when the three characters after "VERSION:" are the given version.
bool versionIsNot(const QString& text, QStringView version)
{
    const qsizetype at = text.indexOf(kVersion);
    if (at < 0)
        return true;
    const qsizetype from = at + kVersion.size();
    if (text.size() - from < 3)
        return true;
    return QStringView(text).mid(from, 3) != version;
}

} // namespace

bool isVCard21(const QString& text)
{
    return versionIsNot(text, u"3.0");
}

bool isVCalendar20(const QString& text)
{
    return versionIsNot(text, u"1.0");
}

QByteArray getAsData(const QString& text)
{
    // UTF-8 cannot carry an unpaired surrogate; UTF-16 carries every unit.
    bool unpaired = false;
    for (qsizetype i = 0; i < text.size() && !unpaired; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            unpaired = true;
    }
    if (!unpaired)
        return text.toUtf8();
    QByteArray bytes("\xFE\xFF");
    bytes.reserve(2 + text.size() * 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xFF));
    }
    return bytes;
}

bool containsString(const QString& text, const QString& other)
{
    if (other.isNull())
        return false;
    return text.contains(other);
}

bool hasSubString(const QString& text, const QString& other)
{
    return text.contains(other);
}

QString lastSignificantLine(const QString& text)
{
    qsizetype last = text.size() - 1;
    while (last >= 0) {
        const QChar c = text.at(last);
        if (c != u'\r' && c != u'\n' && c != u' ')
            break;
        --last;
    }
    if (last < 0)
        return QStringLiteral("");
    qsizetype first = last;
    while (first > 0 && text.at(first - 1) != u'\r' && text.at(first - 1) != u'\n')
        --first;
    return text.mid(first, last - first + 1);
}
