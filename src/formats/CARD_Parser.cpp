#include "formats/CARD_Parser.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kKeptLineCapacity = 1024;
constexpr std::size_t kLineGrowth = 128;

int hexDigit(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

CARD_Parser::CARD_Parser(const CARD_ParserPolicy& policy)
    : m_policy(policy)
{
}

int CARD_Parser::parse(const char* bytes, int count, bool isFinal)
{
    if (!bytes)
        count = 0;
    if (m_stopped)
        return 1;
    for (int i = 0; i < count; ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c == 0 && m_policy.dropNul)
            continue;
        if (c == '\r' && m_policy.loneCREndsLine) {
            if (i + 1 < count && bytes[i + 1] == '\n')
                continue;                       // CR LF: the LF ends the line
            c = '\n';
        }
        if (m_softBreak) {
            // The line after a quoted-printable soft break goes on with the
            // value as it is written, a leading blank included; an empty line
            // ends the value.
            m_softBreak = false;
            if (c != '\n') {
                m_startOfLine = false;
                if (!vcard_process_char(c))
                    return 0;
                continue;
            }
        }
        if (m_startOfLine) {
            if (c == '\n') {
                m_lastLineEnd = m_fed + i;
                continue;                       // empty lines vanish
            }
            if (!m_folding && isWhitespace(c)) {
                m_folding = true;               // the folding blank is consumed
                continue;
            }
            m_startOfLine = false;
            if (m_policy.base64BlockLength && m_state == ValueState && m_encoding == Base64 && m_startOfData) {
                // A base64 value that starts on the next line, unindented.
                i += takeBase64Block(bytes + i, count - i) - 1;
                m_startOfLine = true;
                m_folding = false;
                m_lastLineEnd = m_fed + i;
                continue;
            }
            if (!m_folding && m_policy.plainValueContinuesOnSecondBlank && m_state == ValueState
                && m_encoding == NoEncoding && i + 1 < count && (bytes[i + 1] == ' ' || bytes[i + 1] == '\t')) {
                if (!vcard_process_char(c))
                    return 0;
                ++i;                            // the blank after it is skipped
                continue;
            }
            if (m_folding && m_encoding == QuotedPrintable)
                m_decoding = false;
            if (!m_folding) {
                vcard_process_char('\n');
                if (m_stopped) {
                    m_position = m_lastLineEnd;
                    return 1;
                }
                if (m_continueAt >= 0) {
                    const long long at = m_continueAt - m_fed;
                    m_continueAt = -1;
                    if (at > i) {
                        i = int(std::min<long long>(at, count)) - 1;
                        m_startOfLine = true;
                        m_lastLineEnd = m_fed + i;
                        continue;
                    }
                }
                m_lineStart = m_fed + i;
            } else if (m_policy.foldFeedsBlank) {
                vcard_process_char(' ');
            }
        } else if (c == '\n') {
            m_startOfLine = true;
            m_folding = false;
            m_lastLineEnd = m_fed + i;
            m_softBreak = m_policy.qpSoftBreakJoinsLines && takeSoftBreak();
            continue;
        }
        if (m_state == ValueState && !m_startOfData && m_dataHandler && c != '\r') {
            if (const int taken = takeValueRun(bytes + i, count - i); taken > 0) {
                i += taken - 1;
                continue;
            }
        } else if (m_state == NameState || m_state == ParamNameState || m_state == ParamValueState) {
            if (const int taken = takeWordRun(bytes + i, count - i); taken > 0) {
                i += taken - 1;
                continue;
            }
        }
        if (m_policy.base64BlockLength && m_state == ValueState && m_encoding == Base64 && m_startOfData
            && !isWhitespace(c)) {
            i += takeBase64Block(bytes + i, count - i) - 1;
            m_startOfLine = true;
            m_folding = false;
            m_lastLineEnd = m_fed + i;
            continue;
        }
        if (!vcard_process_char(c))
            return 0;
    }
    if (isFinal) {
        const long long last = m_startOfLine ? m_lastLineEnd : m_fed + count - 1;
        vcard_process_char('\n');
        m_startOfLine = true;
        m_folding = false;
        if (m_stopped)
            m_position = last;
    }
    m_fed += count;
    return 1;
}

