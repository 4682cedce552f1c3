#include "kestrova/sms/sms.h"

#include "kestrova/sms/GsmAlphabet.h"
#include "kestrova/sms/SmsTextUtils.h"

#include <QDateTime>

namespace kestrova {

namespace {

constexpr qsizetype kMaxTextBytes = 35700;
constexpr qint64 kJoinWindowSeconds = 180;

// Days since 1970-01-01 of a proleptic Gregorian date (any field values).
qint64 daysFromCivil(qint64 year, qint64 month, qint64 day)
{
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Relative validity octet (TS 23.040 9.2.3.12.1) for the shortest period not
// below the given minutes.
int relativeValidityForMinutes(qint64 minutes)
{
    if (minutes <= 12 * 60)
        return int(qMax<qint64>(0, (minutes + 4) / 5 - 1));
    if (minutes <= 24 * 60)
        return int(143 + (minutes - 12 * 60 + 29) / 30);
    const qint64 day = 24 * 60;
    if (minutes <= 30 * day)
        return int(166 + qMax<qint64>(2, (minutes + day - 1) / day));
    const qint64 week = 7 * day;
    const qint64 weeks = qMax<qint64>(5, (minutes + week - 1) / week);
    return weeks > 63 ? 255 : int(192 + weeks);
}

} // namespace

sms::sms()
{
    init(true, currentTimestamp());
}

sms::sms(const Timestamp& now)
{
    init(true, now);
}

sms::~sms() = default;

void sms::freeBuffers()
{
    m_recipients.reset();
    m_parts.clear();
    m_partsJoined.reset();
    m_partUnits.clear();
    m_utf8.clear();
    m_gsmCoded.clear();
    m_savedGsmCoded.reset();
    m_ucs2.clear();
    m_savedUcs2.reset();
}

void sms::init(bool fromConstructor)
{
    init(fromConstructor, currentTimestamp());
}

void sms::init(bool fromConstructor, const Timestamp& now)
{
    if (!fromConstructor)
        freeBuffers();
    m_smscType = kSmsTypeInternational;
    m_smscDigits = kSmsDefaultSmscDigits;
    m_tpRP = 0;
    m_tpUDHI = 0;
    m_tpSRR = 0;
    m_tpSRI = 0;
    m_tpVPF = 0x10;
    m_tpRD = 0;
    m_tpMMS = 1;
    m_tpMTI = 1;
    m_addressType = 0;
    m_address.clear();
    m_tpPID = 0;
    m_tpDCS = kSmsDcsGsm7;
    m_tpVP = 173;
    m_timestamp = now;
    m_absoluteValidity.clear();
    m_tpMR = 0;
    m_text.clear();
    m_multiPart = 0;
    m_partCount = 0;
    m_partNumber = 0;
    m_concatReference = 212;
    m_headerLength = 0;
    m_headerSeptets = 0;
    m_partLengths.clear();
    m_codePage = kSmsCodePageDefault;
    m_status.clear();
    m_memIndex.clear();
    m_memory.clear();
    m_fileName.clear();
}

void sms::initTimestamp()
{
    m_timestamp = currentTimestamp();
}

sms::Timestamp sms::currentTimestamp()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return {date.year() - 2000, date.month(), date.day(), time.hour(), time.minute(),
            time.second(), now.offsetFromUtc() / 900};
}

qint64 sms::createTimeType() const
{
    const auto& t = m_timestamp;
    const qint64 days = daysFromCivil(2000 + t[0], t[1], t[2]);
    return days * 86400 + qint64(t[3]) * 3600 + qint64(t[4]) * 60 + t[5] - qint64(t[6]) * 900;
}

void sms::setUtf8String(const QByteArray& utf8)
{
    m_utf8 = utf8;
}

int sms::setUcs2Text(const QString& units)
{
    m_ucs2 = units;
    m_savedUcs2 = units;
    return int(m_ucs2.size());
}

int sms::setText(const QString& text)
{
    if (text.toUtf8().size() > kMaxTextBytes)
        return kSmsErrorTextTooLong;
    m_text = text;
    return kSmsOk;
}

void sms::decodeCodedString()
{
    if (!m_parts.empty())
        m_utf8 = joinedText().toUtf8();
    else if (m_tpDCS == kSmsDcsGsm7)
        decodeGsmToUtf8();
}

void sms::decodeGsmToUtf8()
{
    m_utf8 = gsmDecodeText(m_gsmCoded, m_codePage).toUtf8();
}

void sms::decodeUCS2String()
{
    m_utf8 = m_gsmCoded;
    m_gsmCoded.clear();
}

void sms::encodeGSMString()
{
    if (m_utf8.isEmpty())
        return;
    const QString text = QString::fromUtf8(m_utf8);
    int escapes = 0;
    messageTextContainsUniChars(text, m_codePage, escapes);
    m_gsmCoded = gsmEncodeText(text, m_codePage);
    m_savedGsmCoded = m_gsmCoded;
}

void sms::reloadCharBuffers()
{
    if (m_savedGsmCoded)
        m_gsmCoded = *m_savedGsmCoded;
    if (m_savedUcs2)
        m_ucs2 = *m_savedUcs2;
}

int sms::setSmsc(const QString& number)
{
    if (number.isEmpty()) {
        m_smscDigits = kSmsDefaultSmscDigits;
        return kSmsOk;
    }
    const addressListItem parsed = addressListItem::fromNumberText(number);
    m_smscType = quint8(parsed.typeOfNumber());
    m_smscDigits = parsed.digits();
    return kSmsOk;
}

int sms::getSmsc(QString& out) const
{
    if (m_smscDigits == kSmsDefaultSmscDigits) {
        out = kSmsDefaultSmscText;
        return kSmsOk;
    }
    if (m_smscType == kSmsTypeInternational) {
        out = QLatin1Char('+') + m_smscDigits;
        return kSmsOk;
    }
    if (m_smscType == kSmsTypeNational) {
        out = m_smscDigits;
        return kSmsOk;
    }
    out.clear();
    return kSmsErrorUnknownSmscType;
}

int sms::setAddress(const QString& number)
{
    if (number.isEmpty())
        return kSmsErrorEmptyNumber;
    const addressListItem parsed = addressListItem::fromNumberText(number);
    m_addressType = quint8(parsed.typeOfNumber());
    m_address = parsed.digits();
    return kSmsOk;
}

int sms::getAddress(QString& out) const
{
    if (m_address.isEmpty()) {
        out.clear();
        return kSmsErrorNoAddress;
    }
    out = m_addressType == kSmsTypeInternational ? QLatin1Char('+') + m_address : m_address;
    return kSmsOk;
}

QString sms::getAddress() const
{
    QString out;
    getAddress(out);
    return out;
}

void sms::unsetAddress()
{
    m_address.clear();
    m_addressType = 0;
}

void sms::setRelativeValidity(int octet)
{
    m_tpVP = octet < 0 || octet > 255 ? 173 : quint8(octet);
    m_tpVPF = 0x10;
}

int sms::setRelativeValidity(const QString& text)
{
    if (text.size() < 2)
        return kSmsErrorBadValidityText;
    const QStringView number = QStringView(text).chopped(1);
    for (const QChar c : number) {
        if (!c.isDigit() || c.unicode() > 0x7F)
            return kSmsErrorBadValidityText;
    }
    bool ok = false;
    const qint64 value = number.toLongLong(&ok);
    if (!ok)
        return kSmsErrorBadValidityText;
    qint64 unitMinutes = 0;
    switch (text.back().unicode()) {
    case u'm': unitMinutes = 1; break;
    case u'h': unitMinutes = 60; break;
    case u'd': unitMinutes = 24 * 60; break;
    case u'w': unitMinutes = 7 * 24 * 60; break;
    default: return kSmsErrorBadValidityText;
    }
    // Anything past 63 weeks is 255 anyway; keep the product in range.
    const qint64 minutes = value > 1000000000 ? qint64(1) << 40 : value * unitMinutes;
    m_tpVP = quint8(relativeValidityForMinutes(minutes));
    m_tpVPF = 0x10;
    return kSmsOk;
}

int sms::setAbsoluteValidity(int year, int month, int day, int hour, int minute, int second,
                             int offsetSeconds)
{
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0
        || minute > 59 || second < 0 || second > 59 || offsetSeconds % 1800 != 0
        || qAbs(offsetSeconds) > 79 * 900) {
        return kSmsErrorBadAbsoluteTime;
    }
    const int quarters = offsetSeconds / 900;
    // The zone's two semi-octets: the sign is bit 3 of the octet, which is the
    // high bit of the tens digit here (TS 23.040 9.2.3.11).
    QString zone = QString::asprintf("%02u", unsigned(qAbs(quarters)));
    if (quarters < 0)
        zone[0] = QLatin1Char("89ABCDEF"[zone[0].digitValue()]);
    m_absoluteValidity = QString::asprintf("%02u%02u%02u%02u%02u%02u",
                                           unsigned(((year % 100) + 100) % 100), unsigned(month),
                                           unsigned(day), unsigned(hour), unsigned(minute),
                                           unsigned(second))
                         + zone;
    m_tpVPF = 0x18;
    return kSmsOk;
}

