// corvane-tool plan and convert-svf as the operator runs them, and the plan's
// wire time next to the bytes the simulated card counts on a run of the
// bundled example.
#include "ExampleRun.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Lines = std::vector<std::string>;

QJsonObject JsonOf(const std::string& text) { return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object(); }

ProcessResult Tool(std::vector<std::string> args)
{
    args.insert(args.begin(), CORVANE_TOOL);
    return RunProcess(args);
}

}  // namespace

TEST(ToolPlan, BundledExampleHasNoProblem)
{
    const ProcessResult text = Tool({"plan", CORVANE_EXAMPLES_DIR});
    EXPECT_EQ(text.ExitCode, 0) << text.Out << text.Err;
    const Lines lines = SplitLines(text.Out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.back(), "no problem");
    EXPECT_TRUE(Contains(lines[lines.size() - 2], "s on the wire (probe at 9600 baud, the rest at 57600)"));
    EXPECT_TRUE(Contains(text.Out, "examples/MB/script.ini:13 ")) << text.Out;  // P0 bank0.hex

    const QJsonObject json = JsonOf(Tool({"plan", "--json", CORVANE_EXAMPLES_DIR}).Out);
    EXPECT_TRUE(json["problems"].toArray().isEmpty());
    EXPECT_EQ(json["steps"].toArray().last().toObject()["operation"].toString(), "FI");
    EXPECT_GT(json["total"].toObject()["wire_seconds"].toDouble(), 20.0);

    EXPECT_EQ(Tool({"plan", "--read-id", CORVANE_EXAMPLES_DIR}).ExitCode, 0);
}

TEST(ToolPlan, BrokenFolderPrintsEachProblemAndFails)
{
    TempDir dir;
    dir.Write("script.ini", "CM\r\nV1 15\r\n");
    dir.Write("MB/script.ini", "P1 bank1.hex\r\n");
    const ProcessResult plan = Tool({"plan", dir.Path()});
    EXPECT_EQ(plan.ExitCode, 1);
    const Lines lines = SplitLines(plan.Out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Lines(lines.end() - 4, lines.end()),
              (Lines{dir.Path() + "MB/script.ini:1: " + dir.Path() + "MB/bank1.hex File not found !!!",
                     dir.Path() + "script.ini:2: Version is not 4 characters : 15",
                     dir.Path() + "script.ini: " + dir.Path() + "BOOT_EXT_OPTION.HEX File not found !!!",
                     "3 problems"}));
    const QJsonArray problems = JsonOf(Tool({"plan", "--json", dir.Path()}).Out)["problems"].toArray();
    ASSERT_EQ(problems.size(), 3);
    EXPECT_EQ(problems[1].toObject()["line"].toInt(), 2);
}

TEST(ToolPlan, WrongUsage)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"plan"}, {"plan", "a", "b", "c"}, {"plan", "--read-id", "a", "b"}, {"plan", "--x", "a"}})
        EXPECT_EQ(Tool(args).ExitCode, 2) << args.back();
}

