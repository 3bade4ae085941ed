#include "emulator/fixture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace kv::emu {
namespace {

std::uint64_t Hash(const std::string& s) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (char c : s) {
        h = (h ^ static_cast<std::uint8_t>(c)) * 0x100000001B3ull;
    }
    return h;
}

bool ParseLocationText(const std::string& text, std::vector<int>& out) {
    out.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto dot = text.find('.', start);
        const std::string part =
            text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        const int n = std::stoi(part);
        if (n < 1) {
            return false;
        }
        out.push_back(n);
        if (dot == std::string::npos) {
            break;
        }
        start = dot + 1;
    }
    return !out.empty();
}

}  // namespace

std::unique_ptr<Fixture> Fixture::Load(const std::string& path, std::string& error) {
    const std::optional<FixtureConfig> config = LoadFixtureConfig(path, error);
    if (!config) {
        return nullptr;
    }
    return FromConfig(*config, error);
}

std::unique_ptr<Fixture> Fixture::FromConfig(const FixtureConfig& config, std::string& error) {
    std::unique_ptr<Fixture> f(new Fixture());
    f->config_ = config;
    if (config.timeScale > 0) {
        f->scaled_ = std::make_unique<ScaledClock>(config.timeScale);
    }
    for (std::size_t r = 0; r < config.rootHubs.size(); ++r) {
        f->hubs_.push_back({{static_cast<int>(r + 1)}, config.rootHubs[r]});
    }
    for (const HubLayout& h : config.hubs) {
        f->hubs_.push_back({h.location, h.ports});
    }
    std::uint32_t diskNumber = 1;
    for (const DriveProfile& profile : config.drives) {
        const std::string folder = (std::filesystem::path(config.stateDir) / profile.name).string();
        std::unique_ptr<Drive> drive = Drive::Open(profile, folder, config.seed, error);
        if (!drive) {
            return nullptr;
        }
        Slot slot;
        slot.drive = std::move(drive);
        slot.id = Hash(profile.name) | 1;
        slot.diskNumber = diskNumber++;
        slot.location = profile.location;
        f->slots_.push_back(std::move(slot));
    }
    // Power-up: the station finds every drive of the file on its port.
    for (Slot& s : f->slots_) {
        s.drive->PowerUp(&f->ClockFor(*s.location));
    }
    return f;
}

Fixture::~Fixture() {
    std::string error;
    Save(error);
}

bool Fixture::Save(std::string& error) {
    bool ok = true;
    for (Slot& s : slots_) {
        ok = s.drive->Save(error) && ok;
    }
    return ok;
}

Fixture::Slot* Fixture::Find(DeviceId id) {
    for (Slot& s : slots_) {
        if (s.id == id) {
            return &s;
        }
    }
    return nullptr;
}

const Fixture::Slot* Fixture::Find(DeviceId id) const {
    for (const Slot& s : slots_) {
        if (s.id == id) {
            return &s;
        }
    }
    return nullptr;
}

Fixture::Slot* Fixture::SlotAt(const std::vector<int>& location) {
    for (Slot& s : slots_) {
        if (s.location && *s.location == location) {
            return &s;
        }
    }
    return nullptr;
}

bool Fixture::HubExists(const std::vector<int>& location) const {
    for (const Hub& h : hubs_) {
        if (h.location == location) {
            return true;
        }
    }
    return false;
}

int Fixture::PortsOf(const std::vector<int>& hubLocation) const {
    for (const Hub& h : hubs_) {
        if (h.location == hubLocation) {
            return h.ports;
        }
    }
    return 0;
}

bool Fixture::PortExists(const std::vector<int>& location) const {
    if (location.size() < 2) {
        return false;
    }
    const std::vector<int> parent(location.begin(), location.end() - 1);
    return location.back() <= PortsOf(parent);
}

