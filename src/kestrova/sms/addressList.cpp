#include "kestrova/sms/addressList.h"

#include "kestrova/sms/SmsConstants.h"

namespace kestrova {

int addressList::appendItem(const QString& number)
{
    if (number.isEmpty())
        return kSmsErrorEmptyNumber;
    m_items.append(addressListItem::fromNumberText(number));
    return kSmsOk;
}

QString addressList::nextItem()
{
    if (m_cursor >= m_items.size())
        return {};
    return m_items[m_cursor++].number();
}

} // namespace kestrova
