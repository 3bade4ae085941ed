// What START decides before any worker runs: the batch of repetitions, the
// checks of the set-up and of the drives with their exact messages (the first
// failing one ends START), the run mode of the "RD" page, the test items and
// firmware files of the run, and the controller's connection-count check.
// Everything is data, so the window and the command-line station refuse START
// with the same words.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/settings_keys.h"
#include "firmware/firmware_files.h"
#include "flash/operator_message.h"
#include "run/check_list.h"
#include "run/global_state.h"

namespace kv {

inline constexpr char kFlashParameterText[] = "Please make sure the Flash parameter selection!";
inline constexpr char kChannelCountText[] =
    "Please check total channel's number, only support 1, 2, 3, and 4 channel";
inline constexpr char kBankCountText[] =
    "Please check total bank's number, only support 1, 2, 4 and 8 bank";
inline constexpr char kSerialLengthText[] =
    "When mptool download SATA and USB codes to flash simultaneously, the length of SN is'nt "
    "less than 12";
inline constexpr char kSerialNotUniqueText[] = "The SN isn't unique";
inline constexpr char kNtfsPartitionFormat[] =
    "Please remove the #%d SSD's disk partition (NTFS) before initialize the SSD.";
inline constexpr char kConnectionCountText[] = "Please Make sure the Connection devices Number!!";
inline constexpr char kSataSpeedTraceFormat[] = "######### - SSD SATA speed 0x%.2X";
inline constexpr char kBatchRoundFormat[] = "Batch Mode Round %d";
// The SATA speed byte of a drive in loader mode.
inline constexpr std::uint8_t kLoaderSataSpeed = 0x0E;

// --- Batch -------------------------------------------------------------------

enum class BatchPanel { Hidden, Yellow, Green, Red };

// The repetitions of one START. Without "EnBatchMode" there is one.
class BatchState {
  public:
    // `repeatTimes` is the "Repeat Times" number; below 1 it counts as 1.
    BatchState(bool batchMode, int repeatTimes);

    bool batchMode() const { return batchMode_; }
    bool continueFlag() const { return continue_; }
    bool passFlag() const { return pass_; }
    int repetitionsLeft() const { return left_; }

    // Whether another repetition runs.
    bool MoreRepetitions() const { return left_ > 0 && continue_; }
    // The number of the repetition now running, counted from 1.
    int Round() const { return count_ - left_ + 1; }
    // "Batch Mode Round %d" while a batch repeats, nothing otherwise.
    std::optional<std::string> RoundLabel() const;
    // Yellow while a batch runs; after it, green when every port of every
    // repetition passed, red otherwise.
    BatchPanel RunningPanel() const { return batchMode_ ? BatchPanel::Yellow : BatchPanel::Hidden; }
    BatchPanel FinalPanel() const;

    // A port's worker ended. A failure clears the pass flag and, unless
    // "Ignore Error" is "Enable", ends the batch after this repetition. A pass
    // never sets the flag again: one failed port keeps the batch red whatever
    // order the workers end in.
    void PortEnded(bool failed, bool ignoreError);
    // The stop button ends the batch as a failure.
    void StopPressed();
    void EndRepetition() { --left_; }

