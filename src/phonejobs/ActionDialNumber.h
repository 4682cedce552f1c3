#pragma once

#include "phonejobs/ActionDUNServices.h"

#include "platform/Clock.h"

// Dials a number on the phone and follows the call, one step a second:
// 0 preparing, 1 dialling, 2 waiting for the dial's answer, 3 asking the
// phone's activity, 4 waiting for that answer, 5 hanging up, 6 waiting for
// the hang-up's answer, 7 ending with the last answer, 8 ending with 0. A
// cancel turns a running call to the hang-up.
class ActionDialNumber : public ActionDUNServices {
public:
    explicit ActionDialNumber(const QString& number);
    ~ActionDialNumber() override;
    static std::shared_ptr<ActionDialNumber> allocActionDialNumber(const QString& number);

    int startAction() override;
    QString description() const override;
    // "NO_CARRIER" for busy and no carrier, "DIAL_ERROR" for anything else.
    QString generateErrorString(int code) const override;
    QString displayString() const override;
    bool cancelAction() override;
    // One step of the state machine.
    void dialTimer();
    // Stops the dial timer, however the job ends.
    void endAction(int code) override;

    int dialingState() const { return _dialingState; }
    QString number() const { return _number; }

private:
    int step(CommonSerialConnection* link);
    // An answer that is complete but no dial answer (a "+CME ERROR: 30").
    bool isRefusal(CommonSerialConnection& link) const;

    QString _number;
    int _dialingState = 0;
    int _dialError = 0;
    bool _inLoop = false;
    int _hangUpWaits = 0;
    platform::Timer _dialTimer;
};
