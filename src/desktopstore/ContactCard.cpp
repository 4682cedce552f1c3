#include "desktopstore/ContactCard.h"

#include "desktopstore/ContentLines.h"
#include "formats/CARD_Parser.h"
#include "formats/VCardGenerator.h"
#include "platform/SyncChange.h"

#include <QDateTime>
#include <QSet>
#include <QTimeZone>

namespace desktopstore {

namespace {

const QString kValue = QStringLiteral("value");
const QString kType = QStringLiteral("type");
const QString kLabel = QStringLiteral("label");
const QString kNickname = QStringLiteral("nick name");

// Contact fields of the N property, in its order.
const QStringList& nameKeys()
{
    static const QStringList keys{contactkey::kLastName, contactkey::kFirstName, contactkey::kMiddleName,
                                  contactkey::kTitle, contactkey::kSuffix};
    return keys;
}

// Address fields after the post-office box and the extended address.
const QStringList& addressKeys()
{
    static const QStringList keys{contactkey::kStreet, contactkey::kCity, contactkey::kState,
                                  contactkey::kPostalCode, contactkey::kCountry};
    return keys;
}

// Plain text fields with one property each.
struct TextProperty {
    const char* name;
    const char* key;
};
const TextProperty kTextProperties[] = {
    {"TITLE", contactkey::kJobTitle},
    {"NICKNAME", "nick name"},
    {"NOTE", contactkey::kNotes},
};

struct ListProperty {
    const char* name;
    const QString* entity;
    const char* listKey;
};
const ListProperty kListProperties[] = {
    {"TEL", &platform::entity::PhoneNumber, contactkey::kPhoneNumbers},
    {"EMAIL", &platform::entity::EmailAddress, contactkey::kEmailAddresses},
    {"URL", &platform::entity::URL, contactkey::kURLs},
    {"ADR", &platform::entity::StreetAddress, contactkey::kStreetAddresses},
};

const ListProperty* listPropertyNamed(const QString& name)
{
    for (const ListProperty& p : kListProperties) {
        if (name == QLatin1String(p.name))
            return &p;
    }
    return nullptr;
}

const ListProperty* listPropertyForEntity(const QString& entity)
{
    for (const ListProperty& p : kListProperties) {
        if (*p.entity == entity)
            return &p;
    }
    return nullptr;
}

// Properties this mapping writes: a rewrite replaces them and keeps the rest.
const QSet<QString>& mappedProperties()
{
    static const QSet<QString> names{"BEGIN", "END",   "VERSION", "UID", "N",   "FN",  "ORG",      "TITLE",
                                     "NICKNAME", "NOTE", "BDAY", "PHOTO", "TEL", "EMAIL", "URL", "ADR", "CATEGORIES"};
    return names;
}

// Type words that say nothing the type field keeps.
bool isIgnoredTypeWord(const QString& word)
{
    return word == QLatin1String("PREF") || word == QLatin1String("VOICE") || word == QLatin1String("INTERNET")
        || word == QLatin1String("X-INTERNET");
}

// "home fax" <-> HOME,FAX; "mobile" is CELL.
QStringList typeWords(const QString& type)
{
    QStringList words;
    for (const QString& word : type.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words.append(word == QLatin1String("mobile") ? QStringLiteral("CELL") : word.toUpper());
    return words;
}

QString typeFromWords(const QStringList& words)
{
    QStringList parts;
    for (const QString& word : words) {
        if (!isIgnoredTypeWord(word))
            parts.append(word == QLatin1String("CELL") ? QStringLiteral("mobile") : word.toLower());
    }
    return parts.join(QLatin1Char(' '));
}

void setIfNotEmpty(QVariantMap& record, const QString& key, const QString& value)
{
    if (!value.isEmpty())
        record.insert(key, value);
}

QString photoType(const QByteArray& data)
{
    if (data.startsWith("\x89PNG"))
        return QStringLiteral("PNG");
    if (data.startsWith("GIF8"))
        return QStringLiteral("GIF");
    return QStringLiteral("JPEG");
}

class CardReader {
public:
    std::optional<ContactItem> read(const QByteArray& text, QString* error)
    {
        CARD_ParserPolicy policy;
        policy.foldFeedsBlank = false;
        policy.base64Raw = true;
        const std::optional<QList<ContentLine>> lines = parseContentLines(text, policy, error);
        if (!lines)
            return std::nullopt;
        int begins = 0;
        bool inside = false;
        for (const ContentLine& line : *lines) {
            if (line.name == QLatin1String("BEGIN")) {
                if (line.text().compare(QLatin1String("VCARD"), Qt::CaseInsensitive) != 0 || inside)
                    return fail(error, QStringLiteral("unexpected BEGIN:%1").arg(line.text()));
                inside = true;
                ++begins;
            } else if (line.name == QLatin1String("END")) {
                inside = false;
            } else if (inside) {
                take(line, *lines);
            }
        }
        if (begins == 0)
            return fail(error, QStringLiteral("no vCard"));
        if (begins > 1)
            return fail(error, QStringLiteral("%1 vCards in one file").arg(begins));
        return m_item;
    }

private:
    static std::optional<ContactItem> fail(QString* error, const QString& message)
    {
        if (error)
            *error = message;
        return std::nullopt;
    }

    void take(const ContentLine& line, const QList<ContentLine>& all)
    {
        QVariantMap& c = m_item.contact;
        if (line.name == QLatin1String("UID")) {
            m_item.uid = line.text();
        } else if (line.name == QLatin1String("N")) {
            const QStringList parts = line.components();
            for (int i = 0; i < nameKeys().size() && i < parts.size(); ++i)
                setIfNotEmpty(c, nameKeys()[i], parts[i]);
        } else if (line.name == QLatin1String("ORG")) {
            const QStringList parts = line.components();
            setIfNotEmpty(c, contactkey::kCompanyName, parts.value(0));
            setIfNotEmpty(c, contactkey::kDepartment, parts.mid(1).join(QLatin1Char(' ')));
        } else if (line.name == QLatin1String("BDAY")) {
            const QString text = line.text();
            QDate date = QDate::fromString(text.left(10), Qt::ISODate);
            if (!date.isValid())
                date = QDate::fromString(text.left(8), QStringLiteral("yyyyMMdd"));
            if (date.isValid())
                c.insert(contactkey::kBirthday, QDateTime(date, QTime(0, 0), QTimeZone::utc()));
        } else if (line.name == QLatin1String("CATEGORIES")) {
            for (const QString& part : line.components(QLatin1Char(','))) {
                const QString group = part.trimmed();
                if (!group.isEmpty() && !m_item.groups.contains(group))
                    m_item.groups.append(group);
            }
        } else if (line.name == QLatin1String("PHOTO")) {
            const QByteArray data = line.binaryValue();
            if (!data.isEmpty())
                c.insert(contactkey::kImage, data);
        } else if (const ListProperty* list = listPropertyNamed(line.name)) {
            QVariantMap sub{{platform::ISyncRecordEntityNameKey, *list->entity}};
            if (line.name == QLatin1String("ADR")) {
                const QStringList parts = line.components();
                QStringList street;
                for (int i = 0; i < 3; ++i) {
                    if (!parts.value(i).isEmpty())
                        street.append(parts.value(i));
                }
                setIfNotEmpty(sub, contactkey::kStreet, street.join(QLatin1Char('\n')));
                for (int i = 1; i < addressKeys().size(); ++i)
                    setIfNotEmpty(sub, addressKeys()[i], parts.value(i + 2));
            } else {
                QString value = line.text();
                if (line.name == QLatin1String("TEL") && value.startsWith(QLatin1String("tel:")))
                    value = value.mid(4);
                sub.insert(kValue, value);
            }
            setIfNotEmpty(sub, kType, typeFromWords(line.parameterValues(QStringLiteral("TYPE"), true)));
            if (!line.group.isEmpty()) {
                for (const ContentLine& other : all) {
                    if (other.group == line.group && other.name == QLatin1String("X-ABLABEL"))
                        setIfNotEmpty(sub, kLabel, other.text());
                }
            }
            m_item.subRecords.append(sub);
        } else {
            for (const TextProperty& p : kTextProperties) {
                if (line.name == QLatin1String(p.name))
                    setIfNotEmpty(c, QString::fromLatin1(p.key), line.text());
            }
        }
    }

    ContactItem m_item;
};

QString displayName(const ContactItem& item)
{
    QStringList parts;
    for (const char* key : {contactkey::kFirstName, contactkey::kMiddleName, contactkey::kLastName}) {
        const QString part = item.contact.value(key).toString();
        if (!part.isEmpty())
            parts.append(part);
    }
    if (!parts.isEmpty())
        return parts.join(QLatin1Char(' '));
    for (const QString& key : {QString(contactkey::kCompanyName), kNickname}) {
        if (!item.contact.value(key).toString().isEmpty())
            return item.contact.value(key).toString();
    }
    for (const QVariantMap& sub : item.subRecords) {
        if (!sub.value(kValue).toString().isEmpty())
            return sub.value(kValue).toString();
    }
    return {};
}

} // namespace

QString listKeyForEntity(const QString& entityName)
{
    const ListProperty* p = listPropertyForEntity(entityName);
    return p ? QString::fromLatin1(p->listKey) : QString();
}

std::optional<ContactItem> readContactCard(const QByteArray& text, QString* error)
{
    return CardReader().read(text, error);
}

QByteArray writeContactCard(const ContactItem& item, const QByteArray& previousText)
{
    const QVariantMap& c = item.contact;
    ContentWriter out;
    out.line(QStringLiteral("BEGIN:VCARD"));
    out.line(QStringLiteral("VERSION:3.0"));
    out.line(QStringLiteral("UID:") + escapeText(item.uid));
    QStringList name;
    for (const QString& key : nameKeys())
        name.append(escapeText(c.value(key).toString()));
    out.line(QStringLiteral("N:") + name.join(QLatin1Char(';')));
    out.line(QStringLiteral("FN:") + escapeText(displayName(item)));
    const QString company = c.value(contactkey::kCompanyName).toString();
    const QString department = c.value(contactkey::kDepartment).toString();
    if (!company.isEmpty() || !department.isEmpty()) {
        QString org = QStringLiteral("ORG:") + escapeText(company);
        if (!department.isEmpty())
            org += QLatin1Char(';') + escapeText(department);
        out.line(org);
    }
    for (const TextProperty& p : kTextProperties) {
        const QString value = c.value(QString::fromLatin1(p.key)).toString();
        if (!value.isEmpty())
            out.line(QString::fromLatin1(p.name) + QLatin1Char(':') + escapeText(value));
    }
    const QDateTime birthday = c.value(contactkey::kBirthday).toDateTime();
    if (birthday.isValid())
        out.line(QStringLiteral("BDAY:") + birthday.toUTC().date().toString(Qt::ISODate));
    const QByteArray photo = c.value(contactkey::kImage).toByteArray();
    if (!photo.isEmpty()) {
        out.line(QStringLiteral("PHOTO;ENCODING=b;TYPE=%1:").arg(photoType(photo))
                 + QString::fromLatin1(photo.toBase64()));
    }
    if (!item.groups.isEmpty()) {
        QStringList groups;
        for (const QString& group : item.groups)
            groups.append(escapeText(group));
        out.line(QStringLiteral("CATEGORIES:") + groups.join(QLatin1Char(',')));
    }
    // Lines of the previous text kept as they are: properties the mapping does
    // not know, and the labels of such properties.
    const QStringList previous = unfoldedLines(previousText);
    QSet<QString> mappedGroups;
    QSet<QString> keptGroups;
    for (const QString& old : previous) {
        if (listPropertyNamed(propertyNameOfLine(old)))
            mappedGroups.insert(groupOfLine(old).toUpper());
    }
    QStringList kept;
    for (const QString& old : previous) {
        const QString name = propertyNameOfLine(old);
        const QString oldGroup = groupOfLine(old).toUpper();
        const bool mapped = name == QLatin1String("X-ABLABEL") ? mappedGroups.contains(oldGroup)
                                                               : mappedProperties().contains(name);
        if (!mapped) {
            kept.append(old);
            keptGroups.insert(oldGroup);
        }
    }
    int group = 0;
    for (const QVariantMap& sub : item.subRecords) {
        const ListProperty* p = listPropertyForEntity(sub.value(platform::ISyncRecordEntityNameKey).toString());
        if (!p)
            continue;
        const QString label = sub.value(kLabel).toString();
        QString prefix;
        if (!label.isEmpty()) {
            do
                prefix = QStringLiteral("item%1").arg(++group);
            while (keptGroups.contains(prefix.toUpper()));
            prefix += QLatin1Char('.');
        }
        QString text = prefix + QString::fromLatin1(p->name);
        const QStringList words = typeWords(sub.value(kType).toString());
        if (!words.isEmpty())
            text += QStringLiteral(";TYPE=") + words.join(QLatin1Char(','));
        text += QLatin1Char(':');
        if (p->name == QLatin1String("ADR")) {
            QStringList parts{QString(), QString()};
            for (const QString& key : addressKeys())
                parts.append(escapeText(sub.value(key).toString()));
            text += parts.join(QLatin1Char(';'));
        } else {
            text += escapeText(sub.value(kValue).toString());
        }
        out.line(text);
        if (!label.isEmpty())
            out.line(prefix + QStringLiteral("X-ABLabel:") + escapeText(label));
    }
    for (const QString& line : kept)
        out.line(line);
    out.line(QStringLiteral("END:VCARD"));
    return out.text();
}

} // namespace desktopstore
