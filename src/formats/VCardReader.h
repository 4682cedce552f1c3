#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

class VXDictionary;

// Readers of vCard 2.1 and 3.0 text into contact dictionaries, the keys of
// which are the field names of the contact item form (VCardGenerator.h);
// values only the phone knows go under "DeviceSpecific". Both readers run the
// shared tokenizer over the text's UTF-8 bytes.

// A contact dictionary while and after it is read.
class VCardDictionary {
public:
    static const QString kDeviceSpecific;   // "DeviceSpecific"
    static const QString kParams;           // "PARAMS" of a list entry

    QVariantMap& map() { return _dict; }
    const QVariantMap& map() const { return _dict; }

    // The list entries' parameter lists become relations, and a company card
    // whose N holds the company name loses its last name.
    void finishVXItem();
    // Every entry of the list gets the relation form of its "PARAMS"; an entry
    // whose parameters leave nothing loses them.
    void fixRelations(const QString& listKey);

private:
    QVariantMap _dict;
};

// Text helpers of the readers.
// The text without backslashes, each character after one kept as it is.
QString cleanedFromBackSlash(const QString& text);
// The parts between separators; a backslash escapes the next character, "\r",
// "\t" and "\n" give CR, tab and LF; a final empty part is not added.
QStringList characterComponents(const QString& text, QChar separator);
QStringList semicolonComponents(const QString& text);
// Joins quoted-printable soft line breaks on lines holding
// "QUOTED-PRINTABLE": the "=" and the line end after it (CR, LF or CR LF) go.
QString stringFixLineBreaks(const QString& text);

// The vCard import reader: every complete card of a text.
class VCard2ElemsParser {
public:
    explicit VCard2ElemsParser(const QString& text);
    // The cards read; nullopt when a byte was refused (cards finished before it
    // are lost too). A card without "END:VCARD" is not returned.
    std::optional<QList<VCardDictionary>> getElems();
    // The reader's own soft-line-break joiner: stringFixLineBreaks.
    static QString fixLineBreaks(const QString& text);

private:
    QString _vcString;
};

// The cards of a text as contact dictionaries; nullopt when the text holds
// none or cannot be read.
std::optional<QList<VCardDictionary>> elemsForVCard(const QString& text);

// A contact dictionary as an item form with new record ids; sourceURI is the
// phone id, or null.
VXDictionary vCardDictionary2VXDictionary(const VCardDictionary& dict, const QString& sourceURI = QString());

// A vCard (2.1 or 3.0) read and written again as vCard 3.0 with the export
// description; null when the input holds no card.
QString getVCard30(const QString& text);
QByteArray getVCard30(const QByteArray& data);
