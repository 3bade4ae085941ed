#include "emulator/diag/diagnostic_program.h"

#include <algorithm>

#include "emulator/bytes.h"
#include "emulator/clock.h"
#include "emulator/diag/code_blocks.h"
#include "emulator/diag/programs.h"
#include "emulator/flash_answers.h"

namespace kv::emu {
namespace {

constexpr std::size_t kMaxEraseCountSectors = 127;

VendorAnswer Filled(const VendorCommand& c) {
    return {true, c.data.size()};
}

bool DataIn(const VendorCommand& c) {
    return c.transfer == Transfer::In && c.data.size() >= 512;
}

}  // namespace

DiagnosticProgram::DiagnosticProgram(const ProgramContext& context)
    : clock_(context.clock),
      session_{context.profile, context.nand, context.state, ReadProgramSettings(context.image)},
      buffers_(context.profile.HasFault(FaultKind::DramFail)) {
    session_.view = ProbeFlash(session_.settings, session_.nand, false);
}

bool DiagnosticProgram::Busy() {
    return clock_.NowMs() < doneAtMs_;
}

std::uint8_t DiagnosticProgram::Status() {
    return Busy() ? kStatusBusy : status_;
}

VendorAnswer DiagnosticProgram::Start(int program, std::uint8_t flags) {
    session_.view = ProbeFlash(session_.settings, session_.nand, (flags & kExecHalfPageBlock) != 0);
    ProgramOutcome outcome;
    switch (program) {
        case 1:
            outcome = RunEraseProgram(session_, flags);
            break;
        case 3:
            outcome = RunPreFormat(session_, flags);
            break;
        case 4:
            outcome = RunRebuild(session_, flags);
            break;
        default:
            return {};
    }
    status_ = outcome.status;
    doneAtMs_ = clock_.NowMs() + outcome.durationMs;
    return {true, 0};
}

VendorAnswer DiagnosticProgram::Handle(const VendorCommand& command) {
    if (Busy()) {
        return {};
    }
    const std::uint8_t sub = command.subCode();
    switch (sub) {
        case 0x00:
            return command.transfer == Transfer::In ? AnswerBadBlockInfo(session_.nand, command)
                                                    : VendorAnswer{};
        case 0x01:
        case 0x02:
        case 0x03:
        case 0x04:
            if (command.transfer == Transfer::None) {
                return Start(sub, command.block[3]);
            }
            return sub == 0x04 && command.transfer == Transfer::In
                       ? AnswerSystemAreaRead(session_.nand, command)
                       : VendorAnswer{};
        case 0x05:
            if (!DataIn(command)) {
                return {};
            }
            FillFlashInfo(session_.view, session_.profile, session_.nand, command.data);
            return Filled(command);
        case 0x06: {
            if (!DataIn(command)) {
                return {};
            }
            const auto& report = session_.report.bytes();
            std::fill(command.data.begin(), command.data.end(), std::uint8_t{0});
            std::copy_n(report.begin(), std::min(report.size(), command.data.size()),
                        command.data.begin());
            return Filled(command);
        }
        case 0x07:
            return SysBlocks(command);
        case 0x08:
            return EraseCounts(command);
        case 0x0E:
            return Smart(command);
        case 0x21:
        case 0x22:
            return Diagnostic(command);
        case 0x23:
        case 0x24:
            return Buffer(command);
        default:
            return {};
    }
}

VendorAnswer DiagnosticProgram::SysBlocks(const VendorCommand& command) {
    if (!DataIn(command)) {
        return {};
    }
    const std::vector<int> blocks =
        session_.codeBlocks ? *session_.codeBlocks : FirstGoodBlocks(session_.nand, session_.view);
    if (blocks.size() < kCodeBlockCount) {
        // The station fetches the report to tell why.
        session_.report.Clear();
        ReportRecord r;
        r.code = Finding::PageMissing;
        r.value = static_cast<std::uint16_t>(PageKind::Code);
        session_.report.Add(r);
    }
    std::fill(command.data.begin(), command.data.end(), std::uint8_t{0xFF});
    for (std::size_t i = 0; i < blocks.size() && i < kCodeBlockCount; ++i) {
        PutLe16(command.data.data() + i * 2, static_cast<std::uint16_t>(blocks[i]));
    }
    return Filled(command);
}

VendorAnswer DiagnosticProgram::EraseCounts(const VendorCommand& command) {
    if (command.transfer == Transfer::None) {
        session_.state.eraseCountArea.clear();
        return {true, 0};
    }
    if (command.transfer != Transfer::Out || command.data.size() > kMaxEraseCountSectors * 512) {
        return {};
    }
    session_.state.eraseCountArea.assign(command.data.begin(), command.data.end());
    return Filled(command);
}

VendorAnswer DiagnosticProgram::Smart(const VendorCommand& command) {
    if (command.transfer != Transfer::Out || command.data.size() < 512) {
        return {};
    }
    std::array<std::uint8_t, 512> sector{};
    std::copy_n(command.data.begin(), sector.size(), sector.begin());
    session_.smart = sector;
    session_.state.smartSector.assign(sector.begin(), sector.end());
    return Filled(command);
}

VendorAnswer DiagnosticProgram::Diagnostic(const VendorCommand& command) {
    if (!DataIn(command)) {
        return {};
    }
    std::fill(command.data.begin(), command.data.end(), std::uint8_t{0});
    if (command.subCode() == 0x22) {
        diagnostics_.FillLog(command.data);
        return Filled(command);
    }
    const auto code = diagnostics_.Run(session_, command.block[3], Be16(command.block.data() + 4));
    if (!code) {
        return {};
    }
    if (*code != 0) {
        command.data[0] = 1;
        command.data[1] = *code;
    }
    return Filled(command);
}

VendorAnswer DiagnosticProgram::Buffer(const VendorCommand& command) {
    const int buffer = command.block[3];
    const std::uint32_t address = Be32(command.block.data() + 4);
    if (command.subCode() == 0x24) {
        if (command.transfer != Transfer::Out) {
            return {};
        }
        return buffers_.Write(buffer, address, command.data) ? Filled(command) : VendorAnswer{};
    }
    if (command.transfer != Transfer::In) {
        return {};
    }
    return buffers_.Read(buffer, address, command.data) ? Filled(command) : VendorAnswer{};
}

std::unique_ptr<RunningProgram> MakeDiagnosticProgram(const ProgramContext& context) {
    return std::make_unique<DiagnosticProgram>(context);
}

}  // namespace kv::emu
