#pragma once

#include <QString>
#include <QVariant>

class QVBaseSession;

// The job that drives a sync session (its notifier). The jobs implement it;
// a session reaches its job only through it.
class QVSessionUser {
public:
    virtual ~QVSessionUser() = default;

    // The state text and progress; NO when the job was cancelled, which
    // makes the session stop.
    virtual bool notifySyncMLAction(const QString& text, float percent) = 0;
    // The job lets the property's item list merge the session's sync info
    // and hands the commands to send back with setDownloadObjects().
    virtual int deliverIncomingData(QVBaseSession& session) = 0;
    // The session's result as decimal text.
    virtual void notifySyncFinished(const QString& result) = 0;
    virtual void displayPercent(int percent) = 0;
    virtual void processAction(const QVariant& action) = 0;
};
