#pragma once

#include "sync/QVSyncSession.h"

#include <memory>

class DZDeviceConnection;

// The SyncML session for phones that, once switched to SyncML, open the OBEX
// session themselves: the phone PUTs each of its messages and GETs the
// answer. The SyncML roles stay (the program is the SyncML server); only
// the OBEX roles are turned round.
class QVServerSyncSession : public QVSyncSession {
public:
    // Null when the phone has no sync description.
    static std::unique_ptr<QVServerSyncSession> serverSyncSessionWithConnection(SyncMLConnection& connection,
                                                                                QVSessionUser* notifier);

    // The phone's PUT has been collected (or failed).
    void receivedCommandFromClientFinished(ObjectPushCommand& command) override;

    // A session on the device's OBEX SyncML connection, owning the link to
    // it; null when the connection is not an OBEX SyncML one or the phone
    // has no sync description. What MFDevice hands to a sync job.
    static std::shared_ptr<QVServerSyncSession> sessionForDeviceConnection(DZDeviceConnection& connection,
                                                                           QVSessionUser* notifier);
    // Makes the device hand out these sessions (at program start).
    static void installAsDeviceSessionMaker();

private:
    using QVSyncSession::QVSyncSession;
};
