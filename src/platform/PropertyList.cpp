#include "platform/PropertyList.h"
#include "platform/Values.h"

#include "platform/FileIO.h"

#include <QDateTime>
#include <QFile>
#include <QMetaType>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace platform::plist {

namespace {

// Deeper nesting than this is refused (reading and writing), so that a
// hostile file cannot exhaust the stack.
constexpr int kMaxDepth = 512;

// Seconds from the Unix epoch to the desktop platform's reference date,
// 2001-01-01T00:00:00Z, which binary property lists count from.
constexpr qint64 kReferenceDateOffset = 978307200;

// Files larger than this are refused before they are read.
constexpr qint64 kMaxFileSize = qint64(1) << 30;

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

// ---------------------------------------------------------------------------
// Scalar texts of the XML form

std::optional<QVariant> parseInteger(const QString& raw)
{
    const QString text = raw.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text.at(i) == QLatin1Char('0')
        && (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    quint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        if (magnitude > (std::numeric_limits<quint64>::max() - quint64(digit)) / quint64(base))
            return std::nullopt;   // does not fit 64 bits
        magnitude = magnitude * quint64(base) + quint64(digit);
    }
    constexpr quint64 signedMax = quint64(std::numeric_limits<qlonglong>::max());
    if (negative) {
        if (magnitude > signedMax + 1)
            return std::nullopt;
        return QVariant(qlonglong(0 - magnitude));   // two's complement: exact for 2^63 too
    }
    if (magnitude > signedMax)
        return QVariant(quint64(magnitude));
    return QVariant(qlonglong(magnitude));
}

std::optional<double> parseReal(const QString& raw)
{
    const QString text = raw.trimmed();
    const QString lower = text.toLower();
    if (lower == QLatin1String("nan") || lower == QLatin1String("+nan") || lower == QLatin1String("-nan"))
        return std::numeric_limits<double>::quiet_NaN();
    for (const char* name : {"inf", "infinity"}) {
        if (lower == QLatin1String(name) || lower == QLatin1String("+") + QLatin1String(name))
            return std::numeric_limits<double>::infinity();
        if (lower == QLatin1String("-") + QLatin1String(name))
            return -std::numeric_limits<double>::infinity();
    }
    static const QRegularExpression number(
        QStringLiteral("\\A[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?\\z"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    // The whole text is one number, so the leading-number parse reads all of it.
    return values::stringDouble(text);
}

std::optional<QDateTime> parseDate(const QString& raw)
{
    static const QRegularExpression pattern(QStringLiteral(
        "\\A([0-9]{4})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})Z\\z"));
    const QRegularExpressionMatch match = pattern.match(raw.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    auto field = [&](int n) { return match.capturedView(n).toInt(); };
    const QDate date(field(1), field(2), field(3));
    const QTime time(field(4), field(5), field(6));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

std::optional<QByteArray> parseData(const QString& raw)
{
    QByteArray compact;
    compact.reserve(raw.size());
    for (const QChar c : raw) {
        const char16_t u = c.unicode();
        if (u == ' ' || u == '\t' || u == '\n' || u == '\r')
            continue;
        if (u > 0x7F)
            return std::nullopt;
        compact.append(char(u));
    }
    // Missing padding is fine, but a single character left over after the
    // last full group cannot encode a byte: the data was cut.
    qsizetype unpadded = compact.size();
    while (unpadded > 0 && compact.at(unpadded - 1) == '=')
        --unpadded;
    if (unpadded % 4 == 1)
        return std::nullopt;
    const auto result = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return result.decoded;
}

// ---------------------------------------------------------------------------
// Reading the XML form

class XmlReader {
public:
    explicit XmlReader(const QByteArray& bytes) : m_xml(bytes) {}

    QVariant read(QString* error)
    {
        QVariant result;
        if (!readDocument(&result)) {
            setError(error, m_error);
            return {};
        }
        return result;
    }

private:
    bool fail(const QString& message)
    {
        if (m_error.isEmpty()) {
            m_error = QStringLiteral("property list, line %1, column %2: %3")
                          .arg(m_xml.lineNumber())
                          .arg(m_xml.columnNumber())
                          .arg(message);
        }
        return false;
    }

    bool failFromXml()
    {
        return fail(m_xml.hasError() ? m_xml.errorString() : QStringLiteral("unexpected end of document"));
    }

    // Moves to the next start or end element, skipping white space, comments,
    // processing instructions and the DOCTYPE. Other text is an error.
    bool nextElement()
    {
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
            case QXmlStreamReader::EndElement:
                return true;
            case QXmlStreamReader::Characters:
                if (!m_xml.isWhitespace())
                    return fail(QStringLiteral("unexpected text \"%1\"").arg(m_xml.text().left(40).toString()));
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
            case QXmlStreamReader::DTD:
            case QXmlStreamReader::StartDocument:
                break;
            case QXmlStreamReader::EntityReference:
                return fail(QStringLiteral("unexpected entity reference &%1;").arg(m_xml.name().toString()));
            case QXmlStreamReader::EndDocument:
            case QXmlStreamReader::Invalid:
            case QXmlStreamReader::NoToken:
                return failFromXml();
            }
        }
    }

    bool readDocument(QVariant* result)
    {
        if (!nextElement())
            return false;
        if (m_xml.isEndElement())
            return fail(QStringLiteral("unexpected end element"));
        if (m_xml.name() == QLatin1String("plist")) {
            if (!nextElement())
                return false;
            if (m_xml.isEndElement())
                return fail(QStringLiteral("the plist element holds no value"));
            if (!readValue(result, 0))
                return false;
            if (!nextElement())
                return false;
            if (!m_xml.isEndElement())
                return fail(QStringLiteral("the plist element holds more than one value"));
        } else if (!readValue(result, 0)) {
            return false;
        }
        // Only white space, comments and processing instructions may follow.
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::EndDocument:
                return true;
            case QXmlStreamReader::Characters:
                if (!m_xml.isWhitespace())
                    return fail(QStringLiteral("text after the end of the property list"));
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            case QXmlStreamReader::Invalid:
                return failFromXml();
            default:
                return fail(QStringLiteral("content after the end of the property list"));
            }
        }
    }

    // The element text of a scalar; child elements are an error.
    bool readText(QString* text)
    {
        *text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_xml.hasError())
            return failFromXml();
        return true;
    }

