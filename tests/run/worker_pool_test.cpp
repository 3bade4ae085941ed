#include "run/worker_pool.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "support/scripted_worker.h"

namespace kv {
namespace {

using test::Gate;
using test::RecordingHooks;
using test::ScriptedProcedures;

struct PoolRun {
    std::array<PortRecord, 4> records;
    std::array<ScriptedProcedures, 4> procedures;
    PortErrorBuffer errors;
    RecordingHooks panel;

    WorkerParam Param(int port) {
        WorkerParam p;
        p.port = port;
        p.record = &records[port];
        p.errors = &errors;
        p.procedures = &procedures[port];
        p.settings.ItemEnabled[kBusInterfaceTest] = 1;
        p.settings.ItemEnabled[kRWTest] = 1;
        p.checks.checkedLines = 2;
        return p;
    }
};

TEST(WorkerPoolTest, RunsEveryPortToItsOwnOutcome) {
    PoolRun run;
    run.procedures[2].fails["RWTest"] = true;
    WorkerPool pool(run.panel);
    for (int port = 0; port < 4; ++port)
        pool.Start(run.Param(port));
    while (pool.RunningCount() > 0)
        pool.WaitForChange(20);
    pool.Drain();
    for (int port = 0; port < 4; ++port) {
        SCOPED_TRACE(port);
        EXPECT_EQ(run.records[port].Result, port == 2 ? -1 : 1);
        EXPECT_EQ(run.records[port].ItemStatus[kRWTest], port == 2 ? -1 : 1);
        EXPECT_EQ(run.panel.portCaptions[port],
                  (std::vector<std::string>{"Start", LookupTestItem(kBusInterfaceTest).ItemName,
                                            LookupTestItem(kRWTest).ItemName}));
    }
    EXPECT_EQ(run.records[2].FailCode, kRWTest);
}

TEST(WorkerPoolTest, WatchdogCutsOffAHungPortAndDropsItsLateWrites) {
    PoolRun run;
    Gate gate;
    run.procedures[1].onCall = [&] {
        if (run.procedures[1].calls.back() == "BusInterfaceTest")
            gate.Wait();
    };
    run.procedures[1].fails["BusInterfaceTest"] = true;  // would record code 3 if not cut off
    WorkerPool pool(run.panel);
    WorkerParam hung = run.Param(1);
    hung.settings.TimeOut = 1;  // 1 ms
    pool.Start(run.Param(0));
    pool.Start(hung);
    int expiries = 0;
    while (pool.RunningCount() > 0) {
        for (int port : pool.ExpiredWatchdogs()) {
            if (port != 1)
                continue;  // port 0's 5-minute watchdog does not run out here
            expiries += pool.CutOff(port, [&] {
                run.records[port].FailCode = kFailTimeout;
                run.records[port].ReportedFailCode = kFailTimeout;
                run.records[port].Result = -1;
            });
        }
        pool.WaitForChange(5);
    }
    EXPECT_EQ(expiries, 1);
    EXPECT_FALSE(pool.IsRunning(1));
    EXPECT_FALSE(pool.CutOff(1, [] {}));  // only once
    gate.Open();
    pool.Drain();
    EXPECT_EQ(run.records[1].FailCode, kFailTimeout);
    EXPECT_EQ(run.records[1].Result, -1);
    EXPECT_EQ(run.records[1].YieldPending, 0);
    EXPECT_EQ(run.records[1].ItemStatus[kRWTest], 0);
    EXPECT_FALSE(run.procedures[1].Called("RWTest"));
    EXPECT_EQ(run.records[0].Result, 1);
}

}  // namespace
}  // namespace kv
