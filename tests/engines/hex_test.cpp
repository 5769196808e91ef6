#include "hex.h"

#include "TextLineReader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

TEST(HexFormatting, DigitsAndFixedWidths)
{
    EXPECT_EQ(HexDigit(0), '0');
    EXPECT_EQ(HexDigit(10), 'A');
    EXPECT_EQ(HexDigit(15), 'F');
    EXPECT_EQ(HexDigit(16), '0');
    EXPECT_EQ(HexDigit(0x2B), 'B');

    EXPECT_EQ(ByteToHex(0x0A), "0A");
    EXPECT_EQ(ByteToHex(0x1FF), "FF");
    EXPECT_EQ(WordToHex(0xA5), "00A5");
    EXPECT_EQ(WordToHex(0x12345), "2345");
    EXPECT_EQ(WordToHex(static_cast<std::uint32_t>(-1)), "FFFF");
    EXPECT_EQ(LongToHex(0xDEADBEEF), "DEADBEEF");
    EXPECT_EQ(LongToHex(100), "00000064");
}

TEST(HexReading, OnlyUpperCaseDigitsCarryValue)
{
    EXPECT_EQ(HexValue('0'), 0u);
    EXPECT_EQ(HexValue('9'), 9u);
    EXPECT_EQ(HexValue('A'), 10u);
    EXPECT_EQ(HexValue('F'), 15u);
    EXPECT_EQ(HexValue('a'), 0u);
    EXPECT_EQ(HexValue('f'), 0u);
    EXPECT_EQ(HexValue('G'), 0u);
    EXPECT_EQ(HexValue(' '), 0u);
    EXPECT_EQ(HexValue('\0'), 0u);

    EXPECT_EQ(HexToWord("1234AAAA"), 0x1234);
    EXPECT_EQ(HexToWord("B234"), 0xB234);
    EXPECT_EQ(HexToWord("ab12"), 0x0012);
    // A shorter text never reads past its end: the missing digits count as 0.
    EXPECT_EQ(HexToWord("12"), 0x1200);
    EXPECT_EQ(HexToWord("123"), 0x1230);
    EXPECT_EQ(HexToWord(""), 0);
}

TEST(HexRecordBuild, WorkedRecords)
{
    EXPECT_EQ(BuildHexRecord(0x00, 0x4000, "0102"), ":024000000102BB");
    EXPECT_EQ(BuildHexRecord(0x01, 0x0000, ""), ":00000001FF");
    EXPECT_EQ(BuildHexRecord(0x0C, 0x0000, "DE05"), ":0200000CDE050F");
    EXPECT_EQ(BuildHexRecord(0x0C, 0x0000, "1234"), ":0200000C1234AC");
    EXPECT_EQ(BuildHexRecord(0x0C, 0x0000, "8000"), ":0200000C800072");
    EXPECT_EQ(BuildHexRecord(0x05, 0x0000, "").size(), 11u);
}

TEST(HexRecordBuild, CountFieldWrapsButChecksumCoversEveryByte)
{
    // 256 bytes of 01 and one of 02: the count field shows 257 mod 256 = 01, the
    // sum covers all 257 bytes: 01 + 256 * 01 + 02 = 0x103, complement FD.
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += "01";
    bytes += "02";
    const std::string record = BuildHexRecord(0x00, 0x0000, bytes);
    EXPECT_EQ(record.size(), bytes.size() + 11);
    EXPECT_EQ(record.substr(0, 9), ":01000000");
    EXPECT_EQ(record.substr(record.size() - 2), "FD");
}

TEST(HexRecordParse, FieldsAtFixedPositions)
{
    const HexRecord data = ParseHexRecord(":024000000102BB");
    EXPECT_EQ(data.Type, 0x00);
    EXPECT_EQ(data.Count, 2);
    EXPECT_EQ(data.Address, 0x4000);
    EXPECT_EQ(data.Data, std::string("\x01\x02", 2));

    const HexRecord eof = ParseHexRecord(":00000001FF");
    EXPECT_EQ(eof.Type, 0x01);
    EXPECT_EQ(eof.Count, 0);
    EXPECT_TRUE(eof.Data.empty());

    // Lower-case digits read as 0, in every field.
    const HexRecord lower = ParseHexRecord(":0a40000001ab");
    EXPECT_EQ(lower.Count, 0x00);
    const HexRecord lowerData = ParseHexRecord(":02400000ab1fBB");
    EXPECT_EQ(lowerData.Data, std::string("\x00\x10", 2));
}

