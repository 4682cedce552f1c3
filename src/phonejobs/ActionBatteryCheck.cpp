#include "phonejobs/ActionBatteryCheck.h"

#include "foundation/NamedLog.h"
#include "jobs/JobCodes.h"
#include "links/CommonSerialConnection.h"
#include "phone/MFDevice.h"
#include "phonejobs/PhoneJobCodes.h"
#include "phonejobs/PhoneJobNames.h"

ActionBatteryCheck::ActionBatteryCheck(std::shared_ptr<QVActionNotify> notify, QVariant userInfo)
    : ActionDUNServices(std::move(notify), std::move(userInfo))
    , _pulseTimer([this] { pulseIdleTimer(); })
{
    _qvaPriority = jobpriority::kDefault;
}

ActionBatteryCheck::~ActionBatteryCheck() = default;

int ActionBatteryCheck::startAction()
{
    const int result = ActionDUNServices::startAction();
    if (result != 0)
        return result;
    CommonSerialConnection* link = serialLink();
    if (!link || !link->sendBatteryCheck())
        return links::kIOReturnError;
    _pulseTimer.start(phonejobcodes::kBatteryAnswerDelay);
    return 0;
}

void ActionBatteryCheck::pulseIdleTimer()
{
    auto keepAlive = selfAction();
    MFDevice* device = getActionDevice();
    if (!device || device->isAboutToQuit()) {
        QVLOG(qvlog::kXT, phonejobnames::kBatteryQuitLog);
        return;
    }
    if (isCancelled()) {
        endAction(jobcodes::kCancelled);
        return;
    }
    CommonSerialConnection* link = serialLink();
    if (!link || !link->waitBatteryResponse()) {
        endAction(links::kIOReturnTimeout);
        return;
    }
    // Stored only when the answer holds both numbers: an error answer or a
    // garbled one leaves the last value as it was.
    const auto [state, level] = link->batteryChargerConnection();
    if (state < 0 || level < 0) {
        QVLogWith(qvlog::kXT, [&] { return phonejobnames::kBatteryUnreadableLogFormat.arg(link->getDialBuffer()); });
        endAction(links::kIOReturnError);
        return;
    }
    device->setLastBatteryValue({unsigned(state), unsigned(level)});
    endAction(0);
}

QString ActionBatteryCheck::description() const
{
    return phonejobnames::kActionBatteryCheck;
}

void ActionBatteryCheck::endAction(int code)
{
    _pulseTimer.stop();
    MFDevice* device = getActionDevice();
    if (device && !hasEnded())
        device->batteryChecked();
    ActionDUNServices::endAction(code);
}
