#include "emulator/diag/flash_diagnostic.h"

#include <algorithm>

#include "emulator/bytes.h"

namespace kv::emu {
namespace {

constexpr std::uint8_t kReadIdFail = 2;
constexpr std::uint8_t kEraseFail = 4;
constexpr std::uint8_t kProgramFail = 5;
constexpr std::uint8_t kEccFail = 7;
constexpr std::uint8_t kSecondEraseFail = 9;

int KindOfCode(int code) {
    if ((code >= 4 && code <= 8) || code == 11) {
        return 2;
    }
    return code == 9 ? 3 : 1;
}

int Channels(const DiagSession& s) {
    return std::min(s.view.headerChannels, 8);
}
int Banks(const DiagSession& s) {
    return std::min(s.view.headerBanks, 8);
}

}  // namespace

void FlashDiagnostics::Log(std::uint8_t& first, int channel, int bank, std::uint8_t code,
                           int kind) {
    if (first == 0) {
        first = code;
    }
    if (log_.size() < kMaxEntries) {
        log_.push_back({static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(bank), code,
                        static_cast<std::uint8_t>(kind)});
    }
}

void FlashDiagnostics::IdTest(DiagSession& session, std::uint8_t& first) {
    const NandGeometry& g = session.nand.geometry();
    for (int b = 0; b < Banks(session); ++b) {
        for (int c = 0; c < Channels(session); ++c) {
            if (c >= g.channels || session.view.chipEnable(b) >= g.chipEnables) {
                Log(first, c, b, kReadIdFail, 1);
            }
        }
    }
}

void FlashDiagnostics::BlockTest(DiagSession& session, int kind, int block, std::uint8_t& first) {
    Nand& nand = session.nand;
    const int pageBytes = nand.geometry().pageBytes();
    std::vector<std::uint8_t> pattern(static_cast<std::size_t>(pageBytes));
    std::vector<std::uint8_t> back(pattern.size());
    for (int b = 0; b < Banks(session); ++b) {
        const int ce = session.view.chipEnable(b);
        for (int c = 0; c < Channels(session); ++c) {
            if (nand.InRange(c, ce, block) && nand.IsFactoryBad(c, ce, block)) {
                continue;
            }
            if (nand.EraseBlock(c, ce, block) != NandStatus::Ok) {
                Log(first, c, b, kEraseFail, kind);
                continue;
            }
            for (std::size_t i = 0; i < pattern.size(); ++i) {
                pattern[i] =
                    static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(block + c + b));
            }
            if (nand.ProgramPage({c, ce, block, 0}, pattern) != NandStatus::Ok) {
                Log(first, c, b, kProgramFail, kind);
            } else if (nand.ReadPage({c, ce, block, 0}, back) != NandStatus::Ok ||
                       back != pattern) {
                Log(first, c, b, kEccFail, kind);
            }
            if (nand.EraseBlock(c, ce, block) != NandStatus::Ok) {
                Log(first, c, b, kSecondEraseFail, kind);
            }
        }
    }
}

std::optional<std::uint8_t> FlashDiagnostics::Run(DiagSession& session, int kind, int parameter) {
    if (kind < 1 || kind > 3) {
        return std::nullopt;
    }
    std::uint8_t first = 0;
    for (const Fault& f : session.profile.faults) {
        if (f.kind == FaultKind::FlashIfFail && KindOfCode(f.first) == kind) {
            Log(first, 0, 0, static_cast<std::uint8_t>(f.first), kind);
        }
    }
    if (kind == 1) {
        IdTest(session, first);
    } else {
        BlockTest(session, kind, parameter, first);
    }
    return first;
}

void FlashDiagnostics::FillLog(std::span<std::uint8_t> out) const {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    if (out.size() < 8) {
        return;
    }
    // Room for the entries and the end entry after the 4-byte head.
    const std::size_t room = (out.size() - 8) / 4;
    const std::size_t n = std::min(room, log_.size());
    PutLe16(out.data(), static_cast<std::uint16_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t* e = out.data() + 4 + i * 4;
        e[0] = log_[i].channel;
        e[1] = log_[i].bank;
        e[2] = log_[i].code;
        e[3] = log_[i].kind;
    }
    std::fill_n(out.data() + 4 + n * 4, 4, std::uint8_t{0xFF});
}

}  // namespace kv::emu
