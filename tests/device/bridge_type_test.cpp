// Bridge types from the INQUIRY firmware code, and the bus path and bus mode
// they select, against bridges of the virtual fixture.
#include "device/bridge_type.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/loader_mode.h"
#include "vendor_access_drives.h"

namespace kv {
namespace {

struct CodeCase {
    std::vector<int> bytes36;  // bytes from 36 on
    bool noCheck;
    int type;
};

TEST(BridgeTypeTable, FirstMatchOfTheCodeTableWins) {
    auto text = [](const char* s) {
        std::vector<int> v;
        for (; *s != '\0'; ++s) {
            v.push_back(static_cast<unsigned char>(*s));
        }
        return v;
    };
    const CodeCase cases[] = {
        {text("p710"), false, 1},     {text("p711"), false, 9},
        {text("p712"), false, 4},     {text("p713"), false, 7},
        {text("p713"), true, 7},      {text("p714"), false, 8},
        {text("p720"), false, 11},    {text("p722"), false, 12},
        {text("p723"), false, 13},    {{0x05, 0xE3, 0x07, 0x18}, false, 14},
        {text("xw41"), false, 13},  // bytes 37-39, whatever byte 36 holds
        {text("\x01w43"), false, 13}, {text("p725"), false, 13},
        {text("G41X"), false, 10},    {text("elm "), false, 10},
        {text("p730"), true, 10},  // "EnNoCheckBridge" keeps 10
        {text("P710"), false, 0},  // case-sensitive
        {text("p71"), false, 0},   // a zero byte ends the code
        {{0, 0, 0, 0}, false, 0},     {{0, 0, 0, 0}, true, 7},
        {text("p710"), true, 7},
    };
    for (const CodeCase& c : cases) {
        std::uint8_t inquiry[40] = {};
        for (std::size_t i = 0; i < c.bytes36.size(); ++i) {
            inquiry[36 + i] = static_cast<std::uint8_t>(c.bytes36[i]);
        }
        EXPECT_EQ(BridgeTypeOfInquiry(inquiry, c.noCheck), c.type)
            << std::string(reinterpret_cast<char*>(inquiry + 36), 4) << " noCheck " << c.noCheck;
    }
}

TEST(BridgeTypeTable, SataBridgeTypes) {
    for (int type = 0; type <= 15; ++type) {
        const bool sata = type == 1 || type == 4 || type == 7 || type == 8 || type == 9 ||
                          type == 11 || type == 12 || type == 13 || type == 14;
        EXPECT_EQ(IsSataBridgeType(type), sata) << type;
    }
}

// Ports: 0 p712 SAT, 1 direct device, 2 the PIO-only 0x05E30718 bridge (a
// loader drive behind it), 3 a foreign bridge.
class BusPathTest : public test::DrivesTest {
  protected:
    void SetUp() override {
        Load(
            "[Drive 1.1]\nBridge=p712\n[Drive 1.2]\nBridge=p730\n"
            "[Drive 1.3]\nBridge=0x05E30718\n[Drive 1.4]\nBridge=zzzz\n",
            {"1.1", "1.2", "1.3", "1.4"},
            {BusPath::UsbPath, BusPath::UsbPath, BusPath::UsbPath, BusPath::UsbPath});
    }
    ProcessSettings process;
};

TEST_F(BusPathTest, BridgesOfTheFixtureGetTheirTypeAndPath) {
    process.SataBusMode = 2;
    const BusPathSelection sata = SelectBusPath(0, process);
    EXPECT_EQ(sata.BridgeType, 4);
    EXPECT_STREQ(sata.BusName, "SATA");
    EXPECT_EQ(PortDeviceTable().GetBusPath(0), BusPath::SataPath);
    EXPECT_TRUE(Traced("SATA PATH\r\n"));

    const BusPathSelection usb = SelectBusPath(1, process);
    EXPECT_EQ(usb.BridgeType, 10);
    EXPECT_STREQ(usb.BusName, "USB");
    EXPECT_EQ(PortDeviceTable().GetBusPath(1), BusPath::UsbPath);
    EXPECT_TRUE(Traced("USB PATH\r\n"));

    const BusPathSelection foreign = SelectBusPath(3, process);
    EXPECT_EQ(foreign.BridgeType, 0);
    EXPECT_EQ(foreign.BusName, nullptr);
    EXPECT_EQ(PortDeviceTable().GetBusPath(3), BusPath::UsbPath);  // left as it was

    // None of these switches the bus mode.
    EXPECT_EQ(process.SataBusMode, 2);
    EXPECT_FALSE(SataBusModeSwitched());
    EXPECT_EQ(VendorBusMode(), 2);
}

TEST_F(BusPathTest, NoCheckBridgeMakesAForeignBridgeASataBridge) {
    process.EnNoCheckBridge = 1;
    EXPECT_EQ(GetBridgeType(3, true), 7);
    EXPECT_EQ(SelectBusPath(3, process).BridgeType, 7);
    EXPECT_EQ(PortDeviceTable().GetBusPath(3), BusPath::SataPath);
    EXPECT_EQ(GetBridgeType(1, true), 10);
}

TEST_F(BusPathTest, PioOnlyBridgeSwitchesTheWholeProcessToBusModeOne) {
    process.SataBusMode = 2;
    const BusPathSelection selection = SelectBusPath(2, process);
    EXPECT_EQ(selection.BridgeType, 14);
    EXPECT_EQ(PortDeviceTable().GetBusPath(2), BusPath::SataPath);
    EXPECT_EQ(process.SataBusMode, 1);
    EXPECT_TRUE(SataBusModeSwitched());
    EXPECT_TRUE(KeepVendorBusMode1());
    EXPECT_EQ(VendorBusMode(), 1);
    // The drive behind it can now be talked to: the PIO carriers reach its
    // loader and the handshake answers.
    std::vector<std::uint8_t> buffer(kLoaderScratchSize);
    EXPECT_TRUE(EnterVendorMode(2, buffer.data()));
    // Another port's later selection does not undo the switch.
    SelectBusPath(0, process);
    EXPECT_EQ(process.SataBusMode, 1);
    EXPECT_EQ(VendorBusMode(), 1);
}

TEST_F(BusPathTest, PioOnlyBridgeRefusesTheUdmaCarriers) {
    // What the switch prevents: in bus mode 2 the same drive never answers.
    PortDeviceTable().SetBusPath(2, BusPath::SataPath);
    std::vector<std::uint8_t> buffer(kLoaderScratchSize);
    EXPECT_FALSE(EnterVendorMode(2, buffer.data()));
}

}  // namespace
}  // namespace kv
