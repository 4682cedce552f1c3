#include "platform/Values.h"

#include <QMetaType>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace platform::values {

namespace {

bool isBlank(QChar c)
{
    return c.isSpace();
}

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// The "C" numeric locale, so that a process locale with a decimal comma never
// changes how "2.5" reads.
locale_t cLocale()
{
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

template <typename Int>
Int saturatingCast(double value)
{
    if (std::isnan(value))
        return 0;
    // Compare against the bounds as doubles; the upper bound of a 64-bit type
    // is not exactly representable, so use ">=" with 2^N.
    constexpr double lowest = static_cast<double>(std::numeric_limits<Int>::lowest());
    constexpr double upperExclusive = static_cast<double>(std::numeric_limits<Int>::max() / 2 + 1) * 2.0;
    if (value < lowest)
        return std::numeric_limits<Int>::lowest();
    if (value >= upperExclusive)
        return std::numeric_limits<Int>::max();
    return static_cast<Int>(value);   // truncates toward zero, like a C cast
}

} // namespace

bool stringBool(const QString& text)
{
    if (text.isEmpty())
        return false;
    // The first character decides 'Y'/'y' before any blanks are skipped, like
    // the original rule; the integer value skips blanks.
    if (stringLongLong(text) != 0)
        return true;
    const QChar first = text.at(0);
    return first == QLatin1Char('Y') || first == QLatin1Char('y');
}

qlonglong stringLongLong(const QString& text)
{
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && isBlank(text.at(i)))
        ++i;
    bool negative = false;
    if (i < size && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    // Accumulate as a negative number, whose range is one larger.
    constexpr qlonglong lowest = std::numeric_limits<qlonglong>::lowest();
    qlonglong value = 0;
    bool overflow = false;
    for (; i < size && isDigit(text.at(i)); ++i) {
        const int digit = text.at(i).unicode() - '0';
        if (overflow)
            continue;
        if (value < (lowest + digit) / 10) {
            overflow = true;
            continue;
        }
        value = value * 10 - digit;
    }
    if (overflow)
        return negative ? lowest : std::numeric_limits<qlonglong>::max();
    if (negative)
        return value;
    if (value == lowest)
        return std::numeric_limits<qlonglong>::max();
    return -value;
}

int stringInt(const QString& text)
{
    const qlonglong value = stringLongLong(text);
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

double stringDouble(const QString& text)
{
    // Take the leading number: [blanks][sign]digits[.digits][(e|E)[sign]digits]
    // and hand exactly that to strtod in the C locale (which saturates to
    // +-HUGE_VAL and underflows to 0).
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && isBlank(text.at(i)))
        ++i;
    QByteArray number;
    if (i < size && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        number.append(static_cast<char>(text.at(i++).unicode()));
    bool digits = false;
    for (; i < size && isDigit(text.at(i)); ++i) {
        number.append(static_cast<char>(text.at(i).unicode()));
        digits = true;
    }
    if (i < size && text.at(i) == QLatin1Char('.')) {
        number.append('.');
        for (++i; i < size && isDigit(text.at(i)); ++i) {
            number.append(static_cast<char>(text.at(i).unicode()));
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    if (i < size && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        QByteArray exponent("e");
        if (j < size && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-')))
            exponent.append(static_cast<char>(text.at(j++).unicode()));
        bool exponentDigits = false;
        for (; j < size && isDigit(text.at(j)); ++j) {
            exponent.append(static_cast<char>(text.at(j).unicode()));
            exponentDigits = true;
        }
        if (exponentDigits)
            number.append(exponent);
    }
    return ::strtod_l(number.constData(), nullptr, cLocale());
}

Kind kindOf(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return Kind::Bool;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Char:
        return Kind::Signed;
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return Kind::Unsigned;
    case QMetaType::Double:
    case QMetaType::Float:
        return Kind::Floating;
    case QMetaType::QString:
        return Kind::String;
    default:
        return Kind::None;
    }
}

bool isNumber(const QVariant& value)
{
    const Kind kind = kindOf(value);
    return kind == Kind::Bool || kind == Kind::Signed || kind == Kind::Unsigned || kind == Kind::Floating;
}

bool isString(const QVariant& value)
{
    return kindOf(value) == Kind::String;
}

bool toBool(const QVariant& value)
{
    switch (kindOf(value)) {
    case Kind::Bool:
        return value.toBool();
    case Kind::Signed:
        return value.toLongLong() != 0;
    case Kind::Unsigned:
        return value.toULongLong() != 0;
    case Kind::Floating:
        return value.toDouble() != 0.0;
    case Kind::String:
        return stringBool(value.toString());
    case Kind::None:
        break;
    }
    return false;
}

qlonglong toLongLong(const QVariant& value)
{
    switch (kindOf(value)) {
    case Kind::Bool:
        return value.toBool() ? 1 : 0;
    case Kind::Signed:
        return value.toLongLong();
    case Kind::Unsigned:
        return static_cast<qlonglong>(value.toULongLong());   // wraps, like a C cast
    case Kind::Floating:
        return saturatingCast<qlonglong>(value.toDouble());
    case Kind::String:
        return stringLongLong(value.toString());
    case Kind::None:
        break;
    }
    return 0;
}

int toInt(const QVariant& value)
{
    switch (kindOf(value)) {
    case Kind::Floating:
        return saturatingCast<int>(value.toDouble());
    case Kind::String:
        return stringInt(value.toString());
    default:
        // Integers narrow like the platform's intValue (a C conversion).
        return static_cast<int>(toLongLong(value));
    }
}

qulonglong toULongLong(const QVariant& value)
{
    switch (kindOf(value)) {
    case Kind::Unsigned:
        return value.toULongLong();
    case Kind::Floating: {
        const double d = value.toDouble();
        if (d < 0)
            return static_cast<qulonglong>(saturatingCast<qlonglong>(d));
        return saturatingCast<qulonglong>(d);
    }
    default:
        return static_cast<qulonglong>(toLongLong(value));
    }
}

double toDouble(const QVariant& value)
{
    switch (kindOf(value)) {
    case Kind::Bool:
        return value.toBool() ? 1.0 : 0.0;
    case Kind::Signed:
        return static_cast<double>(value.toLongLong());
    case Kind::Unsigned:
        return static_cast<double>(value.toULongLong());
    case Kind::Floating:
        return value.toDouble();
    case Kind::String:
        return stringDouble(value.toString());
    case Kind::None:
        break;
    }
    return 0.0;
}

} // namespace platform::values
