#include "formats/RawVCardUtilities.h"

#include "formats/CARD_Parser.h"
#include "formats/QuorNSStringVCardExtensions.h"

#include "foundation/ImageFileTypeCategory.h"

#include <QPainter>

namespace {

const QString kBegin = QStringLiteral("BEGIN:");
const QString kEnd = QStringLiteral("END:");
const QString kEndVCard = QStringLiteral("END:VCARD");
const QString kBase64Marker = QStringLiteral("BASE64");
const QString kPhotoProperty = QStringLiteral("PHOTO;");
const QString kPhotoLineStart = QLatin1String(kJPEGPhotoLineStart);
const QString kCRLF = QStringLiteral("\r\n");
const QString kCR = QStringLiteral("\r");
const QByteArray kQPEncoding = QByteArrayLiteral("ENCODING=QUOTED-PRINTABLE");

constexpr qsizetype kFirstBase64Line = 68;
constexpr qsizetype kFurtherBase64Line = 67;

bool isBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

bool isBlankOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

int base64Value(char16_t c)
{
    return c < 0x80 ? CARD_Parser::Base64ToOrd(static_cast<unsigned char>(c)) : -1;
}

} // namespace

qsizetype findKeyWordBegin(const QString& keyword, const QString& text)
{
    if (keyword.isEmpty())
        return -1;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(keyword, from);
        if (at < 0)
            return -1;
        if (at == 0 || isBreak(text.at(at - 1)))
            return at;
        from = at + 1;
    }
}

qsizetype findEndOfLogicalLine(const QString& text)
{
    const qsizetype length = text.size();
    for (qsizetype i = 0; i + 1 < length; ++i) {
        if (isBreak(text.at(i)) && text.at(i + 1).unicode() > 32)
            return i + 1;
    }
    return length;
}

qsizetype findEndOfContent(const QString& text)
{
    const qsizetype length = text.size();
    qsizetype i = 0;
    while (i < length) {
        if (!isBreak(text.at(i))) {
            ++i;
            continue;
        }
        qsizetype last = i;
        if (text.at(i) == u'\r' && i + 1 < length && text.at(i + 1) == u'\n')
            last = i + 1;
        if (last + 1 < length && isBlankOrTab(text.at(last + 1))) {
            i = last + 1;                       // folded: the content goes on
            continue;
        }
        return last;
    }
    return length;
}

qsizetype findEndOfProperty(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u':' || text.at(i) == u';')
            return i + 1;
    }
    return text.size();
}

QString findDataType(const QString& text)
{
    const qsizetype begin = findKeyWordBegin(kBegin, text);
    if (begin < 0)
        return {};
    const QString rest = text.mid(begin + kBegin.size());
    return rest.left(findEndOfContent(rest));
}

QString getCRLFUsage(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isBreak(text.at(i)))
            continue;
        if (i + 1 < text.size() && isBreak(text.at(i + 1)))
            return kCRLF;
        return kCR;
    }
    return kCRLF;
}

QString removeVCardItem(const QString& keyword, const QString& vCard)
{
    const qsizetype start = findKeyWordBegin(keyword, vCard);
    if (start < 0)
        return vCard;
    const QString rest = vCard.mid(start);
    const qsizetype lineEnd = findEndOfLogicalLine(rest);
    qsizetype end = lineEnd;
    if (QStringView(rest).left(lineEnd).contains(kBase64Marker))
        end = findEndOfBase64(rest, isVCard21(vCard), true);
    QString result = vCard;
    result.remove(start, end);
    return result;
}

QString removeVCardProperty(const QString& keyword, const QString& vCard)
{
    const qsizetype start = findKeyWordBegin(keyword, vCard);
    if (start < 0)
        return vCard;
    QString result = vCard;
    result.remove(start, findEndOfProperty(vCard.mid(start)));
    return result;
}

QString addVCardItem(const QString& item, const QString& vCard)
{
    const qsizetype at = findKeyWordBegin(kEndVCard, vCard);
    if (at < 0)
        return vCard;
    QString result = vCard;
    result.insert(at, item);
    return result;
}

QString addVDataItem(const QString& text, const QString& item)
{
    const QString type = findDataType(text);
    if (type.isEmpty())
        return text;
    const qsizetype at = findKeyWordBegin(kEnd + type, text);
    if (at < 0)
        return text;
    QString result = text;
    result.insert(at, item);
    return result;
}

QString replaceVDataItem(const QString& keyword, const QString& text, const QString& newLine)
{
    const qsizetype start = findKeyWordBegin(keyword, text);
    if (start < 0)
        return addVDataItem(text, newLine + getCRLFUsage(text));
    QString result = text;
    result.replace(start, findEndOfContent(text.mid(start)), newLine);
    return result;
}

