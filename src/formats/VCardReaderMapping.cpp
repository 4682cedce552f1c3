#include "formats/VCardReaderMapping.h"

#include "formats/QuorNSDataVCardExtensions.h"
#include "formats/RawVCardUtilities.h"
#include "formats/VCardEncoding.h"
#include "formats/VCardGenerator.h"
#include "formats/VCardReader.h"
#include "formats/VCardRelations.h"
#include "formats/VXDictionary.h"
#include "foundation/FormattingUtil.h"
#include "platform/TextEncoding.h"

#include <QDate>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

namespace vcardreader {

namespace {

bool isBlockByte(char c)
{
    return CARD_Parser::Base64ToOrd(static_cast<unsigned char>(c)) >= 0 || c == '='
           || CARD_Parser::isWhitespace(static_cast<unsigned char>(c));
}

// The block is searched in a window that ends with the first byte that cannot
// belong to it, so a photo costs its own length, not the rest of the text.
int base64BlockLength(const char* bytes, int count, bool isVersion21)
{
    int window = 0;
    while (window < count && isBlockByte(bytes[window]))
        ++window;
    const bool cut = window < count;
    if (cut)
        ++window;
    const QByteArrayView text(bytes, window);
    qsizetype length = findEndOfBase64(text, isVersion21, false);
    // A 3.0 block goes on over folded lines.
    while (!isVersion21 && length < window && (text.at(length) == ' ' || text.at(length) == '\t'))
        length += findEndOfBase64forV30(text.sliced(length), false);
    if (cut && length >= window) {
        // No end before the foreign byte: the block ends with the last line
        // break before the line that holds it.
        qsizetype at = window - 1;
        while (at > 0 && bytes[at - 1] != '\n' && bytes[at - 1] != '\r')
            --at;
        length = at > 0 ? at : window - 1;
    }
    return int(length);
}

int base64Block21(const char* bytes, int count)
{
    return base64BlockLength(bytes, count, true);
}

int base64Block30(const char* bytes, int count)
{
    return base64BlockLength(bytes, count, false);
}

bool isAscii(const QByteArray& bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

QString normalizedCharsetName(const QString& charset)
{
    QString name = charset.toUpper();
    name.remove(u'-');
    name.remove(u'_');
    return name;
}

// A character set that reads every byte below 128 as that ASCII character,
// without shift states: UTF-8, ASCII, the ISO 8859 parts, the Windows code
// pages 1250 to 1258.
bool keepsAscii(const QString& charset)
{
    const QString name = normalizedCharsetName(charset);
    if (name == QLatin1String("UTF8") || name == QLatin1String("ASCII") || name == QLatin1String("USASCII"))
        return true;
    for (const QLatin1String prefix : {QLatin1String("ISO8859"), QLatin1String("WINDOWS125"), QLatin1String("CP125")}) {
        if (name.size() > prefix.size() && name.startsWith(prefix)) {
            const QStringView rest = QStringView(name).mid(prefix.size());
            return std::all_of(rest.begin(), rest.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })
                && (prefix == QLatin1String("ISO8859") || rest.size() == 1);
        }
    }
    return false;
}

// Bytes in a known character set as text; nullopt when they are not text in
// that set. The common sets are read without opening a converter.
std::optional<QString> decodeInCharset(const QByteArray& bytes, const Charset& charset)
{
    if (charset.keepsAscii && isAscii(bytes))
        return QString::fromLatin1(bytes);
    // Qt's reading drops a leading byte-order mark, which the converter keeps.
    if (charset.isUtf8 && !bytes.startsWith("\xEF\xBB\xBF")) {
        if (!QByteArrayView(bytes).isValidUtf8())
            return std::nullopt;
        return QString::fromUtf8(bytes);
    }
    return platform::text::decode(bytes, charset.name.toLatin1().constData());
}

// The text in upper case; an ASCII text already in upper case is returned as
// it is, without a copy.
QString upperCase(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 || (c >= u'a' && c <= u'z'))
            return text.toUpper();
    }
    return text;
}

