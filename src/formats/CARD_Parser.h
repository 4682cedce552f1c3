#pragma once

#include <QByteArray>

#include <cstddef>
#include <utility>
#include <vector>

// Byte-level tokenizer of vCard and vCalendar text, driven as a push parser:
// create a parser, set the user data and the two handlers, feed the text in one
// or more pieces, free the parser. For each content line the property handler
// receives the name and the parameters; the data handler then receives the
// value (decoded from quoted-printable or base64 when the parameters ask for
// it) in one call, followed by an end mark (null pointer, count 0).
//
// The character machine is shared by every reader of the program: the readers
// differ from the plain tokenizer in a few listed rules, each one a switch of
// CARD_ParserPolicy. The default policy is the plain tokenizer.

// Property handler: name (zero-terminated, whitespace removed) and a flat list
// of parameter strings: name 1, value 1, name 2, value 2 ... ended by two null
// pointers; a parameter written without "=" has a null value. The strings are
// valid only during the call.
typedef void (*CARD_PropHandler)(void* userData, const char* propName, const char** params);

// Data handler: the value's bytes and their count; after the value it is called
// once more with a null pointer and 0. The bytes are valid only during the call.
typedef void (*CARD_DataHandler)(void* userData, const char* data, int len);

struct CARD_ParserPolicy {
    // A folded line (line feed + one whitespace byte) reaches the machine as one
    // blank; when false the fold vanishes without a trace.
    bool foldFeedsBlank = true;
    // ":" right after ";" (no parameter name): false refuses the byte (the parse
    // fails), true ends the parameters there.
    bool colonBeforeParamEndsParams = false;
    // ":" or ";" right after "=" (an empty parameter value): false refuses the
    // byte, true drops the parameter that waited for its value and goes on.
    bool emptyParamValueDropsParam = false;
    // ":" after a backslash inside a parameter value: false ends the parameters
    // anyway, true keeps the ":" as a character.
    bool escapedColonIsLiteral = false;
    // "," inside a parameter name closes that parameter and opens the next one.
    bool commaSeparatesParams = false;
    // A quoted-printable "=" right before a line end is a soft line break, also
    // inside an escape ("=4=" CR LF "1" reads as "=41"): "=" and line end go
    // and the value goes on with the next line as it is written, a leading
    // blank kept; an empty line after the break ends the value. When false a
    // soft break is honoured only before a folded line.
    bool qpSoftBreakJoinsLines = false;
    // Base64 values are handed on as they are written (the caller decodes the
    // whole block itself) instead of being decoded quantum by quantum.
    bool base64Raw = false;
    // A NUL byte never reaches the machine (it would cut the zero-terminated
    // name and parameter strings).
    bool dropNul = false;
    // A CR not followed by LF ends the line as an LF would; CR LF stays one
    // line end.
    bool loneCREndsLine = false;
    // A plain value goes on when the second byte of the next line is a blank
    // or tab: the line's first byte joins the value and that blank is skipped.
    bool plainValueContinuesOnSecondBlank = false;
    // A base64 value is one block: at its first byte the hook gets the bytes
    // from there to the end of the piece and answers the block's length; the
    // block is handed on raw in one call and reading goes on after it.
    int (*base64BlockLength)(const char* bytes, int count) = nullptr;
};

// The value of each byte as a base64 digit, -1 for a byte that is none.
struct CARD_Base64Table {
    signed char values[256];
    constexpr CARD_Base64Table() : values()
    {
        for (int c = 0; c < 256; ++c)
            values[c] = -1;
        for (int c = 'A'; c <= 'Z'; ++c)
            values[c] = static_cast<signed char>(c - 'A');
        for (int c = 'a'; c <= 'z'; ++c)
            values[c] = static_cast<signed char>(c - 'a' + 26);
        for (int c = '0'; c <= '9'; ++c)
            values[c] = static_cast<signed char>(c - '0' + 52);
        values[int('+')] = 62;
        values[int('/')] = 63;
    }
};

class CARD_Parser {
public:
    static constexpr CARD_Base64Table kBase64Values{};

    enum State { NameState = 0, BeforeParamState, ParamNameState, BeforeParamValueState, ParamValueState, ValueState };
    enum Encoding { NoEncoding = 0, QuotedPrintable = 1, Base64 = 2, EightBit = 3 };

    // The longest property line the parser accepts; a longer one makes the
    // line buffer refuse to grow and the parse fail.
    static constexpr std::size_t kMaxLineLength = 64u * 1024u * 1024u;

