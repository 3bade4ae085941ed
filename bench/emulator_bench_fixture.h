// What the emulator and transport benchmarks share: a fixture file written
// into a fresh folder of the benchmark's own, loaded with its drives, and
// the folder removed again at the end.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "emulator/fixture.h"

namespace kv::bench {

// A new, empty folder under the system's temporary folder, removed with its
// content at the end of the scope.
class BenchFolder {
  public:
    explicit BenchFolder(const std::string& tag) {
        std::string pattern = (std::filesystem::temp_directory_path() / (tag + "_XXXXXX")).string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) != nullptr) {
            path_ = buffer.data();
        }
    }
    ~BenchFolder() {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// A loaded fixture and the folder that holds its file and drive states.
struct BenchFixture {
    std::unique_ptr<BenchFolder> folder;
    std::unique_ptr<kv::emu::Fixture> fixture;
    std::string error;
};

// Writes `text` as "Fixture.ini" into a new folder and loads it; `fixture` is
// null with `error` set when that fails.
inline BenchFixture LoadBenchFixture(const std::string& tag, const std::string& text) {
    BenchFixture b;
    b.folder = std::make_unique<BenchFolder>(tag);
    if (!b.folder->ok()) {
        b.error = "cannot create a temporary folder";
        return b;
    }
    const std::string file = b.folder->File("Fixture.ini");
    std::ofstream(file) << text;
    b.fixture = kv::emu::Fixture::Load(file, b.error);
    return b;
}

}  // namespace kv::bench
