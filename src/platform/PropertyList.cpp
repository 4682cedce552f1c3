#include "platform/PropertyList.h"
#include "platform/Values.h"

#include "platform/FileIO.h"

#include <QDateTime>
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
constexpr qint64 kMaxRemovableFileSize = qint64(1) << 20;

// The strings and data of a binary file's expanded tree (an object named
// twice counts twice) may take this many times the file's size, plus a
// fixed allowance for small files.
constexpr quint64 kExpansionFactor = 16;
constexpr quint64 kExpansionAllowance = quint64(1) << 20;

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
    explicit XmlReader(const QByteArray& bytes) : m_xml(bytes)
    {
        // Declared entities are refused when the DTD is seen; this keeps
        // any expansion before that point small as well.
        m_xml.setEntityExpansionLimit(0);
    }

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

    // A reference to an entity the document does not declare (behind the
    // public DTD the reader leaves it unexpanded): the text cannot be read.
    bool failUnknownEntity()
    {
        return fail(QStringLiteral("unknown entity &%1;").arg(m_xml.name().left(40).toString()));
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
            case QXmlStreamReader::DTD:
                // A property list has no use for entities of its own, and
                // expanding them is how a small file grows without bounds.
                if (!m_xml.entityDeclarations().isEmpty() || m_xml.text().contains(QLatin1String("<!ENTITY")))
                    return fail(QStringLiteral("the document type declares entities"));
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
            case QXmlStreamReader::StartDocument:
                break;
            case QXmlStreamReader::EntityReference:
                return failUnknownEntity();
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

    // The element text of a scalar; child elements and unknown entities are
    // an error.
    bool readText(QString* text)
    {
        text->clear();
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::Characters:
                text->append(m_xml.text());
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            case QXmlStreamReader::EndElement:
                return true;
            case QXmlStreamReader::EntityReference:
                return failUnknownEntity();
            case QXmlStreamReader::StartElement:
                return fail(QStringLiteral("unexpected element <%1> in text").arg(m_xml.name().left(40).toString()));
            default:
                return failFromXml();
            }
        }
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
// (a small file whose arrays each name the next array twice, or one long
// string named by every item of an array) make it build a tree far larger
// than the file, and a string holding a NUL character trips an assertion in
// its getters. It also misreads a few values: it drops the upper half of a
// 16-byte integer, fails on an empty UTF-16 string and drops lone surrogates.
// So before libplist sees the bytes, this guard walks the object graph the
// way the format lays it out (trailer, offset table, container references,
// integers and strings) and refuses cycles, nesting deeper than kMaxDepth,
// an expanded tree much larger than the file (in nodes and in the bytes of
// its strings and data), dictionary keys that are not strings, strings with
// NUL characters or lone surrogates, and integers outside 64 bits. The two
// values libplist misreads that have another form it reads right (a negative
// 16-byte integer as an 8-byte one, an empty UTF-16 string as an empty ASCII
// one) are listed as patches: the bytes to write over the object.

class BinaryGuard {
public:
    struct Patch {
        quint64 offset;
        QByteArray bytes;
    };

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
        // Expanded trees beyond these are refused. Each node of a real file's
        // tree costs at least one reference byte (only shared containers, which
        // the desktop platform never writes, break that), so its tree has
        // fewer nodes than the file has bytes; shared strings and data are
        // short beside the file.
        m_nodeLimit = 4 * m_size + 1024;
        m_byteLimit = kExpansionFactor * m_size + kExpansionAllowance;
        m_state.assign(size_t(m_objectCount), 0);
        m_objects.assign(size_t(m_objectCount), Expanded{});
        if (!visit(top, 1))
            return fail(error, m_error);
        return true;
    }

    const std::vector<Patch>& patches() const { return m_patches; }

