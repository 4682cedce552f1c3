#pragma once

#include "SyncMLClientScript.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

namespace phonesim {

class ObexServer;

// The phone's side of one SyncML sync of one database, as SyncML client
// after the program's notification: it opens with its Alert, sends its items
// (all in one message), answers the program's commands with a status each
// and maps what it added, then closes. Scripts:
// - a phone with items (a first, slow sync);
// - a wiped phone: a slow sync that delivers no items at all;
// - a phone that refuses the program's Adds with 420 (memory full) or 500.
// The script runs on phonesim's thread; what it saw is read under its lock.
class SyncMLPhoneScript : public std::enable_shared_from_this<SyncMLPhoneScript> {
public:
    // The program's database name (the Alert's target) and the phone's own.
    SyncMLPhoneScript(QStringList items, QString programDB = QStringLiteral("Contacts"),
                      QString phoneDB = QStringLiteral("./contacts"), int addStatus = 200);
    static std::shared_ptr<SyncMLPhoneScript> withItems(const QStringList& items,
                                                        const QString& programDB = QStringLiteral("Contacts"),
                                                        const QString& phoneDB = QStringLiteral("./contacts"));
    static std::shared_ptr<SyncMLPhoneScript> wipedPhone(const QString& programDB = QStringLiteral("Contacts"),
                                                         const QString& phoneDB = QStringLiteral("./contacts"));
    // status: 420 or 500 (any status of 400 and up refuses).
    static std::shared_ptr<SyncMLPhoneScript> refusingAdds(int status, const QStringList& items,
                                                           const QString& programDB = QStringLiteral("Contacts"),
                                                           const QString& phoneDB = QStringLiteral("./contacts"));

    // Arms the server's SyncML client with this script.
    void install(ObexServer& server);
    QByteArray firstMessage() const;
    // The phone's next message for the program's answer; empty when done.
    QByteArray next(const QByteArray& answer);

    // What the phone saw (under the lock): the program's answers as XML, the
    // items it added (their data), and whether the phone is through.
    QStringList answers() const;
    QStringList addedByProgram() const;
    int statusesSent() const;
    bool finished() const;

    // WBXML of SyncML 1.2 to and from XML; empty when it does not convert.
    static QByteArray toWBXML(const QByteArray& xml);
    static QByteArray toXML(const QByteArray& wbxml);

private:
    QByteArray message(const QString& body) const;
    QString statusesAndMap(const QString& answer, const QString& msgRef);

    mutable QMutex _mutex;
    QStringList _items;
    QString _programDB;
    QString _phoneDB;
    int _addStatus;
    int _msgID = 1;
    bool _itemsSent = false;
    bool _finished = false;
    bool _undecodable = false;
    int _statusesSent = 0;
    int _nextMapID = 900;
    QStringList _answers;
    QStringList _added;
};

} // namespace phonesim
