// Reading the fixture file: every key, the defaults, and the refusals with
// file, line and key named.
#include "emulator/fixture_config.h"

#include <gtest/gtest.h>

#include "emulator/nand_geometry.h"

namespace kv::emu {
namespace {

constexpr char kEveryKey[] = R"([Fixture]
RootHubs=8,4        ; port counts of the root hubs
TimeScale=0.001
StateDir=state
Seed=7

[Hub 1.3]
Ports=4

[Drive 1.2]
Name=alpha
Bridge=p710
Boot=firmware
FlashId=98 DE 94 93 76
TypeWord=0x0889
Channels=2
Banks=4
FactoryBad=12,0.1.2
GrownBad=3,1.0.77
Temperature=41
SataSpeed=0x06
UserSectors=1000000
Rdt=lts-fail
RdtSerial=SN123
VolumeDelay=never
Fault=read-error:5000, hang:program3 ,id-mismatch:1.2,table-damage:2.4,busy:0x89,unplug:write,miscompare:7,write-error:0x10,bad-over-ratio,dram-fail,flash-if-fail:0x13,handshake-fail

[Drive 1.3.1]
Bridge="elm "

[drive 2.4]
bridge=0x05E30718
)";

TEST(FixtureConfig, ReadsEveryKey) {
    std::string error;
    const auto c = ParseFixtureConfig(kEveryKey, "/tmp/x/Fixture.ini", error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->rootHubs, (std::vector<int>{8, 4}));
    EXPECT_DOUBLE_EQ(c->timeScale, 0.001);
    EXPECT_EQ(c->stateDir, "/tmp/x/state");
    EXPECT_EQ(c->seed, 7u);
    ASSERT_EQ(c->hubs.size(), 1u);
    EXPECT_EQ(c->hubs[0].location, (std::vector<int>{1, 3}));
    EXPECT_EQ(c->hubs[0].ports, 4);
    ASSERT_EQ(c->drives.size(), 3u);

    const DriveProfile& a = c->drives[0];
    EXPECT_EQ(a.name, "alpha");
    EXPECT_EQ(a.bridge, (BridgeCode{'p', '7', '1', '0'}));
    EXPECT_EQ(a.boot, BootState::Firmware);
    EXPECT_EQ(a.flashId, (std::array<std::uint8_t, 5>{0x98, 0xDE, 0x94, 0x93, 0x76}));
    EXPECT_EQ(a.typeWord, 0x0889);
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.banks, 4);
    EXPECT_EQ(a.factoryBadPerDie, 12);
    EXPECT_EQ(a.factoryBadBlocks, (std::vector<BlockAddress>{{0, 1, 2}}));
    EXPECT_EQ(a.grownBad, 3);
    EXPECT_EQ(a.grownBadBlocks, (std::vector<BlockAddress>{{1, 0, 77}}));
    EXPECT_EQ(a.temperature, 41);
    EXPECT_EQ(a.sataSpeed, 0x06);
    EXPECT_EQ(a.userSectors, 1000000u);
    EXPECT_EQ(a.rdt, RdtRecord::LtsFail);
    EXPECT_EQ(a.rdtSerial, "SN123");
    EXPECT_FALSE(a.volumeDelaySeconds.has_value());
    ASSERT_EQ(a.faults.size(), 12u);
    EXPECT_EQ(a.faults[0].kind, FaultKind::ReadError);
    EXPECT_EQ(a.faults[0].lba, 5000u);
    EXPECT_EQ(a.faults[1].kind, FaultKind::Hang);
    EXPECT_EQ(a.faults[1].event, (DriveEvent{DriveEvent::Kind::ProgramStart, 3}));
    EXPECT_EQ(a.faults[2].kind, FaultKind::IdMismatch);
    EXPECT_EQ(a.faults[2].first, 1);
    EXPECT_EQ(a.faults[2].second, 2);
    EXPECT_EQ(a.faults[3].kind, FaultKind::TableDamage);
    EXPECT_EQ(a.faults[3].first, 2);
    EXPECT_EQ(a.faults[3].second, 4);
    EXPECT_EQ(a.faults[4].event, (DriveEvent{DriveEvent::Kind::SubCode, 0x89}));
    EXPECT_EQ(a.faults[5].event, (DriveEvent{DriveEvent::Kind::FirstWrite, 0}));
    EXPECT_EQ(a.faults[7].lba, 0x10u);
    EXPECT_EQ(a.faults[10].first, 0x13);
    EXPECT_EQ(a.faults[11].kind, FaultKind::HandshakeFail);

    EXPECT_EQ(c->drives[1].bridge, (BridgeCode{'e', 'l', 'm', ' '}));
    EXPECT_EQ(c->drives[2].bridge, (BridgeCode{0x05, 0xE3, 0x07, 0x18}));
}

