#include "run/serial_assignment.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "run/reuse_serials.h"
#include "run/test_item_catalogue.h"
#include "run/serial_increment.h"

namespace kv {
namespace {

constexpr std::size_t kWwnLength = sizeof(PortRecord{}.Wwn) - 1;

template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

// Copies at most N - 1 characters and clears the rest of the field.
template <std::size_t N>
void PutField(char (&field)[N], std::string_view text) {
    const std::size_t length = std::min(text.size(), N - 1);
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), length);
}

// Characters [first, first + count) of `text`, as far as it reaches.
std::string_view Chars(std::string_view text, std::size_t first, std::size_t count) {
    if (first >= text.size())
        return {};
    return text.substr(first, count);
}

std::string_view LastChars(std::string_view text, std::size_t count) {
    return text.size() <= count ? text : text.substr(text.size() - count);
}

// The number the leading decimal digits of `text` spell; 0 without any.
long LeadingNumber(std::string_view text) {
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}

// A number in "%x" as a 32-bit word shows it (a negative one in two's complement).
unsigned Hex(long value) {
    return static_cast<unsigned>(static_cast<std::uint32_t>(value));
}

std::string Cut(const char* text) {
    return std::string(text, std::min(std::strlen(text), kWwnLength));
}

bool ReMPUnset(const char (&serial)[22]) {
    return FieldText(serial) == kReMPUnsetText;
}

}  // namespace

std::optional<SerialWwn> ComposeWwnFromSerial(int mode, std::string_view serial,
                                              const platform::LocalTime& today) {
    char text[96] = {};
    SerialWwn result;
    result.serial = std::string(serial);
    const long years = today.year - 2010;
    switch (mode) {
        case 0:
            std::snprintf(
                text, sizeof text, "0%x%x%2.2ld%4.4x", Hex(LeadingNumber(Chars(serial, 9, 2)) - 10),
                Hex(LeadingNumber(Chars(serial, 11, 2))), LeadingNumber(Chars(serial, 13, 2)),
                Hex(LeadingNumber(Chars(serial, 15, 5))));
            break;
        case 1:
            std::snprintf(text, sizeof text, "0%x%x%2.2d%4.4x", Hex(years), Hex(today.month),
                          today.day, Hex(LeadingNumber(LastChars(serial, 7))));
            break;
        case 2:
        case 3: {
            result.serial = std::string(Chars(serial, 2, 20));
            const std::string tail(LastChars(result.serial, mode == 2 ? 3 : 4));
            std::snprintf(text, sizeof text, mode == 2 ? "0%x%x%2.2d0%s" : "0%x%x%2.2d%s",
                          Hex(years), Hex(today.month), today.day, tail.c_str());
            break;
        }
        default:
            return std::nullopt;
    }
    result.wwn = Cut(text);
    return result;
}

RunNumbers AssignRunNumbers(config::Settings& settings, AP_GOLBAL& ap, std::span<PortRecord> ports,
                            const RunNumbering& run) {
    SettingsBlock& block = settings.block;
    RunNumbers numbers;
    const std::size_t count = std::min<std::size_t>(ports.size(), kMaxPorts);

    // The "ReMP" numbers of all present ports are checked before any is used.
    if (block.EnReMPSN != 0) {
        for (std::size_t i = 0; i < count; ++i) {
            if (ports[i].Present != 0 && ReMPUnset(settings.process.ReMPSerial[i])) {
                char text[64];
                std::snprintf(text, sizeof text, kReMPMissingFormat, static_cast<int>(i + 1));
                numbers.message = OperatorMessage{text, kMessageCaption, OperatorIcon::Warning};
                return numbers;
            }
        }
    }

    const bool numbering = !run.claimNewMode && block.ItemEnabled[kDownload] != 0;
    const bool reuse = numbering && block.SNErrReuse != 0;
    ReuseSnList& list = ap.ReuseSn;
    const int listCount = std::clamp(list.Count, 0, kMaxPorts);

    for (std::size_t i = 0; i < count; ++i) {
        PortRecord& port = ports[i];
        if (port.Present == 0)
            continue;

        // Serial number.
        if (block.EnReMPSN != 0) {
            PutField(port.SerialNumber, FieldText(settings.process.ReMPSerial[i]));
        } else if (block.EnBarCode != 0 && ap.BarcodeSn[i][0] != '\0') {
            PutField(port.SerialNumber, FieldText(ap.BarcodeSn[i]));
        } else if (block.EnUpdateFirmwareMode != 0) {
            // The drive keeps the number it carries.
        } else if (reuse && list.NextIndex >= 0 && list.NextIndex < listCount) {
            PutField(port.SerialNumber, FieldText(list.Numbers[list.NextIndex]));
            ++list.NextIndex;
            numbers.fromReuseList[i] = true;
        } else {
            PutField(port.SerialNumber, FieldText(block.SerialNum));
            if (numbering && block.SNAutoInc != 0) {
                if (block.SNDecimal != 0)
                    IncrementDecimalSerial(block.SerialNum, sizeof block.SerialNum);
                else
                    IncrementHexSerial(block.SerialNum, sizeof block.SerialNum);
            }
        }
        numbers.issuedSerial[i] = std::string(FieldText(port.SerialNumber));

        // WWN.
        bool wwnFromUid = false;
        if (block.EnBarCodeWWN != 0 && ap.BarcodeWwn[i][0] != '\0') {
            PutField(port.Wwn, FieldText(ap.BarcodeWwn[i]));
        } else {
            PutField(port.Wwn, FieldText(block.UID));
            wwnFromUid = true;
        }
        if (block.EnPPID != 0 && ap.BarcodePpid[i][0] != '\0')
            PutField(port.Ppid, FieldText(ap.BarcodePpid[i]));

        if (block.EnHalvoroSnToWWN != 0) {
            if (const auto composed = ComposeWwnFromSerial(block.HalvoroSnToWWNMode,
                                                           numbers.issuedSerial[i], run.today)) {
                PutField(port.Wwn, composed->wwn);
                PutField(port.SerialNumber, composed->serial);
                wwnFromUid = false;
            }
        }
        if (wwnFromUid && numbering && block.UIDAutoInc != 0) {
            if (block.UIDDecimal != 0)
                IncrementDecimalSerial(block.UID, sizeof block.UID);
            else
                IncrementHexSerial(block.UID, sizeof block.UID);
        }
    }
    return numbers;
}

void RebuildReuseAfterRun(const RunNumbers& numbers, std::span<const PortRecord> ports,
                          ReuseSnList& list) {
    const std::size_t count = std::min<std::size_t>(ports.size(), kMaxPorts);
    std::vector<PortRecord> issued(count);
    for (std::size_t i = 0; i < count; ++i) {
        issued[i] = ports[i];
        if (!numbers.issuedSerial[i].empty())
            PutField(issued[i].SerialNumber, numbers.issuedSerial[i]);
    }
    RebuildReuseSnList(issued, list);
}

}  // namespace kv
