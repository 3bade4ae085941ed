// A platform backend for device-layer tests: it records every opened path,
// every pass-through request (with a copy of its outgoing data) and every
// debugger line, and answers requests with canned replies.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/port_device.h"
#include "device/vendor_block.h"
#include "platform/platform.h"

namespace kv::test {

struct RecordedRequest {
    std::string path;
    std::vector<std::uint8_t> cdb;      // the first cdbLength bytes
    std::vector<std::uint8_t> fullCdb;  // all 16 bytes of the request's CDB field
    bool dataIn = false;
    std::uint32_t length = 0;
    std::uint32_t timeoutSeconds = 0;
    const void* buffer = nullptr;
    std::vector<std::uint8_t> dataOut;  // what a data-out request carried
};

struct CannedReply {
    bool callOk = true;
    std::uint32_t lastError = 0;
    std::uint8_t scsiStatus = 0;
    std::vector<std::uint8_t> data;  // copied into a data-in buffer, at most its length
};

class RecordingPlatform : public platform::Platform {
  public:
    platform::Clock& clock() override { return platform::HostPlatform().clock(); }
    platform::LocalTime Now() override { return {}; }
    void DebuggerOutput(const char* text) override { traces.emplace_back(text); }
    std::string ExecutableFolder() override { return "/"; }
    bool IsOnNetworkDrive(const std::string&) override { return false; }
    bool IsCapsLockOn() override { return false; }
    void ToggleCapsLock() override {}

    std::unique_ptr<platform::DeviceHandle> OpenDevice(const std::string& path,
                                                       std::uint32_t& lastError) override {
        opened.push_back(path);
        if (unopenable.count(path) != 0) {
            lastError = 2;
            return nullptr;
        }
        return std::make_unique<Handle>(*this, path);
    }

    platform::PassThroughResult PassThrough(platform::DeviceHandle& device,
                                            platform::PassThroughRequest& request) override {
        RecordedRequest record;
        record.path = static_cast<Handle&>(device).path;
        record.cdb.assign(request.cdb, request.cdb + request.cdbLength);
        record.fullCdb.assign(request.cdb, request.cdb + sizeof(request.cdb));
        record.dataIn = request.dataIn;
        record.length = request.length;
        record.timeoutSeconds = request.timeoutSeconds;
        record.buffer = request.buffer;
        if (!request.dataIn && request.buffer != nullptr) {
            const auto* bytes = static_cast<const std::uint8_t*>(request.buffer);
            record.dataOut.assign(bytes, bytes + request.length);
        }
        CannedReply reply = fallback;
        if (answer) {
            reply = answer(record);
        } else if (!replies.empty()) {
            reply = replies.front();
            replies.pop_front();
        }
        if (request.dataIn && request.buffer != nullptr) {
            const std::size_t n = std::min<std::size_t>(reply.data.size(), request.length);
            std::copy(reply.data.begin(), reply.data.begin() + static_cast<std::ptrdiff_t>(n),
                      static_cast<std::uint8_t*>(request.buffer));
        }
        requests.push_back(record);
        platform::PassThroughResult result;
        result.callOk = reply.callOk;
        result.lastError = reply.lastError;
        result.scsiStatus = reply.scsiStatus;
        result.transferred = reply.callOk ? request.length : 0;
        return result;
    }

    std::vector<std::string> opened;
    std::set<std::string> unopenable;
    std::vector<RecordedRequest> requests;
    std::deque<CannedReply> replies;  // answered in order, then `fallback`
    CannedReply fallback;
    std::function<CannedReply(const RecordedRequest&)> answer;  // overrides the queue when set
    std::vector<std::string> traces;
    int openHandles = 0;

  private:
    struct Handle : platform::DeviceHandle {
        Handle(RecordingPlatform& owner_, std::string path_)
            : owner(owner_), path(std::move(path_)) {
            ++owner.openHandles;
        }
        ~Handle() override { --owner.openHandles; }
        RecordingPlatform& owner;
        std::string path;
    };
};

// Device paths as discovery finds them (lower case, with "usb").
inline constexpr char kSataDrivePath[] =
    "\\\\?\\usbstor#disk&ven_korvane&prod_ssd#0001#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
inline constexpr char kUsbDrivePath[] =
    "\\\\?\\usbstor#disk&ven_korvane&prod_usb#0002#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

// Installs the recorder, an empty port table and bus mode 2; puts the host
// backend and the defaults back afterwards.
class DeviceTest : public ::testing::Test {
  protected:
    DeviceTest() {
        platform::SetCurrent(&backend);
        PortDeviceTable().ClearAll();
        SetVendorBusMode(2);
        SetKeepVendorBusMode1(false);
    }
    ~DeviceTest() override {
        PortDeviceTable().ClearAll();
        SetVendorBusMode(2);
        SetKeepVendorBusMode1(false);
        platform::SetCurrent(nullptr);
    }

    static constexpr int kSataPort = 6;
    static constexpr int kUsbPort = 11;

    void AttachSata(int port = kSataPort) {
        PortDeviceTable().Set(port, kSataDrivePath, BusPath::SataPath);
    }
    void AttachUsb(int port = kUsbPort) {
        PortDeviceTable().Set(port, kUsbDrivePath, BusPath::UsbPath);
    }

    RecordingPlatform backend;
};

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

}  // namespace kv::test