int sms::getValidity(int& year, int& month, int& day, int& hour, int& minute, int& second,
                     int& zone) const
{
    year = m_timestamp[0];
    month = m_timestamp[1];
    day = m_timestamp[2];
    hour = m_timestamp[3];
    minute = m_timestamp[4];
    second = m_timestamp[5];
    zone = m_timestamp[6];
    return kSmsOk;
}

int sms::decodeValidityString2(const QString& text)
{
    if (text.size() != 14)
        return kSmsErrorTimestampLength;
    for (int i = 0; i < 7; ++i)
        m_timestamp[i] = convertHexOctetStringToChar(QStringView(text).mid(2 * i, 2));
    return kSmsOk;
}

void sms::setConcatenation(int reference, int partCount, int partNumber)
{
    m_multiPart = 1;
    m_tpUDHI = 0x40;
    m_concatReference = quint16(reference);
    m_partCount = quint8(partCount);
    m_partNumber = quint8(partNumber);
}

QString sms::multiPartTag(int reference, int partCount, int partNumber)
{
    return QString::asprintf("<%03u-%03u-%03u>", unsigned(reference), unsigned(partCount),
                             unsigned(partNumber));
}

sms::Part sms::ownPart() const
{
    if (m_tpDCS == kSmsDcsGsm7)
        return {m_partNumber, m_gsmCoded, {}};
    return {m_partNumber, {}, m_partUnits};
}

