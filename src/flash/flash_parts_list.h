// The flash parts list: the vendors and NAND flash parts the operator can
// choose from, read from an INI file ("Flash.ini" or the file "ExtFlashFile"
// names) through the platform INI service.
//
// File layout:
//   [Vendor]
//   Name00=VendorA          vendor names in order, up to the first missing key
//   Name01=VendorB
//   [VendorA]
//   Name000=<17 tokens>     the vendor's parts in order, up to the first missing key
//
// A part line holds 17 tokens separated by blanks or tabs. A token is a run of
// ASCII letters and digits; the character that ends it must be a blank, a tab
// or the end of the line, otherwise the line is malformed ("AB_C" ends the
// token at "_" and fails the line, as do "-" and "."). Anything after the 17th
// token is not read. Tokens 1 and 2 are texts (at most 31 characters kept),
// tokens 3..17 unsigned 32-bit numbers, decimal or hexadecimal with a "0x"
// prefix; each field keeps the low bytes of its number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr int kMaxFlashParts = 500;
// Vendor keys run "Name00".."Name99"; later vendors are not read.
inline constexpr int kMaxFlashVendors = 100;
inline constexpr std::size_t kMaxFlashVendorName = 19;
inline constexpr int kFlashPartTokens = 17;

// One line of the parts list, in token order.
struct FlashPart {
    char FlashName[32] = {};          // token 1: display name, also the "FlashUniName" value
    char PartNumber[32] = {};         // token 2: maker part number
    std::uint16_t TypeWord = 0;       // token 3: geometry and maker class
    std::uint8_t CeCount = 0;         // token 4: chip enables per package
    std::uint8_t EccMode = 0;         // token 5: 1 BCH16, 2 BCH24, 3 BCH40
    std::uint8_t FlashId[5] = {};     // tokens 6..10: maker, device, 3rd, 4th, 5th ID byte
    std::uint8_t SpareAttr = 0;       // token 11, bits 0..7
    std::uint8_t HalfPageBlock = 0;   // token 11, bits 16..23 (bits 8..15 are dropped)
    std::uint8_t AltFamily = 0;       // token 12
    std::uint16_t ExtendBlocks = 0;   // token 13
    std::uint16_t DieOffset = 0;      // token 14: die address offset in blocks
    std::uint8_t PageMapType = 0;     // token 15: flash process type 0..8
    std::uint8_t FlashInterface = 0;  // token 16: 1, 3, 5, 6, 7 are toggle mode
    std::uint8_t OnePlane = 0;        // token 17: 1 = single plane
};

struct FlashPartsList {
    std::vector<std::string> Vendors;  // at most 19 characters each
    std::vector<int> VendorPartEnd;    // cumulative part count after each vendor
    std::vector<FlashPart> Parts;      // list order, at most 500
};

// Where and why loading stopped. `line` is the 1-based line of the file (0 when
// no single line is at fault); `section` and `key` name the entry.
struct FlashListError {
    int line = 0;
    std::string section;
    std::string key;
    std::string reason;
};

// Parses one part line by the token rules above. On failure `part` is left
// unchanged and `reason` (when given) says what is wrong.
bool ParseFlashPartLine(std::string_view text, FlashPart& part, std::string* reason = nullptr);

// Reads the parts list from `fileName` (used as given) into `out`, which is
// cleared first. At most 500 parts are read; once the list is full no further
// line or vendor is read. A malformed part line stops the whole list: the parts
// and vendors read so far stay (the vendor of the bad line with the parts before
// it) and the result is false. A missing or unreadable file, or a list without
// any part, is unusable for production and also gives false. A vendor's section
// is looked up by its full name; only the kept name is cut to 19 characters.
bool LoadFlashList(const std::string& fileName, FlashPartsList& out,
                   FlashListError* error = nullptr);

// Index of the first part whose FlashName equals `name` exactly (case-sensitive);
// -1 when none does or `name` is null.
int FindFlashPartByName(const FlashPartsList& list, const char* name);

}  // namespace kv
