#pragma once

#include "platform/Clock.h"

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QFuture>
#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// One labelled value of a person: a phone number or an e-mail address. The
// label is the vCard's own label (X-ABLabel) when it has one, else its type
// words ("mobile", "home fax"), else empty.
struct ContactLabelledValue {
    QString label;
    QString value;
};

// One person of the desktop address book, as its .vcf file says.
struct ContactPerson {
    QString uid;
    QString firstName;
    QString middleName;
    QString lastName;
    QString organization;
    QString department;
    QString jobTitle;
    QList<ContactLabelledValue> phones;
    QList<ContactLabelledValue> emails;
    QByteArray photo;       // image data as stored, empty for none
    QByteArray vCardText;   // the file's bytes
    QString fileName;       // the file's name inside the contacts folder

    // "First Last" when both are set; else the first name, else the last
    // name, else the organization, else "".
    QString displayName() const;
};

using ContactPersonPtr = std::shared_ptr<const ContactPerson>;

// A person and which of the person's phone numbers a look-up chose.
struct ContactNumberMatch {
    ContactPersonPtr person;
    int phoneIndex = -1;
    explicit operator bool() const { return person != nullptr; }
};

// The address book of this system: the people in the desktop store's
// contacts/ folder (one vCard per .vcf file), kept in step with the folder by
// a watcher and a cheap check of the files' sizes and times every few seconds
// (a folder watch does not see a file rewritten in place). The files are read
// and parsed on a worker thread; the new people are taken in on the main
// thread, which then emits contactsChanged(). The first read starts at
// construction; asking for people before it is done waits for it.
// Read-only: the desktop store and other programs write the folder. A file
// that does not parse, is no regular file or is larger than
// kMaxContactFileBytes is skipped with one log line (again only when the file
// changes). Main thread only.
//
// People are kept in address-book order: by display name (case-insensitive),
// people without any name last, then by file name.
class ContactStore : public QObject {
    Q_OBJECT

public:
    // Seconds a change notice waits for more before the folder is read again
    // (a program writing several files causes one read).
    static constexpr double kRescanDelay = 0.2;
    // A steady stream of notices postpones the read at most this long.
    static constexpr double kMaxRescanWait = 1.0;
    // Seconds between checks of the folder without any notice.
    static constexpr double kPollInterval = 5.0;
    // Larger files are no contact cards.
    static constexpr qint64 kMaxContactFileBytes = 8 * 1024 * 1024;
    // Digits two numbers must share at their end to name the same line when
    // their digit forms differ.
    static constexpr int kMinSuffixDigits = 7;

    // rootPath is the desktop store's root; the people live in its
    // "contacts" folder. Empty: DesktopStore::defaultRootPath().
    explicit ContactStore(const QString& rootPath = QString(), QObject* parent = nullptr);
    ~ContactStore() override;

    QString rootPath() const { return m_root; }
    QString contactsFolder() const;

    // Reads the folder again now, on this thread (only files whose size,
    // time or inode changed are parsed); emits contactsChanged() when
    // something changed.
    void rescan();
    // Whether a read runs on the worker thread.
    bool isReading() const { return m_scanRunning; }

    int count() const;
    // All people in address-book order.
    QList<ContactPersonPtr> people() const;
    ContactPersonPtr personByUid(const QString& uid) const;
    // People whose first name, last name, organization or display name begins
    // with prefix (case-insensitive), in address-book order; all for an empty
    // prefix.
    QList<ContactPersonPtr> peopleWithNamePrefix(const QString& prefix) const;

    // The digits 0-9 of a text in order, without the zeros before the first
    // non-zero digit ("+1 (0)2-3" -> "1023", "0012" -> "12").
    static QString purePhoneNumber(const QString& text);
    // Whether two phone numbers name the same line: equal non-empty digit
    // forms, or the shorter digit form is the end of the longer and has at
    // least kMinSuffixDigits digits ("0171 5550112" and "+49 171 5550112";
    // not "112" and "+49 170 555 0112").
    static bool numbersMatch(const QString& a, const QString& b);
    // The person with the closest matching number: equal digit forms before
    // a common ending, a longer common ending before a shorter one, then the
    // first in address-book order and the person's number order. An empty
    // match when the number has no digits or nobody matches.
    ContactNumberMatch findBestPersonForNumber(const QString& number) const;

Q_SIGNALS:
    // The people changed (added, removed or edited files).
    void contactsChanged();

public:
    struct FileState {
        QString etag;
        ContactPersonPtr person;   // null for a file that does not parse
    };
    // What one read of the folder found.
    struct Scan {
        QHash<QString, FileState> files;
        QStringList warnings;
        bool changed = false;
        quint64 generation = 0;   // of the index the read started from
    };

private:
    // Watches the contacts folder (or the nearest folder above it that
    // exists); true when the watch changed.
    bool watch();
    void folderChanged();
    // Starts a read on the worker thread (or marks one to follow the
    // running one).
    void requestRescan();
    void scanFinished();
    void applyScan(Scan scan, bool notify);
    void rebuildIndex();
    // The first read, waited for when someone asks before it is done.
    void settleFirstRead() const;

    QString m_root;
    QHash<QString, FileState> m_files;   // by file name
    std::vector<ContactPersonPtr> m_people;
    QHash<QString, int> m_byUid;
    // Per person, the lower-cased name words searched by prefix.
    std::vector<QStringList> m_nameKeys;
    // Digit forms of every number: exact form -> (person, number) in order,
    // and the last kMinSuffixDigits digits -> the same for the suffix rule.
    struct NumberRef {
        int person;
        int phone;
        QString digits;
    };
    QHash<QString, std::vector<NumberRef>> m_byDigits;
    QHash<QString, std::vector<NumberRef>> m_bySuffix;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
    QString m_watchedIdentity;   // device and inode of the watched folder
    platform::Timer m_rescanTimer;
    platform::Timer m_pollTimer;
    double m_firstNotice = 0;
    quint64 m_generation = 0;
    QFuture<Scan> m_scan;
    QFutureWatcher<Scan> m_scanWatcher;
    bool m_scanRunning = false;
    bool m_rescanAgain = false;
    bool m_firstReadPending = false;
};
