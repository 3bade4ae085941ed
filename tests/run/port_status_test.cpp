#include "run/port_status.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "platform/named_mutex.h"
#include "run/test_item_catalogue.h"

namespace kv {
namespace {

struct Board {
    PortRecord ports[kMaxPorts];
    PortView views[kMaxPorts];
    YieldCounters yield;
};

void SetText(char* field, std::size_t size, const char* text) {
    std::memset(field, 0, size);
    std::strncpy(field, text, size - 1);
}

TEST(PortStatus, ShowYieldPutsPassesFirst) {
    EXPECT_EQ(ShowYield({10, 3}), "3 / 10");
    EXPECT_EQ(ShowYield({}), "0 / 0");
}

struct CaptionCase {
    const char* name;
    int result;
    int reportedFailCode;
    int detailKind;
    int detailNumber;
    int temperatureStatus;  // ItemStatus of Check Temperature
    int temperature;
    const char* serial;
    int capacityMb;
    const char* caption;
    PanelColour colour;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const CaptionCase& c, std::ostream* os) {
    *os << c.name;
}

const CaptionCase kCaptionCases[] = {
    {"passed", 1, 0, 0, 0, 0, 0, "SN0001", 30533, "Pass", PanelColour::Green},
    {"temperature", -1, 16, 0, 0, -1, 70, "SN0001", 0, "Fail (Q09), Temperature:70",
     PanelColour::Red},
    {"timeout has an empty item name", -1, 41, 0, 0, 0, 0, "SN0001", 0, "(T00)  Fail",
     PanelColour::Red},
    {"capacity without serial", 0, 0, 0, 0, 0, 0, "", 30533, "30533 MB", PanelColour::Yellow},
    {"one bad unit", -1, 55, 1, 3, 0, 0, "SN0001", 0, "Fail (B02)(03)", PanelColour::Red},
    {"two bad units", -1, 55, 2, 3, 0, 0, "SN0001", 0, "Fail (B02)(- -)", PanelColour::Red},
    {"many bad units", -1, 47, 5, 3, 0, 0, "SN0001", 0, "Fail (C02)(- -)", PanelColour::Red},
    {"detail wins over temperature", -1, 16, 1, 12, -1, 70, "SN0001", 0, "Fail (Q09)(12)",
     PanelColour::Red},
    {"stale temperature status on another failure", -1, 7, 0, 0, -1, 70, "SN0001", 0,
     "(C00) Preformat Fail", PanelColour::Red},
    {"temperature code without failed status", -1, 16, 0, 0, 1, 70, "SN0001", 0,
     "(Q09) Check Temperature Fail", PanelColour::Red},
    {"failure replaces the capacity", -1, 8, 0, 0, 0, 0, "", 30533, "(D00) Download Fail",
     PanelColour::Red},
    {"refined code without texts", -1, 46, 0, 0, 0, 0, "SN0001", 0, "(C01)  Fail",
     PanelColour::Red},
    {"code outside the catalogue", -1, 200, 0, 0, 0, 0, "SN0001", 0, "()  Fail", PanelColour::Red},
    {"running keeps the worker's caption", 0, 0, 0, 0, 0, 0, "SN0001", 0, "Download",
     PanelColour::Yellow},
};

class PortStatusCaption : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(PortStatusCaption, PresentPort) {
    const CaptionCase& c = GetParam();
    auto board = std::make_unique<Board>();
    PortRecord& port = board->ports[3];
    port.Attached = 1;
    port.Present = 1;
    port.Result = c.result;
    port.ReportedFailCode = c.reportedFailCode;
    port.FailCode = c.reportedFailCode;
    port.FailDetailKind = c.detailKind;
    port.FailDetailNumber = c.detailNumber;
    port.ItemStatus[kCheckTemperature] = c.temperatureStatus;
    port.Temperature = static_cast<std::uint8_t>(c.temperature);
    port.CapacityMb = c.capacityMb;
    SetText(port.SerialNumber, sizeof port.SerialNumber, c.serial);
    PortView& view = board->views[3];
    view.caption = "Download";  // what the worker left
    view.serialText = "previous";
    view.gauge = 57;

    UpdateDrawPanel(board->ports, 4, board->views, board->yield);