// The plan counts what a run sends and receives when all goes well; the card
// counts what its line carried, by baud rate. In the programming phase the two
// agree to the byte, but for the synchronisation "%", which a run sends again
// on every second step until the boot loader's answer has arrived, and which
// the boot loader answers again when it comes after its quiet time.
TEST(ToolPlan, ProgrammingPhaseIsPlannedToTheByteOverAPacedLine)
{
    ExampleRun run(Link::Pty, {"--baud-pacing"});
    ASSERT_TRUE(run.CardStarted());
    const ProcessResult update = run.Update();
    ASSERT_EQ(update.ExitCode, 0) << update.Err;
    const QJsonObject state = run.CardState();
    std::uint64_t fromPc = 0;
    std::uint64_t toPc = 0;
    for (const QJsonValue& line : state["traffic"].toArray())
        if (line.toObject()["baud"].toInt() == 57600) {
            fromPc = static_cast<std::uint64_t>(line.toObject()["from_pc"].toInteger());
            // Answers of the firmware still on their way when the rate changed are not the boot loader's.
            toPc = static_cast<std::uint64_t>(line.toObject()["to_pc"].toInteger() -
                                              line.toObject()["firmware_to_pc"].toInteger());
        }
    const auto probes = static_cast<std::uint64_t>(state["counts"].toObject()["sync_probes"].toInteger());
    const auto answers = static_cast<std::uint64_t>(state["counts"].toObject()["sync_answers"].toInteger());
    ASSERT_GE(probes, answers);
    ASSERT_GE(answers, 1u);

    std::uint64_t planTo = 0;
    std::uint64_t planFrom = 0;
    for (const QJsonValue& step : JsonOf(Tool({"plan", "--json", run.AppDir()}).Out)["steps"].toArray())
        if (step.toObject()["baud"].toInt() == 57600) {
            planTo += static_cast<std::uint64_t>(step.toObject()["bytes_to_card"].toInteger());
            planFrom += static_cast<std::uint64_t>(step.toObject()["bytes_from_card"].toInteger());
        }
    EXPECT_GT(planTo, 100000u);
    EXPECT_EQ(fromPc - (probes - 1), planTo) << probes << " \"%\" sent";
    EXPECT_EQ(toPc - (answers - 1), planFrom) << answers << " \"%\" answered";
}

TEST(ToolConvertSvf, RealVendorFiles)
{
    const std::string real = CORVANE_REAL_DATA_DIR "/";
    if (!std::filesystem::exists(real))
        GTEST_SKIP() << real << " is absent";
    TempDir dir;
    for (const std::string name : {"xc2c64a__erase.svf", "xc2c64a__program.svf"}) {
        const std::string out = dir.Path() + name;
        const ProcessResult converted = Tool({"convert-svf", real + name, out});
        EXPECT_EQ(converted.ExitCode, 0) << converted.Err;
        const ProcessResult translated = Tool({"translate", out});
        EXPECT_EQ(translated.ExitCode, 0) << name;
        EXPECT_FALSE(Contains(translated.Out, "Error")) << name;
    }
    // Its seconds need a frequency the file does not state; once given, its first
    // scan of 8000 bits stops it, and nothing is written.
    const std::string fpga = real + "ulx3s__debugblink-v2.0-12f.svf";
    const std::string out = dir.Path() + "fpga.svf";
    const ProcessResult noFrequency = Tool({"convert-svf", fpga, out});
    EXPECT_EQ(noFrequency.ExitCode, 1);
    EXPECT_TRUE(Contains(noFrequency.Err, fpga + ":67: RUNTEST in seconds")) << noFrequency.Err;
    const ProcessResult refused = Tool({"convert-svf", "--frequency", "1E6", fpga, out});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_EQ(refused.Err, "corvane-tool: " + fpga + ":102: scan of 8000 bits, the card takes at most 512\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
}

TEST(ToolConvertSvf, KeepsAnEarlierOutputOnErrorAndRefusesWrongUsage)
{
    TempDir dir;
    const std::string good = dir.Write("good.svf", "sir 8 tdi (e0);\r\n");
    const std::string bad = dir.Write("bad.svf", "SIR 8 TDI (E0);\r\nPIO (HL);\r\n");
    const std::string out = dir.Path() + "out.svf";
    const ProcessResult converted = Tool({"convert-svf", good, out});
    EXPECT_EQ(converted.ExitCode, 0);
    EXPECT_EQ(converted.Out, "1 line written to " + out + "\n");
    EXPECT_EQ(ReadFile(out), "SIR 8 TDI (E0);\n");
    EXPECT_EQ(Tool({"convert-svf", bad, out}).Err, "corvane-tool: " + bad + ":2: PIO: the card has no such statement\n");
    EXPECT_EQ(ReadFile(out), "SIR 8 TDI (E0);\n");

    EXPECT_EQ(Tool({"convert-svf", dir.Path() + "none.svf", out}).ExitCode, 1);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"convert-svf", good}, {"convert-svf", "--frequency", "0", good, out},
          {"convert-svf", "--frequency", good, out}})
        EXPECT_EQ(Tool(args).ExitCode, 2);
}
