// System-wide named mutexes ("DBGAcess", "KVUSBAcess", "KVMPAcess").
// Re-entrant within a thread, exclusive across threads and processes. On Linux a
// process-local recursive mutex plus a file lock the kernel releases when the
// holding process dies.
#pragma once

#include <string>

namespace kv::platform {

class NamedMutex {
  public:
    // Opens the mutex of that name, creating it on first use in this process.
    explicit NamedMutex(const std::string& name);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Waits without time limit.
    void lock();
    void unlock();

  private:
    struct Shared;
    Shared* shared_;  // one per name and process, never freed
};

}  // namespace kv::platform
