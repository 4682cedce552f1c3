#pragma once

#include "kestrova/core/SmsKitVendorChain.h"

// The SMS reading of Samsung phones: slot by slot, the phone memory and then
// the SIM, into the boxes "inbox", "drafts" and "sent"; one final callback.
// Main thread only.
class QVSmsKitAsyncSamsungSmsExt : public SmsKitVendorChain {
public:
    explicit QVSmsKitAsyncSamsungSmsExt(QVSmsKitAsync& kit);

    bool startReading() override;

private:
    void startSamsungStage2(const QVariantMap& answer);
    void finish(int errorCode);

    bool _finished = true;
};