bool sms::hasPart(int partNumber) const
{
    return partNumber >= 0 && partNumber < int(m_partsJoined.size()) && m_partsJoined.test(size_t(partNumber));
}

bool sms::hasAllParts() const
{
    return qsizetype(m_parts.size()) >= m_partCount;
}

bool sms::acceptsPart(const sms& part) const
{
    return isMultiPart() && part.m_concatReference == m_concatReference
           && part.m_partCount == m_partCount && part.m_tpDCS == m_tpDCS
           && part.m_address == m_address && part.m_addressType == m_addressType
           && part.m_memory == m_memory
           && qAbs(createTimeType() - part.createTimeType()) < kJoinWindowSeconds
           && part.m_partNumber != m_partNumber && !hasPart(part.m_partNumber);
}

int sms::insertMultiPart(const sms& part)
{
    if (part.m_concatReference != m_concatReference)
        return kSmsErrorReferenceDiffers;
    if (part.m_partCount != m_partCount)
        return kSmsErrorPartCountDiffers;
    if (m_parts.empty())
        setMultiPartTags();
    if (hasPart(part.m_partNumber))
        return -1;
    // Parts arrive mostly in order: keep the list sorted by number.
    auto at = m_parts.end();
    while (at != m_parts.begin() && std::prev(at)->number > part.m_partNumber)
        --at;
    m_parts.insert(at, part.ownPart());
    m_partsJoined.set(part.m_partNumber);
    m_memIndex = m_memIndex + QLatin1Char(',') + part.m_memIndex;
    if (part.m_partNumber < m_partNumber) {
        m_partNumber = part.m_partNumber;
        m_timestamp = part.m_timestamp;
    }
    return 0;
}

