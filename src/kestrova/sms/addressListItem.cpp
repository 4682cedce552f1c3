#include "kestrova/sms/addressListItem.h"

#include "kestrova/sms/SmsConstants.h"

namespace kestrova {

addressListItem::addressListItem(int typeOfNumber, QString digits)
    : m_typeOfNumber(typeOfNumber), m_digits(std::move(digits))
{
}

QString addressListItem::number() const
{
    if (m_digits.isEmpty())
        return {};
    if (m_typeOfNumber == kSmsTypeInternational)
        return QLatin1Char('+') + m_digits;
    return m_digits;
}

addressListItem addressListItem::fromNumberText(const QString& text)
{
    QString digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits.append(c);
    }
    const int type = text.startsWith(QLatin1Char('+')) ? kSmsTypeInternational : kSmsTypeNational;
    return addressListItem(type, digits);
}

} // namespace kestrova
