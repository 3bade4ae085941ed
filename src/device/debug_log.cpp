// The debug log: bounded formatting, the debugger copy of every message and,
// when enabled, an open-append-close of "DbgMsg.txt" per message under the
// machine-wide "DBGAcess" mutex, so the file can be read or deleted while the
// station runs and holds every message whole.
#include "device/debug_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/named_mutex.h"
#include "platform/platform.h"

namespace kv {
namespace {

constexpr const char kDbgMsgFile[] = "DbgMsg.txt";
constexpr const char kDbgMutexName[] = "DBGAcess";

std::atomic<bool> g_logToFile{false};

// Created by the first message written to the file and kept for the process.
platform::NamedMutex& DbgMutex() {
    static platform::NamedMutex* const mutex = new platform::NamedMutex(kDbgMutexName);
    return *mutex;
}

void AppendToFile(const char* text) {
    std::lock_guard<platform::NamedMutex> hold(DbgMutex());
    std::FILE* file = std::fopen(kDbgMsgFile, "ab");
    if (file == nullptr) {
        return;  // the file copy is lost; the debugger copy went out already
    }
    std::fwrite(text, 1, std::strlen(text), file);
    std::fclose(file);
}

}  // namespace

void OutputDbgMsg(const char* fmt, ...) {
    char buffer[kDbgMsgCapacity + 1];
    buffer[0] = '\0';
    if (fmt != nullptr) {
        va_list args;
        va_start(args, fmt);
        if (std::vsnprintf(buffer, sizeof(buffer), fmt, args) < 0) {
            buffer[0] = '\0';
        }
        va_end(args);
    }
    platform::Current().DebuggerOutput(buffer);
    if (g_logToFile.load(std::memory_order_relaxed)) {
        AppendToFile(buffer);
    }
}

void DbgTrace(const char* msg) {
    char line[kDbgTraceCapacity + 2];
    std::size_t length = 0;
    if (msg != nullptr) {
        const void* end = std::memchr(msg, '\0', kDbgTraceCapacity);
        length = end == nullptr ? kDbgTraceCapacity
                                : static_cast<std::size_t>(static_cast<const char*>(end) - msg);
    }
    if (length > 0) {
        std::memcpy(line, msg, length);
    }
    line[length] = '\n';
    line[length + 1] = '\0';
    platform::Current().DebuggerOutput(line);
}

void SetDebugLogToFile(bool on) {
    g_logToFile.store(on, std::memory_order_relaxed);
}

bool DebugLogToFileOn() {
    return g_logToFile.load(std::memory_order_relaxed);
}

}  // namespace kv
