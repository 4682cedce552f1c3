#include "organizer/contacts/ContactStore.h"

#include "desktopstore/ContactCard.h"
#include "desktopstore/DesktopStore.h"
#include "formats/VCardGenerator.h"
#include "organizer/OrganizerLog.h"
#include "organizer/contacts/QuorABStringExtensions.h"
#include "platform/SyncChange.h"
#include "syncmodel/QVVCardElem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>

namespace {

const QString kContactFileSuffix = QStringLiteral(".vcf");

// "<mtime ns>-<size>-<inode>" of a contact file, empty when it cannot be seen.
QString contactFileEtag(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    const qint64 ns = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return QStringLiteral("%1-%2-%3").arg(ns).arg(qint64(st.st_size)).arg(quint64(st.st_ino));
}

QString contactSubValue(const QVariantMap& sub, const QString& key)
{
    return sub.value(key).toString();
}

ContactPersonPtr contactPersonFromFile(const QString& fileName, const QByteArray& text, QString* error)
{
    const std::optional<desktopstore::ContactItem> item = desktopstore::readContactCard(text, error);
    if (!item)
        return nullptr;
    auto person = std::make_shared<ContactPerson>();
    const QVariantMap& c = item->contact;
    person->uid = item->uid;
    person->firstName = c.value(contactkey::kFirstName).toString();
    person->middleName = c.value(contactkey::kMiddleName).toString();
    person->lastName = c.value(contactkey::kLastName).toString();
    person->organization = c.value(contactkey::kCompanyName).toString();
    person->department = c.value(contactkey::kDepartment).toString();
    person->jobTitle = c.value(contactkey::kJobTitle).toString();
    person->photo = c.value(contactkey::kImage).toByteArray();
    person->vCardText = text;
    person->fileName = fileName;
    for (const QVariantMap& sub : item->subRecords) {
        const QString entity = sub.value(platform::ISyncRecordEntityNameKey).toString();
        const QString value = contactSubValue(sub, QStringLiteral("value")).trimmed();
        if (value.isEmpty())
            continue;
        QString label = cleanLabel(contactSubValue(sub, QStringLiteral("label")));
        if (label.isEmpty())
            label = contactSubValue(sub, QStringLiteral("type"));
        if (entity == platform::entity::PhoneNumber)
            person->phones.append({label, value});
        else if (entity == platform::entity::EmailAddress)
            person->emails.append({label, value});
    }
    return person;
}

// Address-book order: by display name without case, nameless people last,
// then by file name so the order never depends on the folder listing.
bool contactPersonBefore(const ContactPersonPtr& a, const ContactPersonPtr& b)
{
    const QString an = a->displayName();
    const QString bn = b->displayName();
    if (an.isEmpty() != bn.isEmpty())
        return bn.isEmpty();
    const int byName = an.compare(bn, Qt::CaseInsensitive);
    if (byName != 0)
        return byName < 0;
    return a->fileName < b->fileName;
}

} // namespace

QString ContactPerson::displayName() const
{
    if (!firstName.isEmpty() && !lastName.isEmpty())
        return QStringLiteral("%1 %2").arg(firstName, lastName);
    if (!firstName.isEmpty())
        return firstName;
    if (!lastName.isEmpty())
        return lastName;
    return organization;
}

ContactStore::ContactStore(const QString& rootPath, QObject* parent)
    : QObject(parent)
    , m_root(rootPath.isEmpty() ? desktopstore::DesktopStore::defaultRootPath() : rootPath)
{
    m_rescanTimer.setCallback([this] { rescan(); });
    rescan();
}

ContactStore::~ContactStore() = default;

QString ContactStore::contactsFolder() const
{
    return m_root + QLatin1Char('/') + desktopstore::kContactsFolderName;
}

void ContactStore::watch()
{
    // The watcher is made again on every read: a folder that is removed and
    // made anew (or appears for the first time) is watched from then on.
    const QString folder = contactsFolder();
    QStringList wanted;
    if (QFileInfo(folder).isDir())
        wanted.append(folder);
    else if (QFileInfo(m_root).isDir())
        wanted.append(m_root);
    else
        wanted.append(QFileInfo(m_root).absolutePath());
    if (m_watcher && m_watcher->directories() == wanted)
        return;
    m_watcher = std::make_unique<QFileSystemWatcher>();
    for (const QString& path : wanted) {
        if (QFileInfo(path).isDir())
            m_watcher->addPath(path);
    }
    connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, this, [this] { folderChanged(); });
}

void ContactStore::folderChanged()
{
    m_rescanTimer.start(kRescanDelay);
}

