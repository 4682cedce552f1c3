#pragma once

#include "formats/CARD_Parser.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class VCardDictionary;

// What the two vCard readers share: their tokenizer policies, the parameter
// list form, value decoding and the mapping of vCard properties onto the
// contact dictionary.
namespace vcardreader {

enum class Reader { Import, Item };

CARD_ParserPolicy readerPolicy(Reader reader, bool isVersion21);

// A field name of the contact form as text; the names the readers store are
// made once and shared by every dictionary that holds them.
QString fieldKey(const char* name);

// The tokenizer's flat parameter list as entries: a bare word is a string
// ("QUOTED-PRINTABLE", "BASE64" and "8BIT" become an "ENCODING" entry), a
// parameter with "=" a {"Key", "Values"} dictionary.
QVariantList paramList(const char** params);

// The iconv name of the first entry naming a known character set (a bare word,
// or the first value of a "CHARSET" entry); null when none does.
QString getEncoding(const QVariantList& params);

// The character set a parameter list names, with what the readers ask of it.
struct Charset {
    QString name;            // getEncoding; null when none is named
    bool keepsAscii = false; // bytes below 128 read as ASCII, no shift states
    bool isUtf8 = false;
};
Charset charsetOf(const QVariantList& params);
// The character set of that name (null name: none).
Charset charsetNamed(const QString& name);

// A value's bytes as the tokenizer handed them on: decoded base64 as data,
// quoted-printable bytes as text in the parameters' character set (ISO Latin 1
// when none), a plain value as text. Invalid when the bytes are not text in
// that set. The import reader re-reads a plain value from Mac OS Roman into a
// named set when that is lossless.
QVariant propertyValue(const QByteArray& bytes, int encoding, const QVariantList& params, Reader reader);
QVariant propertyValue(const QByteArray& bytes, int encoding, const Charset& charset, Reader reader);

// Collects each property's name, parameters and value from a tokenizer and
// hands the finished property to handle(); attach() installs it.
class PropertyCollector {
public:
    PropertyCollector(Reader reader, bool isVersion21);
    virtual ~PropertyCollector() = default;
    void attach(CARD_Parser& parser);
    // The set a value is read in when its parameters name none (the calendar
    // reader's); null keeps the reader's own fall-back.
    void setFallbackCharset(const QString& name) { _fallback = charsetNamed(name); }
    virtual void handle(const QString& name, const QVariantList& params, const QVariant& value) = 0;

    CARD_Parser* parser = nullptr;
    const Reader reader;
    const bool isVersion21;

private:
    static void onProperty(void* userData, const char* name, const char** params);
    static void onData(void* userData, const char* data, int length);
    // The parameter list of the property and its character set; the same
    // parameters come back on every card of a text, so the last lists made
    // are shared, not made again.
    struct KeptParams {
        std::string key;
        QVariantList list;
        Charset charset;
    };
    const KeptParams& keptParamList(const char** params);

    // Names, and short plain values such as "VCARD" or "2.1", come back on
    // every card: the last texts made are kept in a small table, and a text
    // read before is not made again.
    struct KeptText {
        std::string bytes;
        QString text;
    };
    static constexpr std::size_t kKeptTexts = 64;
    static constexpr int kShortValue = 8;
    using KeptTexts = std::array<KeptText, kKeptTexts>;
    static QString keptText(KeptTexts& table, const char* bytes, std::size_t length);
    KeptTexts _keptNames;
    KeptTexts _keptValues;

    static constexpr std::size_t kKeptParamLists = 64;
    std::vector<KeptParams> _keptParams;
    std::string _paramKey;

    Charset _fallback;
    QString _name;
    QVariantList _params;
    Charset _charset;
    QByteArray _value;
    int _encoding = CARD_Parser::NoEncoding;
};

// A value only the phone knows under its name in "DeviceSpecific"; one read
// with parameters as {"Params": params, "Data": value}.
void enterDeviceSpecific(QVariantMap& dict, const QString& name, const QVariantList& params, const QVariant& value);

// One property into the contact dictionary.
void enterVCardData(VCardDictionary& card, const QString& name, QVariantList params, const QVariant& value,
                    bool isVersion21, Reader reader);

} // namespace vcardreader
