#pragma once

#include <QByteArrayView>
#include <QList>
#include <QStringView>

// How a coded message text is cut into the parts of a concatenated SMS. The
// PDU codec and the compose field's length arithmetic share these rules:
//  - a GSM part never ends on the first septet of an escape pair (0x1B and
//    the septet after it stay in one part), so such a part carries one septet
//    less;
//  - a UCS2 part never ends between the two units of a surrogate pair.
namespace kestrova {

// Septets of payload per PDU (140 octets of user data).
inline constexpr int kGsmSinglePartSeptets = 160;
inline constexpr int kGsmSinglePartShiftSeptets = 155;    // with the 3-octet language header
inline constexpr int kGsmMultiPartSeptets = 153;          // with the 6-octet concatenation header
inline constexpr int kGsmMultiPartShiftSeptets = 149;     // with both headers (9 octets)
inline constexpr int kUcs2SinglePartUnits = 70;
inline constexpr int kUcs2MultiPartUnits = 67;
inline constexpr int kSmsMaxParts = 255;

// Septets the part starting at `start` takes: at most `capacity`, one less when
// the last one would be an escape septet whose partner follows.
int gsmSeptetsForPart(QByteArrayView coded, qsizetype start, int capacity);
// UTF-16 units the part starting at `start` takes: at most `capacity`, one
// less when the last one would be a high surrogate whose low half follows.
int ucs2UnitsForPart(QStringView units, qsizetype start, int capacity);

// The lengths of all parts of a coded text: one entry when it fits a single
// PDU, else one per part of the concatenated message. An empty text is one
// empty part.
QList<int> gsmPartLengths(QByteArrayView coded, bool singleShift);
QList<int> ucs2PartLengths(QStringView units);

} // namespace kestrova
