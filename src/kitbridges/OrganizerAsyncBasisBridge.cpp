#include "kitbridges/OrganizerAsyncBasisBridge.h"

#include "kitbridges/KitBridgeDevice.h"
#include "kitbridges/KitBridgesLog.h"
#include "links/MFDeviceLinkOwner.h"
#include "platform/RunLoop.h"

OrganizerAsyncBasisBridge::~OrganizerAsyncBasisBridge()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    if (!_smsKit)
        return;
    _smsKit->setCallback(nullptr);
    platform::runloop::performOnMainThread([kit = std::move(_smsKit)]() mutable { kit.reset(); });
}

void OrganizerAsyncBasisBridge::initBasisWithAddress(MFDeviceLinkOwner* device, const OrganizerKitMaker& makeKit)
{
    qCInfo(lcKitBridges).noquote() << "initBasisWithAddress:"
                                   << (device ? device->connType() : QStringLiteral("(null)"));
    _mfDevice = device;
    if (!device)
        return;
    const kitbridge::KitLink link = kitbridge::kitLinkOf(device);
    if (!link.served) {
        MMConnLog(QStringLiteral("[%1 initBasisWithAddress] no kit for the connection type \"%2\"")
                      .arg(className(), device->connType()));
        return;
    }
    _smsKit = makeKit ? makeKit() : nullptr;
    if (!_smsKit)
        return;
    _smsKit->setCallback(this);
    if (link.bluetooth)
        _smsKit->setAddressString(link.address);
    else
        _smsKit->setFilename(link.address);
    _smsKit->setFamily(kitbridge::familyOf(device, 0));
}

void OrganizerAsyncBasisBridge::fullStop()
{
    _isRunning = false;
    if (!_smsKit)
        return;
    if (kitbridge::isLgFamily(kitbridge::familyOf(_mfDevice, 0)))
        _smsKit->abortActionAsync();
    else
        _smsKit->fullStop();
}

void OrganizerAsyncBasisBridge::abortAction()
{
    if (_isRunning)
        fullStop();
}

void OrganizerAsyncBasisBridge::freeCallbackObject()
{
    if (_smsKit)
        _smsKit->setCallback(nullptr);
}

void OrganizerAsyncBasisBridge::DOXLog(const QString& line)
{
    MMXTLog(line);
}
