// HEX images and effect files that hold garbage, truncated records, addresses
// past 0xFFFF or 1 MB lines, that are huge, folders or unreadable: a run either
// leaves exactly the images on the card or ends with the message that says why.
#include "UpdateFolder.h"

#include "hex.h"

#include <gtest/gtest.h>

namespace {

const std::string Completed = "Program operation completed";
const std::string BoardScript = "MB/script.ini";
constexpr std::size_t MegabyteLine = 1 << 20;
constexpr std::size_t LongRecord = 1 << 16;

class BadImages : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Folder.CardStarted()); }
    void ExpectFailure(const ProcessResult& run, const std::string& message)
    {
        EXPECT_FALSE(run.TimedOut);
        EXPECT_EQ(run.ExitCode, 1) << run.Out << run.Err.substr(0, 300);
        EXPECT_TRUE(Contains(run.Err, message + "\n" + Folder.App() + BoardScript)) << run.Err.substr(0, 300);
        EXPECT_FALSE(Contains(run.Out, Completed));
    }
    // Completed, and the card (stopped to tell) holds exactly what the update writes.
    void ExpectExactUpdate(const ProcessResult& run)
    {
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        const ProcessResult check = Folder.Check();
        EXPECT_EQ(check.ExitCode, 0) << check.Out << check.Err;
    }

    UpdateFolder Folder;
};

// One line of the bank image replaced by another text.
std::string BankWith(const std::string& line)
{
    std::string image = HexImage(0x8000, 8, 1);
    const std::size_t third = image.find(":", image.find(":", 1) + 1);
    return image.insert(third, line + "\r\n");
}

}  // namespace

TEST_F(BadImages, UntouchedUpdateLeavesExactImages) { ExpectExactUpdate(Folder.Update()); }

TEST_F(BadImages, TextThatIsNoRecordIsSentAndIgnored)
{
    Folder.Write("MB/bank1.hex", BankWith("written by hand") + "\x01\x02\xFE binary tail\r\n");
    ExpectExactUpdate(Folder.Update());
}

TEST_F(BadImages, GarbageAndTruncatedRecordsAreRefusedByTheCard)
{
    Folder.Write("MB/bank1.hex", BankWith(":GARBAGE"));
    ExpectFailure(Folder.Update(), "Too Many Transmission Error !!!");

    Folder.Write("MB/bank1.hex", BankWith(":108000000102030405"));
    ExpectFailure(Folder.Update(), "Too Many Transmission Error !!!");

    // A file cut in the middle of its last record.
    std::string image = HexImage(0x8000, 8, 1);
    Folder.Write("MB/bank1.hex", image.substr(0, image.rfind(":10") + 20));
    ExpectFailure(Folder.Update(), "Too Many Transmission Error !!!");
}

TEST_F(BadImages, BytesPastFFFFAreDroppedOnBothSides)
{
    std::string data;
    for (unsigned byte = 0; byte < 32; ++byte)
        data += ByteToHex(byte * 5 + 1);
    Folder.Write("MB/bank1.hex", BuildHexRecord(HexRecordData, 0xFFF0, data) + "\r\n:00000001FF\r\n");
    ExpectExactUpdate(Folder.Update());
}

TEST_F(BadImages, VeryLongLinesInAHexFile)
{
    // A record far longer than any (each of the 301 transmissions crosses the link whole).
    Folder.Write("MB/bank1.hex", BankWith(":10" + std::string(LongRecord, 'A')));
    ExpectFailure(Folder.Update(), "Too Many Transmission Error !!!");

    Folder.Write("MB/bank1.hex", BankWith("// " + std::string(MegabyteLine, 'c')));
    ExpectExactUpdate(Folder.Update());
}

TEST_F(BadImages, HexFileThatIsAFolderOrUnreadableIsNotFound)
{
    Folder.MakeUnreadable("MB/bank1.hex");
    ExpectFailure(Folder.Update(), Folder.App() + "MB/bank1.hex File not found !!!");

    Folder.MakeFolder("BOOT_EXT_OPTION.HEX");
    Folder.Write(BoardScript, "V1 0150\r\n");
    const ProcessResult run = Folder.Update();
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(Contains(run.Err, Folder.App() + "BOOT_EXT_OPTION.HEX File not found !!!")) << run.Err;
}

TEST_F(BadImages, GarbageEffectFileEndsAtItsFirstLine)
{
    Folder.Write("MB/prom1.svf", "\x7F\x80 not an effect file\n\x01\x02\x03;\n");
    ExpectFailure(Folder.Update(), "Error in Effect file line : 1");

    Folder.Write("MB/prom1.svf", std::string(MegabyteLine, 'S') + "\n");
    ExpectFailure(Folder.Update(), "Error in Effect file line : 1");
}

TEST_F(BadImages, ScanTooLongForTheCardEndsTheRun)
{
    Folder.Write("MB/prom1.svf", "STATE RESET;\nSDR 512 TDI (" + std::string(MegabyteLine, '5') + "A);\n");
    ExpectFailure(Folder.Update(), "Error in Effect file line : 2");
}

TEST_F(BadImages, TruncatedEffectFileIsNotReportedAsPlayed)
{
    Folder.Write("MB/prom1.svf", "STATE RESET;\nSIR 8 TDI (01) TDO (01) MASK (03);\nSDR 32 TDI (00000000) TDO (0C0D");
    ExpectFailure(Folder.Update(), "Error in Effect file line : 3");

    Folder.Write("MB/prom1.svf", "STATE RESET;\nSTATE IDLE\n");
    ExpectFailure(Folder.Update(), "Error in Effect file line : 2");
}

TEST_F(BadImages, HugeEffectFileOfRemarksIsPlayedWhole)
{
    std::string effect = "// many remarks\n";
    for (int line = 0; line < 100000; ++line)
        effect += "// remark " + std::to_string(line) + "\n";
    Folder.Write("MB/prom1.svf", effect + "STATE RESET;\nSIR 8 TDI (01) TDO (01) MASK (03);\n");
    ExpectExactUpdate(Folder.Update());
}

TEST_F(BadImages, EffectFileThatIsAFolderOrUnreadableCannotBeRead)
{
    Folder.MakeFolder("MB/prom1.svf");
    ExpectFailure(Folder.Update(), "Error while reading Effect file : " + Folder.App() + "MB/prom1.svf");

    Folder.Write("MB/other.svf", "STATE RESET;\n");
    Folder.MakeUnreadable("MB/other.svf");
    Folder.Write(BoardScript, "P8 other.svf\r\n");
    ExpectFailure(Folder.Update(), "Error while reading Effect file : " + Folder.App() + "MB/other.svf");
}
