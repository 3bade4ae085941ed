#include "tools/sample_gdp_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace kv::tools {
namespace {

constexpr std::size_t kImageSize = 131072;
constexpr std::size_t kKindOffset = 0x300;
constexpr std::size_t kVersionOffset = 0x304;
constexpr std::size_t kBuildTagOffset = 0x320;
// From the flash header to the end of the runtime parameter block.
constexpr std::size_t kPatchedFrom = 0x500;
constexpr std::size_t kPatchedTo = 0x578;

// A recognisable program body: the controller never executes the sample, the
// virtual fixture only reads its patched fields, but a dump of it should not
// look like an empty buffer.
std::uint8_t BodyByte(std::size_t at) {
    return static_cast<std::uint8_t>((at * 37u + 11u) & 0xFF);
}

}  // namespace

std::vector<std::uint8_t> SampleGdpImage() {
    std::vector<std::uint8_t> image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = BodyByte(i);
    }
    std::fill(image.begin() + static_cast<std::ptrdiff_t>(kKindOffset),
              image.begin() + static_cast<std::ptrdiff_t>(kPatchedTo), std::uint8_t{0});
    std::memcpy(image.data() + kKindOffset, "GDP_", 4);
    std::memcpy(image.data() + kVersionOffset, kSampleGdpVersion, sizeof kSampleGdpVersion - 1);
    std::memcpy(image.data() + kBuildTagOffset, kSampleGdpBuildTag, sizeof kSampleGdpBuildTag - 1);
    static_assert(kPatchedFrom > kBuildTagOffset + 4);
    return image;
}

bool WriteSampleGdpImage(const std::string& path, std::string& error) {
    const std::vector<std::uint8_t> image = SampleGdpImage();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace kv::tools
