#include "organizer/contacts/ContactStore.h"

#include "desktopstore/ContactCard.h"
#include "desktopstore/DesktopStore.h"
#include "formats/VCardGenerator.h"
#include "organizer/OrganizerLog.h"
#include "organizer/contacts/QuorABStringExtensions.h"
#include "platform/FileIO.h"
#include "platform/SyncChange.h"
#include "syncmodel/QVVCardElem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPromise>
#include <QThreadPool>

#include <sys/stat.h>

#include <algorithm>
#include <utility>

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

// "<device>-<inode>" of a folder, empty when it cannot be seen.
QString contactFolderIdentity(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return QStringLiteral("%1-%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

enum class ContactFileRead { Read, Gone, Skipped };

// Reads a contact file without ever waiting on it: only a regular file (a
// pipe or device swapped in is refused, not read), at most
// ContactStore::kMaxContactFileBytes.
ContactFileRead contactReadFile(const QString& path, QByteArray* data, QString* why)
{
    if (auto bytes = platform::readRegularFile(path, ContactStore::kMaxContactFileBytes, platform::Symlinks::Follow, why)) {
        *data = std::move(*bytes);
        return ContactFileRead::Read;
    }
    return QFileInfo::exists(path) ? ContactFileRead::Skipped : ContactFileRead::Gone;
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

// One read of the folder: files whose size, time and inode are as known keep
// their person; the others are read and parsed. Runs on any thread.
ContactStore::Scan contactScanFolder(const QString& folder, const QHash<QString, ContactStore::FileState>& known)
{
    ContactStore::Scan scan;
    const QStringList names = QDir(folder).entryList({QStringLiteral("*") + kContactFileSuffix},
                                                    QDir::Files | QDir::Readable, QDir::Name);
    scan.files.reserve(names.size());
    for (const QString& name : names) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        const QString etag = contactFileEtag(path);
        const auto old = known.constFind(name);
        if (old != known.cend() && !etag.isEmpty() && old->etag == etag) {
            scan.files.insert(name, *old);
            continue;
        }
        QByteArray text;
        QString error;
        const ContactFileRead read = contactReadFile(path, &text, &error);
        if (read == ContactFileRead::Gone)
            continue;   // gone between the listing and now; the next notice reads it
        ContactStore::FileState state{etag, nullptr};
        if (read == ContactFileRead::Read)
            state.person = contactPersonFromFile(name, text, &error);
        if (!state.person)
            scan.warnings.append(QStringLiteral("contact file skipped: %1 - %2").arg(path, error));
        const bool hadPerson = old != known.cend() && old->person;
        scan.changed = scan.changed || state.person || hadPerson;
        scan.files.insert(name, state);
    }
    for (auto it = known.cbegin(); it != known.cend(); ++it) {
        if (it->person && !scan.files.contains(it.key()))
            scan.changed = true;
    }
    return scan;
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
    m_rescanTimer.setCallback([this] { requestRescan(); });
    m_pollTimer.setCallback([this] { requestRescan(); });
    connect(&m_scanWatcher, &QFutureWatcherBase::finished, this, [this] { scanFinished(); });
    watch();
    m_firstReadPending = true;
    requestRescan();
    m_pollTimer.start(kPollInterval, true);
}

ContactStore::~ContactStore() = default;

QString ContactStore::contactsFolder() const
{
    return m_root + QLatin1Char('/') + desktopstore::kContactsFolderName;
}

bool ContactStore::watch()
{
    // The watcher is made again whenever the folder to watch is another one:
    // a folder that appears for the first time, or is removed or renamed away
    // and made anew (a watch follows the old folder, not the name).
    const QString folder = contactsFolder();
    QString wanted;
    if (QFileInfo(folder).isDir())
        wanted = folder;
    else if (QFileInfo(m_root).isDir())
        wanted = m_root;
    else
        wanted = QFileInfo(m_root).absolutePath();
    const QString identity = contactFolderIdentity(wanted);
    if (m_watcher && m_watcher->directories() == QStringList{wanted} && identity == m_watchedIdentity)
        return false;
    m_watcher = std::make_unique<QFileSystemWatcher>();
    m_watchedIdentity = identity;
    if (QFileInfo(wanted).isDir())
        m_watcher->addPath(wanted);
    connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, this, [this] { folderChanged(); });
    return true;
}

void ContactStore::folderChanged()
{
    // More notices wait a little longer for the writer to finish, but a
    // steady writer never holds the read off for more than kMaxRescanWait.
    const double now = platform::Clock::instance().now();
    if (!m_rescanTimer.isActive())
        m_firstNotice = now;
    const double left = m_firstNotice + kMaxRescanWait - now;
    m_rescanTimer.start(std::clamp(left, 0.0, kRescanDelay));
}

void ContactStore::rescan()
{
    m_rescanTimer.stop();
    m_firstReadPending = false;
    Scan scan = contactScanFolder(contactsFolder(), m_files);
    scan.generation = m_generation;
    applyScan(std::move(scan), true);
}

void ContactStore::requestRescan()
{
    m_rescanTimer.stop();
    if (m_scanRunning) {
        m_rescanAgain = true;
        return;
    }
    m_scanRunning = true;
    auto promise = std::make_shared<QPromise<Scan>>();
    m_scan = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start(
        [promise, folder = contactsFolder(), known = m_files, generation = m_generation] {
            Scan scan = contactScanFolder(folder, known);
            scan.generation = generation;
            promise->addResult(std::move(scan));
            promise->finish();
        });
    m_scanWatcher.setFuture(m_scan);
}

void ContactStore::scanFinished()
{
    // A read someone already waited for (or a stale report) is done with.
    if (!m_scanRunning || !m_scan.isFinished())
        return;
    m_scanRunning = false;
    m_firstReadPending = false;
    const bool again = std::exchange(m_rescanAgain, false);
    applyScan(m_scan.result(), true);
    if (again)
        requestRescan();
}

void ContactStore::settleFirstRead() const
{
    if (!m_firstReadPending)
        return;
    auto* self = const_cast<ContactStore*>(this);
    self->m_firstReadPending = false;
    self->m_scan.waitForFinished();
    self->m_scanRunning = false;
    const bool again = std::exchange(self->m_rescanAgain, false);
    // Taken in quietly: the caller asked for the people, not for news.
    self->applyScan(m_scan.result(), false);
    if (again)
        self->requestRescan();
}

void ContactStore::applyScan(Scan scan, bool notify)
{
    if (scan.generation != m_generation) {
        // The people changed while this read ran (a read on this thread came
        // first): read again from what is known now.
        requestRescan();
        return;
    }
    for (const QString& warning : std::as_const(scan.warnings))
        qCWarning(lcOrganizer).noquote() << warning;
    m_files = std::move(scan.files);
    ++m_generation;
    // A folder watched only from now on may have got files before the watch.
    if (watch())
        requestRescan();
    if (!scan.changed)
        return;
    rebuildIndex();
    if (notify)
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

int ContactStore::count() const
{
    settleFirstRead();
    return int(m_people.size());
}

QList<ContactPersonPtr> ContactStore::people() const
{
    settleFirstRead();
    return QList<ContactPersonPtr>(m_people.cbegin(), m_people.cend());
}

ContactPersonPtr ContactStore::personByUid(const QString& uid) const
{
    settleFirstRead();
    const auto it = m_byUid.constFind(uid);
    return it == m_byUid.cend() ? nullptr : m_people[size_t(*it)];
}

QList<ContactPersonPtr> ContactStore::peopleWithNamePrefix(const QString& prefix) const
{
    settleFirstRead();
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
    settleFirstRead();
    const QString digits = purePhoneNumber(number);
    if (digits.isEmpty())
        return {};
    // The closest number decides: equal digits first, then the longest
    // common ending, then address-book order and the person's number order.
    const NumberRef* best = nullptr;
    const auto closeness = [&digits](const NumberRef& ref) {
        return ref.digits == digits ? int(digits.size()) + 1 : int(std::min(ref.digits.size(), digits.size()));
    };
    const auto consider = [&best, &digits, &closeness](const std::vector<NumberRef>& refs) {
        for (const NumberRef& ref : refs) {
            if (!contactDigitsMatch(ref.digits, digits))
                continue;
            if (best) {
                const int a = closeness(ref);
                const int b = closeness(*best);
                if (a != b) {
                    if (a < b)
                        continue;
                } else if (ref.person > best->person || (ref.person == best->person && ref.phone >= best->phone)) {
                    continue;
                }
            }
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
