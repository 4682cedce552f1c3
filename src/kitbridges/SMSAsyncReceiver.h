#pragma once

class SMSAsyncBridge;

// What the SMS read job hears from its bridge.
class SMSAsyncReceiver {
public:
    virtual ~SMSAsyncReceiver() = default;
    // The read ended; the bridge's msgList holds what was gathered.
    virtual void smsReceived(SMSAsyncBridge* bridge, int status) = 0;
    virtual void displayProgress(int value) = 0;
    virtual void displayPercent(int percent) = 0;
};
