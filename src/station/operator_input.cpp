#include "station/operator_input.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "device/debug_log.h"

namespace kv {
namespace {

template <std::size_t N>
void CopyField(char (&field)[N], std::string_view text, std::size_t maxLength = N - 1) {
    std::memset(field, 0, N);
    const std::size_t n = std::min({text.size(), maxLength, N - 1});
    std::memcpy(field, text.data(), n);
}

template <std::size_t N>
bool Empty(const char (&field)[N]) {
    return field[0] == '\0';
}

template <std::size_t N>
std::string_view FieldView(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

bool ValidPort(int port) {
    return port >= 0 && port < kMaxPorts;
}

std::string Cut(const std::string& text, std::size_t maxLength) {
    return text.substr(0, std::min(text.size(), maxLength));
}

void StoreSn(int port, const std::string& value, OperatorInputState& state, AP_GOLBAL& ap,
             PortRecord (&ports)[kMaxPorts]) {
    OutputDbgMsg("######### - SN is %s\r\n", value.c_str());
    if (port < 0) {
        state.SnPending = true;
        CopyField(state.AdvanceSn, value);
        state.SnPending = false;
    } else if (ValidPort(port)) {
        CopyField(ap.BarcodeSn[port], value);
        CopyField(ports[port].SerialNumber, value);
    }
}

void StorePpid(int port, const std::string& value, OperatorInputState& state, AP_GOLBAL& ap,
               PortRecord (&ports)[kMaxPorts]) {
    OutputDbgMsg("######### - PPID is %s\r\n", value.c_str());
    if (port < 0) {
        state.PpidPending = true;
        CopyField(state.AdvancePpid, value);
        state.PpidPending = false;
    } else if (ValidPort(port)) {
        CopyField(ap.BarcodePpid[port], value);
        CopyField(ports[port].Ppid, value);
    }
}

void StoreWwn(int port, const std::string& value, AP_GOLBAL& ap, PortRecord (&ports)[kMaxPorts]) {
    OutputDbgMsg("######### - WWN is %s\r\n", value.c_str());
    if (ValidPort(port)) {
        CopyField(ap.BarcodeWwn[port], value);
        CopyField(ports[port].Wwn, value);
    }
}

}  // namespace

void ClearPendingInput(OperatorInputState& state) {
    state.SnPending = false;
    state.WwnPending = false;
    state.PpidPending = false;
}

void NoteRunStarted(const SettingsBlock& settings, OperatorInputState& state) {
    if (settings.BarCodeInputMode == 1)
        state.AdvanceScanSuppressed = true;
}

InputBoxRequest MakeInputBoxRequest(int mode, int port) {
    InputBoxRequest r;
    r.mode = mode;
    r.port = port;
    const bool advance = port < 0 && mode != kInputWwn;
    const std::string suffix = advance ? "" : "(Port" + std::to_string(port + 1) + ")";
    switch (mode) {
        case kInputWwn:
            r.caption = "Please Input the WWN or UID" + suffix;
            r.firstLabel = "WWN or UID";
            r.firstMaxLength = kInputWwnMaxLength;
            break;
        case kInputPpid:
            r.caption = "Please Input the PPID" + suffix;
            r.firstLabel = "Customer P/N(PPID)";
            r.firstMaxLength = kInputPpidMaxLength;
            break;
        case kInputSnPpid:
            r.caption = "Please Input the SN and PPID" + suffix;
            r.firstLabel = "Serial Number";
            r.firstMaxLength = kInputSnMaxLength;
            r.secondVisible = true;
            r.secondLabel = "Customer P/N(PPID)";
            r.secondMaxLength = kInputPpidMaxLength;
            break;
        case kInputSn:
        default:
            r.mode = kInputSn;
            r.caption = "Please Input the SN" + suffix;
            r.firstLabel = "Serial Number";
            r.firstMaxLength = kInputSnMaxLength;
            break;
    }
    return r;
}

void ApplyInputBoxAnswer(const InputBoxRequest& request, const InputBoxAnswer& answer,
                         OperatorInputState& state, AP_GOLBAL& ap, PortRecord (&ports)[kMaxPorts]) {
    const int port = request.port < 0 ? -1 : request.port;
    switch (request.mode) {
        case kInputSn:
            StoreSn(port, Cut(answer.first, kInputSnMaxLength), state, ap, ports);
            break;
        case kInputWwn:
            StoreWwn(port, Cut(answer.first, kInputWwnMaxLength), ap, ports);
            break;
        case kInputPpid:
            StorePpid(port, Cut(answer.first, kInputPpidMaxLength), state, ap, ports);
            break;
        case kInputSnPpid:
            StoreSn(port, Cut(answer.first, kInputSnMaxLength), state, ap, ports);
            StorePpid(port, Cut(answer.second, kInputPpidMaxLength), state, ap, ports);
            break;
        default:
            break;
    }
}

bool OpenInputBox(int mode, int port, StationUi& ui, OperatorInputState& state, AP_GOLBAL& ap,
                  PortRecord (&ports)[kMaxPorts]) {
    state.InputMode = mode;
    if (port >= 0)
        state.InputPort = port;
    const InputBoxRequest request = MakeInputBoxRequest(mode, port);
    const std::optional<InputBoxAnswer> answer = ui.ShowInputBox(request);
    if (!answer)
        return false;
    ApplyInputBoxAnswer(request, *answer, state, ap, ports);
    return true;
}

int AdvanceScanMode(const SettingsBlock& settings) {
    const bool sn = settings.EnBarCode == 1;
    const bool ppid = settings.EnPPID == 1;
    if (sn && ppid)
        return kInputSnPpid;
    if (sn)
        return kInputSn;
    if (ppid)
        return kInputPpid;
    return 0;
}

bool AskRefreshInputs(PortRecord (&ports)[kMaxPorts], int portCount, const SettingsBlock& settings,
                      AP_GOLBAL& ap, OperatorInputState& state, StationUi& ui) {
    const int count = std::clamp(portCount, 0, kMaxPorts);
    const bool advanceScan = settings.BarCodeInputMode == 1;
    bool startTimer = false;
    const auto afterInput = [&] {
        if (settings.EnAutoExecuteAfterInputSn != 0) {
            ap.AutoExecute = true;
            startTimer = true;
        }
    };

    int present = 0;
    for (int i = 0; i < count; ++i) {
        PortRecord& port = ports[i];
        if (port.Present == 0)
            continue;
        ++present;
        if (settings.EnBarCode != 0 && Empty(port.SerialNumber)) {
            state.InputPort = i;
            state.InputMode = kInputSn;
            state.SnPending = true;
            CopyField(ap.BarcodeSn[i], "");
            if (advanceScan) {
                CopyField(port.SerialNumber, FieldView(state.AdvanceSn));
                CopyField(ap.BarcodeSn[i], FieldView(state.AdvanceSn));
            } else {
                OpenInputBox(kInputSn, i, ui, state, ap, ports);
            }
            state.SnPending = false;
            afterInput();
        }
        if (settings.EnPPID != 0 && Empty(port.Ppid)) {
            state.InputPort = i;
            state.InputMode = kInputPpid;
            state.PpidPending = true;
            CopyField(ap.BarcodePpid[i], "");
            if (advanceScan) {
                CopyField(port.Ppid, FieldView(state.AdvancePpid));
                CopyField(ap.BarcodePpid[i], FieldView(state.AdvancePpid));
            } else {
                OpenInputBox(kInputPpid, i, ui, state, ap, ports);
            }
            state.PpidPending = false;
            afterInput();
        }
        if (settings.EnBarCodeWWN != 0 && Empty(port.Wwn)) {
            state.InputPort = i;
            state.InputMode = kInputWwn;
            state.WwnPending = true;
            CopyField(ap.BarcodeWwn[i], "");
            OpenInputBox(kInputWwn, i, ui, state, ap, ports);
            state.WwnPending = false;
            afterInput();
        }
    }

    if (advanceScan) {
        const int mode = AdvanceScanMode(settings);
        if (present == 0) {
            if (mode != 0)
                OpenInputBox(mode, -1, ui, state, ap, ports);
            state.AdvanceScanSuppressed = false;
        } else if (present < settings.BarCodeInputMaxCnt && !state.AdvanceScanSuppressed &&
                   mode != 0) {
            OpenInputBox(mode, -1, ui, state, ap, ports);
        }
    }
    return startTimer;
}

}  // namespace kv
