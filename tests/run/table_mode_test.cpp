#include "run/table_mode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kv {
namespace {

class FakeTableDrive : public TableDrive {
  public:
    bool moduleOk = true;
    bool blocksOk = true;
    bool transferOk = true;
    int presence = 1;
    std::vector<std::string> calls;

    bool FlashModuleTest(int) override { return Call("module", moduleOk); }
    bool GetCodeBlocks(int) override { return Call("blocks", blocksOk); }
    bool GetDefectTable(int, const std::string& path, int code) override {
        std::ofstream(path) << "partial";  // a failed get may leave a file behind
        return Call("getdef " + path + " " + std::to_string(code), transferOk);
    }
    bool PutDefectTable(int, const std::string& path, int) override {
        return Call("putdef " + path, transferOk);
    }
    int CheckDefectTable(int) override {
        calls.push_back("presence");
        return presence;
    }
    bool GetLaterTable(int, const std::string& path, int) override {
        return Call("getlater " + path, transferOk);
    }
    bool PutLaterTable(int, const std::string& path, int) override {
        return Call("putlater " + path, transferOk);
    }
    void Wait(int ms) override { calls.push_back("wait " + std::to_string(ms)); }

  private:
    bool Call(const std::string& what, bool ok) {
        calls.push_back(what);
        return ok;
    }
};

class TableModeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = (std::filesystem::path(::testing::TempDir()) /
                   (std::string("table_mode_") +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                      .string() +
                  "/";
        std::filesystem::create_directories(folder_);
        std::snprintf(settings_.TableIn, sizeof settings_.TableIn, "def_out.txt");
        std::snprintf(settings_.TableOut, sizeof settings_.TableOut, "def_in.txt");
        std::snprintf(settings_.LaterTableIn, sizeof settings_.LaterTableIn, "later_out.txt");
        std::snprintf(settings_.LaterTableOut, sizeof settings_.LaterTableOut, "later_in.txt");
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::vector<std::string> Texts(const RdPageChoice& choice, bool special = false) {
        std::vector<std::string> texts;
        for (const OperatorMessage& m :
             RunTableMode(0, choice, settings_, special, folder_, 7, drive_))
            texts.push_back(m.text);
        return texts;
    }

    std::string folder_;
    SettingsBlock settings_;
    FakeTableDrive drive_;
};

using Strings = std::vector<std::string>;

TEST(TableFilePath, DrivePathsAndAbsolutePathsUnchanged) {
    EXPECT_EQ(TableFilePath("/st/", "c:\\tables\\a.txt"), "c:\\tables\\a.txt");
    EXPECT_EQ(TableFilePath("/st/", "/tmp/a.txt"), "/tmp/a.txt");
    EXPECT_EQ(TableFilePath("/st/", "a.txt"), "/st/a.txt");
    EXPECT_EQ(TableFilePath("/st", "sub/a.txt"), "/st/sub/a.txt");
}

TEST_F(TableModeTest, ModuleAndCodeBlocksComeFirst) {
    const RdPageChoice get{true, false, true, false, false, false};
    drive_.moduleOk = false;
    EXPECT_EQ(Texts(get),
              (Strings{"Check Flash Module Fail. Please choose a correct flash module"}));
    EXPECT_EQ(drive_.calls, (Strings{"module"}));

    drive_.calls.clear();
    drive_.blocksOk = false;
    EXPECT_EQ(Texts(get, true), (Strings{"Get Block Fail."}));  // special mode skips the module
    EXPECT_EQ(drive_.calls, (Strings{"blocks"}));
}

TEST_F(TableModeTest, GetDefectTableDeletesTheFileWhenItFails) {
    const RdPageChoice get{true, false, true, false, false, false};
    EXPECT_EQ(Texts(get), (Strings{"Get Def. Table O.K."}));
    EXPECT_EQ(drive_.calls.back(), "getdef " + folder_ + "def_out.txt 7");
    EXPECT_TRUE(std::filesystem::exists(folder_ + "def_out.txt"));

    drive_.transferOk = false;
    EXPECT_EQ(Texts(get), (Strings{"Get Def. Table Fail"}));
    EXPECT_FALSE(std::filesystem::exists(folder_ + "def_out.txt"));
}

TEST_F(TableModeTest, PutDefectTableNeedsTheFileAndATableOnTheDrive) {
    const RdPageChoice put{true, false, false, true, false, false};
    EXPECT_EQ(Texts(put), (Strings{"Put Def. Table Fail"}));  // no file: the drive is untouched
    EXPECT_EQ(drive_.calls, (Strings{"module", "blocks"}));

    std::ofstream(folder_ + "def_in.txt") << "table";
    drive_.calls.clear();
    EXPECT_EQ(Texts(put), (Strings{"Put Def. Table O.K."}));
    EXPECT_EQ(drive_.calls, (Strings{"module", "blocks", "putdef " + folder_ + "def_in.txt",
                                     "wait 300", "presence"}));

    drive_.presence = kNoDefectTable;
    EXPECT_EQ(Texts(put), (Strings{"Put Def. Table Fail"}));
}

TEST_F(TableModeTest, LaterTablesBothWays) {
    const RdPageChoice getLater{true, false, false, false, true, false};
    const RdPageChoice putLater{true, false, false, false, false, true};
    EXPECT_EQ(Texts(getLater), (Strings{"Get Later Table O.K."}));
    EXPECT_EQ(drive_.calls.back(), "getlater " + folder_ + "later_out.txt");
    EXPECT_EQ(Texts(putLater), (Strings{"Put Later Table O.K."}));
    EXPECT_EQ(drive_.calls.back(), "putlater " + folder_ + "later_in.txt");
    drive_.transferOk = false;
    EXPECT_EQ(Texts(getLater), (Strings{"Get Later Table Fail"}));
    EXPECT_EQ(Texts(putLater), (Strings{"Put Later Table Fail"}));
}

}  // namespace
}  // namespace kv
