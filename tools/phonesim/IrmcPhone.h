#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace phonesim {

// A phonebook behind the OBEX target "IRMC-SYNC": entries with LUIDs, the
// index objects "telecom/pb/<n>.vcf" (1 upward), an information log, a change
// counter and a change log, and writes to "telecom/pb/luid/<LUID>.vcf"
// ("zapis" or an unknown LUID: a new entry) answered with the LUID and the new
// counter in App-Parameters (none on a phone without level 4). A write
// without data deletes. The database id can change, the phonebook has a
// capacity, and the change log can be replaced by "*" or any text.
class IrmcPhone {
public:
    struct Entry {
        QString luid;
        QByteArray card; // "BEGIN:VCARD" .. "END:VCARD\r\n", without X-IRMC-LUID
    };
    struct Change {
        char type = 'M';
        int counter = 0;
        QString luid;
    };
    struct PutAnswer {
        quint8 code = 0xA0;
        QByteArray appParams; // empty: no App-Parameters header
    };

    // The phone's own names for its objects.
    static bool handles(const QString& name);
    static QByteArray card(const QString& name, const QString& number);

    // Adds an entry as the phone's user would (a change of the log).
    QString addEntry(const QByteArray& card);
    bool modifyEntry(const QString& luid, const QByteArray& card);
    bool removeEntry(const QString& luid);

    // The answer to a Get of the name; nullopt: Not Found.
    std::optional<QByteArray> get(const QString& name) const;
    PutAnswer put(const QString& name, const QByteArray& data, bool hasBody);

    void setLevel4(bool on) { _level4 = on; }
    void setWrapped(bool on) { _wrapped = on; }
    void setDatabaseID(const QString& id) { _databaseID = id; }
    void setCapacity(int entries) { _capacity = entries; }
    // The answer to a Get of the name instead of the real object (an empty
    // one answers an empty body); clearOverride brings the real one back.
    void setOverride(const QString& name, const QByteArray& answer) { _overrides.insert(name, answer); }
    void clearOverride(const QString& name) { _overrides.remove(name); }

    const QList<Entry>& entries() const { return _entries; }
    std::optional<Entry> entry(const QString& luid) const;
    int changeCounter() const { return _counter; }
    QString databaseID() const { return _databaseID; }
    // Object names written and read, in order.
    const QStringList& writes() const { return _writes; }
    const QStringList& reads() const { return _reads; }

private:
    QByteArray served(const Entry& entry) const;
    QByteArray infoLog() const;
    QByteArray changeLogSince(const QString& anchor) const;
    QByteArray phonebook() const;
    int indexOf(const QString& luid) const;
    void noteChange(char type, const QString& luid);

    QList<Entry> _entries;
    QList<Change> _changes;
    int _counter = 0;
    int _nextLuid = 1;
    bool _level4 = true;
    bool _wrapped = true;
    int _capacity = 500;
    QString _databaseID = QStringLiteral("4F1A");
    QMap<QString, QByteArray> _overrides;
    QStringList _writes;
    mutable QStringList _reads;
};

} // namespace phonesim
