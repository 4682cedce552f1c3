#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

struct CARD_ParserPolicy;

namespace desktopstore {

// One content line of a vCard as the tokenizer hands it over.
struct ContentLine {
    QString group;                              // "item1" of "item1.TEL", else empty
    QString name;                               // upper case
    QList<QPair<QString, QString>> parameters;  // names upper case; a bare word has a null value
    QByteArray value;                           // as written (quoted-printable decoded)

    // The value as one unescaped text.
    QString text() const;
    // The value split at unescaped separators (";" of N and ADR, "," of
    // CATEGORIES), each part unescaped.
    QStringList components(QChar separator = QLatin1Char(';')) const;
    // The values of a parameter (a bare word counts as a TYPE value), upper
    // case with splitCommas; a quoted value is one value.
    QStringList parameterValues(const QString& name, bool upperCase) const;
    // The bytes of a base64 value (ENCODING=b or a data: URI).
    QByteArray binaryValue() const;
};

// The content lines of text; none (with *error) when the tokenizer refuses it.
std::optional<QList<ContentLine>> parseContentLines(const QByteArray& text, const CARD_ParserPolicy& policy,
                                                    QString* error);

// Backslash escapes of a text value (backslash, comma, semicolon, newline).
QString escapeText(const QString& text);

// The logical lines of text (folds joined, empty lines left out).
QStringList unfoldedLines(const QByteArray& text);
// "TEL" of "item1.tel;TYPE=HOME:..."; "item1" for the group.
QString propertyNameOfLine(const QString& line);
QString groupOfLine(const QString& line);

// Collects content lines as UTF-8 text ending in CR LF, folded so that no
// line exceeds 75 octets (never inside a UTF-8 sequence).
class ContentWriter {
public:
    void line(const QString& text);
    const QByteArray& text() const { return m_text; }

private:
    QByteArray m_text;
};

} // namespace desktopstore
