#include "disk/format_output.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "device/debug_log.h"

namespace kv::disk {

namespace {

FormatOutput& DefaultOutput() {
    static FormatOutput output;
    return output;
}

std::atomic<FormatOutput*> installed{nullptr};

}  // namespace

void FormatOutput::Console(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

void FormatOutput::ZeroDivisor(const char* name) {
    OutputDbgMsg("%s\r\n", name);
}

void SetFormatOutput(FormatOutput* output) {
    installed.store(output);
}

FormatOutput& CurrentFormatOutput() {
    FormatOutput* output = installed.load();
    return output != nullptr ? *output : DefaultOutput();
}

std::uint64_t CheckedDivide(std::uint64_t numerator, std::uint64_t divisor, const char* name) {
    if (divisor == 0) {
        CurrentFormatOutput().ZeroDivisor(name);
        return 0;
    }
    return numerator / divisor;
}

std::string FormatText(const char* fmt, ...) {
    char text[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

}  // namespace kv::disk
