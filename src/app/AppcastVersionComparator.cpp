#include "app/AppcastVersionComparator.h"

namespace appcast {

PartKind typeOfCharacter(const QString& part)
{
    if (part == QLatin1String("."))
        return PartKind::Separator;
    if (!part.isEmpty() && part.at(0).isDigit())
        return PartKind::Number;
    return PartKind::Text;
}

QStringList splitVersionString(const QString& version)
{
    QStringList parts;
    if (version.isEmpty())
        return parts;
    QString current = version.left(1);
    PartKind currentKind = typeOfCharacter(current);
    for (qsizetype i = 1; i < version.size(); ++i) {
        const QString character = version.mid(i, 1);
        const PartKind kind = typeOfCharacter(character);
        if (kind == currentKind && kind != PartKind::Separator) {
            current += character;
        } else {
            parts.append(current);
            current = character;
        }
        currentKind = kind;
    }
    parts.append(current);
    return parts;
}

namespace {

// Numbers longer than any integer type compare by length, then as text.
int compareNumbers(const QString& a, const QString& b)
{
    QString x = a;
    QString y = b;
    while (x.size() > 1 && x.startsWith(QLatin1Char('0')))
        x.remove(0, 1);
    while (y.size() > 1 && y.startsWith(QLatin1Char('0')))
        y.remove(0, 1);
    if (x.size() != y.size())
        return x.size() > y.size() ? 1 : -1;
    const int order = QString::compare(x, y);
    return order > 0 ? 1 : (order < 0 ? -1 : 0);
}

} // namespace

int compareVersion(const QString& a, const QString& b)
{
    const QStringList partsA = splitVersionString(a);
    const QStringList partsB = splitVersionString(b);
    const qsizetype n = std::min(partsA.size(), partsB.size());
    for (qsizetype i = 0; i < n; ++i) {
        const PartKind ka = typeOfCharacter(partsA[i]);
        const PartKind kb = typeOfCharacter(partsB[i]);
        if (ka != kb) {
            if (kb == PartKind::Text)
                return 1;
            if (ka == PartKind::Text)
                return -1;
            return ka == PartKind::Number ? 1 : -1;
        }
        if (ka == PartKind::Number) {
            if (const int order = compareNumbers(partsA[i], partsB[i]))
                return order;
        } else if (ka == PartKind::Text) {
            const int order = QString::compare(partsA[i], partsB[i], Qt::CaseSensitive);
            if (order != 0)
                return order > 0 ? 1 : -1;
        }
    }
    if (partsA.size() == partsB.size())
        return 0;
    if (partsA.size() < partsB.size())
        return typeOfCharacter(partsB[n]) == PartKind::Text ? 1 : -1;
    return typeOfCharacter(partsA[n]) == PartKind::Text ? -1 : 1;
}

} // namespace appcast
