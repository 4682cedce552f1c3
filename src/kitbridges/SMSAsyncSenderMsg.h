#pragma once

class SMSAsyncSender;

// What the SMS send job hears from its bridge.
class SMSAsyncSenderMsg {
public:
    virtual ~SMSAsyncSenderMsg() = default;
    // prozDone: parts sent over parts expected (above 1.0 when the kit sends
    // more parts than the caller counted).
    virtual void smsMessagePartSent(SMSAsyncSender* bridge, float prozDone) = 0;
    virtual void smsSendTextMessageFinished(SMSAsyncSender* bridge, int errorCode) = 0;
};
