// The plan of an update folder: each problem a run would stop at, reported at
// its FILE:LINE, and the bytes the run exchanges with the card.
#include "UpdatePlan.h"

#include "TempDir.h"
#include "hex.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Texts = std::vector<std::string>;

// Two bytes at the start of each area: the boot image sums to DE05 over 4000-5FFF.
const std::string BootImage = ":024000000102BB\r\n:00000001FF\r\n";
const std::string LowBankImage = ":020000000102FB\r\n:00000001FF\r\n";
const std::string HighBankImage = ":0280000001027B\r\n:00000001FF\r\n";
const std::string PlayFile =
    "SIR 8 TDI (FE);\r\n"
    "SDR 16 TDI (1234);\r\n"
    "SDR 32 TDI (00000000) TDO (12345678) MASK (FFFFFFFF);\r\n"
    "// identified\r\n";

std::string Data(std::uint16_t address, const std::string& digits)
{
    return BuildHexRecord(HexRecordData, address, digits);
}

// A small complete update: the motherboard's two banks and PROM, the
// extension board's version, the extended boot at the end.
class PlanFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir.Write("script.ini", "rem test update\r\nprompt test\r\nCM\r\nC0\r\nUV 0150\r\n");
        Dir.Write("MB/script.ini", "T0 0150\r\nP0 bank0.hex\r\nP1 bank1.hex\r\n\r\nP8 prom1.svf\r\nV0 0150\r\n");
        Dir.Write("MB/bank0.hex", LowBankImage);
        Dir.Write("MB/bank1.hex", HighBankImage);
        Dir.Write("MB/prom1.svf", PlayFile);
        Dir.Write("EXT/script.ini", "T9 0120\r\nwait 10\r\nV9 0120\r\n");
        Dir.Write("BOOT_EXT_OPTION.HEX", BootImage);
    }

    Texts Problems(const std::string& script = {}) const
    {
        Texts texts;
        for (const TPlanProblem& problem : PlanUpdate(Dir.Path(), script).Problems)
            texts.push_back(ProblemText(problem));
        return texts;
    }
    // "FILE:LINE: " of a file of the folder.
    std::string At(const std::string& file, int line) const
    {
        return Dir.Path() + file + ':' + std::to_string(line) + ": ";
    }

    TempDir Dir;
};

const TPlanStep& StepOf(const TUpdatePlan& plan, const std::string& operation)
{
    for (const TPlanStep& step : plan.Steps)
        if (step.Operation == operation)
            return step;
    static const TPlanStep none;
    ADD_FAILURE() << "no step " << operation;
    return none;
}

}  // namespace

TEST_F(PlanFolder, CompleteUpdateRunsInTheOrderOfARun)
{
    const TUpdatePlan plan = PlanUpdate(Dir.Path());
    EXPECT_TRUE(plan.IsClean()) << ProblemText(plan.Problems.front());
    Texts operations;
    for (const TPlanStep& step : plan.Steps)
        operations.push_back(step.Operation);
    EXPECT_EQ(operations, (Texts{"? 1yU 254yU", "SYN", "T0 0150", "P0 bank0.hex", "P1 bank1.hex", "P8 prom1.svf",
                                 "V0 0150", "T9 0120", "wait 10", "V9 0120", "UV 0150", "PB BOOT_EXT_OPTION.HEX",
                                 "OP 0000", "FI"}));
    EXPECT_EQ(StepOf(plan, "P8 prom1.svf").File, Dir.Path() + "MB/script.ini");
    EXPECT_EQ(StepOf(plan, "P8 prom1.svf").Line, 5);
    EXPECT_EQ(StepOf(plan, "FI").Line, 0);  // added by the run
}

