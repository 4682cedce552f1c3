#pragma once

#include "foundation/MoreUNIX.h"

// End codes and priorities of the job engine. 0 is success; any code not
// listed here is a transport or platform status passed through unchanged.
namespace jobcodes {

inline constexpr int kSuccess = 0;
// The requester refused the start.
inline constexpr int kRefused = 0xAC001;
// Nothing to do (a group without sub-jobs).
inline constexpr int kNothingToDo = 0xAC002;
// Suspended: the job leaves the running slot, stays queued, starts again later.
inline constexpr int kSuspended = 0xAC003;
inline constexpr int kCancelled = 0xAC004;
inline constexpr int kTimedOut = 0xAC005;
// The device session died: the pipe is cancelled and the machine emptied.
inline constexpr int kSessionDied = 0xAC0A0;
// The job raised a platform exception in its start.
inline constexpr int kStartException = -1;
// A start that could not be made (base preparation step, no completion object).
inline constexpr int kCannotStart = static_cast<int>(0xE0000001u);

// Transport statuses that an end maps onto the engine's codes.
inline constexpr int kTransportCancelled = moreunix::kCancelled; // -> kCancelled
inline constexpr int kTransportSuspended = -1703;                // -> kSuspended

} // namespace jobcodes

// Priorities: smaller is more urgent.
namespace jobpriority {

inline constexpr int kDefault = 4;
// Below this an entry at the head of its pipe suspends the running job.
inline constexpr int kUrgentBelow = 2;
// Only jobs with a priority up to this one are ever started.
inline constexpr int kHighestStartable = 5;
// A job parked while its preparation step runs.
inline constexpr int kParked = 7;

} // namespace jobpriority

// feedBackStatus() values.
namespace feedbackstatus {

inline constexpr int kNotPosted = 0;        // in no pipe / container not started
inline constexpr int kRunning = 1;          // running / a member has started
inline constexpr int kParked = 2;           // parked for its step / waiting for a member
inline constexpr int kCancelled = 3;
inline constexpr int kQueued = 4;
inline constexpr int kContainerDone = 5;    // started container with no member left

} // namespace feedbackstatus

// Delays of the engine, in seconds.
namespace jobdelay {

inline constexpr double kResort = 0.0012;        // re-insertion after a priority change
inline constexpr double kIdle = 0.012;           // scheduler after a post, an end or a resume
inline constexpr double kPoll = 0.12;            // scheduler poll while nothing can start; session report
inline constexpr double kSharedTick = 34.0;      // re-examination of every pipe
inline constexpr double kQuitSlice = 0.1;        // run-loop slice of announceQuitWithLoops
inline constexpr unsigned kQuitLoops = 56;       // rounds of announceQuit
inline constexpr double kNoTimeout = -1.0;

} // namespace jobdelay
