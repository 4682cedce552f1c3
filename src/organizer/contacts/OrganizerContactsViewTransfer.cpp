#include "organizer/contacts/OrganizerContactsViewTransfer.h"

#include "desktopstore/ContactCard.h"
#include "formats/RawVCardUtilities.h"
#include "formats/VCardFileImport.h"
#include "foundation/FormattingUtil.h"
#include "foundation/SafeFileName.h"
#include "organizer/OrganizerLog.h"
#include "platform/FileIO.h"
#include "platform/Localization.h"
#include "platform/PropertyList.h"
#include "syncmodel/QVVCardElem.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QUrl>

namespace contactsviewtransfer {

namespace {

constexpr int kTransferBytesPerContact = 500;
const QString kTransferOthersFileName = QStringLiteral("others_filename");
const QString kTransferFallbackName = QStringLiteral("Contact.vcf");
const QString kTransferEntityKey = QStringLiteral("ISyncRecordEntityNameKey");

QString transferCardText(QVVCardElem& contact, QSize pictureSize)
{
    return contact.foreignVCard21Representation(pictureSize);
}

} // namespace

QString fileNameForContacts(const Contacts& contacts)
{
    if (contacts.empty() || !contacts.front())
        return QString();
    const QString name = contacts.front()->entryName();
    QString file;
    if (contacts.size() == 1)
        file = name + QStringLiteral(".vcf");
    else
        file = FormattingUtil::stringWithFormat(platform::localizedString(kTransferOthersFileName),
                                                {name, int(contacts.size() - 1)});
    return safeFileNameFromDescription(file, kTransferFallbackName);
}

QByteArray vCardsData(const Contacts& contacts, QSize pictureSize, int* skipped)
{
    QByteArray data;
    data.reserve(kTransferBytesPerContact * int(contacts.size()));
    int left = 0;
    for (const Contact& contact : contacts) {
        const QString text = contact ? transferCardText(*contact, pictureSize) : QString();
        if (text.isEmpty()) {
            ++left;
            continue;
        }
        data += text.toUtf8();
    }
    if (skipped)
        *skipped = left;
    return data;
}

QString writeVCardFile(const Contacts& contacts, const QString& folder)
{
    const QString name = fileNameForContacts(contacts);
    const QByteArray data = vCardsData(contacts, kWithPictures);
    if (name.isEmpty() || data.isEmpty())
        return QString();
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name;
    if (QFile::exists(path))
        QFile::remove(path);
    QString error;
    if (!platform::writeFileAtomically(path, data, &error)) {
        qCWarning(lcOrganizer) << "dragged contacts not written:" << error;
        return QString();
    }
    return path;
}

std::optional<QVariantMap> personDictionary(QVVCardElem& contact)
{
    QString text = contact.foreignVCard30Representation(kWithPictures);
    if (text.isEmpty())
        return std::nullopt;
    // The 3.0 rendering ends its lines with a bare CR, which the card reader
    // takes for no break at all: every line ends in CR LF here.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    // The address book reads the card as UTF-8, so every script survives.
    QString error;
    const std::optional<desktopstore::ContactItem> item =
        desktopstore::readContactCard(fixLineBreaks(text.toUtf8()), &error);
    if (!item) {
        qCInfo(lcOrganizer) << "contact" << contact.entryName() << "gives no address-book person:" << error;
        return std::nullopt;
    }
    QVariantMap person;
    for (auto it = item->contact.cbegin(); it != item->contact.cend(); ++it)
        if (it.value().isValid() && !(it.value().typeId() == QMetaType::QString && it.value().toString().isEmpty()))
            person.insert(it.key(), it.value());
    QMap<QString, QVariantMap> multi;
    for (const QVariantMap& sub : item->subRecords) {
        const QString key = desktopstore::listKeyForEntity(sub.value(kTransferEntityKey).toString());
        if (key.isEmpty())
            continue;
        QVariantMap& values = multi[key];
        QVariantList identifiers = values.value(QStringLiteral("identifiers")).toList();
        QVariantList labels = values.value(QStringLiteral("labels")).toList();
        QVariantList list = values.value(QStringLiteral("values")).toList();
        const QString identifier = (item->uid.isEmpty() ? contact.elemUUID() : item->uid) + QLatin1Char('-') + key + QLatin1Char('-')
            + QString::number(identifiers.size());
        identifiers << identifier;
        QString label = sub.value(QStringLiteral("label")).toString();
        if (label.isEmpty())
            label = sub.value(QStringLiteral("type")).toString();
        labels << label;
        list << sub.value(QStringLiteral("value"));
        if (!values.contains(QStringLiteral("primary")))
            values.insert(QStringLiteral("primary"), identifier);
        values.insert(QStringLiteral("identifiers"), identifiers);
        values.insert(QStringLiteral("labels"), labels);
        values.insert(QStringLiteral("values"), list);
    }
    for (auto it = multi.cbegin(); it != multi.cend(); ++it)
        person.insert(it.key(), it.value());
    if (!item->groups.isEmpty())
        person.insert(QStringLiteral("groups"), item->groups);
    // A card without UID is still one person: the contact's record id names it.
    person.insert(QStringLiteral("uid"), item->uid.isEmpty() ? contact.elemUUID() : item->uid);
    return person;
}

QMimeData* copyMimeData(const Contacts& contacts)
{
    if (contacts.empty())
        return nullptr;
    QByteArray names;
    QByteArray cards;
    QVariantMap people;
    bool first = true;
    for (const Contact& contact : contacts) {
        if (!contact)
            continue;
        names += (first ? QStringLiteral("%1\n") : QStringLiteral("\n%1\n")).arg(contact->fullName()).toUtf8();
        first = false;
        const QString card = transferCardText(*contact, kWithPictures);
        if (card.isEmpty())
            continue;
        cards += fixLineBreaks(card.toUtf8());
        if (const std::optional<QVariantMap> person = personDictionary(*contact))
            people.insert(person->value(QStringLiteral("uid")).toString(), *person);
    }
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("text/plain;charset=utf-8"), names);
    mime->setText(QString::fromUtf8(names));
    if (!cards.isEmpty())
        mime->setData(kVCardMime, cards);
    if (!people.isEmpty())
        mime->setData(kPeopleDictMime, platform::plist::toXml(people));
    return mime;
}

QStringList vCardTextsFromMime(const QMimeData& mime)
{
    QString text;
    if (mime.hasFormat(kVCardMime))
        text = QString::fromUtf8(mime.data(kVCardMime));
    else if (mime.hasText())
        text = mime.text();
    if (text.isEmpty())
        return {};
    const std::optional<QStringList> cards = importVCardsFromString(text);
    return cards ? *cards : QStringList();
}

QStringList peopleUIDsFromMime(const QMimeData& mime)
{
    if (mime.hasFormat(kPeopleUIDsMime)) {
        QStringList uids;
        for (const QString& line : QString::fromUtf8(mime.data(kPeopleUIDsMime)).split(QLatin1Char('\n')))
            if (!line.trimmed().isEmpty())
                uids << line.trimmed();
        return uids;
    }
    if (mime.hasFormat(kPeopleDictMime))
        return platform::plist::read(mime.data(kPeopleDictMime)).toMap().keys();
    return {};
}

QStringList localFilesFromMime(const QMimeData& mime)
{
    QStringList files;
    for (const QUrl& url : mime.urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

} // namespace contactsviewtransfer