int CARD_Parser::takeBase64Block(const char* bytes, int count)
{
    const int length = std::clamp(m_policy.base64BlockLength(bytes, count), 1, count);
    if (m_dataHandler) {
        m_dataHandler(m_userData, bytes, length);
        m_dataHandler(m_userData, nullptr, 0);
    }
    vcard_clear_line();
    return length;
}

int CARD_Parser::takeWordRun(const char* bytes, int count)
{
    // In a name, a parameter name or a parameter value, the machine adds every
    // byte that is no separator, escape, blank or line end as it is: those
    // bytes go in one step.
    static constexpr auto kWordByte = [] {
        std::array<bool, 256> word{};
        for (int c = 0x21; c < 0x100; ++c)
            word[std::size_t(c)] = c != ':' && c != ';' && c != '=' && c != ',' && c != '\\' && c != 0x7F;
        return word;
    }();
    const int room = int(std::min<std::size_t>(kMaxLineLength - std::min(m_lineBuf.size(), kMaxLineLength), count));
    int end = 0;
    while (end < room && kWordByte[static_cast<unsigned char>(bytes[end])])
        ++end;
    if (end == 0 || !reserveLine(std::size_t(end)))
        return 0;
    m_lineBuf.insert(m_lineBuf.end(), bytes, bytes + end);
    return end;
}

