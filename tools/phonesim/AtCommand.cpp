#include "AtCommand.h"

#include <cctype>

namespace phonesim {

namespace {
bool isExtendedPrefix(char c)
{
    return c == '+' || c == '*' || c == '$' || c == '%' || c == '^';
}
} // namespace

QList<AtCommand> AtCommand::parseLine(const QByteArray& afterAT)
{
    QList<AtCommand> commands;
    qsizetype i = 0;
    const qsizetype n = afterAT.size();
    while (i < n) {
        const char c = afterAT[i];
        if (c == ' ' || c == ';') {
            ++i;
            continue;
        }
        AtCommand cmd;
        if (isExtendedPrefix(c)) {
            qsizetype end = i + 1;
            while (end < n && (std::isalnum(uchar(afterAT[end])) || afterAT[end] == '_'))
                ++end;
            cmd.name = afterAT.mid(i, end - i).toUpper();
            bool quoted = false;
            qsizetype argEnd = end;
            while (argEnd < n && (quoted || afterAT[argEnd] != ';')) {
                if (afterAT[argEnd] == '"')
                    quoted = !quoted;
                ++argEnd;
            }
            cmd.args = afterAT.mid(end, argEnd - end);
            i = argEnd;
        } else if (std::toupper(uchar(c)) == 'D') {
            cmd.name = "D";
            cmd.args = afterAT.mid(i + 1).trimmed();
            i = n;
        } else {
            const qsizetype nameLength = (c == '&' && i + 1 < n) ? 2 : 1;
            cmd.name = afterAT.mid(i, nameLength).toUpper();
            qsizetype end = i + nameLength;
            // "E1", "S7?", "S0=2", "I"
            while (end < n && std::isdigit(uchar(afterAT[end])))
                ++end;
            if (end < n && (afterAT[end] == '?' || afterAT[end] == '='))
                ++end;
            while (end < n && std::isdigit(uchar(afterAT[end])))
                ++end;
            cmd.args = afterAT.mid(i + nameLength, end - i - nameLength);
            i = end;
        }
        commands.append(cmd);
    }
    return commands;
}

} // namespace phonesim
