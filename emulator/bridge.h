// The USB bridge in front of a drive: it takes the SCSI command blocks of a
// pass-through request and answers them, handing ATA commands, sector I/O
// and vendor blocks to the controller as its family allows.
//   SAT bridge: INQUIRY, TEST UNIT READY, READ CAPACITY(10), READ(10),
//     WRITE(10), ATA PASS-THROUGH (12) and (16) (types 1 and 14: PIO and
//     non-data protocols only), and on type 7 the bridge block FF 04 32 xx.
//   Direct device: INQUIRY (with the loader identity while no firmware
//     runs), TEST UNIT READY, READ CAPACITY(10), READ(10), WRITE(10), and
//     vendor blocks (0xFF, bytes 0..11 only).
//   Foreign bridge: INQUIRY, TEST UNIT READY, READ CAPACITY(10), READ(10),
//     WRITE(10).
// Any other command block fails with CHECK CONDITION, ILLEGAL REQUEST.
#pragma once

#include <cstddef>
#include <cstdint>

#include "emulator/ata_command.h"
#include "emulator/bridge_kind.h"
#include "emulator/controller.h"
#include "emulator/execute_result.h"

namespace kv::emu {

struct BridgeReply {
    Fate fate = Fate::Answered;
    ExecuteResult result;
};

class Bridge {
  public:
    explicit Bridge(const BridgeCode& code) : code_(code), kind_(ClassifyBridge(code)) {}

    const BridgeKind& kind() const { return kind_; }
    const BridgeCode& code() const { return code_; }
    BusPath bus() const {
        return kind_.family == BridgeFamily::Direct ? BusPath::Usb : BusPath::Sata;
    }
    // The value of the last FF 04 32 xx block (type 7 only).
    std::uint8_t bridgeState() const { return bridgeState_; }

    BridgeReply Handle(Controller& controller, const std::uint8_t* cdb, std::size_t cdbLength,
                       DataDirection direction, std::uint8_t* data, std::size_t length);

  private:
    BridgeReply Inquiry(Controller& controller, const std::uint8_t* cdb, DataDirection direction,
                        std::uint8_t* data, std::size_t length);
    BridgeReply PassThrough(Controller& controller, const std::uint8_t* cdb, std::size_t cdbLength,
                            DataDirection direction, std::uint8_t* data, std::size_t length);
    BridgeReply Sectors(Controller& controller, const std::uint8_t* cdb, DataDirection direction,
                        std::uint8_t* data, std::size_t length);

    BridgeCode code_;
    BridgeKind kind_;
    std::uint8_t bridgeState_ = 0;
};

}  // namespace kv::emu