// The date of "yyyyMMdd" or "yyyy-MM-dd" as QDate::fromString reads it, digits
// read directly.
QDate dateOf(const QString& value)
{
    const bool dashed = value.size() == 10;
    const QString format = dashed ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("yyyyMMdd");
    int fields[3] = {0, 0, 0};
    int field = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (dashed && (i == 4 || i == 7)) {
            if (c != u'-')
                return QDate::fromString(value, format);
            ++field;
            continue;
        }
        if (c < u'0' || c > u'9')
            return QDate::fromString(value, format);
        if (!dashed && (i == 4 || i == 6))
            ++field;
        fields[field] = fields[field] * 10 + (c.unicode() - u'0');
    }
    if (fields[0] == 0)
        return QDate::fromString(value, format);
    return QDate(fields[0], fields[1], fields[2]);
}

const QString kKey = QStringLiteral("Key");

struct FieldKey {
    const char* name;
    QString text;
};

FieldKey fieldKeyEntry(const char* name)
{
    return {name, QString::fromLatin1(name)};
}
const QString kValues = QStringLiteral("Values");

QString entryKey(const QVariant& entry)
{
    return entry.toMap().value(kKey).toString();
}

QString firstValue(const QVariant& entry)
{
    return entry.toMap().value(kValues).toList().value(0).toString();
}

QString text(const QVariant& value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return getAsString(value.toByteArray());
    return value.toString();
}

enum class ListKind { Phone, Email, URL, Address };

struct Typed {
    QString type;
    QString label;
};

void mapType(ListKind kind, const QString& word, Typed& typed)
{
    const QString upper = upperCase(word);
    QString& t = typed.type;
    const auto other = [&typed, &word] {
        typed.type = QStringLiteral("other");
        typed.label = word;
    };
    if (upper.isEmpty() || upper == QLatin1String("VALUE"))
        return;
    const bool phoneLike = kind == ListKind::Phone || kind == ListKind::Address;
    if (upper == QLatin1String("HOME") || upper == QLatin1String("WORK")) {
        const bool home = upper == QLatin1String("HOME");
        if (phoneLike && t.contains(QLatin1String("fax")))
            t = home ? QStringLiteral("home fax") : QStringLiteral("work fax");
        else if (kind == ListKind::Phone && t == QLatin1String("mobile"))
            return;
        else
            t = home ? QStringLiteral("home") : QStringLiteral("work");
        return;
    }
    if (upper == QLatin1String("PREF") || upper == QLatin1String("MAIN")) {
        if (kind == ListKind::URL)
            t = QStringLiteral("home page");
        else if (phoneLike && t.isEmpty())
            t = QStringLiteral("main");
        return;
    }
    if (upper == QLatin1String("INTERNET") && kind == ListKind::Email)
        return;
    if (upper == QLatin1String("VOICE") && phoneLike)
        return;
    if (phoneLike && upper == QLatin1String("FAX")) {
        t = t == QLatin1String("work") ? QStringLiteral("work fax")
                                       : (kind == ListKind::Phone ? QStringLiteral("home fax") : QStringLiteral("fax"));
        return;
    }
    if (phoneLike && upper == QLatin1String("CELL")) {
        t = QStringLiteral("mobile");
        return;
    }
    if (phoneLike && upper == QLatin1String("PAGER")) {
        t = QStringLiteral("pager");
        return;
    }
    other();
}

Typed typeFromParams(ListKind kind, const QVariantList& params)
{
    Typed typed;
    for (const QVariant& entry : params) {
        if (entry.typeId() == QMetaType::QString) {
            if (!isKnownCharsetName(entry.toString()))
                mapType(kind, entry.toString(), typed);
        } else if (entryKey(entry).compare(QLatin1String("TYPE"), Qt::CaseInsensitive) == 0) {
            for (const QVariant& value : entry.toMap().value(kValues).toList())
                mapType(kind, value.toString(), typed);
        }
    }
    if (typed.type != QLatin1String("other"))
        typed.label.clear();
    return typed;
}

