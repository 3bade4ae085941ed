// The program the station loads into program RAM and jumps into: the
// diagnostic program ("GDP_") and the test program ("TST_") are one image
// and answer the same commands. It reads the flash header, extras, chip-
// enable codes and runtime parameters of the image it was loaded with
// (program_settings.h) and sees the flash through them (flash_probe.h).
//
// Sub-codes it answers (the controller hands them over while it runs):
//   0x00 data-in  VC_GDP_ReadBadBlockInfo (as the firmware answers it)
//   0x01, 0x03, 0x04 without data: start program 1, 3 or 4 with the exec
//        flags in byte 3 (programs.h); 0x02 names no program and fails
//   0x04 data-in  VC_GDP_ReadSysArea (as the firmware answers it)
//   0x05 data-in  VC_GDP_GetFlashInfo (flash_probe.h)
//   0x06 data-in  VC_GDP_GetResult: the report of the last program
//   0x07 data-in  VC_GDP_GetSysBlocks: u16 code block numbers, 0xFFFF after
//                 the last (the blocks the last table write used, else the
//                 first four good blocks); with fewer than four the
//                 report becomes one record 1 ("Code Page Does Not Exist")
//   0x08 data-out VC_GDP_WriteEraseCount: kept as the drive's erase-count
//                 area (at most 127 sectors)
//   0x0E data-out VC_GDP_WriteSmartInfo: kept as the drive's SMART sector
//                 and written into the SMART table page by the next
//                 pre-format
//   0x21, 0x22    flash diagnostics and their log (flash_diagnostic.h)
//   0x23, 0x24    the DRAM buffer window (test_buffer.h)
// While a program works (status 0xAA) every other command fails. The status
// read answers 0 before the first program, 0xAA while one works, then its
// end status.
#pragma once

#include <cstdint>
#include <memory>

#include "emulator/diag/diag_session.h"
#include "emulator/diag/flash_diagnostic.h"
#include "emulator/diag/test_buffer.h"
#include "emulator/running_program.h"

namespace kv::emu {

class DiagnosticProgram final : public RunningProgram {
  public:
    explicit DiagnosticProgram(const ProgramContext& context);

    std::uint8_t Status() override;
    VendorAnswer Handle(const VendorCommand& command) override;

  private:
    bool Busy();
    VendorAnswer Start(int program, std::uint8_t flags);
    VendorAnswer SysBlocks(const VendorCommand& command);
    VendorAnswer EraseCounts(const VendorCommand& command);
    VendorAnswer Smart(const VendorCommand& command);
    VendorAnswer Diagnostic(const VendorCommand& command);
    VendorAnswer Buffer(const VendorCommand& command);

    Clock& clock_;
    DiagSession session_;
    FlashDiagnostics diagnostics_;
    TestBuffers buffers_;
    std::uint8_t status_ = kStatusIdle;
    std::int64_t doneAtMs_ = 0;
};

std::unique_ptr<RunningProgram> MakeDiagnosticProgram(const ProgramContext& context);

}  // namespace kv::emu
