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