TEST_F(PlanFolder, CountsTheBytesOfEachExchange)
{
    const TUpdatePlan plan = PlanUpdate(Dir.Path());
    // "?", "1yU", "254yU" answered "DEV57", "UPD1", "UPD254", each with CR LF, at the firmware's speed.
    const TPlanStep& probe = plan.Steps.front();
    EXPECT_EQ(probe.BytesToCard, 9u);
    EXPECT_EQ(probe.BytesFromCard, 21u);
    EXPECT_EQ(probe.Baud, 9600u);

    // "PB" (2) answered "..", line 0 twice and line 1 with CR LF (17 + 17 + 13), each
    // answered ".", and the checksum record :0200000CDE050F with CR LF (17), answered ".".
    const TPlanStep& boot = StepOf(plan, "PB BOOT_EXT_OPTION.HEX");
    EXPECT_EQ(boot.BytesToCard, 66u);
    EXPECT_EQ(boot.BytesFromCard, 6u);
    EXPECT_EQ(boot.HexLines, 3u);
    EXPECT_EQ(boot.ChecksumRecords, 1u);

    // "P8" answered "."; three records of 13 characters with CR LF; the SDR's stream 341246
    // after the card's ESC "."; the 4 captured bytes, their sum and ESC "." (12) answered
    // "." by the engine; a "." for each record; the end record with CR LF (13), answered ".".
    const TPlanStep& play = StepOf(plan, "P8 prom1.svf");
    EXPECT_EQ(play.BytesToCard, 2u + 15 + 15 + 6 + 15 + 1 + 13);
    EXPECT_EQ(play.BytesFromCard, 1u + 1 + (2 + 1) + (12 + 1) + 1);
    EXPECT_EQ(play.Records, 4u);
    EXPECT_EQ(play.Streams, 1u);
    EXPECT_EQ(play.PauseMs, 1000u);

    // "T0" answered ".", the card's version and "."; "V0" and "0150" answered "." each.
    EXPECT_EQ(StepOf(plan, "T0 0150").BytesFromCard, 6u);
    EXPECT_EQ(StepOf(plan, "V0 0150").BytesToCard, 6u);
    EXPECT_EQ(StepOf(plan, "wait 10").PauseMs, 10u);

    double seconds = 0.0;
    for (const TPlanStep& step : plan.Steps)
        seconds += (step.BytesToCard + step.BytesFromCard) * 10.0 / step.Baud;
    EXPECT_DOUBLE_EQ(plan.WireSeconds(), seconds);
    EXPECT_DOUBLE_EQ(plan.PauseSeconds(), 1.010);
}

TEST_F(PlanFolder, LinesNoEngineTakesAreSyntaxErrorsWhereTheyStand)
{
    Dir.Write("script.ini", "REM capitals\r\nC1\r\nC\r\nCM\r\n");
    Dir.Write("MB/script.ini", "T0 0150\r\nCM\r\nP9 bank9.hex\r\n");
    EXPECT_EQ(Problems(), (Texts{At("script.ini", 1) + "Syntax Error in script file line : 1 \"REM capitals\"",
                                 At("script.ini", 2) + "Syntax Error in script file line : 2 \"C1\"",
                                 At("script.ini", 3) + "Syntax Error in script file line : 3 \"C\"",
                                 At("MB/script.ini", 2) + "Syntax Error in script file line : 2 \"CM\"",
                                 At("MB/script.ini", 3) + "Syntax Error in script file line : 3 \"P9 bank9.hex\""}));
}

// A run reads such a character as 0, or stops at the line; the check names
// the line and the character either way.
TEST_F(PlanFolder, CharactersThatShouldBeHexadecimalDigits)
{
    Dir.Write("script.ini", "CX\r\nCM\r\n");
    Dir.Write("MB/script.ini", "VO 0150\r\nTO 0150\r\nVx 0150\r\nPZ bank0.hex\r\nV0 0150\r\nTA 0150\r\n");
    EXPECT_EQ(Problems(), (Texts{At("script.ini", 1) + "C followed by 'X', not a hexadecimal digit",
                                 At("MB/script.ini", 1) + "V followed by 'O', not a hexadecimal digit",
                                 At("MB/script.ini", 2) + "T followed by 'O', not a hexadecimal digit",
                                 At("MB/script.ini", 3) + "V followed by 'x', not a hexadecimal digit",
                                 At("MB/script.ini", 4) + "Syntax Error in script file line : 4 \"PZ bank0.hex\": "
                                                          "P followed by 'Z', not a hexadecimal digit"}));

    // The quote of a long line is cut.
    Dir.Write("script.ini", "CM\r\n" + std::string(100, 'Q') + "\r\n");
    Dir.Write("MB/script.ini", "V0 0150\r\n");
    EXPECT_EQ(Problems(),
              (Texts{At("script.ini", 2) + "Syntax Error in script file line : 2 \"" + std::string(60, 'Q') + "...\""}));
}

