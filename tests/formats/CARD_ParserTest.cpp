#include "formats/CARD_Parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the handlers saw, one entry per property.
struct Property {
    std::string name;
    std::vector<std::pair<std::string, std::string>> params;   // "<null>" for a missing value
    std::string value;
    int dataCalls = 0;
    int endMarks = 0;
};

struct Recorder {
    std::vector<Property> props;
};

void onProp(void* userData, const char* name, const char** params)
{
    auto* recorder = static_cast<Recorder*>(userData);
    Property p;
    p.name = name;
    for (int i = 0; params[i] || params[i + 1]; i += 2)
        p.params.emplace_back(params[i] ? params[i] : "<null>", params[i + 1] ? params[i + 1] : "<null>");
    recorder->props.push_back(p);
}

void onData(void* userData, const char* data, int len)
{
    auto* recorder = static_cast<Recorder*>(userData);
    if (recorder->props.empty())
        return;
    Property& p = recorder->props.back();
    if (!data) {
        EXPECT_EQ(len, 0);
        ++p.endMarks;
        return;
    }
    ++p.dataCalls;
    p.value.append(data, std::size_t(len));
}

struct ParseRun {
    int result = 0;
    Recorder recorder;
};

ParseRun parse(const std::string& text, const CARD_ParserPolicy& policy = {})
{
    ParseRun run;
    CARD_Parser parser(policy);
    parser.setUserData(&run.recorder);
    parser.setPropHandler(onProp);
    parser.setDataHandler(onData);
    run.result = parser.parse(text.data(), int(text.size()), true);
    return run;
}

std::string valueOf(const std::string& text)
{
    const ParseRun run = parse(text);
    EXPECT_EQ(run.result, 1) << text;
    EXPECT_EQ(run.recorder.props.size(), 1u) << text;
    return run.recorder.props.empty() ? std::string("<none>") : run.recorder.props[0].value;
}

} // namespace

TEST(CARD_Parser, FunctionInterfaceDeliversOnePropertyWithoutLineEnd)
{
    EXPECT_STREQ(CARD_ParserVersion(), "1.0");
    CARD_Parser* parser = CARD_ParserCreate();
    ASSERT_NE(parser, nullptr);
    Recorder recorder;
    CARD_SetUserData(parser, &recorder);
    EXPECT_EQ(CARD_GetUserData(parser), &recorder);
    CARD_SetPropHandler(parser, onProp);
    CARD_SetDataHandler(parser, onData);
    const char text[] = "NOTE:abc";
    EXPECT_EQ(CARD_Parse(parser, text, 8, 1), 1);
    CARD_ParserFree(parser);
    ASSERT_EQ(recorder.props.size(), 1u);
    EXPECT_EQ(recorder.props[0].name, "NOTE");
    EXPECT_EQ(recorder.props[0].value, "abc");
    EXPECT_EQ(recorder.props[0].dataCalls, 1);
    EXPECT_EQ(recorder.props[0].endMarks, 1);
}

TEST(CARD_Parser, FoldingAndEmptyLines)
{
    EXPECT_EQ(valueOf("NOTE:abc\r\n def"), "abc def");
    EXPECT_EQ(valueOf("NOTE:abc\r\n\tdef"), "abc def");
    EXPECT_EQ(valueOf("NOTE:abc\r\n   def"), "abc   def");   // further blanks are kept
    // The CR after the line feed counts as the folding blank: the empty line
    // swallows the next property into this value.
    EXPECT_EQ(valueOf("NOTE:abc\r\n\r\nTEL:1"), "abc TEL:1");
    // Leading blanks of the value are skipped.
    EXPECT_EQ(valueOf("NOTE:   x y"), "x y");
}