// typeFromParams, answered from the last lists asked about: the readers share
// one list among the properties written with the same parameters (see
// keptRelation in VCardReader.cpp for why a kept list's data stays the same).
Typed keptType(ListKind kind, const QVariantList& params)
{
    struct Kept {
        ListKind kind = ListKind::Phone;
        QVariantList params;
        Typed typed;
    };
    constexpr std::size_t kKept = 16;
    thread_local std::array<Kept, kKept> kept;
    thread_local std::size_t next = 0;
    if (params.isEmpty())
        return typeFromParams(kind, params);
    for (const Kept& entry : kept) {
        if (entry.kind == kind && entry.params.constData() == params.constData()
            && entry.params.size() == params.size())
            return entry.typed;
    }
    Kept& entry = kept[next++ % kKept];
    entry.typed = typeFromParams(kind, params);
    entry.kind = kind;
    entry.params = params;
    return entry.typed;
}

QString defaultType(ListKind kind, qsizetype position, Reader reader)
{
    if (kind == ListKind::Email) {
        if (reader == Reader::Import)
            return QStringLiteral("other");
    } else if (kind != ListKind::Phone || reader == Reader::Item) {
        return position == 0 ? QStringLiteral("home") : QStringLiteral("work");
    }
    return position == 0 ? QStringLiteral("home") : position == 1 ? QStringLiteral("work") : QStringLiteral("other");
}

void enterListEntry(QVariantMap& card, ListKind kind, const char* listKey, QVariantMap entry,
                    const QVariantList& params, Reader reader)
{
    // Taken out of the card while it grows, so appending does not copy it.
    QVariant& slot = card[fieldKey(listKey)];
    QVariantList list = slot.toList();
    slot.clear();
    Typed typed = keptType(kind, params);
    if (typed.type.isEmpty())
        typed.type = defaultType(kind, list.size(), reader);
    entry.insert(fieldKey(kSubRecordType), typed.type);
    if (!typed.label.isEmpty())
        entry.insert(fieldKey(kSubRecordLabel), typed.label);
    if (!params.isEmpty())
        entry.insert(VCardDictionary::kParams, params);
    list.append(entry);
    slot = std::move(list);
}

// Each part of a value between ";" as semicolonComponents gives it, handed
// to use(index, part) when not empty; a value without a backslash is cut
// without a list, a part that is the whole value without a copy.
template <typename Use>
void forEachPart(const QString& value, Use use)
{
    if (value.contains(u'\\')) {
        const QStringList parts = semicolonComponents(value);
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (!parts.at(i).isEmpty())
                use(i, parts.at(i));
        }
        return;
    }
    qsizetype from = 0;
    for (qsizetype index = 0;; ++index) {
        const qsizetype at = value.indexOf(u';', from);
        const qsizetype end = at < 0 ? value.size() : at;
        if (end > from)
            use(index, from == 0 && end == value.size() ? value : value.sliced(from, end - from));
        if (at < 0)
            return;
        from = at + 1;
    }
}

void enterParts(QVariantMap& card, const QString& value, std::initializer_list<const char*> keys)
{
    forEachPart(value, [&card, &keys](qsizetype index, const QString& part) {
        if (index < qsizetype(keys.size()))
            card.insert(fieldKey(keys.begin()[index]), part);
    });
}

QVariantMap addressEntry(const QString& value)
{
    using namespace contactkey;
    constexpr qsizetype kParts = 7;
    QString parts[kParts];
    forEachPart(value, [&parts](qsizetype index, const QString& part) {
        if (index < kParts)
            parts[index] = part;
    });
    QVariantMap entry;
    // The street's lines in the order they were split when written: extended
    // address, post-office box, street.
    QStringList street;
    for (const int at : {1, 0, 2}) {
        if (!parts[at].isEmpty())
            street.append(parts[at]);
    }
    if (street.size() == 1)
        entry.insert(fieldKey(kStreet), street.first());
    else if (!street.isEmpty())
        entry.insert(fieldKey(kStreet), street.join(u'\r'));
    int at = 3;
    for (const char* key : {kCity, kState, kPostalCode, kCountry}) {
        if (!parts[at].isEmpty())
            entry.insert(fieldKey(key), parts[at]);
        ++at;
    }
    return entry;
}

void enterBirthday(QVariantMap& card, QString value)
{
    if (value.size() != 8 && value.size() != 10) {
        const qsizetype t = value.indexOf(u'T');
        if (t >= 0)
            value.truncate(t);
    }
    QDate date;
    if (value.size() == 8 || value.size() == 10)
        date = dateOf(value);
    if (date.isValid())
        card.insert(QLatin1String(contactkey::kBirthday), date);
}

} // namespace