Clock& Fixture::ClockFor(const std::vector<int>& location) {
    if (scaled_) {
        return *scaled_;
    }
    auto& clock = virtualClocks_[LocationText(location)];
    if (!clock) {
        clock = std::make_unique<VirtualClock>();
    }
    return *clock;
}

Clock& Fixture::MainClock() {
    if (scaled_) {
        return *scaled_;
    }
    return mainVirtual_;
}

Clock& Fixture::PortClock(const std::string& location) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> loc;
    if (!ParseLocationText(location, loc)) {
        return MainClock();
    }
    return ClockFor(loc);
}

Clock* Fixture::DeviceClock(DeviceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* s = Find(id);
    if (s == nullptr || !s->location) {
        return nullptr;
    }
    return &ClockFor(*s->location);
}

DeviceInfo Fixture::Describe(const Slot& s) const {
    DeviceInfo d;
    d.id = s.id;
    d.name = s.drive->profile().name;
    d.location = s.location ? LocationText(*s.location) : std::string();
    d.bridge = s.drive->bridge().code();
    d.kind = s.drive->bridge().kind();
    d.serial = s.drive->serial();
    d.diskNumber = s.diskNumber;
    d.removed = s.removed;
    const bool direct = d.kind.family == BridgeFamily::Direct;
    d.vendorId = direct ? 0x4B56 : d.kind.family == BridgeFamily::Sat ? 0x4B45 : 0x4B46;
    const BridgeCode& c = d.bridge;
    if (c[0] == 'p' && c[1] >= '0' && c[1] <= '9' && c[2] >= '0' && c[2] <= '9' && c[3] >= '0' &&
        c[3] <= '9') {
        d.productId =
            static_cast<std::uint16_t>(((c[1] - '0') << 8) | ((c[2] - '0') << 4) | (c[3] - '0'));
    } else {
        d.productId = static_cast<std::uint16_t>(Hash(BridgeCodeText(c)) & 0xFFFF);
    }
    char text[160];
    std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X\\%s", d.vendorId, d.productId,
                  d.serial.c_str());
    d.usbInstanceId = text;
    std::snprintf(text, sizeof text, "USBSTOR\\DISK&VEN_%s&PROD_%s&REV_1.00\\%s&0",
                  direct ? "KORVANE" : "USB", direct ? "KVR51X_USB_SSD" : "SATA_BRIDGE",
                  d.serial.c_str());
    d.storageInstanceId = text;
    return d;
}

TopologySnapshot Fixture::Topology() const {
    std::lock_guard<std::mutex> lock(mutex_);
    TopologySnapshot t;
    t.rootHubs = static_cast<int>(config_.rootHubs.size());
    for (const Hub& h : hubs_) {
        HubInfo info;
        info.location = LocationText(h.location);
        info.root = h.location.size() == 1;
        for (int p = 1; p <= h.ports; ++p) {
            std::vector<int> loc = h.location;
            loc.push_back(p);
            PortInfo port;
            port.number = p;
            for (std::size_t i = 0; i < hubs_.size(); ++i) {
                if (hubs_[i].location == loc) {
                    port.kind = PortInfo::Kind::Hub;
                    port.hub = static_cast<int>(i);
                }
            }
            if (port.kind == PortInfo::Kind::Empty) {
                for (const Slot& s : slots_) {
                    if (s.location && *s.location == loc) {
                        port.kind = PortInfo::Kind::Device;
                        port.device = Describe(s);
                    }
                }
            }
            info.ports.push_back(port);
        }
        t.hubs.push_back(std::move(info));
    }
    return t;
}

std::vector<DeviceInfo> Fixture::Devices() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<DeviceInfo> out;
    for (const Slot& s : slots_) {
        if (s.location) {
            out.push_back(Describe(s));
        }
    }
    return out;
}

std::optional<DeviceInfo> Fixture::Device(DeviceId id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Slot* s = Find(id);
    if (s == nullptr) {
        return std::nullopt;
    }
    return Describe(*s);
}