namespace {

// The block scanners and the decoder read a text's characters or, in the
// readers, the bytes of a text as ISO Latin 1 characters: the same codes.
char16_t unitAt(QStringView text, qsizetype i)
{
    return text[i].unicode();
}

char16_t unitAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<unsigned char>(bytes[i]);
}

bool isBreakUnit(char16_t c)
{
    return c == u'\r' || c == u'\n';
}

template <typename View>
qsizetype indexOfColon(View text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (unitAt(text, i) == u':')
            return i;
    }
    return -1;
}

template <typename View>
bool motorolaStyle(View text)
{
    int crCount = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = unitAt(text, i);
        if (c == u'=')
            return false;
        if (c == u'\n') {
            if (i + 1 < text.size())
                return unitAt(text, i + 1) > 47;
            continue;
        }
        if (c == u'\r') {
            if (++crCount >= 2)
                return true;
            continue;
        }
        crCount = 0;
    }
    return false;
}

template <typename View>
qsizetype endOfBase64forV30(View text, bool skipToColon)
{
    const qsizetype length = text.size();
    qsizetype i = 0;
    if (skipToColon) {
        i = indexOfColon(text);
        if (i < 0)
            return length;
        ++i;
    }
    while (i < length && isBreakUnit(unitAt(text, i)))
        ++i;
    while (i < length && unitAt(text, i) != u'\r')
        ++i;
    while (i < length && isBreakUnit(unitAt(text, i)))
        ++i;
    return i;
}

template <typename View>
qsizetype endOfBase64(View text, bool isVersion21, bool skipToColon)
{
    if (!isVersion21)
        return endOfBase64forV30(text, skipToColon);
    const bool motorola = motorolaStyle(text);
    const qsizetype length = text.size();
    qsizetype i = 0;
    if (skipToColon) {
        i = indexOfColon(text);
        if (i < 0)
            return length;
    }
    int crCount = 0;
    for (; i < length; ++i) {
        const char16_t c = unitAt(text, i);
        if (c == u'\r') {
            if (++crCount >= 2) {
                ++i;
                while (i < length && isBreakUnit(unitAt(text, i)))
                    ++i;
                return i;
            }
        } else if (c == u'\n') {
            if (i + 1 < length) {
                const char16_t next = unitAt(text, i + 1);
                if (motorola ? next == u'\r' : next >= 48)
                    return i + 1;               // the LF is the block's last character
            }
        } else if (c == u'=') {
            while (i < length && (unitAt(text, i) == u'=' || isBreakUnit(unitAt(text, i))))
                ++i;
            return i;
        } else {
            crCount = 0;
        }
    }
    return length;
}

template <typename View>
QByteArray decodeBase64(View text)
{
    QByteArray result(text.size() / 4 * 3 + 3, Qt::Uninitialized);
    char* out = result.data();
    quint32 quantum = 0;
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = unitAt(text, i);
        if (c == u'=')
            break;                              // fill characters end the data
        const int value = base64Value(c);
        if (value < 0)
            continue;
        quantum = (quantum << 6) | quint32(value);
        if (++count == 4) {
            *out++ = char((quantum >> 16) & 0xFF);
            *out++ = char((quantum >> 8) & 0xFF);
            *out++ = char(quantum & 0xFF);
            quantum = 0;
            count = 0;
        }
    }
    // A last group of two or three characters, with or without its fill
    // characters, gives one or two bytes; a single character is no byte.
    if (count == 2) {
        *out++ = char((quantum >> 4) & 0xFF);
    } else if (count == 3) {
        *out++ = char((quantum >> 10) & 0xFF);
        *out++ = char((quantum >> 2) & 0xFF);
    }
    result.truncate(out - result.constData());
    return result;
}

} // namespace

bool isMotorolaStyle(const QString& text)
{
    return motorolaStyle(QStringView(text));
}

qsizetype findEndOfBase64forV30(const QString& text, bool skipToColon)
{
    return endOfBase64forV30(QStringView(text), skipToColon);
}

qsizetype findEndOfBase64forV30(QByteArrayView bytes, bool skipToColon)
{
    return endOfBase64forV30(bytes, skipToColon);
}

qsizetype findEndOfBase64(const QString& text, bool isVersion21, bool skipToColon)
{
    return endOfBase64(QStringView(text), isVersion21, skipToColon);
}

qsizetype findEndOfBase64(QByteArrayView bytes, bool isVersion21, bool skipToColon)
{
    return endOfBase64(bytes, isVersion21, skipToColon);
}