QString fieldKey(const char* name)
{
    using namespace contactkey;
    static const FieldKey keys[] = {
        fieldKeyEntry(kSubRecordValue),  fieldKeyEntry(kSubRecordType),  fieldKeyEntry(kSubRecordLabel),
        fieldKeyEntry(kPhoneNumbers),    fieldKeyEntry(kEmailAddresses), fieldKeyEntry(kURLs),
        fieldKeyEntry(kStreetAddresses), fieldKeyEntry(kLastName),       fieldKeyEntry(kFirstName),
        fieldKeyEntry(kMiddleName),      fieldKeyEntry(kTitle),          fieldKeyEntry(kSuffix),
        fieldKeyEntry(kCompanyName),     fieldKeyEntry(kDepartment),     fieldKeyEntry(kJobTitle),
        fieldKeyEntry(kBirthday),        fieldKeyEntry(kNotes),          fieldKeyEntry(kImage),
        fieldKeyEntry(kStreet),          fieldKeyEntry(kCity),           fieldKeyEntry(kState),
        fieldKeyEntry(kPostalCode),      fieldKeyEntry(kCountry),
    };
    // The callers pass the names' own constants: their addresses usually match.
    for (const FieldKey& key : keys) {
        if (key.name == name)
            return key.text;
    }
    for (const FieldKey& key : keys) {
        if (std::strcmp(key.name, name) == 0)
            return key.text;
    }
    return QString::fromLatin1(name);
}

CARD_ParserPolicy readerPolicy(Reader reader, bool isVersion21)
{
    CARD_ParserPolicy policy;
    policy.foldFeedsBlank = false;
    policy.colonBeforeParamEndsParams = reader == Reader::Import;
    policy.emptyParamValueDropsParam = true;
    policy.escapedColonIsLiteral = reader == Reader::Import;
    policy.commaSeparatesParams = true;
    policy.qpSoftBreakJoinsLines = true;
    policy.base64Raw = true;
    policy.dropNul = true;
    policy.loneCREndsLine = true;
    policy.plainValueContinuesOnSecondBlank = true;
    policy.base64BlockLength = isVersion21 ? base64Block21 : base64Block30;
    return policy;
}

QVariantList paramList(const char** params)
{
    QVariantList list;
    for (int i = 0; params && params[i]; i += 2) {
        const QString name = QString::fromUtf8(params[i]);
        if (!params[i + 1]) {
            if (name == QLatin1String("QUOTED-PRINTABLE") || name == QLatin1String("BASE64")
                || name == QLatin1String("8BIT"))
                list.append(QVariantMap{{kKey, QStringLiteral("ENCODING")}, {kValues, QVariantList{name}}});
            else
                list.append(name);
        } else {
            list.append(QVariantMap{{kKey, name}, {kValues, QVariantList{QString::fromUtf8(params[i + 1])}}});
        }
    }
    return list;
}

QString getEncoding(const QVariantList& params)
{
    for (const QVariant& entry : params) {
        QString name;
        if (entry.typeId() == QMetaType::QString)
            name = entry.toString();
        else if (entryKey(entry).compare(QLatin1String("CHARSET"), Qt::CaseInsensitive) == 0)
            name = firstValue(entry);
        if (!name.isEmpty() && isKnownCharsetName(name))
            return name;
    }
    return QString();
}

Charset charsetOf(const QVariantList& params)
{
    return charsetNamed(getEncoding(params));
}

Charset charsetNamed(const QString& name)
{
    Charset charset;
    charset.name = name;
    if (!charset.name.isEmpty()) {
        charset.keepsAscii = keepsAscii(charset.name);
        charset.isUtf8 = normalizedCharsetName(charset.name) == QLatin1String("UTF8");
    }
    return charset;
}

QVariant propertyValue(const QByteArray& bytes, int encoding, const QVariantList& params, Reader reader)
{
    return propertyValue(bytes, encoding, charsetOf(params), reader);
}

