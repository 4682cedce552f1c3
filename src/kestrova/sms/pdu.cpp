#include "kestrova/sms/pdu.h"

#include "kestrova/sms/GsmAlphabet.h"
#include "kestrova/sms/SmsLog.h"
#include "kestrova/sms/SmsPartLayout.h"
#include "kestrova/sms/SmsTextUtils.h"
#include "kestrova/sms/sms.h"

namespace kestrova {

namespace {

constexpr char kNibbleChars[] = "0123456789ABCDEF";

// Digits as semi-octets, low nibble first, "F" filling an odd count.
void appendSemiOctets(QByteArray& out, QStringView digits)
{
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int low = digits[i].digitValue();
        const int high = i + 1 < digits.size() ? digits[i + 1].digitValue() : 0x0F;
        out.append(char((high & 0x0F) << 4 | (low & 0x0F)));
    }
}

// Semi-octets back to digits: at most `count` nibbles (-1: all), "F" dropped.
QString semiOctetsToDigits(QByteArrayView octets, int count)
{
    QString digits;
    digits.reserve(octets.size() * 2);
    int taken = 0;
    for (const char c : octets) {
        const int nibbles[2] = {quint8(c) & 0x0F, quint8(c) >> 4};
        for (const int nibble : nibbles) {
            if (count >= 0 && taken >= count)
                return digits;
            ++taken;
            if (nibble != 0x0F)
                digits.append(QLatin1Char(kNibbleChars[nibble]));
        }
    }
    return digits;
}

int typeOctet(int typeOfNumber)
{
    switch (typeOfNumber) {
    case kSmsTypeNational: return 0x81;
    case kSmsTypeInternational: return 0x91;
    default: return -1;
    }
}

int typeFromOctet(quint8 octet)
{
    if ((octet & 0xD0) == 0xD0)
        return kSmsTypeAlphanumeric;
    if ((octet & 0x90) == 0x90)
        return kSmsTypeInternational;
    return kSmsTypeNational;
}

// Time stamp octets (TS 23.040 9.2.3.11): swapped BCD; the zone in quarter
// hours with its sign in bit 3 of the raw octet.
void decodeTimestamp(QByteArrayView octets, sms::Timestamp& timestamp)
{
    for (int i = 0; i < 6; ++i) {
        const quint8 octet = quint8(octets[i]);
        timestamp[i] = (octet & 0x0F) * 10 + (octet >> 4);
    }
    const quint8 zone = quint8(octets[6]);
    const int quarters = (zone & 0x07) * 10 + (zone >> 4);
    timestamp[6] = (zone & 0x08) ? -quarters : quarters;
}

// The alphabet of a TP-DCS (TS 23.038 4): 0 GSM 7-bit, 8 UCS2, anything else
// is not handled here.
quint8 reduceDcs(quint8 dcs)
{
    if (dcs >= 0xF0)
        return (dcs & 0x04) ? dcs : 0;
    if (dcs >= 0xC0 && dcs < 0xE0)
        return 0;               // message waiting, GSM 7-bit
    if (dcs >= 0xE0)
        return kSmsDcsUcs2;     // message waiting, UCS2
    return dcs & 0x2C;
}

// Bounded reader over the octets of a PDU.
struct Reader {
    QByteArrayView bytes;
    qsizetype pos = 0;
    bool ok = true;

    quint8 octet()
    {
        if (pos >= bytes.size()) {
            ok = false;
            return 0;
        }
        return quint8(bytes[pos++]);
    }
    QByteArrayView take(qsizetype count)
    {
        if (count < 0 || count > bytes.size() - pos) {
            ok = false;
            return {};
        }
        const QByteArrayView part = bytes.sliced(pos, count);
        pos += count;
        return part;
    }
    QByteArrayView rest() const { return bytes.sliced(pos); }
};

} // namespace

pdu::pdu(QByteArray text, unsigned storageIndex, int status, QString memory)
    : m_storageIndex(storageIndex), m_status(quint8(status)), m_text(std::move(text)),
      m_memory(std::move(memory))
{
}

