// The station's trace facility. Every message goes to the debugger channel;
// with the "EnOutputDbgMsg" setting on it is also appended to "DbgMsg.txt" in
// the current directory, shared by all station processes of the machine.
#pragma once

#include <cstddef>

namespace kv {

// A message keeps at most this many characters; the rest is cut.
inline constexpr std::size_t kDbgMsgCapacity = 1023;
// A trace line keeps at most this many characters before its "\n".
inline constexpr std::size_t kDbgTraceCapacity = 258;

// printf-style; callers end their messages with "\r\n" themselves.
void OutputDbgMsg(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// `msg` + "\n" to the debugger channel only.
void DbgTrace(const char* msg);

// The "EnOutputDbgMsg" setting: off until the settings turn it on.
void SetDebugLogToFile(bool on);
bool DebugLogToFileOn();

}  // namespace kv