TEST(CARD_Parser, PiecesCarryStateAcrossCalls)
{
    Recorder recorder;
    CARD_Parser parser;
    parser.setUserData(&recorder);
    parser.setPropHandler(onProp);
    parser.setDataHandler(onData);
    EXPECT_EQ(parser.parse(QByteArray("TEL;TY"), false), 1);
    EXPECT_EQ(parser.parse(QByteArray("PE=HOME:12\r"), false), 1);
    EXPECT_EQ(parser.parse(QByteArray("\n 3\r\nNOTE:x\r\n"), true), 1);
    ASSERT_EQ(recorder.props.size(), 2u);
    EXPECT_EQ(recorder.props[0].value, "12 3");
    EXPECT_EQ(recorder.props[0].params.size(), 1u);
    EXPECT_EQ(recorder.props[1].value, "x");
    EXPECT_EQ(recorder.props[1].endMarks, 1);
}

TEST(CARD_Parser, ParametersAndEscapes)
{
    struct Case {
        const char* text;
        std::vector<std::pair<std::string, std::string>> params;
    };
    const Case cases[] = {
        {"TEL;TYPE=HOME;VOICE:123", {{"TYPE", "HOME"}, {"VOICE", "<null>"}}},
        {"N;;CHARSET=UTF-8:x", {{";CHARSET", "UTF-8"}}},
        {"X;A=a\\;b:v", {{"A", "a;b"}}},
        {"X;A=a\\\\b:v", {{"A", "a\\b"}}},
        {"X;A=a\\nb;c:v", {{"A", "anb;c"}}},        // the escape still holds at ";"
        {"X;A=HOME WORK:v", {{"A", "HOMEWORK"}}},    // blanks inside parameters vanish
        {"X;A=\\x:v", {{"A", "\\x"}}},               // a leading backslash is literal
    };
    for (const Case& c : cases) {
        const ParseRun run = parse(c.text);
        EXPECT_EQ(run.result, 1) << c.text;
        ASSERT_EQ(run.recorder.props.size(), 1u) << c.text;
        EXPECT_EQ(run.recorder.props[0].params, c.params) << c.text;
    }
    const ParseRun named = parse("FN X:y");
    ASSERT_EQ(named.recorder.props.size(), 1u);
    EXPECT_EQ(named.recorder.props[0].name, "FNX");
}

TEST(CARD_Parser, EmptyParameterOrValueFailsTheParse)
{
    for (const char* text : {"X;:y", "X;A=:y", "X;A=;B:y"}) {
        const ParseRun run = parse(text);
        EXPECT_EQ(run.result, 0) << text;
        EXPECT_TRUE(run.recorder.props.empty()) << text;
    }
}

TEST(CARD_Parser, QuotedPrintable)
{
    EXPECT_EQ(valueOf("NOTE;ENCODING=QUOTED-PRINTABLE:a=3Db=0D=0Ac"), std::string("a=b\r\nc"));
    EXPECT_EQ(valueOf("NOTE;QUOTED-PRINTABLE:=41"), "A");
    EXPECT_EQ(valueOf("NOTE;QUOTED-PRINTABLE:=ZZ"), std::string(1, '\0'));
    EXPECT_EQ(valueOf("NOTE;QUOTED-PRINTABLE:=4z"), std::string(1, '\x04'));
    EXPECT_EQ(valueOf("NOTE;QUOTED-PRINTABLE:=6a"), "j");                   // lower-case digits
    // A soft break is honoured only before a folded line...
    EXPECT_EQ(valueOf("NOTE;QUOTED-PRINTABLE:ab=\r\n cd"), "ab cd");
    // ...before an unfolded line the value ends and the "=" is dropped.
    const ParseRun run = parse("NOTE;QUOTED-PRINTABLE:ab=\r\ncd:1");
    ASSERT_EQ(run.recorder.props.size(), 2u);
    EXPECT_EQ(run.recorder.props[0].value, "ab");
    EXPECT_EQ(run.recorder.props[1].name, "cd");
}

