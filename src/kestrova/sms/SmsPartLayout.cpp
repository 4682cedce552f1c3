#include "kestrova/sms/SmsPartLayout.h"

#include "kestrova/sms/GsmAlphabet.h"

namespace kestrova {

namespace {

// One entry when `size` fits a single part, else the lengths `partAt` takes
// for the parts one after the other.
template <typename PartAt>
QList<int> partLengths(qsizetype size, int single, PartAt partAt)
{
    if (size <= single)
        return {int(size)};
    QList<int> lengths;
    for (qsizetype start = 0; start < size;) {
        const int taken = partAt(start);
        lengths.append(taken);
        start += taken;
    }
    return lengths;
}

} // namespace

int gsmSeptetsForPart(QByteArrayView coded, qsizetype start, int capacity)
{
    const qsizetype left = coded.size() - start;
    if (left <= capacity)
        return int(qMax<qsizetype>(left, 0));
    // Walk the escape pairs from the start of the part: a pair would straddle
    // the cut exactly when its escape septet is the last one that fits.
    qsizetype i = start;
    const qsizetype end = start + capacity;
    while (i < end) {
        if (quint8(coded[i]) == kGsmEscape && i + 1 < coded.size()) {
            if (i + 1 == end)
                return capacity - 1;
            i += 2;
        } else {
            ++i;
        }
    }
    return capacity;
}

int ucs2UnitsForPart(QStringView units, qsizetype start, int capacity)
{
    const qsizetype left = units.size() - start;
    if (left <= capacity)
        return int(qMax<qsizetype>(left, 0));
    const QChar last = units[start + capacity - 1];
    const QChar next = units[start + capacity];
    if (last.isHighSurrogate() && next.isLowSurrogate())
        return capacity - 1;
    return capacity;
}

QList<int> gsmPartLengths(QByteArrayView coded, bool singleShift)
{
    const int single = singleShift ? kGsmSinglePartShiftSeptets : kGsmSinglePartSeptets;
    const int capacity = singleShift ? kGsmMultiPartShiftSeptets : kGsmMultiPartSeptets;
    return partLengths(coded.size(), single,
                       [&](qsizetype start) { return gsmSeptetsForPart(coded, start, capacity); });
}

QList<int> ucs2PartLengths(QStringView units)
{
    return partLengths(units.size(), kUcs2SinglePartUnits, [&](qsizetype start) {
        return ucs2UnitsForPart(units, start, kUcs2MultiPartUnits);
    });
}

} // namespace kestrova
