#include "CommandLine.h"

#include <gtest/gtest.h>

namespace {

bool Parse(const std::vector<std::string>& arguments, TUpdaterCommandLine& line, std::string& error)
{
    return ParseUpdaterCommandLine(arguments, line, error);
}

}  // namespace

TEST(CommandLine, ScriptAndOptionsInAnyOrder)
{
    TUpdaterCommandLine line;
    std::string error;
    ASSERT_TRUE(Parse({"--batch", "my.ini", "--app-dir", "/opt/u", "--timeout", "5", "--manual", "MB,PROM1",
                       "--report-dir", "out/rep"},
                      line, error));
    EXPECT_EQ(line.Script, "my.ini");
    EXPECT_EQ(line.AppDir, "/opt/u");
    EXPECT_TRUE(line.Batch);
    EXPECT_EQ(line.TimeoutSeconds, 5);
    EXPECT_EQ(line.ReportDir, "out/rep");
    ASSERT_TRUE(line.Manual.has_value());
    EXPECT_TRUE(line.Manual->Motherboard);
    EXPECT_FALSE(line.Manual->Mcu);
    EXPECT_TRUE(line.Manual->Prom1);

    ASSERT_TRUE(Parse({"--batch", "--manual", "", "--read-id"}, line, error));
    EXPECT_TRUE(line.ReadId);
    ASSERT_TRUE(line.Manual.has_value());
    EXPECT_FALSE(line.Manual->Motherboard || line.Manual->Mcu || line.Manual->Prom1);
    EXPECT_TRUE(line.Script.empty());

    ASSERT_TRUE(Parse({}, line, error));
    EXPECT_FALSE(line.Batch);
    EXPECT_FALSE(line.Manual.has_value());
    EXPECT_FALSE(line.ListPorts);

    ASSERT_TRUE(Parse({"--list-ports", "--app-dir", "/opt/u"}, line, error));
    EXPECT_TRUE(line.ListPorts);
}

// Several --port without --batch open the window of several cards; --start
// starts them there, --json is for batch mode, --find searches the LAN.
TEST(CommandLine, SeveralCardsJsonAndFind)
{
    TUpdaterCommandLine line;
    std::string error;
    ASSERT_TRUE(Parse({"--port", "COM1", "--start", "--port", "tcp://10.0.0.5:10500"}, line, error)) << error;
    EXPECT_FALSE(line.Batch);
    EXPECT_TRUE(line.Start);
    EXPECT_EQ(line.Ports, (std::vector<std::string>{"COM1", "tcp://10.0.0.5:10500"}));
    ASSERT_TRUE(Parse({"--batch", "--json", "--port", "COM1"}, line, error));
    EXPECT_TRUE(line.Json);
    ASSERT_TRUE(Parse({"--find", "10.0.0.0/24", "--find-port", "10600"}, line, error));
    EXPECT_EQ(line.Find, "10.0.0.0/24");
    EXPECT_EQ(line.FindPort, "10600");
}

// A batch run stops on a silent card after a minute unless told otherwise; 0 waits for ever.
TEST(CommandLine, BatchTimeoutDefaultsToAMinuteAndZeroMeansNoLimit)
{
    TUpdaterCommandLine line;
    std::string error;
    ASSERT_TRUE(Parse({"--batch"}, line, error));
    EXPECT_EQ(line.TimeoutSeconds, 60);
    ASSERT_TRUE(Parse({"--batch", "--timeout", "0"}, line, error));
    EXPECT_EQ(line.TimeoutSeconds, 0);
}

TEST(CommandLine, WrongUseIsRefusedWithItsReason)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "unknown option: --bogus"},
        {{"--app-dir"}, "missing value after --app-dir"},
        {{"--batch", "--manual", "MB,CPU"}, "--manual takes a list of MB, MCU, PROM1: MB,CPU"},
        {{"--batch", "--manual", "MB,"}, "--manual takes a list of MB, MCU, PROM1: MB,"},
        {{"--batch", "--timeout", "-1"}, "--timeout takes a whole number of seconds (0: no limit): -1"},
        {{"--batch", "--timeout", "2s"}, "--timeout takes a whole number of seconds (0: no limit): 2s"},
        {{"--timeout", "0"}, "--timeout works in batch mode only"},
        {{"--timeout", "3"}, "--timeout works in batch mode only"},
        {{"--read-id"}, "--read-id works in batch mode only"},
        {{"--report-dir", "r"}, "--report-dir works in batch mode only"},
        {{"--batch", "--report-dir"}, "missing value after --report-dir"},
        {{"a.ini", "b.ini"}, "more than one script: b.ini"},
        {{"--json"}, "--json works in batch mode only"},
        {{"--start"}, "--start needs --port"},
        {{"--batch", "--port", "COM1", "--start"}, "--start works in the window only, not with --batch"},
        {{"--find-port", "10500"}, "--find-port works with --find only"},
        {{"--find"}, "missing value after --find"},
    };
    for (const auto& [arguments, reason] : cases) {
        TUpdaterCommandLine line;
        std::string error;
        EXPECT_FALSE(Parse(arguments, line, error)) << reason;
        EXPECT_EQ(error, reason);
    }
}
