#include "firmware/defect_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "firmware/byte_layout.h"
#include "firmware/table_signatures.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Two channels, two banks, two dies, 4096 blocks, 2048-byte pages.
DefectTableGeometry Geometry() {
    DefectTableGeometry g;
    g.Channels = 2;
    g.Banks = 2;
    g.Dies = 2;
    g.Blocks = 4096;
    g.PageBytes = 2048;
    return g;
}

// Builds a binary table page set slice by slice.
class TableBuilder {
  public:
    explicit TableBuilder(const DefectTableGeometry& g)
        : g_(g), set_(g.PageBytes * g.Channels, 0) {}
    TableBuilder& Channel(int c) {
        at_ = static_cast<std::size_t>(c) * g_.PageBytes;
        PutTableSignature(std::span<std::uint8_t>(set_.data() + at_, g_.PageBytes), 1);
        at_ += 16;
        return *this;
    }
    TableBuilder& Bank(int b) { return Entry(0xFB, 0xA0, static_cast<std::uint8_t>(b), 0); }
    TableBuilder& Bad(int block, int die, int plane, int kind) {
        return Entry(static_cast<std::uint8_t>(block & 0xFF), static_cast<std::uint8_t>(block >> 8),
                     static_cast<std::uint8_t>(die * 16 + plane), static_cast<std::uint8_t>(kind));
    }
    TableBuilder& End() { return Entry(0xFE, 0xD1, 0, 0); }
    const Bytes& bytes() const { return set_; }

  private:
    TableBuilder& Entry(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
        set_[at_] = a;
        set_[at_ + 1] = b;
        set_[at_ + 2] = c;
        set_[at_ + 3] = d;
        at_ += 4;
        return *this;
    }
    DefectTableGeometry g_;
    Bytes set_;
    std::size_t at_ = 0;
};

Bytes SampleTable() {
    TableBuilder t(Geometry());
    t.Channel(0).Bank(0).Bad(0x12, 0, 0, 9).Bad(0xABC, 1, 1, 2).Bank(1).End();
    t.Channel(1).Bank(0).Bank(1).Bad(0x0FFF, 1, 0, 12).End();
    return t.bytes();
}

TEST(DefectTableTest, BinaryToText) {
    const std::string text = DefectTableToText(SampleTable(), Geometry(), 42);
    EXPECT_EQ(text,
              "V#10\r\n"
              "C#00\r\nB#00U#0012,00,9U#0ABC,11,2\r\nB#01\r\n"
              "C#01\r\nB#00\r\nB#01U#0FFF,10,9\r\n");  // kind 12 is written as 9
}

TEST(DefectTableTest, VersionLineByFormatCode) {
    struct Case {
        int format;
        const char* first;
    };
    const Case cases[] = {{11, "V#11V#10\r\n"}, {12, "V#12V#10\r\n"}, {20, "V#20V#10\r\n"},
                          {21, "V#21V#10\r\n"}, {30, "V#30V#10\r\n"}, {10, "V#10\r\n"},
                          {42, "V#10\r\n"},     {0, "V#10\r\n"}};
    for (const Case& c : cases) {
        const std::string text = DefectTableToText(SampleTable(), Geometry(), c.format);
        EXPECT_EQ(text.substr(0, std::string(c.first).size()), c.first) << c.format;
    }
}

TEST(DefectTableTest, SlicesWithoutTheTagAndWithoutAnEndAreBounded) {
    DefectTableGeometry g = Geometry();
    g.PageBytes = 32;  // room for four entries after the signature
    TableBuilder t(g);
    t.Channel(0).Bank(0).Bad(1, 0, 0, 1).Bad(2, 0, 0, 1).Bad(3, 0, 0, 1);  // no end entry
    Bytes set = t.bytes();
    set[g.PageBytes] = 0x45;  // channel 1 is not a defect table
    EXPECT_EQ(DefectTableToText(set, g, 10),
              "V#10\r\nC#00\r\nB#00U#0001,00,1U#0002,00,1U#0003,00,1\r\n");
}

TEST(DefectTableTest, TextRoundTrip) {
    const Bytes table = SampleTable();
    for (int format : {10, 12, 30}) {
        const std::string text = DefectTableToText(table, Geometry(), format);
        Bytes back(table.size(), 0x77);
        std::string error;
        ASSERT_TRUE(TextToDefectTable(text, Geometry(), format, back, &error)) << error;
        Bytes expected = table;
        expected[Geometry().PageBytes + 16 + 8 + 3] = 9;  // the kind written as 9
        EXPECT_EQ(back, expected) << format;
    }
}

TEST(DefectTableTest, TextReaderAcceptsBlanksLowerCaseHexAndLfLines) {
    const std::string text =
        "V#10\n"
        "C#00\nB#00 U# 0abc , 11 , 2\nB#01\n"
        "C#01 B#00 B#01\n";
    Bytes back(Geometry().PageBytes * 2, 0);
    std::string error;
    ASSERT_TRUE(TextToDefectTable(text, Geometry(), 10, back, &error)) << error;
    EXPECT_EQ(Le16(back.data() + 16 + 4), 0x0ABC);
    EXPECT_EQ(back[16 + 4 + 2], 0x11);
    EXPECT_EQ(back[16 + 4 + 3], 2);
    EXPECT_EQ(back[16 + 12], 0xFE);  // after bank 1's marker
}