std::optional<DeviceId> Fixture::DeviceAt(const std::string& location) const {
    std::vector<int> loc;
    if (!ParseLocationText(location, loc)) {
        return std::nullopt;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Slot& s : slots_) {
        if (s.location && *s.location == loc) {
            return s.id;
        }
    }
    return std::nullopt;
}

std::optional<DeviceId> Fixture::DeviceNamed(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Slot& s : slots_) {
        if (s.drive->profile().name == name) {
            return s.id;
        }
    }
    return std::nullopt;
}

Drive* Fixture::DriveOf(DeviceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* s = Find(id);
    return s == nullptr ? nullptr : s->drive.get();
}

void Fixture::Emit(const DeviceChange& change) {
    std::function<void(const DeviceChange&)> callback;
    {
        std::lock_guard<std::mutex> lock(callbackMutex_);
        changes_.push_back(change);
        callback = callback_;
    }
    if (callback) {
        callback(change);
    }
}

void Fixture::SetDeviceChangeCallback(std::function<void(const DeviceChange&)> callback) {
    std::lock_guard<std::mutex> lock(callbackMutex_);
    callback_ = std::move(callback);
}

std::vector<DeviceChange> Fixture::TakeDeviceChanges() {
    std::lock_guard<std::mutex> lock(callbackMutex_);
    std::vector<DeviceChange> out;
    out.swap(changes_);
    return out;
}

ExecuteResult Fixture::Execute(DeviceId id, const std::uint8_t* cdb, std::size_t cdbLength,
                               DataDirection direction, std::uint8_t* data, std::size_t length,
                               std::uint32_t timeoutSeconds) {
    Drive* drive = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Slot* s = Find(id);
        if (s != nullptr && s->location && !s->removed) {
            drive = s->drive.get();
        }
    }
    ExecuteResult failed;
    if (drive == nullptr) {
        failed.lastError = kErrorDeviceGone;
        return failed;
    }
    // The bridge moves no single byte: a request has to ask for two.
    if (length == 1 || cdb == nullptr || cdbLength == 0 || cdbLength > 16 ||
        (length > 0 && data == nullptr) || (direction == DataDirection::None) != (length == 0)) {
        failed.lastError = kErrorInvalidParameter;
        return failed;
    }
    DriveOutcome outcome = drive->Execute(cdb, cdbLength, direction, data, length, timeoutSeconds);
    if (outcome.unplug) {
        std::vector<DeviceChange> changes;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Slot* s = Find(id);
            if (s != nullptr && s->location) {
                UnplugLocked(*s->location, changes);
            }
        }
        for (const DeviceChange& c : changes) {
            Emit(c);
        }
    }
    return outcome.result;
}

bool Fixture::UnplugLocked(std::vector<int> location, std::vector<DeviceChange>& changes) {
    Slot* s = SlotAt(location);
    if (s == nullptr) {
        return false;
    }
    s->drive->PowerDown();
    const bool wasRemoved = s->removed;
    s->location.reset();
    s->removed = false;
    s->locked = false;
    s->holds = 0;
    s->letter = 0;
    if (!wasRemoved) {
        changes.push_back({DeviceChange::Kind::Removal, s->id, LocationText(location)});
    }
    return true;
}

bool Fixture::Unplug(const std::string& location) {
    std::vector<int> loc;
    if (!ParseLocationText(location, loc)) {
        return false;
    }
    std::vector<DeviceChange> changes;
    bool ok = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ok = UnplugLocked(loc, changes);
    }
    for (const DeviceChange& c : changes) {
        Emit(c);
    }
    return ok;
}

