// The device procedures a production worker calls on its drive, as one
// interface: the station binds it to the device, firmware, flash and disk
// procedures; a test may bind it to a script of results.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

// Every call gets the worker's 64 KiB buffer; on a failure the buffer holds the
// procedure's diagnostic record. Booleans are true on pass.
class WorkerProcedures {
  public:
    virtual ~WorkerProcedures() = default;

    // Whether discovery read the drive's erase counts / SMART sector for the
    // carry-over when it found the drive.
    virtual bool EraseCountSaved(int port) = 0;
    virtual bool SmartInfoSaved(int port) = 0;

    virtual void SetBridgeState(int port, int state) = 0;
    // Shows the port's reliability-test result and closes its window again.
    virtual void ShowRdtResult(int port) = 0;
    // 1 on pass, else a failure code; `rdtSerial` receives the serial text.
    virtual int CheckRdtResult(int port, std::uint8_t* buffer, const char* serial, int mode,
                               char (&rdtSerial)[22]) = 0;

    virtual bool FlashModuleTest(int port, std::uint8_t* buffer) = 0;
    virtual bool RebuildBadBlock(int port, std::uint8_t* buffer, int updateFirmwareA2B) = 0;
    virtual bool BusInterfaceTest(int port, std::uint8_t* buffer) = 0;
    virtual bool FlashInterfaceTest(int port, std::uint8_t* buffer, std::int32_t& failInfo,
                                    std::uint8_t& failFlag) = 0;
    virtual bool EraseBlocks(int port, std::uint8_t* buffer) = 0;
    virtual bool GetCodeBlocks(int port, std::uint8_t* buffer) = 0;
    virtual bool PreFormat(int port, std::uint8_t* buffer, bool erase, bool later,
                           bool repairUsed) = 0;
    virtual bool DownloadFirmware(int port, std::uint8_t* buffer, const char* serial,
                                  const char* wwn, const std::string& earlyBadPath,
                                  int formatCode) = 0;
    virtual bool UploadFirmware(int port, std::uint8_t* buffer) = 0;

    // True when the drive shows a loader identity on either bus path.
    virtual bool IsLoaderDevice(int port) = 0;
    virtual bool EnterVendorMode(int port, std::uint8_t* buffer) = 0;
    // Writes one 512-byte sector to log 0x9A page 0; 1 = ok.
    virtual int WritePpidLog(int port, const std::uint8_t* sector) = 0;
    virtual int Standby(int port) = 0;

    virtual bool RWTest(int port, std::uint8_t* buffer) = 0;
    virtual bool CheckTables(int port, std::uint8_t* buffer) = 0;
    virtual bool CountBadBlocks(int port, std::uint8_t* buffer, std::uint8_t* counts,
                                std::uint32_t (&sums)[5]) = 0;
    virtual bool SetMaxLba(int port, std::uint8_t* buffer, std::uint64_t value) = 0;
    // Partitions the drive, waits for its volume and formats it FAT32 with the
    // label; `driveLetter` receives the volume's letter once it showed up.
    virtual bool DiskFormat(int port, const char* label, char& driveLetter) = 0;
    // Copies the image file onto the drive.
    virtual bool CopyImage(int port, std::uint8_t* buffer, const char* imagePath) = 0;
    // One cache-flush pass: a 64 KiB read at LBA 500 on a USB-path port, a
    // FLUSH CACHE on a SATA-path port.
    virtual bool FlushPass(int port, std::uint8_t* buffer) = 0;
    virtual bool CheckImgPattern(int port, std::uint8_t* buffer) = 0;
    virtual bool CheckTemperature(int port, std::uint8_t* buffer, std::uint8_t limit,
                                  std::uint8_t& temperature) = 0;
};

}  // namespace kv
