// The vendor access layer: the steps the controller procedures are made of,
// each built from single vendor commands with the waits, status polling and
// failure messages they need. Every operation takes the port first and
// answers true on success. A failure is logged once as "FAILED(<name>)\r\n"
// through the debug log (exceptions noted below). Waits run on the port's
// clock and end early when the port's run is cut off (vendor_access_wait.h);
// a cut-off wait fails the operation.
//
// The page loops take the flash geometry of the port (vendor_access_geometry.h)
// and a flash address whose `Options` are the option bytes 9, 10 and 11
// (Options[2] being the last option byte) and whose `BufferOffset` the loop
// computes itself. A buffer too small for the transfer, or a geometry not set,
// fails the operation with nothing sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "device/vendor_access_geometry.h"
#include "device/vendor_block.h"

namespace kv {

// The layer's source identifier in its messages.
inline constexpr char kVaSourceName[] = "..\\..\\KVLib\\V_Access";

// SET FEATURES of the vendor feature.
inline constexpr std::uint8_t kVendorFeature = 0xDC;
inline constexpr std::uint8_t kVendorFeatureOn = 0x4B;
inline constexpr std::uint8_t kVendorFeatureOff = 0x56;

// Fixed waits of the protocol, in milliseconds.
inline constexpr std::int64_t kVendorEnableWaitMs = 500;
inline constexpr std::int64_t kJumpWaitMs = 500;
inline constexpr std::int64_t kFirstStatusWaitMs = 30;
inline constexpr std::int64_t kStatusPollWaitMs = 3000;

// Controller memory addresses of the code window carry bit 30.
inline constexpr std::uint32_t kCodeWindowBit = 0x40000000u;
inline constexpr std::uint8_t kCodeWindowSelector = 3;

// The buffer-test window: 64 sectors (32 KiB, 16,384 words) per transfer.
inline constexpr std::uint32_t kBufferTestAddress = 0xB0084000u;
inline constexpr std::uint32_t kBufferTestSectors = 64;
inline constexpr std::size_t kBufferTestBytes = 32768;
inline constexpr int kBufferTestPasses = 10;

// Page transfers move at most this many sectors per command.
inline constexpr std::uint32_t kMaxSectorsPerChunk = 128;
// The loader information record of the code blocks.
inline constexpr std::size_t kLoaderInfoOffset = 560;
inline constexpr std::size_t kLoaderInfoSize = 40;
inline constexpr int kLoaderInfoBlocks = 4;

// SET FEATURES 0xDC with 0x4B (on) or 0x56 (off); true when it answered 1
// (always on a UsbPath port, where nothing is sent).
bool VA_SetVendorFeature(int port, bool on);

// VC_SYS_EnableVendorCmd(mode), 500 ms, then the vendor feature on. A failed
// first command fails without a message; a failed feature logs.
bool VA_EnableVendorCmd(int port, std::uint8_t mode);

// VC_SYS_JumpToPRAM, 500 ms, the vendor feature on (its result ignored).
bool VA_JumpToPRAM(int port);

// Code into / out of controller memory through the code window (selector 3,
// the address with bit 30 set); `buffer` holds at least sectors × 512 bytes.
// On success the data are dumped as "11_RCO.raw" / "12_RCI.raw" while debug
// dumps are on.
bool VA_WriteCodeToMem(int port, std::span<const std::uint8_t> buffer, std::uint32_t sectors,
                       std::uint32_t address);
bool VA_ReadCodeFromMem(int port, std::span<std::uint8_t> buffer, std::uint32_t sectors,
                        std::uint32_t address);

// Starts downloaded program `type` (1-4) with its parameter byte and waits
// for its status: 30 ms, a status read, and while it answers 0xAA another
// read every 3 s. Without `keepWaiting` a program still running after the
// first read fails after one 3 s wait; with it the polls go on until the
// program ends, the port is cut off or `KeepWaitingLimitMs()` of waiting
// passed. True with `status` = the program's result code. A type outside
// 1-4 fails with nothing sent and no message.
bool VA_GDP_ExecProg(int port, int type, std::uint8_t parameter, std::uint8_t& status,
                     bool keepWaiting);

// Polls the status of a program already running, as above without the start.
bool VA_ST_WaitReturn(int port, std::uint8_t& status, bool keepWaiting);

// VC_TST_FlashDiagnostic; true when it answered 1 with result 0xFF.
bool VA_FlashDiagnostic(int port, std::uint8_t kind, std::uint16_t parameter, std::uint8_t& result);

// The controller buffer test. `buffer` holds at least 32,768 bytes; the
// pattern is word i = (seed + i) mod 65536, little-endian.
bool VA_TestWriteBuffer(int port, std::span<std::uint8_t> buffer, std::uint8_t bufferIndex,
                        std::uint16_t seed);
// Reads the window back into `buffer` and compares every word; a failed read
// or the first wrong word fails without a message.
bool VA_TestReadBuffer(int port, std::span<std::uint8_t> buffer, std::uint8_t bufferIndex,
                       std::uint16_t seed);
// Ten passes with seeds 4096 + 11 p; false at the first failing pass.
bool VA_BufferTest(int port, std::span<std::uint8_t> buffer, std::uint8_t bufferIndex);

// One page on every channel (address.Channel equal to the channel count) or
// on one channel: channel c's spp sectors go to buffer + c × spp × 512, read
// by 0x0D (`useRdtRead`) or 0x89 into controller offset base + c × spp × 512
// (base = spp × 4096 for an odd block).
bool VA_ReadPages(int port, const FlashAddress& address, std::span<std::uint8_t> buffer,
                  bool useRdtRead);

// One 0x09 read of `sectors` sectors of address.Channel into the start of the
// buffer, controller offset channel × 32768.
bool VA_ReadFlashData(int port, const FlashAddress& address, std::span<std::uint8_t> buffer,
                      std::uint32_t sectors);

// `totalSectors` from the buffer in chunks of at most 128 sectors, each with
// the page mask of the pages it carries (bits from index 8 on are dropped).
bool VA_WritePages(int port, const FlashAddress& address, std::span<const std::uint8_t> buffer,
                   std::uint32_t totalSectors);

// `totalSectors` of the system area in chunks of at most 128 sectors (0x04
// with byte 3 = 0xFF, `selector`, `block`, `page`, the two option bytes).
// Only the bytes read are cleared first; false when a chunk fails.
bool VA_ReadSysArea(int port, std::uint8_t selector, std::uint16_t block, std::uint8_t oddPlane,
                    std::uint16_t page, std::uint8_t option9, std::uint8_t option10,
                    std::span<std::uint8_t> buffer, std::uint32_t totalSectors);

// Page 0 of code blocks 0..3 on all channels until one starts with the loader
// signature; its 40 bytes at offset 560 go to `info`. `buffer` is scratch of
// at least channels × spp × 512 bytes. An unset (all-zero) signature never
// matches.
bool VA_ReadLoaderInfo(int port, std::span<std::uint8_t> buffer,
                       std::uint8_t (&info)[kLoaderInfoSize]);

}  // namespace kv
