#include "foundation/QuorNSStringCompareAdds.h"

#include "platform/Values.h"

#include <QStringView>

#include <cstdlib>
#include <optional>

namespace {

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool allDigits(QStringView text)
{
    for (QChar c : text)
        if (!isDigit(c))
            return false;
    return true;
}

// "YYYYMMDDTHHMMSS" (exactly these 15 characters) as a date and a time of day.
std::optional<std::pair<QDate, QTime>> parseWallClock(QStringView text)
{
    if (text.size() != 15 || text.at(8) != QLatin1Char('T') || !allDigits(text.first(8)) || !allDigits(text.sliced(9)))
        return std::nullopt;
    const QDate date(text.first(4).toInt(), text.sliced(4, 2).toInt(), text.sliced(6, 2).toInt());
    const QTime time(text.sliced(9, 2).toInt(), text.sliced(11, 2).toInt(), text.sliced(13, 2).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return std::make_pair(date, time);
}

QDateTime localWallClock(QStringView text)
{
    const auto parsed = parseWallClock(text);
    if (!parsed)
        return {};
    return QDateTime(parsed->first, parsed->second, Qt::LocalTime);
}

QDateTime utcWallClock(QStringView text)
{
    const auto parsed = parseWallClock(text);
    if (!parsed)
        return {};
    return QDateTime(parsed->first, parsed->second, Qt::UTC);
}

} // namespace

bool stringStartsWithString(const QString& self, const QString& prefix, bool caseInsensitiveCompare)
{
    if (prefix.isNull() || self.size() < prefix.size())
        return false;
    return QStringView(self).first(prefix.size()).compare(prefix,
               caseInsensitiveCompare ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

bool stringStartsWithString(const QString& self, const QString& prefix)
{
    return stringStartsWithString(self, prefix, false);
}

bool hasNoCasePrefix(const QString& self, const QString& prefix)
{
    if (prefix.isEmpty() || self.size() < prefix.size())
        return false;
    return self.startsWith(prefix, Qt::CaseInsensitive);
}

bool hasSuffixCaseInsensitive(const QString& self, const QString& suffix)
{
    if (suffix.isEmpty() || self.size() < suffix.size())
        return false;
    return self.endsWith(suffix, Qt::CaseInsensitive);
}

bool hasNoCaseSuffix(const QString& self, const QString& suffix)
{
    return hasSuffixCaseInsensitive(self, suffix);
}

bool isNoCaseEqualToString(const QString& self, const QString& other)
{
    if (other.isNull())
        return false;
    return self.compare(other, Qt::CaseInsensitive) == 0;
}

bool isSmartEqualToString(const QString& self, const QString& other, bool caseInsensitiveCompare)
{
    if (other.isNull())
        return false;
    const qsizetype length = std::min(self.size(), other.size());
    return QStringView(self).first(length).compare(QStringView(other).first(length),
               caseInsensitiveCompare ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

bool isNoCaseSmartEqualToString(const QString& self, const QString& other)
{
    return isSmartEqualToString(self, other, false);
}

bool isSameTimeWithoutTimeZone(const QString& self, const QString& other)
{
    const QStringView mine = QStringView(self).left(15);
    const QStringView theirs = QStringView(other).left(15);
    if (mine == theirs)
        return true;
    // Both as local times: across a daylight-saving change a day is 23 or 25
    // hours long.
    const QDateTime a = localWallClock(mine);
    const QDateTime b = localWallClock(theirs);
    if (!a.isValid() || !b.isValid())
        return false;
    const qint64 difference = std::llabs(a.secsTo(b));
    return difference <= 86400 && difference % 3600 == 0;
}

QDateTime getZuluCalendarDateWithLocalOffset(const QString& self, long /*localOffset*/)
{
    if (!isTimeString(self))
        return {};
    if (self.size() == 15)
        return localWallClock(self);
    if (self.size() == 16)
        return utcWallClock(QStringView(self).first(15));
    return {};
}

QDateTime getZuluCalendarDate(const QString& self)
{
    return getZuluCalendarDateWithLocalOffset(self, 0);
}

QDateTime getNSCalendarDateFromT_Time(const QString& self)
{
    switch (self.size()) {
    case 8:
        return localWallClock(QString(self + QStringLiteral("T000000")));
    case 15:
        return localWallClock(self);
    case 16: {
        const QDateTime utc = utcWallClock(QStringView(self).first(15));
        return utc.isValid() ? utc.toLocalTime() : QDateTime();
    }
    default:
        return {};
    }
}

bool isCleanNumber(const QString& self, bool allowSign)
{
    for (QChar c : self) {
        if (isDigit(c))
            continue;
        if (allowSign && (c == QLatin1Char('+') || c == QLatin1Char('-')))
            continue;
        return false;
    }
    return true;
}

bool isCleanSerialNumber(const QString& self)
{
    for (QChar c : self)
        if (!isDigit(c) && c != QLatin1Char(' '))
            return false;
    return true;
}

bool isTimeString(const QString& self)
{
    const QStringView text(self);
    switch (text.size()) {
    case 8:
        return allDigits(text);
    case 15:
        return text.at(8) == QLatin1Char('T') && allDigits(text.first(8)) && allDigits(text.sliced(9));
    case 16:
        return text.at(15) == QLatin1Char('Z') && text.at(8) == QLatin1Char('T') && allDigits(text.first(8))
            && allDigits(text.sliced(9, 6));
    default:
        return false;
    }
}

bool boolValue(const QString& self)
{
    return platform::values::stringBool(self);
}

bool isEqualCharAtIndex(const QString& self, qsizetype index, QChar theChar)
{
    if (index < 0 || index >= self.size())
        return false;
    return self.at(index) == theChar;
}