    EXPECT_EQ(view.caption, c.caption);
    EXPECT_EQ(view.colour, c.colour);
    EXPECT_TRUE(view.panelVisible);
    EXPECT_TRUE(view.buttonVisible);
    if (*c.serial != '\0') {
        EXPECT_EQ(view.serialText, c.serial);
        EXPECT_EQ(view.gauge, 57);
    } else {
        EXPECT_EQ(view.serialText, "previous");
        EXPECT_EQ(view.gauge, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PortStatusCaption, ::testing::ValuesIn(kCaptionCases),
                         [](const ::testing::TestParamInfo<CaptionCase>& paramInfo) {
                             std::string name;
                             for (const char* p = paramInfo.param.name; *p != '\0'; ++p) {
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             }
                             return name;
                         });

TEST(PortStatus, PortsThatAreNotPresent) {
    auto board = std::make_unique<Board>();
    for (PortView& view : board->views) {
        view.panelVisible = true;
        view.buttonVisible = true;
        view.colour = PanelColour::Green;
        view.caption = "Pass";
    }
    board->ports[0].Attached = 1;  // a drive that is not a station drive
    board->ports[0].YieldPending = 1;
    board->ports[0].Result = 1;
    UpdateDrawPanel(board->ports, 2, board->views, board->yield);

    EXPECT_EQ(board->views[0].caption, "Not KV");
    EXPECT_EQ(board->views[1].caption, "Pass");  // an empty slot keeps its text
    for (int i : {0, 1}) {
        EXPECT_FALSE(board->views[i].panelVisible) << i;
        EXPECT_FALSE(board->views[i].buttonVisible) << i;
        EXPECT_EQ(board->views[i].colour, PanelColour::ButtonFace) << i;
    }
    // Ports beyond the count are left alone, and a port that is not present is
    // never counted.
    EXPECT_TRUE(board->views[2].panelVisible);
    EXPECT_EQ(board->yield.TotalTestCount, 0);
    EXPECT_EQ(board->ports[0].YieldPending, 1);
}

TEST(PortStatus, WwnShownOnlyWhenSet) {
    auto board = std::make_unique<Board>();
    board->ports[0].Present = 1;
    board->ports[1].Present = 1;
    SetText(board->ports[0].Wwn, sizeof board->ports[0].Wwn, "5000000000000001");
    board->views[1].wwnText = "earlier";
    UpdateDrawPanel(board->ports, 2, board->views, board->yield);
    EXPECT_EQ(board->views[0].wwnText, "5000000000000001");
    EXPECT_EQ(board->views[1].wwnText, "earlier");
}

TEST(PortStatus, UnterminatedTextsAreReadWithinTheirFields) {
    auto board = std::make_unique<Board>();
    PortRecord& port = board->ports[0];
    port.Present = 1;
    std::memset(port.SerialNumber, 'S', sizeof port.SerialNumber);
    std::memset(port.Wwn, 'W', sizeof port.Wwn);
    std::memset(port.Ppid, 'P', sizeof port.Ppid);
    UpdateDrawPanel(board->ports, 1, board->views, board->yield);
    EXPECT_EQ(board->views[0].serialText, std::string(sizeof port.SerialNumber, 'S'));
    EXPECT_EQ(board->views[0].wwnText, std::string(sizeof port.Wwn, 'W'));
}

TEST(PortStatus, EachFinishedRunIsCountedOnce) {
    auto board = std::make_unique<Board>();
    board->yield = {5, 4};
    for (int i = 0; i < 4; ++i) {
        board->ports[i].Present = 1;
    }
    board->ports[0].YieldPending = 1;
    board->ports[1].YieldPending = -1;
    board->ports[2].YieldPending = 1;
    board->ports[3].YieldPending = 0;  // ended by the watchdog or the stop button
    board->ports[10].Present = 1;      // beyond the port count
    board->ports[10].YieldPending = 1;

    EXPECT_EQ(UpdateDrawPanel(board->ports, 4, board->views, board->yield), "6 / 8");
    EXPECT_EQ(UpdateDrawPanel(board->ports, 4, board->views, board->yield), "6 / 8");
    EXPECT_EQ(board->yield.TotalTestCount, 8);
    EXPECT_EQ(board->yield.NumberOfPass, 6);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(board->ports[i].YieldPending, 0) << i;
    }
    EXPECT_EQ(board->ports[10].YieldPending, 1);
}

TEST(PortStatus, PortCountIsClamped) {
    auto board = std::make_unique<Board>();
    for (PortRecord& port : board->ports) {
        port.Present = 1;
        port.YieldPending = -1;
    }
    EXPECT_EQ(UpdateDrawPanel(board->ports, 500, board->views, board->yield), "0 / 50");
    EXPECT_EQ(UpdateDrawPanel(board->ports, -3, board->views, board->yield), "0 / 50");
}

// The refresh waits while a re-scan holds the panel mutex, and a re-scan that
// redraws while holding it does not deadlock.
TEST(PortStatus, RefreshHoldsThePanelMutex) {
    auto board = std::make_unique<Board>();
    board->ports[0].Present = 1;
    board->ports[0].YieldPending = 1;
    platform::NamedMutex rescan("KVMPAcess");
    rescan.lock();
    EXPECT_EQ(UpdateDrawPanel(board->ports, 1, board->views, board->yield), "1 / 1");

    std::atomic<bool> done{false};
    std::thread other([&] {
        board->ports[0].YieldPending = 1;
        UpdateDrawPanel(board->ports, 1, board->views, board->yield);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done.load());
    rescan.unlock();
    other.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(board->yield.TotalTestCount, 2);
}

}  // namespace
}  // namespace kv
