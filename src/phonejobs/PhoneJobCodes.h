#pragma once

#include "links/LinkCodes.h"

// Codes and times of the phone jobs.
namespace phonejobcodes {

// The open state of a service job before it asked for its service.
inline constexpr int kOpenNotRequested = 0x3FFC000;
// An open completion that is not the one the job waits for.
inline constexpr int kIOReturnAborted = int(0xE00002EB);
// The open state after a request answered "no serial device".
inline constexpr int kOpenNoSerialDevice = -203;
inline constexpr int kOpenUnavailable = 3;

// Seconds.
inline constexpr double kBatteryAnswerDelay = 0.23;
inline constexpr double kDialTick = 1.0;
inline constexpr double kBreakTick = 0.34;
inline constexpr double kGigasetCloseSlice = 0.1;
inline constexpr int kGigasetCloseSlices = 99;
// Ticks of the dial timer that wait for the answer to a hang-up.
inline constexpr int kHangUpAnswerTicks = 10;

inline constexpr double kNoDeadline = -1.0;

} // namespace phonejobcodes
