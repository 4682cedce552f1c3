#include "kestrova/vendors/LgPhonebookRecord.h"

#include "kestrova/vendors/LgFrames.h"

#include <QStringList>
#include <QVariantList>

namespace kestrova::lg {

namespace {

const QString kFirstName = QStringLiteral("firstname");
const QString kLastName = QStringLiteral("lastname");
const QString kEmail = QStringLiteral("email");
const QString kPhone = QStringLiteral("phone");
const QString kCategories = QStringLiteral("categories");
const QString kRingtone = QStringLiteral("ringtone");
const QString kUrl = QStringLiteral("url");
const QString kAddress = QStringLiteral("address");
const QString kCompany = QStringLiteral("company");
const QString kJobTitle = QStringLiteral("job title");
const QString kNotes = QStringLiteral("notes");
const QString kPicture = QStringLiteral("picture");
const QString kSlot = QStringLiteral("slot");
const QString kValue = QStringLiteral("value");
const QString kType = QStringLiteral("type");
const QString kHome = QStringLiteral("home");
const QString kWork = QStringLiteral("work");
const char* const kAddressFields[] = {"street1", "city", "state", "zip", "country"};

constexpr qsizetype kSlotOffset = 10;
constexpr qsizetype kBodyOffset = 14;
constexpr qsizetype kTrailerSkip = 7;
constexpr quint8 kPictureFollows = 1;
constexpr quint8 kSkipMarker = 0x7D;
constexpr quint8 kUnusedNumber = 0xFF;

const struct {
    quint8 bit;
    const char* name;
} kNumberTypes[] = {{1, "mobile"}, {2, "home"}, {4, "work"}, {8, "pager"}, {16, "fax"}, {32, "videocall"}};
constexpr quint8 kOtherType = 64;

// A bounded reader over the body of one record.
class Reader {
public:
    explicit Reader(const QByteArray& body) : _data(body) {}
    qsizetype left() const { return _data.size() - _pos; }
    // UTF-16LE units up to a 0x0000 unit (consumed) or the end of the data.
    QString string()
    {
        QString text;
        while (left() >= 2) {
            const char16_t unit = char16_t(quint8(_data[_pos]) | (quint8(_data[_pos + 1]) << 8));
            _pos += 2;
            if (unit == 0)
                return text;
            text.append(QChar(unit));
        }
        _pos = _data.size();
        return text;
    }
    bool byte(quint8& out)
    {
        if (left() < 1)
            return false;
        out = quint8(_data[_pos++]);
        return true;
    }
    bool skip(qsizetype n)
    {
        if (left() < n)
            return false;
        _pos += n;
        return true;
    }
    int le16At(qsizetype offset) const { return readLe16(_data, _pos + offset); }

private:
    const QByteArray& _data;
    qsizetype _pos = 0;
};

void appendString(QByteArray& out, const QString& text)
{
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        out.append(char(unit & 0xFF)).append(char(unit >> 8));
    }
    out.append('\0').append('\0');
}

QString valueOf(const QVariant& element)
{
    if (element.typeId() == QMetaType::QString)
        return element.toString();
    const QVariantMap map = element.toMap();
    const QVariant value = map.value(kValue);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool isTextElement(const QVariant& element)
{
    if (element.typeId() == QMetaType::QString)
        return true;
    return element.canConvert<QVariantMap>() && element.toMap().value(kValue).typeId() == QMetaType::QString;
}

void appendAddress(QByteArray& out, const QVariantList& addresses, const QString& type)
{
    for (const QVariant& element : addresses) {
        const QVariantMap address = element.toMap();
        if (address.value(kType).toString() != type)
            continue;
        for (const char* field : kAddressFields)
            appendString(out, address.value(QLatin1String(field)).toString());
        return;
    }
    out.append(QByteArray(10, '\0'));
}

void setText(QVariantMap& contact, const QString& key, const QString& text)
{
    if (!text.isEmpty())
        contact.insert(key, text);
}

} // namespace

QString getStringTypeForNumberType(quint8 type)
{
    for (const auto& t : kNumberTypes)
        if (t.bit == type)
            return QLatin1String(t.name);
    return QStringLiteral("other");
}

quint8 lgViewtyGetTypeCharFromString(const QString& type)
{
    for (const auto& t : kNumberTypes)
        if (type == QLatin1String(t.name))
            return t.bit;
    return kOtherType;
}

std::optional<QVariantMap> lgExtractAddressData(const QByteArray& reply, QString* error)
{
    const auto fail = [error](const char* why) -> std::optional<QVariantMap> {
        if (error)
            *error = QLatin1String(why);
        return std::nullopt;
    };
    if (reply.size() < kMinEntryReply)
        return fail("reply too short for an entry");
    const int slot = readLe16(reply, kSlotOffset);
    const QByteArray body = reply.mid(kBodyOffset, reply.size() - kBodyOffset - 1);
    Reader reader(body);

    QString strings[9];
    for (QString& s : strings)
        s = reader.string();
    quint8 types[kMaxPhoneNumbers] = {};
    for (quint8& type : types) {
        if (!reader.byte(type))
            return fail("record ends in the number types");
        if (type == kSkipMarker && !reader.skip(1))
            return fail("record ends in the number types");
    }
    int groups[kMaxGroups] = {};
    for (int g = 0; g < kMaxGroups; ++g)
        groups[g] = reader.le16At(2 + 4 * g);
    if (!reader.skip(14))
        return fail("record ends in the groups");
    QString more[15];
    for (QString& s : more) {
        if (reader.left() < 2)
            return fail("record ends before its last strings");
        s = reader.string();
    }
    if (!reader.skip(kTrailerSkip))
        return fail("record ends in its trailer");
    quint8 flag = 0;
    if (!reader.byte(flag))
        return fail("record ends in its trailer");
    QString picture;
    if (flag == kPictureFollows)
        picture = reader.string();

    QVariantMap contact;
    setText(contact, kFirstName, strings[0]);
    setText(contact, kLastName, strings[1]);
    QVariantList emails;
    for (int i = 2; i < 4; ++i)
        if (!strings[i].isEmpty())
            emails.append(QVariantMap{{kValue, strings[i]}});
    if (!emails.isEmpty())
        contact.insert(kEmail, emails);
    QVariantList phones;
    for (int i = 0; i < kMaxPhoneNumbers; ++i)
        if (!strings[4 + i].isEmpty())
            phones.append(QVariantMap{{kValue, strings[4 + i]}, {kType, getStringTypeForNumberType(types[i])}});
    if (!phones.isEmpty())
        contact.insert(kPhone, phones);
    QVariantList categories;
    for (const int group : groups)
        if (group > 0)
            categories.append(QString::asprintf("%i", group));
    if (!categories.isEmpty())
        contact.insert(kCategories, categories);
    setText(contact, kRingtone, more[0]);
    if (!more[1].isEmpty())
        contact.insert(kUrl, QVariantList{QVariantMap{{kValue, more[1]}}});
    QVariantList addresses;
    const auto address = [&](int first, const QString& type) {
        QVariantMap fields;
        for (int i = 0; i < 5; ++i)
            setText(fields, QLatin1String(kAddressFields[i]), more[first + i]);
        if (fields.isEmpty())
            return;
        fields.insert(kType, type);
        addresses.append(fields);
    };
    address(2, kHome);
    setText(contact, kCompany, more[7]);
    setText(contact, kJobTitle, more[8]);
    address(9, kWork);
    if (!addresses.isEmpty())
        contact.insert(kAddress, addresses);
    setText(contact, kNotes, more[14]);
    setText(contact, kPicture, picture);
    contact.insert(kSlot, QString::asprintf("%i", slot));
    return contact;
}

QByteArray lgViewtyPhonebookCreateRawDataForDict(const QVariantMap& contact, quint8 counter2, QStringList* dropped)
{
    QByteArray out;
    out.reserve(256);
    out.append(char(counter2)).append('\0').append('\0').append(char(0x04));
    appendString(out, contact.value(kFirstName).toString());
    appendString(out, contact.value(kLastName).toString());

    int emails = 0;
    for (const QVariant& element : contact.value(kEmail).toList()) {
        if (!isTextElement(element))
            continue;
        if (emails == kMaxEmails) {
            if (dropped)
                dropped->append(valueOf(element));
            continue;
        }
        appendString(out, valueOf(element));
        ++emails;
    }
    for (; emails < kMaxEmails; ++emails)
        appendString(out, QString());

    const QVariantList phones = contact.value(kPhone).toList();
    for (int i = 0; i < kMaxPhoneNumbers; ++i)
        appendString(out, i < phones.size() ? valueOf(phones.at(i).toMap()) : QString());
    for (int i = 0; i < kMaxPhoneNumbers; ++i) {
        if (i >= phones.size()) {
            out.append(char(kUnusedNumber));
            continue;
        }
        const QVariantMap phone = phones.at(i).toMap();
        out.append(char(phone.contains(kType) ? lgViewtyGetTypeCharFromString(phone.value(kType).toString()) : 0));
    }
    if (dropped)
        for (qsizetype i = kMaxPhoneNumbers; i < phones.size(); ++i)
            dropped->append(valueOf(phones.at(i).toMap()));
    out.append('\0').append('\0');

    if (contact.contains(kCategories)) {
        const QVariantList groups = contact.value(kCategories).toList();
        for (int g = 0; g < kMaxGroups; ++g) {
            out.append(char(g < groups.size() ? groups.at(g).toInt() & 0xFF : 0));
            out.append(QByteArray(3, '\0'));
        }
    } else {
        out.append(QByteArray(12, '\0'));
    }

    appendString(out, contact.value(kRingtone).toString());
    const QVariantList urls = contact.value(kUrl).toList();
    appendString(out, urls.isEmpty() ? QString() : valueOf(urls.first()));
    const QVariantList addresses = contact.value(kAddress).toList();
    appendAddress(out, addresses, kHome);
    appendString(out, contact.value(kCompany).toString());
    appendString(out, contact.value(kJobTitle).toString());
    appendAddress(out, addresses, kWork);
    appendString(out, contact.value(kNotes).toString());
    out.append(QByteArray(kTrailerBytes, '\0'));
    return out;
}

} // namespace kestrova::lg
