// The system firmware files of a sample station folder: "SYS_S.bin" for the
// SATA product and "SYS_U.bin" for the USB product. Their first page is a
// header page the station recognises and personalises at download ("DIZO",
// the bus letter, model and table format codes, version and build tag, and an
// identify template with the words a SATA SSD reports); the pages after it
// stand in for the firmware code. Each file passes the system firmware file
// check (8-bit sum 0, 0xA5 as its second-to-last byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv::tools {

struct SystemFirmwareSample {
    char BusLetter = 'S';            // 'S' for "SYS_S.bin", 'U' for "SYS_U.bin"
    std::string Version = "210044";  // shown as 2.10.044
    std::string ModelCode = "517";   // controller model
    std::string FormatCode = "21";   // table format code
    std::string BuildTag = "A1B2";
    std::string Revision = "2.10.044";  // identify words 23-26 of the template
    std::string Model = "KV51X SATA SSD";
    std::size_t SizeBytes = 40 * 1024;  // the whole file
};

// The file's bytes. The header fields sit in the first 4 KiB, so the file
// suits every page size of 4 KiB and up.
std::vector<std::uint8_t> SampleSystemFirmware(const SystemFirmwareSample& sample);

// Writes "SYS_S.bin" and "SYS_U.bin" into `folder` (which must exist). False
// with `error` set when a file cannot be written.
bool WriteSampleSystemFirmware(const std::string& folder, std::string& error);

}  // namespace kv::tools
