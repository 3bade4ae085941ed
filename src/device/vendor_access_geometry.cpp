#include "device/vendor_access_geometry.h"

#include <array>
#include <mutex>

#include "device/port_device.h"

namespace kv {
namespace {

struct GeometryTable {
    std::mutex mutex;
    std::array<VaFlashGeometry, kPortDeviceCount> entries{};
};

GeometryTable& Table() {
    static GeometryTable* const table = new GeometryTable();
    return *table;
}

}  // namespace

void SetVaFlashGeometry(int port, const VaFlashGeometry& geometry) {
    if (!IsPortIndex(port)) {
        return;
    }
    GeometryTable& t = Table();
    std::lock_guard<std::mutex> hold(t.mutex);
    t.entries[static_cast<std::size_t>(port)] = geometry;
}

void SetVaFlashGeometryAll(const VaFlashGeometry& geometry) {
    GeometryTable& t = Table();
    std::lock_guard<std::mutex> hold(t.mutex);
    t.entries.fill(geometry);
}

VaFlashGeometry VaFlashGeometryOf(int port) {
    if (!IsPortIndex(port)) {
        return {};
    }
    GeometryTable& t = Table();
    std::lock_guard<std::mutex> hold(t.mutex);
    return t.entries[static_cast<std::size_t>(port)];
}

}  // namespace kv
