#include "run/yield_file.h"

#include "platform/ini_service.h"
#include "run/port_status.h"

namespace kv {

std::string YieldFilePath(const std::string& logDir) {
    return logDir + kYieldFileName;
}

YieldCounters ReadYieldFile(const std::string& logDir) {
    const platform::IniFile ini(YieldFilePath(logDir));
    YieldCounters yield;
    yield.TotalTestCount = ini.ReadInt(kYieldSection, "TotalTestCount", 0);
    yield.NumberOfPass = ini.ReadInt(kYieldSection, "NumberOfPass", 0);
    return yield;
}

bool WriteYieldFile(const std::string& logDir, const YieldCounters& yield) {
    platform::IniFile ini(YieldFilePath(logDir));
    const bool total = ini.WriteInt(kYieldSection, "TotalTestCount", yield.TotalTestCount);
    const bool pass = ini.WriteInt(kYieldSection, "NumberOfPass", yield.NumberOfPass);
    return total && pass;
}

YieldReset ResetYieldBtnClick(YieldCounters& yield, const std::string& logDir) {
    yield = YieldCounters{};
    YieldReset reset;
    reset.yieldText = ShowYield(yield);
    reset.saved = WriteYieldFile(logDir, yield);
    return reset;
}

}  // namespace kv
