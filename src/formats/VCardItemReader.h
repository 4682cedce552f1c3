#pragma once

#include "formats/VCardReader.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// The item reader: one item, from its "BEGIN:" to the matching "END:", out of
// a text that may hold several, starting at a byte offset of the text's UTF-8
// form. A vCard becomes a contact dictionary; any other item a dictionary of
// its raw properties. Nested items are read by a second reader and stored
// under their type ("VBODY" as {"Date", "Message"} or {"Message"}).
class VXXX2ElemsParser {
public:
    VXXX2ElemsParser(const QString& text, long long startingPos);
    // On the UTF-8 bytes of a text, whose vCard version is known.
    VXXX2ElemsParser(const QByteArray& bytes, long long startingPos, bool isVersion21, int depth = 0);

    // The item; nullopt when a byte was refused, an "END:" does not match its
    // "BEGIN:" (logged to "XT") or there is no item.
    std::optional<VCardDictionary> getItem();
    // After getItem: offset of the last byte read (the line end after the
    // outer "END:" line), 0 when that is the text's last byte.
    long long nextPosition() const { return _endPos; }
    QString itemType() const { return _vXXXType; }

    static bool isCalendarType(const QString& word);
    // A leading "Date:" line (without its line end) and the rest.
    static std::pair<QString, QString> separateDateLine(const QString& body);

private:
    friend struct ItemRun;

    QByteArray _bytes;
    long long _startingPos;
    long long _endPos = -1;
    QString _vXXXType;
    bool _isVersion21;
    int _depth;
};

// Every item of a multi-item text as {"Type": type word, "Element": item}.
QVariantList elemsForVXXXString(const QString& text);
