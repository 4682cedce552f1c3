#pragma once

#include <QByteArray>

// The pass phrase of the shipped device database. It is assembled at run time
// from a few constant pieces and a number, so it does not appear as one text
// in the binary. The build tool that encrypts the database uses the same
// function, so the file and the program always agree.
QByteArray deviceDBPassPhrase();
