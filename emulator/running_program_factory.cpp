// Stand-in for the diagnostic program until its own unit takes over these two
// functions: a program that answers every command with a failure and reports
// a status no procedure expects, and a factory flash without records.
#include <memory>

#include "emulator/running_program.h"

namespace kv::emu {
namespace {

class NoProgram final : public RunningProgram {
public:
    std::uint8_t Status() override { return 0xFF; }
    VendorAnswer Handle(const VendorCommand&) override { return {}; }
};

}  // namespace

std::unique_ptr<RunningProgram> MakeRunningProgram(const ProgramContext&) {
    return std::make_unique<NoProgram>();
}

void SeedFactoryFlash(const DriveSpec&, Nand&) {}

}  // namespace kv::emu
