#include "CallProgress.h"

#include "PhoneProfile.h"
#include "PhoneSession.h"

namespace phonesim {

namespace {

using Clock = std::chrono::steady_clock;

const QByteArray kBusyLine = "\r\nBUSY\r\n";
const QByteArray kNoCarrierLine = "\r\nNO CARRIER\r\n";

void enterPhase(PhoneSession& session, CallState::Phase phase, int ms, Clock::time_point now)
{
    session.call.phase = phase;
    session.call.phaseEnds = ms < 0 ? Clock::time_point::max() : now + std::chrono::milliseconds(ms);
    switch (phase) {
    case CallState::Phase::Idle:
        session.activity = PhoneSession::Ready;
        break;
    case CallState::Phase::Ringing:
        session.activity = PhoneSession::Ringing;
        break;
    case CallState::Phase::Talking:
        session.activity = PhoneSession::CallInProgress;
        break;
    }
}

AtResult dial(PhoneSession& session, const AtCommand& cmd)
{
    QByteArray number = cmd.args;
    if (number.endsWith(';'))
        number.chop(1);
    if (number.isEmpty() || session.call.phase != CallState::Phase::Idle)
        return AtResult::error();
    session.dialledNumbers.append(number);
    const CallScript& script = session.call.script;
    const auto now = Clock::now();
    // A call decided at once is answered with its outcome in place of OK.
    if (script.ringMs == 0 && script.outcome != CallScript::Outcome::Answered) {
        AtResult result = AtResult::okay();
        result.finalResult = script.outcome == CallScript::Outcome::Busy ? "BUSY" : "NO CARRIER";
        return result;
    }
    // A call answered at once is up before the next command can ask.
    if (script.outcome == CallScript::Outcome::Answered && script.ringMs == 0)
        enterPhase(session, CallState::Phase::Talking, script.talkMs, now);
    else
        enterPhase(session, CallState::Phase::Ringing, script.ringMs, now);
    return AtResult::okay();
}

AtResult hangUp(PhoneSession& session, const AtCommand& cmd)
{
    if (cmd.isTest())
        return AtResult::okay();
    enterPhase(session, CallState::Phase::Idle, -1, Clock::now());
    return AtResult::okay();
}

AtResult activityStatus(PhoneSession& session, const AtCommand& cmd)
{
    if (cmd.isTest())
        return AtResult::okay({"+CPAS: (0-5)"});
    if (!cmd.args.isEmpty())
        return AtResult::error();
    return AtResult::okay({"+CPAS: " + QByteArray::number(int(session.activity))});
}

} // namespace

void installCallHandlers(PhoneProfile& profile)
{
    profile.setHandler("D", dial);
    profile.setHandler("H", hangUp);
    if (profile.name() == QLatin1String("gigaset"))
        profile.removeHandler("+CHUP");
    else
        profile.setHandler("+CHUP", hangUp);
    profile.setHandler("+CPAS", activityStatus);
}

QByteArray advanceCall(PhoneSession& session, Clock::time_point now)
{
    CallState& call = session.call;
    if (call.phase == CallState::Phase::Idle || now < call.phaseEnds)
        return {};
    if (call.phase == CallState::Phase::Ringing && call.script.outcome == CallScript::Outcome::Answered) {
        enterPhase(session, CallState::Phase::Talking, call.script.talkMs, now);
        return {};
    }
    const bool busy = call.phase == CallState::Phase::Ringing && call.script.outcome == CallScript::Outcome::Busy;
    enterPhase(session, CallState::Phase::Idle, -1, now);
    return busy ? kBusyLine : kNoCarrierLine;
}

} // namespace phonesim
