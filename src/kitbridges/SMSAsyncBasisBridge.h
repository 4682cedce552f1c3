#pragma once

#include "kestrova/core/smsKitAsync.h"
#include "kitbridges/BridgeKits.h"

#include <QString>
#include <memory>

class MFDeviceLinkOwner;

// The base of the SMS bridges: one kit for one job, configured for the job's
// phone ("Bluetooth": its address, "USB-Serial": its port, and the SMS
// family); a phone connected otherwise gets no kit, and every start reports
// it. The job owns the bridge (the makers answer a shared pointer); the bridge
// owns its kit and holds the job's receiver without owning it. When the bridge
// goes it clears the kit's callback and lets the kit go on a later pass of the
// event loop (a bridge may go inside a callback of its kit). Main thread only.
class SMSAsyncBasisBridge : public smsKitAsync, public std::enable_shared_from_this<SMSAsyncBasisBridge> {
public:
    ~SMSAsyncBasisBridge() override;
    SMSAsyncBasisBridge(const SMSAsyncBasisBridge&) = delete;
    SMSAsyncBasisBridge& operator=(const SMSAsyncBasisBridge&) = delete;

    // Stops the kit by the phone's family: a family beginning "lg" aborts its
    // job (abortActionAsync), others stop at once (fullStop).
    void fullStop();
    // Hands the kit an empty callback.
    void freeCallbackObject();
    void DOXLog(const QString& line);

    bool hasKit() const { return bool(_smsKit); }
    bool isRunning() const { return _isRunning; }
    std::weak_ptr<SmsBridgeKit> kit() const { return _smsKit; }

protected:
    SMSAsyncBasisBridge() = default;
    void initBasisWithAdress(MFDeviceLinkOwner* device, const SmsKitMaker& makeKit);
    virtual QString className() const = 0;
    // Keeps the bridge alive while a kit callback runs (the receiver may let
    // it go inside).
    std::shared_ptr<SMSAsyncBasisBridge> keepAlive() { return weak_from_this().lock(); }
    // "[<class> <method>] no kit" to "Conn".
    void logNoKit(const char* method) const;

    MFDeviceLinkOwner* _mfDevice = nullptr;
    std::shared_ptr<SmsBridgeKit> _smsKit;
    bool _isRunning = false;
};
