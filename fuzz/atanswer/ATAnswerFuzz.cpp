// Fuzz target for the AT answer helpers of the identification. Besides "no
// crash, no hang", it checks their promises:
//  - an extracted answer is "ERROR" or neither starts nor ends with a line end;
//  - the end of an answer reads the same on its bytes and on its text, and a
//    line end more behind an ended answer changes neither its end nor the
//    extracted answer (a reader that gets the rest later reads the same);
//  - compaction leaves no NUL and no two line ends in a row, and answers the
//    new length;
//  - a version string is at most 11 characters and never empty.
#include "links/ATAnswerText.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void failCheck(const char* what, const QByteArray& detail)
{
    std::fprintf(stderr, "AT answer fuzzer: %s\n%s\n", what, detail.toHex().constData());
    std::abort();
}

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = QString::fromLatin1(bytes);

    const QString answer = links::extractATAnswer(text);
    if (answer != QLatin1String("ERROR") && !answer.isEmpty()
        && (isLineEnd(answer.front()) || isLineEnd(answer.back())))
        failCheck("answer keeps a line end", bytes);
    const links::ATAnswerEnd end = links::findATAnswerEnd(QByteArrayView(bytes));
    const links::ATAnswerEnd onText = links::findATAnswerEnd(text);
    if (end.line != onText.line || end.lineStart != onText.lineStart)
        failCheck("answer end differs on bytes and text", bytes);
    if (end.line != links::ATFinalLine::None) {
        const QString longer = text + QLatin1String("\r\n");
        const links::ATAnswerEnd later = links::findATAnswerEnd(longer);
        if (later.line != end.line || later.lineStart != end.lineStart || links::extractATAnswer(longer) != answer)
            failCheck("a line end more changes the answer", bytes);
    }
    links::nonErrorString(text);
    links::versStringToLong(text);

    QByteArray compacted = bytes;
    const qsizetype length = links::stripAndCompactBuffer(compacted);
    if (length != compacted.size() || compacted.contains('\0') || compacted.contains('\r')
        || compacted.contains("\n\n"))
        failCheck("compaction", bytes);

    QByteArray versionText = bytes;
    const QString version = links::makeVersionString(versionText);
    if (!version.isNull() && (version.isEmpty() || version.size() > 11))
        failCheck("version string", bytes);
    return 0;
}
