// Writes a sample station folder: the files a new station needs to start.
#pragma once

#include <string>

namespace kv::tools {

struct SampleOptions {
    int drives = 8;  // drives of the sample fixture, 1..50
};

// Creates `folder` when missing and writes "Flash.ini", "REVODEDE.ini" and
// the virtual fixture "Fixture.ini".
// False with `error` set when a file cannot be written.
bool WriteSampleStation(const std::string& folder, const SampleOptions& options,
                        std::string& error);

// The sample parts list and settings, as written (CR LF line ends).
std::string SampleFlashList();
std::string SampleSettings();

}  // namespace kv::tools