    // At a start element: reads the value it holds, through its end element.
    bool readValue(QVariant* result, int depth)
    {
        const QStringView name = m_xml.name();
        if (name == QLatin1String("dict"))
            return readDict(result, depth + 1);
        if (name == QLatin1String("array"))
            return readArray(result, depth + 1);

        const QString element = name.toString();
        QString text;
        if (!readText(&text))
            return false;
        if (element == QLatin1String("string")) {
            *result = text;
            return true;
        }
        if (element == QLatin1String("integer")) {
            const auto value = parseInteger(text);
            if (!value)
                return fail(QStringLiteral("invalid integer \"%1\"").arg(text.left(40)));
            *result = *value;
            return true;
        }
        if (element == QLatin1String("real")) {
            const auto value = parseReal(text);
            if (!value)
                return fail(QStringLiteral("invalid real \"%1\"").arg(text.left(40)));
            *result = *value;
            return true;
        }
        if (element == QLatin1String("true") || element == QLatin1String("false")) {
            if (!text.trimmed().isEmpty())
                return fail(QStringLiteral("<%1> holds text").arg(element));
            *result = element == QLatin1String("true");
            return true;
        }
        if (element == QLatin1String("date")) {
            const auto value = parseDate(text);
            if (!value)
                return fail(QStringLiteral("invalid date \"%1\"").arg(text.left(40)));
            *result = *value;
            return true;
        }
        if (element == QLatin1String("data")) {
            const auto value = parseData(text);
            if (!value)
                return fail(QStringLiteral("invalid base64 data"));
            *result = *value;
            return true;
        }
        if (element == QLatin1String("key"))
            return fail(QStringLiteral("<key> outside a dictionary"));
        return fail(QStringLiteral("unknown element <%1>").arg(element.left(40)));
    }

