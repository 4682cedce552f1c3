#pragma once

// A benchmark phonebook of an LG phone: sample contacts and the escaped wire
// replies of a read of n entries, as the phone sends them.
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgPhonebookRecord.h"

#include <QByteArray>
#include <QList>
#include <QVariantMap>

#include <optional>

namespace kestrova::lg::bench {

inline QVariantMap sampleContact(int i)
{
    return {
        {QStringLiteral("firstname"), QStringLiteral("First %1").arg(i)},
        {QStringLiteral("lastname"), QStringLiteral("Last name %1").arg(i)},
        {QStringLiteral("email"), QVariantList{QStringLiteral("person%1@example.org").arg(i)}},
        {QStringLiteral("phone"),
         QVariantList{QVariantMap{{QStringLiteral("value"), QStringLiteral("+4791%1").arg(i, 6, 10, QLatin1Char('0'))},
                                  {QStringLiteral("type"), QStringLiteral("mobile")}},
                      QVariantMap{{QStringLiteral("value"), QStringLiteral("+4722%1").arg(i, 6, 10, QLatin1Char('0'))},
                                  {QStringLiteral("type"), QStringLiteral("work")}}}},
        {QStringLiteral("categories"), QVariantList{QStringLiteral("2")}},
        {QStringLiteral("notes"), QStringLiteral("Met at the fair, year %1").arg(2000 + i % 20)}};
}

// The escaped wire replies of a phonebook of n entries.
inline QList<QByteArray> phonebookReplies(int n)
{
    QList<QByteArray> replies;
    for (int i = 1; i <= n; ++i) {
        QByteArray payload = QByteArray::fromHex("00");
        payload.append(char(i & 0xFF)).append(char(i >> 8)).append(2, '\0');
        payload.append(lgViewtyPhonebookCreateRawDataForDict(sampleContact(i), quint8(i)).mid(4));
        replies.append(char(0xFF)
                       + quoteFFValuesInData(frame(kPhonebookService, kPhonebookReadNext, quint8(i), payload))
                       + char(0x7E));
    }
    return replies;
}

// The read loop's decoding: each reply unescaped and its record decoded into
// slot -> contact; nullopt when an entry does not decode.
inline std::optional<QVariantMap> decodePhonebook(const QList<QByteArray>& replies)
{
    QVariantMap phonebook;
    for (const QByteArray& reply : replies) {
        std::optional<QVariantMap> contact = lgExtractAddressData(removeQuotedFFValuesFromData(reply));
        if (!contact)
            return std::nullopt;
        const QString slot = contact->take(QStringLiteral("slot")).toString();
        phonebook.insert(slot, *contact);
    }
    return phonebook;
}

} // namespace kestrova::lg::bench
