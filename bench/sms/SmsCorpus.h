#pragma once

// Messages shared by the SMS codec benchmark and the round-trip test: single,
// multipart, UCS2 and shift-table texts with the coding, part count and code
// page each must encode to.
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

} // namespace kestrova::corpus