TEST(HexRecordParse, ShortLineKeepsOnlyWholeBytes)
{
    EXPECT_EQ(ParseHexRecord(":04400000AABB").Data, "\xAA\xBB");
    EXPECT_EQ(ParseHexRecord(":04400000AAB").Data, "\xAA");
    const HexRecord stub = ParseHexRecord(":1");
    EXPECT_EQ(stub.Count, 0x10);
    EXPECT_EQ(stub.Address, 0);
    EXPECT_TRUE(stub.Data.empty());
}

TEST(HexImageChecksum, WorkedSums)
{
    const std::vector<std::string> worked = {":024000000102BB", ":00000001FF"};
    EXPECT_EQ(HexImageChecksum(worked, 0x4000, 0x5FFF), 0xDE05);

    const std::vector<std::string> empty;
    EXPECT_EQ(HexImageChecksum(empty, 0x4000, 0x5FFF), 0xE000);
    EXPECT_EQ(HexImageChecksum(empty, 0x0000, 0x7FFF), 0x8000);
    EXPECT_EQ(HexImageChecksum(empty, 0x8000, 0xFFFF), 0x8000);
    EXPECT_EQ(HexImageChecksum(empty, 0x0000, 0xFFFF), 0x0000);
    EXPECT_EQ(HexImageChecksum(empty, 0x0010, 0x000F), 0);
    EXPECT_EQ(HexImageChecksum(empty, 0x1234, 0x1234), 0xFF);
}

TEST(HexImageChecksum, RecordsAreReadInOrderUntilEndOfFile)
{
    const std::vector<std::string> lines = {
        "",                       // blank lines and comments are not records
        "; a comment line",
        ":0140000011AE",          // 11 at 4000
        ":0140000022",            // overwritten by 22 (the checksum field is not read)
        ":020000021000EC",        // extended segment address: skipped
        ":00000001FF",
        ":0140010033",            // after the end of file: ignored
    };
    EXPECT_EQ(HexImageChecksum(lines, 0x4000, 0x4001), 0x22 + 0xFF);
    EXPECT_EQ(HexImageChecksum(lines, 0x4100, 0x4100), 0xFF);
    // Two layouts of the same bytes give the same sum.
    EXPECT_EQ(HexImageChecksum({":020000000102FB"}, 0, 1),
              HexImageChecksum({":0100000001FE", ":0100010002FC"}, 0, 1));
    EXPECT_EQ(HexImageChecksum({":0100010002FC", ":0100000001FE"}, 0, 1), 0x03);
    // Written again after other records: the last byte counts.
    EXPECT_EQ(HexImageChecksum({":020000000102FB", ":0100020003FA", ":0100000009F6"}, 0, 2), 0x09 + 0x02 + 0x03);
}

TEST(HexImageChecksum, BytesPastTheImageOrTheLineAreDropped)
{
    // Four bytes from FFFE: only FFFE and FFFF exist, nothing wraps to 0000.
    const std::vector<std::string> past = {":04FFFE0001020304F6"};
    EXPECT_EQ(HexImageChecksum(past, 0xFFFE, 0xFFFF), 0x01 + 0x02);
    EXPECT_EQ(HexImageChecksum(past, 0x0000, 0x0001), 0x1FE);
    // A count larger than the line: only the bytes present are written.
    const std::vector<std::string> truncated = {":FF00000001"};
    EXPECT_EQ(HexImageChecksum(truncated, 0x0000, 0x0001), 0x01 + 0xFF);
}

// Public HEX files: every record rebuilt from its parsed fields gives back the
// line as written, whatever the line ends of the file.
TEST(HexRealFiles, RecordsRoundTrip)
{
    const std::filesystem::path folder = CORVANE_REAL_DATA_DIR;
    if (!std::filesystem::is_directory(folder))
        GTEST_SKIP() << "no sample files at " << folder;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".hex")
            continue;
        ++files;
        std::vector<std::string> lines;
        ASSERT_TRUE(LoadTextLines(entry.path().string(), lines)) << entry.path();
        int records = 0;
        for (const std::string& line : lines) {
            if (line.empty() || line[0] != ':')
                continue;
            std::string upper = line;
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            const HexRecord record = ParseHexRecord(upper);
            std::string dataText;
            for (char byte : record.Data)
                dataText += ByteToHex(static_cast<std::uint8_t>(byte));
            EXPECT_EQ(BuildHexRecord(record.Type, record.Address, dataText), upper) << entry.path();
            ++records;
        }
        EXPECT_GT(records, 0) << entry.path();
        // Any range sums without fault; the full image of FF-only files is not all FF.
        (void)HexImageChecksum(lines, 0x0000, 0xFFFF);
    }
    EXPECT_GT(files, 0);
}
