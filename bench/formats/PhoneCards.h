#pragma once

// vCard 2.1 texts as phones export their phonebooks: names and notes in
// quoted-printable UTF-8 broken into lines of at most 76 characters by soft
// line breaks, numbers typed CELL, HOME, WORK or FAX, now and then an e-mail
// address, a birthday, an address and the phone's record id; with photos, a
// JPEG in base64 on folded lines ended by an empty line. The same seed gives
// the same cards.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace phonecards {

class CardMaker {
public:
    explicit CardMaker(std::uint32_t seed = 20261210u) : m_seed(seed) { }

    // One card; photo is JPEG data or empty.
    QByteArray card(int index, const QByteArray& photo = QByteArray())
    {
        static const char* const lastNames[] = {"Smith",   "Müller", "Коваленко", "García", "Nowak", "Бучма",
                                                "Ødegård", "Jones",  "Шевченко",  "Dubois", "Rossi", "Kowalczyk"};
        static const char* const firstNames[] = {"Anna", "Jörg", "Олександр", "José", "Zofia", "Марія",
                                                 "Lars", "Tom",  "Ірина",     "Zoë",  "Luca",  "Piotr"};
        const QString last = QString::fromUtf8(lastNames[next() % 12]);
        const QString first = QString::fromUtf8(firstNames[next() % 12]);
        QByteArray text = "BEGIN:VCARD\r\nVERSION:2.1\r\n";
        text += textLine("N", last + u';' + first + QStringLiteral(";;;"));
        text += textLine("FN", first + u' ' + last);
        static const char* const phoneTypes[] = {"TEL;CELL;PREF", "TEL;HOME", "TEL;WORK",
                                                 "TEL;CELL",      "TEL;FAX",  "TEL;WORK;VOICE"};
        const int phones = 1 + int(next() % 4);
        for (int i = 0; i < phones; ++i)
            text += QByteArray(phoneTypes[(i + index) % 6]) + ":+" + QByteArray::number(380000000000ll + next())
                + "\r\n";
        if (next() % 3 == 0)
            text += "EMAIL;INTERNET:" + QString(first + u'.' + last).toUtf8().toHex().left(12) + "@example.org\r\n";
        if (next() % 4 == 0)
            text += "BDAY:19" + QByteArray::number(50 + next() % 50) + "0" + QByteArray::number(1 + next() % 9) + "1"
                + QByteArray::number(next() % 9) + "\r\n";
        if (next() % 4 == 0)
            text += textLine("ADR;HOME",
                             QString::fromUtf8(";;вул. Бучми %1, кв. %2;Київ;;02000;Україна")
                                 .arg(1 + next() % 120)
                                 .arg(1 + next() % 300));
        if (next() % 5 == 0)
            text += textLine(
                "NOTE",
                QString::fromUtf8("Передзвонити після 18:00, не раніше. Код під'їзду %1").arg(1000 + next() % 9000));
        if (next() % 6 == 0)
            text += textLine("ORG", QStringLiteral("Example & Co"));
        if (!photo.isEmpty())
            text += photoLines(photo);
        text += "X-IRMC-LUID:" + QByteArray::number(1000000 + index) + "\r\n";
        text += "END:VCARD\r\n";
        return text;
    }

private:
    std::uint32_t next()
    {
        m_seed = m_seed * 1103515245u + 12345u;
        return m_seed >> 8;
    }

    // A plain ASCII value as it is, any other quoted-printable with soft line
    // breaks after 75 characters, never inside an escape.
    static QByteArray textLine(const char* name, const QString& value)
    {
        const QByteArray utf8 = value.toUtf8();
        bool plain = true;
        for (const char c : utf8)
            plain = plain && static_cast<unsigned char>(c) < 0x80;
        if (plain)
            return QByteArray(name) + ':' + utf8 + "\r\n";
        QByteArray line = QByteArray(name) + ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:";
        qsizetype column = line.size();
        static const char hex[] = "0123456789ABCDEF";
        for (const char c : utf8) {
            const auto byte = static_cast<unsigned char>(c);
            const bool escaped = byte >= 0x80 || byte == '=';
            const int width = escaped ? 3 : 1;
            if (column + width > 75) {
                line += "=\r\n";
                column = 0;
            }
            if (escaped) {
                line += '=';
                line += hex[byte >> 4];
                line += hex[byte & 0x0F];
            } else {
                line += c;
            }
            column += width;
        }
        return line + "\r\n";
    }

    static QByteArray photoLines(const QByteArray& photo)
    {
        const QByteArray base64 = photo.toBase64();
        QByteArray lines = "PHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n";
        for (qsizetype at = 0; at < base64.size(); at += 76)
            lines += " " + base64.mid(at, 76) + "\r\n";
        return lines + "\r\n";
    }

    std::uint32_t m_seed;
};

} // namespace phonecards