TEST(CARD_Parser, Base64)
{
    EXPECT_EQ(valueOf("PHOTO;ENCODING=BASE64:QUJD"), "ABC");
    EXPECT_EQ(valueOf("PHOTO;BASE64:QUJD\r\n QUJD"), "ABCABC");
    EXPECT_EQ(valueOf("PHOTO;ENCODING=BASE64:QUI"), "AB");                  // padded at the line end
    EXPECT_EQ(valueOf("PHOTO;ENCODING=BASE64:QQ"), "A");
    EXPECT_EQ(valueOf("PHOTO;ENCODING=BASE64:QQ=="), "A");
    EXPECT_EQ(valueOf("PHOTO;ENCODING=BASE64:QUI="), "AB");
    EXPECT_EQ(parse("PHOTO;ENCODING=BASE64:Q!JD").result, 0);
    // Lower-case encoding names are not recognised: the value passes as written.
    EXPECT_EQ(valueOf("PHOTO;encoding=base64:QUJD"), "QUJD");
}

TEST(CARD_Parser, IncompleteBase64QuantumNeverHangs)
{
    // One pending character cannot be completed, nor can a quantum whose first
    // characters are no base64 digits: the quantum is dropped, the bytes decoded
    // so far are still delivered, and the next property is read normally.
    for (const char* text : {"PHOTO;BASE64:QUJDQ\r\nNOTE:n", "PHOTO;BASE64:QUJD!!\r\nNOTE:n",
                             "PHOTO;BASE64:QUJD=\r\nNOTE:n"}) {
        const ParseRun run = parse(text);
        EXPECT_EQ(run.result, 1) << text;
        ASSERT_EQ(run.recorder.props.size(), 2u) << text;
        EXPECT_EQ(run.recorder.props[0].value, "ABC") << text;
        EXPECT_EQ(run.recorder.props[0].endMarks, 1) << text;
        EXPECT_EQ(run.recorder.props[1].value, "n") << text;
    }
}

TEST(CARD_Parser, RefusedQuantumStaysRefusedInLaterPieces)
{
    CARD_Parser parser;
    Recorder recorder;
    parser.setUserData(&recorder);
    parser.setPropHandler(onProp);
    parser.setDataHandler(onData);
    EXPECT_EQ(parser.parse(QByteArray("PHOTO;BASE64:Q!JD"), false), 0);
    // A caller that goes on anyway must not overrun the quantum.
    EXPECT_EQ(parser.parse(QByteArray("QUJD"), false), 0);
    EXPECT_EQ(parser.parse(QByteArray("\r\nNOTE:n"), true), 1);
    ASSERT_EQ(recorder.props.size(), 2u);
    EXPECT_EQ(recorder.props[1].value, "n");
}

TEST(CARD_Parser, LongValueInOneCallAndBufferReleased)
{
    const std::string big(5000, 'x');
    const ParseRun run = parse("NOTE:" + big + "\r\nTEL:1");
    ASSERT_EQ(run.recorder.props.size(), 2u);
    EXPECT_EQ(run.recorder.props[0].value, big);
    EXPECT_EQ(run.recorder.props[0].dataCalls, 1);
    EXPECT_EQ(run.recorder.props[1].value, "1");
}

TEST(CARD_Parser, EmptyValueGivesOnlyTheEndMark)
{
    const ParseRun run = parse("NOTE:\r\nTEL:1\r\n");
    ASSERT_EQ(run.recorder.props.size(), 2u);
    EXPECT_EQ(run.recorder.props[0].dataCalls, 0);
    EXPECT_EQ(run.recorder.props[0].endMarks, 1);
}

TEST(CARD_Parser, WithoutHandlersEverythingIsConsumed)
{
    CARD_Parser parser;
    EXPECT_EQ(parser.parse(QByteArray("BEGIN:VCARD\r\nPHOTO;BASE64:QUJD\r\nEND:VCARD\r\n"), true), 1);
    EXPECT_EQ(parser.state(), CARD_Parser::NameState);
}

