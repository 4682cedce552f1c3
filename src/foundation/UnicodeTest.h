#pragma once

#include <QString>

// The GSM 03.38 alphabets. The default table has U+00A0 at the escape
// position 27; the extension table holds form feed, ^ { } \ [ ~ ] | and the
// euro sign at their positions and "?" elsewhere.

// Position 0-127 of the unit in the default table (the last match); 63 ("?")
// when it is not there.
int getUnicodePos(char16_t unit);
// The same in the extension table; 63 for "?" itself and when not there.
int getUnicodeGlyph(char16_t unit);
// True when some character other than "?" is in neither table.
bool hasNonGsmCharacters(const QString& text);
