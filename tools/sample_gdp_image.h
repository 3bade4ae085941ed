// The sample diagnostic program image "GDP.bin" of a new station folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv::tools {

// Version text and build tag the sample image carries; the status bar shows
// the version as "1.02.003".
inline constexpr char kSampleGdpVersion[] = "102003";
inline constexpr char kSampleGdpBuildTag[] = "A1B2";

// The 131072 bytes of the image: kind "GDP_" at 0x300, the version text at
// 0x304, the build tag at 0x320, and zeros where the station patches the
// flash header, the extras, the bank set, the page step table and the runtime
// parameter block before it loads the image.
std::vector<std::uint8_t> SampleGdpImage();

// Writes the image to `path`, replacing the file. False with `error` set when
// the file cannot be written.
bool WriteSampleGdpImage(const std::string& path, std::string& error);

}  // namespace kv::tools
