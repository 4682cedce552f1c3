#pragma once

#include <QByteArray>
#include <QString>

// An inbox listing (AT+CMGL answer in PDU mode) of count messages of 29
// characters from as many senders, for tests and benches of large reads.
inline QByteArray smsInboxListing(int count)
{
    QByteArray answer;
    for (int i = 1; i <= count; ++i) {
        // +491729 and six digits: eleven digits as semi-octets, low nibble first.
        const QByteArray digits = QByteArray::number(49172900000LL + i) + 'F';
        QByteArray swapped;
        for (qsizetype k = 0; k + 1 < digits.size(); k += 2)
            swapped += digits.mid(k + 1, 1) + digits.mid(k, 1);
        answer += "\r\n+CMGL: " + QByteArray::number(i) + ",1,,44\r\n07919471101000F0040B91" + swapped
            + "0000622101214300001DCD72990E6A9741613A888E2E83E6F4303DFD7683C274D03C8D07";
    }
    return answer + "\r\n\r\nOK\r\n";
}
