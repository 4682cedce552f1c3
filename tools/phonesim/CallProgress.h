#pragma once

#include <QByteArray>
#include <chrono>

namespace phonesim {

class PhoneProfile;
struct PhoneSession;

// How the far end of a voice call behaves: it rings for ringMs, then answers,
// is busy or stops ringing without answer ("NO CARRIER"); an answered call
// lasts talkMs before the far end hangs up. A negative time lasts until the
// phone hangs up itself (AT+CHUP, or ATH on a Gigaset).
struct CallScript {
    enum class Outcome { Answered, Busy, NoCarrier };
    Outcome outcome = Outcome::Answered;
    int ringMs = 0;
    int talkMs = -1;
};

// The call the phone has placed: where it is and when its phase ends.
struct CallState {
    enum class Phase { Idle, Ringing, Talking };
    CallScript script;
    Phase phase = Phase::Idle;
    std::chrono::steady_clock::time_point phaseEnds{};
};

// ATD (voice dial: OK at once, or BUSY or NO CARRIER for a call that rings
// 0 ms without being answered), AT+CHUP and ATH (hang-up; a Gigaset
// knows only ATH) and AT+CPAS (3 while the call rings, 4 while it is up, 0 when
// there is none).
void installCallHandlers(PhoneProfile& profile);

// Moves the call on to now. Answers the result line the phone sends on its
// own when the call ends ("\r\nBUSY\r\n" or "\r\nNO CARRIER\r\n"), else nothing.
QByteArray advanceCall(PhoneSession& session, std::chrono::steady_clock::time_point now);

} // namespace phonesim
