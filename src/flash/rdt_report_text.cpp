#include "flash/rdt_report_text.h"

#include <cstdarg>
#include <cstdio>

namespace kv {
namespace {

constexpr char kSeparator[] = "-------------------------------------------------------\r\n";
constexpr char kStepCharacters[] = "01A3456";
constexpr std::uint32_t kTicksPerSecond = 400;
// The steps the report shows, by their index into the step time lists.
constexpr int kShownSteps[] = {1, 3, 5};
constexpr const char* kClockTexts[] = {"250", "187.5", "150", "125", "93.75"};

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* fmt, ...) {
    char small[512];
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, fmt, args);
    va_end(args);
    std::string text;
    if (n < 0) {
        va_end(again);
        return text;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(n));
    } else {
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), fmt, again);
        text.resize(static_cast<std::size_t>(n));
    }
    va_end(again);
    return text;
}

std::string FailPatternText(std::uint16_t pattern) {
    std::string text;
    for (int k = 0; k < 16; ++k) {
        if ((pattern & (1u << k)) != 0) {
            if (!text.empty()) {
                text += ",";
            }
            text += std::to_string(k);
        }
    }
    return text;
}

int ShownBank(int bank, int ceCount) {
    return ceCount > 0 ? bank % ceCount : bank;
}

}  // namespace

int RdtGroupOf(int bank, int channel, int ceCount) {
    if (ceCount <= 0 || bank < 0 || channel < 0) {
        return -1;
    }
    const int group = (bank / ceCount) * 4 + channel;
    return group < kRdtGroupCount ? group : -1;
}

RdtDieGroups GroupRdtDies(const std::vector<RdtDieRecord>& dies, int ceCount) {
    RdtDieGroups groups;
    groups.GroupOfKey.fill(-1);
    for (const RdtDieRecord& die : dies) {
        if (!die.Address.Present) {
            continue;
        }
        const int g = RdtGroupOf(die.Address.Bank, die.Address.Channel, ceCount);
        if (g < 0) {
            continue;
        }
        const auto gi = static_cast<std::size_t>(g);
        groups.Present[gi] = true;
        groups.Dies[gi].push_back(die);
        groups.GroupOfKey[die.Address.Key] = g;
    }
    return groups;
}

std::string RdtTimeText(std::uint32_t ticks) {
    const std::uint32_t seconds = ticks / kTicksPerSecond;
    return Format("%2.2d:%2.2d:%2.2d", static_cast<int>(seconds / 3600),
                  static_cast<int>((seconds / 60) % 60), static_cast<int>(seconds % 60));
}

std::string RdtFactoryLine(const RdtFactoryMark& mark, int ceCount) {
    const int bank = ShownBank(mark.Bank, ceCount);
    const int even = mark.Unit * 2;
    switch (mark.Planes) {
        case 1:
            return Format("Bank:%d  unit:0x%04x:1  block:0x%04x\r\n", bank, mark.Unit, even);
        case 2:
            return Format("Bank:%d  unit:0x%04x:2  block:0x%04x\r\n", bank, mark.Unit, even + 1);
        case 3:
            return Format("Bank:%d  unit:0x%04x:3  block:0x%04x,0x%04x\r\n", bank, mark.Unit, even,
                          even + 1);
        default:
            return {};
    }
}

std::string RdtReportHead(const RdtRecordData& r) {
    std::string t = "RDT FIRMWARE VERVION : " + r.FirmwareVersion + "\r\n";
    t += kSeparator;
    if (r.Inherit) {
        t += "[Inherit Mode]\r\n";
        t += kSeparator;
    }
    t += Format("Bad Blocks Threshold (per Plane) = %d\r\n", r.BadBlocksThreshold);
    t += Format("ECC Fail Blocks Threshold (per Plane) = %d\r\n", r.EccFailBlocksThreshold);
    t += Format("HighPage Prog Fail Blocks Threshold (per Plane) = %d\r\n",
                r.HighPageProgFailThreshold);
    t += Format("Err_Bits_Over Threshold (per 1Kbits) = %d\r\n", r.ErrorBitsOverThreshold);
    t += Format("NOT EMPTY PAGE THRESHOLD (PER 1K) = %d\r\n", r.NotEmptyPageThreshold);
    t += Format("Err_Bits_Over Mark ECC Fail Bad Flag = %d\r\n", r.MarkEccFailFlag);
    t += kSeparator;
    t += Format("TOTOAL TIME: %s\r\n", RdtTimeText(r.TotalTicks).c_str());
    for (const int step : kShownSteps) {
        const auto k = static_cast<std::size_t>(step);
        t += Format("=======STEP %d=======\r\n", step);
        t += Format("MIN. TIME: %s\r\n", RdtTimeText(r.StepMinTicks[k]).c_str());
        t += Format("MAX. TIME: %s\r\n", RdtTimeText(r.StepMaxTicks[k]).c_str());
    }
    t += Format("Step3 Cycle Num: %d\r\n\r\n", static_cast<int>(r.Step3Cycles));
    t += Format("AVG. TEMPERATURE: %d\r\n\r\n", r.AverageTemperature);
    const char* clock = r.ClockIndex < std::size(kClockTexts) ? kClockTexts[r.ClockIndex] : "";
    t += Format("SYSTEM CLOCK: %s\r\n", clock);
    t += kSeparator;
    t += "====ERROR TYPE====\r\n";
    t += Format("0 : Err_Bits_Over Mark ECC Fail Bad (Threshold:%d)\r\n", r.ErrorBitsOverThreshold);
    t += "1 : ECC FAIL\r\n";
    t += "3 : PROGRAM FAIL\r\n";
    t += "4 : ERASE FAIL\r\n";
    t += "5 : EMPTY PAGE FAIL\r\n";
    t += Format("6 : NOT EMPTY FAIL (Threshold:%d)\r\n", r.NotEmptyPageThreshold);
    t += "7 : ECC OVER -> ECC FAIL\r\n";
    t += kSeparator;
    t += "====ACTION====\r\n";
    t += "0 : PRE-READ\r\n";
    t += "1 : POST-READ\r\n";
    t += "2 : PROGRAM\r\n";
    t += "3 : ERASE\r\n";
    t += kSeparator;
    t += "====Error Code====\r\n";
    t += "P05 : BadBlock over spec\r\n";
    t += "P06 : UpperBlock over spec\r\n";
    t += "P07 : ECC fail Occur.\r\n";
    t += kSeparator;
    return t;
}

