#pragma once

#include "kestrova/core/organizerKitAsync.h"
#include "kitbridges/BridgeKits.h"

#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

class MFDeviceLinkOwner;

// The base of the organizer bridges: one organizer kit for one job,
// configured as the SMS bridges configure theirs. The job owns the bridge;
// the bridge owns its kit, clears the kit's callback when it goes and lets
// the kit go on a later pass of the event loop. Main thread only.
class OrganizerAsyncBasisBridge : public organizerKitAsync,
                                  public std::enable_shared_from_this<OrganizerAsyncBasisBridge> {
public:
    ~OrganizerAsyncBasisBridge() override;
    OrganizerAsyncBasisBridge(const OrganizerAsyncBasisBridge&) = delete;
    OrganizerAsyncBasisBridge& operator=(const OrganizerAsyncBasisBridge&) = delete;

    // Clears the running flag and stops the kit by the phone's family (a
    // family beginning "lg": abortActionAsync, else fullStop).
    void fullStop();
    // The job's cancel: stops only while a read runs.
    void abortAction();
    void freeCallbackObject();
    void DOXLog(const QString& line);
    // The data of the last read callback, as the kit delivered it.
    const std::optional<QVariantMap>& msgDict() const { return _msgDict; }

    bool hasKit() const { return bool(_smsKit); }
    bool isRunning() const { return _isRunning; }
    std::weak_ptr<OrganizerBridgeKit> kit() const { return _smsKit; }

protected:
    OrganizerAsyncBasisBridge() = default;
    void initBasisWithAddress(MFDeviceLinkOwner* device, const OrganizerKitMaker& makeKit);
    virtual QString className() const = 0;
    std::shared_ptr<OrganizerAsyncBasisBridge> keepAlive() { return weak_from_this().lock(); }

    MFDeviceLinkOwner* _mfDevice = nullptr;
    std::shared_ptr<OrganizerBridgeKit> _smsKit;
    bool _isRunning = false;
    std::optional<QVariantMap> _msgDict;
};
