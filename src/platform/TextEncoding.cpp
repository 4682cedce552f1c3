#include "platform/TextEncoding.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace platform::text {

namespace {

// QString's own storage: UTF-16 in host byte order.
constexpr const char* kHostUtf16 = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "UTF-16LE" : "UTF-16BE";

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            ::iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of input; nullopt on an invalid or incomplete sequence, an
    // unmappable character, or an irreversible conversion (unless lossy is
    // allowed because the caller asked iconv for //TRANSLIT or //IGNORE).
    std::optional<QByteArray> run(const char* input, size_t length, bool allowLossy)
    {
        QByteArray output;
        output.resize(qsizetype(length) * 2 + 16);
        char* in = const_cast<char*>(input);
        size_t inLeft = length;
        size_t produced = 0;
        size_t irreversible = 0;
        bool flushing = false;
        for (;;) {
            char* out = output.data() + produced;
            size_t outLeft = size_t(output.size()) - produced;
            // A final call with no input writes any shift sequence that a
            // stateful encoding needs to return to its initial state.
            const size_t result = flushing ? ::iconv(m_cd, nullptr, nullptr, &out, &outLeft)
                                           : ::iconv(m_cd, &in, &inLeft, &out, &outLeft);
            const int savedErrno = errno;
            produced = size_t(output.size()) - outLeft;
            if (result == static_cast<size_t>(-1)) {
                if (savedErrno == E2BIG) {
                    output.resize(output.size() * 2 + 16);
                    continue;
                }
                return std::nullopt;   // EILSEQ or EINVAL (truncated input)
            }
            irreversible += result;
            if (!flushing) {
                flushing = true;
                continue;
            }
            break;
        }
        if (irreversible != 0 && !allowLossy)
            return std::nullopt;
        output.truncate(qsizetype(produced));
        return output;
    }

private:
    iconv_t m_cd;
};

bool asksForLossy(const char* name)
{
    return std::strstr(name, "//") != nullptr;
}

std::optional<QString> decodeWith(const char* data, size_t length, const char* encodingName)
{
    if (encodingName == nullptr)
        return std::nullopt;
    Converter converter(kHostUtf16, encodingName);
    if (!converter.valid())
        return std::nullopt;
    const std::optional<QByteArray> utf16 = converter.run(data, length, asksForLossy(encodingName));
    if (!utf16 || utf16->size() % 2 != 0)
        return std::nullopt;
    return QString(reinterpret_cast<const QChar*>(utf16->constData()), utf16->size() / 2);
}

} // namespace

const char* iconvName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
        return "UTF-8";
    case Encoding::Utf16:
        return "UTF-16";
    case Encoding::Utf16BE:
        return "UTF-16BE";
    case Encoding::Utf16LE:
        return "UTF-16LE";
    case Encoding::Latin1:
        return "ISO-8859-1";
    case Encoding::Latin2:
        return "ISO-8859-2";
    case Encoding::Windows1252:
        return "WINDOWS-1252";
    case Encoding::MacRoman:
        return "MACINTOSH";
    case Encoding::Ascii:
        return "ASCII";
    }
    return "UTF-8";
}

std::optional<QString> decode(const QByteArray& bytes, Encoding encoding)
{
    if (encoding == Encoding::Utf16) {
        // A byte-order mark decides; without one the text is big-endian.
        const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
        if (bytes.size() >= 2 && data[0] == 0xFF && data[1] == 0xFE)
            return decodeWith(bytes.constData() + 2, size_t(bytes.size() - 2), "UTF-16LE");
        if (bytes.size() >= 2 && data[0] == 0xFE && data[1] == 0xFF)
            return decodeWith(bytes.constData() + 2, size_t(bytes.size() - 2), "UTF-16BE");
        return decodeWith(bytes.constData(), size_t(bytes.size()), "UTF-16BE");
    }
    return decodeWith(bytes.constData(), size_t(bytes.size()), iconvName(encoding));
}

std::optional<QByteArray> encode(const QString& text, Encoding encoding)
{
    if (encoding == Encoding::Utf16) {
        std::optional<QByteArray> body = encode(text, "UTF-16BE");
        if (!body)
            return std::nullopt;
        body->prepend(QByteArray("\xFE\xFF", 2));
        return body;
    }
    return encode(text, iconvName(encoding));
}

std::optional<QString> decode(const QByteArray& bytes, const char* iconvEncodingName)
{
    return decodeWith(bytes.constData(), size_t(bytes.size()), iconvEncodingName);
}

std::optional<QByteArray> encode(const QString& text, const char* iconvEncodingName)
{
    if (iconvEncodingName == nullptr)
        return std::nullopt;
    Converter converter(iconvEncodingName, kHostUtf16);
    if (!converter.valid())
        return std::nullopt;
    return converter.run(reinterpret_cast<const char*>(text.constData()), size_t(text.size()) * 2,
                         asksForLossy(iconvEncodingName));
}

} // namespace platform::text