std::string RdtDieLines(const RdtDieRecord& d, int ceCount) {
    const RdtDieAddress& a = d.Address;
    std::string t =
        Format("Bank: %1d(%d)  Ch: %1d, LUN: %1d    ID: %02X %02X %02X %02X %02X %02X %02X\r\n",
               a.Bank, ShownBank(a.Bank, ceCount), a.Channel, a.Lun, d.FlashId[0], d.FlashId[1],
               d.FlashId[2], d.FlashId[3], d.FlashId[4], d.FlashId[5], d.FlashId[6]);
    t += Format("    Bad blocks:%04d(%2.1f%%)  Max A: %2.1f  Min V: %2.1f  Fail pattern:%s\r\n",
                d.BadBlocks, d.BadRatioPerMille / 10.0, d.MaxATenths / 10.0, d.MinVTenths / 10.0,
                FailPatternText(d.FailPattern).c_str());
    return t;
}

char RdtStepCharacter(std::uint8_t stepCode) {
    return stepCode < sizeof kStepCharacters - 1 ? kStepCharacters[stepCode] : '?';
}

std::string RdtErrorRow(const RdtErrorEntry& e, int ceCount) {
    const RdtDieAddress& a = e.Address;
    const int bank = ShownBank(a.Bank, ceCount);
    const std::string time = Format(" %s", RdtTimeText(e.Ticks).c_str());
    const char step = RdtStepCharacter(e.StepCode);
    const int even = e.Unit * 2;
    if (e.PlaneMask == 3) {
        return Format(
            "%1d(%1d),%3d,%4d,   0&1,   0x%04x:%1d,  0x%04x,  0x%04x,%11d,%6x, %s, %4c,     %4d,"
            "       %5d,\r\n",
            a.Bank, bank, a.Channel, a.Lun, e.Unit, e.PlaneMask, even, even + 1, e.ErrorType,
            e.Page, time.c_str(), step, e.Action, e.Temperature);
    }
    if (e.PlaneMask != 1 && e.PlaneMask != 2) {
        return {};
    }
    const int plane = e.PlaneMask == 1 ? 0 : 1;
    std::string row = Format(
        "%1d(%1d),%3d,%4d,     %d,   0x%04x:%1d,  0x%04x,        ,%11d,%6x, %s, %4c,     %4d,"
        "       %5d,",
        a.Bank, bank, a.Channel, a.Lun, plane, e.Unit, e.PlaneMask, even + plane, e.ErrorType,
        e.Page, time.c_str(), step, e.Action, e.Temperature);
    if (e.ErrorType == 0) {
        row += Format("     %11d", e.EccInfo);
    }
    row += "\r\n";
    return row;
}

std::string RdtGroupReport(const RdtRecordData& record, const std::vector<RdtDieRecord>& dies,
                           const std::vector<RdtErrorEntry>& entries, int ceCount) {
    std::string t = RdtReportHead(record);
    for (const RdtDieRecord& d : dies) {
        t += RdtDieLines(d, ceCount);
    }
    t += "================RDT Bad==================\r\n";
    t += "Bank, Ch, LUN, Plane, Block unit, Block 1, Block 2, Error type,  Page,       time, "
         "Step,   Action, Temperature, Ecc Information\r\n";
    int rows = 0;
    for (const RdtErrorEntry& e : entries) {
        const std::string row = RdtErrorRow(e, ceCount);
        if (!row.empty()) {
            t += row;
            ++rows;
        }
    }
    if (record.Inherit && rows == 0) {
        const std::string dashes = Format(" %s\r\n", std::string(108, '-').c_str());
        t += dashes;
        t += std::string(47, ' ') + "Not ReRDT Record" + std::string(50, ' ') + "\r\n";
        t += dashes;
    }
    return t;
}

std::string RdtGroupFileName(const std::string& serial, int group, const char* extension) {
    return serial + Format("_F%01d%01d", group / 4, group % 4) + extension;
}

}  // namespace kv
