// identify PORT: IDENTIFY DEVICE of the drive on station port PORT (from 1),
// printed as 256 words of four hexadecimal digits, eight a line.
#pragma once

#include "cli/commands.h"

namespace kv::cli {

// Runs on the selected backend: the station starts, discovers its drives,
// sends the command and closes. Exit 0 with the words on standard output;
// 2 with a message on standard error for a bad port number, an empty port,
// a UsbPath port (where IDENTIFY is not sent) or a failed command.
int RunIdentifyCommand(const CommandLine& line);

}  // namespace kv::cli
