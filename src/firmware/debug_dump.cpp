// Dumps are serialised within the process, so workers of several ports
// dumping under one name leave one whole dump in the file, not a mixture.
#include "firmware/debug_dump.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace kv {
namespace {

std::atomic<bool> g_dumpDebugFile{false};

std::mutex& DumpMutex() {
    static std::mutex* const mutex = new std::mutex();
    return *mutex;
}

}  // namespace

void WriteDebugDump(const char* name, const void* data, std::size_t size) {
    if (!g_dumpDebugFile.load(std::memory_order_relaxed) || name == nullptr || name[0] == '\0' ||
        (data == nullptr && size > 0)) {
        return;
    }
    std::lock_guard<std::mutex> hold(DumpMutex());
    std::FILE* file = std::fopen(name, "wb");
    if (file == nullptr) {
        return;
    }
    if (size > 0) {
        std::fwrite(data, 1, size, file);
    }
    std::fclose(file);
}

void SetDumpDebugFile(bool on) {
    g_dumpDebugFile.store(on, std::memory_order_relaxed);
}

bool DumpDebugFileOn() {
    return g_dumpDebugFile.load(std::memory_order_relaxed);
}

}  // namespace kv
