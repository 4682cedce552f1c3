#include "foundation/FormattingUtil.h"

#include "foundation/ObjectDescription.h"
#include "foundation/QuorNSStringPathExtensions.h"
#include "platform/Localization.h"

#include <QUrl>

#include <algorithm>
#include <cstdlib>

namespace {

// Phrases of the string table; each is its own key.
constexpr const char* kBytesFormat = "%ld Bytes";
constexpr const char* kKBFormat = "%@ KB";
constexpr const char* kMBFormat = "%@ MB";
constexpr const char* kGBFormat = "%@ GB";
constexpr const char* kBitsFormat = "%ld bits";
constexpr const char* kKbitFormat = "%@ kbit";
constexpr const char* kMbitFormat = "%@ Mbit";
constexpr const char* kGbitFormat = "%@ Gbit";
constexpr const char* kPerSecondFormat = "%@/s";
constexpr const char* kMinutesSecondsFormat = "%d:%02d";
constexpr const char* kHoursFormat = "%dh.%02d:%02d";
constexpr const char* kDaysFormat = "%dd %dh.%02d:%02d";
constexpr const char* kMoreThanDays = "more than %d days";
constexpr const char* kHours = "%d hours";
constexpr const char* kHoursAndMinutes = "%d hours and %d minutes";
constexpr const char* kSeconds = "%d seconds";
constexpr const char* kMinutes = "%d minutes";
constexpr const char* kLooseHoursMinutes = "%2dh:%2dmin";
constexpr const char* kLooseMinutes = "%2d minutes";
constexpr const char* kAroundOneMinute = "around one minute";
constexpr const char* kLessThanAMinute = "less than a minute";
constexpr const char* kHalfAMinute = "half a minute";
constexpr const char* kLessThan20Secs = "less than 20 secs";
constexpr const char* kLessThan10Secs = "less than 10 secs";
constexpr const char* kNearlyDone = "nearly done";
constexpr const char* kRemaining = "Remaining: %@";
constexpr const char* kAtExactTime = "At exact time";
constexpr const char* kMinutesBefore = "%d minutes before";
constexpr const char* kMinutesAfter = "%d minutes after";
constexpr const char* kHoursBefore = "%d hours before";
constexpr const char* kHoursAfter = "%d hours after";
constexpr const char* kHoursMinutesBefore = "%d hours and %d minutes before";
constexpr const char* kHoursMinutesAfter = "%d hours and %d minutes after";
constexpr const char* kDaysBefore = "%d days before";
constexpr const char* kDaysAfter = "%d days after";
constexpr const char* kDaysHoursBefore = "%d days and %d hours before";
constexpr const char* kDaysHoursAfter = "%d days and %d hours after";
constexpr const char* kFile = "file";
constexpr const char* kFiles = "files";
constexpr const char* kNewFile = "new file";
constexpr const char* kNewFiles = "new files";

// Texts that are not phrases.
constexpr const char* kCountFormat = "%ld %@";
constexpr const char* kPreviewPrefix = "p_";
constexpr const char* kMirrorExtension = ".dzmir";

QString phrase(const char* key)
{
    return platform::localizedString(QString::fromUtf8(key));
}

QString phrase(const char* key, const QVariantList& arguments)
{
    return FormattingUtil::stringWithFormat(phrase(key), arguments);
}

// One decimal, C locale: the number formatter's "0.0".
QString oneDecimal(double value)
{
    return QString::number(value, 'f', 1);
}

struct AmountUnits {
    const char* base;
    const char* kilo;
    const char* mega;
    const char* giga;
};

QString amount(qint64 value, double limit, double divisor, const AmountUnits& units)
{
    if (value < limit)
        return phrase(units.base, {static_cast<qlonglong>(value)});
    double scaled = static_cast<double>(value) / divisor;
    if (scaled < limit)
        return phrase(units.kilo, {oneDecimal(scaled)});
    scaled /= divisor;
    if (scaled < limit)
        return phrase(units.mega, {oneDecimal(scaled)});
    return phrase(units.giga, {oneDecimal(scaled / divisor)});
}

constexpr AmountUnits kByteUnits{kBytesFormat, kKBFormat, kMBFormat, kGBFormat};
constexpr AmountUnits kBitUnits{kBitsFormat, kKbitFormat, kMbitFormat, kGbitFormat};

QString count(long n, const char* one, const char* many)
{
    return FormattingUtil::stringWithFormat(QString::fromUtf8(kCountFormat),
                                            {static_cast<qlonglong>(n), phrase(n == 1 ? one : many)});
}

QString stringFromObject(const QVariant& object, const QString& dateFormat)
{
    if (!object.isValid())
        return {};
    switch (object.metaType().id()) {
    case QMetaType::QString:
        return object.toString();
    case QMetaType::QDateTime: {
        const QDateTime date = object.toDateTime();
        return date.isValid() ? date.toString(dateFormat) : QString();
    }
    case QMetaType::QUrl:
        return object.toUrl().toString(QUrl::FullyEncoded);
    default:
        return objectDescription(object);
    }
}

// One %-specifier of a format, parsed from the character after '%'.
struct Specifier {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
    char conversion = 0;     // 'd', 'u', '@', '%' or 0 when not understood
    qsizetype length = 0;    // characters after the '%'
};

Specifier parseSpecifier(const QString& format, qsizetype start)
{
    Specifier spec;
    qsizetype i = start;
    const qsizetype size = format.size();
    for (; i < size; ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('-'))
            spec.leftAlign = true;
        else if (c == QLatin1Char('0'))
            spec.zeroPad = true;
        else if (c != QLatin1Char(' ') && c != QLatin1Char('+') && c != QLatin1Char('#'))
            break;
    }
    for (; i < size && format.at(i).isDigit() && spec.width < 1000; ++i)
        spec.width = spec.width * 10 + format.at(i).digitValue();
    while (i < size && (format.at(i) == QLatin1Char('l') || format.at(i) == QLatin1Char('h')
                        || format.at(i) == QLatin1Char('q')))
        ++i;
    if (i < size) {
        switch (format.at(i).unicode()) {
        case 'd':
        case 'i':
            spec.conversion = 'd';
            break;
        case 'u':
            spec.conversion = 'u';
            break;
        case '@':
        case 's':
            spec.conversion = '@';
            break;
        case '%':
            spec.conversion = '%';
            break;
        default:
            break;
        }
        ++i;
    }
    spec.length = i - start;
    return spec;
}

