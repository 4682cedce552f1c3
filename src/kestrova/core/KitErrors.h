#pragma once

// Error codes of the kits' final callbacks.
namespace kestrova::kit {

inline constexpr int kSuccess = 0;
inline constexpr int kFailed = -1;
inline constexpr int kLinkFailed = -2;
inline constexpr int kEmptyText = -4;
inline constexpr int kInvalidRecipient = -5;
inline constexpr int kLgFileBrowserFailed = -6;
inline constexpr int kLgPortInUse = -7;
inline constexpr int kLgLinkDropped = -21855;

} // namespace kestrova::kit