TEST(CARD_Parser, ReaderPolicies)
{
    CARD_ParserPolicy reader;
    reader.foldFeedsBlank = false;
    reader.colonBeforeParamEndsParams = true;
    reader.emptyParamValueDropsParam = true;
    reader.escapedColonIsLiteral = true;
    reader.commaSeparatesParams = true;
    reader.qpSoftBreakJoinsLines = true;

    ParseRun run = parse("NOTE:abc\r\n def", reader);
    ASSERT_EQ(run.recorder.props.size(), 1u);
    EXPECT_EQ(run.recorder.props[0].value, "abcdef");

    run = parse("X;:y", reader);
    EXPECT_EQ(run.result, 1);
    ASSERT_EQ(run.recorder.props.size(), 1u);
    EXPECT_EQ(run.recorder.props[0].value, "y");

    run = parse("X;A=;B:y", reader);
    EXPECT_EQ(run.result, 1);
    ASSERT_EQ(run.recorder.props.size(), 1u);
    EXPECT_EQ(run.recorder.props[0].params, (std::vector<std::pair<std::string, std::string>>{{"B", "<null>"}}));

    run = parse("X;A=a\\:b:y", reader);
    ASSERT_EQ(run.recorder.props.size(), 1u);
    EXPECT_EQ(run.recorder.props[0].params[0].second, "a:b");
    EXPECT_EQ(run.recorder.props[0].value, "y");

    run = parse("TEL;HOME,FAX:1", reader);
    ASSERT_EQ(run.recorder.props.size(), 1u);
    EXPECT_EQ(run.recorder.props[0].params.size(), 2u);

    run = parse("NOTE;QUOTED-PRINTABLE:ab=\r\ncd", reader);
    ASSERT_EQ(run.recorder.props.size(), 1u);
    EXPECT_EQ(run.recorder.props[0].value, "abcd");

    CARD_ParserPolicy raw;
    raw.base64Raw = true;
    run = parse("PHOTO;BASE64:QU JD", raw);
    ASSERT_EQ(run.recorder.props.size(), 1u);
    EXPECT_EQ(run.recorder.props[0].value, "QU JD");
}

namespace {

// The properties of a run as "name;param=value" joined by "|" (a parameter
// without value as ";param"); a NUL in a value shows as "\0".
std::string summary(const ParseRun& run)
{
    std::string out;
    for (const Property& p : run.recorder.props) {
        if (!out.empty())
            out += '|';
        out += p.name;
        for (const auto& [name, value] : p.params)
            out += ';' + name + (value == "<null>" ? std::string() : '=' + value);
        out += '=';
        for (const char c : p.value)
            out += c == '\0' ? std::string("\\0") : std::string(1, c);
    }
    return out;
}

// A base64 block of a test: up to and including the first ".", or all bytes.
int blockToDot(const char* bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        if (bytes[i] == '.')
            return i + 1;
    }
    return count;
}

int blockOfNothing(const char*, int)
{
    return 0;
}

int blockBeyondThePiece(const char*, int count)
{
    return count + 10;
}

} // namespace

