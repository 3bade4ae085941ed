#include "disk/ghost_image.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "device/transport.h"
#include "disk/drive_letter.h"
#include "disk/volume_access.h"
#include "platform/disk_access.h"
#include "platform/platform.h"

namespace kv::disk {

namespace {

constexpr std::uint32_t kPieceSectors = kImagePieceBytes / kSectorSize;
constexpr std::uint64_t kLbaLimit = 0x100000000ull;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenForReading(const std::string& name) {
    return File(std::fopen(name.c_str(), "rb"));
}

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t FileSize(const std::string& name) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(name, ec);
    return ec ? 0 : static_cast<std::uint64_t>(size);
}

// One 64 KiB piece buffer per call.
std::unique_ptr<std::uint8_t[]> PieceBuffer() {
    return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[kImagePieceBytes]);
}

bool FlushPlain(const std::string& path, std::FILE* file, std::uint64_t size) {
    const std::uint64_t pieces = (size + kImagePieceBytes - 1) / kImagePieceBytes;
    if (pieces * kPieceSectors > kLbaLimit) {
        return false;  // beyond what 32-bit LBAs address
    }
    std::unique_ptr<std::uint8_t[]> piece = PieceBuffer();
    for (std::uint64_t i = 0; i < pieces; ++i) {
        const std::size_t got = std::fread(piece.get(), 1, kImagePieceBytes, file);
        if (got < kImagePieceBytes) {
            std::memset(piece.get() + got, 0, kImagePieceBytes - got);
        }
        if (WriteSectorsByPath(path, piece.get(), static_cast<std::uint32_t>(i * kPieceSectors),
                               kImagePieceBytes) != 1) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsSparseRecord(const std::uint8_t* firstRecord) {
    return firstRecord[16390] == 'N' && firstRecord[16391] == 'T';
}

bool FlushGhostImg(const std::string& path, const std::string& imageFile) {
    File file = OpenForReading(imageFile);
    if (!file) {
        return false;
    }
    std::unique_ptr<std::uint8_t[]> first(new std::uint8_t[kSparseRecordBytes]());
    const std::size_t got = std::fread(first.get(), 1, kSparseRecordBytes, file.get());
    if (IsSparseRecord(first.get())) {
        file.reset();
        return FlushGhostNTFSImg(path, imageFile);
    }
    const std::uint64_t size = FileSize(imageFile);
    if (got == 0 || size == 0) {
        return false;
    }
    std::rewind(file.get());
    return FlushPlain(path, file.get(), size);
}

bool FlushGhostNTFSImg(const std::string& path, const std::string& imageFile) {
    File file = OpenForReading(imageFile);
    if (!file) {
        return false;
    }
    const std::uint64_t records = FileSize(imageFile) / kSparseRecordBytes;
    char letter = 0;
    FindDriveLetter(path, letter);

    platform::DiskAccess* disks = platform::Current().diskAccess();
    std::unique_ptr<platform::DiskHandle> volume;
    if (letter != 0) {
        volume = OpenVolumeByLetter(letter);
        if (volume == nullptr || disks == nullptr) {
            return false;
        }
        if (!disks->LockVolume(*volume)) {
            disks->Close(std::move(volume));
            return false;
        }
    }

    bool written = true;
    std::unique_ptr<std::uint8_t[]> record(new std::uint8_t[kSparseRecordBytes]);
    for (std::uint64_t r = 0; r < records && written; ++r) {
        if (std::fread(record.get(), 1, kSparseRecordBytes, file.get()) != kSparseRecordBytes) {
            written = false;
            break;
        }
        const std::uint32_t lba = Le32(record.get() + kSparseDataBytes);
        written = WriteSectorsByPath(path, record.get(), lba, kSparseDataBytes) == 1;
    }

    if (volume == nullptr) {
        return written;
    }
    if (!disks->UnlockVolume(*volume)) {
        disks->Close(std::move(volume));
        return false;
    }
    return disks->Close(std::move(volume)) && written;
}

bool ReadGhostImg(const std::string& path, const std::string& imageFile, std::uint64_t sizeMb) {
    File file(std::fopen(imageFile.c_str(), "wb"));
    if (!file) {
        return false;
    }
    const std::uint64_t bytes = sizeMb * 1048576ull;
    const std::uint64_t pieces = (bytes + kImagePieceBytes - 1) / kImagePieceBytes;
    if (sizeMb > (std::uint64_t{1} << 40) || pieces * kPieceSectors > kLbaLimit) {
        return false;
    }
    std::unique_ptr<std::uint8_t[]> piece = PieceBuffer();
    for (std::uint64_t i = 0; i < pieces; ++i) {
        std::memset(piece.get(), 0, kImagePieceBytes);
        if (ReadSectorsByPath(path, piece.get(), static_cast<std::uint32_t>(i * kPieceSectors),
                              kImagePieceBytes) != 1) {
            return false;
        }
        if (std::fwrite(piece.get(), 1, kImagePieceBytes, file.get()) != kImagePieceBytes) {
            return false;
        }
    }
    return std::fflush(file.get()) == 0;
}

}  // namespace kv::disk
