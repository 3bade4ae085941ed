#include "disk/ghost_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "disk/disk_test_support.h"
#include "disk/mbr_partition.h"

namespace kv::disk {
namespace {

using test::DiskFixture;

std::vector<std::uint8_t> Counting(std::size_t bytes, std::uint8_t seed) {
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7 + seed + i / 511);
    }
    return data;
}

void Store(const std::string& file, const std::vector<std::uint8_t>& data) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
}

// Records of 32 sectors with their LBA and the sparse mark, plus a tail.
std::vector<std::uint8_t> SparseImage(const std::vector<std::uint32_t>& lbas, std::size_t tail) {
    std::vector<std::uint8_t> image;
    for (std::size_t r = 0; r < lbas.size(); ++r) {
        std::vector<std::uint8_t> record =
            Counting(kSparseRecordBytes, static_cast<std::uint8_t>(r));
        for (int b = 0; b < 4; ++b) {
            record[kSparseDataBytes + b] = static_cast<std::uint8_t>(lbas[r] >> (8 * b));
        }
        record[16390] = 'N';
        record[16391] = 'T';
        image.insert(image.end(), record.begin(), record.end());
    }
    image.resize(image.size() + tail, 0x77);
    return image;
}

class GhostImage : public ::testing::Test {
  protected:
    void Fill(int port, std::uint64_t lba, std::size_t sectors, std::uint8_t value) {
        const std::vector<std::uint8_t> data(sectors * 512, value);
        ASSERT_TRUE(rig.fixture().WriteDisk(rig.Id(port), lba, data));
    }
    // Sectors in [0, sectors) that no longer hold `value`.
    int Changed(int port, std::size_t sectors, std::uint8_t value) {
        const std::vector<std::uint8_t> now = rig.Read(port, 0, sectors);
        int changed = 0;
        for (std::size_t s = 0; s < sectors; ++s) {
            changed += std::any_of(now.begin() + s * 512, now.begin() + (s + 1) * 512,
                                   [value](std::uint8_t b) { return b != value; });
        }
        return changed;
    }
    DiskFixture rig{{{1024000, "VolumeDelay=0\n"},
                     {1024000, "VolumeDelay=0\nFault=write-error:5000\n"},
                     {1024000, "VolumeDelay=0\n"}}};
};

TEST_F(GhostImage, PlainImageIsWrittenInPiecesWithTheLastPaddedWithZeros) {
    ASSERT_TRUE(rig.ok());
    Fill(0, 0, 300, 0xAA);
    const std::vector<std::uint8_t> data = Counting(100000, 3);
    const std::string file = rig.folder().File("plain.img");
    Store(file, data);
    ASSERT_TRUE(FlushGhostImg(rig.PathOf(0), file));
    const std::vector<std::uint8_t> disk = rig.Read(0, 0, 256);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), disk.begin()));
    // The second piece holds 34,464 bytes of the file, then zeros.
    EXPECT_TRUE(std::all_of(disk.begin() + 100000, disk.end(), [](auto b) { return b == 0; }));
    EXPECT_EQ(rig.Read(0, 256, 1), std::vector<std::uint8_t>(512, 0xAA));
}

TEST_F(GhostImage, MissingOrEmptyFileWritesNothing) {
    ASSERT_TRUE(rig.ok());
    Fill(0, 0, 1, 0xAA);
    EXPECT_FALSE(FlushGhostImg(rig.PathOf(0), rig.folder().File("none.img")));
    const std::string empty = rig.folder().File("empty.img");
    Store(empty, {});
    EXPECT_FALSE(FlushGhostImg(rig.PathOf(0), empty));
    EXPECT_EQ(rig.Read(0, 0, 1), std::vector<std::uint8_t>(512, 0xAA));
}

TEST_F(GhostImage, SparseImageWritesItsWholeRecordsAtTheirLbas) {
    ASSERT_TRUE(rig.ok());
    Fill(0, 0, 2048, 0xAA);
    const std::string file = rig.folder().File("sparse.img");
    const std::vector<std::uint8_t> image = SparseImage({1000, 64, 1500}, 100);
    Store(file, image);
    ASSERT_TRUE(FlushGhostImg(rig.PathOf(0), file));
    EXPECT_EQ(Changed(0, 2048, 0xAA), 3 * 32);
    const std::vector<std::uint8_t> at64 = rig.Read(0, 64, 32);
    EXPECT_TRUE(std::equal(at64.begin(), at64.end(), image.begin() + kSparseRecordBytes));
}