// Soft line breaks as the readers take them: "=" and the line end go before
// the value is decoded, wherever the "=" stands, and the next line is value
// as written. Each text is also read in two pieces split at every byte.
TEST(CARD_Parser, QuotedPrintableSoftBreaksOfTheReaders)
{
    CARD_ParserPolicy reader;
    reader.foldFeedsBlank = false;
    reader.qpSoftBreakJoinsLines = true;
    reader.loneCREndsLine = true;
    reader.plainValueContinuesOnSecondBlank = true;
    struct Case {
        const char* what;
        std::string text;
        const char* properties;
    };
    const Case cases[] = {
        {"plain line after the break", "N;QUOTED-PRINTABLE:Doe;Jo=\r\nhn\r\nTEL:1",
         "N;QUOTED-PRINTABLE=Doe;John|TEL=1"},
        {"empty line after the break", "N;QUOTED-PRINTABLE:Doe;John=\r\n\r\nTEL;CELL:123\r\n",
         "N;QUOTED-PRINTABLE=Doe;John|TEL;CELL=123"},
        {"empty line, LF only", "N;QUOTED-PRINTABLE:Doe;John=\n\nTEL:1", "N;QUOTED-PRINTABLE=Doe;John|TEL=1"},
        {"empty line, CR only", "N;QUOTED-PRINTABLE:Doe;John=\r\rTEL:1", "N;QUOTED-PRINTABLE=Doe;John|TEL=1"},
        {"blank after the break kept", "ADR;QUOTED-PRINTABLE:;;a=\r\n 3-5;b\r\nTEL:1",
         "ADR;QUOTED-PRINTABLE=;;a 3-5;b|TEL=1"},
        {"tab after the break kept", "NOTE;QUOTED-PRINTABLE:a=\r\n\tb", "NOTE;QUOTED-PRINTABLE=a\tb"},
        {"break inside an escape", "NOTE;QUOTED-PRINTABLE:x==\r\n41y", "NOTE;QUOTED-PRINTABLE=xAy"},
        {"break between the digits", "NOTE;QUOTED-PRINTABLE:x=4=\r\n1y", "NOTE;QUOTED-PRINTABLE=xAy"},
        {"break before an escape", "NOTE;QUOTED-PRINTABLE:x=\r\n=41", "NOTE;QUOTED-PRINTABLE=xA"},
        {"two breaks in a row", "NOTE;QUOTED-PRINTABLE:a=\r\n=\r\nb", "NOTE;QUOTED-PRINTABLE=ab"},
        {"\"=\" after a digit stays as before", "NOTE;QUOTED-PRINTABLE:=4=41",
         "NOTE;QUOTED-PRINTABLE=\x04"
         "41"},
        {"break at the end of the text", "NOTE;QUOTED-PRINTABLE:ab=\r\n", "NOTE;QUOTED-PRINTABLE=ab"},
        {"\"=\" as the last byte", "NOTE;QUOTED-PRINTABLE:ab=", "NOTE;QUOTED-PRINTABLE=ab"},
        {"no break outside quoted-printable", "NOTE:ab=\r\ncd:1", "NOTE=ab=|cd=1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(summary(parse(c.text, reader)), c.properties) << c.what;
        for (std::size_t split = 1; split < c.text.size(); ++split) {
            if (c.text[split - 1] == '\r' && c.text[split] == '\n')
                continue; // a CR ending a piece is a line end of its own
            Recorder recorder;
            CARD_Parser parser(reader);
            parser.setUserData(&recorder);
            parser.setPropHandler(onProp);
            parser.setDataHandler(onData);
            parser.parse(c.text.data(), int(split), false);
            parser.parse(c.text.data() + split, int(c.text.size() - split), true);
            ParseRun run;
            run.recorder = recorder;
            EXPECT_EQ(summary(run), c.properties) << c.what << " split at " << split;
        }
    }
}

TEST(CARD_Parser, ReaderPolicyFlagsOneByOne)
{
    using Set = void (*)(CARD_ParserPolicy&);
    struct Case {
        const char* what;
        std::string text;
        Set set;
        const char* withFlag;
        const char* without;
    };
    const Set dropNul = [](CARD_ParserPolicy& p) { p.dropNul = true; };
    const Set loneCR = [](CARD_ParserPolicy& p) { p.loneCREndsLine = true; };
    const Set secondBlank = [](CARD_ParserPolicy& p) { p.plainValueContinuesOnSecondBlank = true; };
    const Set toDot = [](CARD_ParserPolicy& p) { p.base64BlockLength = blockToDot; };
    const Set nothing = [](CARD_ParserPolicy& p) { p.base64BlockLength = blockOfNothing; };
    const Set beyond = [](CARD_ParserPolicy& p) { p.base64BlockLength = blockBeyondThePiece; };
    using namespace std::string_literals;
    const Case cases[] = {
        // A NUL would cut the name and parameter strings; in a value it is data.
        {"NUL in the name", "NO\0TE:abc"s, dropNul, "NOTE=abc", "NO=abc"},
        {"NUL in the value", "NOTE:a\0bc"s, dropNul, "NOTE=abc", "NOTE=a\\0bc"},
        {"NUL in a parameter", "X;A\0B=c:v\r\nN:1"s, dropNul, "X;AB=c=v|N=1", "X;A=c=v|N=1"},
        // A lone CR ends the line; CR LF stays one line end.
        {"lone CR", "NOTE:a\rTEL:1", loneCR, "NOTE=a|TEL=1", "NOTE=aTEL:1"},
        {"CR LF", "NOTE:a\r\nTEL:1", loneCR, "NOTE=a|TEL=1", "NOTE=a|TEL=1"},
        {"CR then CR LF", "NOTE:a\r\r\nTEL:1", loneCR, "NOTE=a|TEL=1", "NOTE=a|TEL=1"},
        {"lone CR before a fold", "NOTE:a\r b", loneCR, "NOTE=a b", "NOTE=a b"},
        {"last byte a CR", "NOTE:a\r", loneCR, "NOTE=a", "NOTE=a"},
        // A plain value goes on when the next line's second byte is a blank.
        {"second byte blank", "NOTE:abc\nd ef", secondBlank, "NOTE=abcdef", "NOTE=abc"},
        {"second byte tab", "NOTE:abc\nd\tef", secondBlank, "NOTE=abcdef", "NOTE=abc"},
        {"second byte no blank", "NOTE:abc\ndef:1", secondBlank, "NOTE=abc|def=1", "NOTE=abc|def=1"},
        {"quoted-printable value", "NOTE;QUOTED-PRINTABLE:abc\nd ef:1", secondBlank, "NOTE;QUOTED-PRINTABLE=abc|def=1",
         "NOTE;QUOTED-PRINTABLE=abc|def=1"},
        {"a fold comes first", "NOTE:abc\n d ef", secondBlank, "NOTE=abc d ef", "NOTE=abc d ef"},
        // A base64 value is one raw block as long as the hook says.
        {"block on the line", "PHOTO;BASE64:QU\nJD.TEL:1", toDot, "PHOTO;BASE64=QU\nJD.|TEL=1",
         "PHOTO;BASE64=A|JD.TEL=1"},
        {"block on the next line", "PHOTO;BASE64:\nQUJD.TEL:1", toDot, "PHOTO;BASE64=QUJD.|TEL=1",
         "PHOTO;BASE64=|QUJD.TEL=1"},
        {"blanks before the block", "PHOTO;BASE64:  QUJD.N:1", toDot, "PHOTO;BASE64=QUJD.|N=1", "PHOTO;BASE64="},
        {"plain value untouched", "NOTE:a.b\nN:1", toDot, "NOTE=a.b|N=1", "NOTE=a.b|N=1"},
        {"an answer of 0 takes one byte", "PHOTO;BASE64:QUJD", nothing, "PHOTO;BASE64=Q", "PHOTO;BASE64=ABC"},
        {"an answer beyond the piece", "PHOTO;BASE64:QUJD\nN:1", beyond, "PHOTO;BASE64=QUJD\nN:1",
         "PHOTO;BASE64=ABC|N=1"},
    };
    for (const Case& c : cases) {
        CARD_ParserPolicy policy;
        c.set(policy);
        const ParseRun with = parse(c.text, policy);
        EXPECT_EQ(with.result, 1) << c.what;
        EXPECT_EQ(summary(with), c.withFlag) << c.what;
        const ParseRun without = parse(c.text);
        EXPECT_EQ(summary(without), c.without) << c.what;
    }
}

namespace {

// Handlers that steer the parser: the end mark of the property named stopAt
// stops it; the one of continueFrom sends it on to continueTo. Every end mark
// records the name with lineStart().
struct Steering {
    CARD_Parser* parser = nullptr;
    std::string stopAt;
    std::string continueFrom;
    long long continueTo = -1;
    std::string name;
    std::vector<std::pair<std::string, long long>> ends;
};

void steerProp(void* userData, const char* name, const char**)
{
    static_cast<Steering*>(userData)->name = name;
}

void steerData(void* userData, const char* data, int)
{
    auto* s = static_cast<Steering*>(userData);
    if (data)
        return;
    s->ends.emplace_back(s->name, s->parser->lineStart());
    if (s->name == s->stopAt)
        s->parser->stop();
    if (s->name == s->continueFrom)
        s->parser->continueAt(s->continueTo);
}

struct SteeredRun {
    int result = 0;
    long long position = -1;
    std::vector<std::pair<std::string, long long>> ends;
};

SteeredRun steer(const std::vector<std::string>& pieces, Steering steering, const CARD_ParserPolicy& policy = {})
{
    CARD_Parser parser(policy);
    steering.parser = &parser;
    parser.setUserData(&steering);
    parser.setPropHandler(steerProp);
    parser.setDataHandler(steerData);
    SteeredRun run;
    run.result = 1;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string& piece = pieces[i];
        if (!parser.parse(piece.data(), int(piece.size()), i + 1 == pieces.size()))
            run.result = 0;
    }
    run.position = parser.position();
    run.ends = steering.ends;
    return run;
}

} // namespace