QVariant propertyValue(const QByteArray& bytes, int encoding, const Charset& charset, Reader reader)
{
    if (encoding == CARD_Parser::Base64)
        return decodeDataFromBase64(QByteArrayView(bytes));
    if (encoding == CARD_Parser::QuotedPrintable) {
        // ISO Latin 1 maps each byte to the character of its code, as does
        // every set that keeps ASCII for ASCII bytes.
        if (charset.name.isEmpty())
            return QString::fromLatin1(bytes);
        const auto value = decodeInCharset(bytes, charset);
        return value ? QVariant(*value) : QVariant();
    }
    const QString value = QString::fromUtf8(bytes);
    // ASCII reads the same in Mac OS Roman and in a set that keeps it.
    if (reader == Reader::Import && !charset.name.isEmpty() && !(charset.keepsAscii && isAscii(bytes))
        && charset.name.compare(QLatin1String("MACINTOSH"), Qt::CaseInsensitive) != 0
        && charset.name.compare(QLatin1String("MACROMAN"), Qt::CaseInsensitive) != 0) {
        if (const auto mac = platform::text::encode(value, platform::text::Encoding::MacRoman)) {
            if (const auto reread = decodeInCharset(*mac, charset))
                return *reread;
        }
    }
    return value;
}

PropertyCollector::PropertyCollector(Reader reader, bool isVersion21)
    : reader(reader)
    , isVersion21(isVersion21)
{
}

void PropertyCollector::attach(CARD_Parser& cardParser)
{
    parser = &cardParser;
    cardParser.setUserData(this);
    cardParser.setPropHandler(onProperty);
    cardParser.setDataHandler(onData);
}

const PropertyCollector::KeptParams& PropertyCollector::keptParamList(const char** params)
{
    // The parameters as one key that reads back unambiguously: each name ended
    // by a NUL (which no name holds), then 1, the value and a NUL, or 2 for a
    // parameter without value.
    _paramKey.clear();
    for (int i = 0; params && params[i]; i += 2) {
        _paramKey.append(params[i]).push_back('\0');
        if (params[i + 1]) {
            _paramKey.push_back('\1');
            _paramKey.append(params[i + 1]).push_back('\0');
        } else {
            _paramKey.push_back('\2');
        }
    }
    for (const KeptParams& kept : _keptParams) {
        if (kept.key == _paramKey)
            return kept;
    }
    if (_keptParams.size() >= kKeptParamLists)
        _keptParams.erase(_keptParams.begin());
    KeptParams kept;
    kept.key = _paramKey;
    kept.list = paramList(params);
    kept.charset = charsetOf(kept.list);
    if (kept.charset.name.isEmpty())
        kept.charset = _fallback;
    _keptParams.push_back(std::move(kept));
    return _keptParams.back();
}

QString PropertyCollector::keptText(KeptTexts& table, const char* bytes, std::size_t length)
{
    // Two slots may hold a text, picked by an FNV-1a hash of its bytes; a new
    // text replaces one of them, chosen by a third part of the hash.
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < length; ++i)
        hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 16777619u;
    const std::size_t slots[2] = {hash % kKeptTexts, (hash >> 16) % kKeptTexts};
    for (const std::size_t slot : slots) {
        const KeptText& kept = table[slot];
        if (kept.bytes.size() == length && kept.bytes.compare(0, length, bytes, length) == 0)
            return kept.text;
    }
    KeptText& kept = table[slots[(hash >> 8) & 1]];
    kept.bytes.assign(bytes, length);
    kept.text = QString::fromUtf8(bytes, qsizetype(length));
    return kept.text;
}

void PropertyCollector::onProperty(void* userData, const char* name, const char** params)
{
    auto* self = static_cast<PropertyCollector*>(userData);
    self->_name = keptText(self->_keptNames, name, std::strlen(name));
    const KeptParams& kept = self->keptParamList(params);
    self->_params = kept.list;
    self->_charset = kept.charset;
    self->_value.resize(0);
    self->_encoding = self->parser->encoding();
}

