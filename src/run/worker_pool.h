// The worker threads of one run: one per present port, each with its watchdog
// on the port's clock. The run controller polls the pool from the front end's
// thread; a watchdog expiry or the stop button cuts a worker off through its
// port's guard, after which the port counts as ended and the worker's late
// writes are dropped. Cut-off threads are joined when the pool is drained.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "run/port_worker.h"

namespace kv {

class WorkerPool {
  public:
    // `panel` receives the workers' captions, colours and gauges, in order per
    // port (calls come from the worker threads).
    explicit WorkerPool(WorkerHooks& panel);
    ~WorkerPool();  // drains
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Starts the worker of `param.port`; the pool supplies the hooks and guard.
    void Start(const WorkerParam& param);

    // Ports whose worker is still running and was not cut off.
    int RunningCount() const;
    bool IsRunning(int port) const;
    std::vector<int> RunningPorts() const;

    // Waits up to `ms` of real time for a worker to end (the front end's pump
    // runs between waits); returns at once when none is running.
    void WaitForChange(int ms);

    // Ports whose armed watchdog has run out on its port clock.
    std::vector<int> ExpiredWatchdogs();

    // Cuts the port's run off and writes `outcome` as the last write to it;
    // false when the worker had ended or was cut off already.
    bool CutOff(int port, const std::function<void()>& outcome);

    // Waits for every thread, cut-off ones included (their device commands end
    // in their own time-outs).
    void Drain();

  private:
    class Hooks;
    struct Slot;
    Slot* Find(int port) const;
    void Ended(int port);

    WorkerHooks& panel_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<Slot>> slots_;
};

}  // namespace kv
