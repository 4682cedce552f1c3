#include "kestrova/vendors/QVSmsKitAsyncLgSmsExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitErrors.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/core/QVSmsKitAsync.h"
#include "kestrova/sms/SLTPduList.h"
#include "kestrova/vendors/LgNames.h"
#include "kestrova/vendors/SLTCommDeviceLgMessages.h"
#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"
#include "kestrova/vendors/StageAnswers.h"

using namespace kestrova::core;
using namespace kestrova::lg;
using kestrova::kitLogWith;
namespace kit = kestrova::kit;

using stageanswers::hasValue;
using stageanswers::is;
using stageanswers::stepOf;

namespace {
int failureCode(const QVariantMap& answer)
{
    if (answer.contains(key(kSLTCommDeviceCommandQueueLgAppConflict)))
        return kit::kLgPortInUse;
    if (answer.contains(key(kSLTCommDeviceConnectionError))
        || answer.contains(key(kSLTCommDeviceCommandQueueConnectionError)))
        return kit::kLinkFailed;
    return kit::kFailed;
}
} // namespace

QVSmsKitAsyncLgSmsExt::QVSmsKitAsyncLgSmsExt(QVSmsKitAsync& kit) : SmsKitVendorChain(kit)
{
}

QVSmsKitAsyncLgSmsExt::~QVSmsKitAsyncLgSmsExt() = default;

SLTCommDeviceLgSmsExt& QVSmsKitAsyncLgSmsExt::port()
{
    return engine().extension<SLTCommDeviceLgSmsExt>();
}

SLTCommDeviceLgMessages& QVSmsKitAsyncLgSmsExt::messages()
{
    return engine().extension<SLTCommDeviceLgMessages>();
}

SLTInvocationPtr QVSmsKitAsyncLgSmsExt::stage(void (QVSmsKitAsyncLgSmsExt::*method)(const QVariantMap&))
{
    return SLTCommDevice::getInvocationForSelector(
        lifeToken(), {}, [this, method](const QVariantMap& answer) { (this->*method)(answer); });
}

bool QVSmsKitAsyncLgSmsExt::abortAction()
{
    _doAbort = true;
    port().lgViewtyOrganizerAbortAction();
    return true;
}

void QVSmsKitAsyncLgSmsExt::closePort(const SLTInvocationPtr& stage)
{
    if (_closing)
        return;
    _closing = true;
    port().lgViewtyDisconnectRequest(stage);
}

// --- Reading ----------------------------------------------------------------

bool QVSmsKitAsyncLgSmsExt::startReading()
{
    _doAbort = false;
    _finished = false;
    _closing = false;
    _failure = 0;
    port().lgViewtyPrepare(stage(&QVSmsKitAsyncLgSmsExt::prepareReadingStage2));
    return true;
}

void QVSmsKitAsyncLgSmsExt::finishReading(int errorCode)
{
    if (std::exchange(_finished, true))
        return;
    messages().readingEnded();
    if (smsKitAsync* cb = callback())
        cb->smsKitReadingFinished(&kit(), errorCode);
}

void QVSmsKitAsyncLgSmsExt::prepareReadingStage2(const QVariantMap& answer)
{
    if (_finished)
        return;
    const QString step = stepOf(answer);
    if (hasValue(answer) && is(step, kSLTCommDeviceLgApplicationPortOpen)) {
        _stage = stage(&QVSmsKitAsyncLgSmsExt::readingStage2);
        messages().lgViewtyHeaderReading(_stage);
        return;
    }
    if (is(step, kProgressStep) && hasValue(answer))
        return;
    kit().fullStop();
    finishReading(failureCode(answer));
}

