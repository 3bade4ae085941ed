#include "device/port_device.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(PortDevicesTest, EntriesAreKeptPerPortAndOutOfRangeIsIgnored) {
    PortDevices table;
    EXPECT_TRUE(table.Set(0, "a", BusPath::SataPath));
    EXPECT_TRUE(table.Set(49, "b", BusPath::UsbPath));
    EXPECT_FALSE(table.Set(50, "c", BusPath::SataPath));
    EXPECT_FALSE(table.Set(-1, "c", BusPath::SataPath));
    EXPECT_TRUE(table.SetBusPath(49, BusPath::SataPath));
    EXPECT_EQ(table.Get(0).DevicePath, "a");
    EXPECT_EQ(table.Get(49).Bus, BusPath::SataPath);
    EXPECT_TRUE(table.Get(50).DevicePath.empty());
    EXPECT_EQ(table.GetBusPath(1), BusPath::UsbPath) << "an unset entry starts on UsbPath";
    table.Clear(0);
    EXPECT_TRUE(table.Get(0).DevicePath.empty());
    ASSERT_NE(table.SaveAreas(49), nullptr);
    EXPECT_NE(table.SaveAreas(0), table.SaveAreas(1));
    EXPECT_EQ(table.SaveAreas(50), nullptr);
}

}  // namespace
}  // namespace kv
