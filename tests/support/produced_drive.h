// Takes a fresh drive of the virtual fixture (loader, erased code blocks)
// through what the worker runs before a Download: vendor mode, the flash
// module test, the code-block query, the pre-format and the code-block query
// of the finished scan. Used by the procedure tests that need a drive whose
// tables a pre-format built.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "device/loader_mode.h"
#include "firmware/code_download.h"
#include "flash/flash_scan.h"
#include "flash/preformat.h"

namespace kv::test {

// "" when every step passed, else the name of the first failing step, so a
// test can `ASSERT_EQ(PreFormatFreshDrive(...), "")` and read what broke.
inline std::string PreFormatFreshDrive(int port, std::span<std::uint8_t> work,
                                       const ProcedureContext& ctx,
                                       const PreFormatOptions& options = {}) {
    if (work.size() < kLoaderScratchSize) {
        return "work buffer";
    }
    if (!EnterVendorMode(port, work.data())) {
        return "EnterVendorMode";
    }
    if (!FlashModuleTest(port, work, ctx)) {
        return "FlashModuleTest";
    }
    if (!GetCodeBlocks(port, work, ctx)) {
        return "GetCodeBlocks";
    }
    if (!PreFormat(port, work, ctx, options)) {
        return "PreFormat";
    }
    if (!GetCodeBlocks(port, work, ctx)) {
        return "GetCodeBlocks after PreFormat";
    }
    return "";
}

}  // namespace kv::test
