#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "programming/Xcfg.h"

namespace {

// Comments and version header as the writer puts them, then the caller's sections.
const std::string kHead =
    "[COMMENTS]\r\nSaved by: Administrator\r\n\r\n[VERSION_INFO_HEADER]\r\nFAMILY_ID=164\r\n"
    "VARIANT=2\r\nVERSION=16\r\nBUILD=170\r\nVENDOR_ID=255\r\nPRODUCT_ID=TBD\r\n"
    "CHECKSUM=0x000000\r\n";

// One well-formed object section of `size` bytes valued offset + 1.
std::string Section(int type, int address, int size) {
    std::string text = "[UNKNOWN_T" + std::to_string(type) +
                       " INSTANCE 0]\r\nOBJECT_ADDRESS=" + std::to_string(address) +
                       "\r\nOBJECT_SIZE=" + std::to_string(size) + "\r\n";
    for (int k = 0; k < size; ++k) {
        text += std::to_string(k) + " 1 DATA=" + std::to_string(k + 1) + "\r\n";
    }
    return text;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The table behind tests/data/xcfg/saved.xcfg.
XcfgTableView SavedTable() {
    XcfgTableView table;
    table.version = {164, 2, 16, 170};
    table.objects = {{6, 200, 10}, {37, 300, 2}, {38, 430, 3}, {7, 433, 0}};
    return table;
}

std::array<ConfigRecord, xcfg::kMaxRecords> SavedChip() {
    std::array<ConfigRecord, xcfg::kMaxRecords> chip{};
    chip[1][3] = 0;
    chip[1][4] = 255;
    chip[2][3] = 1;
    chip[2][4] = 20;
    chip[2][5] = 128;
    return chip;
}

TEST(XcfgSections, OrderOfTheWrittenEntries) {
    const struct {
        const char* name;
        std::vector<uint8_t> types;
        std::vector<int> sections;
    } cases[] = {
        {"diagnosticThenConfigAndAllAfter", {5, 6, 37, 25, 38, 7, 8, 37, 38}, {3, 5, 6, 7, 8, 9}},
        {"noConfigObject", {5, 37, 6, 7}, {2}},
        {"noDiagnosticObject", {5, 38, 7}, {2, 3}},
        {"diagnosticAfterConfigWrittenOnce", {38, 7, 37, 8}, {3, 1, 2, 4}},
        {"neither", {5, 6, 7}, {}},
    };
    for (const auto& c : cases) {
        XcfgTableView table;
        for (const uint8_t type : c.types) {
            table.objects.push_back({type, 0, 1});
        }
        EXPECT_EQ(SectionsToWrite(table), c.sections) << c.name;
    }
}

TEST(XcfgFormat, WritesTheFileByteForByte) {
    const auto text = FormatXcfg(SavedTable(), SavedChip());
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, ReadBytes(PANELIX_TEST_DATA_DIR "/xcfg/saved.xcfg"));
}

TEST(XcfgFormat, RefusesAnObjectLargerThanARecord) {
    XcfgTableView table = SavedTable();
    table.objects[2].size = 254;
    EXPECT_FALSE(FormatXcfg(table, SavedChip()));
    // An object that is not written may be as large as the table says.
    table.objects[2].size = 3;
    table.objects[0].size = 255;
    EXPECT_TRUE(FormatXcfg(table, SavedChip()));
}

TEST(XcfgLoad, WrittenFileReadsBackAsTheChipRecords) {
    XcfgTableView table;
    table.version = {1, 2, 3, 4};
    std::array<ConfigRecord, xcfg::kMaxRecords> chip{};
    const uint8_t types[] = {5, 37, 6, 38, 7, 8, 9, 46};
    const uint8_t sizes[] = {10, 130, 7, 253, 1, 58, 59, 0};
    uint16_t address = 100;
    for (int i = 0; i < 8; ++i) {
        table.objects.push_back({types[i], address, sizes[i]});
        chip[i][0] = static_cast<uint8_t>(address & 0xFF);
        chip[i][1] = static_cast<uint8_t>(address >> 8);
        chip[i][2] = sizes[i];
        for (int k = 0; k < sizes[i]; ++k) {
            chip[i][3 + k] = static_cast<uint8_t>(i * 31 + k * 7);
        }
        address = static_cast<uint16_t>(address + sizes[i]);
    }
    const auto text = FormatXcfg(table, chip);
    ASSERT_TRUE(text);

    ConfigRecordSets sets;
    const XcfgLoadResult result = ParseXcfg(*text, sets);
    ASSERT_EQ(result.verdict, XcfgVerdict::Accepted) << result.message << " line " << result.line;
    const std::vector<int> written = SectionsToWrite(table);
    ASSERT_EQ(sets.fileRecordCount, written.size());
    for (size_t s = 0; s < written.size(); ++s) {
        const ConfigRecord& chipRecord = chip[written[s] - 1];
        const ConfigRecord& fileRecord = sets.fileRecords[s];
        const int used = 3 + chipRecord[2];
        EXPECT_TRUE(std::equal(fileRecord.begin(), fileRecord.begin() + used, chipRecord.begin()))
            << "section " << s;
    }
}

TEST(XcfgLoad, Verdicts) {
    const struct {
        const char* name;
        std::string text;
        XcfgVerdict verdict;
        std::string_view message;
        int records;
    } cases[] = {
        {"savedShape", kHead + Section(38, 400, 3), XcfgVerdict::Accepted, "", 1},
        {"noObjectSections", kHead, XcfgVerdict::Accepted, "", 0},
        {"linesBeforeAnySectionIgnored", "junk\r\n" + kHead, XcfgVerdict::Accepted, "", 0},
        {"versionHeaderFirst", "[VERSION_INFO_HEADER]\r\nFAMILY_ID=1\r\n[COMMENTS]\r\nx\r\n",
         XcfgVerdict::Rejected, xcfg::kRejected, 0},
        {"emptyCommentsOnly", "[COMMENTS]\r\n" + Section(38, 400, 1), XcfgVerdict::HeaderMissing,
         xcfg::kHeaderMissing, 0},
        {"emptyCommentsEmptyHeader", "[COMMENTS]\r\n\r\n[VERSION_INFO_HEADER]\r\n   \r\n",
         XcfgVerdict::HeaderMissing, xcfg::kHeaderMissing, 0},
        {"emptyCommentsThenHeaderLine", "[COMMENTS]\r\n[VERSION_INFO_HEADER]\r\nBUILD=1\r\n",
         XcfgVerdict::Accepted, "", 0},
        {"emptyFile", "", XcfgVerdict::HeaderMissing, xcfg::kHeaderMissing, 0},
        {"lfOnlyLineEnds",
         "[COMMENTS]\nSaved by: x\n[UNKNOWN_T38 INSTANCE 0]\nOBJECT_ADDRESS=1\n"
         "OBJECT_SIZE=1\n0 1 DATA=9\n",
         XcfgVerdict::Accepted, "", 1},
        {"trailingBlanks",
         "[COMMENTS]  \r\nx\r\n[UNKNOWN_T38 INSTANCE 0] \r\nOBJECT_ADDRESS=1  \r\n"
         "OBJECT_SIZE=1\t\r\n0 1 DATA=9 \r\n",
         XcfgVerdict::Accepted, "", 1},
    };
    for (const auto& c : cases) {
        ConfigRecordSets sets;
        const XcfgLoadResult result = ParseXcfg(c.text, sets);
        EXPECT_EQ(result.verdict, c.verdict) << c.name;
        EXPECT_EQ(result.message, c.message) << c.name;
        EXPECT_EQ(sets.fileRecordCount, c.records) << c.name;
    }
}

TEST(XcfgLoad, ObjectTypeFromTheSectionHeader) {
    const struct {
        const char* header;
        bool accepted;
    } cases[] = {
        {"[UNKNOWN_T25 INSTANCE 0]", true},
        {"[UNKNOWN_T101 INSTANCE 0]", true},  // two characters only: 10
        {"[UNKNOWN_T0 INSTANCE 0]", false},
        {"[UNKNOWN_T INSTANCE 0]", false},
        {"[UNKNOWN_T-5 INSTANCE 0]", false},
        {"[SPT_T0_T25 INSTANCE 0]", true},  // the second "_T" counts
        {"[SPT_T25_T0 INSTANCE 0]", false},
        {"[A_T0_T7_T0 INSTANCE 0]", true},  // a third "_T" does not
        {"[UNKNOWN_T5]", false},            // no INSTANCE: another section, before COMMENTS
    };
    for (const auto& c : cases) {
        ConfigRecordSets sets;
        const std::string text = std::string(c.header) +
                                 "\r\nOBJECT_ADDRESS=1\r\nOBJECT_SIZE=1\r\n0 1 DATA=1\r\n" + kHead;
        const XcfgLoadResult result = ParseXcfg(text, sets);
        EXPECT_EQ(result.verdict == XcfgVerdict::Accepted, c.accepted) << c.header;
        if (!c.accepted) {
            EXPECT_EQ(result.message, xcfg::kRejected) << c.header;
            EXPECT_EQ(result.line, 1) << c.header;
        }
    }
}

TEST(XcfgLoad, RecordBytes) {
    ConfigRecordSets sets;
    const std::string text =
        kHead +
        "[UNKNOWN_T38 INSTANCE 0]\r\nOBJECT_ADDRESS=4660\r\nOBJECT_SIZE=7\r\n"
        "0 1 DATA=1\r\n1 1 DATA=2\r\n2 1 DATA=3\r\n3 1 DATA=4\r\n4 1 DATA=5\r\n"
        "5 2 DATA=4660\r\n" +
        Section(7, 9, 3);
    ASSERT_EQ(ParseXcfg(text, sets).verdict, XcfgVerdict::Accepted);
    ASSERT_EQ(sets.fileRecordCount, 2);
    const std::vector<uint8_t> first(sets.fileRecords[0].begin(), sets.fileRecords[0].begin() + 10);
    EXPECT_EQ(first, (std::vector<uint8_t>{0x34, 0x12, 7, 1, 2, 3, 4, 5, 0x34, 0x12}));
    // A size-3 object is complete after offset 2; the next section starts its own record.
    const std::vector<uint8_t> second(sets.fileRecords[1].begin(), sets.fileRecords[1].begin() + 7);
    EXPECT_EQ(second, (std::vector<uint8_t>{9, 0, 3, 1, 2, 3, 0}));
}

// Every case would put bytes at the wrong place of a record, past its object, or leave stale
// bytes in it: none may reach the controller.
TEST(XcfgLoad, MalformedObjectSectionsAreRejected) {
    const std::string s = "[UNKNOWN_T38 INSTANCE 0]\r\n";
    const struct {
        const char* name;
        std::string body;
        std::string_view message;
        int line;  // counted from the section header
    } cases[] = {
        {"sizeBeforeAddress", "OBJECT_SIZE=1\r\nOBJECT_ADDRESS=5\r\n0 1 DATA=1\r\n",
         xcfg::kRejected, 2},
        {"dataBeforeSize", "OBJECT_ADDRESS=5\r\n0 1 DATA=1\r\nOBJECT_SIZE=1\r\n", xcfg::kRejected,
         3},
        {"offsetOutOfStep", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=3\r\n0 1 DATA=1\r\n2 1 DATA=1\r\n",
         xcfg::kRejected, 5},
        {"dataPastTheSize", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=1\r\n0 2 DATA=1\r\n", xcfg::kRejected,
         4},
        {"dataAfterComplete", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=1\r\n0 1 DATA=1\r\n0 1 DATA=1\r\n",
         xcfg::kRejected, 5},
        {"secondAddressAfterComplete",
         "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=1\r\n0 1 DATA=1\r\nOBJECT_ADDRESS=0\r\n", xcfg::kRejected,
         5},
        {"shortBeforeNextSection", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=2\r\n0 1 DATA=1\r\n" + s,
         xcfg::kRejected, 5},
        {"shortAtEndOfFile", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=2\r\n0 1 DATA=1\r\n", xcfg::kRejected,
         4},
        {"emptySection", "[COMMENTS]\r\n", xcfg::kRejected, 2},
        {"countThree", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=3\r\n0 3 DATA=1\r\n", xcfg::kRejected, 4},
        {"countZero", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=3\r\n0 0 DATA=1\r\n", xcfg::kRejected, 4},
        {"byteValueTooLarge", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=1\r\n0 1 DATA=256\r\n",
         xcfg::kRejected, 4},
        {"wordValueTooLarge", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=2\r\n0 2 DATA=65536\r\n",
         xcfg::kRejected, 4},
        {"hexValue", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=1\r\n0 1 DATA=0x12\r\n", xcfg::kRejected, 4},
        {"negativeValue", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=1\r\n0 1 DATA=-1\r\n", xcfg::kRejected,
         4},
        {"lineWithoutEquals", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=1\r\n0 1 DATA\r\n", xcfg::kRejected,
         4},
        {"unknownKey", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=1\r\nCHECKSUM=0\r\n", xcfg::kRejected, 4},
        {"addressTooLarge", "OBJECT_ADDRESS=65536\r\nOBJECT_SIZE=1\r\n0 1 DATA=1\r\n",
         xcfg::kRejected, 2},
        {"objectWrapsAddressSpace", "OBJECT_ADDRESS=65535\r\nOBJECT_SIZE=2\r\n", xcfg::kRejected,
         3},
        {"sizeNotANumber", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=x\r\n", xcfg::kRejected, 3},
        {"size254", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=254\r\n", xcfg::kObjectTooLarge, 3},
        {"sizeAsByteWouldWrap", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=300\r\n", xcfg::kObjectTooLarge,
         3},
        {"sizeHuge", "OBJECT_ADDRESS=5\r\nOBJECT_SIZE=99999999999999\r\n", xcfg::kObjectTooLarge,
         3},
    };
    const int headLines = 11;
    for (const auto& c : cases) {
        ConfigRecordSets sets;
        sets.fileRecordCount = 9;
        sets.fileRecords[0].fill(0xAA);
        const XcfgLoadResult result = ParseXcfg(kHead + s + c.body, sets);
        EXPECT_EQ(result.verdict, XcfgVerdict::Rejected) << c.name;
        EXPECT_EQ(result.message, c.message) << c.name;
        EXPECT_EQ(result.line, headLines + c.line) << c.name;
        EXPECT_EQ(sets.fileRecordCount, 0) << c.name;
        EXPECT_EQ(sets.fileRecords[0][0], 0xAA) << c.name << ": a rejected file changed a record";
    }
}

TEST(XcfgLoad, SixtyFourObjectSectionsFitTheSixtyFifthDoesNot) {
    std::string text = kHead;
    for (int i = 0; i < 64; ++i) {
        text += Section(38, 1000 + 10 * i, 2);
    }
    ConfigRecordSets sets;
    ASSERT_EQ(ParseXcfg(text, sets).verdict, XcfgVerdict::Accepted);
    EXPECT_EQ(sets.fileRecordCount, 64);
    EXPECT_EQ(sets.fileRecords[63][0], (1000 + 630) & 0xFF);

    text += Section(38, 2000, 2);
    const XcfgLoadResult result = ParseXcfg(text, sets);
    EXPECT_EQ(result.verdict, XcfgVerdict::Rejected);
    EXPECT_EQ(result.message, xcfg::kTooManyObjects);
    EXPECT_EQ(sets.fileRecordCount, 0);
}

TEST(XcfgLoad, LargestObjectFillsTheRecordExactly) {
    ConfigRecordSets sets;
    std::string text =
        kHead + "[UNKNOWN_T38 INSTANCE 0]\r\nOBJECT_ADDRESS=65283\r\nOBJECT_SIZE=253\r\n";
    for (int k = 0; k < 251; ++k) {
        text += std::to_string(k) + " 1 DATA=7\r\n";
    }
    text += "251 2 DATA=65535\r\n";
    ASSERT_EQ(ParseXcfg(text, sets).verdict, XcfgVerdict::Accepted);
    EXPECT_EQ(sets.fileRecords[0][2], 253);
    EXPECT_EQ(sets.fileRecords[0][254], 0xFF);
    EXPECT_EQ(sets.fileRecords[0][255], 0xFF);
}

TEST(XcfgLoad, FilesOnDisk) {
    ConfigRecordSets sets;
    const XcfgLoadResult saved = LoadXcfg(PANELIX_TEST_DATA_DIR "/xcfg/saved.xcfg", sets);
    EXPECT_EQ(saved.verdict, XcfgVerdict::Accepted);
    EXPECT_EQ(sets.fileRecordCount, 3);

    const std::string missing = PANELIX_TEST_DATA_DIR "/xcfg/no-such-file.xcfg";
    for (const std::string& path : {missing, std::string(PANELIX_TEST_DATA_DIR "/xcfg")}) {
        const XcfgLoadResult result = LoadXcfg(path, sets);
        EXPECT_EQ(result.verdict, XcfgVerdict::NotOpenable) << path;
        EXPECT_EQ(result.message, xcfg::kNotOpenable) << path;
        EXPECT_EQ(sets.fileRecordCount, 0) << path;
    }
}

}  // namespace
