#include "emulator/identify_data.h"

#include <algorithm>

#include "emulator/bytes.h"

namespace kv::emu {
namespace {

void PutWord(Sector& id, int word, std::uint16_t value) {
    PutLe16(id.data() + word * 2, value);
}

}  // namespace

void PutAtaString(Sector& id, int firstWord, int bytes, const std::string& text) {
    for (int i = 0; i < bytes; ++i) {
        const char c = i < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(i)] : ' ';
        // Byte pairs are swapped: character 0 goes to the high byte of the word.
        id[static_cast<std::size_t>(firstWord * 2 + (i ^ 1))] = static_cast<std::uint8_t>(c);
    }
}

std::string GetAtaString(const Sector& id, int firstWord, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) {
        s += static_cast<char>(id[static_cast<std::size_t>(firstWord * 2 + (i ^ 1))]);
    }
    return s;
}

void SealIdentify(Sector& id) {
    id[510] = 0xA5;
    unsigned sum = 0;
    for (int i = 0; i < 511; ++i) {
        sum += id[static_cast<std::size_t>(i)];
    }
    id[511] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

bool IdentifySealed(const Sector& id) {
    unsigned sum = 0;
    for (std::uint8_t b : id) {
        sum += b;
    }
    return id[510] == 0xA5 && (sum & 0xFF) == 0;
}

void PutCapacity(Sector& id, std::uint64_t sectors) {
    const std::uint32_t small =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, 0x0FFFFFFF));
    PutLe32(id.data() + 120, small);
    PutLe32(id.data() + 200, static_cast<std::uint32_t>(sectors));
    PutLe32(id.data() + 204, static_cast<std::uint32_t>(sectors >> 32));
}

Sector BasicIdentify(const std::string& model, const std::string& serial,
                     const std::string& revision, std::uint8_t sataSpeed) {
    Sector id{};
    PutWord(id, 0, 0x0040);  // fixed device
    PutWord(id, 1, 16383);
    PutWord(id, 3, 16);
    PutWord(id, 6, 63);
    PutAtaString(id, 10, 20, serial);
    PutAtaString(id, 23, 8, revision);
    PutAtaString(id, 27, 40, model);
    PutWord(id, 47, 0x8001);
    PutWord(id, 49, 0x0F00);  // LBA and DMA
    PutWord(id, 53, 0x0007);
    PutWord(id, 63, 0x0007);
    PutWord(id, 64, 0x0003);
    PutWord(id, 76, static_cast<std::uint16_t>(sataSpeed));
    PutWord(id, 80, 0x01F0);
    PutWord(id, 82, 0x746B);
    PutWord(id, 83, 0x7D09);  // 48-bit addressing
    PutWord(id, 84, 0x6123);
    PutWord(id, 85, 0x7469);
    PutWord(id, 86, 0xBC01);
    PutWord(id, 87, 0x6123);
    PutWord(id, 88, 0x007F);  // UDMA modes 0-6
    return id;
}

Sector LoaderIdentify(const std::string& serial, std::uint8_t sataSpeed) {
    Sector id = BasicIdentify(kSataLoaderModel, serial, "LDR 1.00", sataSpeed);
    PutCapacity(id, 0);
    SealIdentify(id);
    return id;
}

Sector SmartData(const std::vector<std::uint8_t>& saved, int temperature, std::uint32_t powerUps,
                 std::uint64_t sectorsWritten) {
    Sector s{};
    if (saved.size() == 512) {
        std::copy(saved.begin(), saved.end(), s.begin());
    } else {
        PutLe16(s.data(), 0x0010);
        const std::uint8_t ids[4] = {0x09, 0x0C, 0xC2, 0xEB};
        for (int i = 0; i < 4; ++i) {
            std::uint8_t* e = s.data() + 2 + i * 12;
            e[0] = ids[i];
            PutLe16(e + 1, 0x0032);
            e[3] = 100;
            e[4] = 100;
        }
        PutLe32(s.data() + 2 + 0 * 12 + 5, powerUps);  // one hour per power-up, as a stand-in
        PutLe32(s.data() + 2 + 1 * 12 + 5, powerUps);
        PutLe32(s.data() + 2 + 3 * 12 + 5, static_cast<std::uint32_t>(sectorsWritten >> 16));
    }
    // The temperature is always live.
    for (int i = 0; i < 30; ++i) {
        std::uint8_t* e = s.data() + 2 + i * 12;
        if (e[0] == 0xC2) {
            e[5] = static_cast<std::uint8_t>(temperature);
            break;
        }
    }
    unsigned sum = 0;
    for (int i = 0; i < 511; ++i) {
        sum += s[static_cast<std::size_t>(i)];
    }
    s[511] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    return s;
}

}  // namespace kv::emu