bool Fixture::Plug(const std::string& name, const std::string& location, std::string& error) {
    std::vector<int> loc;
    if (!ParseLocationText(location, loc)) {
        error = "'" + location + "' is no port location";
        return false;
    }
    DeviceChange change;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!PortExists(loc)) {
            error = "there is no port " + location;
            return false;
        }
        if (HubExists(loc) || SlotAt(loc) != nullptr) {
            error = "port " + location + " is taken";
            return false;
        }
        Slot* slot = nullptr;
        for (Slot& s : slots_) {
            if (s.drive->profile().name == name) {
                slot = &s;
            }
        }
        if (slot == nullptr) {
            error = "the fixture has no drive named '" + name + "'";
            return false;
        }
        if (slot->location) {
            error = "drive '" + name + "' is plugged in already";
            return false;
        }
        slot->location = loc;
        slot->removed = false;
        slot->drive->PowerUp(&ClockFor(loc));
        change = {DeviceChange::Kind::Arrival, slot->id, location};
    }
    Emit(change);
    return true;
}

bool Fixture::PowerCycle(DeviceId id) {
    std::string location;
    std::string name;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Slot* s = Find(id);
        if (s == nullptr || !s->location) {
            return false;
        }
        location = LocationText(*s->location);
        name = s->drive->profile().name;
    }
    std::string error;
    return Unplug(location) && Plug(name, location, error);
}

std::optional<DiskGeometry> Fixture::Geometry(DeviceId id) {
    Drive* d = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Slot* s = Find(id);
        if (s == nullptr || !s->location || s->removed) {
            return std::nullopt;
        }
        d = s->drive.get();
    }
    DiskGeometry g;
    g.sectors = d->Capacity();
    g.cylinders = g.sectors / (static_cast<std::uint64_t>(kHeads) * kSectorsPerTrack);
    return g;
}

Drive* Fixture::DiskDrive(DeviceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* s = Find(id);
    if (s == nullptr || !s->location || s->removed) {
        return nullptr;
    }
    return s->drive.get();
}

bool Fixture::ReadDisk(DeviceId id, std::uint64_t lba, std::span<std::uint8_t> out) {
    Drive* d = DiskDrive(id);
    return d != nullptr && d->ReadSectors(lba, out);
}

bool Fixture::WriteDisk(DeviceId id, std::uint64_t lba, std::span<const std::uint8_t> data) {
    Drive* d = DiskDrive(id);
    return d != nullptr && d->WriteSectors(lba, data);
}

bool Fixture::CreateDisk(DeviceId id, std::uint32_t signature) {
    const MbrSector mbr = EmptyMbr(signature);
    if (!WriteDisk(id, 0, mbr)) {
        return false;
    }
    DriveOf(id)->LayoutChanged();
    return true;
}

bool Fixture::SetPartitions(DeviceId id, const std::vector<PartitionEntry>& entries) {
    MbrSector mbr{};
    const std::optional<DiskGeometry> g = Geometry(id);
    if (!g || g->sectors == 0 || !ReadDisk(id, 0, mbr)) {
        return false;
    }
    if (!PutPartitions(mbr, entries, g->sectors) || !WriteDisk(id, 0, mbr)) {
        return false;
    }
    DriveOf(id)->LayoutChanged();
    return true;
}

std::optional<std::vector<PartitionEntry>> Fixture::Partitions(DeviceId id) {
    MbrSector mbr{};
    if (!ReadDisk(id, 0, mbr)) {
        return std::nullopt;
    }
    return ReadPartitions(mbr);
}

std::string Fixture::UserImagePath(DeviceId id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Slot* s = Find(id);
    if (s == nullptr) {
        return {};
    }
    return (std::filesystem::path(config_.stateDir) / s->drive->profile().name / "user.img")
        .string();
}