void sms::setMultiPartTags()
{
    m_parts.clear();
    m_parts.push_back(ownPart());
    m_partsJoined.reset();
    m_partsJoined.set(m_partNumber);
}

QString sms::joinedText() const
{
    // Runs of consecutive parts are decoded as one text, so an escape pair
    // or a surrogate pair that a sender split across two parts stays whole.
    QString out;
    QByteArray coded;
    QString units;
    const auto flush = [&] {
        if (m_tpDCS == kSmsDcsGsm7)
            out += gsmDecodeText(coded, m_codePage);
        else
            out += units;
        coded.clear();
        units.clear();
    };
    auto part = m_parts.begin();
    for (int n = 1; n <= m_partCount; ++n) {
        if (part != m_parts.end() && part->number == n) {
            coded += part->coded;
            units += part->units;
            ++part;
            continue;
        }
        flush();
        out += multiPartTag(m_concatReference & 0xFF, m_partCount, n);
    }
    flush();
    return out;
}

int sms::parsePartSetNr(const QString& tag, int& partNumber) const
{
    if (!tag.startsWith(QLatin1Char('<')))
        return kSmsErrorBadTag;
    const qsizetype dash1 = tag.indexOf(QLatin1Char('-'), 1);
    const qsizetype dash2 = dash1 < 0 ? -1 : tag.indexOf(QLatin1Char('-'), dash1 + 1);
    const qsizetype close = dash2 < 0 ? -1 : tag.indexOf(QLatin1Char('>'), dash2 + 1);
    if (close < 0)
        return kSmsErrorBadTag;
    int values[3] = {};
    const QStringView fields[3] = {QStringView(tag).mid(1, dash1 - 1),
                                   QStringView(tag).mid(dash1 + 1, dash2 - dash1 - 1),
                                   QStringView(tag).mid(dash2 + 1, close - dash2 - 1)};
    for (int i = 0; i < 3; ++i) {
        if (fields[i].isEmpty() || fields[i].size() > 3)
            return kSmsErrorBadTag;
        for (const QChar c : fields[i]) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return kSmsErrorBadTag;
        }
        values[i] = fields[i].toInt();
    }
    if (values[0] != m_concatReference)
        return kSmsErrorReferenceDiffers;
    if (values[1] != m_partCount)
        return kSmsErrorPartCountDiffers;
    partNumber = values[2];
    return kSmsOk;
}

void sms::setSmsStatusToRead()
{
    const qsizetype at = m_status.indexOf(QLatin1String("UNREAD"));
    if (at >= 0)
        m_status.remove(at, 2);
}

void sms::setSmsStatusToUnread()
{
    if (m_status.contains(QLatin1String("UNREAD")))
        return;
    const qsizetype at = m_status.indexOf(QLatin1String("READ"));
    if (at >= 0)
        m_status.insert(at, QLatin1String("UN"));
    else
        m_status.append(QLatin1String(" UNREAD"));
}

QString sms::createFilename() const
{
    QString name;
    for (const int field : m_timestamp)
        name += convertIntToString(unsigned(qAbs(field)));
    return name + m_address;
}

bool sms::isEqualToSms(const sms& other) const
{
    if (m_tpMTI != other.m_tpMTI || m_memIndex != other.m_memIndex || m_memory != other.m_memory
        || m_utf8 != other.m_utf8 || m_address != other.m_address
        || m_addressType != other.m_addressType || m_tpPID != other.m_tpPID
        || m_tpDCS != other.m_tpDCS) {
        return false;
    }
    if (m_tpMTI == 0)
        return m_tpVP == other.m_tpVP && m_timestamp == other.m_timestamp;
    return true;
}

} // namespace kestrova
