#include "tools/sample_fixture.h"

#include <string>

namespace kv::tools {
namespace {

constexpr int kRootHubPorts = 8;

// SAT bridges of several types the station drives; none limited to PIO, so
// the sample line never switches the process-wide bus mode.
constexpr const char* kSataBridges[] = {"p713", "p712", "p720", "p723", "p711"};
constexpr const char* kUsbPathBridge = "p730";

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

}  // namespace

std::string SampleFixture(int drives) {
    if (drives < 1)
        drives = 1;
    if (drives > 50)
        drives = 50;
    const int hubs = (drives + kRootHubPorts - 1) / kRootHubPorts;
    std::string text =
        "; The virtual fixture of this station folder: drive k sits on station port k.\n"
        "[Fixture]\nRootHubs=";
    for (int h = 0; h < hubs; ++h) {
        const int ports = h + 1 < hubs ? kRootHubPorts : drives - h * kRootHubPorts;
        if (h > 0)
            text += ",";
        text += std::to_string(ports);
    }
    text += "\nTimeScale=0\nStateDir=fixture\nSeed=7\n";
    for (int k = 0; k < drives; ++k) {
        const bool usbPath = drives > 1 && k == drives - 1;
        text += "\n[Drive " + std::to_string(k / kRootHubPorts + 1) + "." +
                std::to_string(k % kRootHubPorts + 1) + "]\n";
        text += "Name=drive" + std::to_string(k + 1) + "\n";
        text += std::string("Bridge=") +
                (usbPath ? kUsbPathBridge : kSataBridges[k % std::size(kSataBridges)]) + "\n";
        // The sample part "MX64G08": 8 sectors a page, 256 pages a block,
        // 4,096 blocks, one die, on 4 channels of 2 chip enables.
        text += "FlashId=2C 88 04 4B A9\nTypeWord=0x1851\nChannels=4\nBanks=2\n";
        text += "FactoryBad=" + std::to_string(2 + k % 5) + "\n";
        text += "Temperature=" + std::to_string(33 + k % 7) + "\n";
    }
    return WithCrLf(text);
}

}  // namespace kv::tools
