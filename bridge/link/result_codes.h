// Result codes of the link operations. Padlink reports failures as integers
// rather than exceptions; 0 is success and the codes below are what the poll
// threads, the download conversations and the traffic log hand back.
#pragma once

namespace padlink {

inline constexpr int kSuccess = 0;
inline constexpr int kOpenFailed = 1001;          // device could not be opened
inline constexpr int kGetStateFailed = 1002;      // line settings could not be read
inline constexpr int kSetStateFailed = 1003;      // line settings could not be applied
inline constexpr int kGetTimeoutsFailed = 1004;   // kept for callers; the time-outs live in the port object
inline constexpr int kSetTimeoutsFailed = 1005;   // kept for callers; the time-outs live in the port object
inline constexpr int kWriteFailed = 1006;         // write failed or wrote fewer bytes than asked
inline constexpr int kNothingReceived = 1007;     // no reply, or no status frame found
inline constexpr int kThreadSetupFailed = 1008;   // poll thread could not create its objects
inline constexpr int kReplyRejected = 1009;       // reply failed the acceptance rules
inline constexpr int kTrafficLogFailed = 1010;    // traffic log file could not be opened

}  // namespace padlink