TEST(CARD_Parser, HandlersStopTheParseAndLearnWhereItStopped)
{
    using Ends = std::vector<std::pair<std::string, long long>>;
    const std::string text = "BEGIN:X\r\nA:1\r\n folded\r\nEND:X\r\nB:2\r\n";
    Steering atEnd;
    atEnd.stopAt = "END";
    // The stop comes at the end mark of END, which the next line's first byte
    // completes; the position is the LF that ended END's line; B is not read.
    SteeredRun run = steer({text}, atEnd);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.position, static_cast<long long>(text.find("END:X\r\n") + 6));
    EXPECT_EQ(run.ends, (Ends{{"BEGIN", 0}, {"A", 9}, {"END", 23}}));

    // In pieces the position counts every byte fed, and nothing is read after
    // the stop.
    run = steer({text.substr(0, 20), text.substr(20, 11), text.substr(31)}, atEnd);
    EXPECT_EQ(run.position, static_cast<long long>(text.find("END:X\r\n") + 6));
    EXPECT_EQ(run.ends.size(), 3u);

    // END as the last line, with and without its line end: the last byte read.
    EXPECT_EQ(steer({"BEGIN:X\r\nEND:X"}, atEnd).position, 13);
    EXPECT_EQ(steer({"BEGIN:X\r\nEND:X\r\n"}, atEnd).position, 15);
    // A lone CR ending the line is that line end.
    CARD_ParserPolicy loneCR;
    loneCR.loneCREndsLine = true;
    EXPECT_EQ(steer({"BEGIN:X\rEND:X\rB:2"}, atEnd, loneCR).position, 13);

    // Without a stop the position stays unknown.
    EXPECT_EQ(steer({text}, Steering()).position, -1);
}

TEST(CARD_Parser, HandlersSendTheParseOnToALaterLine)
{
    using Ends = std::vector<std::pair<std::string, long long>>;
    const std::string text = "A:1\r\nB:2\r\nC:3\r\nD:4";
    Steering skip;
    skip.continueFrom = "A";
    skip.continueTo = static_cast<long long>(text.find("D:4"));
    EXPECT_EQ(steer({text}, skip).ends, (Ends{{"A", 0}, {"D", 15}}));

    // An offset at or before the byte being read is ignored.
    for (const long long back : {0LL, 5LL}) {
        skip.continueTo = back;
        EXPECT_EQ(steer({text}, skip).ends, (Ends{{"A", 0}, {"B", 5}, {"C", 10}, {"D", 15}})) << back;
    }

    // An offset past the piece ends it; the next piece is read from its start.
    skip.continueTo = 1000;
    EXPECT_EQ(steer({text, "E:5"}, skip).ends, (Ends{{"A", 0}, {"E", 18}}));
}