TEST(FixtureConfig, EmptySectionsTakeTheDefaults) {
    std::string error;
    const auto c = ParseFixtureConfig("[Drive 1.5]\n", "/f/Fixture.ini", error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->rootHubs, (std::vector<int>{8}));
    EXPECT_DOUBLE_EQ(c->timeScale, 1.0);
    EXPECT_EQ(c->stateDir, "/f/fixture");
    const DriveProfile& d = c->drives.at(0);
    EXPECT_EQ(d.name, "1.5");
    EXPECT_EQ(ClassifyBridge(d.bridge).family, BridgeFamily::Sat);
    EXPECT_EQ(d.boot, BootState::Loader);
    EXPECT_EQ(d.channels, 4);
    EXPECT_EQ(d.banks, 2);
    const auto g = GeometryFromTypeWord(d.typeWord, d.channels, d.banks);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->blocksPerCe, 4096);
    EXPECT_EQ(g->sectorsPerPage, 16);
    EXPECT_EQ(d.userSectors, DefaultUserSectors(*g));
    EXPECT_GT(d.userSectors, 0u);
    EXPECT_EQ(d.volumeDelaySeconds, 2.0);
}

struct Refusal {
    const char* text;
    const char* expected;  // a part of the message: file:line and the key or section
};

class FixtureConfigRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(FixtureConfigRefusal, NamesFileLineAndKey) {
    std::string error;
    const auto c = ParseFixtureConfig(GetParam().text, "F.ini", error);
    EXPECT_FALSE(c);
    EXPECT_NE(error.find(GetParam().expected), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FixtureConfigRefusal,
    ::testing::Values(
        Refusal{"[Fixture]\nSeed=1\n[Drive 1.1]\nColour=red\n",
                "F.ini:4: [Drive 1.1] Colour: unknown key"},
        Refusal{"[Fixture]\nRootHubs=8,x\n", "F.ini:2: [Fixture] RootHubs: bad value"},
        Refusal{"[Fixture]\nTimeScale=-1\n", "F.ini:2: [Fixture] TimeScale: bad value"},
        Refusal{"[Fixture]\nRootHubs=4\n\n[Drive 1.5]\n",
                "F.ini:4: [Drive 1.5]: port 5 does not exist"},
        Refusal{"[Fixture]\nRootHubs=4\n[Drive 2.1]\n",
                "F.ini:3: [Drive 2.1]: there is no root hub 2"},
        Refusal{"[Drive 1.3.1]\n", "F.ini:1: [Drive 1.3.1]: no hub on port 1.3"},
        Refusal{"[Hub 1.3]\nPorts=2\n[Drive 1.3.3]\n",
                "F.ini:3: [Drive 1.3.3]: port 3 does not exist"},
        Refusal{"[Drive 1.2]\n[Hub 1.2]\n", "F.ini:2: [Hub 1.2]: repeats the location"},
        Refusal{"[Drive 1.2]\nBridge=p71\n", "F.ini:2: [Drive 1.2] Bridge: bad value"},
        Refusal{"[Drive 1.2]\nBoot=maybe\n", "F.ini:2: [Drive 1.2] Boot: bad value"},
        Refusal{"[Drive 1.2]\nFlashId=EC D7 94\n", "F.ini:2: [Drive 1.2] FlashId: bad value"},
        Refusal{"[Drive 1.2]\nChannels=9\n", "F.ini:2: [Drive 1.2] Channels: bad value"},
        Refusal{"[Drive 1.2]\nTypeWord=0x0007\n",
                "F.ini:2: [Drive 1.2] TypeWord: type word gives no"},
        Refusal{"[Drive 1.2]\nFactoryBad=3,4.0.1\n",
                "F.ini:2: [Drive 1.2] FactoryBad: block outside"},
        Refusal{"[Drive 1.2]\nFault=read-error:5000,melt\n",
                "F.ini:2: [Drive 1.2] Fault: unknown fault 'melt'"},
        Refusal{"[Drive 1.2]\nFault=hang:lunch\n",
                "F.ini:2: [Drive 1.2] Fault: bad fault 'hang:lunch'"},
        Refusal{"[Drive 1.2]\nFault=id-mismatch:5.0\n",
                "F.ini:2: [Drive 1.2] Fault: no chip enable"},
        Refusal{"[Drive 1.2]\nName=../up\n", "F.ini:2: [Drive 1.2] Name: bad value"},
        Refusal{"[Drive 1.2]\nName=a\n[Drive 1.3]\nName=a\n",
                "F.ini:4: [Drive 1.3] Name: the name 'a'"},
        Refusal{"[Drive 1.2]\nTemperature=20\nTemperature=30\n",
                "F.ini:3: [Drive 1.2] Temperature: repeats"},
        Refusal{"[Drive 1.2]\nVolumeDelay=soon\n", "F.ini:2: [Drive 1.2] VolumeDelay: bad value"},
        Refusal{"[Drive 1.2]\nRdt=P08\n", "F.ini:2: [Drive 1.2] Rdt: bad value"},
        Refusal{"[Tray 1]\n", "F.ini:1: [Tray 1]: unknown section"},
        Refusal{"Seed=1\n", "F.ini:1: Seed: key outside a section"}));

TEST(FixtureConfig, MissingFileIsNamed) {
    std::string error;
    EXPECT_FALSE(LoadFixtureConfig("/nonexistent/dir/Fixture.ini", error));
    EXPECT_NE(error.find("/nonexistent/dir/Fixture.ini"), std::string::npos);
}

}  // namespace
}  // namespace kv::emu