void PropertyCollector::onData(void* userData, const char* data, int length)
{
    auto* self = static_cast<PropertyCollector*>(userData);
    if (data) {
        self->_value.append(data, length);
        return;
    }
    const QString name = std::exchange(self->_name, QString());
    const QVariantList params = std::exchange(self->_params, QVariantList());
    if (name.isEmpty()) {
        self->_value.resize(0);
        return;
    }
    // A short plain value without a character set is its UTF-8 text, as
    // propertyValue reads it.
    const QByteArray& bytes = self->_value;
    if (!bytes.isEmpty() && bytes.size() <= kShortValue
        && (self->_charset.name.isEmpty() || self->reader != Reader::Import)
        && (self->_encoding == CARD_Parser::NoEncoding || self->_encoding == CARD_Parser::EightBit))
        self->handle(name, params, keptText(self->_keptValues, bytes.constData(), std::size_t(bytes.size())));
    else
        self->handle(name, params, propertyValue(bytes, self->_encoding, self->_charset, self->reader));
    self->_value.resize(0); // the buffer is kept for the next value
}

void enterVCardData(VCardDictionary& dict, const QString& propertyName, QVariantList params, const QVariant& value,
                    bool isVersion21, Reader reader)
{
    using namespace contactkey;
    if (propertyName.isEmpty() || !value.isValid())
        return;
    if (reader == Reader::Import && !isVersion21) {
        params.removeIf([](const QVariant& entry) {
            return entryKey(entry) == QLatin1String("type")
                   && firstValue(entry).compare(QLatin1String("pref"), Qt::CaseInsensitive) == 0;
        });
    }
    QString name = propertyName;
    if (name.startsWith(QLatin1String("item"), Qt::CaseInsensitive)) {
        const qsizetype dot = name.indexOf(u'.');
        if (dot >= 0)
            name.remove(0, dot + 1);
    }
    const QString upper = upperCase(name);
    QVariantMap& card = dict.map();
    if (upper == QLatin1String("FN") || upper == QLatin1String("VERSION"))
        return;
    if (upper == QLatin1String("N")) {
        enterParts(card, text(value), {kLastName, kFirstName, kMiddleName, kTitle, kSuffix});
    } else if (upper == QLatin1String("ORG")) {
        enterParts(card, text(value), {kCompanyName, kDepartment});
    } else if (upper == QLatin1String("NICKNAME")) {
        card.insert(QStringLiteral("nick name"), isVersion21 ? text(value) : expandBackSlashCodes(text(value)));
    } else if (upper == QLatin1String("TEL")) {
        enterListEntry(card, ListKind::Phone, kPhoneNumbers, {{fieldKey(kSubRecordValue), text(value)}}, params,
                       reader);
    } else if (upper == QLatin1String("EMAIL")) {
        enterListEntry(card, ListKind::Email, kEmailAddresses, {{fieldKey(kSubRecordValue), text(value)}}, params,
                       reader);
    } else if (upper == QLatin1String("URL")) {
        enterListEntry(card, ListKind::URL, kURLs, {{fieldKey(kSubRecordValue), text(value)}}, params, reader);
    } else if (upper == QLatin1String("ADR")) {
        enterListEntry(card, ListKind::Address, kStreetAddresses, addressEntry(text(value)), params, reader);
    } else if (upper == QLatin1String("CATEGORIES")) {
        card.insert(QStringLiteral("CATEGORIES"), value);
    } else if (upper == QLatin1String("BDAY")) {
        enterBirthday(card, text(value));
    } else if (upper == QLatin1String("TITLE")) {
        // 3.0 escapes its text values; 2.1 has no escapes there.
        card.insert(fieldKey(kJobTitle), isVersion21 ? text(value) : expandBackSlashCodes(text(value)));
    } else if (upper == QLatin1String("NOTE")) {
        card.insert(fieldKey(kNotes), expandBackSlashCodes(text(value)));
    } else if (upper == QLatin1String("PHOTO")) {
        card.insert(fieldKey(kImage), value);
    } else {
        enterDeviceSpecific(card, name, params, value);
    }
}

void enterDeviceSpecific(QVariantMap& dict, const QString& name, const QVariantList& params, const QVariant& value)
{
    QVariant& slot = dict[VCardDictionary::kDeviceSpecific];
    QVariantMap device = slot.toMap();
    slot.clear();
    if (params.isEmpty())
        device.insert(name, value);
    else
        device.insert(name, QVariantMap{{QStringLiteral("Params"), params}, {QStringLiteral("Data"), value}});
    slot = std::move(device);
}

} // namespace vcardreader
