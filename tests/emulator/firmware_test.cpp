// The firmware side: which system areas boot, the IDENTIFY the firmware
// builds from the header page, SET MAX ADDRESS, logs, SMART, and state that
// survives a reload of the fixture.
#include <gtest/gtest.h>

#include <cstring>

#include "emu_test_support.h"
#include "emulator/bytes.h"
#include "emulator/identify_data.h"

namespace kv::emu {
namespace {

using test::Port;

struct AreaOptions {
    const char* version = "V50";
    bool trailer = true;
    bool table4 = true;
    char busLetter = 'S';
    int files = 1;
};

// Writes a system area the way the station lays it out into code block `block`.
void WriteArea(Nand& nand, int block, const AreaOptions& o) {
    const NandGeometry& g = nand.geometry();
    const std::size_t slice = static_cast<std::size_t>(g.pageBytes());
    auto put = [&](int page, const std::vector<std::uint8_t>& data) {
        for (int c = 0; c < g.channels; ++c) {
            ASSERT_EQ(nand.ProgramPage({c, 0, block, page}, data), NandStatus::Ok);
        }
    };
    std::vector<std::uint8_t> info(slice, 0);
    std::memcpy(info.data(), (std::string("LDBK BLOCKS ") + o.version).c_str(), 16);
    std::memcpy(info.data() + 0x200, (std::string("LDBK CONFIG ") + o.version).c_str(), 16);
    PutLe16(info.data() + 0x210, 77);
    info[0x230] = static_cast<std::uint8_t>(o.files);
    PutLe16(info.data() + 0x238, 8);
    PutLe16(info.data() + 0x23A, 2);
    PutLe16(info.data() + 0x23C, 10);
    PutLe16(info.data() + 0x23E, 1);
    for (int i = 0; i < 48; ++i) {
        PutLe16(info.data() + 0x280 + i * 2, static_cast<std::uint16_t>(i));
    }
    put(0, info);
    const std::uint8_t tags[3][4] = {
        {0xE9, 0x86, 0xAA, 0x55}, {0x45, 0x79, 0xAA, 0x55}, {'S', 'Y', 'S', 'P'}};
    const int pages[3] = {1, 2, 4};
    for (int t = 0; t < 3; ++t) {
        if (pages[t] == 4 && !o.table4) {
            continue;
        }
        std::vector<std::uint8_t> table(slice, 0);
        std::memcpy(table.data(), tags[t], 4);
        std::memcpy(table.data() + 4, "KVR51X-V001", 12);
        put(pages[t], table);
    }
    std::vector<std::uint8_t> header(slice, 0);
    Sector id = BasicIdentify("STATION MODEL 9000", "SER-0001", "FW 2.10", 0x0E);
    std::copy(id.begin(), id.end(), header.begin() + 0x04C);
    std::memcpy(header.data() + 0x300, "DIZO", 4);
    header[0x30D] = static_cast<std::uint8_t>(o.busLetter);
    put(8, header);
    std::vector<std::uint8_t> plain(slice, 0x11);
    std::vector<std::uint8_t> last = plain;
    if (o.trailer) {
        PutLe32(last.data() + slice - 4, 0x31ECAA55u);
    }
    // File 0 is pages 8 and 9, file 1 (when there are two) page 10; the
    // trailer sits in the last page of the last file only.
    put(9, o.files == 1 ? last : plain);
    if (o.files == 2) {
        put(10, last);
    }
}

class Firmware : public test::FixtureTest {
  protected:
    ControllerState BootWith(const AreaOptions& o) {
        Port p = At("1.1");
        fixture->DriveOf(p.id)->WithParts(
            [&](Controller&, Nand& nand, DriveState&) { WriteArea(nand, 0, o); });
        EXPECT_TRUE(fixture->PowerCycle(p.id));
        return StateOf(p);
    }
};

TEST_F(Firmware, OnlyASoundSystemAreaBoots) {
    struct Case {
        const char* what;
        AreaOptions options;
        ControllerState expected;
    };
    AreaOptions sound;
    sound.files = 2;
    AreaOptions v40 = sound;
    v40.version = "V40";
    AreaOptions noTrailer = sound;
    noTrailer.trailer = false;
    AreaOptions noTable4 = sound;
    noTable4.table4 = false;
    AreaOptions usbImage = sound;
    usbImage.busLetter = 'U';
    AreaOptions v41 = sound;
    v41.version = "V41";
    const Case cases[] = {
        {"sound", sound, ControllerState::Firmware},
        {"V40 signatures", v40, ControllerState::Firmware},
        {"no trailer", noTrailer, ControllerState::Loader},
        {"no system parameter page", noTable4, ControllerState::Loader},
        {"header page of a USB image", usbImage, ControllerState::Loader},
        {"unknown info page version", v41, ControllerState::Loader},
    };
    for (const Case& c : cases) {
        Load("[Drive 1.1]\n");
        EXPECT_EQ(BootWith(c.options), c.expected) << c.what;
        fixture.reset();
        std::filesystem::remove_all(folder.path() / "fixture");
    }
}

TEST_F(Firmware, IdentifyComesFromTheHeaderTemplateWithCapacityAndIntegrity) {
    Load("[Drive 1.1]\nUserSectors=1000000\n");
    AreaOptions o;
    o.files = 2;
    ASSERT_EQ(BootWith(o), ControllerState::Firmware);
    Port p = At("1.1");
    Sector id{};
    ASSERT_TRUE(Port::Good(p.Identify(id.data())));
    EXPECT_EQ(GetAtaString(id, 27, 40).substr(0, 18), "STATION MODEL 9000");
    EXPECT_EQ(GetAtaString(id, 10, 20).substr(0, 8), "SER-0001");
    EXPECT_EQ(test::IdentifyCapacity28(id.data()), 1000000u);
    EXPECT_EQ(test::IdentifyCapacity48(id.data()), 1000000u);
    EXPECT_TRUE(IdentifySealed(id));
    // The header page is at controller memory address 0 (8 sectors, selector 3).
    ASSERT_TRUE(p.VendorFeatureOn());
    ASSERT_TRUE(p.EnableVendor(10));
    std::vector<std::uint8_t> header(4096);
    ASSERT_TRUE(p.Vendor({0x86, 3, 0, 0, 0, 0}, DataDirection::In, header.data(), 8));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(header.data() + 0x300), 4), "DIZO");
}

