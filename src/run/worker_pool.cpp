#include "run/worker_pool.h"

#include <chrono>

#include "device/vendor_access_wait.h"
#include "platform/platform.h"

namespace kv {

// Forwards the panel calls and keeps the watchdog of its port.
class WorkerPool::Hooks final : public WorkerHooks {
  public:
    Hooks(WorkerPool& pool, int port) : pool_(pool), port_(port) {}
    void SetCaption(int port, const std::string& caption) override {
        pool_.panel_.SetCaption(port, caption);
    }
    void SetColour(int port, PanelColour colour) override { pool_.panel_.SetColour(port, colour); }
    void SetGauge(int port, int value) override { pool_.panel_.SetGauge(port, value); }
    void SetSecondGauge(int port, int value) override { pool_.panel_.SetSecondGauge(port, value); }
    void ShowSerial(int port, const std::string& serial, const std::string& wwn) override {
        pool_.panel_.ShowSerial(port, serial, wwn);
    }
    void ArmWatchdog(int port, std::int64_t intervalMs) override;
    void StopWatchdog(int port) override;

  private:
    WorkerPool& pool_;
    int port_;
};

struct WorkerPool::Slot {
    int port = 0;
    WorkerParam param;
    PortRunGuard guard;
    std::unique_ptr<Hooks> hooks;
    std::thread thread;
    bool running = false;        // the thread has not returned yet
    bool cutOff = false;         // ended by the watchdog or the stop button
    bool watchdogArmed = false;  // guarded by the pool's mutex
    std::int64_t watchdogDueMs = 0;
};

void WorkerPool::Hooks::ArmWatchdog(int port, std::int64_t intervalMs) {
    const std::int64_t now = platform::Current().portClock(port).NowMs();
    std::lock_guard<std::mutex> lock(pool_.mutex_);
    if (Slot* s = pool_.Find(port_)) {
        s->watchdogArmed = true;
        s->watchdogDueMs = now + intervalMs;
    }
    pool_.panel_.ArmWatchdog(port, intervalMs);
}

void WorkerPool::Hooks::StopWatchdog(int port) {
    {
        std::lock_guard<std::mutex> lock(pool_.mutex_);
        if (Slot* s = pool_.Find(port_))
            s->watchdogArmed = false;
    }
    pool_.panel_.StopWatchdog(port);
}

WorkerPool::WorkerPool(WorkerHooks& panel) : panel_(panel) {}

WorkerPool::~WorkerPool() {
    Drain();
}

WorkerPool::Slot* WorkerPool::Find(int port) const {
    for (const auto& s : slots_) {
        if (s->port == port)
            return s.get();
    }
    return nullptr;
}

void WorkerPool::Start(const WorkerParam& param) {
    auto slot = std::make_unique<Slot>();
    Slot* s = slot.get();
    s->port = param.port;
    s->param = param;
    s->hooks = std::make_unique<Hooks>(*this, param.port);
    s->param.hooks = s->hooks.get();
    s->param.guard = &s->guard;
    s->running = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_.push_back(std::move(slot));
    }
    s->thread = std::thread([this, s] {
        // Device waits of the port end early once its run is cut off.
        SetPortCancelFlag(s->port, &s->guard.cancelFlag());
        PortWorker(s->param);
        SetPortCancelFlag(s->port, nullptr);
        Ended(s->port);
    });
}

void WorkerPool::Ended(int port) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (Slot* s = Find(port))
            s->running = false;
    }
    changed_.notify_all();
}

int WorkerPool::RunningCount() const {
    return static_cast<int>(RunningPorts().size());
}

bool WorkerPool::IsRunning(int port) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Slot* s = Find(port);
    return s != nullptr && s->running && !s->cutOff;
}

std::vector<int> WorkerPool::RunningPorts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> ports;
    for (const auto& s : slots_) {
        if (s->running && !s->cutOff)
            ports.push_back(s->port);
    }
    return ports;
}

void WorkerPool::WaitForChange(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(ms));
}

std::vector<int> WorkerPool::ExpiredWatchdogs() {
    std::vector<std::pair<int, std::int64_t>> armed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& s : slots_) {
            if (s->running && !s->cutOff && s->watchdogArmed) {
                armed.emplace_back(s->port, s->watchdogDueMs);
            }
        }
    }
    std::vector<int> expired;
    for (const auto& [port, due] : armed) {
        if (platform::Current().portClock(port).NowMs() >= due)
            expired.push_back(port);
    }
    return expired;
}

bool WorkerPool::CutOff(int port, const std::function<void()>& outcome) {
    Slot* s = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        s = Find(port);
        if (s == nullptr || !s->running || s->cutOff)
            return false;
        s->cutOff = true;
        s->watchdogArmed = false;
    }
    const bool cut = s->guard.CutOff(outcome);
    changed_.notify_all();
    return cut;
}

void WorkerPool::Drain() {
    std::vector<Slot*> all;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& s : slots_)
            all.push_back(s.get());
    }
    for (Slot* s : all) {
        if (s->thread.joinable())
            s->thread.join();
    }
}

}  // namespace kv
