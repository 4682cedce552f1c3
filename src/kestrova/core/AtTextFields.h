#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Fields of a phone's reply lines and texts for quoted command arguments.
namespace kestrova::core::atfields {

// Splits a reply line at each separator that lies outside double quotes, so
// that a quoted text holding the separator stays one field. An unmatched
// quote runs to the end of the line.
QStringList splitOutsideQuotes(QStringView line, QChar separator = QLatin1Char(','));

// Whether a text can stand between the double quotes of a command argument:
// it holds no double quote, backslash, CR, LF or Ctrl-Z.
bool isSafeInQuotes(QStringView text);

// A text made safe for a quoted argument: double quotes become apostrophes
// and backslashes "/" (as Constants::replaceSpecialChars does), CR, LF and
// Ctrl-Z become blanks. An empty text stays empty.
QString quotedArgumentText(const QString& text);

// Blanks for any character left that would end a quoted argument or the
// command line (after a coding that may have made one).
QString blankUnsafeCharacters(const QString& text);

} // namespace kestrova::core::atfields