    explicit CARD_Parser(const CARD_ParserPolicy& policy = CARD_ParserPolicy());

    void setUserData(void* userData) { m_userData = userData; }
    void* userData() const { return m_userData; }
    void setPropHandler(CARD_PropHandler handler) { m_propHandler = handler; }
    void setDataHandler(CARD_DataHandler handler) { m_dataHandler = handler; }

    // 1 when every byte was accepted, 0 at the first refused byte (the rest of
    // the piece is not read). With isFinal a line feed follows the last byte.
    int parse(const char* bytes, int count, bool isFinal);
    int parse(const QByteArray& bytes, bool isFinal) { return parse(bytes.constData(), int(bytes.size()), isFinal); }

    int state() const { return m_state; }
    // From a handler: the parse stops; parse() then returns 1 and position()
    // is the offset (in all bytes fed) of the last byte read: the line end
    // after a value that a line end completed.
    void stop() { m_stopped = true; }
    long long position() const { return m_position; }
    // Offset of the first byte of the line being read (during a value's end
    // mark: of the line that held the property).
    long long lineStart() const { return m_lineStart; }
    // From a handler: reading goes on at this offset of the piece being
    // parsed, which starts a line; an offset at or before the current byte is
    // ignored.
    void continueAt(long long offset) { m_continueAt = offset; }


    int encoding() const { return m_encoding; }

    // Value of a base64 digit, -1 for anything else ("=" included).
    static int Base64ToOrd(unsigned char c) { return kBase64Values.values[c]; }
    static bool isWhitespace(unsigned char c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }

private:
    bool vcard_process_char(unsigned char c);   // one byte through the machine
    bool vcard_end_prop();                      // end of name and parameters
    bool endValue();                            // line feed in the value state
    void vcard_clear_line();                    // line start
    bool vcard_add_char_to_line(char c)
    {
        if (m_lineBuf.size() == m_lineBuf.capacity())
            return growLineAndAdd(c);
        m_lineBuf.push_back(c);
        return true;
    }
    bool growLineAndAdd(char c);
    void card_add_param();                      // opens a parameter at the current length
    void card_set_paramvalue();                 // the last parameter's value starts here
    bool decodeValueByte(unsigned char c);
    int takeValueRun(const char* bytes, int count); // plain value bytes in one step; how many
    int takeWordRun(const char* bytes, int count);  // plain name or parameter bytes; how many
    bool reserveLine(std::size_t more);             // room for more bytes in the line
    bool decodeQuotedPair(); // the two pending characters as one byte
    bool takeSoftBreak();    // at a line end: drops a soft break's "="
    bool decodeBase64Quantum();
    int takeBase64Block(const char* bytes, int count);

    CARD_ParserPolicy m_policy;
    bool m_startOfLine = true;
    bool m_folding = false;
    bool m_softBreak = false;               // the line end just read was a soft break
    std::vector<char> m_lineBuf;            // capacity is the allocation, size is the used length
    int m_state = NameState;
    bool m_startOfData = true;
    std::vector<std::pair<int, int>> m_params;   // offsets of name and value (-1: none)
    std::vector<const char*> m_paramList;        // handed to the property handler, reused
    bool m_valueEscape = false;
    int m_encoding = NoEncoding;
    bool m_decoding = false;
    unsigned char m_decodeBuf[4] = {0, 0, 0, 0};
    int m_dbLen = 0;
    bool m_stopped = false;
    long long m_position = -1;
    long long m_lineStart = 0;
    long long m_continueAt = -1;
    long long m_lastLineEnd = -1;
    long long m_fed = 0;                    // bytes of the pieces before this one
    void* m_userData = nullptr;
    CARD_PropHandler m_propHandler = nullptr;
    CARD_DataHandler m_dataHandler = nullptr;
};

// The function interface of the tokenizer.
const char* CARD_ParserVersion();
CARD_Parser* CARD_ParserCreate();
void CARD_ParserFree(CARD_Parser* parser);
void CARD_SetUserData(CARD_Parser* parser, void* userData);
void* CARD_GetUserData(CARD_Parser* parser);
void CARD_SetPropHandler(CARD_Parser* parser, CARD_PropHandler handler);
void CARD_SetDataHandler(CARD_Parser* parser, CARD_DataHandler handler);
int CARD_Parse(CARD_Parser* parser, const char* bytes, int count, int isFinal);
