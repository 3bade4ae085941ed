// Feeds arbitrary bytes to the flash parts list reader as a list file.
// Invariants: no crash, at most 500 parts, every text field terminated, vendor
// names within 19 characters and the cumulative part counts consistent.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "flash/flash_parts_list.h"

namespace {

const std::string& InputPath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() /
         ("fuzz_flash_parts_list_" + std::to_string(::getpid()) + ".ini"))
            .string();
    return path;
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::fclose(file);
        return 0;
    }
    std::fclose(file);

    kv::FlashPartsList list;
    kv::FlashListError error;
    const bool ok = kv::LoadFlashList(InputPath(), list, &error);

    Check(list.Parts.size() <= static_cast<std::size_t>(kv::kMaxFlashParts), "part count");
    Check(list.Vendors.size() <= static_cast<std::size_t>(kv::kMaxFlashVendors), "vendor count");
    Check(list.Vendors.size() == list.VendorPartEnd.size(), "one part end per vendor");
    int previous = 0;
    for (std::size_t v = 0; v < list.Vendors.size(); ++v) {
        Check(list.Vendors[v].size() <= kv::kMaxFlashVendorName, "vendor name length");
        Check(list.VendorPartEnd[v] >= previous, "part ends ascend");
        previous = list.VendorPartEnd[v];
    }
    Check(previous == static_cast<int>(list.Parts.size()), "last part end is the part count");
    for (const kv::FlashPart& part : list.Parts) {
        Check(std::memchr(part.FlashName, '\0', sizeof part.FlashName) != nullptr,
              "FlashName terminated");
        Check(std::memchr(part.PartNumber, '\0', sizeof part.PartNumber) != nullptr,
              "PartNumber terminated");
        Check(part.FlashName[0] != '\0' && part.PartNumber[0] != '\0', "texts not empty");
        Check(kv::FindFlashPartByName(list, part.FlashName) >= 0, "every name found");
    }
    Check(ok == (!list.Parts.empty() && error.reason.empty()), "result matches the error");
    return 0;
}