TEST_F(Firmware, SetMaxAddressChangesTheReportedCapacity) {
    Load("[Drive 1.1]\nBoot=firmware\nUserSectors=0x20000000\n");
    Port p = At("1.1");
    Sector id{};
    // 28-bit: READ NATIVE MAX, then SET MAX ADDRESS of 0x0FFFFFFD, as the station sends them.
    const std::vector<std::uint8_t> nativeMax = {0xA1, 0x06, 0x00, 0, 0, 0, 0, 0, 0x00, 0xF8, 0, 0};
    const std::vector<std::uint8_t> setMax = {0xA1, 0x06, 0x00, 0x00, 0x01, 0xFD,
                                              0xFF, 0xFF, 0xEF, 0xF9, 0,    0};
    // Without READ NATIVE MAX just before, SET MAX ADDRESS is aborted.
    EXPECT_EQ(p.Send(setMax, DataDirection::None, nullptr, 0).scsiStatus, kScsiCheckCondition);
    ASSERT_TRUE(Port::Good(p.Send(nativeMax, DataDirection::None, nullptr, 0)));
    ASSERT_TRUE(Port::Good(p.Send(setMax, DataDirection::None, nullptr, 0)));
    ASSERT_TRUE(Port::Good(p.Identify(id.data())));
    EXPECT_EQ(test::IdentifyCapacity28(id.data()), 0x0FFFFFFEu);
    EXPECT_TRUE(IdentifySealed(id));

    // 48-bit: max 0x12345678 -> 85 07 00 00 00 00 01 L3 L0 L4 L1 L5 L2 E0 37 00.
    const std::vector<std::uint8_t> nativeMaxExt = {0x85, 0x06, 0x00, 0, 0, 0, 0,    0,
                                                    0,    0,    0,    0, 0, 0, 0x27, 0};
    const std::vector<std::uint8_t> setMaxExt = {0x85, 0x07, 0x00, 0x00, 0x00, 0x00, 0x01, 0x12,
                                                 0x78, 0x00, 0x56, 0x00, 0x34, 0xE0, 0x37, 0x00};
    ASSERT_TRUE(Port::Good(p.Send(nativeMaxExt, DataDirection::None, nullptr, 0)));
    ASSERT_TRUE(Port::Good(p.Send(setMaxExt, DataDirection::None, nullptr, 0)));
    ASSERT_TRUE(Port::Good(p.Identify(id.data())));
    EXPECT_EQ(test::IdentifyCapacity48(id.data()), 0x12345679u);
    // Beyond the native maximum: refused.
    const std::vector<std::uint8_t> tooBig = {0x85, 0x07, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
                                              0xFF, 0x01, 0xFF, 0x00, 0xFF, 0xE0, 0x37, 0x00};
    ASSERT_TRUE(Port::Good(p.Send(nativeMaxExt, DataDirection::None, nullptr, 0)));
    EXPECT_EQ(p.Send(tooBig, DataDirection::None, nullptr, 0).scsiStatus, kScsiCheckCondition);
    // The value set with count 1 is kept over a power cycle.
    ASSERT_TRUE(fixture->PowerCycle(p.id));
    ASSERT_TRUE(Port::Good(p.Identify(id.data())));
    EXPECT_EQ(test::IdentifyCapacity48(id.data()), 0x12345679u);
}

