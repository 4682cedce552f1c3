#pragma once

class ObjectPushCommand;

// What the SyncML and IrMC connections ask of the sync session that drives
// them.
class ObexSyncMLDelegate {
public:
    virtual ~ObexSyncMLDelegate() = default;
    // The switch into the phone's sync mode was not answered.
    virtual void setGlobalError(int status) = 0;
    virtual void finishSession(int status) = 0;
    // Server role: the phone asks for the answer before it was handed over;
    // the session supplies it with a command of code 4.
    virtual void clientSentGetCommand() = 0;
    // Server role: the phone's Put is complete (or failed); the command
    // holds its body.
    virtual void receivedCommandFromClientFinished(ObjectPushCommand& command) = 0;
};
