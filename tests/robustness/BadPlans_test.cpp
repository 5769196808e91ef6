// The catalogue's broken update folders checked before a run: corvane-tool
// plan names each problem at its FILE:LINE, fails, and takes no longer for
// huge, binary or unreadable files than for good ones.
#include "UpdateFolder.h"

#include "hex.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr int HugeLineCount = 100000;
constexpr std::size_t MegabyteLine = 1 << 20;
constexpr std::size_t LongRecord = 1 << 16;
const std::string BoardScript = "MB/script.ini";

class BadPlans : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Folder.CardStarted()); }
    // The plan failed, in time, and reported the problem (at "FILE:LINE", relative to the folder).
    void ExpectProblem(const ProcessResult& plan, const std::string& where, const std::string& message)
    {
        EXPECT_FALSE(plan.TimedOut);
        EXPECT_EQ(plan.ExitCode, 1) << plan.Err;
        EXPECT_TRUE(Contains(plan.Out, "\n" + Folder.App() + where + ": " + message + "\n"))
            << plan.Out.substr(0, 2000);
    }

    UpdateFolder Folder;
};

std::string Binary(std::size_t size)
{
    std::mt19937 random(11);
    std::string text = "\x7F";
    while (text.size() < size)
        text += static_cast<char>(random() % 256);
    return text;
}

}  // namespace

TEST_F(BadPlans, UntouchedFolderHasNoProblem)
{
    const ProcessResult plan = Folder.Plan();
    EXPECT_EQ(plan.ExitCode, 0) << plan.Out;
    EXPECT_TRUE(plan.Out.ends_with("no problem\n"));
}

TEST_F(BadPlans, BinaryAndHugeScripts)
{
    Folder.Write(BoardScript, Binary(4096));
    // The line is quoted, cut short.
    const ProcessResult binary = Folder.Plan();
    EXPECT_EQ(binary.ExitCode, 1);
    EXPECT_TRUE(Contains(binary.Out, Folder.App() + BoardScript + ":1: Syntax Error in script file line : 1 \""));
    EXPECT_LT(binary.Out.size(), 8000u);

    std::string remarks;
    for (int line = 0; line < HugeLineCount; ++line)
        remarks += "rem " + std::to_string(line) + "\r\n";
    Folder.Write(BoardScript, remarks + "P1 bank1.hex\r\nno such operation\r\n");
    ExpectProblem(Folder.Plan(), BoardScript + ":" + std::to_string(HugeLineCount + 2),
                  "Syntax Error in script file line : " + std::to_string(HugeLineCount + 2) + " \"no such operation\"");
}

TEST_F(BadPlans, FoldersAndUnreadableFiles)
{
    Folder.MakeFolder("MB/bank1.hex");
    Folder.MakeUnreadable("MB/prom1.svf");
    const ProcessResult plan = Folder.Plan();
    ExpectProblem(plan, BoardScript + ":1", Folder.App() + "MB/bank1.hex File not found !!!");
    ExpectProblem(plan, BoardScript + ":2", "Error while reading Effect file : " + Folder.App() + "MB/prom1.svf");

    Folder.MakeFolder(BoardScript);
    ExpectProblem(Folder.Plan(), "script.ini:2", Folder.App() + BoardScript + " File not found !!!");
    Folder.MakeUnreadable("script.ini");
    const ProcessResult unreadable = Folder.Plan();
    EXPECT_EQ(unreadable.ExitCode, 1);
    EXPECT_TRUE(Contains(unreadable.Out, Folder.App() + "script.ini: " + Folder.App() + "script.ini File not found !!!"))
        << unreadable.Out;
}

TEST_F(BadPlans, VeryLongLinesAndRecords)
{
    Folder.Write("MB/bank1.hex", ":10" + std::string(LongRecord, 'A') + "\r\n" + HexImage(0x8000, 8, 1));
    ExpectProblem(Folder.Plan(), "MB/bank1.hex:1", "HEX record length does not match its count of 16 bytes");

    Folder.Write("MB/bank1.hex", HexImage(0x8000, 8, 1));
    Folder.Write("MB/prom1.svf", "STATE RESET;\n" + std::string(MegabyteLine, 'S') + "\n");
    ExpectProblem(Folder.Plan(), "MB/prom1.svf:2", "Error in Effect file line : 2");

    Folder.Write(BoardScript, "P1 " + std::string(MegabyteLine, 'f') + "\r\n");
    ExpectProblem(Folder.Plan(), BoardScript + ":1",
                  Folder.App() + "MB/" + std::string(MegabyteLine, 'f') + " File not found !!!");
}

TEST_F(BadPlans, EveryDamagedRecordOfAHugeImage)
{
    // Each of 1024 records one digit short: the card would ask for every one again.
    std::string image;
    for (int record = 0; record < 1024; ++record)
        image += BuildHexRecord(HexRecordData, static_cast<std::uint16_t>(0x8000 + record * 16), std::string(31, '5')) +
                 "\r\n";
    Folder.Write("MB/bank1.hex", image + ":00000001FF\r\n");
    const ProcessResult plan = Folder.Plan();
    const std::string message = "HEX record length does not match its count of 15 bytes";
    ExpectProblem(plan, "MB/bank1.hex:1", message);
    ExpectProblem(plan, "MB/bank1.hex:1024", message);
    EXPECT_TRUE(plan.Out.ends_with("\n1024 problems\n")) << plan.Out.substr(plan.Out.size() - 200);
}

// With the check at START on (the default), a broken folder ends the run before
// the link opens: the card receives nothing, not even the probe.
TEST_F(BadPlans, StartSendsNothingForABrokenFolder)
{
    Folder.Write(BoardScript, "P1 bank1.hex\r\nP2 missing.hex\r\nP8 prom1.svf\r\n");
    Folder.Write("MB/prom1.svf", "STATE RESET;\nBOGUS 1;\n");
    Folder.CheckAtStart = true;
    const ProcessResult run = Folder.Update();
    EXPECT_EQ(run.ExitCode, 1) << run.Err;
    EXPECT_TRUE(Contains(run.Err, "The update has 2 problem(s): nothing was sent to the card\n" + Folder.App() +
                                      BoardScript + ":2: "))
        << run.Err;
    EXPECT_TRUE(Contains(run.Out, Folder.App() + "MB/prom1.svf:2: ")) << run.Out;
    EXPECT_EQ(Folder.BytesTheCardReceived(), 0);
}
