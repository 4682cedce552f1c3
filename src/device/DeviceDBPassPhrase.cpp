#include "device/DeviceDBPassPhrase.h"

namespace {

// Constant pieces; the number between them is computed.
constexpr const char kPiece1[] = "Dorv";
constexpr const char kPiece2[] = "anti";
constexpr const char kPiece3[] = "-Tarnex";
constexpr const char kPiece4[] = "#cat";

int passPhraseNumber()
{
    // 4711 * 37 + 1999
    int n = 4711;
    n *= 37;
    n += 1999;
    return n;
}

} // namespace

QByteArray deviceDBPassPhrase()
{
    QByteArray phrase;
    phrase.append(kPiece1);
    phrase.append(kPiece3);
    phrase.append(QByteArray::number(passPhraseNumber()));
    phrase.append(kPiece2);
    phrase.append(kPiece4);
    return phrase;
}