  private:
    bool batchMode_;
    bool repeatShown_;
    int count_;
    int left_;
    bool continue_ = true;
    bool pass_ = true;
};

// --- Checks of the set-up ------------------------------------------------------

// The capacity list's entry `index` in GB: 0 for "Don't Care", 2^index for
// "2 G" .. "1024 G" (1..10), -1 for an index beyond the list.
int CapacityChoiceGb(int index);

struct StartCheckInput {
    const config::Settings* settings = nullptr;
    bool specialMode = false;
    bool sataBin = false;           // `SataBinChk`
    bool usbBin = false;            // `UsbBinChk`
    int flashCapacityGb = 0;        // the capacity the flash configuration gives, in GB
    const AP_GOLBAL* ap = nullptr;  // the scanned serial numbers
    const std::vector<CheckListLine>* checkList = nullptr;
};

// Checks 1 to 4 in order: capacity choice, channel and bank counts (not in
// special mode), serial-number length for two firmware files, unique scanned
// serial numbers among the present ports. A failed capacity check clears, on
// every attached port, the `ItemStatus` of each check-list item and `Result`.
std::optional<OperatorMessage> CheckStartSetup(const StartCheckInput& input,
                                               std::span<PortRecord> ports);

// The drive reads of the last check, as the controller makes them.
class StartDriveProbe {
  public:
    virtual ~StartDriveProbe() = default;
    virtual bool IsLoaderMode(int port) = 0;
    // Sector 0 (one sector at LBA 0); false when the read did not answer 1.
    virtual bool ReadFirstSector(int port, std::uint8_t (&sector)[512]) = 0;
    // IDENTIFY DEVICE; false when it did not answer 1.
    virtual bool ReadIdentify(int port, std::uint8_t (&identify)[512]) = 0;
};

// True when a sector ends with 0x55 0xAA and one of its four partition
// entries has the type 0x07.
bool HasNtfsPartition(const std::uint8_t (&sector)[512]);

struct DriveCheck {
    std::optional<OperatorMessage> message;
    // The new SATA speed byte of each port that got one: 0x0E in loader mode,
    // else the low byte of IDENTIFY word 76.
    std::array<std::optional<std::uint8_t>, kMaxPorts> sataSpeed{};
};

// Check 5, every present port in index order: a loader device gets the speed
// 0x0E; otherwise an NTFS partition on sector 0 ends START with the port's
// number, and a readable IDENTIFY gives the speed (traced to the debug log).
DriveCheck CheckStartDrives(std::span<const PortRecord> ports, StartDriveProbe& probe);

// --- Run mode and items --------------------------------------------------------

// The "RD" page's choices as START reads them.
struct RdPageChoice {
    bool rdPageActive = false;   // the active page of `PageControl1` is "RD"
    bool claimNew = false;       // `ClaimNewChk`
    bool getDefTable = false;    // `GetDefTabChk`
    bool putDefTable = false;    // `PutDefTabChk`
    bool getLaterTable = false;  // `GetLaterTabChk`
    bool putLaterTable = false;  // `PutLaterTabChk`
};

struct RunModes {
    bool TableMode = false;
    bool ClaimNewMode = false;
};

// Both modes are chosen only on the "RD" page: claim-new when its box is
// checked, else table mode when any of the four table boxes is.
RunModes ChooseRunModes(const RdPageChoice& choice);

enum class StartOutcome {
    Run,           // go on to the run controller
    NothingToRun,  // no item enabled: the repetition ends without a run
    RunEnds,       // a firmware file is missing: the repetition ends
    StartEnds,     // a check failed: START ends without further repetitions
};

struct RunItems {
    StartOutcome outcome = StartOutcome::Run;
    std::optional<OperatorMessage> message;
    FirmwareFileList files;  // filled when Download, Upload or Check Tables runs
};

struct FirmwareChoice {
    std::string programFolder;  // with its trailing separator
    std::string sataName;       // the file names `AP_GOLBAL` keeps
    std::string usbName;
    int pagesPerBlock = 0;  // of the flash configuration
};

// Step 6 of a repetition outside both modes: is anything enabled, and the
// firmware file list when Download, Upload or Check Tables is.
RunItems PrepareRunItems(const std::uint8_t (&itemEnabled)[kItemCount], bool sataBin, bool usbBin,
                         const FirmwareChoice& firmware);

// The whole decision of one repetition before the controller runs, in the
// order of START: the set-up checks, the drive checks, the mode choice and,
// outside both modes, the items and files.
struct StartDecision {
    StartOutcome outcome = StartOutcome::Run;
    std::optional<OperatorMessage> message;
    RunModes modes;
    FirmwareFileList files;
    std::array<std::optional<std::uint8_t>, kMaxPorts> sataSpeed{};
};

StartDecision ExecuteChecks(const StartCheckInput& input, std::span<PortRecord> ports,
                            StartDriveProbe& probe, const RdPageChoice& rdPage,
                            const FirmwareChoice& firmware);

// --- Run controller ------------------------------------------------------------

// No drive connected, or "ConnectDevNum" not 0 and not the connected count.
std::optional<OperatorMessage> CheckConnectionCount(int connected, int connectDevNum);

inline constexpr char kRebuildCloseText[] = "Rebuild O.K., Close the AP";

// After a claim-new run with `RebuildCloseChk` checked: the message to show
// before the window closes, when the first present port passed. Nothing when
// it failed or no port is present (the window stays open).
std::optional<OperatorMessage> RebuildCloseMessage(bool claimNewMode, bool rebuildClose,
                                                   std::span<const PortRecord> ports);

// The download-only flag of a run: special mode, Preformat off, Download on.
bool DownloadOnlyRun(bool specialMode, const std::uint8_t (&itemEnabled)[kItemCount]);

}  // namespace kv