QString padded(QString text, const Specifier& spec)
{
    if (text.size() >= spec.width)
        return text;
    const qsizetype missing = spec.width - text.size();
    if (spec.leftAlign)
        return text + QString(missing, QLatin1Char(' '));
    if (spec.zeroPad && spec.conversion != '@') {
        const bool negative = text.startsWith(QLatin1Char('-'));
        return (negative ? QStringLiteral("-") : QString()) + QString(missing, QLatin1Char('0'))
            + text.mid(negative ? 1 : 0);
    }
    return QString(missing, QLatin1Char(' ')) + text;
}

} // namespace

QString FormattingUtil::stringWithFormat(const QString& format, const QVariantList& arguments)
{
    QString result;
    result.reserve(format.size() + 16);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format.at(i) != QLatin1Char('%') || i + 1 >= format.size()) {
            result.append(format.at(i));
            continue;
        }
        const Specifier spec = parseSpecifier(format, i + 1);
        if (spec.conversion == 0) {
            result.append(QStringView(format).mid(i, 1 + spec.length));
        } else if (spec.conversion == '%') {
            result.append(QLatin1Char('%'));
        } else if (next < arguments.size()) {
            const QVariant& argument = arguments.at(next++);
            QString text;
            if (spec.conversion == 'd')
                text = QString::number(argument.toLongLong());
            else if (spec.conversion == 'u')
                text = QString::number(argument.toULongLong());
            else
                text = objectDescription(argument);
            result.append(padded(text, spec));
        }
        i += spec.length;
    }
    return result;
}

QString FormattingUtil::displayableDataAmount(qint64 bytes)
{
    return amount(bytes, 1023, 1024, kByteUnits);
}

QString FormattingUtil::displayableFileSystemDataAmount(qint64 bytes)
{
    return amount(bytes, 1000, 1000, kByteUnits);
}

QString FormattingUtil::displayableDataAmountInBits(qint64 bits)
{
    return amount(bits, 1023, 1024, kBitUnits);
}

QString FormattingUtil::displayableSpeed(long bytesPerSecond)
{
    return phrase(kPerSecondFormat, {displayableDataAmount(bytesPerSecond)});
}

QString FormattingUtil::displayableSpeedInBitsPerSec(long bitsPerSecond)
{
    return phrase(kPerSecondFormat, {displayableDataAmountInBits(bitsPerSecond)});
}

QString FormattingUtil::displayableDuration(long seconds)
{
    const qlonglong s = seconds;
    if (s <= 3599)
        return stringWithFormat(QString::fromUtf8(kMinutesSecondsFormat), {s / 60, s % 60});
    if (s <= 86399)
        return phrase(kHoursFormat, {s / 3600, (s % 3600) / 60, s % 60});
    return phrase(kDaysFormat, {s / 86400, (s % 86400) / 3600, (s % 3600) / 60, s % 60});
}

QString FormattingUtil::makeTimeString(int seconds)
{
    const int days = seconds / 86400;
    if (days >= 3)
        return phrase(kMoreThanDays, {days});
    const int hours = seconds / 3600;
    if (hours >= 6)
        return phrase(kHours, {hours});
    if (hours >= 1)
        return phrase(kHoursAndMinutes, {hours, (seconds % 3600) / 60});
    if (seconds < 121)
        return phrase(kSeconds, {seconds});
    return phrase(kMinutes, {seconds / 60});
}

