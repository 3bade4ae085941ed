// Starting a downloaded program and polling its status.
#include <cstdint>

#include "device/debug_log.h"
#include "device/vendor_access.h"
#include "device/vendor_access_wait.h"
#include "device/vendor_commands.h"

namespace kv {
namespace {

// The line number the status-read failure message carries.
constexpr int kExecProgStatusLine = 127;

enum class PollEnd { Finished, Refused, GaveUp };

// One status read after another until the program finished, a read was
// refused (answer 2 or 3, given back in `answer`), or waiting must stop: no
// keep-waiting after the first 3 s wait, the port cut off, or the limit spent.
PollEnd PollStatus(int port, std::uint8_t& status, bool keepWaiting, int& answer) {
    const std::int64_t limit = KeepWaitingLimitMs();
    std::int64_t waited = 0;
    for (;;) {
        std::uint8_t value = 0;
        answer = VC_ST_GetReturn(port, value);
        if (answer == kCommandOk && value != kProgramStillWorking) {
            status = value;
            return PollEnd::Finished;
        }
        if (answer == kCommandFailed || answer == kCommandNoSignature) {
            return PollEnd::Refused;
        }
        if (!PortWait(port, kStatusPollWaitMs)) {
            return PollEnd::GaveUp;
        }
        waited += kStatusPollWaitMs;
        if (!keepWaiting || waited >= limit) {
            return PollEnd::GaveUp;
        }
    }
}

}  // namespace

bool VA_GDP_ExecProg(int port, int type, std::uint8_t parameter, std::uint8_t& status,
                     bool keepWaiting) {
    if (type < 1 || type > 4) {
        return false;
    }
    if (VC_GDP_Exec(port, static_cast<std::uint8_t>(type), parameter) != kCommandOk) {
        OutputDbgMsg("FAILED(VA_GDP_ExecProg)\r\n");
        return false;
    }
    if (PortWait(port, kFirstStatusWaitMs)) {
        int answer = 0;
        const PollEnd end = PollStatus(port, status, keepWaiting, answer);
        if (end == PollEnd::Finished) {
            return true;
        }
        if (end == PollEnd::Refused) {
            OutputDbgMsg("FileName = %s, Function = %s, Line = %d, nRet = %d\r\n", kVaSourceName,
                         "VA_GDP_ExecProg", kExecProgStatusLine, answer);
        }
    }
    OutputDbgMsg("FAILED(VA_GDP_ExecProg)\r\n");
    return false;
}

bool VA_ST_WaitReturn(int port, std::uint8_t& status, bool keepWaiting) {
    int answer = 0;
    if (PollStatus(port, status, keepWaiting, answer) == PollEnd::Finished) {
        return true;
    }
    OutputDbgMsg("FAILED(VA_ST_WaitReturn)\r\n");
    return false;
}

}  // namespace kv