TEST(DefectTableTest, Version21WithFormat12DropsOtherKinds) {
    const std::string text =
        "V#21V#10\r\n"
        "C#00\r\nB#00U#0010,00,0U#0011,00,1\r\nB#01\r\n"
        "C#01\r\nB#00U#0020,00,0U#0021,01,1\r\nB#01\r\n";
    std::string error;
    Bytes kept(Geometry().PageBytes * 2, 0);
    ASSERT_TRUE(TextToDefectTable(text, Geometry(), 12, kept, &error)) << error;
    // Channel 0 keeps kind 0 only, channel 1 kind 1 only.
    EXPECT_EQ(Le16(kept.data() + 20), 0x10);
    EXPECT_EQ(kept[24], 0xFB);
    EXPECT_EQ(Le16(kept.data() + 2048 + 20), 0x21);
    EXPECT_EQ(kept[2048 + 24], 0xFB);

    Bytes all(Geometry().PageBytes * 2, 0);
    ASSERT_TRUE(TextToDefectTable(text, Geometry(), 11, all, &error)) << error;
    EXPECT_EQ(Le16(all.data() + 20), 0x10);
    EXPECT_EQ(Le16(all.data() + 24), 0x11);
    EXPECT_EQ(Le16(all.data() + 2048 + 20), 0x20);
    EXPECT_EQ(Le16(all.data() + 2048 + 24), 0x21);
}

TEST(DefectTableTest, DamagedOrMistypedTextsAreRefusedWithNothingUsed) {
    const std::string good = DefectTableToText(SampleTable(), Geometry(), 10);
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"empty", ""},
        {"no version", "C#00\r\nB#00\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"version mistyped", "V#1O\r\n" + good.substr(6)},
        {"version without line end", "V#10C#00"},
        {"no channel", "V#10\r\n"},
        {"cut after the first channel", good.substr(0, good.find("C#01"))},
        {"cut inside a record", good.substr(0, good.find(",11,") + 3)},
        {"cut before the last bank", good.substr(0, good.rfind("B#01"))},
        {"channel beyond the geometry",
         "V#10\r\nC#00\r\nB#00\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\nC#02\r\nB#00\r\nB#01\r\n"},
        {"channels out of order", "V#10\r\nC#01\r\nB#00\r\nB#01\r\nC#00\r\nB#00\r\nB#01\r\n"},
        {"channel twice", "V#10\r\nC#00\r\nB#00\r\nB#01\r\nC#00\r\nB#00\r\nB#01\r\n"},
        {"bank beyond the geometry",
         "V#10\r\nC#00\r\nB#00\r\nB#01\r\nB#02\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"bank skipped", "V#10\r\nC#00\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"block beyond the chip enable",
         "V#10\r\nC#00\r\nB#00U#1000,00,1\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"die beyond the geometry",
         "V#10\r\nC#00\r\nB#00U#0010,20,1\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"plane beyond two", "V#10\r\nC#00\r\nB#00U#0010,02,1\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"kind not a digit", "V#10\r\nC#00\r\nB#00U#0010,00,X\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"block of three digits",
         "V#10\r\nC#00\r\nB#00U#010,00,1\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"separator missing",
         "V#10\r\nC#00\r\nB#00U#0010 00,1\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"bad block before a bank",
         "V#10\r\nC#00U#0010,00,1\r\nB#00\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"bank before a channel",
         "V#10\r\nB#00\r\nC#00\r\nB#00\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
        {"stray text", good + "X"},
        {"channel marker mistyped", "V#10\r\nC#10\r\nB#00\r\nB#01\r\nC#01\r\nB#00\r\nB#01\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes set(Geometry().PageBytes * 2, 0x5A);
        std::string error;
        EXPECT_FALSE(TextToDefectTable(c.text, Geometry(), 10, set, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(set, Bytes(set.size(), 0x5A));
    }
}

TEST(DefectTableTest, MoreEntriesThanASliceHoldsAreRefused) {
    DefectTableGeometry g = Geometry();
    g.Channels = 1;
    g.Banks = 1;
    g.PageBytes = 32;  // signature, bank marker, two entries, end
    std::string text = "V#10\r\nC#00\r\nB#00U#0001,00,1U#0002,00,1\r\n";
    Bytes set(32, 0);
    std::string error;
    EXPECT_TRUE(TextToDefectTable(text, g, 10, set, &error)) << error;
    EXPECT_EQ(set[28], 0xFE);
    text.insert(text.size() - 2, "U#0003,00,1");
    EXPECT_FALSE(TextToDefectTable(text, g, 10, set, &error));
}

TEST(DefectTableTest, Files) {
    test::TempFolder folder("defect_table");
    const std::string path = folder.File("table.txt");
    ASSERT_TRUE(DefectTableToTextFile(SampleTable(), Geometry(), path, 12));
    Bytes back(Geometry().PageBytes * 2, 0);
    std::string error;
    EXPECT_TRUE(TextFileToDefectTable(path, Geometry(), 12, back, &error)) << error;
    EXPECT_EQ(Le16(back.data() + 20), 0x12);
    EXPECT_FALSE(TextFileToDefectTable(folder.File("missing.txt"), Geometry(), 12, back, &error));
    EXPECT_FALSE(TextFileToDefectTable("", Geometry(), 12, back, &error));
    EXPECT_FALSE(
        DefectTableToTextFile(SampleTable(), Geometry(), folder.File("no/such/x.txt"), 12));
    // A page set smaller than the geometry is refused before reading.
    Bytes small(100, 0);
    EXPECT_FALSE(TextFileToDefectTable(path, Geometry(), 12, small, &error));
}

}  // namespace
}  // namespace kv