void QVSmsKitAsyncLgSmsExt::readingStage2(const QVariantMap& answer)
{
    if (_finished)
        return;
    const QString step = stepOf(answer);
    const QVariant value = answer.value(key(kSLTCommDeviceReturnValue));
    if (is(step, kProgressStep) && value.isValid()) {
        if (smsKitAsync* cb = callback())
            cb->smsKitReadingProgress(&kit(), value.toFloat());
        return;
    }
    if (is(step, kSLTCommDeviceLgApplicationPortClosed)) {
        finishReading(value.isValid() ? _failure : failureCode(answer));
        return;
    }
    if (!value.isValid()) {
        // A failure once the port is open: close it in order; the boxes read
        // so far never look like the phone's whole list.
        _failure = failureCode(answer);
        if (_closing || _failure == kit::kLinkFailed) {
            kit().fullStop();
            finishReading(_failure);
            return;
        }
        closePort(_stage);
        return;
    }
    if (_doAbort || is(step, kAbortedStep)) {
        closePort(_stage);
        return;
    }
    if (!value.canConvert<SLTPduListPtr>() || !value.value<SLTPduListPtr>())
        return;
    const SLTPduListPtr pdus = value.value<SLTPduListPtr>();
    if (deliverListedBox(pdus))
        closePort(_stage);
}

// --- Deleting ---------------------------------------------------------------

bool QVSmsKitAsyncLgSmsExt::deleteMessages()
{
    _finished = false;
    _closing = false;
    _stage = stage(&QVSmsKitAsyncLgSmsExt::deleteStage2);
    port().lgViewtyPrepare(_stage);
    return true;
}

void QVSmsKitAsyncLgSmsExt::deleteStage2(const QVariantMap& answer)
{
    if (_finished)
        return;
    const QString step = stepOf(answer);
    if (!hasValue(answer)) {
        _finished = true;
        if (!_closing)
            port().lgViewtyDisconnectRequest(nullptr);
        finishDeleting(failureCode(answer) == kit::kLgPortInUse ? kit::kLgPortInUse : kit::kFailed);
        return;
    }
    if (is(step, kSLTCommDeviceLgApplicationPortOpen)) {
        messages().lgViewtyDeleteSmsArray(deleteMessageData(), _stage);
    } else if (is(step, "lgMessageDeleted")) {
        const QVariant message = answer.value(key(kSLTCommDeviceCommandQueueCommandPayload));
        if (message.typeId() == QMetaType::QVariantMap)
            if (smsKitAsync* cb = callback())
                cb->smsKitMessageDeleted(&kit(), message.toMap());
    } else if (is(step, "SLTCommDeviceLgViewtyDeleteSmsArraySequenceFinished")) {
        closePort(_stage);
    } else if (is(step, kSLTCommDeviceLgApplicationPortClosed)) {
        _finished = true;
        engine().close();
        finishDeleting(kit::kSuccess);
    }
}

// --- Sending ----------------------------------------------------------------

bool QVSmsKitAsyncLgSmsExt::sendTextMessage()
{
    _finished = false;
    _closing = false;
    _stage = stage(&QVSmsKitAsyncLgSmsExt::smscStage2);
    port().lgViewtyPrepare(_stage);
    return true;
}

void QVSmsKitAsyncLgSmsExt::finishSending(int errorCode)
{
    if (std::exchange(_finished, true))
        return;
    if (smsKitAsync* cb = callback())
        cb->smsKitSendTextMessageFinished(&kit(), errorCode);
}

void QVSmsKitAsyncLgSmsExt::smscStage2(const QVariantMap& answer)
{
    if (_finished)
        return;
    const QString step = stepOf(answer);
    if (is(step, kProgressStep) && hasValue(answer))
        return;
    if (!hasValue(answer)) {
        kit().fullStop();
        finishSending(kit::kFailed);
        return;
    }
    if (is(step, kSLTCommDeviceLgApplicationPortOpen)) {
        messages().lgViewtyGetScAddress(_stage);
    } else if (is(step, "getsmsc")) {
        setSmscAddress(answer.value(key(kSLTCommDeviceReturnValue)).toString());
        closePort(_stage);
    } else if (is(step, kSLTCommDeviceLgApplicationPortClosed) && !sendMessageData().isEmpty()) {
        engine().close();
        // The phone takes AT commands again only after a pause.
        _sendTimer.setCallback([this] {
            _finished = true;
            const QVariantMap parked = sendMessageData();
            kit().setFamily(QStringLiteral("se"));
            kit().sendTextMessage(parked.value(QStringLiteral("text")).toString(),
                                  parked.value(QStringLiteral("recipients")).toList(),
                                  parked.value(QStringLiteral("specialChars")).toBool());
        });
        _sendTimer.start(kSendPause);
    } else {
        kit().fullStop();
        finishSending(kit::kFailed);
    }
}
