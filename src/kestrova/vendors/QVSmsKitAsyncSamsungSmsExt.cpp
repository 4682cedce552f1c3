#include "kestrova/vendors/QVSmsKitAsyncSamsungSmsExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitErrors.h"
#include "kestrova/core/QVSmsKitAsync.h"
#include "kestrova/sms/SLTPduList.h"
#include "kestrova/vendors/SLTCommDeviceSamsungExt.h"

using namespace kestrova::core;
namespace kit = kestrova::kit;

QVSmsKitAsyncSamsungSmsExt::QVSmsKitAsyncSamsungSmsExt(QVSmsKitAsync& kit) : SmsKitVendorChain(kit)
{
}

bool QVSmsKitAsyncSamsungSmsExt::startReading()
{
    _finished = false;
    engine().extension<SLTCommDeviceSamsungExt>().prepareSamsungReading(SLTCommDevice::getInvocationForSelector(
        lifeToken(), {}, [this](const QVariantMap& answer) { startSamsungStage2(answer); }));
    return true;
}

void QVSmsKitAsyncSamsungSmsExt::finish(int errorCode)
{
    if (std::exchange(_finished, true))
        return;
    if (smsKitAsync* cb = callback())
        cb->smsKitReadingFinished(&kit(), errorCode);
    engine().close();
}

void QVSmsKitAsyncSamsungSmsExt::startSamsungStage2(const QVariantMap& answer)
{
    if (_finished)
        return;
    const QString step = answer.value(key(kSLTCommDeviceCommandStep)).toString();
    const QVariant value = answer.value(key(kSLTCommDeviceReturnValue));
    if (step == QLatin1String("progress") && value.isValid()) {
        if (smsKitAsync* cb = callback())
            cb->smsKitReadingProgress(&kit(), value.toFloat());
        return;
    }
    if (!value.canConvert<SLTPduListPtr>() || !value.value<SLTPduListPtr>()) {
        if (value.isValid())
            return;
        const bool linkFailed = answer.contains(key(kSLTCommDeviceConnectionError))
            || answer.contains(key(kSLTCommDeviceCommandQueueConnectionError));
        finish(linkFailed ? kit::kLinkFailed : kit::kFailed);
        return;
    }
    const SLTPduListPtr pdus = value.value<SLTPduListPtr>();
    if (deliverListedBox(pdus))
        finish(kit::kSuccess);
}