int pdu::encodePdu(sms& m, int& more)
{
    more = 0;
    m_text.clear();
    m_tpduLength = 0;

    // Service-centre part.
    QByteArray smsc;
    if (m.m_smscDigits.isEmpty() || m.m_smscDigits == kSmsDefaultSmscDigits) {
        smsc.append('\0');
    } else {
        const int type = typeOctet(m.m_smscType);
        if (type < 0)
            return kSmsErrorUnknownTypeOfNumber;
        QByteArray digits;
        appendSemiOctets(digits, m.m_smscDigits);
        smsc.append(char(digits.size() + 1));
        smsc.append(char(type));
        smsc.append(digits);
    }

    // User data header and the cut of the text into parts; decided on the
    // first part, then the part number moves on.
    QByteArray header; // length octet included; empty: none
    const bool continuing = m.m_multiPart == 1;
    if (continuing)
        ++m.m_partNumber;
    if (m.m_tpDCS == kSmsDcsUcs2) {
        if (!continuing) {
            m.m_partLengths = ucs2PartLengths(m.m_ucs2);
            m.m_headerLength = 0;
            m.m_headerSeptets = 0;
            if (m.m_partLengths.size() == 1) {
                m.m_tpUDHI = 0;
                m.m_multiPart = m.m_partCount = m.m_partNumber = m.m_concatReference = 0;
            } else {
                if (m.m_partLengths.size() > kSmsMaxParts)
                    return kSmsErrorTextTooLong;
                m.setConcatenation(m.m_tpMR, int(m.m_partLengths.size()), 1);
                m.m_headerLength = 5;
            }
        }
        if (m.m_multiPart) {
            const char octets[] = {0x05, 0x00, 0x03, char(m.m_concatReference), char(m.m_partCount),
                                   char(m.m_partNumber)};
            header = QByteArray(octets, sizeof octets);
        }
    } else if (m.m_tpDCS == kSmsDcsGsm7) {
        const bool shift = m.m_codePage >= kSmsCodePageSpanish && m.m_codePage <= kSmsCodePageTurkish;
        if (!continuing) {
            m.m_partLengths = gsmPartLengths(m.m_gsmCoded, shift);
            if (m.m_partLengths.size() == 1) {
                m.m_multiPart = m.m_partCount = m.m_partNumber = m.m_concatReference = 0;
                m.m_headerLength = shift ? 3 : 0;
                m.m_tpUDHI = shift ? 0x40 : 0;
            } else {
                if (m.m_partLengths.size() > kSmsMaxParts)
                    return kSmsErrorTextTooLong;
                m.setConcatenation(m.m_tpMR, int(m.m_partLengths.size()), 1);
                m.m_headerLength = shift ? 8 : 5;
            }
            m.m_headerSeptets = m.m_headerLength == 0 ? 0 : quint8(((m.m_headerLength + 1) * 8 + 6) / 7);
        }
        if (m.m_headerLength > 0) {
            header.append(char(m.m_headerLength));
            if (shift) {
                static constexpr char kLanguage[] = {0x10, 0x11, 0x01}; // Spanish, Portuguese, Turkish
                header.append("\x24\x01", 2);
                header.append(kLanguage[m.m_codePage - kSmsCodePageSpanish]);
            }
            if (m.m_multiPart) {
                header.append("\x00\x03", 2);
                header.append(char(m.m_concatReference));
                header.append(char(m.m_partCount));
                header.append(char(m.m_partNumber));
            }
        }
    } else {
        return kSmsErrorCodingNotSupported;
    }

    // SMS-SUBMIT.
    QByteArray tpdu;
    tpdu.reserve(176);
    tpdu.append(char(m.m_tpRP + m.m_tpUDHI + m.m_tpSRR + m.m_tpVPF + m.m_tpRD + m.m_tpMTI));
    tpdu.append(char(m.m_tpMR));
    if (m.m_address.isEmpty())
        return kSmsErrorNoAddress;
    const int addressType = typeOctet(m.m_addressType);
    if (addressType < 0)
        return kSmsErrorUnknownTypeOfNumber;
    tpdu.append(char(m.m_address.size()));
    tpdu.append(char(addressType));
    appendSemiOctets(tpdu, m.m_address);
    tpdu.append(char(m.m_tpPID));
    tpdu.append(char(m.m_tpDCS));
    if (m.m_tpVPF == 0x10) {
        tpdu.append(char(m.m_tpVP));
    } else if (m.m_tpVPF == 0x18) {
        const auto octets = m.m_absoluteValidity.size() == 14
                                ? hexToBytes(convertStringToFlippedNibbles(m.m_absoluteValidity).toLatin1())
                                : std::nullopt;
        if (!octets)
            return kSmsErrorNoValidityFormat;
        tpdu.append(*octets);
    } else if (m.m_tpVPF != 0) {
        return kSmsErrorNoValidityFormat;
    }

    const qsizetype partIndex = m.m_multiPart ? m.m_partNumber - 1 : 0;
    if (partIndex < 0 || partIndex >= m.m_partLengths.size())
        return kSmsErrorNoText;
    const int count = m.m_partLengths[partIndex];
    if (m.m_tpDCS == kSmsDcsUcs2) {
        if (count > m.m_ucs2.size())
            return kSmsErrorNoText;
        tpdu.append(char(header.size() + 2 * count));
        tpdu.append(header);
        for (qsizetype i = 0; i < count; ++i) {
            const char16_t unit = m.m_ucs2[i].unicode();
            tpdu.append(char(unit >> 8));
            tpdu.append(char(unit & 0xFF));
        }
        m.m_ucs2.remove(0, count);
    } else {
        if (count > m.m_gsmCoded.size())
            return kSmsErrorNoText;
        QByteArray packed = packSeptets(QByteArrayView(m.m_gsmCoded).first(count), m.m_headerSeptets);
        packed.replace(0, header.size(), header);
        tpdu.append(char(m.m_headerSeptets + count));
        tpdu.append(packed);
        m.m_gsmCoded.remove(0, count);
    }

    if (m.m_multiPart && m.m_partNumber >= m.m_partCount)
        m.m_multiPart = 0;
    more = m.m_multiPart;
    m_text = bytesToHex(smsc);
    m_text.append(bytesToHex(tpdu));
    m_tpduLength = int(tpdu.size());
    return kSmsOk;
}

