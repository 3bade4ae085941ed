#include "station/side_tools.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>

namespace kv {
namespace {

OperatorMessage Message(std::string text) {
    return {std::move(text), kMessageCaption, OperatorIcon::Information};
}

}  // namespace

RandomByte SeededRandomByte(std::uint32_t seed) {
    auto engine = std::make_shared<std::mt19937>(seed);
    return [engine] { return static_cast<std::uint8_t>((*engine)() & 0xFF); };
}

std::array<std::uint8_t, kKeyFileSize> BuildKeyFile(std::string_view encryptionString,
                                                    const RandomByte& random) {
    std::uint8_t s[kKeyStringBuffer] = {};
    const std::size_t n = std::min(encryptionString.size(), kKeyStringBuffer - 1);
    std::copy_n(encryptionString.begin(), n, s);

    std::array<std::uint8_t, kKeyFileSize> out{};
    for (std::size_t k = 0; k < kKeyFileSize; ++k) {
        const unsigned r = random ? random() : 0u;
        out[k] = static_cast<std::uint8_t>(((r + k) & 0xFF) ^ 0xFF);
    }
    for (std::size_t j = 0; j < kKeyStringBuffer; ++j)
        out[20 + 2 * j] = static_cast<std::uint8_t>(((s[j] + j) & 0xFF) ^ 0xFF);
    return out;
}

OperatorMessage BnKeyFileClick(const std::string& folder, std::string_view encryptionString,
                               const RandomByte& random) {
    const std::string path = folder + kKeyFileName;
    const std::array<std::uint8_t, kKeyFileSize> bytes = BuildKeyFile(encryptionString, random);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f != nullptr;
    if (f != nullptr) {
        ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        ok = std::fclose(f) == 0 && ok;
    }
    if (!ok)
        return {"Cannot create the key file (" + path + ")", kErrorCaption, OperatorIcon::Error};
    return Message("Generate the key file (" + path + ") successfully");
}

int MaxIdemaCapacityGb(const FlashConfig& flash) {
    const std::int64_t gb =
        (static_cast<std::int64_t>(flash.Channels) * flash.Banks * (flash.BlocksPerCe / 1024) *
         flash.PagesPerBlock * (flash.SectorsPerPage * 512 / 1024)) /
        1024;
    return static_cast<int>(std::min<std::int64_t>(gb, 0xFFFF));
}

std::int64_t IdemaSectors(std::int64_t gigabytes) {
    return gigabytes * 1953504 + 21168;
}

IdemaRatio CalcIdemaToRatio(std::string_view input, const FlashConfig& flash, bool lowPage) {
    IdemaRatio result;
    // The field takes digits only; read its leading digits, capped well above
    // any capacity a flash can hold.
    std::size_t digits = 0;
    std::int64_t capacity = 0;
    while (digits < input.size() && input[digits] >= '0' && input[digits] <= '9') {
        capacity = std::min<std::int64_t>(capacity * 10 + (input[digits] - '0'), 1'000'000'000);
        ++digits;
    }
    if (digits == 0) {
        result.message = Message("Please input a IDEMA capacity");
        return result;
    }
    if (capacity == 0) {
        result.message = Message("Please input a correct IDEMA capacity(not equal to 0)");
        return result;
    }
    const int maximum = MaxIdemaCapacityGb(flash);
    if (capacity > maximum) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "Please input a correct IDEMA capacity(less than or equal to %d)", maximum);
        result.message = Message(text);
        return result;
    }
    int pages = flash.PagesPerBlock == 256 ? 255 : flash.PagesPerBlock;
    if (lowPage)
        pages /= 2;
    const std::int64_t total = static_cast<std::int64_t>(flash.Channels) * flash.Banks * pages *
                               flash.SectorsPerPage * flash.BlocksPerCe;
    const std::int64_t idema = IdemaSectors(capacity);
    const float ratio =
        total > 0 ? (100.0f - 100.0f * static_cast<float>(idema) / static_cast<float>(total)) * 10
                  : 0.0f;
    const int thousandths = static_cast<int>(ratio);
    if (thousandths <= 0) {
        result.message = Message(
            "Please input a correct IDEMA capacity(the flash has no reserved blocks left for it)");
        return result;
    }
    result.ratio = thousandths;
    return result;
}

IdemaRatio CalcIDEMAToRatioBnClick(std::string_view input, const FlashConfig& flash,
                                   SettingsBlock& settings) {
    IdemaRatio result = CalcIdemaToRatio(input, flash, settings.EnLowPage == 1);
    if (!result.message)
        settings.ResPercentage = static_cast<std::uint16_t>(result.ratio);
    return result;
}

void RestoreReservedRatioClick(SettingsBlock& settings) {
    settings.ResPercentage = kDefaultResPercentage;
}

VolumeLabelCheck FFsFmtChange(std::string_view format, std::string_view label) {
    VolumeLabelCheck check{std::string(label), std::nullopt};
    if (format == "FAT32" && label.size() > kFat32LabelLength) {
        check.label.resize(kFat32LabelLength);
        check.message = OperatorMessage{"FAT32 only support Volume label 11 characters!",
                                        kMessageCaption, OperatorIcon::None};
    }
    return check;
}

}  // namespace kv
