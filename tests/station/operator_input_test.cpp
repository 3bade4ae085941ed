#include "station/operator_input.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace kv {
namespace {

// Answers the input box from a queue (an empty answer is "Cancel") and records
// what was asked and which pending flags were set while it was open.
class PromptUi : public SilentUi {
  public:
    explicit PromptUi(const OperatorInputState& state) : state_(state) {}

    std::optional<InputBoxAnswer> ShowInputBox(const InputBoxRequest& request) override {
        requests.push_back(request);
        pendingWhileOpen.push_back(state_.SnPending || state_.PpidPending || state_.WwnPending);
        if (answers.empty())
            return std::nullopt;
        std::optional<InputBoxAnswer> answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<std::optional<InputBoxAnswer>> answers;
    std::vector<InputBoxRequest> requests;
    std::vector<bool> pendingWhileOpen;

  private:
    const OperatorInputState& state_;
};

// Keeps the debugger channel's lines.
class DebuggerLines : public platform::Platform {
  public:
    platform::Clock& clock() override { return platform::HostPlatform().clock(); }
    platform::LocalTime Now() override { return {}; }
    void DebuggerOutput(const char* text) override {
        std::lock_guard<std::mutex> hold(mutex);
        lines.emplace_back(text);
    }
    std::string ExecutableFolder() override { return "/"; }
    bool IsOnNetworkDrive(const std::string&) override { return false; }
    bool IsCapsLockOn() override { return false; }
    void ToggleCapsLock() override {}

    std::mutex mutex;
    std::vector<std::string> lines;
};

class OperatorInput : public ::testing::Test {
  protected:
    OperatorInput() { platform::SetCurrent(&debugger); }
    ~OperatorInput() override { platform::SetCurrent(nullptr); }

    void Present(int count) {
        for (int i = 0; i < kMaxPorts; ++i)
            ports[i].Present = i < count ? 1 : 0;
    }
    bool Refresh(int portCount = kMaxPorts) {
        return AskRefreshInputs(ports, portCount, *settings, *ap, state, ui);
    }