private:
    // What an object becomes in the expanded tree.
    struct Expanded {
        quint64 nodes = 0;
        quint64 bytes = 0; // of strings and data
        int height = 0;
    };

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

    // Integers of 1, 2, 4, 8 or 16 bytes. A 16-byte one must fit 64 bits:
    // zero upper half (up to 2^64 - 1, read as unsigned) or a negative
    // number, which is rewritten as the 8-byte integer libplist reads as
    // signed.
    bool checkInteger(quint64 offset)
    {
        const unsigned sizeLog = m_data[offset] & 0x0F;
        if (sizeLog > 4)
            return fail(QStringLiteral("invalid integer size"));
        const quint64 size = quint64(1) << sizeLog;
        if (size > m_tableOffset - offset - 1)
            return fail(QStringLiteral("integer runs past the objects"));
        if (size != 16)
            return true;
        const quint64 high = bigEndian(m_data + offset + 1, 8);
        const quint64 low = bigEndian(m_data + offset + 9, 8);
        if (high == 0)
            return true;
        if (high != ~quint64(0) || (low >> 63) == 0)
            return fail(QStringLiteral("an integer does not fit 64 bits"));
        m_patches.push_back(
            {offset, QByteArray(1, '\x13') + QByteArray(reinterpret_cast<const char*>(m_data) + offset + 9, 8)});
        return true;
    }

    // ASCII (unit 1) and UTF-16 (unit 2) strings, and data (unit 1).
    bool checkBytes(uchar type, quint64 offset, quint64* bytes)
    {
        quint64 length = 0;
        quint64 start = 0;
        if (!count(offset, &length, &start))
            return false;
        const quint64 unit = type == 0x6 ? 2 : 1;
        if (length > (m_tableOffset - start) / unit)
            return fail(type == 0x4 ? QStringLiteral("data runs past the objects")
                                    : QStringLiteral("string runs past the objects"));
        *bytes = length * unit;
        if (type == 0x5) {
            if (std::memchr(m_data + start, 0, length))
                return fail(QStringLiteral("a string holds a NUL character"));
        } else if (type == 0x6) {
            if (length == 0) // an empty string, as libplist can read it
                m_patches.push_back({offset, QByteArray(1, '\x50')});
            bool afterHigh = false;
            for (quint64 i = 0; i < length; ++i) {
                const char16_t c = char16_t(bigEndian(m_data + start + 2 * i, 2));
                if (c == 0)
                    return fail(QStringLiteral("a string holds a NUL character"));
                if (afterHigh != QChar::isLowSurrogate(c))
                    return fail(QStringLiteral("a string holds a lone surrogate"));
                afterHigh = QChar::isHighSurrogate(c);
            }
            if (afterHigh)
                return fail(QStringLiteral("a string holds a lone surrogate"));
        }
        return true;
    }

    // The sizes of the expanded tree below an object, which the guard
    // bounds, and the checks of its values on the way.
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
        Expanded expanded{1, 0, 1};
        if (type == 0x1) {
            if (!checkInteger(offset))
                return false;
        } else if (type == 0x4 || type == 0x5 || type == 0x6) {
            if (!checkBytes(type, offset, &expanded.bytes))
                return false;
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
                const Expanded& below = m_objects[child];
                expanded.nodes += below.nodes;
                expanded.bytes += below.bytes;
                expanded.height = std::max(expanded.height, 1 + below.height);
                if (expanded.nodes > m_nodeLimit)
                    return fail(QStringLiteral("objects are shared too often (the expanded tree is too large)"));
                if (expanded.bytes > m_byteLimit)
                    return fail(
                        QStringLiteral("strings or data are shared too often (the expanded tree is too large)"));
            }
        }
        if (expanded.height > kMaxDepth)
            return fail(QStringLiteral("nested too deeply"));
        m_objects[index] = expanded;
        m_state[index] = 2;
        return true;
    }

    const uchar* m_data;
    quint64 m_size;
    unsigned m_offsetSize = 0;
    unsigned m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_tableOffset = 0;
    quint64 m_nodeLimit = 0;
    quint64 m_byteLimit = 0;
    std::vector<uchar> m_state;
    std::vector<Expanded> m_objects;
    std::vector<Patch> m_patches;
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
        // Walked with the iterator: libplist 2.2 finds an item by its index
        // from the front, so a loop over indices takes quadratic time.
        QVariantList list;
        list.reserve(qsizetype(plist_array_get_size(node)));
        plist_array_iter iterator = nullptr;
        plist_array_new_iter(node, &iterator);
        MallocPtr iteratorMemory(static_cast<char*>(iterator));
        for (;;) {
            plist_t item = nullptr;
            plist_array_next_item(node, iterator, &item);
            if (!item)
                break;
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

// The bytes with the guard's patches written over them, checked again: the
// patched bytes must pass the guard as they are (a patch that changes what
// another object reads is refused). Empty, with *error set, when they do not.
QByteArray applyPatches(const QByteArray& bytes, const std::vector<BinaryGuard::Patch>& patches, QString* error)
{
    if (patches.empty())
        return bytes;
    QByteArray patched(bytes.constData(), bytes.size());
    for (const BinaryGuard::Patch& patch : patches)
        patched.replace(qsizetype(patch.offset), patch.bytes.size(), patch.bytes);
    BinaryGuard again(patched);
    if (!again.check(error))
        return {};
    if (!again.patches().empty()) {
        *error = QStringLiteral("binary property list: objects overlap");
        return {};
    }
    return patched;
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
    const QByteArray patched = applyPatches(bytes, guard.patches(), &why);
    if (patched.isEmpty()) {
        setError(error, why);
        return {};
    }
    plist_t root = nullptr;
    plist_from_bin(patched.constData(), uint32_t(patched.size()), &root);
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

QVariant readFile(const QString& path, QString* error, FileOrigin origin)
{
    QString why;
    const bool removable = origin == FileOrigin::RemovableVolume;
    const std::optional<QByteArray> bytes = readRegularFile(path, removable ? kMaxRemovableFileSize : kMaxFileSize,
                                                            removable ? Symlinks::Refuse : Symlinks::Follow, &why);
    if (!bytes) {
        setError(error, why);
        return {};
    }
    QVariant result = read(*bytes, &why);
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
