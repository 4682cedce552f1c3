#include "kitbridges/OrganizerAsyncBasisBridge.h"

#include "kitbridges/KitBridgeDevice.h"
#include "kitbridges/KitBridgesLog.h"
#include "links/MFDeviceLinkOwner.h"
#include "platform/RunLoop.h"

OrganizerAsyncBasisBridge::~OrganizerAsyncBasisBridge()
{
    platform::runloop::cancelPreviousPerformRequests(this);
    kitbridge::releaseKit(_smsKit);
}

void OrganizerAsyncBasisBridge::initBasisWithAddress(MFDeviceLinkOwner* device, const OrganizerKitMaker& makeKit)
{
    qCInfo(lcKitBridges).noquote() << "initBasisWithAddress:"
                                   << (device ? device->connType() : QStringLiteral("(null)"));
    _mfDevice = device;
    _smsKit = kitbridge::makeKitFor<OrganizerBridgeKit>(device, makeKit, this, className(), "initBasisWithAddress");
}

void OrganizerAsyncBasisBridge::fullStop()
{
    _isRunning = false;
    kitbridge::stopKit(_smsKit.get(), _mfDevice);
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