TEST_F(PlanFolder, MissingUnreadableAndEmptyFilesAreProblemsOfTheLineThatNamesThem)
{
    std::filesystem::remove(Dir.Path() + "EXT/script.ini");
    std::filesystem::remove(Dir.Path() + "MB/bank0.hex");
    std::filesystem::create_directory(Dir.Path() + "MB/prom1.svf.d");
    Dir.Write("MB/script.ini", "P0 bank0.hex\r\nP1 bank1.hex\r\nP8 prom1.svf.d\r\nP8 none.svf\r\nP8 empty.svf\r\n");
    Dir.Write("MB/bank1.hex", "");
    Dir.Write("MB/empty.svf", "");
    Dir.Write("BOOT_EXT_OPTION.HEX", "");
    const std::string mb = Dir.Path() + "MB/";
    EXPECT_EQ(Problems(), (Texts{At("MB/script.ini", 1) + mb + "bank0.hex File not found !!!",
                                 At("MB/script.ini", 2) + "Keyb File Empty !!!",
                                 At("MB/script.ini", 3) + "Error while reading Effect file : " + mb + "prom1.svf.d",
                                 At("MB/script.ini", 4) + mb + "none.svf File not found !!!",
                                 At("MB/script.ini", 5) + "Effect File Empty !!!",
                                 At("script.ini", 4) + Dir.Path() + "EXT/script.ini File not found !!!",
                                 Dir.Path() + "script.ini: Boot File Empty !!!"}));

    std::filesystem::remove(Dir.Path() + "script.ini");
    EXPECT_EQ(Problems(), (Texts{Dir.Path() + "script.ini: " + Dir.Path() + "script.ini File not found !!!"}));
}

TEST_F(PlanFolder, HexRecordsTheCardWouldRefuseOrMisplace)
{
    Dir.Write("MB/bank1.hex", Data(0x8000, "0102") + "\r\n" +                // 1 fine
                                  ":0280100001027b\r\n" +                      // 2 lower-case digits
                                  ":028020000178\r\n" +                        // 3 one byte short of its count
                                  ":0280300001027A\r\n" +                      // 4 checksum should be 4B
                                  ":020000021000EC\r\n" +                      // 5 extended address: unknown
                                  Data(0x7FF0, "01") + "\r\n" +                // 6 below the bank
                                  Data(0x8001, "AABB") + "\r\n" +              // 7 over line 1's second byte
                                  "not a record, sent and ignored\r\n" +        // 8
                                  ":00000001FF\r\n" + Data(0x9000, "01") + "\r\n");  // 9, 10 after the end
    Dir.Write("MB/bank0.hex", Data(0x7FFF, "0102") + "\r\n");                  // past the end of bank 0
    EXPECT_EQ(Problems(),
              (Texts{At("MB/bank0.hex", 1) + "HEX data at 8000 is outside 0000-7FFF, the area this file programs",
                     At("MB/bank1.hex", 2) + "HEX record holds characters other than upper-case hex digits",
                     At("MB/bank1.hex", 3) + "HEX record length does not match its count of 2 bytes",
                     At("MB/bank1.hex", 4) + "HEX record checksum is wrong, it should be 4B",
                     At("MB/bank1.hex", 5) + "HEX record of unknown type 02",
                     At("MB/bank1.hex", 6) + "HEX data at 7FF0 is outside 8000-FFFF, the area this file programs",
                     At("MB/bank1.hex", 7) + "HEX data at 8001 was already written by line 1",
                     At("MB/bank1.hex", 10) + "HEX data record after the end-of-file record"}));
}

TEST_F(PlanFolder, ChecksumOnABootLineMustBeTheImageSum)
{
    Dir.Write("script.ini", "PB BOOT_EXT_OPTION.HEX 1234\r\nPB BOOT_EXT_OPTION.HEX DE05\r\n");
    EXPECT_EQ(Problems(), (Texts{At("script.ini", 1) + "Checksum 1234 given, the image sums to DE05"}));
}

TEST_F(PlanFolder, EveryEffectFileLineTheCardCannotTakeAtItsOwnLine)
{
    Dir.Write("MB/prom1.svf", "SIR 8 TDI (FE);\r\nSIR 8 TDI (FE)\r\nFREQUENCY 1E6 HZ;\r\nRUNTEST 5 TCK;\r\n");
    EXPECT_EQ(Problems(), (Texts{At("MB/prom1.svf", 2) + "Error in Effect file line : 2",
                                 At("MB/prom1.svf", 3) + "Error in Effect file line : 3"}));
}

