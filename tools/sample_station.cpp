#include "tools/sample_station.h"

#include "tools/sample_fixture.h"
#include "tools/sample_gdp_image.h"
#include "tools/sample_system_firmware.h"

#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace kv::tools {
namespace {

// Joins lines with CR LF, as every text file of the station ends its lines.
std::string WithCrLf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

// Type word 0x1851: 8 sectors a page, 256 pages a block, 4,096 blocks a chip
// enable, one die, MLC, maker class 1. 0x1A51 is the same with two dies.
constexpr std::string_view kFlashList =
    "[Vendor]\n"
    "Name00=Marlin\n"
    "Name01=Ostra\n"
    "\n"
    "[Marlin]\n"
    "Name000=MX64G08 MX29GB64A2 0x1851 2 2 0x2C 0x88 0x04 0x4B 0xA9 0x40 0 0 0 1 1 0\n"
    "Name001=MX128G08 MX29GB128B2 0x1A51 2 2 0x2C 0x68 0x04 0x4A 0xA9 0x40 0 0 2048 1 1 0\n"
    "Name002=MX32G08 MX29GB32S1 0x0849 1 1 0x2C 0x48 0x04 0x46 0x85 0x20 0 0 0 0 0 1\n"
    "\n"
    "[Ostra]\n"
    "Name000=OS64G08 OS9GB64U0A 0x1851 2 2 0x2C 0x88 0x04 0x4B 0xA9 0x40 0 0 0 1 1 0\n"
    "Name001=OS256G08 OS9GC256U0B 0x2A5A 4 3 0x98 0xDE 0x94 0x93 0x76 0x80 1 0 4096 3 3 0\n";

constexpr std::string_view kSettings =
    "[Setting]\n"
    "ProductModel=KV51X SSD\n"
    "MPVersion=0\n"
    "TimeOut=10\n"
    "ConnectDevNum=0\n"
    "EnBarCode=0\n"
    "EnCheckToolOnRemoteDisk=0\n"
    "EnOutputDbgMsg=0\n"
    "LogPath=log\n"
    "\n"
    "[TestItems]\n"
    "EnFlashModule=1\n"
    "CheckFlashMask=31\n"
    "EnSataTest=0\n"
    "EnFlashTest=0\n"
    "EnPreFormat=1\n"
    "EnDownload=1\n"
    "DownloadType=1\n"
    "EnRWTest=1\n"
    "EnCheckTables=1\n"
    "EnSetMaxLBA=0\n"
    "SetMaxLBAValue=0\n"
    "EnFormat=1\n"
    "DiskLabel=KV SSD\n"
    "DiskFormat=0\n"
    "EnCheckTemperature=1\n"
    "CheckMaxTemperatureValue=70\n"
    "EnCheckRDT=0\n"
    "CheckRDTMode=0\n"
    "SataLBA48=1\n"
    "\n"
    "[DeviceSetting]\n"
    "ModelNum=Korvane KVR51X 64GB SSD\n"
    "FirmwareVer=KV51A203\n"
    "SerialNum=KV5100000001\n"
    "SNAutoInc=1\n"
    "SNDecimal=0\n"
    "SNMinLength=12\n"
    "SNErrReuse=0\n"
    "OUI=5CD2E4\n"
    "UID=000000001\n"
    "UIDAutoInc=1\n"
    "UIDDecimal=0\n"
    "\n"
    "[FlashSetting]\n"
    "ExtFlashFile=Flash.ini\n"
    "Capacity=0\n"
    "FlashUniName=MX64G08\n"
    "Channel=4\n"
    "Bank=2\n"
    "DrvCurrent=1\n"
    "\n"
    "[FwSetting]\n"
    "DefPercentage=48\n"
    "ResPercentage=68\n";

}  // namespace

std::string SampleFlashList() {
    return WithCrLf(kFlashList);
}
std::string SampleSettings() {
    return WithCrLf(kSettings);
}

bool WriteSampleStation(const std::string& folder, const SampleOptions& options,
                        std::string& error) {
    if (options.drives < 1 || options.drives > 50) {
        error = "the number of drives must be from 1 to 50";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder)) {
        error = "cannot create the folder " + folder;
        return false;
    }
    const std::filesystem::path root(folder);
    return WriteFile(root / "Flash.ini", SampleFlashList(), error) &&
           WriteFile(root / "REVODEDE.ini", SampleSettings(), error) &&
           WriteFile(root / "Fixture.ini", SampleFixture(options.drives), error) &&
           WriteSampleGdpImage((root / "GDP.bin").string(), error) &&
           WriteSampleSystemFirmware(folder, error);
}

}  // namespace kv::tools