bool CARD_Parser::reserveLine(std::size_t more)
{
    const std::size_t at = m_lineBuf.size();
    if (m_lineBuf.capacity() >= at + more)
        return true;
    const std::size_t grown = std::max({at * 2, at + more, at + kLineGrowth});
    try {
        m_lineBuf.reserve(std::min(grown, kMaxLineLength));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int CARD_Parser::takeValueRun(const char* bytes, int count)
{
    // The bytes the machine would add to the value one by one, up to the next
    // line-end byte, NUL or "=" that is not a complete escape, in one step:
    // plain bytes as they are, a quoted-printable "=" and two hex digits as
    // their byte. Never past the longest line, so the machine still refuses
    // the byte that would pass it.
    const bool quoted = m_encoding == QuotedPrintable;
    if (!(quoted && !m_decoding) && m_encoding != NoEncoding && m_encoding != EightBit)
        return 0;
    // Bytes that end a run: line ends, NUL and, in quoted-printable, "=".
    static constexpr auto kStops = [] {
        std::array<std::array<bool, 256>, 2> stops{};
        for (auto& table : stops)
            table['\n'] = table['\r'] = table['\0'] = true;
        stops[1]['='] = true;
        return stops;
    }();
    const std::array<bool, 256>& stop = kStops[quoted ? 1 : 0];
    const int room = int(std::min<std::size_t>(kMaxLineLength - std::min(m_lineBuf.size(), kMaxLineLength), count));
    int end = 0;
    bool escapes = false;
    while (end < room) {
        const char b = bytes[end];
        if (!stop[static_cast<unsigned char>(b)]) {
            ++end;
            continue;
        }
        if (b == '=') {
            if (end + 2 >= room || hexDigit(static_cast<unsigned char>(bytes[end + 1])) < 0
                || hexDigit(static_cast<unsigned char>(bytes[end + 2])) < 0)
                break;
            escapes = true;
            end += 3;
            continue;
        }
        break;
    }
    if (end == 0)
        return 0;
    if (!reserveLine(std::size_t(end)))
        return 0;
    const std::size_t at = m_lineBuf.size();
    if (!escapes) {
        m_lineBuf.insert(m_lineBuf.end(), bytes, bytes + end);
        return end;
    }
    m_lineBuf.resize(at + std::size_t(end));
    char* out = m_lineBuf.data() + at;
    for (int i = 0; i < end; ++i) {
        if (bytes[i] == '=') {
            *out++ = char(hexDigit(static_cast<unsigned char>(bytes[i + 1])) * 16
                          + hexDigit(static_cast<unsigned char>(bytes[i + 2])));
            i += 2;
        } else {
            *out++ = bytes[i];
        }
    }
    m_lineBuf.resize(std::size_t(out - m_lineBuf.data()));
    return end;
}

bool CARD_Parser::vcard_process_char(unsigned char c)
{
    switch (m_state) {
    case NameState:
        if (c == '\r')
            return true;
        if (c == '\n') {
            vcard_clear_line();
            return true;
        }
        if (c == ':')
            return vcard_end_prop();
        if (c == ';') {
            if (!vcard_add_char_to_line('\0'))
                return false;
            m_state = BeforeParamState;
            return true;
        }
        if (isWhitespace(c))
            return true;
        return vcard_add_char_to_line(char(c));

    case BeforeParamState:
        if (c == ':') {
            if (m_policy.colonBeforeParamEndsParams)
                return vcard_end_prop();
            vcard_clear_line();
            return false;
        }
        if (isWhitespace(c))
            return true;
        card_add_param();
        if (!vcard_add_char_to_line(char(c)))
            return false;
        m_state = ParamNameState;
        return true;

    case ParamNameState:
        if (c == ';') {
            if (!vcard_add_char_to_line('\0'))
                return false;
            m_state = BeforeParamState;
            return true;
        }
        if (c == '=') {
            if (!vcard_add_char_to_line('\0'))
                return false;
            m_state = BeforeParamValueState;
            return true;
        }
        if (c == ':')
            return vcard_end_prop();
        if (c == ',' && m_policy.commaSeparatesParams) {
            if (!vcard_add_char_to_line('\0'))
                return false;
            card_add_param();
            return true;
        }
        if (isWhitespace(c))
            return true;
        return vcard_add_char_to_line(char(c));

    case BeforeParamValueState:
        if (c == ':' || c == ';') {
            if (!m_policy.emptyParamValueDropsParam) {
                vcard_clear_line();
                return false;
            }
            if (!m_params.empty())
                m_params.pop_back();
            if (c == ':')
                return vcard_end_prop();
            m_state = BeforeParamState;
            return true;
        }
        if (isWhitespace(c))
            return true;
        card_set_paramvalue();
        if (!vcard_add_char_to_line(char(c)))
            return false;
        m_state = ParamValueState;
        return true;

    case ParamValueState:
        if (c == ':') {
            if (m_valueEscape && m_policy.escapedColonIsLiteral) {
                m_valueEscape = false;
                return vcard_add_char_to_line(':');
            }
            return vcard_end_prop();
        }
        if (c == ';') {
            if (m_valueEscape) {
                m_valueEscape = false;
                return vcard_add_char_to_line(';');
            }
            if (!vcard_add_char_to_line('\0'))
                return false;
            m_state = BeforeParamState;
            return true;
        }
        if (isWhitespace(c))
            return true;
        if (c == '\\') {
            if (!m_valueEscape) {
                m_valueEscape = true;
                return true;
            }
            m_valueEscape = false;
            return vcard_add_char_to_line('\\');
        }
        return vcard_add_char_to_line(char(c));

    case ValueState:
        if (c == '\n')
            return endValue();
        if (c == '\r')
            return true;
        if (m_startOfData && isWhitespace(c))
            return true;
        m_startOfData = false;
        if (!m_dataHandler)
            return true;
        return decodeValueByte(c);
    }
    return true;
}

bool CARD_Parser::decodeValueByte(unsigned char c)
{
    if (m_encoding == QuotedPrintable) {
        if (!m_decoding) {
            if (c == '=') {
                m_decoding = true;
                m_dbLen = 0;
                return true;
            }
            return vcard_add_char_to_line(char(c));
        }
        if (m_dbLen == 2) {
            // The pair waited for its "=": no line end came, so it stands.
            if (!decodeQuotedPair())
                return false;
            return decodeValueByte(c);
        }
        m_decodeBuf[m_dbLen++] = c;
        if (m_dbLen < 2)
            return true;
        // A second "=" may be a soft line break: the pair waits for the next byte.
        if (c == '=' && m_policy.qpSoftBreakJoinsLines)
            return true;
        return decodeQuotedPair();
    }
    if (m_encoding == Base64 && !m_policy.base64Raw) {
        if (isWhitespace(c))
            return true;
        if (m_dbLen >= 4)
            return decodeBase64Quantum();       // a refused quantum stays refused
        m_decodeBuf[m_dbLen++] = c;
        if (m_dbLen < 4)
            return true;
        return decodeBase64Quantum();
    }
    return vcard_add_char_to_line(char(c));
}

bool CARD_Parser::decodeQuotedPair()
{
    // Two characters read as a hexadecimal number: a leading blank is skipped,
    // reading stops at the first character that is no hex digit.
    int i = 0;
    if (isWhitespace(m_decodeBuf[0]))
        i = 1;
    unsigned value = 0;
    for (; i < 2; ++i) {
        const int digit = hexDigit(m_decodeBuf[i]);
        if (digit < 0)
            break;
        value = value * 16 + unsigned(digit);
    }
    m_decoding = false;
    m_dbLen = 0;
    return vcard_add_char_to_line(char(value & 0xFF));
}

bool CARD_Parser::takeSoftBreak()
{
    // The value's last byte was an "=" that opened an escape, or one that
    // stands where an escape's first or second digit belongs: that "=" goes,
    // the escape it interrupted stays open.
    if (m_state != ValueState || m_encoding != QuotedPrintable || !m_decoding)
        return false;
    if (m_dbLen == 0)
        m_decoding = false;
    else if (m_decodeBuf[m_dbLen - 1] == '=')
        --m_dbLen;
    else
        return false;
    return true;
}

bool CARD_Parser::decodeBase64Quantum()
{
    const int a = Base64ToOrd(m_decodeBuf[0]);
    const int b = Base64ToOrd(m_decodeBuf[1]);
    if (a < 0 || b < 0)
        return false;
    const int c = Base64ToOrd(m_decodeBuf[2]);
    const int d = Base64ToOrd(m_decodeBuf[3]);
    if (m_decodeBuf[2] != '=' && c < 0)
        return false;
    if (m_decodeBuf[2] != '=' && m_decodeBuf[3] != '=' && d < 0)
        return false;
    // Check before appending, so a refused quantum leaves the value untouched.
    if (!vcard_add_char_to_line(char((a << 2) | (b >> 4))))
        return false;
    if (m_decodeBuf[2] != '=') {
        if (!vcard_add_char_to_line(char(((b << 4) & 0xFF) | (c >> 2))))
            return false;
        if (m_decodeBuf[3] != '=') {
            if (!vcard_add_char_to_line(char(((c << 6) & 0xFF) | d)))
                return false;
        }
    }
    m_dbLen = 0;
    return true;
}

bool CARD_Parser::vcard_end_prop()
{
    if (m_propHandler) {
        if (!vcard_add_char_to_line('\0'))
            return false;
        const char* base = m_lineBuf.data();
        m_paramList.clear();
        for (const auto& [nameAt, valueAt] : m_params) {
            const char* name = base + nameAt;
            const char* value = valueAt >= 0 ? base + valueAt : nullptr;
            m_paramList.push_back(name);
            m_paramList.push_back(value);
            const char* tested = std::strcmp(name, "ENCODING") == 0 ? value : name;
            if (tested) {
                if (std::strcmp(tested, "QUOTED-PRINTABLE") == 0)
                    m_encoding = QuotedPrintable;
                else if (std::strcmp(tested, "BASE64") == 0)
                    m_encoding = Base64;
                else if (std::strcmp(tested, "8BIT") == 0)
                    m_encoding = EightBit;
            }
        }
        m_paramList.push_back(nullptr);
        m_paramList.push_back(nullptr);
        m_propHandler(m_userData, base, m_paramList.data());
    }
    m_lineBuf.clear();
    m_state = ValueState;
    return true;
}

bool CARD_Parser::endValue()
{
    if (!m_dataHandler) {
        vcard_clear_line();
        return true;
    }
    if (m_encoding == QuotedPrintable && m_decoding && m_dbLen == 2)
        decodeQuotedPair(); // a pair that waited for a line end
    if (m_encoding == Base64 && !m_policy.base64Raw && m_dbLen > 0) {
        // Pad an incomplete quantum: two or three pending characters give one or
        // two bytes. A single character (or a quantum that cannot be decoded)
        // cannot be completed and is dropped.
        if (m_dbLen >= 2 && m_dbLen < 4) {
            while (m_dbLen < 4)
                m_decodeBuf[m_dbLen++] = '=';
            decodeBase64Quantum();
        }
        m_dbLen = 0;
    }
    if (!m_lineBuf.empty())
        m_dataHandler(m_userData, m_lineBuf.data(), int(m_lineBuf.size()));
    m_dataHandler(m_userData, nullptr, 0);
    vcard_clear_line();
    return true;
}

void CARD_Parser::vcard_clear_line()
{
    m_state = NameState;
    m_lineBuf.clear();
    if (m_lineBuf.capacity() > kKeptLineCapacity)
        std::vector<char>().swap(m_lineBuf);
    m_startOfData = true;
    m_params.clear();
    m_valueEscape = false;
    m_encoding = NoEncoding;
    m_decoding = false;
    m_softBreak = false;
    m_dbLen = 0;
    std::memset(m_decodeBuf, 0, sizeof m_decodeBuf);
}

bool CARD_Parser::growLineAndAdd(char c)
{
    if (m_lineBuf.size() >= kMaxLineLength) {
        std::vector<char>().swap(m_lineBuf);
        return false;
    }
    // Doubling keeps a long value linear; the cap keeps the limit exact.
    const std::size_t grown = std::max(m_lineBuf.size() * 2, m_lineBuf.size() + kLineGrowth);
    try {
        m_lineBuf.reserve(std::min(grown, kMaxLineLength));
    } catch (const std::bad_alloc&) {
        std::vector<char>().swap(m_lineBuf);
        return false;
    }
    m_lineBuf.push_back(c);
    return true;
}

void CARD_Parser::card_add_param()
{
    m_params.emplace_back(int(m_lineBuf.size()), -1);
}

void CARD_Parser::card_set_paramvalue()
{
    if (!m_params.empty())
        m_params.back().second = int(m_lineBuf.size());
}

const char* CARD_ParserVersion()
{
    return "1.0";
}

CARD_Parser* CARD_ParserCreate()
{
    return new (std::nothrow) CARD_Parser();
}

void CARD_ParserFree(CARD_Parser* parser)
{
    delete parser;
}

void CARD_SetUserData(CARD_Parser* parser, void* userData)
{
    if (parser)
        parser->setUserData(userData);
}

void* CARD_GetUserData(CARD_Parser* parser)
{
    return parser ? parser->userData() : nullptr;
}

void CARD_SetPropHandler(CARD_Parser* parser, CARD_PropHandler handler)
{
    if (parser)
        parser->setPropHandler(handler);
}

void CARD_SetDataHandler(CARD_Parser* parser, CARD_DataHandler handler)
{
    if (parser)
        parser->setDataHandler(handler);
}

int CARD_Parse(CARD_Parser* parser, const char* bytes, int count, int isFinal)
{
    return parser ? parser->parse(bytes, count, isFinal != 0) : 0;
}
