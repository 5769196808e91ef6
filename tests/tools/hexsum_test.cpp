#include "RunProcess.h"
#include "TempDir.h"

#include <gtest/gtest.h>

TEST(ToolHexSum, PrintsTheImageSum)
{
    TempDir dir;
    const std::string file = dir.Write("boot.hex", ":024000000102BB\r\n:00000001FF\r\n");
    const ProcessResult worked = RunProcess({CORVANE_TOOL, "hexsum", file, "4000", "5FFF"});
    EXPECT_EQ(worked.ExitCode, 0);
    EXPECT_EQ(worked.Out, "DE05\n");
    EXPECT_EQ(worked.Err, "");

    const ProcessResult lower = RunProcess({CORVANE_TOOL, "hexsum", file, "8000", "ffff"});
    EXPECT_EQ(lower.ExitCode, 0);
    EXPECT_EQ(lower.Out, "8000\n");
}

TEST(ToolHexSum, ReportsWrongUseAndUnreadableFiles)
{
    TempDir dir;
    const ProcessResult none = RunProcess({CORVANE_TOOL});
    EXPECT_EQ(none.ExitCode, 2);
    EXPECT_NE(none.Err.find("usage"), std::string::npos);

    const ProcessResult unknown = RunProcess({CORVANE_TOOL, "flash"});
    EXPECT_EQ(unknown.ExitCode, 2);
    EXPECT_NE(unknown.Err.find("flash"), std::string::npos);

    const std::string file = dir.Write("a.hex", ":00000001FF\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{file, "4000"},
                                                 {file, "4000", "10000"},
                                                 {file, "zz", "5FFF"}}) {
        std::vector<std::string> argv = {CORVANE_TOOL, "hexsum"};
        argv.insert(argv.end(), args.begin(), args.end());
        EXPECT_EQ(RunProcess(argv).ExitCode, 2);
    }

    const std::string missing = dir.Path() + "missing.hex";
    const ProcessResult absent = RunProcess({CORVANE_TOOL, "hexsum", missing, "4000", "5FFF"});
    EXPECT_EQ(absent.ExitCode, 1);
    EXPECT_EQ(absent.Out, "");
    EXPECT_NE(absent.Err.find(missing), std::string::npos);
    EXPECT_EQ(absent.Err.find('\n'), absent.Err.size() - 1);  // one line
}

TEST(ToolHelp, TheListAndEachCommandsOwnHelpAreAnswersNotErrors)
{
    const ProcessResult list = RunProcess({CORVANE_TOOL, "--help"});
    EXPECT_EQ(list.ExitCode, 0);
    EXPECT_EQ(list.Err, "");
    EXPECT_NE(list.Out.find("\n  plan [--read-id] [--json] APPDIR [SCRIPT]\n"), std::string::npos) << list.Out;
    EXPECT_EQ(RunProcess({CORVANE_TOOL, "help"}).Out, list.Out);

    const ProcessResult plan = RunProcess({CORVANE_TOOL, "help", "plan"});
    EXPECT_EQ(plan.ExitCode, 0);
    EXPECT_EQ(plan.Out.rfind("usage: corvane-tool plan [--read-id] [--json] APPDIR [SCRIPT]\n", 0), 0u) << plan.Out;
    EXPECT_NE(plan.Out.find("  0 no problem; 1 the update has a problem\n  2 wrong usage\n"), std::string::npos) << plan.Out;
    EXPECT_EQ(RunProcess({CORVANE_TOOL, "plan", "--help"}).Out, plan.Out);

    const ProcessResult unknown = RunProcess({CORVANE_TOOL, "help", "flash"});
    EXPECT_EQ(unknown.ExitCode, 2);
    EXPECT_NE(unknown.Err.find("flash"), std::string::npos);
}
