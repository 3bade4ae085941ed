// Rules of the test-item check list shared by both front ends: which lines it
// holds, how its check marks become item enables, and which option page belongs
// to the selected line. The front ends only paint the lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run/global_state.h"

namespace kv {

struct CheckListLine {
    std::string text;  // the ItemName of the item the line stands for
    bool checked = false;
};

// The lines in the station's fixed order. Rebuild Bad Block is listed when item 2
// is enabled or `updateFirmwareA2B` is on; Upload, Write PPID, Set Max LBA, Disk
// Format and Check Temperature only when enabled. A line is checked when the item
// whose ItemName it carries is enabled.
std::vector<CheckListLine> BuildCheckList(const std::uint8_t (&itemEnabled)[kItemCount],
                                          bool updateFirmwareA2B);

// Copies the check marks to the enables: every item 0..38 whose ItemName equals a
// line's text takes the line's state. The "Download" line is forced on while
// Preformat is enabled, and its check mark follows. Refreshing the firmware
// bin-file choices afterwards is the caller's job.
void CopyCheckListToEnables(std::vector<CheckListLine>& lines,
                            std::uint8_t (&itemEnabled)[kItemCount]);

// Name of the option page shown for the selected line ("OP_FlashModule" etc.);
// empty for a line without options.
std::string OptionPageForLine(const std::string& lineText);

}  // namespace kv
