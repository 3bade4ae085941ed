// Exit status of every command of the command-line station.
#pragma once

namespace kv::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitDriveFailed = 1;
inline constexpr int kExitRefusedAction = 2;  // the command ran, the station refused the action
inline constexpr int kExitRefusedStart = 3;   // the station refused to start

}  // namespace kv::cli
