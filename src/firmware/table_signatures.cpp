#include "firmware/table_signatures.h"

#include <cstring>

namespace kv {
namespace {

constexpr std::uint8_t kDefectSignature[16] = {0xE9, 0x86, 0xAA, 0x55, 'K', 'V', 'R', '5',
                                               '1',  'X',  '-',  'V',  '0', '0', '1', 0};
constexpr std::uint8_t kEarlySignature[16] = {0x45, 0x79, 0xAA, 0x55, 'K', 'V', 'R', '5',
                                              '1',  'X',  '-',  'V',  '0', '0', '1', 0};
constexpr std::uint8_t kRemapSignature[16] = {0x9E, 0x68, 0x55, 0xAA, 'K', 'V', 'R', '5',
                                              '1',  'X',  '-',  'V',  '0', '0', '1', 0};
constexpr std::uint8_t kSystemSignature[16] = {'S', 'Y', 'S', 'P', 'K', 'V', 'R', '5',
                                               '1', 'X', '-', 'V', '0', '0', '1', 0};
constexpr std::uint8_t kSmartSignature[16] = {0x68, 0x12, 0x16, 0x50, 'K', 'V', 'R', '5',
                                              '1',  'X',  '-',  'V',  '0', '0', '1', 0};
constexpr std::uint8_t kLaterSignature[16] = {0xE8, 0xDC, 0x55, 0xAA, 'K', 'V', 'R', '5',
                                              '1',  'X',  '-',  'V',  '0', '0', '1', 0};

bool StartsWith(std::span<const std::uint8_t> slice, const std::uint8_t* signature) {
    return slice.size() >= kTableSignatureSize &&
           std::memcmp(slice.data(), signature, kTableSignatureSize) == 0;
}

}  // namespace

const std::uint8_t* TableSignature(int page) {
    switch (page) {
        case kDefectTablePage:
            return kDefectSignature;
        case kEarlyTablePage:
            return kEarlySignature;
        case kRemapTablePage:
            return kRemapSignature;
        case kSystemParameterPage:
            return kSystemSignature;
        case kSmartPage:
            return kSmartSignature;
        default:
            return nullptr;
    }
}

const std::uint8_t* LaterTableSignature() {
    return kLaterSignature;
}

bool HasTableSignature(std::span<const std::uint8_t> slice, int page) {
    const std::uint8_t* signature = TableSignature(page);
    return signature == nullptr || StartsWith(slice, signature);
}

bool HasLaterTableSignature(std::span<const std::uint8_t> slice) {
    return StartsWith(slice, kLaterSignature);
}

bool PutTableSignature(std::span<std::uint8_t> slice, int page) {
    const std::uint8_t* signature = TableSignature(page);
    if (signature == nullptr) {
        return true;
    }
    if (slice.size() < kTableSignatureSize) {
        return false;
    }
    std::memcpy(slice.data(), signature, kTableSignatureSize);
    return true;
}

bool TablePageInUse(int page, const SettingsBlock& settings) {
    if (page == kRemapTablePage) {
        return settings.RemapEnable != 0;
    }
    if (page == kSmartPage) {
        return settings.EnKeepSmartInfo != 0;
    }
    return true;
}

}  // namespace kv