    bool readDict(QVariant* result, int depth)
    {
        if (depth > kMaxDepth)
            return fail(QStringLiteral("nested too deeply"));
        QVariantMap map;
        for (;;) {
            if (!nextElement())
                return false;
            if (m_xml.isEndElement())
                break;
            if (m_xml.name() != QLatin1String("key"))
                return fail(QStringLiteral("expected <key> in a dictionary, found <%1>").arg(m_xml.name().left(40).toString()));
            QString key;
            if (!readText(&key))
                return false;
            if (!nextElement())
                return false;
            if (m_xml.isEndElement())
                return fail(QStringLiteral("the key \"%1\" has no value").arg(key.left(40)));
            QVariant value;
            if (!readValue(&value, depth))
                return false;
            map.insert(key, value);   // a repeated key: the last value wins
        }
        *result = map;
        return true;
    }

    bool readArray(QVariant* result, int depth)
    {
        if (depth > kMaxDepth)
            return fail(QStringLiteral("nested too deeply"));
        QVariantList list;
        for (;;) {
            if (!nextElement())
                return false;
            if (m_xml.isEndElement())
                break;
            QVariant value;
            if (!readValue(&value, depth))
                return false;
            list.append(value);
        }
        *result = list;
        return true;
    }

    QXmlStreamReader m_xml;
    QString m_error;
};

// ---------------------------------------------------------------------------
// Reading the binary form through libplist
//
// libplist 2.2 (Debian 12) parses the binary form, but trusts its structure:
// a deeply nested file overflows its stack, objects shared many times over
// (a small file whose arrays each name the next array twice) make it build
// an exponentially large tree, and a string holding a NUL character trips an
// assertion in its getters. So before libplist sees the bytes, this guard
// walks the object graph the way the format lays it out (trailer, offset
// table, container references; the values themselves are left to libplist)
// and refuses cycles, nesting deeper than kMaxDepth, an expanded tree much
// larger than the file, dictionary keys that are not strings, and strings
// with NUL characters.

class BinaryGuard {
public:
    explicit BinaryGuard(const QByteArray& bytes)
        : m_data(reinterpret_cast<const uchar*>(bytes.constData())), m_size(quint64(bytes.size()))
    {
    }

    bool check(QString* error)
    {
        if (m_size < 8 || std::memcmp(m_data, "bplist00", 8) != 0)
            return fail(error, QStringLiteral("unsupported binary property list version"));
        if (m_size < 8 + 32 + 1)
            return fail(error, QStringLiteral("truncated binary property list"));
        const uchar* trailer = m_data + m_size - 32;
        m_offsetSize = trailer[6];
        m_refSize = trailer[7];
        m_objectCount = bigEndian(trailer + 8, 8);
        const quint64 top = bigEndian(trailer + 16, 8);
        m_tableOffset = bigEndian(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return fail(error, QStringLiteral("binary property list: invalid trailer"));
        const quint64 tableEnd = m_size - 32;
        if (m_objectCount == 0 || top >= m_objectCount || m_tableOffset < 9 || m_tableOffset > tableEnd
            || m_objectCount > (tableEnd - m_tableOffset) / m_offsetSize)
            return fail(error, QStringLiteral("binary property list: invalid trailer or offset table"));
        // Expanded trees beyond this are refused. Each node of a real file's
        // tree costs at least one reference byte (only shared containers, which
        // the desktop platform never writes, break that), so its tree has
        // fewer nodes than the file has bytes.
        m_sizeLimit = 4 * m_size + 1024;
        m_state.assign(size_t(m_objectCount), 0);
        m_expanded.assign(size_t(m_objectCount), 0);
        m_height.assign(size_t(m_objectCount), 0);
        if (!visit(top, 1))
            return fail(error, m_error);
        return true;
    }

private:
    static bool fail(QString* error, const QString& message)
    {
        *error = message;
        return false;
    }

    bool fail(const QString& message)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("binary property list: ") + message;
        return false;
    }

    static quint64 bigEndian(const uchar* p, unsigned size)
    {
        quint64 value = 0;
        for (unsigned i = 0; i < size; ++i)
            value = (value << 8) | p[i];
        return value;
    }

