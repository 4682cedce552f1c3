#include "phonejobs/ActionDialNumber.h"

#include "device/QVSyncDeviceDescription.h"
#include "foundation/NamedLog.h"
#include "links/CommonSerialConnection.h"
#include "phone/MFDevice.h"
#include "phonejobs/PhoneJobCodes.h"
#include "phonejobs/PhoneJobNames.h"
#include "platform/Localization.h"

namespace {

using C = CommonSerialConnection;

enum State { Preparing = 0, Dial = 1, DialAnswer = 2, Activity = 3, ActivityAnswer = 4, HangUp = 5, HangUpAnswer = 6,
             EndWithError = 7, EndWell = 8 };

void logXT(const QString& message)
{
    QVLOG(qvlog::kXT, message);
}

} // namespace

ActionDialNumber::ActionDialNumber(const QString& number)
    : ActionDUNServices(nullptr, QVariant())
    , _number(number)
    , _dialTimer([this] { dialTimer(); })
{
    _qvaPriority = 0;
    _feedBackErrorHandling = 3;
}

ActionDialNumber::~ActionDialNumber() = default;

std::shared_ptr<ActionDialNumber> ActionDialNumber::allocActionDialNumber(const QString& number)
{
    return std::make_shared<ActionDialNumber>(number);
}

int ActionDialNumber::startAction()
{
    const int result = ActionDUNServices::startAction();
    if (result != 0)
        return result;
    _dialingState = Preparing;
    _dialError = 0;
    _hangUpWaits = 0;
    _inLoop = false;
    _dialTimer.start(phonejobcodes::kDialTick, true);
    return 0;
}

QString ActionDialNumber::description() const
{
    return phonejobnames::kActionDialNumber;
}

QString ActionDialNumber::generateErrorString(int code) const
{
    if (code == C::kDialBusy || code == C::kDialNoCarrier)
        return platform::localizedString(phonejobnames::kNoCarrier);
    return platform::localizedString(phonejobnames::kDialError);
}

QString ActionDialNumber::displayString() const
{
    switch (_dialingState) {
    case Preparing:
        return platform::localizedString(phonejobnames::kPreparing);
    case Dial:
    case DialAnswer:
        return platform::localizedString(phonejobnames::kDialing);
    case HangUp:
        return platform::localizedString(phonejobnames::kHangUp);
    default:
        return platform::localizedString(phonejobnames::kConnect);
    }
}

bool ActionDialNumber::cancelAction()
{
    const bool cancelled = ActionDUNServices::cancelAction();
    if (cancelled)
        _dialingState = _dialingState == EndWithError ? EndWell : HangUp;
    return cancelled;
}

bool ActionDialNumber::isRefusal(CommonSerialConnection& link) const
{
    const QStringList lines = link.getDialBuffer().split(u'\n', Qt::SkipEmptyParts);
    return !lines.isEmpty() && lines.last().contains(QLatin1String("ERROR"));
}

int ActionDialNumber::step(CommonSerialConnection* link)
{
    const bool gigaset = getActionDevice() && getActionDevice()->syncDescription()
        && getActionDevice()->syncDescription()->isGigaset();
    // A connection gone meanwhile answers as a command that cannot be sent.
    const auto answer = [link](int (C::*operation)()) { return link ? (link->*operation)() : C::kDialNotSent; };
    const auto response = [&]() {
        int e = answer(&C::dialResponse);
        if (e > 0 && link && isRefusal(*link)) {
            logXT(phonejobnames::kDialRefusedAnswerLogFormat.arg(link->getDialBuffer()));
            e = C::kDialError;
        }
        return e;
    };

    switch (_dialingState) {
    case Preparing:
        _dialError = 0;
        return Dial;
    case Dial:
        logXT(phonejobnames::kDialingNumberLogFormat.arg(_number));
        _dialError = link ? link->dialNumber(_number) : C::kDialNotSent;
        logXT(phonejobnames::kDialingResultLogFormat.arg(_dialError));
        return _dialError == 0 ? DialAnswer : EndWithError;
    case DialAnswer:
        _dialError = response();
        if (_dialError > 0)
            return DialAnswer;
        if (_dialError == 0)
            return Activity;
        if (gigaset)
            return _dialError == C::kDialCallerID ? EndWell : DialAnswer;
        if (_dialError == C::kDialIdle) {
            _dialError = answer(&C::dialOnline);
            return _dialError == 0 ? DialAnswer : EndWithError;
        }
        return EndWithError;
    case Activity:
        _dialError = answer(&C::dialOnline);
        return _dialError == 0 ? ActivityAnswer : EndWell;
    case ActivityAnswer:
        _dialError = response();
        if (_dialError > 0)
            return ActivityAnswer;
        return _dialError == 0 ? Activity : EndWell;
    case HangUp:
        _dialError = answer(&C::dialHangUp);
        logXT(phonejobnames::kHangUpLogFormat.arg(_dialError));
        _hangUpWaits = 0;
        return _dialError == 0 ? HangUpAnswer : EndWell;
    case HangUpAnswer:
        _dialError = answer(&C::dialResponse);
        if (_dialError <= 0)
            return EndWell;
        // A phone that never answers the hang-up does not hold the job.
        if (++_hangUpWaits < phonejobcodes::kHangUpAnswerTicks)
            return HangUpAnswer;
        logXT(phonejobnames::kHangUpUnansweredLog);
        return EndWell;
    default:
        return _dialingState;
    }
}

void ActionDialNumber::dialTimer()
{
    if (_inLoop)
        return;
    _inLoop = true;
    auto keepAlive = selfAction();
    if (_dialingState == EndWell) {
        _dialTimer.stop();
        _dialError = 0;
        endAction(0);
    } else if (_dialingState == EndWithError || _dialingState > EndWell) {
        _dialTimer.stop();
        if (isCancelled())
            _dialError = 0;
        endAction(_dialError);
        _inLoop = false;
        return;
    } else {
        _dialingState = step(serialLink());
    }
    // Progress after the end would reach the queue view after its last word.
    if (!hasEnded() && !processAction(-1.0f))
        cancelAction();
    _inLoop = false;
}

void ActionDialNumber::endAction(int code)
{
    _dialTimer.stop();
    ActionDUNServices::endAction(code);
}
