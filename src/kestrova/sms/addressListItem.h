#pragma once

#include <QString>

namespace kestrova {

// One recipient of a message: type of number (145 international, 129
// national) and its digits.
class addressListItem {
public:
    addressListItem() = default;
    addressListItem(int typeOfNumber, QString digits);

    int typeOfNumber() const { return m_typeOfNumber; }
    const QString& digits() const { return m_digits; }
    // "+" and the digits for type 145, else the digits; no digits: empty.
    QString number() const;

    // Type and digits of a number text: a leading "+" gives 145, else 129;
    // only the digits 0-9 are kept.
    static addressListItem fromNumberText(const QString& text);

private:
    int m_typeOfNumber = 0;
    QString m_digits;
};

} // namespace kestrova