    // The count of a container, string or data object at offset, and where
    // its contents start.
    bool count(quint64 offset, quint64* count, quint64* contents)
    {
        const uchar marker = m_data[offset];
        *contents = offset + 1;
        if ((marker & 0x0F) != 0x0F) {
            *count = marker & 0x0F;
            return true;
        }
        if (*contents >= m_tableOffset)
            return fail(QStringLiteral("length runs past the objects"));
        const uchar intMarker = m_data[*contents];
        if ((intMarker & 0xF0) != 0x10 || (intMarker & 0x0F) > 3)
            return fail(QStringLiteral("invalid length"));
        const unsigned size = 1u << (intMarker & 0x0F);
        if (size > m_tableOffset - *contents - 1)
            return fail(QStringLiteral("length runs past the objects"));
        *count = bigEndian(m_data + *contents + 1, size);
        *contents += 1 + size;
        return true;
    }

    bool objectOffset(quint64 index, quint64* offset)
    {
        *offset = bigEndian(m_data + m_tableOffset + index * m_offsetSize, m_offsetSize);
        if (*offset < 8 || *offset >= m_tableOffset)
            return fail(QStringLiteral("object offset out of range"));
        return true;
    }

    // Sizes of things the guard refuses: the nesting depth, and the number of
    // nodes of the expanded tree.
    bool visit(quint64 index, int depth)
    {
        if (depth > kMaxDepth)
            return fail(QStringLiteral("nested too deeply"));
        if (m_state[index] == 2)
            return true;
        if (m_state[index] == 1)
            return fail(QStringLiteral("an object contains itself"));
        m_state[index] = 1;
        quint64 offset = 0;
        if (!objectOffset(index, &offset))
            return false;
        const uchar type = m_data[offset] >> 4;
        quint64 expanded = 1;
        int height = 1;
        if (type == 0x5 || type == 0x6) {
            quint64 length = 0;
            quint64 start = 0;
            if (!count(offset, &length, &start))
                return false;
            const quint64 unit = type == 0x5 ? 1 : 2;
            if (length > (m_tableOffset - start) / unit)
                return fail(QStringLiteral("string runs past the objects"));
            for (quint64 i = 0; i < length; ++i) {
                if (m_data[start + i * unit] == 0 && (unit == 1 || m_data[start + i * unit + 1] == 0))
                    return fail(QStringLiteral("a string holds a NUL character"));
            }
        } else if (type == 0xA || type == 0xC || type == 0xD) {
            quint64 entries = 0;
            quint64 start = 0;
            if (!count(offset, &entries, &start))
                return false;
            const quint64 refs = type == 0xD ? 2 : 1;
            if (entries > (m_tableOffset - start) / m_refSize / refs)
                return fail(QStringLiteral("container runs past the objects"));
            for (quint64 i = 0; i < entries * refs; ++i) {
                const quint64 child = bigEndian(m_data + start + i * m_refSize, m_refSize);
                if (child >= m_objectCount)
                    return fail(QStringLiteral("reference to a missing object"));
                if (type == 0xD && i < entries) {
                    quint64 keyOffset = 0;
                    if (!objectOffset(child, &keyOffset))
                        return false;
                    const uchar keyType = m_data[keyOffset] >> 4;
                    if (keyType != 0x5 && keyType != 0x6)
                        return fail(QStringLiteral("a dictionary key is not a string"));
                }
                if (!visit(child, depth + 1))
                    return false;
                expanded += m_expanded[child];
                height = std::max(height, 1 + m_height[child]);
                if (expanded > m_sizeLimit)
                    return fail(QStringLiteral("objects are shared too often (the expanded tree is too large)"));
            }
        }
        if (height > kMaxDepth)
            return fail(QStringLiteral("nested too deeply"));
        m_expanded[index] = expanded;
        m_height[index] = height;
        m_state[index] = 2;
        return true;
    }

    const uchar* m_data;
    quint64 m_size;
    unsigned m_offsetSize = 0;
    unsigned m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_tableOffset = 0;
    quint64 m_sizeLimit = 0;
    std::vector<uchar> m_state;
    std::vector<quint64> m_expanded;
    std::vector<int> m_height;
    QString m_error;
};


struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct MallocDeleter {
    void operator()(void* p) const { std::free(p); }
};
using MallocPtr = std::unique_ptr<char, MallocDeleter>;

bool convertNode(plist_t node, QVariant* result, int depth, QString* error)
{
    if (depth > kMaxDepth) {
        *error = QStringLiteral("binary property list nested too deeply");
        return false;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        *result = value != 0;
        return true;
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        if (value <= uint64_t(std::numeric_limits<qlonglong>::max())) {
            *result = qlonglong(value);
            return true;
        }
        // libplist keeps the stored size: an 8-byte integer is signed (a
        // negative number), a 16-byte one holds a value above the signed
        // range. A new node of the same value is 8-byte; equal means signed.
        PlistPtr probe(plist_new_uint(value));
        if (plist_compare_node_value(node, static_cast<plist_t>(probe.get())))
            *result = qlonglong(value);   // two's complement reinterpretation
        else
            *result = quint64(value);
        return true;
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        *result = value;
        return true;
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* raw = plist_get_string_ptr(node, &length);
        if (!raw || length > uint64_t(std::numeric_limits<qsizetype>::max())) {
            *error = QStringLiteral("binary property list: unreadable string");
            return false;
        }
        *result = QString::fromUtf8(raw, qsizetype(length));
        return true;
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* raw = plist_get_data_ptr(node, &length);
        if (length > uint64_t(std::numeric_limits<qsizetype>::max()) || (length != 0 && !raw)) {
            *error = QStringLiteral("binary property list: data too large");
            return false;
        }
        *result = QByteArray(raw, qsizetype(length));
        return true;
    }
    case PLIST_DATE: {
        // libplist 2.2 hands out the seconds since 2001 truncated toward zero
        // as an int32 and the fraction's magnitude in microseconds. A date
        // that does not fit (before 1932-12-13 or after 2069-01-19) comes
        // out as INT32_MIN: an error, not a wrong date. (The sign of a date
        // less than a second from 2001-01-01T00:00:00Z is lost: taken as after.)
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        if (seconds == std::numeric_limits<int32_t>::min()) {
            *error = QStringLiteral("binary property list: a date outside the years 1932 to 2069, "
                                    "which libplist 2.2 cannot read");
            return false;
        }
        const qint64 fraction = qint64(std::abs(microseconds)) / 1000;
        const qint64 msecs = (kReferenceDateOffset + qint64(seconds)) * 1000 + (seconds < 0 ? -fraction : fraction);
        *result = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
        return true;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        list.reserve(qsizetype(size));
        for (uint32_t i = 0; i < size; ++i) {
            plist_t item = plist_array_get_item(node, i);
            if (!item) {
                *error = QStringLiteral("binary property list: missing array item");
                return false;
            }
            QVariant value;
            if (!convertNode(item, &value, depth + 1, error))
                return false;
            list.append(value);
        }
        *result = list;
        return true;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        MallocPtr iteratorMemory(static_cast<char*>(iterator));
        for (;;) {
            char* rawKey = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &rawKey, &item);
            MallocPtr key(rawKey);
            if (!item)
                break;
            QVariant value;
            if (!convertNode(item, &value, depth + 1, error))
                return false;
            map.insert(QString::fromUtf8(rawKey ? rawKey : ""), value);
        }
        *result = map;
        return true;
    }
    case PLIST_UID: {
        // A keyed archiver's object reference, as Python's plistlib and
        // plutil show it.
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        *result = QVariantMap{{QStringLiteral("CF$UID"), QVariant(qlonglong(value))}};
        return true;
    }
    default:
        *error = QStringLiteral("binary property list: unsupported value type");
        return false;
    }
}

QVariant readBinary(const QByteArray& bytes, QString* error)
{
    if (quint64(bytes.size()) > std::numeric_limits<uint32_t>::max()) {
        setError(error, QStringLiteral("binary property list too large"));
        return {};
    }
    QString why;
    BinaryGuard guard(bytes);
    if (!guard.check(&why)) {
        setError(error, why);
        return {};
    }
    plist_t root = nullptr;
    plist_from_bin(bytes.constData(), uint32_t(bytes.size()), &root);
    PlistPtr owner(root);
    if (!root) {
        setError(error, QStringLiteral("malformed binary property list"));
        return {};
    }
    QVariant result;
    if (!convertNode(root, &result, 0, &why)) {
        setError(error, why);
        return {};
    }
    return result;
}