TEST_F(PlanFolder, VersionsOfFourCharactersAndWhatTheEnginesRefuseAtOnce)
{
    Dir.Write("EXT/script.ini", "V9 012\r\nT9 01200\r\nUV 15\r\nOP 00\r\nwait soon\r\nM A\r\nV\r\nT9 0120\r\n");
    EXPECT_EQ(Problems(), (Texts{At("EXT/script.ini", 1) + "Version is not 4 characters : 012",
                                 At("EXT/script.ini", 2) + "Version is not 4 characters : 01200",
                                 At("EXT/script.ini", 3) + "Version is not 4 characters : 15",
                                 At("EXT/script.ini", 4) + "Option code is not 4 characters : 00",
                                 At("EXT/script.ini", 5) + "Bad wait duration : soon",
                                 At("EXT/script.ini", 6) + "Bad card number : A",
                                 At("EXT/script.ini", 7) + "Missing component number !!!"}));
}

TEST_F(PlanFolder, ScriptNamedElsewhereKeepsTheProgramFolder)
{
    // Its component scripts have its file name; its own data files come from
    // the program's folder; a script not named script.ini ends with FI alone.
    Dir.Write("other/update.ini", "CM\r\nP2 bank2.hex\r\n");
    Dir.Write("MB/update.ini", "P1 bank1.hex\r\n");
    Dir.Write("bank2.hex", HighBankImage);
    const TUpdatePlan plan = PlanUpdate(Dir.Path(), Dir.Path() + "other/update.ini");
    EXPECT_TRUE(plan.IsClean()) << ProblemText(plan.Problems.front());
    ASSERT_EQ(plan.Steps.size(), 5u);
    EXPECT_EQ(plan.Steps[2].Operation, "P1 bank1.hex");
    EXPECT_EQ(plan.Steps[3].Operation, "P2 bank2.hex");
    EXPECT_EQ(plan.Steps[4].Operation, "FI");
}

TEST(PlanExample, BundledUpdateAndReadIdPlanClean)
{
    const TUpdatePlan update = PlanUpdate(CORVANE_EXAMPLES_DIR);
    EXPECT_TRUE(update.IsClean()) << ProblemText(update.Problems.front());
    EXPECT_EQ(update.Steps.back().Operation, "FI");
    const TUpdatePlan readId = PlanUpdate(CORVANE_EXAMPLES_DIR, CORVANE_EXAMPLES_DIR "/readid.ini");
    EXPECT_TRUE(readId.IsClean());
    ASSERT_EQ(readId.Steps.size(), 5u);  // probe, SYN, D0, D8, FI
    EXPECT_EQ(readId.Steps[4].Operation, "FI");
}

TEST(PlanExample, RealHexFilesAsBankImages)
{
    const std::string real = CORVANE_REAL_DATA_DIR "/";
    if (!std::filesystem::exists(real))
        GTEST_SKIP() << real << " is absent";
    const std::string leonardo = "arduino__caterina__Caterina-Leonardo.hex";
    const std::string optiboot = "optiboot__optiboot_atmega1280.hex";
    TempDir dir;
    for (const std::string& name : {leonardo, optiboot})
        std::filesystem::copy_file(real + name, dir.Path() + name);
    dir.Write("script.ini", "P0 " + leonardo + "\r\nP0 " + optiboot + "\r\n");
    dir.Write("BOOT_EXT_OPTION.HEX", BootImage);
    const TUpdatePlan plan = PlanUpdate(dir.Path());
    // 0000-7FD9 in records of 32 bytes fits bank 0; a boot loader for FC00 with
    // an extended address record does not.
    EXPECT_EQ(StepOf(plan, "P0 " + leonardo).HexLines, 1025u);
    ASSERT_FALSE(plan.Problems.empty());
    for (const TPlanProblem& problem : plan.Problems)
        EXPECT_EQ(problem.File, dir.Path() + optiboot) << ProblemText(problem);
    EXPECT_EQ(ProblemText(plan.Problems.front()), dir.Path() + optiboot + ":1: HEX record of unknown type 02");
}
