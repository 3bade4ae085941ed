// Decoding the pages of an RDT record set, their lists and their bounds.
#include "flash/rdt_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

TEST(RdtRecordDecode, HeaderAndRecordFields) {
    Bytes page(2048, 0);
    std::memcpy(page.data(), "RDTM", 4);
    page[6] = 0x05;
    Put16(page, 796, 7);
    Put16(page, 798, 2);
    Put16(page, 800, 4);
    Put16(page, 802, 3);
    Put16(page, 808, 1);
    Put16(page, 812, 9);
    ASSERT_TRUE(HasRdtSignature(page));
    EXPECT_FALSE(HasLtsSignature(page));
    const RdtHeader h = DecodeRdtHeader(page);
    EXPECT_EQ(h.ErrorFlags, 0x05);
    EXPECT_EQ(h.ErrorPageStart, 7);
    EXPECT_EQ(h.ErrorPageCount, 2);
    EXPECT_EQ(h.FactoryPageStart, 4);
    EXPECT_EQ(h.FactoryPageCount, 3);
    EXPECT_EQ(h.RecordPage, 1);
    EXPECT_EQ(h.DieInfoPage, 9);

    std::memcpy(page.data() + 144, "ABCDEFGHIJKL", 12);  // nine characters at most
    page[200] = 0x99;
    std::memcpy(page.data() + 24, "SN-1", 5);
    RdtRecordData r;
    ASSERT_TRUE(DecodeRdtRecord(page, r));
    EXPECT_EQ(r.FirmwareVersion, "ABCDEFGHI");
    EXPECT_TRUE(r.Inherit);
    EXPECT_EQ(r.Serial, "SN-1");
    page[150] = 0xAA;
    ASSERT_TRUE(DecodeRdtRecord(page, r));
    EXPECT_EQ(r.FirmwareVersion, "ABCDEF");

    // A page shorter than the record holds no record.
    RdtRecordData untouched;
    untouched.Serial = "kept";
    EXPECT_FALSE(DecodeRdtRecord(std::span<const std::uint8_t>(page.data(), 1039), untouched));
    EXPECT_EQ(untouched.Serial, "kept");
}

TEST(RdtRecordDecode, SerialNeverRunsPastItsField) {
    Bytes page(1040, 'S');
    EXPECT_EQ(RdtRecordSerial(page), std::string(72 - 24, 'S'));
    EXPECT_EQ(RdtRecordSerial(std::span<const std::uint8_t>(page.data(), 30)), "SSSSSS");
}

TEST(RdtRecordDecode, ListsEndAtTheirMarkerOrThePageEnd) {
    Bytes dies(32 * 3, 0);
    dies[0] = 0x80 | 0x10 | 0x08 | 2;
    Put16(dies, 8, 7);
    Put16(dies, 16, 0xFFFF);  // ratio keeps its low nine bits
    dies[32] = 0x81;
    dies[32 + 2] = 0xAA;  // byte 2 ends the list
    const auto d = DecodeRdtDieRecords(dies);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_TRUE(d[0].Address.Present);
    EXPECT_EQ(d[0].Address.Channel, 1);
    EXPECT_EQ(d[0].Address.Lun, 1);
    EXPECT_EQ(d[0].Address.Bank, 2);
    EXPECT_EQ(d[0].BadBlocks, 7);
    EXPECT_EQ(d[0].BadRatioPerMille, 0x1FF);

    // Without an end marker the page end ends the list; a partial entry is not read.
    Bytes errors(16 * 2 + 8, 0x11);
    EXPECT_EQ(DecodeRdtErrorEntries(errors).size(), 2u);
    errors[16 + 8] = 0xAA;  // temperature byte of the second entry
    const auto e = DecodeRdtErrorEntries(errors);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].PlaneMask, 1);
    EXPECT_EQ(e[0].ErrorType, 1);
    EXPECT_EQ(e[0].Page, 0x1111);
    EXPECT_EQ(e[0].StepCode, 1);
    EXPECT_EQ(e[0].Action, 1);
}

TEST(RdtRecordDecode, FactoryBitmapPositionsGiveBankChannelAndUnit) {
    const Bytes empty(8192, 0);
    Bytes second(8192, 0);
    second[(3 * 512 + 1)] = 0b11'00'10'01;  // in the second page: byte 8192 + 1537
    const auto marks = DecodeRdtFactoryBitmap(second, 8192);
    ASSERT_EQ(marks.size(), 3u);
    // 8192 + 1537 = 9729: bank (9729 >> 12) & 3 = 2, channel (9729 >> 9) & 7 = 3.
    for (const RdtFactoryMark& m : marks) {
        EXPECT_EQ(m.Bank, 2);
        EXPECT_EQ(m.Channel, 3);
    }
    EXPECT_EQ(marks[0].Unit, (9729 * 4 + 0) & 0x7FF);
    EXPECT_EQ(marks[0].Planes, 1);
    EXPECT_EQ(marks[1].Unit, (9729 * 4 + 1) & 0x7FF);
    EXPECT_EQ(marks[1].Planes, 2);
    EXPECT_EQ(marks[2].Unit, (9729 * 4 + 3) & 0x7FF);
    EXPECT_EQ(marks[2].Planes, 3);
    EXPECT_TRUE(DecodeRdtFactoryBitmap(empty).empty());
}

}  // namespace
}  // namespace kv
