// Where the formatter's console lines and its zero-divisor notices go. The
// console lines are the formatter's progress report (sizes, clusters, the
// clearing throughput); by default they go to the standard output. A front end
// may install its own sink, for instance to show a zero divisor as a message box.
#pragma once

#include <cstdint>
#include <string>

namespace kv::disk {

class FormatOutput {
  public:
    virtual ~FormatOutput() = default;
    // One line of the report, with its "\n".
    virtual void Console(const std::string& text);
    // A size computation met a zero divisor; `name` names the computation.
    virtual void ZeroDivisor(const char* name);
};

// The sink in use; nullptr restores the default (standard output).
void SetFormatOutput(FormatOutput* output);
FormatOutput& CurrentFormatOutput();

// `numerator` / `divisor`; a zero divisor is reported under `name` and gives 0.
std::uint64_t CheckedDivide(std::uint64_t numerator, std::uint64_t divisor, const char* name);

// printf-style text of at most 1,023 characters.
std::string FormatText(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kv::disk
