#pragma once

#include "jobs/JobCodes.h"

// Status codes of the device links. Transport conditions use the I/O status
// values of the platform; the program's own codes are negative.
namespace links {

inline constexpr int kIOReturnSuccess = 0;
inline constexpr int kIOReturnError = int(0xE00002BC);
inline constexpr int kIOReturnNoDevice = int(0xE00002C0);
inline constexpr int kIOReturnExclusiveAccess = int(0xE00002C5);
inline constexpr int kIOReturnUnsupported = int(0xE00002C7);
inline constexpr int kIOReturnIOError = int(0xE00002CA);
inline constexpr int kIOReturnNotOpen = int(0xE00002CD);
inline constexpr int kIOReturnStillOpen = int(0xE00002D2);
inline constexpr int kIOReturnBusy = int(0xE00002D5);
inline constexpr int kIOReturnTimeout = int(0xE00002D6);
inline constexpr int kIOReturnOverrun = int(0xE00002E8);

inline constexpr int kErrUserCancelled = jobcodes::kTransportCancelled;
inline constexpr int kErrSuspended = jobcodes::kTransportSuspended;
inline constexpr int kErrRequestTimeout = -21855;
inline constexpr int kErrRequesterGone = -21857;
inline constexpr int kErrNotConnected = -21876;
inline constexpr int kErrTransportDied = -21880;

} // namespace links