// ---------------------------------------------------------------------------
// Writing the XML form

// XML 1.0 can carry only these characters; U+0000 and most control
// characters cannot be written at all.
bool isXmlText(const QString& text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x20) {
            if (c != '\t' && c != '\n' && c != '\r')
                return false;
        } else if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= size || !QChar::isLowSurrogate(text.at(i + 1).unicode()))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            return false;
        }
    }
    return true;
}

class XmlWriter {
public:
    explicit XmlWriter(QByteArray* out) : m_xml(out) {}

    // Laid out as the desktop platform lays it out: the top value at the
    // left margin inside <plist>, one tab per level below it.
    bool write(const QVariant& value, QString* error)
    {
        m_xml.writeStartDocument();
        m_xml.writeCharacters(QStringLiteral("\n"));
        m_xml.writeDTD(QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
        m_xml.writeCharacters(QStringLiteral("\n"));
        m_xml.writeStartElement(QStringLiteral("plist"));
        m_xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
        if (!writeValue(value, 0)) {
            setError(error, m_error);
            return false;
        }
        m_xml.writeCharacters(QStringLiteral("\n"));
        m_xml.writeEndElement();
        m_xml.writeEndDocument();
        if (m_xml.hasError()) {
            setError(error, QStringLiteral("cannot write the property list"));
            return false;
        }
        return true;
    }

private:
    bool fail(const QString& message)
    {
        m_error = message;
        return false;
    }

    void indent(int level)
    {
        m_xml.writeCharacters(QLatin1Char('\n') + QString(level, QLatin1Char('\t')));
    }

    // Text with carriage returns written as character references, which an
    // XML reader would otherwise turn into line feeds.
    bool writeText(const QString& element, const QString& text)
    {
        if (!isXmlText(text))
            return fail(QStringLiteral("the text \"%1\" holds characters XML cannot carry").arg(text.left(40)));
        m_xml.writeStartElement(element);
        qsizetype start = 0;
        for (;;) {
            const qsizetype cr = text.indexOf(QLatin1Char('\r'), start);
            if (cr < 0)
                break;
            if (cr > start)
                m_xml.writeCharacters(text.mid(start, cr - start));
            m_xml.writeEntityReference(QStringLiteral("#13"));
            start = cr + 1;
        }
        // Always write characters, so an empty string is <string></string>.
        m_xml.writeCharacters(text.mid(start));
        m_xml.writeEndElement();
        return true;
    }

    // A container at level (already indented); its items one level deeper.
    bool writeDictEntries(const QList<QPair<QString, QVariant>>& entries, int level)
    {
        if (level >= kMaxDepth)
            return fail(QStringLiteral("the value is nested too deeply"));
        if (entries.isEmpty()) {
            m_xml.writeEmptyElement(QStringLiteral("dict"));
            return true;
        }
        m_xml.writeStartElement(QStringLiteral("dict"));
        for (const auto& [key, value] : entries) {
            indent(level + 1);
            if (!writeText(QStringLiteral("key"), key) || !writeValue(value, level + 1))
                return false;
        }
        indent(level);
        m_xml.writeEndElement();
        return true;
    }

    bool writeArray(const QVariantList& list, int level)
    {
        if (level >= kMaxDepth)
            return fail(QStringLiteral("the value is nested too deeply"));
        if (list.isEmpty()) {
            m_xml.writeEmptyElement(QStringLiteral("array"));
            return true;
        }
        m_xml.writeStartElement(QStringLiteral("array"));
        for (const QVariant& item : list) {
            if (!writeValue(item, level + 1))
                return false;
        }
        indent(level);
        m_xml.writeEndElement();
        return true;
    }

    bool writeValue(const QVariant& value, int level)
    {
        indent(level);
        switch (values::kindOf(value)) {
        case values::Kind::Bool:
            m_xml.writeEmptyElement(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
            return true;
        case values::Kind::Signed:
            m_xml.writeTextElement(QStringLiteral("integer"), QString::number(value.toLongLong()));
            return true;
        case values::Kind::Unsigned:
            m_xml.writeTextElement(QStringLiteral("integer"), QString::number(value.toULongLong()));
            return true;
        case values::Kind::Floating:
            m_xml.writeTextElement(QStringLiteral("real"), realText(value.toDouble()));
            return true;
        case values::Kind::String:
        case values::Kind::None:
            break;
        }
        switch (value.metaType().id()) {
        case QMetaType::QString:
            return writeText(QStringLiteral("string"), value.toString());
        case QMetaType::QByteArray:
            m_xml.writeTextElement(QStringLiteral("data"), QString::fromLatin1(value.toByteArray().toBase64()));
            return true;
        case QMetaType::QDateTime: {
            const QDateTime date = value.toDateTime();
            const QDateTime utc = date.toUTC();
            if (!date.isValid() || utc.date().year() < 1 || utc.date().year() > 9999)
                return fail(QStringLiteral("a date outside the years 1 to 9999 cannot be written"));
            m_xml.writeTextElement(QStringLiteral("date"), utc.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'")));
            return true;
        }
        case QMetaType::QVariantMap: {
            const QVariantMap map = value.toMap();
            QList<QPair<QString, QVariant>> entries;
            entries.reserve(map.size());
            for (auto it = map.cbegin(); it != map.cend(); ++it)
                entries.append({it.key(), it.value()});
            return writeDictEntries(entries, level);
        }
        case QMetaType::QVariantHash: {
            const QVariantHash hash = value.toHash();
            QStringList keys = hash.keys();
            keys.sort();
            QList<QPair<QString, QVariant>> entries;
            entries.reserve(keys.size());
            for (const QString& key : keys)
                entries.append({key, hash.value(key)});
            return writeDictEntries(entries, level);
        }
        case QMetaType::QVariantList:
            return writeArray(value.toList(), level);
        case QMetaType::QStringList: {
            QVariantList list;
            for (const QString& item : value.toStringList())
                list.append(item);
            return writeArray(list, level);
        }
        default:
            if (!value.isValid())
                return fail(QStringLiteral("an empty value cannot be written to a property list"));
            return fail(QStringLiteral("a value of type %1 cannot be written to a property list")
                            .arg(QString::fromLatin1(value.typeName())));
        }
    }

    static QString realText(double value)
    {
        if (std::isnan(value))
            return QStringLiteral("nan");
        if (std::isinf(value))
            return value > 0 ? QStringLiteral("+infinity") : QStringLiteral("-infinity");
        if (value == 0.0)
            return std::signbit(value) ? QStringLiteral("-0") : QStringLiteral("0");
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    }

    QXmlStreamWriter m_xml;
    QString m_error;
};

} // namespace

QVariant read(const QByteArray& bytes, QString* error)
{
    if (bytes.isEmpty()) {
        setError(error, QStringLiteral("empty property list"));
        return {};
    }
    if (bytes.startsWith("bplist"))
        return readBinary(bytes, error);
    XmlReader reader(bytes);
    return reader.read(error);
}

QVariant readFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        return {};
    }
    if (file.size() > kMaxFileSize) {
        setError(error, QStringLiteral("%1 is too large for a property list").arg(path));
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return {};
    }
    QString why;
    QVariant result = read(bytes, &why);
    if (!result.isValid())
        setError(error, path + QStringLiteral(": ") + why);
    return result;
}

QByteArray toXml(const QVariant& value, QString* error)
{
    QByteArray out;
    XmlWriter writer(&out);
    if (!writer.write(value, error))
        return {};
    if (!out.endsWith('\n'))
        out.append('\n');
    return out;
}

bool writeFile(const QString& path, const QVariant& value, QString* error)
{
    const QByteArray xml = toXml(value, error);
    if (xml.isEmpty())
        return false;
    return writeFileAtomically(path, xml, error);
}

} // namespace platform::plist
