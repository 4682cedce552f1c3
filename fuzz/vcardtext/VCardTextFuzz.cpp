// The vCard text toolkit on arbitrary bytes: the property tokenizer (plain and
// with the readers' rules, fed in two pieces), the base64 decoder, the
// quoted-printable soft-break joiner and the base64 block finders.
#include "formats/CARD_Parser.h"
#include "formats/RawVCardUtilities.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

struct Sink {
    std::size_t props = 0;
    std::size_t bytes = 0;
    int pendingEnd = 0;
};

void onProp(void* userData, const char* name, const char** params)
{
    auto* sink = static_cast<Sink*>(userData);
    ++sink->props;
    sink->bytes += std::char_traits<char>::length(name);
    for (int i = 0; params[i] || params[i + 1]; i += 2) {
        if (params[i])
            sink->bytes += std::char_traits<char>::length(params[i]);
        if (params[i + 1])
            sink->bytes += std::char_traits<char>::length(params[i + 1]);
    }
    ++sink->pendingEnd;
}

void onData(void* userData, const char* data, int len)
{
    auto* sink = static_cast<Sink*>(userData);
    if (!data) {
        --sink->pendingEnd;
        return;
    }
    for (int i = 0; i < len; ++i)
        sink->bytes += static_cast<unsigned char>(data[i]) & 1u;
}

void tokenize(const QByteArray& bytes, const CARD_ParserPolicy& policy, qsizetype split)
{
    CARD_Parser parser(policy);
    Sink sink;
    parser.setUserData(&sink);
    parser.setPropHandler(onProp);
    parser.setDataHandler(onData);
    const bool accepted = parser.parse(bytes.constData(), int(split), false)
                          && parser.parse(bytes.constData() + split, int(bytes.size() - split), true);
    // Every property's value ends with its end mark; only a refused byte or a
    // soft line break at the very end may leave the last one open.
    const int mayStayOpen = accepted && !policy.qpSoftBreakJoinsLines ? 0 : 1;
    if (sink.pendingEnd < 0 || sink.pendingEnd > mayStayOpen)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = size ? qsizetype(data[0] % (size + 1)) : 0;

    tokenize(bytes, CARD_ParserPolicy(), split);
    CARD_ParserPolicy reader;
    reader.foldFeedsBlank = false;
    reader.colonBeforeParamEndsParams = true;
    reader.emptyParamValueDropsParam = true;
    reader.escapedColonIsLiteral = true;
    reader.commaSeparatesParams = true;
    reader.qpSoftBreakJoinsLines = true;
    tokenize(bytes, reader, split);

    const QString text = QString::fromLatin1(bytes);
    const QByteArray decoded = decodeDataFromBase64(text);
    if (decoded.size() > text.size())
        __builtin_trap();
    (void)encodeData_quoted_printable(decoded);
    (void)fixLineBreaks(bytes);
    (void)removeVCardItem(QStringLiteral("PHOTO"), text);
    const qsizetype end21 = findEndOfBase64(text, true, true);
    const qsizetype end30 = findEndOfBase64(text, false, true);
    if (end21 < 0 || end21 > text.size() || end30 < 0 || end30 > text.size())
        __builtin_trap();
    // The readers' byte forms agree with the text forms on the same codes.
    const QByteArrayView view(bytes);
    if (decodeDataFromBase64(view) != decoded || findEndOfBase64(view, true, true) != end21
        || findEndOfBase64(view, false, true) != end30
        || findEndOfBase64forV30(view, false) != findEndOfBase64forV30(text, false))
        __builtin_trap();
    (void)replaceVDataItem(QStringLiteral("DTSTART"), text, QStringLiteral("DTSTART:1\r"));
    (void)formatBase64(text);
    return 0;
}
