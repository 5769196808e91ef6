// The bundled example, from START to what the card holds, in the situations
// an operator meets: each link, Read Id, Manual mode, a card that is already
// up to date, an absent extension board, a card that starts in its boot loader
// and a noisy line.
#include "ExampleRun.h"
#include "ReportSchema.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

const std::string Completed = "Program operation completed";

Lines FullRunLines(const std::string& handOver)
{
    Lines lines = {handOver, "Verify Device Type", "Boot Checksum : E000", "Device ID : AAAA",
                   "Corvane Pelto update package 1.50"};
    for (int bank = 0; bank < 8; ++bank)
        for (const char* step : {"Erase Bank", "Upload Bank", "Verify Bank"})
            lines.push_back(step + std::to_string(bank));
    lines.push_back("Extension board: version 1.20");
    lines.push_back(Completed);
    // What the run did ends the output.
    lines.push_back("Programmed: bank 0, bank 1, bank 2, bank 3, bank 4, bank 5, bank 6, bank 7, PROM prom1.svf, boot");
    lines.push_back("Versions read: T0 0000, T8 0000, T9 0000");
    lines.push_back("Versions written: V0 0150, V8 0210, V9 0120, UV 0150, OP 0000");
    return lines;
}

int Erases(const QJsonObject& area) { return area["erases"].toInt(); }

int BankErases(const QJsonObject& state)
{
    int erases = 0;
    for (const QJsonValue& bank : state["banks"].toArray())
        erases += Erases(bank.toObject());
    return erases;
}

QJsonObject Versions(const QJsonObject& state) { return state["versions"].toObject(); }

class FullExample : public ::testing::TestWithParam<Link> {};

}  // namespace

TEST_P(FullExample, WritesEveryImageAndVersion)
{
    ExampleRun run(GetParam());
    ASSERT_TRUE(run.CardStarted());
    const ProcessResult update = run.Update();
    EXPECT_EQ(update.ExitCode, 0) << update.Err;
    EXPECT_EQ(SplitLines(update.Out), FullRunLines("Synchronize..."));
    const std::vector<QJsonObject> reports = run.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0]["result"].toString(), "completed");
    EXPECT_EQ(reports[0]["device"].toObject()["boot_checksum"].toString(), "E000");
    EXPECT_EQ(reports[0]["versions_written"].toArray().size(), 5);  // V0, V8, V9, UV and the option code

    const QJsonObject state = run.CardState();
    EXPECT_EQ(state["mode"].toString(), "firmware");  // FI handed the card back to its firmware
    EXPECT_EQ(state["counts"].toObject()["retransmissions"].toInt(), 0);
    const ProcessResult check = run.Check();
    EXPECT_EQ(check.ExitCode, 0) << check.Out << check.Err;
    EXPECT_EQ(SplitLines(check.Out).size(), 13u) << check.Out;  // boot, 8 banks, PROM 1, three texts
}

INSTANTIATE_TEST_SUITE_P(Links, FullExample, ::testing::Values(Link::Pty, Link::Udp, Link::Tcp),
                         [](const auto& info) { return std::string(LinkName(info.param)); });

TEST(ExampleUpdate, ReadIdShowsTheIdentifiersAndWritesNothing)
{
    ExampleRun run(Link::Tcp);
    ASSERT_TRUE(run.CardStarted());
    const ProcessResult update = run.Update({"--read-id"});
    EXPECT_EQ(update.ExitCode, 0) << update.Err;
    EXPECT_EQ(SplitLines(update.Out),
              (Lines{"Synchronize...", "Verify Device Type", "Boot Checksum : E000", "Device ID : AAAA",
                     "Extract MCU ID", "ID Number : 5A", "Extract JTAG Devices ID", "ID Number : 1C0DE0A5", Completed,
                     "Nothing was programmed", "Versions read: none", "Versions written: none"}));

    const QJsonObject state = run.CardState();
    EXPECT_EQ(BankErases(state), 0);
    EXPECT_EQ(Erases(state["boot"].toObject()), 0);  // readid.ini does not end with the boot option
    EXPECT_TRUE(Versions(state).isEmpty());
    EXPECT_EQ(state["mode"].toString(), "firmware");
}

TEST(ExampleUpdate, ManualModeWithoutMcuProgramsOnlyThePromAndTheBoot)
{
    ExampleRun run(Link::Tcp);
    ASSERT_TRUE(run.CardStarted());
    const ProcessResult update = run.Update({"--manual", "MB,PROM1"});
    EXPECT_EQ(update.ExitCode, 0) << update.Err;
    EXPECT_FALSE(Contains(update.Out, "Bank"));

    const QJsonObject state = run.CardState();
    EXPECT_EQ(BankErases(state), 0);
    EXPECT_FALSE(Versions(state).contains("0"));
    EXPECT_EQ(Versions(state)["8"].toString(), "0210");
    EXPECT_EQ(Versions(state)["9"].toString(), "0120");  // C0 runs whatever the selection

    const std::map<std::string, std::string> verdicts = CheckVerdicts(run.Check().Out);
    EXPECT_EQ(verdicts.at("boot"), "match");
    EXPECT_EQ(verdicts.at("PROM 1"), "match");
    EXPECT_TRUE(Contains(verdicts.at("bank 0"), "MISMATCH at 0000"));
    EXPECT_EQ(verdicts.at("versions"), "MISMATCH (0 should be 0150)");
}

