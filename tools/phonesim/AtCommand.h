#pragma once

#include <QByteArray>
#include <QList>

namespace phonesim {

// One command of an AT command line: "AT+CGMI;+CBC" holds "+CGMI" and "+CBC",
// "ATE0V1" holds "E" with "0" and "V" with "1".
struct AtCommand {
    QByteArray name;   // upper case: "+CGMI", "E", "&F", "D"
    QByteArray args;   // what follows the name: "", "0", "?", "=?", "=1,2", "0123456;"

    bool isTest() const { return args == "=?"; }
    bool isQuery() const { return args == "?"; }

    // Splits the text after "AT" into its commands. Extended commands (+, *,
    // $, %, ^ and a name) run to the next ';' outside quotes; basic commands
    // are one letter (two after '&') and their digits; D takes the rest.
    static QList<AtCommand> parseLine(const QByteArray& afterAT);
};

} // namespace phonesim