TEST_F(GhostImage, SparseImageLocksAndUnlocksTheMountedVolume) {
    ASSERT_TRUE(rig.ok());
    ASSERT_TRUE(CreateSinglePartition(rig.PathOf(0), 0));
    ASSERT_TRUE(rig.fixture().VolumeOfDisk(rig.Id(0)));
    const std::string file = rig.folder().File("sparse.img");
    Store(file, SparseImage({2000, 3000}, 0));
    ASSERT_TRUE(FlushGhostNTFSImg(rig.PathOf(0), file));
    const std::optional<emu::VolumeInfo> after = rig.fixture().VolumeOfDisk(rig.Id(0));
    ASSERT_TRUE(after);
    EXPECT_FALSE(after->locked);
    EXPECT_EQ(after->holds, 0);
    // Locked by someone else: the copy fails with nothing written.
    Fill(0, 2000, 64, 0xAA);
    ASSERT_TRUE(rig.fixture().LockVolume(rig.Id(0)));
    EXPECT_FALSE(FlushGhostNTFSImg(rig.PathOf(0), file));
    EXPECT_EQ(rig.Read(0, 2000, 64), std::vector<std::uint8_t>(64 * 512, 0xAA));
}

TEST_F(GhostImage, FailedSparseWriteFailsTheCopyAndReleasesTheVolume) {
    ASSERT_TRUE(rig.ok());
    ASSERT_TRUE(CreateSinglePartition(rig.PathOf(1), 1));
    const std::string file = rig.folder().File("sparse.img");
    Store(file, SparseImage({4990, 6000}, 0));  // the first record covers LBA 5000
    Fill(1, 6000, 32, 0xAA);
    EXPECT_FALSE(FlushGhostImg(rig.PathOf(1), file));
    EXPECT_EQ(rig.Read(1, 6000, 32), std::vector<std::uint8_t>(32 * 512, 0xAA));
    const std::optional<emu::VolumeInfo> after = rig.fixture().VolumeOfDisk(rig.Id(1));
    ASSERT_TRUE(after);
    EXPECT_FALSE(after->locked);
    EXPECT_EQ(after->holds, 0);
}

TEST_F(GhostImage, SeveralPortsCopyOneImageFileAtOnce) {
    ASSERT_TRUE(rig.ok());
    const std::vector<std::uint8_t> data = Counting(5 * 65536 + 1000, 9);
    const std::string file = rig.folder().File("shared.img");
    Store(file, data);
    bool ok[2] = {false, false};
    std::thread a([&] { ok[0] = FlushGhostImg(rig.PathOf(0), file); });
    std::thread b([&] { ok[1] = FlushGhostImg(rig.PathOf(2), file); });
    a.join();
    b.join();
    EXPECT_TRUE(ok[0]);
    EXPECT_TRUE(ok[1]);
    for (int port : {0, 2}) {
        const std::vector<std::uint8_t> disk = rig.Read(port, 0, data.size() / 512);
        EXPECT_TRUE(std::equal(disk.begin(), disk.end(), data.begin())) << port;
    }
}

TEST_F(GhostImage, DumpHoldsWholePiecesOfTheDriveAndStopsAtAFailedRead) {
    ASSERT_TRUE(rig.ok());
    const std::vector<std::uint8_t> data = Counting(1048576, 5);
    ASSERT_TRUE(rig.fixture().WriteDisk(rig.Id(0), 0, data));
    const std::string file = rig.folder().File("dump.img");
    ASSERT_TRUE(ReadGhostImg(rig.PathOf(0), file, 1));
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> dumped((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    EXPECT_EQ(dumped, data);
}

TEST(GhostImageDump, FailedReadKeepsThePiecesBeforeIt) {
    DiskFixture rig({{1024000, "Fault=read-error:300\n"}});
    ASSERT_TRUE(rig.ok());
    const std::string file = rig.folder().File("dump.img");
    EXPECT_FALSE(ReadGhostImg(rig.PathOf(0), file, 1));
    EXPECT_EQ(std::filesystem::file_size(file), 2u * 65536);
}

}  // namespace
}  // namespace kv::disk
