#include "AtCommand.h"

#include <gtest/gtest.h>

using phonesim::AtCommand;

namespace {
QList<QByteArray> render(const QByteArray& afterAT)
{
    QList<QByteArray> out;
    for (const AtCommand& cmd : AtCommand::parseLine(afterAT))
        out.append(cmd.name + "|" + cmd.args);
    return out;
}
} // namespace

TEST(AtCommandTest, SplitsCommandLines)
{
    const struct {
        QByteArray line;
        QList<QByteArray> commands;
    } cases[] = {
        {"", {}},
        {"+CGMI", {"+CGMI|"}},
        {"+cgsn", {"+CGSN|"}},
        {"V1E1X1", {"V|1", "E|1", "X|1"}},
        {"E0+CMEE=1", {"E|0", "+CMEE|=1"}},
        {"+CGMI;+CBC=?", {"+CGMI|", "+CBC|=?"}},
        {"+CPBR=1,\"a;b\";+CPAS", {"+CPBR|=1,\"a;b\"", "+CPAS|"}},
        {"S0=2&F", {"S|0=2", "&F|"}},
        {"D0123456;", {"D|0123456;"}},
        {"E1D 555;", {"E|1", "D|555;"}},
        {"I", {"I|"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(render(c.line), c.commands) << c.line.toStdString();
}
