// The program a station jumps into and the records a new drive carries from
// the factory: the diagnostic program of emulator/diag/.
#include "emulator/diag/diagnostic_program.h"
#include "emulator/diag/rdt_records.h"
#include "emulator/running_program.h"

namespace kv::emu {

std::unique_ptr<RunningProgram> MakeRunningProgram(const ProgramContext& context) {
    return MakeDiagnosticProgram(context);
}

void SeedFactoryFlash(const DriveProfile& profile, Nand& nand) {
    SeedReliabilityRecords(profile, nand);
}

}  // namespace kv::emu
