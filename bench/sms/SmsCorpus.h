#pragma once

// Messages shared by the SMS codec benchmark and the tests: single,
// multipart, UCS2 and shift-table texts with the coding, part count and code
// page each must encode to; and SMS-DELIVER PDUs as a phone lists them.
#include "kestrova/sms/GsmAlphabet.h"
#include "kestrova/sms/SmsPartLayout.h"
#include "kestrova/sms/SmsTextUtils.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

namespace kestrova::corpus {

struct SmsCorpusEntry {
    const char* name;
    QString text;
    int dcs;        // 0 GSM 7-bit, 8 UCS2
    int parts;      // PDUs per recipient
    int codePage;   // expected after coding (GSM only)
};

inline std::vector<SmsCorpusEntry> smsCorpus()
{
    const QString lorem = QStringLiteral(
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud ");
    return {
        {"hello", QStringLiteral("Hello"), 0, 1, 1},
        {"at-sign-8", QStringLiteral("Meet me@"), 0, 1, 1},
        {"extension", QStringLiteral("Price {10} [EUR] \u20AC ~ ^ | \\ end"), 0, 1, 1},
        {"gsm-160", QString(160, QLatin1Char('x')), 0, 1, 1},
        {"gsm-161", QString(161, QLatin1Char('y')), 0, 2, 1},
        {"gsm-long", lorem + lorem + lorem, 0, 4, 1},
        {"escape-at-cut", QString(152, QLatin1Char('a')) + QStringLiteral("{") + QString(20, QLatin1Char('b')), 0, 2, 1},
        {"spanish", QStringLiteral("Buenos d\u00EDas, se\u00F1or. \u00BFC\u00F3mo est\u00E1?"), 0, 1, 3},
        {"portuguese", QStringLiteral("Ol\u00E1, tudo bem? P\u00E3o e a\u00E7\u00FAcar, at\u00E9 amanh\u00E3."), 0, 1, 4},
        {"turkish", QStringLiteral("G\u00FCnayd\u0131n, te\u015Fekk\u00FCrler! \u011Eda\u015F \u0130stanbul"), 0, 1, 5},
        {"turkish-long", QString(20, QChar(0x015F)) + lorem + lorem, 0, 3, 5},
        {"ucs2-greek", QStringLiteral("\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1 \u03BA\u03CC\u03C3\u03BC\u03B5"), 8, 1, 0},
        {"ucs2-70", QString(70, QChar(0x0416)), 8, 1, 0},
        {"ucs2-71", QString(71, QChar(0x0416)), 8, 2, 0},
        {"ucs2-emoji", QString(66, QLatin1Char('a')) + QStringLiteral("\U0001F600 done"), 8, 2, 0},
        {"ucs2-long", QString(300, QChar(0x4E2D)), 8, 5, 0},
    };
}

// An SMS-DELIVER PDU in hex, service centre +491710760000 in front. `udh` is
// the user data header with its length octet (empty: none); GSM 7-bit (dcs 0)
// `data` holds septet values, UCS2 (dcs 8) the octets of the units. `sender`
// is the originating address field, `stamp` the seven time-stamp octets.
inline QByteArray deliverPdu(const QByteArray& udh, int dcs, const QByteArray& data,
                             const QByteArray& sender = QByteArray::fromHex("0D91945111325476F8"),
                             const QByteArray& stamp = QByteArray::fromHex("42305041709000"))
{
    QByteArray ud;
    int udl = 0;
    if (dcs == 0) {
        const int headerSeptets = int((udh.size() * 8 + 6) / 7);
        ud = packSeptets(data, headerSeptets);
        ud.replace(0, udh.size(), udh);
        udl = headerSeptets + int(data.size());
    } else {
        ud = udh + data;
        udl = int(ud.size());
    }
    QByteArray tpdu;
    tpdu.append(char(udh.isEmpty() ? 0x04 : 0x44));
    tpdu.append(sender);
    tpdu.append('\0');
    tpdu.append(char(dcs));
    tpdu.append(stamp);
    tpdu.append(char(udl));
    tpdu.append(ud);
    return "07919471016700F0" + bytesToHex(tpdu);
}

// Concatenation headers (length octet included) with an 8-bit and a 16-bit
// reference, optionally behind a national single-shift element.
inline QByteArray concatHeader(int ref, int count, int nr, bool ref16 = false, int language = -1)
{
    QByteArray elements;
    if (language >= 0)
        elements += QByteArray::fromHex("2401") + char(language);
    if (ref16)
        elements += QByteArray::fromHex("0804") + char(ref >> 8) + char(ref) + char(count) + char(nr);
    else
        elements += QByteArray::fromHex("0003") + char(ref) + char(count) + char(nr);
    return char(elements.size()) + elements;
}

// The octets of UTF-16 units, high octet first.
inline QByteArray ucs2Octets(const QString& text)
{
    QByteArray out;
    for (const QChar c : text) {
        out.append(char(c.unicode() >> 8));
        out.append(char(c.unicode() & 0xFF));
    }
    return out;
}

// A listing of SMS-DELIVER PDUs: single messages in the default alphabet,
// with escapes and with each national single-shift table, an alphanumeric
// sender, parts of concatenated messages with 8- and 16-bit references in
// GSM 7-bit and UCS2. `texts` receives the messages the listing holds.
inline QList<QByteArray> deliverCorpus(QStringList* texts = nullptr)
{
    QList<QByteArray> pdus;
    QStringList expected;
    const auto gsm = [](const QString& text, int page = kSmsCodePageDefault) { return gsmEncodeText(text, page); };
    const auto single = [&](const QString& text, int page = kSmsCodePageDefault, int language = -1) {
        const QByteArray udh = language < 0 ? QByteArray() : QByteArray::fromHex("032401") + char(language);
        pdus.append(deliverPdu(udh, 0, gsm(text, page)));
        expected.append(text);
    };
    single(QStringLiteral("Hello"));
    single(QStringLiteral("Meet me@ the station at 10, bring the tickets & some water."));
    single(QStringLiteral("Price {10} [EUR] \u20AC ~ ^ | \\ end"));
    single(QString(160, QLatin1Char('x')));
    single(QStringLiteral("Buenos d\u00EDas, se\u00F1or. \u00BFC\u00F3mo est\u00E1?"), kSmsCodePageSpanish, 0x10);
    single(QStringLiteral("Ol\u00E1, tudo bem? P\u00E3o e a\u00E7\u00FAcar, at\u00E9 amanh\u00E3."), kSmsCodePagePortuguese, 0x11);
    single(QStringLiteral("G\u00FCnayd\u0131n, te\u015Fekk\u00FCrler! \u011Eda\u015F \u0130stanbul"), kSmsCodePageTurkish, 0x01);

    pdus.append(deliverPdu({}, 0, gsm(QStringLiteral("Your code is 4711")),
                           QByteArray::fromHex("0BD0C7F7FBCC2E03")));
    expected.append(QStringLiteral("Your code is 4711"));

    const QString lorem = QStringLiteral(
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud ");
    // Three parts, 8-bit reference; two parts, 16-bit reference; two parts
    // with the Turkish table: each part a full 153 (149) septets but the last.
    const auto concatenated = [&](const QString& text, int ref, bool ref16, int page, int language) {
        const QByteArray coded = gsm(text, page);
        const QList<int> lengths = gsmPartLengths(coded, language >= 0);
        qsizetype at = 0;
        for (int nr = 1; nr <= lengths.size(); ++nr) {
            pdus.append(deliverPdu(concatHeader(ref, int(lengths.size()), nr, ref16, language), 0,
                                   coded.mid(at, lengths[nr - 1])));
            at += lengths[nr - 1];
        }
        expected.append(text);
    };
    concatenated(lorem + lorem + QStringLiteral("{end}"), 0x21, false, kSmsCodePageDefault, -1);
    concatenated(lorem + QStringLiteral("[more] ") + lorem.left(40), 0x1234, true, kSmsCodePageDefault, -1);
    concatenated(QString(20, QChar(0x015F)) + lorem, 0x22, false, kSmsCodePageTurkish, 0x01);

    const auto ucs2 = [&](const QString& text, int ref, bool ref16) {
        const QList<int> lengths = ucs2PartLengths(text);
        if (lengths.size() == 1) {
            pdus.append(deliverPdu({}, 8, ucs2Octets(text)));
        } else {
            qsizetype at = 0;
            for (int nr = 1; nr <= lengths.size(); ++nr) {
                pdus.append(deliverPdu(concatHeader(ref, int(lengths.size()), nr, ref16), 8,
                                       ucs2Octets(text.mid(at, lengths[nr - 1]))));
                at += lengths[nr - 1];
            }
        }
        expected.append(text);
    };
    ucs2(QStringLiteral("\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1 \u03BA\u03CC\u03C3\u03BC\u03B5"), 0, false);
    ucs2(QString(100, QChar(0x0416)), 0x31, false);
    ucs2(QString(66, QChar(0x4E2D)) + QStringLiteral("\U0001F600 \u00E9t\u00E9"), 0x3344, true);
    if (texts)
        *texts = expected;
    return pdus;
}

} // namespace kestrova::corpus