QString FormattingUtil::makeLooselyTimeString(int seconds)
{
    const int hours = seconds / 3600;
    if (hours >= 49)
        return phrase(kMoreThanDays, {hours / 24});
    if (hours >= 6)
        return phrase(kHours, {hours});
    if (hours >= 1)
        return phrase(kLooseHoursMinutes, {hours, (seconds % 3600) / 60});
    if (seconds >= 121)
        return phrase(kLooseMinutes, {seconds / 60});
    if (seconds >= 56)
        return phrase(kAroundOneMinute);
    if (seconds >= 36)
        return phrase(kLessThanAMinute);
    if (seconds >= 21)
        return phrase(kHalfAMinute);
    if (seconds >= 11)
        return phrase(kLessThan20Secs);
    if (seconds >= 6)
        return phrase(kLessThan10Secs);
    return phrase(kNearlyDone);
}

QString FormattingUtil::makeRemainTimeString(int seconds)
{
    return phrase(kRemaining, {makeLooselyTimeString(seconds)});
}

QString FormattingUtil::displayableTimeDifference(long seconds)
{
    if (seconds == 0)
        return phrase(kAtExactTime);
    const qlonglong a = std::llabs(static_cast<qlonglong>(seconds));
    const qlonglong minutes = a / 60;
    const qlonglong hours = a / 3600;
    const bool before = seconds < 0;
    if (hours / 24 < 3) {
        if (minutes < 121)
            return phrase(before ? kMinutesBefore : kMinutesAfter, {minutes});
        if (minutes % 60 == 0)
            return phrase(before ? kHoursBefore : kHoursAfter, {hours});
        return phrase(before ? kHoursMinutesBefore : kHoursMinutesAfter, {hours, minutes % 60});
    }
    const qlonglong days = hours / 24;
    if (hours % 24 == 0)
        return phrase(before ? kDaysBefore : kDaysAfter, {days});
    return phrase(before ? kDaysHoursBefore : kDaysHoursAfter, {days, hours % 24});
}

QString FormattingUtil::fileCount(long n)
{
    return count(n, kFile, kFiles);
}

QString FormattingUtil::newFilesCount(long n)
{
    return count(n, kNewFile, kNewFiles);
}

QString FormattingUtil::PosixPathToFilePath(const QString& url)
{
    if (url.isNull())
        return {};
    QString path = QUrl(url).path(QUrl::FullyDecoded);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString FormattingUtil::SystemPathToPosixPath(const QString& path)
{
    if (path.isNull())
        return {};
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

QString FormattingUtil::localPathToPreviewFileName(const QString& path)
{
    return QString::fromUtf8(kPreviewPrefix) + lastPathComponent(path);
}

QString FormattingUtil::makeMirrorFileName(const QString& name, const QString& serNo)
{
    return name + QLatin1Char('-') + serNo + QString::fromUtf8(kMirrorExtension);
}

QString FormattingUtil::makeTempDataFileName(const QString& name, const QString& serNo)
{
    return name + QLatin1Char('-') + serNo;
}

QDateTime highNoonGMTDate(const QDateTime& date)
{
    if (!date.isValid())
        return {};
    return QDateTime(date.date(), QTime(12, 0), Qt::UTC);
}

QString makeStringFromObject(const QVariant& object)
{
    return stringFromObject(object, QStringLiteral("yyyyMMdd'T'HHmmss"));
}

QString makeNoTimeStringFromObject(const QVariant& object)
{
    return stringFromObject(object, QStringLiteral("yyyyMMdd'T'"));
}

QString makeBirthdayStringFromObject(const QVariant& object)
{
    return stringFromObject(object, QStringLiteral("yyyy-MM-dd' 12:00:00 +0000'"));
}

bool equalVXDataItems(const QString& a, const QString& b)
{
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return false;
    const QString separator = QStringLiteral("\r\n");
    QStringList linesA = a.split(separator);
    QStringList linesB = b.split(separator);
    if (linesA.size() != linesB.size())
        return false;
    // Equal as multisets: the same lines, each as often, in any order.
    std::sort(linesA.begin(), linesA.end());
    std::sort(linesB.begin(), linesB.end());
    return linesA == linesB;
}

QString expandBackSlashCodes(const QString& text)
{
    if (!text.contains(QLatin1Char('\\')))
        return text;
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\')) {
            result.append(c);
            continue;
        }
        if (++i >= text.size())
            break;
        switch (text.at(i).unicode()) {
        case 'r':
            result.append(QLatin1Char('\r'));
            break;
        case 't':
            result.append(QLatin1Char('\t'));
            break;
        case 'n':
            result.append(QLatin1Char('\n'));
            break;
        default:
            result.append(text.at(i));
            break;
        }
    }
    return result;
}