int pdu::decodePdu(sms& m) const
{
    const auto bytes = hexToBytes(QByteArrayView(m_text).trimmed());
    if (!bytes || bytes->isEmpty())
        return kSmsErrorMalformedPdu;
    Reader r{*bytes};

    // Service centre.
    const quint8 smscLength = r.octet();
    if (smscLength == 0) {
        m.m_smscDigits = kSmsDefaultSmscDigits;
    } else {
        m.m_smscType = quint8(typeFromOctet(r.octet()));
        m.m_smscDigits = semiOctetsToDigits(r.take(smscLength - 1), -1);
    }

    // First octet.
    const quint8 first = r.octet();
    if (!r.ok)
        return kSmsErrorMalformedPdu;
    m.m_tpRP = first & 0x80;
    m.m_tpUDHI = first & 0x40;
    m.m_tpMTI = first & 0x03;
    if (m.m_tpMTI == 1) {
        m.m_tpSRR = first & 0x20;
        m.m_tpVPF = first & 0x18;
        m.m_tpRD = first & 0x04;
        m.m_tpMR = r.octet();
    } else if (m.m_tpMTI == 0) {
        m.m_tpSRI = first & 0x20;
        m.m_tpMMS = first & 0x04;
        m.m_tpVPF = 0;
    } else {
        return kSmsErrorUnsupportedMessageType;
    }

    // Originating or destination address.
    const quint8 addressLength = r.octet();
    const int addressType = typeFromOctet(r.octet());
    const QByteArrayView address = r.take((addressLength + 1) / 2);
    if (!r.ok)
        return kSmsErrorMalformedPdu;
    m.m_addressType = quint8(addressType);
    if (addressLength == 0) {
        m.m_address = QStringLiteral("0000000000");
    } else if (addressType == kSmsTypeAlphanumeric) {
        m.m_address = gsmDecodeText(unpackSeptets(address, addressLength * 4 / 7), kSmsCodePageDefault);
    } else {
        m.m_address = semiOctetsToDigits(address, addressLength);
    }

    m.m_tpPID = r.octet();
    const quint8 dcs = r.octet();

    // Time stamp or validity.
    if (m.m_tpMTI == 0) {
        const QByteArrayView stamp = r.take(7);
        if (r.ok)
            decodeTimestamp(stamp, m.m_timestamp);
    } else if (m.m_tpVPF == 0x10) {
        m.m_tpVP = r.octet();
    } else if (m.m_tpVPF == 0x18) {
        const QByteArrayView validity = r.take(7);
        if (r.ok)
            decodeTimestamp(validity, m.m_timestamp);
    } else if (m.m_tpVPF == 0x08) {
        r.take(7); // enhanced format: seven octets not used here
    }

    const quint8 udl = r.octet();
    if (!r.ok)
        return kSmsErrorMalformedPdu;
    const quint8 coding = reduceDcs(dcs);
    m.m_tpDCS = coding;

    // User data, sized by TP-UDL: septets for GSM 7-bit, octets otherwise.
    const qsizetype udOctets = coding == kSmsDcsGsm7 ? (qsizetype(udl) * 7 + 7) / 8 : udl;
    const QByteArrayView ud = r.take(udOctets);
    if (!r.ok)
        return kSmsErrorMalformedPdu;

    qsizetype headerOctets = 0;
    if (m.m_tpUDHI) {
        if (ud.isEmpty())
            return kSmsErrorMalformedPdu;
        const quint8 headerLength = quint8(ud[0]);
        if (headerLength == 0)
            return kSmsErrorEmptyHeader;
        if (headerLength + 1 > ud.size())
            return kSmsErrorMalformedPdu;
        headerOctets = headerLength + 1;
        m.m_headerLength = headerLength;
        Reader h{ud.sliced(1, headerLength)};
        while (h.pos < h.bytes.size()) {
            const quint8 id = h.octet();
            const quint8 length = h.octet();
            const QByteArrayView data = h.take(length);
            if (!h.ok)
                return kSmsErrorMalformedPdu;
            const auto at = [&](int i) { return quint8(data[i]); };
            if (id == 0x00 && length == 3 && at(1) > 0 && at(2) > 0 && at(2) <= at(1)) {
                m.setConcatenation(at(0), at(1), at(2));
            } else if (id == 0x08 && length == 4 && at(2) > 0 && at(3) > 0 && at(3) <= at(2)) {
                m.setConcatenation(at(0) << 8 | at(1), at(2), at(3));
            } else if (id == 0x24 && length == 1) {
                switch (at(0)) {
                case 0x10: m.m_codePage = kSmsCodePageSpanish; break;
                case 0x11: m.m_codePage = kSmsCodePagePortuguese; break;
                case 0x01: m.m_codePage = kSmsCodePageTurkish; break;
                default: break;
                }
            } else if (smsKitLogIsOpen()) {
                smsKitLog(QStringLiteral("unknown udh: ")
                          + QString::fromLatin1(bytesToHex(h.bytes.sliced(h.pos - length - 2, length + 2))));
            }
        }
    }

    if (coding == kSmsDcsGsm7) {
        const qsizetype skip = (headerOctets * 8 + 6) / 7;
        if (skip > udl)
            return kSmsErrorMalformedPdu;
        m.m_headerSeptets = quint8(skip);
        m.m_gsmCoded = unpackSeptets(ud, udl).mid(skip);
    } else if (coding == kSmsDcsUcs2) {
        const QByteArrayView body = ud.sliced(headerOctets);
        if (body.size() % 2 != 0)
            return kSmsErrorUserDataNotDecodable;
        QString text(body.size() / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(char16_t(quint8(body[2 * i]) << 8 | quint8(body[2 * i + 1])));
        m.m_utf8 = text.toUtf8();
        m.m_partUnits = text; // a surrogate pair may straddle two parts
    } else if (ud.size() > headerOctets) {
        return kSmsErrorUserDataNotDecodable;
    }

    switch (m_status) {
    case 0: m.m_status = kSmsStatusRecUnread; break;
    case 1: m.m_status = kSmsStatusRecRead; break;
    case 2: m.m_status = kSmsStatusStoUnsent; break;
    case 3: m.m_status = kSmsStatusStoSent; break;
    default: m.m_status = kSmsStatusUnknown; break;
    }
    m.m_memIndex = QString::number(m_storageIndex);
    m.m_memory = m_memory;
    return kSmsOk;
}

} // namespace kestrova
