#include "firmware/code_download.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "device/debug_log.h"
#include "device/vendor_access.h"
#include "device/vendor_block.h"
#include "firmware/debug_dump.h"
#include "firmware/dump_names.h"
#include "firmware/firmware_page_layout.h"
#include "firmware/image_context.h"
#include "firmware/program_image.h"
#include "flash/flash_scan_stores.h"

namespace kv {
namespace {

constexpr std::uint32_t kSectorBytes = 512;
// Mode of `VA_EnableVendorCmd` that switches vendor commands on and keeps
// the controller in the code it runs.
constexpr std::uint8_t kVendorModeKeepState = 10;

std::atomic<std::uint8_t> g_dumpCounter{0};

// Sectors of the piece at `offset`: a whole piece, or what is left of the
// image (a partial last sector counts as one).
std::uint32_t PieceSectors(std::uint32_t offset, std::uint32_t pieceBytes) {
    const std::uint32_t left = static_cast<std::uint32_t>(kProgramImageSize) - offset;
    const std::uint32_t bytes = std::min(pieceBytes, left);
    return (bytes + kSectorBytes - 1) / kSectorBytes;
}

// Writes one piece and reads it back into `readBack`; the piece must come
// back as it was sent.
bool WritePiece(int port, std::uint8_t* piece, std::uint32_t sectors, std::uint32_t address,
                std::vector<std::uint8_t>& readBack) {
    const std::size_t bytes = static_cast<std::size_t>(sectors) * kSectorBytes;
    if (!VA_WriteCodeToMem(port, std::span<const std::uint8_t>(piece, bytes), sectors, address)) {
        return false;
    }
    readBack.assign(bytes, 0);
    if (!VA_ReadCodeFromMem(port, readBack, sectors, address)) {
        return false;
    }
    if (std::memcmp(readBack.data(), piece, bytes) != 0) {
        OutputDbgMsg("FAILED(VA_ReadCodeFromMem)\r\n");
        return false;
    }
    return true;
}

void WriteLoadDumps(const ProcedureContext& ctx, const std::vector<std::uint8_t>& loaded,
                    const std::vector<std::uint8_t>* copyOut) {
    char name[32];
    const std::uint8_t counter = g_dumpCounter.fetch_add(1);
    std::snprintf(name, sizeof name, kDumpCodeWritePieceFormat, static_cast<int>(counter));
    const std::vector<std::uint8_t>& copy =
        copyOut != nullptr && copyOut->size() >= kProgramImageSize ? *copyOut : loaded;
    WriteDebugDump(name, copy.data(), kProgramImageSize);
    WriteDebugDump(kDumpCodeWrite, loaded.data(), kProgramImageSize);
    if (ctx.settings.EnBuildModifiedGDP != 0) {
        // Written even while dumps are off, and the switch left as it was.
        const bool wasOn = DumpDebugFileOn();
        SetDumpDebugFile(true);
        WriteDebugDump(kDumpModifiedProgram, loaded.data(), kProgramImageSize);
        SetDumpDebugFile(wasOn);
    }
}

bool StartProgram(int port, const ProcedureContext& ctx, const std::string& path,
                  std::uint32_t memoryBase, std::vector<std::uint8_t>* copyOut) {
    return VA_EnableVendorCmd(port, kVendorModeKeepState) &&
           LoadCodeToMemory(port, ctx, path, memoryBase, copyOut) && VA_JumpToPRAM(port);
}

}  // namespace

std::uint32_t CodePieceBytes(std::uint8_t busMode) {
    return busMode == 2 ? 65536u : 32768u;
}

std::string DiagnosticProgramPath(const ProcedureContext& ctx) {
    return ctx.programFolder + kDiagnosticProgramFile;
}

std::string TestProgramPath(const ProcedureContext& ctx) {
    return DiagnosticProgramPath(ctx);
}

std::string OldDiagnosticProgramPath() {
    return kOldDiagnosticProgramFile;
}

bool LoadCodeToMemory(int port, const ProcedureContext& ctx, const std::string& imagePath,
                      std::uint32_t memoryBase, std::vector<std::uint8_t>* copyOut) {
    std::optional<std::vector<std::uint8_t>> image = LoadProgramImage(imagePath);
    if (!image) {
        return false;
    }
    std::vector<std::uint8_t>& buffer = *image;
    if (IsPatchableProgramImage(buffer)) {
        const ImageContext imageCtx{ctx.flash, ctx.settings, ctx.process};
        PatchProgramImage(imageCtx, FlashStoresOf(port).Image,
                          FirstFirmwarePage(ctx.flash, ctx.settings), buffer);
        if (copyOut != nullptr) {
            *copyOut = buffer;
        }
    }
    const std::uint32_t pieceBytes = CodePieceBytes(VendorBusMode());
    std::vector<std::uint8_t> readBack;
    for (std::uint32_t offset = 0; offset < kProgramImageSize; offset += pieceBytes) {
        const std::uint32_t sectors = PieceSectors(offset, pieceBytes);
        if (!WritePiece(port, buffer.data() + offset, sectors, memoryBase + offset, readBack)) {
            return false;
        }
    }
    WriteLoadDumps(ctx, buffer, copyOut);
    return true;
}

bool RunGdpProgram(int port, const ProcedureContext& ctx, std::uint8_t& execFlags,
                   std::uint32_t memoryBase, std::vector<std::uint8_t>* copyOut) {
    if (!StartProgram(port, ctx, DiagnosticProgramPath(ctx), memoryBase, copyOut)) {
        return false;
    }
    execFlags = ctx.flash.HalfPageBlock != 0 ? kExecHalfPageBlock : 0;
    return true;
}

bool RunOldGdpProgram(int port, const ProcedureContext& ctx, std::uint8_t& execFlags,
                      std::uint32_t memoryBase, std::vector<std::uint8_t>* copyOut) {
    if (!StartProgram(port, ctx, OldDiagnosticProgramPath(), memoryBase, copyOut)) {
        return false;
    }
    execFlags = ctx.flash.HalfPageBlock != 0 ? kExecHalfPageBlock : 0;
    return true;
}

bool RunTestProgram(int port, const ProcedureContext& ctx, std::uint32_t memoryBase,
                    std::vector<std::uint8_t>* copyOut) {
    return StartProgram(port, ctx, TestProgramPath(ctx), memoryBase, copyOut);
}

std::uint8_t CodeLoadDumpCounter() {
    return g_dumpCounter.load();
}

}  // namespace kv
