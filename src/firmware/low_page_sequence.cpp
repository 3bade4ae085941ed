#include "firmware/low_page_sequence.h"

namespace kv {

bool HasLowPageSequence(int pageMapType) {
    return pageMapType >= 1 && pageMapType <= 8;
}

PageSequence LowPageSequence(int pageMapType) {
    PageSequence s{};
    std::size_t n = 0;
    auto add = [&s, &n](int page) {
        if (n < s.size()) {
            s[n++] = static_cast<std::uint16_t>(page);
        }
    };
    switch (pageMapType) {
        case 1:
        case 4:
        case 7:
            for (int p = 0; p < 4; ++p) {
                add(p);
            }
            for (int k = 1; k <= 30; ++k) {
                add(4 * k + 2);
                add(4 * k + 3);
            }
            break;
        case 2:
        case 5:
            add(0);
            for (int p = 1; p <= 125; p += 2) {
                add(p);
            }
            break;
        case 3:
        case 6:
        case 8:
            for (int p = 0; p < 6; ++p) {
                add(p);
            }
            for (int k = 2; k <= 30; ++k) {
                add(4 * k);
                add(4 * k + 1);
            }
            break;
        default:
            for (int p = 0; p < kLowPageSequenceLength; ++p) {
                add(p);
            }
            break;
    }
    return s;
}

bool CodeBlockLowPageMode(const SettingsBlock& settings, int pageMapType) {
    return settings.EnCodeBlockLowPage != 0 && HasLowPageSequence(pageMapType);
}

}  // namespace kv