QImage flattenedImage(const QImage& image)
{
    QImage canvas(image.size(), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(0, 0, image);
    painter.end();
    return canvas;
}

QString encodeDataToBase64(const QByteArray& data)
{
    return QString::fromLatin1(data.toBase64());
}

QByteArray decodeDataFromBase64(const QString& text)
{
    return decodeBase64(QStringView(text));
}

QByteArray decodeDataFromBase64(QByteArrayView bytes)
{
    return decodeBase64(bytes);
}

QString encodeData_quoted_printable(const QByteArray& data)
{
    static const char hex[] = "0123456789ABCDEF";
    QString result;
    result.reserve(data.size());
    for (const char byte : data) {
        const auto b = static_cast<unsigned char>(byte);
        if (b < 128 && b != '\r' && b != '\n' && b != '=') {
            result.append(QChar(b));
        } else {
            result.append(u'=');
            result.append(QChar(hex[b >> 4]));
            result.append(QChar(hex[b & 0x0F]));
        }
    }
    return result;
}

QString formatBase64(const QString& text, const QString& lineEnd)
{
    if (text.size() < kFirstBase64Line)
        return text;
    QString result;
    result.reserve(text.size() + text.size() / kFurtherBase64Line * (lineEnd.size() + 1) + 4);
    result.append(text.left(kFirstBase64Line));
    result.append(lineEnd);
    for (qsizetype at = kFirstBase64Line; at < text.size(); at += kFurtherBase64Line) {
        result.append(u' ');
        result.append(text.mid(at, kFurtherBase64Line));
        result.append(lineEnd);
    }
    return result;
}

QString addPhotoData(const QByteArray& jpegData, const QString& vCard)
{
    QString line = formatBase64(kPhotoLineStart + encodeDataToBase64(jpegData));
    if (!line.endsWith(kCRLF))
        line.append(kCRLF);
    return addVCardItem(line, vCard);
}

QString addPhotoItem(const QImage& image, const QString& vCard, int byteLimit)
{
    if (image.isNull())
        return vCard;
    QImage current = flattenedImage(image);
    QByteArray jpeg = JPEGRepresentation(current);
    if (jpeg.isEmpty())
        return vCard;
    while (byteLimit > 0 && jpeg.size() > byteLimit) {
        const int width = int(current.width() * kPhotoShrink);
        const int height = int(current.height() * kPhotoShrink);
        if (width < kMinPhotoSide || height < kMinPhotoSide)
            return vCard;                       // cannot fit: no photo at all
        current = current.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        jpeg = JPEGRepresentation(current);
        if (jpeg.isEmpty())
            return vCard;
    }
    return addPhotoData(jpeg, vCard);
}

QByteArray getImageDataVCard(const QString& vCard)
{
    const qsizetype start = findKeyWordBegin(kPhotoProperty, vCard);
    if (start < 0)
        return {};
    const QString rest = vCard.mid(start);
    const qsizetype colon = rest.indexOf(u':');
    if (colon < 0)
        return {};
    const qsizetype end = findEndOfBase64(rest, isVCard21(vCard), true);
    if (end <= colon)
        return QByteArray("");
    return decodeDataFromBase64(rest.mid(colon + 1, end - colon - 1));
}

QImage getImageFromVCard(const QString& vCard)
{
    const QByteArray data = getImageDataVCard(vCard);
    if (data.isEmpty())
        return {};
    return QImage::fromData(data);
}

bool bufferContainsQPEncoding(const char* bytes, qsizetype length)
{
    if (!bytes || length <= 0)
        return false;
    return QByteArrayView(bytes, length).contains(kQPEncoding);
}

QByteArray fixLineBreaks(const QByteArray& vCardData)
{
    const qsizetype length = vCardData.size();
    QByteArray out;
    out.reserve(length);
    qsizetype lineStart = 0;        // in out: where the current property line began
    qsizetype searchedTo = 0;       // in out: the marker was looked for up to here
    bool lineIsQP = false;
    for (qsizetype i = 0; i < length; ++i) {
        const char c = vCardData.at(i);
        if (c != '\r' && c != '\n') {
            out.append(c);
            continue;
        }
        qsizetype breakLength = 1;
        if (i + 1 < length) {
            const char next = vCardData.at(i + 1);
            if ((c == '\r' && next == '\n') || (c == '\n' && next == '\r'))
                breakLength = 2;
        }
        if (out.endsWith('=')) {
            if (!lineIsQP) {
                const qsizetype from = qMax(lineStart, searchedTo - kQPEncoding.size());
                lineIsQP = out.indexOf(kQPEncoding, from) >= 0;
                searchedTo = out.size();
            }
            if (lineIsQP) {
                out.chop(1);                    // soft break: "=" and the break go
                i += breakLength - 1;
                continue;
            }
        }
        out.append(vCardData.constData() + i, breakLength);
        i += breakLength - 1;
        lineStart = out.size();
        searchedTo = lineStart;
        lineIsQP = false;
    }
    return out;
}
