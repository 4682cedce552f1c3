#pragma once

// The I/O status values of the desktop platform that transports report.
// Defined once here; the links alias them.
namespace platform {

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

} // namespace platform