void ContactStore::rescan()
{
    m_rescanTimer.stop();
    const QString folder = contactsFolder();
    const QStringList names = QDir(folder).entryList({QStringLiteral("*") + kContactFileSuffix},
                                                    QDir::Files | QDir::Readable, QDir::Name);
    bool changed = false;
    QHash<QString, FileState> next;
    next.reserve(names.size());
    for (const QString& name : names) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        const QString etag = contactFileEtag(path);
        const auto known = m_files.constFind(name);
        if (known != m_files.cend() && !etag.isEmpty() && known->etag == etag) {
            next.insert(name, *known);
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;   // gone between the listing and now; the next notice reads it
        const QByteArray text = file.readAll();
        QString error;
        FileState state{etag, contactPersonFromFile(name, text, &error)};
        if (!state.person)
            qCWarning(lcOrganizer).noquote() << "contact file skipped:" << path << "-" << error;
        const bool hadPerson = known != m_files.cend() && known->person;
        changed = changed || state.person || hadPerson;
        next.insert(name, state);
    }
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        if (it->person && !next.contains(it.key()))
            changed = true;
    }
    m_files = std::move(next);
    watch();
    if (!changed)
        return;
    rebuildIndex();
    Q_EMIT contactsChanged();
}

void ContactStore::rebuildIndex()
{
    m_people.clear();
    m_people.reserve(m_files.size());
    for (const FileState& state : std::as_const(m_files)) {
        if (state.person)
            m_people.push_back(state.person);
    }
    std::sort(m_people.begin(), m_people.end(), contactPersonBefore);
    m_byUid.clear();
    m_nameKeys.clear();
    m_byDigits.clear();
    m_bySuffix.clear();
    m_nameKeys.reserve(m_people.size());
    for (int i = 0; i < int(m_people.size()); ++i) {
        const ContactPerson& p = *m_people[size_t(i)];
        if (!p.uid.isEmpty() && !m_byUid.contains(p.uid))
            m_byUid.insert(p.uid, i);
        QStringList keys;
        for (const QString& part : {p.firstName, p.lastName, p.organization, p.displayName()}) {
            if (!part.isEmpty())
                keys.append(part.toLower());
        }
        m_nameKeys.push_back(keys);
        for (int n = 0; n < p.phones.size(); ++n) {
            const QString digits = purePhoneNumber(p.phones[n].value);
            if (digits.isEmpty())
                continue;
            m_byDigits[digits].push_back({i, n, digits});
            if (digits.size() >= kMinSuffixDigits)
                m_bySuffix[digits.right(kMinSuffixDigits)].push_back({i, n, digits});
        }
    }
}

QList<ContactPersonPtr> ContactStore::people() const
{
    return QList<ContactPersonPtr>(m_people.cbegin(), m_people.cend());
}

ContactPersonPtr ContactStore::personByUid(const QString& uid) const
{
    const auto it = m_byUid.constFind(uid);
    return it == m_byUid.cend() ? nullptr : m_people[size_t(*it)];
}

QList<ContactPersonPtr> ContactStore::peopleWithNamePrefix(const QString& prefix) const
{
    if (prefix.isEmpty())
        return people();
    const QString lower = prefix.toLower();
    QList<ContactPersonPtr> found;
    for (size_t i = 0; i < m_people.size(); ++i) {
        for (const QString& key : m_nameKeys[i]) {
            if (key.startsWith(lower)) {
                found.append(m_people[i]);
                break;
            }
        }
    }
    return found;
}

QString ContactStore::purePhoneNumber(const QString& text)
{
    return QVVCardElem::purePhoneNumber(text);
}

namespace {

bool contactDigitsMatch(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (a == b)
        return true;
    const QString& shorter = a.size() < b.size() ? a : b;
    const QString& longer = a.size() < b.size() ? b : a;
    return shorter.size() >= ContactStore::kMinSuffixDigits && longer.endsWith(shorter);
}

} // namespace

bool ContactStore::numbersMatch(const QString& a, const QString& b)
{
    return contactDigitsMatch(purePhoneNumber(a), purePhoneNumber(b));
}

ContactNumberMatch ContactStore::findBestPersonForNumber(const QString& number) const
{
    const QString digits = purePhoneNumber(number);
    if (digits.isEmpty())
        return {};
    // The first match in address-book order, then the person's number order.
    const NumberRef* best = nullptr;
    const auto consider = [&best, &digits](const std::vector<NumberRef>& refs) {
        for (const NumberRef& ref : refs) {
            if (!contactDigitsMatch(ref.digits, digits))
                continue;
            if (!best || ref.person < best->person || (ref.person == best->person && ref.phone < best->phone))
                best = &ref;
        }
    };
    const auto exact = m_byDigits.constFind(digits);
    if (exact != m_byDigits.cend())
        consider(*exact);
    if (digits.size() >= kMinSuffixDigits) {
        const auto suffix = m_bySuffix.constFind(digits.right(kMinSuffixDigits));
        if (suffix != m_bySuffix.cend())
            consider(*suffix);
    }
    if (!best)
        return {};
    return {m_people[size_t(best->person)], best->phone};
}
