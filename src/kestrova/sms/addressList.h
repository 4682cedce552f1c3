#pragma once

#include "kestrova/sms/addressListItem.h"

#include <QList>
#include <QString>

namespace kestrova {

// The recipients of a message, in order, with a cursor for walking them.
class addressList {
public:
    // Empty text: 10 and nothing appended; else 0.
    int appendItem(const QString& number);

    void resetPos() { m_cursor = 0; }
    bool isEnd() const { return m_cursor < m_items.size(); } // true while on an item
    // The item's number ("+" in front for type 145), then advance; "" at the end.
    QString nextItem();

    qsizetype length() const { return m_items.size(); }
    const QList<addressListItem>& items() const { return m_items; }

private:
    QList<addressListItem> m_items;
    qsizetype m_cursor = 0;
};

} // namespace kestrova
