#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <vector>

class QMimeData;
class QVVCardElem;

// What the contacts pane puts on the clipboard and into drags, and what it
// takes from them: our own MIME types, vCard files written for drags and
// exports, and the people dictionary of the address-book data.
namespace contactsviewtransfer {

using Contact = std::shared_ptr<QVVCardElem>;
using Contacts = std::vector<Contact>;

// vCards (one or more cards in one text, UTF-8).
inline const QString kVCardMime = QStringLiteral("text/vcard");
// Address-book people: an XML property list, unique id -> person dictionary.
inline const QString kPeopleDictMime = QStringLiteral("application/x-marvesto-address-book-people");
// Address-book unique ids, one a line (UTF-8).
inline const QString kPeopleUIDsMime = QStringLiteral("application/x-marvesto-address-book-uids");
// Marks a drag that came out of an organizer pane; holds the pane's kind.
inline const QString kOrganizerMime = QStringLiteral("application/x-marvesto-organizer");
inline const QString kOrganizerContacts = QStringLiteral("Contacts");
// The mirror's temporary sub-folder dragged contacts are written to.
inline const QString kDragFolderName = QStringLiteral("OrganizerContacts");
// Picture sizes of the vCard 2.1 texts: with the photo as stored, without it.
inline constexpr QSize kWithPictures{0, 0};
inline constexpr QSize kWithoutPictures{-1, -1};

// The file name of a drag of these contacts: the first one's name with
// ".vcf", or "others_filename" with the name and the number of further ones;
// safe as one word of a path. Null without contacts.
QString fileNameForContacts(const Contacts& contacts);
// The contacts' vCard 2.1 texts in order, UTF-8; contacts without text are
// left out (skipped counts them when given).
QByteArray vCardsData(const Contacts& contacts, QSize pictureSize, int* skipped = nullptr);
// Writes the contacts' vCards (with pictures) as one file into folder (made
// when missing), replacing a file of that name; the path, or null when there
// is nothing to write or the write failed.
QString writeVCardFile(const Contacts& contacts, const QString& folder);

// The address-book person of a contact: its vCard 3.0 text read as the
// address book reads it (UTF-8), every field with a value; multi-values (numbers, e-mail
// addresses, URLs, addresses) as {"identifiers", "labels", "values",
// "primary"}. Its unique id is "uid". None when the card does not read.
std::optional<QVariantMap> personDictionary(QVVCardElem& contact);

// The copy of a selection: the names as text ("name\n", then "\nname\n"), the
// vCards as text/vcard and the people dictionary. A contact that gives no
// vCard text adds its name only. Null without contacts.
QMimeData* copyMimeData(const Contacts& contacts);

// The vCard texts on a clipboard or in a drop: text/vcard, else plain text
// that holds vCards. Empty when there are none.
QStringList vCardTextsFromMime(const QMimeData& mime);
// Address-book unique ids of a drop or paste: the ids list, else the keys of
// the people dictionary.
QStringList peopleUIDsFromMime(const QMimeData& mime);
// Local files of a drop.
QStringList localFilesFromMime(const QMimeData& mime);

} // namespace contactsviewtransfer