bool Fixture::VolumeVisible(Slot& s) {
    bool visible = false;
    if (s.location && !s.removed) {
        const std::optional<PartitionEntry> part = s.drive->Fat32Partition();
        const std::optional<std::int64_t> since = s.drive->fat32SinceMs();
        const DriveProfile& profile = s.drive->profile();
        Clock* clock = s.drive->clock();
        if (part && since && profile.volumeDelaySeconds && clock != nullptr) {
            visible = clock->NowMs() - *since >=
                      static_cast<std::int64_t>(*profile.volumeDelaySeconds * 1000.0);
        }
    }
    if (!visible) {
        s.letter = 0;
        s.locked = false;
        s.holds = 0;
        return false;
    }
    if (s.letter == 0) {
        // Volume names: D..Z as a desktop system hands them out, then a..z and
        // 0..9, so that every drive of a 50-port fixture gets a volume.
        static constexpr char kVolumeNames[] =
            "DEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        for (const char* l = kVolumeNames; *l != '\0' && s.letter == 0; ++l) {
            bool used = false;
            for (const Slot& o : slots_) {
                used = used || o.letter == *l;
            }
            if (!used) {
                s.letter = *l;
            }
        }
    }
    return true;
}

std::vector<VolumeInfo> Fixture::Volumes() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<VolumeInfo> out;
    for (Slot& s : slots_) {
        if (!VolumeVisible(s)) {
            continue;
        }
        const PartitionEntry part = *s.drive->Fat32Partition();
        VolumeInfo v;
        v.disk = s.id;
        char name[80];
        std::snprintf(name, sizeof name, "\\\\?\\Volume{%08x-0000-4b56-0000-%012llx}\\",
                      s.diskNumber, static_cast<unsigned long long>(s.id & 0xFFFFFFFFFFFFull));
        v.name = name;
        v.letter = s.letter;
        v.startSector = part.startSector;
        v.sectors = part.sectors;
        v.locked = s.locked;
        v.holds = s.holds;
        out.push_back(v);
    }
    return out;
}

std::optional<VolumeInfo> Fixture::VolumeOfDisk(DeviceId id) {
    for (const VolumeInfo& v : Volumes()) {
        if (v.disk == id) {
            return v;
        }
    }
    return std::nullopt;
}

bool Fixture::LockVolume(DeviceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* s = Find(id);
    if (s == nullptr || !VolumeVisible(*s) || s->locked) {
        return false;
    }
    s->locked = true;
    return true;
}

bool Fixture::UnlockVolume(DeviceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* s = Find(id);
    if (s == nullptr || !VolumeVisible(*s) || !s->locked) {
        return false;
    }
    s->locked = false;
    return true;
}

bool Fixture::HoldVolume(DeviceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* s = Find(id);
    if (s == nullptr || !VolumeVisible(*s)) {
        return false;
    }
    ++s->holds;
    return true;
}

void Fixture::ReleaseVolume(DeviceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* s = Find(id);
    if (s != nullptr && s->holds > 0) {
        --s->holds;
    }
}

RemovalResult Fixture::Remove(DeviceId id, std::string& vetoName) {
    DeviceChange change;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        vetoName.clear();
        Slot* s = Find(id);
        if (s == nullptr || !s->location || s->removed) {
            return RemovalResult::NoDevice;
        }
        VolumeVisible(*s);
        if (s->locked || s->holds > 0) {
            char name[80];
            std::snprintf(name, sizeof name, "\\\\?\\Volume{%08x-0000-4b56-0000-%012llx}\\",
                          s->diskNumber,
                          static_cast<unsigned long long>(s->id & 0xFFFFFFFFFFFFull));
            vetoName = name;
            return RemovalResult::Vetoed;
        }
        s->removed = true;
        s->letter = 0;
        change = {DeviceChange::Kind::Removal, s->id, LocationText(*s->location)};
    }
    Emit(change);
    return RemovalResult::Removed;
}

RemovalResult Fixture::QueryAndRemove(DeviceId id, std::string& vetoName) {
    return Remove(id, vetoName);
}

RemovalResult Fixture::Eject(DeviceId id, std::string& vetoName) {
    return Remove(id, vetoName);
}

}  // namespace kv::emu
