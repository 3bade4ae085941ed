#include "firmware/geometry_record.h"

#include <algorithm>
#include <cstring>

#include "firmware/byte_layout.h"
#include "flash/flash_geometry.h"

namespace kv {
namespace {

std::uint32_t PlaneUnitBlocks(const FlashConfig& f) {
    if (f.Dies == 0) {
        return 0;
    }
    return f.OnePlane == 0 ? f.BlocksPerCe / 2u / f.Dies
                           : static_cast<std::uint32_t>(f.BlocksPerCe) / f.Dies;
}

std::uint8_t BankShift(const FlashConfig& f) {
    return static_cast<std::uint8_t>(LowBitIndex(f.Banks) + (f.Dies > 1 ? 1 : 0));
}

std::uint8_t FamilyBits(const FlashConfig& f) {
    switch (f.MakerClass) {
        case 0:
        case 4:
            return 0x01;
        case 1:
            return 0x02;
        case 2:
            return 0x04;
        case 3:
            return f.AltFamily != 0 ? 0x04 : 0x02;
        default:
            return 0x00;
    }
}

}  // namespace

std::uint8_t PlaneUnitShift(const FlashConfig& flash) {
    return LowBitIndex(PlaneUnitBlocks(flash));
}

std::uint8_t SpareShift(const FlashConfig& f) {
    const std::uint32_t unit = f.LargeCapacity ? 8192u : 4096u;
    const std::uint32_t stripe = static_cast<std::uint32_t>(f.Channels) << BankShift(f);
    const int x = stripe == 0 ? 0 : LowBitIndex(unit / stripe);

    const std::uint32_t blocks = PlaneUnitBlocks(f);
    std::uint32_t d = 2;
    // 1/d < ResPercentage / 1000, that is 1000 < ResPercentage x d.
    while (!(1000u < static_cast<std::uint32_t>(f.ResPercentage) * d) && d * 2 <= blocks) {
        d *= 2;
    }
    const int y = static_cast<int>(LowBitIndex(blocks)) - static_cast<int>(LowBitIndex(d));
    int value = std::min(x, y);
    if (f.ResPercentage >= 68) {
        value = std::min(value, static_cast<int>(PlaneUnitShift(f)) - 4);
    }
    return static_cast<std::uint8_t>(std::max(value, 0));
}

void BuildGeometryRecord(const ImageContext& ctx, const PortImageState& port,
                         std::uint16_t firstFirmwarePage, std::uint8_t* r) {
    const FlashConfig& f = ctx.flash;
    r[0x00] = LowBitIndex(f.Channels);
    r[0x01] = BankShift(f);
    r[0x02] = f.OnePlane == 0 ? 1 : 0;
    r[0x03] = LowBitIndex(f.PagesPerBlock);
    r[0x04] = PlaneUnitShift(f);
    r[0x05] = LowBitIndex(f.SectorsPerPage);
    r[0x06] = SpareShift(f);
    r[0x07] = 8;
    r[0x08] = port.PortAttr;
    r[0x09] = f.DieOffset != 0 ? 1 : 0;
    r[0x0A] = LowBitIndex(f.Banks);
    r[0x0B] = r[0x01] + r[0x05] >= 7 ? 2 : 1;
    std::memcpy(r + 0x10, f.AsyncTiming, 7);
    r[0x17] = f.FeatureFlags;
    std::memcpy(r + 0x18, f.SyncTiming, 7);
    r[0x1F] = FamilyBits(f);
    for (int i = 0; i < 4; ++i) {
        r[0x20 + i] = static_cast<std::uint8_t>(port.SysPageValues[i] & 0xFF);
        r[0x34 + i] = static_cast<std::uint8_t>(port.SysPageValues[4 + i] & 0xFF);
    }
    PutLe16(r + 0x24, f.ResPercentage);
    PutLe16(r + 0x26, firstFirmwarePage);
    PutLe16(r + 0x28, f.ExtendBlocks);
    PutLe16(r + 0x2A, f.DieOffset);
    PutLe16(r + 0x2C, port.SysPageValues[8]);
    PutLe16(r + 0x2E, port.SysPageValues[9]);
    PutLe16(r + 0x30, f.MakerClass == 0 || f.MakerClass == 4 ? 512 : 800);
    r[0x32] = f.DriverSetting;
    r[0x33] = ctx.settings.BelmarSSD;
}

}  // namespace kv
