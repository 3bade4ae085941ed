#include "station/automation_switches.h"

namespace kv {

std::string CommandLineText(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (argv[i] == nullptr)
            continue;
        if (!line.empty())
            line += ' ';
        line += argv[i];
    }
    return line;
}

bool ReadAutomationSwitches(std::string_view commandLine, AP_GOLBAL& ap) {
    const auto has = [commandLine](const char* name) {
        return commandLine.find(name) != std::string_view::npos;
    };
    bool startTimer = false;
    if (has(kSwitchAutoExecute)) {
        ap.AutoExecute = true;
        startTimer = true;
    }
    if (has(kSwitchAutoExecuteQuit)) {
        ap.AutoExecute = true;
        ap.AutoExecuteQuit = true;
        startTimer = true;
    }
    if (has(kSwitchCaptureAppImage))
        ap.CaptureAppImage = true;
    if (has(kSwitchSingleExecuteResult))
        ap.SingleExecuteResult = true;
    return startTimer;
}

}  // namespace kv