TEST(ExampleUpdate, AutoModeSkipsComponentsThatAreUpToDate)
{
    ExampleRun run(Link::Pty, {"--version", "0=0150", "--version", "8=0210", "--version", "9=0120"});
    ASSERT_TRUE(run.CardStarted());
    const ProcessResult update = run.Update();
    EXPECT_EQ(update.ExitCode, 0) << update.Err;
    EXPECT_EQ(SplitLines(update.Out),
              (Lines{"Synchronize...", "Verify Device Type", "Boot Checksum : E000", "Device ID : AAAA",
                     "Corvane Pelto update package 1.50", "Extension board: version 1.20", Completed,
                     "Programmed: boot", "Skipped: component 0 up to date, component 8 up to date, component 9 up to date",
                     "Versions read: T0 0150, T8 0210, T9 0120", "Versions written: UV 0150, OP 0000"}));

    const QJsonObject state = run.CardState();
    EXPECT_EQ(BankErases(state), 0);
    EXPECT_EQ(state["jtag"].toObject()["records_executed"].toInt(), 0);
    EXPECT_EQ(Erases(state["boot"].toObject()), 1);  // the boot option is not a component: it always runs
    const std::map<std::string, std::string> verdicts = CheckVerdicts(run.Check().Out);
    EXPECT_EQ(verdicts.at("boot"), "match");
    EXPECT_EQ(verdicts.at("versions"), "match");
    EXPECT_EQ(verdicts.at("user version"), "match");
    EXPECT_EQ(verdicts.at("option code"), "match");
}

TEST(ExampleUpdate, AbsentExtensionBoardIsSkipped)
{
    ExampleRun run(Link::Tcp, {"--absent-card", "0"});
    ASSERT_TRUE(run.CardStarted());
    const ProcessResult update = run.Update();
    EXPECT_EQ(update.ExitCode, 0) << update.Err;
    EXPECT_FALSE(Contains(update.Out, "Extension board"));
    EXPECT_TRUE(Contains(update.Out, "Verify Bank7\n" + Completed + "\n")) << update.Out;

    const QJsonObject state = run.CardState();
    EXPECT_FALSE(Versions(state).contains("9"));
    EXPECT_EQ(state["user_version"].toString(), "0150");  // the lines after C0 still run
    const ProcessResult check = run.Check();
    EXPECT_EQ(check.ExitCode, 1);
    for (const auto& [label, verdict] : CheckVerdicts(check.Out))
        EXPECT_EQ(verdict, label == "versions" ? "MISMATCH (9 should be 0120)" : "match") << label;
}

TEST(ExampleUpdate, CardInItsBootLoaderIsUpdatedAfterTheProbeTimesOut)
{
    ExampleRun run(Link::Pty, {"--start-in-bootloader"});
    ASSERT_TRUE(run.CardStarted());
    const ProcessResult update = run.Update();
    EXPECT_EQ(update.ExitCode, 0) << update.Err;
    // The probe's end names the link it asked on first.
    Lines lines = SplitLines(update.Out);
    ASSERT_GE(lines.size(), 2u) << update.Out;
    EXPECT_TRUE(Contains(lines[0], "No answer on COM1 (/dev/") && Contains(lines[0], ") at 9600 baud")) << lines[0];
    lines.erase(lines.begin());
    EXPECT_EQ(lines, FullRunLines("Switch ON device while pushing the ENTER button"));

    run.CardState();
    const ProcessResult check = run.Check();
    EXPECT_EQ(check.ExitCode, 0) << check.Out;
}

TEST(ExampleUpdate, NoisyLineStillLeavesExactImages)
{
    ExampleRun run(Link::Pty, {"--seed", "42", "--repeat-rate", "0.003", "--corrupt-rate", "0.003",
                               "--corrupt-capture-rate", "0.03"});
    ASSERT_TRUE(run.CardStarted());
    const ProcessResult update = run.Update();
    EXPECT_EQ(update.ExitCode, 0) << update.Err;
    EXPECT_TRUE(Contains(update.Out, "\n" + std::string(Completed) + "\nProgrammed: ")) << update.Out;

    const QJsonObject state = run.CardState();
    EXPECT_GT(state["counts"].toObject()["retransmissions"].toInt(), 5);
    // The report counts the card's requests to send again, line by line.
    const std::vector<QJsonObject> reports = run.Reports();
    ASSERT_EQ(reports.size(), 1u);
    int retransmissions = 0;
    for (const QJsonValue& line : reports[0]["lines"].toArray())
        retransmissions += line["retransmissions"].toInt();
    EXPECT_GT(retransmissions, 5);
    const ProcessResult check = run.Check();
    EXPECT_EQ(check.ExitCode, 0) << check.Out;
}

// The schema check that every run above goes through sees what departs from the schema.
TEST(ExampleUpdate, ReportSchemaCheckSeesDepartures)
{
    ExampleRun run(Link::Tcp);
    ASSERT_TRUE(run.CardStarted());
    EXPECT_EQ(run.Update({"--read-id"}).ExitCode, 0);
    const std::vector<QJsonObject> reports = run.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(ReportSchemaFaults(reports[0]).empty());

    QJsonObject broken = reports[0];
    broken.remove("port");
    broken["result"] = "done";
    broken["extra"] = 1;
    QJsonArray lines = broken["lines"].toArray();
    QJsonObject line = lines[0].toObject();
    line["sent"] = -1;
    lines[0] = line;
    broken["lines"] = lines;
    EXPECT_EQ(ReportSchemaFaults(broken).size(), 4u);
}
