// The four automation switches of the command line. The whole command line,
// program path included, is searched for each switch as a plain, case-sensitive
// substring: the switches need no prefix and may stand anywhere, so a station
// installed in a folder whose path holds a switch name acts as if it were given.
//
// The command line may also carry "ClearInitFunc" and "InitFunc%d" (uncheck all
// lines of the test-item list, check line n). The station does not act on them:
// they would be read before the list exists, where they select nothing, and as
// substrings the switch for line 1 is also found inside the one for line 12. The
// item list comes from the settings file alone, on both front ends.
#pragma once

#include <string>
#include <string_view>

#include "run/global_state.h"

namespace kv {

inline constexpr char kSwitchAutoExecute[] = "AutoExecute";
inline constexpr char kSwitchAutoExecuteQuit[] = "AutoExecuteQuit";
inline constexpr char kSwitchCaptureAppImage[] = "CaptureAppImage";
inline constexpr char kSwitchSingleExecuteResult[] = "SingleExecuteResult";

// The process's command line as one text: the arguments, program path first,
// joined by single blanks.
std::string CommandLineText(int argc, const char* const* argv);

// Sets the automation flags of `ap` for every switch the command line holds
// (flags already on stay on). True when the automation timer must be started
// ("AutoExecute" or "AutoExecuteQuit").
bool ReadAutomationSwitches(std::string_view commandLine, AP_GOLBAL& ap);

}  // namespace kv
