#pragma once

#include "kestrova/core/SmsKitVendorChain.h"
#include "platform/Clock.h"

#include <memory>

class SLTCommDeviceLgSmsExt;
class SLTCommDeviceLgMessages;

// The SMS chains of LG phones: reading the boxes over the application port,
// deleting messages by their places, and fetching the service-centre address
// before the first send, which then goes out over AT commands (family "se")
// after the port closed and 3.0 s passed. Each request ends with exactly one
// final callback; a read that fails after the port opened closes the port in
// order first. Main thread only.
class QVSmsKitAsyncLgSmsExt : public SmsKitVendorChain {
public:
    static constexpr double kSendPause = 3.0;

    explicit QVSmsKitAsyncLgSmsExt(QVSmsKitAsync& kit);
    ~QVSmsKitAsyncLgSmsExt() override;

    bool startReading() override;
    bool deleteMessages() override;
    bool sendTextMessage() override;
    bool abortAction() override;

private:
    SLTCommDeviceLgSmsExt& port();
    SLTCommDeviceLgMessages& messages();
    SLTInvocationPtr stage(void (QVSmsKitAsyncLgSmsExt::*method)(const QVariantMap&));
    void closePort(const SLTInvocationPtr& stage);
    void finishReading(int errorCode);
    void prepareReadingStage2(const QVariantMap& answer);
    void readingStage2(const QVariantMap& answer);
    void deleteStage2(const QVariantMap& answer);
    void smscStage2(const QVariantMap& answer);
    void finishSending(int errorCode);

    bool _doAbort = false;
    bool _finished = true;
    bool _closing = false;
    int _failure = 0;
    SLTInvocationPtr _stage;
    platform::Timer _sendTimer;
};
