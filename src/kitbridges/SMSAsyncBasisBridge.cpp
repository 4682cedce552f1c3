#include "kitbridges/SMSAsyncBasisBridge.h"

#include "kitbridges/KitBridgeDevice.h"
#include "kitbridges/KitBridgesLog.h"
#include "links/MFDeviceLinkOwner.h"
#include "platform/RunLoop.h"

SMSAsyncBasisBridge::~SMSAsyncBasisBridge()
{
    kitbridge::releaseKit(_smsKit);
}

void SMSAsyncBasisBridge::initBasisWithAdress(MFDeviceLinkOwner* device, const SmsKitMaker& makeKit)
{
    qCInfo(lcKitBridges).noquote() << "initBasisWithAddress:"
                                   << (device ? device->connType() : QStringLiteral("(null)"));
    _mfDevice = device;
    _smsKit = kitbridge::makeKitFor<SmsBridgeKit>(device, makeKit, this, className(), "initBasisWithAdress");
}

void SMSAsyncBasisBridge::fullStop()
{
    _isRunning = false;
    kitbridge::stopKit(_smsKit.get(), _mfDevice);
}

void SMSAsyncBasisBridge::freeCallbackObject()
{
    if (_smsKit)
        _smsKit->setCallback(nullptr);
}

void SMSAsyncBasisBridge::DOXLog(const QString& line)
{
    MMXTLog(line);
}

void SMSAsyncBasisBridge::logNoKit(const char* method) const
{
    MMConnLog(QStringLiteral("[%1 %2] no kit").arg(className(), QString::fromLatin1(method)));
}
