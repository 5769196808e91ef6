#include "RunProcess.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(ToolTranslate, PrintsEachLineAsTheCardReceivesIt)
{
    TempDir dir;
    const std::string file = dir.Write("table.svf",
                                       "SIR 8 TDI (FE);\r\n"
                                       "SDR 32 TDI (00000000);\r\n"
                                       "SDR 16 TDI (1234);\r\n"
                                       "SDR 32 TDI (00000000) TDO (12345678) MASK (FFFFFFFF);\r\n"
                                       "RUNTEST 100 TCK;\r\n"
                                       "RUNTEST DRPAUSE 5 TCK;\r\n"
                                       "STATE RESET IDLE;\r\n"
                                       "STATE;\r\n"
                                       "ENDDR IDLE;\r\n"
                                       "// any text\r\n"
                                       "TRST OFF;\r\n"
                                       "SIR 8 TDI (FE); // note\r\n"
                                       "SIR 8 TDI (fe);\r\n"
                                       "sir 8 tdi (fe);\r\n"
                                       "FREQUENCY 1E6 HZ;\r\n");
    const ProcessResult result = RunProcess({CORVANE_TOOL, "translate", file});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Out,
              "1: :01000862FE97\n"
              "2: :010020E300FC\n"
              "3: :010010630686 stream=341246\n"
              "4: :010020F300EC\n"
              "5: :05000004000000640192\n"
              "6: :050000040000000506EC\n"
              "7: :020000050001F8\n"
              "8: :00000005FB\n"
              "9: :0100000701F7\n"
              "10: -\n"
              "11: -\n"
              "12: :01000862FE97\n"
              "13: :01000862FE97\n"
              "14: Error\n"
              "15: Error\n");
    EXPECT_EQ(result.Err, "");

    const ProcessResult clean = RunProcess({CORVANE_TOOL, "translate", dir.Write("ok.svf", "// c\nSTATE;")});
    EXPECT_EQ(clean.ExitCode, 0);
    EXPECT_EQ(clean.Out, "1: -\n2: :00000005FB\n");
}

TEST(ToolTranslate, WrongUseAndUnreadableFiles)
{
    TempDir dir;
    EXPECT_EQ(RunProcess({CORVANE_TOOL, "translate"}).ExitCode, 2);
    EXPECT_EQ(RunProcess({CORVANE_TOOL, "translate", "a.svf", "b.svf"}).ExitCode, 2);
    const ProcessResult missing = RunProcess({CORVANE_TOOL, "translate", dir.Path() + "missing.svf"});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_EQ(missing.Out, "");
    EXPECT_NE(missing.Err.find("missing.svf"), std::string::npos);
}

// Vendor files use far more of SVF than the card takes: every line gets its own
// numbered answer, without any fault, and the file as a whole is refused.
TEST(ToolTranslate, RealEffectFiles)
{
    const std::filesystem::path real = CORVANE_REAL_DATA_DIR;
    if (!std::filesystem::is_directory(real))
        GTEST_SKIP() << "no sample files in " << real;
    for (const auto& [name, lines] : {std::pair{"xc2c64a__erase.svf", 85}, {"xc2c64a__program.svf", 1144},
                                      {"ulx3s__debugblink-v2.0-12f.svf", 2623}}) {
        const ProcessResult result = RunProcess({CORVANE_TOOL, "translate", (real / name).string()});
        EXPECT_EQ(result.ExitCode, 1) << name;
        EXPECT_EQ(result.Err, "") << name;
        EXPECT_NE(result.Out.find("\n" + std::to_string(lines) + ": "), std::string::npos) << name;
        EXPECT_EQ(result.Out.find("\n" + std::to_string(lines + 1) + ": "), std::string::npos) << name;
        EXPECT_NE(result.Out.find(": :"), std::string::npos) << name;  // some lines do translate
    }
    const ProcessResult program = RunProcess({CORVANE_TOOL, "translate", (real / "xc2c64a__program.svf").string()});
    EXPECT_EQ(program.Out.substr(0, 30), "1: -\n2: -\n3: Error\n4: -\n5: :01");
}
