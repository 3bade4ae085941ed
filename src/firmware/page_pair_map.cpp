// Each map interleaves the block's high pages with its low pages (the low
// pages are those of the type's low-page sequence), so that a high page is
// written only after the low page it shares cells with.
#include "firmware/page_pair_map.h"

#include <vector>

namespace kv {
namespace {

using Units = std::vector<std::vector<int>>;

// Low pages of a block of `pages` pages, by page map group.
std::vector<int> LowPages(int group, int pages) {
    std::vector<int> low;
    const int last = pages / 4 - 2;
    if (group == 1) {
        low = {0, 1, 2, 3};
        for (int k = 1; k <= last; ++k) {
            low.push_back(4 * k + 2);
            low.push_back(4 * k + 3);
        }
    } else if (group == 2) {
        low.push_back(0);
        for (int p = 1; p <= pages - 3; p += 2) {
            low.push_back(p);
        }
    } else {
        low = {0, 1, 2, 3, 4, 5};
        for (int k = 2; k <= last; ++k) {
            low.push_back(4 * k);
            low.push_back(4 * k + 1);
        }
    }
    return low;
}

std::vector<int> HighPages(const std::vector<int>& low, int pages) {
    std::vector<bool> isLow(static_cast<std::size_t>(pages), false);
    for (const int p : low) {
        isLow[static_cast<std::size_t>(p)] = true;
    }
    std::vector<int> high;
    for (int p = 0; p < pages; ++p) {
        if (!isLow[static_cast<std::size_t>(p)]) {
            high.push_back(p);
        }
    }
    return high;
}

// Groups pages into write units of `size` pages.
Units ToUnits(const std::vector<int>& pages, std::size_t size) {
    Units units;
    for (std::size_t i = 0; i + size <= pages.size(); i += size) {
        units.emplace_back(pages.begin() + static_cast<std::ptrdiff_t>(i),
                           pages.begin() + static_cast<std::ptrdiff_t>(i + size));
    }
    return units;
}

// High unit 1, then high unit k + 1 and low unit k in turn.
Units HighFirst(const Units& high, const Units& low) {
    Units order;
    std::size_t h = 0;
    std::size_t l = 0;
    if (h < high.size()) {
        order.push_back(high[h++]);
    }
    while (h < high.size() || l < low.size()) {
        if (h < high.size()) {
            order.push_back(high[h++]);
        }
        if (l < low.size()) {
            order.push_back(low[l++]);
        }
    }
    return order;
}

PagePairMapBytes Flatten(const Units& order) {
    PagePairMapBytes map{};
    std::size_t n = 0;
    for (const auto& unit : order) {
        for (const int page : unit) {
            if (n < map.size()) {
                map[n++] = static_cast<std::uint8_t>(page);
            }
        }
    }
    return map;
}

PagePairMapBytes HighFirstMap(int group, int pages, std::size_t unit) {
    const std::vector<int> low = LowPages(group, pages);
    return Flatten(HighFirst(ToUnits(HighPages(low, pages), unit), ToUnits(low, unit)));
}

// Type 3: the first low pair is never written (255 255), then high pair 1,
// then high pair k and low pair k in turn from k = 2.
PagePairMapBytes Type3Map() {
    const std::vector<int> lowPages = LowPages(3, 128);
    const Units low = ToUnits(lowPages, 2);
    const Units high = ToUnits(HighPages(lowPages, 128), 2);
    Units order{{255, 255}, high[0]};
    for (std::size_t k = 1; k < high.size() || k < low.size(); ++k) {
        if (k < high.size()) {
            order.push_back(high[k]);
        }
        if (k < low.size()) {
            order.push_back(low[k]);
        }
    }
    return Flatten(order);
}

// Type 6: high pair 1, (0 0), high pair 2, (0 1), then high pair k and low
// pair k in turn from k = 3, over 256 pages.
PagePairMapBytes Type6Map() {
    const std::vector<int> lowPages = LowPages(3, 256);
    const Units low = ToUnits(lowPages, 2);
    const Units high = ToUnits(HighPages(lowPages, 256), 2);
    Units order{high[0], {0, 0}, high[1], {0, 1}};
    for (std::size_t k = 2; k < high.size() || k < low.size(); ++k) {
        if (k < high.size()) {
            order.push_back(high[k]);
        }
        if (k < low.size()) {
            order.push_back(low[k]);
        }
    }
    return Flatten(order);
}

PagePairMapBytes WithLastPairsZero(PagePairMapBytes map) {
    for (std::size_t i = map.size() - 4; i < map.size(); ++i) {
        map[i] = 0;
    }
    return map;
}

}  // namespace

PagePairMapBytes PagePairMap(int pageMapType) {
    switch (pageMapType) {
        case 1:
            return HighFirstMap(1, 128, 2);
        case 2:
            return HighFirstMap(2, 128, 1);
        case 3:
            return Type3Map();
        case 4:
            return HighFirstMap(1, 256, 2);
        case 5:
            return HighFirstMap(2, 256, 1);
        case 6:
            return Type6Map();
        case 7:
            return WithLastPairsZero(HighFirstMap(1, 256, 2));
        case 8:
            return WithLastPairsZero(Type6Map());
        default: {
            PagePairMapBytes none;
            none.fill(0xFF);
            return none;
        }
    }
}

}  // namespace kv
