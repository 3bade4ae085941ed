#include "emulator/diag/program_settings.h"

#include <cstring>

namespace kv::emu {
namespace {

// Reads bytes of the image, 0 where the image ends.
class ImageReader {
  public:
    explicit ImageReader(std::span<const std::uint8_t> image) : image_(image) {}
    std::uint8_t U8(std::size_t at) const { return at < image_.size() ? image_[at] : 0; }
    std::uint16_t U16(std::size_t at) const {
        return static_cast<std::uint16_t>(U8(at) | (U8(at + 1) << 8));
    }
    std::uint32_t U32(std::size_t at) const {
        return static_cast<std::uint32_t>(U16(at)) |
               (static_cast<std::uint32_t>(U16(at + 2)) << 16);
    }
    bool Text(std::size_t at, const char* text, std::size_t n) const {
        return image_.size() >= at + n && std::memcmp(image_.data() + at, text, n) == 0;
    }

  private:
    std::span<const std::uint8_t> image_;
};

constexpr std::size_t kKind = 0x300;
constexpr std::size_t kHeader = 0x500;
constexpr std::size_t kExtras = 0x520;
constexpr std::size_t kBankCodes = 0x528;
constexpr std::size_t kRuntime = 0x548;

}  // namespace

ProgramSettings ReadProgramSettings(std::span<const std::uint8_t> image) {
    const ImageReader r(image);
    ProgramSettings s;
    s.programKind = r.Text(kKind, "GDP_", 4) || r.Text(kKind, "TST_", 4);
    s.typeWord = r.U16(kHeader + 0x00);
    s.interfaceByte = r.U8(kHeader + 0x02);
    s.channels = r.U8(kHeader + 0x03);
    s.banks = r.U8(kHeader + 0x04);
    s.eccMode = r.U8(kHeader + 0x05);
    s.reservedPerMille =
        static_cast<std::uint16_t>(r.U8(kHeader + 0x08) | (r.U8(kHeader + 0x1A) << 8));
    s.optionBits = r.U8(kHeader + 0x09);
    s.ceCount = r.U8(kHeader + 0x0B);
    for (std::size_t i = 0; i < s.codeBlocks.size(); ++i) {
        s.codeBlocks[i] = r.U16(kHeader + 0x10 + i * 2);
    }
    s.defectPerMille = r.U8(kExtras + 0);
    s.prohibitRemapOffset = r.U8(kExtras + 1);
    for (std::size_t i = 0; i < s.bankCodes.size(); ++i) {
        s.bankCodes[i] = r.U8(kBankCodes + i);
    }
    s.bufferSize = r.U32(kRuntime + 0x00);
    s.defectCount = r.U32(kRuntime + 0x04);
    s.firstFirmwarePage = r.U16(kRuntime + 0x08);
    s.dirtyDepth = r.U16(kRuntime + 0x0A);
    s.extendBlocks = r.U16(kRuntime + 0x0C);
    s.dieOffset = r.U16(kRuntime + 0x0E);
    s.portAttr = r.U8(kRuntime + 0x10);
    s.featureFlags = r.U8(kRuntime + 0x11);
    for (std::size_t i = 0; i < s.tablePages.size(); ++i) {
        s.tablePages[i] = r.U8(kRuntime + 0x12 + i);
    }
    return s;
}

}  // namespace kv::emu
