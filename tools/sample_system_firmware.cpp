#include "tools/sample_system_firmware.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace kv::tools {
namespace {

constexpr std::size_t kIdentifyOffset = 0x04C;
constexpr std::size_t kMinimumSize = 4096;

void PutText(std::vector<std::uint8_t>& file, std::size_t at, std::size_t size,
             const std::string& text) {
    std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(at), size, 0);
    std::copy_n(text.begin(), std::min(size, text.size()),
                file.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutWord(std::vector<std::uint8_t>& file, int word, std::uint16_t value) {
    const std::size_t at = kIdentifyOffset + static_cast<std::size_t>(word) * 2;
    file[at] = static_cast<std::uint8_t>(value & 0xFF);
    file[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// ATA string order: the two characters of every pair exchanged, blank filled.
void PutAtaText(std::vector<std::uint8_t>& file, int firstWord, std::size_t size,
                const std::string& text) {
    const std::size_t at = kIdentifyOffset + static_cast<std::size_t>(firstWord) * 2;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = i < text.size() ? text[i] : ' ';
        file[at + (i ^ 1)] = static_cast<std::uint8_t>(c);
    }
}

// The identify template: a fixed SATA SSD with LBA48, DMA, UDMA 0-6 and the
// usual feature words. Capacity words and the integrity word are left 0: the
// drive's firmware fills them from its own capacity.
void PutIdentifyTemplate(std::vector<std::uint8_t>& file, const SystemFirmwareSample& s) {
    PutWord(file, 0, 0x0040);  // fixed device
    PutWord(file, 1, 16383);
    PutWord(file, 3, 16);
    PutWord(file, 6, 63);
    PutAtaText(file, 10, 20, "");
    PutAtaText(file, 23, 8, s.Revision);
    PutAtaText(file, 27, 40, s.Model);
    PutWord(file, 47, 0x8001);
    PutWord(file, 49, 0x0F00);  // LBA, DMA, IORDY
    PutWord(file, 53, 0x0007);
    PutWord(file, 63, 0x0007);
    PutWord(file, 64, 0x0003);
    PutWord(file, 76, 0x000E);  // SATA 1.5, 3 and 6 Gb/s
    PutWord(file, 80, 0x01F0);  // ATA-4 .. ATA8-ACS
    PutWord(file, 81, 0x0028);
    PutWord(file, 82, 0x746B);
    PutWord(file, 83, 0x7D09);  // 48-bit addressing
    PutWord(file, 84, 0x6123);
    PutWord(file, 85, 0x7469);
    PutWord(file, 86, 0xBC01);
    PutWord(file, 87, 0x6123);
    PutWord(file, 88, 0x007F);   // UDMA modes 0-6
    PutWord(file, 93, 0x0000);   // no cable detection on SATA
    PutWord(file, 106, 0x4000);  // one logical sector per physical sector
    PutWord(file, 217, 0x0001);  // solid state, no rotation
}

// Pages after the header stand in for the code: a pattern that never
// repeats the header's magic.
void PutCodePattern(std::vector<std::uint8_t>& file) {
    for (std::size_t i = kMinimumSize; i < file.size(); ++i) {
        file[i] = static_cast<std::uint8_t>((i * 7 + (i >> 8)) & 0xFF);
    }
}

void Seal(std::vector<std::uint8_t>& file) {
    const std::size_t check = file.size() - 2;
    file[check] = 0xA5;
    file.back() = 0;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (i != check) {
            sum = static_cast<std::uint8_t>(sum + file[i]);
        }
    }
    file.back() = static_cast<std::uint8_t>(0x100 - sum);
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
               std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::uint8_t> SampleSystemFirmware(const SystemFirmwareSample& sample) {
    std::vector<std::uint8_t> file(std::max(sample.SizeBytes, kMinimumSize), 0);
    PutIdentifyTemplate(file, sample);
    PutText(file, 0x300, 4, "DIZO");
    PutText(file, 0x306, 6, sample.Version);
    file[0x30D] = static_cast<std::uint8_t>(sample.BusLetter);
    PutText(file, 0x324, 4, sample.ModelCode);
    PutText(file, 0x329, 2, sample.FormatCode);
    PutText(file, 0x330, 4, sample.BuildTag);
    PutCodePattern(file);
    Seal(file);
    return file;
}

bool WriteSampleSystemFirmware(const std::string& folder, std::string& error) {
    SystemFirmwareSample sata;
    SystemFirmwareSample usb;
    usb.BusLetter = 'U';
    usb.Model = "KV51X USB SSD";
    return WriteFile(folder + "/SYS_S.bin", SampleSystemFirmware(sata), error) &&
           WriteFile(folder + "/SYS_U.bin", SampleSystemFirmware(usb), error);
}

}  // namespace kv::tools