TEST_F(Firmware, AtaCommandsNeedTheFirmware) {
    Load("[Drive 1.1]\n[Drive 1.2]\nBoot=firmware\nTemperature=45\n");
    const std::vector<std::uint8_t> smart = {0xA1, 0x08, 0x0B, 0xD0, 1, 0x00,
                                             0x4F, 0xC2, 0x00, 0xB0, 0, 0};
    const std::vector<std::uint8_t> flush = {0xA1, 0x06, 0x00, 0, 0, 0, 0, 0xE0, 0x00, 0xE7, 0, 0};
    const std::vector<std::uint8_t> standby = {0xA1, 0x06, 0x00, 0,    0, 0,
                                               0,    0xE0, 0x00, 0xE2, 0, 0};
    std::uint8_t sector[512] = {};
    Port loader = At("1.1");
    EXPECT_EQ(loader.Send(smart, DataDirection::In, sector, 512).scsiStatus, kScsiCheckCondition);
    EXPECT_EQ(loader.Send(flush, DataDirection::None, nullptr, 0).scsiStatus, kScsiCheckCondition);
    Port produced = At("1.2");
    ASSERT_TRUE(Port::Good(produced.Send(smart, DataDirection::In, sector, 512)));
    int temperature = -1;
    for (int i = 0; i < 30; ++i) {
        if (sector[2 + i * 12] == 0xC2) {
            temperature = sector[2 + i * 12 + 5];
        }
    }
    EXPECT_EQ(temperature, 45);
    bool hasEb = false;
    for (int i = 0; i < 30; ++i) {
        hasEb = hasEb || sector[2 + i * 12] == 0xEB;
    }
    EXPECT_TRUE(hasEb);
    EXPECT_TRUE(Port::Good(produced.Send(flush, DataDirection::None, nullptr, 0)));
    EXPECT_TRUE(Port::Good(produced.Send(standby, DataDirection::None, nullptr, 0)));
    // A failed ATA command completes with CHECK CONDITION and the ATA registers.
    const ExecuteResult bad = produced.Send({0xA1, 0x06, 0x00, 0, 0, 0, 0, 0, 0xE0, 0x99, 0, 0},
                                            DataDirection::None, nullptr, 0);
    EXPECT_EQ(bad.scsiStatus, kScsiCheckCondition);
    EXPECT_EQ(bad.sense[0], 0x72);
    EXPECT_EQ(bad.sense[1], 0x0B);      // ABORTED COMMAND
    EXPECT_EQ(bad.sense[3], 0x1D);      // ATA pass-through information available
    EXPECT_EQ(bad.sense[8 + 3], 0x04);  // error register: ABRT
}

TEST_F(Firmware, HostLog9AIsKeptAcrossAReload) {
    Load("[Drive 1.1]\nBoot=firmware\n");
    std::vector<std::uint8_t> ppid(512, ' ');
    std::memcpy(ppid.data(), "PPID-EXAMPLE-0001", 17);
    // WRITE LOG EXT, PIO, one sector, log 0x9A, page 0.
    const std::vector<std::uint8_t> writeLog = {0x85, 0x0B, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00,
                                                0x9A, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F, 0x00};
    const std::vector<std::uint8_t> readLog = {0x85, 0x09, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x00,
                                               0x9A, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x2F, 0x00};
    {
        Port p = At("1.1");
        ASSERT_TRUE(Port::Good(p.Send(writeLog, DataDirection::Out, ppid.data(), 512)));
    }
    fixture.reset();
    fixture = test::LoadFixture(folder, "[Fixture]\nTimeScale=0\n[Drive 1.1]\n");
    Port p = At("1.1");
    EXPECT_EQ(StateOf(p), ControllerState::Firmware);  // produced in the earlier run
    std::vector<std::uint8_t> back(512, 0);
    ASSERT_TRUE(Port::Good(p.Send(readLog, DataDirection::In, back.data(), 512)));
    EXPECT_EQ(back, ppid);
}

TEST_F(Firmware, StationProducedDriveStaysProducedAfterAReload) {
    Load("[Drive 1.1]\n");
    AreaOptions o;
    o.files = 2;
    ASSERT_EQ(BootWith(o), ControllerState::Firmware);
    fixture.reset();
    fixture = test::LoadFixture(folder, "[Fixture]\nTimeScale=0\n[Drive 1.1]\n");
    EXPECT_EQ(StateOf(At("1.1")), ControllerState::Firmware);
}

TEST_F(Firmware, DamagedTablePageBootsTheNextCodeBlock) {
    Load("[Drive 1.1]\nBoot=firmware\nFault=table-damage:0.2\n");
    Port p = At("1.1");
    EXPECT_EQ(StateOf(p), ControllerState::Firmware);
    Load(
        "[Drive "
        "1.2]\nBoot=firmware\nFault=table-damage:0.2,table-damage:1.1,table-damage:2.4,table-"
        "damage:3.2\n");
    EXPECT_EQ(StateOf(At("1.2")), ControllerState::Loader);
}

}  // namespace
}  // namespace kv::emu
