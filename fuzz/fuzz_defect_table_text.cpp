// Feeds arbitrary text to the defect-table text reader.
// Invariants: no crash or overrun; a refused text leaves the page set as it
// was and says why; an accepted text gives one signed slice per channel whose
// entries end with the end entry inside the slice, and writing that page set
// as text and reading it back gives the same page set.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/defect_table.h"
#include "firmware/table_signatures.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kv::DefectTableGeometry g;
    g.Channels = 2;
    g.Banks = 2;
    g.Dies = 2;
    g.Blocks = 4096;
    g.PageBytes = 64;  // small slices reach the page-size check quickly
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int formatCode = size > 0 && (data[0] & 1) != 0 ? 12 : 10;

    std::vector<std::uint8_t> set(g.PageBytes * 2, 0x5A);
    std::string error;
    if (!kv::TextToDefectTable(text, g, formatCode, set, &error)) {
        Check(!error.empty(), "a refusal says why");
        Check(set == std::vector<std::uint8_t>(set.size(), 0x5A), "a refusal keeps the page set");
        return 0;
    }
    for (int c = 0; c < g.Channels; ++c) {
        const std::uint8_t* slice = set.data() + static_cast<std::size_t>(c) * g.PageBytes;
        Check(kv::HasTableSignature(std::span<const std::uint8_t>(slice, g.PageBytes), 1),
              "every channel signed");
        bool ended = false;
        for (std::size_t at = 16; at + 4 <= g.PageBytes && !ended; at += 4) {
            ended = slice[at] == 0xFE && slice[at + 1] == 0xD1;
        }
        Check(ended, "every channel ends inside its slice");
    }
    const std::string again = kv::DefectTableToText(set, g, 10);
    std::vector<std::uint8_t> back(set.size(), 0);
    Check(kv::TextToDefectTable(again, g, 10, back, &error), "written text reads back");
    // Kinds above 7 are written as 9: the second text equals the first.
    Check(kv::DefectTableToText(back, g, 10) == again, "round trip is stable");
    return 0;
}
