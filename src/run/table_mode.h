// The table mode of the run controller: a defect or later table of the first
// present drive goes to or comes from a text file, and the operator is told
// how each transfer went. The flash procedures come in through `TableDrive`,
// so the messages and their order are decided here alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/settings_block.h"
#include "flash/operator_message.h"
#include "run/run_checks.h"

namespace kv {

inline constexpr char kCheckFlashModuleFailText[] =
    "Check Flash Module Fail. Please choose a correct flash module";
inline constexpr char kGetBlockFailText[] = "Get Block Fail.";
inline constexpr char kGetDefTableOkText[] = "Get Def. Table O.K.";
inline constexpr char kGetDefTableFailText[] = "Get Def. Table Fail";
inline constexpr char kPutDefTableOkText[] = "Put Def. Table O.K.";
inline constexpr char kPutDefTableFailText[] = "Put Def. Table Fail";
inline constexpr char kGetLaterTableOkText[] = "Get Later Table O.K.";
inline constexpr char kGetLaterTableFailText[] = "Get Later Table Fail";
inline constexpr char kPutLaterTableOkText[] = "Put Later Table O.K.";
inline constexpr char kPutLaterTableFailText[] = "Put Later Table Fail";
// The presence check's answer for a drive without a defect table.
inline constexpr int kNoDefectTable = 2;
inline constexpr int kPutDefTableSettleMs = 300;

// The flash procedures a table transfer uses, on one port with its buffer.
class TableDrive {
  public:
    virtual ~TableDrive() = default;
    virtual bool FlashModuleTest(int port) = 0;
    virtual bool GetCodeBlocks(int port) = 0;
    virtual bool GetDefectTable(int port, const std::string& path, int formatCode) = 0;
    virtual bool PutDefectTable(int port, const std::string& path, int formatCode) = 0;
    // 2 when the drive holds no defect table.
    virtual int CheckDefectTable(int port) = 0;
    virtual bool GetLaterTable(int port, const std::string& path, int formatCode) = 0;
    virtual bool PutLaterTable(int port, const std::string& path, int formatCode) = 0;
    virtual void Wait(int ms) = 0;
};

// A table file text as the transfer uses it: unchanged when it names a drive
// (contains ":\") or is absolute on this platform, else in the program folder.
std::string TableFilePath(const std::string& programFolder, const std::string& text);

// The run of table mode on `port` (the first present one): unless in special
// mode the flash module must match, the code blocks must be found, then each
// chosen transfer in the order get/put defect table, get/put later table with
// the file of its field ("TableIn", "TableOut", "LaterTableIn",
// "LaterTableOut"). A failed get deletes a defect-table file it may have left.
// The messages come back in the order the operator sees them.
std::vector<OperatorMessage> RunTableMode(int port, const RdPageChoice& choice,
                                          const SettingsBlock& settings, bool specialMode,
                                          const std::string& programFolder, int formatCode,
                                          TableDrive& drive);

}  // namespace kv
