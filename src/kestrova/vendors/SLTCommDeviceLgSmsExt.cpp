#include "kestrova/vendors/SLTCommDeviceLgSmsExt.h"

#include "kestrova/core/CoreConstants.h"
#include "kestrova/core/KitLog.h"
#include "kestrova/vendors/LgFrames.h"
#include "kestrova/vendors/LgNames.h"
#include "platform/RunLoop.h"

using namespace kestrova::core;
using namespace kestrova::lg;

namespace {
const QString kClosedAction = QStringLiteral("lgPortClosed");

SLTInvocationPtr stageOf(const QVariantMap& info)
{
    const QVariant value = info.value(key(kSLTCommDeviceCommandInfo));
    return value.canConvert<SLTInvocationPtr>() ? value.value<SLTInvocationPtr>() : nullptr;
}
} // namespace

const QByteArray SLTCommDeviceLgSmsExt::kObexConnectFrame =
    QByteArray::fromHex("0080001011004000" "4A00094C696E757800");

SLTCommDeviceLgSmsExt::SLTCommDeviceLgSmsExt(SLTCommDevice& engine)
    : _engine(engine)
{
    _engine.registerCommandCallback(QLatin1String(kPrepareStage), [this](const QVariantMap& r) { prepareStage2(r); });
    _engine.registerCommandCallback(QLatin1String(kDisconnectStage),
                                    [this](const QVariantMap& r) { disconnectStage2(r); });
}

SLTCommDeviceLgSmsExt::~SLTCommDeviceLgSmsExt()
{
    platform::runloop::cancelPreviousPerformRequests(this);
}

bool SLTCommDeviceLgSmsExt::hasResult(const QVariantMap& result)
{
    return result.contains(key(kSLTCommDeviceCommandQueueCommandResult));
}

QByteArray SLTCommDeviceLgSmsExt::unescapedReply(const QVariantMap& result)
{
    return removeQuotedFFValuesFromData(result.value(key(kSLTCommDeviceCommandQueueCommandRawResult)).toByteArray());
}

QVariantMap SLTCommDeviceLgSmsExt::makeFrameCommand(const SLTInvocationPtr& stage, const char* selector,
                                                    const char* signal, const QByteArray& frame, int requestedState,
                                                    bool raw) const
{
    return {{key(kSLTCommandQueueCommDeviceCallbackSelString), QLatin1String(selector)},
            {key(kSLTCommDeviceCommandInfo), QVariant::fromValue(stage)},
            {key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(signal)},
            {key(kSLTCommDeviceCommandQueueValueRequestedState), requestedState},
            {key(kSLTStateMachineHexCommandData), raw ? frame : quoteFFValuesInData(frame)}};
}

quint16 SLTCommDeviceLgSmsExt::getMaxObexPacketLengthFrom(const QByteArray& data)
{
    if (data.size() < 7)
        return 0;
    return quint16((quint8(data[5]) << 8) | quint8(data[6]));
}

void SLTCommDeviceLgSmsExt::lgViewtyPrepare(const SLTInvocationPtr& stage)
{
    _doAbort = false;
    QList<QVariantMap> commands;
    if (_engine.family() == QLatin1String("lg2")) {
        commands.append(makeFrameCommand(stage, kPrepareStage, kObexConnectSignal, kObexConnectFrame, kStateSendFrame,
                                         true));
    } else {
        commands.append({{key(kSLTCommandQueueCommDeviceCallbackSelString), QLatin1String(kPrepareStage)},
                         {key(kSLTCommDeviceCommandInfo), QVariant::fromValue(stage)},
                         {key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(kInitSignal)},
                         {key(kSLTCommDeviceCommandQueueValueRequestedState), kStateOpenPort}});
    }
    commands.append(makeFrameCommand(stage, kPrepareStage, kInitSignal,
                                     frame(kPortService, kPortInit, nextPackageCount(), QByteArray(1, '\0'))));
    commands.append(makeFrameCommand(stage, kPrepareStage, kSLTCommDeviceLgApplicationPortOpen,
                                     frame(kPortService, kPortOpen, nextPackageCount())));
    _engine.addCommands(commands);
}

void SLTCommDeviceLgSmsExt::prepareStage2(const QVariantMap& result)
{
    _engine.returnProgressforCommandRequest(result, 1, 10000);
    if (!hasResult(result)) {
        _engine.returnResultforCommandRequest(result);
        return;
    }
    const QString signal = result.value(key(kSLTCommDeviceCommandCallbackSignal)).toString();
    if (signal == QLatin1String(kObexConnectSignal)) {
        _maxObexPacketLength =
            getMaxObexPacketLengthFrom(result.value(key(kSLTCommDeviceCommandQueueCommandRawResult)).toByteArray());
        return;
    }
    if (signal != QLatin1String(kSLTCommDeviceLgApplicationPortOpen))
        return;
    QVariantMap open = result;
    open.insert(key(kSLTCommDeviceCommandQueueCommandResult), result.value(key(kSLTCommDeviceCommandQueueCommandRawResult)));
    _engine.returnOkResultforCommandRequest(open);
}

void SLTCommDeviceLgSmsExt::lgViewtyDisconnectRequest(const SLTInvocationPtr& stage)
{
    const QByteArray close = frame(kPortService, kPortClose, nextPackageCount());
    if (_engine.type() == kDeviceTypeBluetooth) {
        _engine.addCommand(makeFrameCommand(stage, kDisconnectStage, kSLTCommDeviceLgApplicationPortClosed, close));
        return;
    }
    QVariantMap wait2 = makeFrameCommand(stage, kDisconnectStage, kSerialCloseSignal, QByteArray(), kStateWaitTwoSeconds);
    wait2.remove(key(kSLTStateMachineHexCommandData));
    QVariantMap wait3 = wait2;
    wait3.insert(key(kSLTCommDeviceCommandCallbackSignal), QLatin1String(kSLTCommDeviceLgApplicationPortClosed));
    wait3.insert(key(kSLTCommDeviceCommandQueueValueRequestedState), kStateWaitThreeSeconds);
    _engine.addCommands({makeFrameCommand(stage, kDisconnectStage, kSerialCloseSignal, close), wait2, wait3});
}

void SLTCommDeviceLgSmsExt::disconnectStage2(const QVariantMap& result)
{
    const QString signal = result.value(key(kSLTCommDeviceCommandCallbackSignal)).toString();
    if (!hasResult(result)) {
        // A close that fails still ends the job: the caller hears of it.
        kestrova::kitLogWith([&] { return QStringLiteral("LG port close failed at %1").arg(signal); });
        _engine.returnResultforCommandRequest(result);
        return;
    }
    if (signal != QLatin1String(kSLTCommDeviceLgApplicationPortClosed))
        return;
    _engine.close();
    platform::runloop::performAfterDelay(this, kClosedAction, 0, [this, result] {
        if (stageOf(result))
            _engine.returnOkResultforCommandRequest(result);
    });
}