    DebuggerLines debugger;
    std::unique_ptr<SettingsBlock> settings = std::make_unique<SettingsBlock>();
    std::unique_ptr<AP_GOLBAL> ap = std::make_unique<AP_GOLBAL>();
    OperatorInputState state;
    PortRecord ports[kMaxPorts];
    PromptUi ui{state};
};

TEST_F(OperatorInput, PerPortPromptsInOrderSnPpidWwn) {
    settings->EnBarCode = 1;
    settings->EnPPID = 1;
    settings->EnBarCodeWWN = 1;
    Present(3);
    std::strcpy(ports[0].SerialNumber, "HAS-SN");
    std::strcpy(ports[0].Ppid, "HAS-PPID");
    std::strcpy(ports[0].Wwn, "HAS-WWN");
    std::strcpy(ports[1].SerialNumber, "HAS-SN");
    std::strcpy(ap->BarcodeSn[2], "STALE");
    ui.answers = {InputBoxAnswer{"P1-PPID", ""}, InputBoxAnswer{"P1-WWN", ""},
                  InputBoxAnswer{"P2-SN", ""}, std::nullopt, InputBoxAnswer{"P2-WWN", ""}};

    EXPECT_FALSE(Refresh());

    ASSERT_EQ(ui.requests.size(), 5u);
    const char* captions[] = {"Please Input the PPID(Port2)", "Please Input the WWN or UID(Port2)",
                              "Please Input the SN(Port3)", "Please Input the PPID(Port3)",
                              "Please Input the WWN or UID(Port3)"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(ui.requests[i].caption, captions[i]);
        EXPECT_FALSE(ui.requests[i].secondVisible);
        EXPECT_TRUE(ui.pendingWhileOpen[i]);
    }
    EXPECT_EQ(ui.requests[2].firstLabel, "Serial Number");
    EXPECT_EQ(ui.requests[2].firstMaxLength, 39u);
    EXPECT_EQ(ui.requests[1].firstLabel, "WWN or UID");
    EXPECT_EQ(ui.requests[1].firstMaxLength, 17u);
    EXPECT_EQ(ui.requests[0].firstLabel, "Customer P/N(PPID)");
    EXPECT_EQ(ui.requests[0].firstMaxLength, 23u);

    EXPECT_STREQ(ports[1].Ppid, "P1-PPID");
    EXPECT_STREQ(ap->BarcodePpid[1], "P1-PPID");
    EXPECT_STREQ(ports[1].Wwn, "P1-WWN");
    EXPECT_STREQ(ap->BarcodeWwn[1], "P1-WWN");
    EXPECT_STREQ(ports[2].SerialNumber, "P2-SN");
    EXPECT_STREQ(ap->BarcodeSn[2], "P2-SN");
    EXPECT_STREQ(ports[2].Ppid, "");  // cancelled: asked again at the next refresh
    EXPECT_FALSE(state.SnPending || state.PpidPending || state.WwnPending);

    ui.requests.clear();
    Refresh();
    ASSERT_EQ(ui.requests.size(), 1u);
    EXPECT_EQ(ui.requests[0].caption, "Please Input the PPID(Port3)");
}

TEST_F(OperatorInput, CancelLeavesTheEntryClearedAndTheFieldEmpty) {
    settings->EnBarCode = 1;
    Present(1);
    std::strcpy(ap->BarcodeSn[0], "OLD");
    Refresh();
    EXPECT_STREQ(ap->BarcodeSn[0], "");
    EXPECT_STREQ(ports[0].SerialNumber, "");
    EXPECT_EQ(state.InputMode, kInputSn);
    EXPECT_EQ(state.InputPort, 0);
}

TEST_F(OperatorInput, AnswersAreCutToTheirFieldsAndLogged) {
    settings->EnBarCode = 1;
    settings->EnBarCodeWWN = 1;
    Present(1);
    ui.answers = {InputBoxAnswer{std::string(60, 'S'), ""},
                  InputBoxAnswer{std::string(40, 'W'), ""}};
    Refresh();
    EXPECT_EQ(std::string(ports[0].SerialNumber), std::string(39, 'S'));
    EXPECT_EQ(std::string(ap->BarcodeSn[0], strnlen(ap->BarcodeSn[0], 40)), std::string(39, 'S'));
    EXPECT_EQ(std::string(ports[0].Wwn), std::string(17, 'W'));

    const std::vector<std::string> expected = {
        "######### - SN is " + std::string(39, 'S') + "\r\n",
        "######### - WWN is " + std::string(17, 'W') + "\r\n"};
    EXPECT_EQ(debugger.lines, expected);
}

TEST_F(OperatorInput, AutoExecuteAfterInput) {
    settings->EnBarCode = 1;
    settings->EnAutoExecuteAfterInputSn = 1;
    Present(1);
    std::strcpy(ports[0].SerialNumber, "DONE");
    EXPECT_FALSE(Refresh());  // nothing asked
    EXPECT_FALSE(ap->AutoExecute);

    ports[0].SerialNumber[0] = '\0';
    EXPECT_TRUE(Refresh());  // asked (even cancelled)
    EXPECT_TRUE(ap->AutoExecute);
}

TEST_F(OperatorInput, AdvanceScanHandsTheScannedNumberToNewDrives) {
    settings->EnBarCode = 1;
    settings->BarCodeInputMode = 1;
    settings->BarCodeInputMaxCnt = 4;
    std::strcpy(state.AdvanceSn, "ADV-0001");
    Present(2);
    std::strcpy(ports[1].SerialNumber, "KEEP");
    ui.answers = {InputBoxAnswer{"ADV-0002", ""}};
    Refresh();

    EXPECT_STREQ(ports[0].SerialNumber, "ADV-0001");
    EXPECT_STREQ(ap->BarcodeSn[0], "ADV-0001");
    EXPECT_STREQ(ports[1].SerialNumber, "KEEP");
    ASSERT_EQ(ui.requests.size(), 1u);  // the scan prompt for the next drive
    EXPECT_EQ(ui.requests[0].caption, "Please Input the SN");
    EXPECT_EQ(ui.requests[0].port, -1);
    EXPECT_STREQ(state.AdvanceSn, "ADV-0002");
    EXPECT_FALSE(state.SnPending);
}

TEST_F(OperatorInput, AdvanceScanPromptFollowsTheDriveCount) {
    settings->EnBarCode = 1;
    settings->BarCodeInputMode = 1;
    settings->BarCodeInputMaxCnt = 4;
    for (int present = 0; present <= 5; ++present) {
        ui.requests.clear();
        Present(present);
        for (auto& port : ports)
            std::strcpy(port.SerialNumber, "X");
        Refresh();
        const bool asked = present < 4;
        EXPECT_EQ(ui.requests.size(), asked ? 1u : 0u) << present << " drives";
    }

    // A run in advance-scan mode holds the prompt back until no drive is found.
    NoteRunStarted(*settings, state);
    ui.requests.clear();
    Present(2);
    Refresh();
    EXPECT_TRUE(ui.requests.empty());
    Present(0);
    Refresh();
    EXPECT_EQ(ui.requests.size(), 1u);
    EXPECT_FALSE(state.AdvanceScanSuppressed);
    Present(2);
    Refresh();
    EXPECT_EQ(ui.requests.size(), 2u);
}

TEST(OperatorInputModes, AdvanceScanModeFromTheSwitches) {
    struct Case {
        std::uint8_t barCode, ppid;
        int mode;
    };
    const Case cases[] = {{1, 0, kInputSn}, {0, 1, kInputPpid}, {1, 1, kInputSnPpid},
                          {0, 0, 0},        {2, 0, 0},          {2, 1, kInputPpid}};
    for (const Case& c : cases) {
        auto settings = std::make_unique<SettingsBlock>();
        settings->EnBarCode = c.barCode;
        settings->EnPPID = c.ppid;
        EXPECT_EQ(AdvanceScanMode(*settings), c.mode) << int{c.barCode} << int{c.ppid};
    }
}

TEST_F(OperatorInput, SerialAndPpidBoxStoresBothFields) {
    const InputBoxRequest advance = MakeInputBoxRequest(kInputSnPpid, -1);
    EXPECT_EQ(advance.caption, "Please Input the SN and PPID");
    EXPECT_TRUE(advance.secondVisible);
    EXPECT_EQ(advance.secondLabel, "Customer P/N(PPID)");
    EXPECT_EQ(advance.secondMaxLength, 23u);
    ApplyInputBoxAnswer(advance, {"ADV-SN", std::string(30, 'P')}, state, *ap, ports);
    EXPECT_STREQ(state.AdvanceSn, "ADV-SN");
    EXPECT_EQ(std::string(state.AdvancePpid), std::string(23, 'P'));

    const InputBoxRequest perPort = MakeInputBoxRequest(kInputSnPpid, 4);
    EXPECT_EQ(perPort.caption, "Please Input the SN and PPID(Port5)");
    ApplyInputBoxAnswer(perPort, {"SN5", "PPID5"}, state, *ap, ports);
    EXPECT_STREQ(ports[4].SerialNumber, "SN5");
    EXPECT_STREQ(ap->BarcodeSn[4], "SN5");
    EXPECT_STREQ(ports[4].Ppid, "PPID5");
    EXPECT_STREQ(ap->BarcodePpid[4], "PPID5");
    EXPECT_EQ(debugger.lines.size(), 4u);
    EXPECT_EQ(debugger.lines[3], "######### - PPID is PPID5\r\n");

    // A port outside the tables stores nothing.
    ApplyInputBoxAnswer(MakeInputBoxRequest(kInputSn, kMaxPorts), {"X", ""}, state, *ap, ports);
    EXPECT_STREQ(state.AdvanceSn, "ADV-SN");
}

}  // namespace
}  // namespace kv
