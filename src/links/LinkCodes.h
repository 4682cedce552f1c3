#pragma once

#include "jobs/JobCodes.h"
#include "platform/IOReturn.h"

// Status codes of the device links. Transport conditions use the I/O status
// values of the platform; the program's own codes are negative.
namespace links {

inline constexpr int kIOReturnSuccess = platform::kIOReturnSuccess;
inline constexpr int kIOReturnError = platform::kIOReturnError;
inline constexpr int kIOReturnNoDevice = platform::kIOReturnNoDevice;
inline constexpr int kIOReturnExclusiveAccess = platform::kIOReturnExclusiveAccess;
inline constexpr int kIOReturnUnsupported = platform::kIOReturnUnsupported;
inline constexpr int kIOReturnIOError = platform::kIOReturnIOError;
inline constexpr int kIOReturnNotOpen = platform::kIOReturnNotOpen;
inline constexpr int kIOReturnStillOpen = platform::kIOReturnStillOpen;
inline constexpr int kIOReturnBusy = platform::kIOReturnBusy;
inline constexpr int kIOReturnTimeout = platform::kIOReturnTimeout;
inline constexpr int kIOReturnOverrun = platform::kIOReturnOverrun;

inline constexpr int kErrUserCancelled = jobcodes::kTransportCancelled;
inline constexpr int kErrSuspended = jobcodes::kTransportSuspended;
inline constexpr int kErrRequestTimeout = -21855;
inline constexpr int kErrRequesterGone = -21857;
inline constexpr int kErrNotConnected = -21876;
inline constexpr int kErrTransportDied = -21880;

} // namespace links
