#pragma once

#include <QVariant>

// A value of a type given by its type code, as a QVariant:
//   "c" "C" "s" "S" "i" "I" "l" "L" "q" "Q" "f" "d"  the number of that type
//   "@"   value points to a QVariant, which is answered
//   "^" "*"  value points to a pointer: invalid when it is null, else the pointer
//   "[" "{"  arrays and structures: the address of the value (void*)
// Any other code logs "converting unknown format %s" and answers the address.
// A null value pointer answers an invalid QVariant.
QVariant numberWithValue(const void* value, const char* objCType);
